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

std::string TTarvelMain::MapObjectFile(const std::string& mapName) const
{
    return FindMapObjectFile(FFiles.ImageFolders(), mapName);
}

void TTarvelMain::LoadMapObjects(const std::string& mapName) { LiveSession().LoadMapObjects(MapObjectFile(mapName)); }

void TTarvelMain::ShowMap(const std::string& mapName)
{
    FMapName = mapName;
    LoadMapPicture();
    LoadMapObjects(FMapName);
}

void TTarvelMain::AddMapObject(const std::string& objectClass, const std::string& position, const std::string& team)
{
    LiveSession().AddMapObject(objectClass, position, team);
}

void TTarvelMain::PlaceMapObject(TMapObject& object) { LiveSession().PlaceMapObject(object); }

void TTarvelMain::PlaceAllMapObjects() { LiveSession().PlaceAllMapObjects(); }

void TTarvelMain::BSaveSettingsPerMapClick()
{
    // Keys that would not read back would be appended again at every press: refused whole.
    if (!TTextList::Storable(FMapName + "_SCALE", ""))
        throw EBaseError("The calibration of the map " + FMapName +
                         " cannot be saved: a map name with \"=\" or a line break is no key of the settings file");
    FCorrectionY = FCalibration.Sliders().YScale;
    // Only the list changes here; the settings file is written when the program ends.
    FSettings.SetValue(FMapName + "_SCALE", IntToStr(FCalibration.Sliders().XScale));
    FSettings.SetValue(FMapName + "_CORRECTIONY", IntToStr(FCorrectionY));
    FSettings.SetValue(FMapName + "_TOPMARGIN", IntToStr(FCalibration.TopMargin()));
    FSettings.SetValue(FMapName + "_LEFTMARGIN", IntToStr(FCalibration.LeftMargin()));
    FSettings.SetValue("ZOOM", IntToStr(FZoom));
}
