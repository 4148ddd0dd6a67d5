// The current map's objects: read from the map's object file, placed on the map picture, and
// the calibration that places them saved per map.
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Files.h"
#include "base/Numeric.h"
#include "log/EventInfo.h"
#include "mapview/RoundMap.h"

#include <QSlider>

void TTarvelMain::LoadMapObjects(const std::string& mapName)
{
    const std::string fileName = FindMapObjectFile(ImageFolders(), mapName);
    if (fileName.empty())
        return;
    TTextList file;
    file.LoadFromFile(fileName);
    for (const TObjectGroup& group : ReadObjectGroups(file))
        AddMapObject(group.ObjectClass, group.Position, group.Team);
}

void TTarvelMain::ShowMap(const std::string& mapName)
{
    FMapName = mapName;
    LoadMapPicture();
    LoadMapObjects(FMapName);
}

void TTarvelMain::AddMapObject(const std::string& objectClass, const std::string& position, const std::string& team)
{
    // A team that fails to convert ends the loading here: this object stays, with team 0
    // and not yet placed.
    TMapObject& object = AddFileObject(FMapObjects, {objectClass, position, team},
                                       [this](TPictureHolder& image, const std::string& name) { return LoadPicture(image, name); });
    PlaceMapObject(object);
}

void TTarvelMain::PlaceMapObject(TMapObject& object)
{
    if (object.IsControlPoint())
        if (const char* flag = FlagPictureName(object.FTeam))
            object.FPictureName = LoadPicture(object.FImage, flag);
    const int32_t x = CheckedAdd(WorldToMapX(object.FX), FLeftMargin);
    const int32_t y = CheckedAdd(WorldToMapY(object.FZ), FTopMargin);
    CentreOnMapPixel(object.FImage, x, y);
}

void TTarvelMain::PlaceAllMapObjects()
{
    for (int i = 0; i < FMapObjects.Count(); ++i)
        PlaceMapObject(*FMapObjects.Object(i));
}

void TTarvelMain::BSaveSettingsPerMapClick()
{
    FCorrectionY = TBYas->value();
    FZoom = TBMApZoom->value();
    // Only the list changes here; the settings file is written when the program ends.
    FSettings.SetValue(FMapName + "_SCALE", IntToStr(TBXas->value()));
    FSettings.SetValue(FMapName + "_CORRECTIONY", IntToStr(FCorrectionY));
    FSettings.SetValue(FMapName + "_TOPMARGIN", IntToStr(FTopMargin));
    FSettings.SetValue(FMapName + "_LEFTMARGIN", IntToStr(FLeftMargin));
    FSettings.SetValue("ZOOM", IntToStr(FZoom));
}
