// The current map's objects: read from the map's object file, placed on the map picture, and
// the calibration that places them saved per map.
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/Numeric.h"
#include "log/EventInfo.h"
#include "mapview/RoundMap.h"

#include <QSlider>

void TTarvelMain::LoadMapObjects(const std::string& mapName)
{
    FReplay.LiveSession().LoadMapObjects(FindMapObjectFile(FFiles.ImageFolders(), mapName));
}

void TTarvelMain::ShowMap(const std::string& mapName)
{
    FReplay.Map().ShowPicture(mapName);
    LoadMapObjects(FMapName);
}

void TTarvelMain::AddMapObject(const std::string& objectClass, const std::string& position, const std::string& team)
{
    FReplay.LiveSession().AddMapObject(objectClass, position, team);
}

void TTarvelMain::PlaceMapObject(TMapObject& object) { FReplay.LiveSession().PlaceMapObject(object); }

void TTarvelMain::PlaceAllMapObjects() { FReplay.LiveSession().PlaceAllMapObjects(); }

void TTarvelMain::BSaveSettingsPerMapClick()
{
    // Only the list changes here; the settings file is written when the program ends.
    SaveMapCalibration(FSettings, FReplay.Map(), FZoom);
    FCorrectionY = FReplay.Map().Calibration().Sliders().YScale;
}
