// The current map's objects: read from the map's object file, placed on the map picture, and
// the calibration that places them saved per map.
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Files.h"
#include "base/Numeric.h"
#include "log/EventInfo.h"

#include <QSlider>

void TTarvelMain::LoadMapObjects(const std::string& mapName)
{
    std::string fileName;
    for (const std::string& folder : ImageFolders())
        if (FileExists(folder + mapName + "OBS.con")) {
            fileName = folder + mapName + "OBS.con";
            break;
        }
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
    TMapObject& object = *FMapObjects.Add(position);
    object.FStartPosition = position;
    object.SetPosition(position);
    object.SetObjectClass(objectClass);
    object.FPictureName = LoadPicture(object.FImage, object.FObjectClass);
    // A team that fails to convert ends the loading here: this object stays, with team 0
    // and not yet placed.
    object.FTeam = StrToInt(CleanNumber(team));
    PlaceMapObject(object);
}

void TTarvelMain::PlaceMapObject(TMapObject& object)
{
    if (object.IsControlPoint()) {
        if (object.FTeam == 2)
            object.FPictureName = LoadPicture(object.FImage, "ALIESVLAG");
        else if (object.FTeam == 1)
            object.FPictureName = LoadPicture(object.FImage, "AXISVLAG");
        else if (object.FTeam == 0)
            object.FPictureName = LoadPicture(object.FImage, "GRAYVLAG");
    }
    const int32_t x = CheckedAdd(WorldToMapX(object.FX), FLeftMargin);
    const int32_t y = CheckedAdd(WorldToMapY(object.FZ), FTopMargin);
    // Centred on its place.
    object.FImage.Left = CheckedSub(x, DivTrunc(object.FImage.Width, 2));
    object.FImage.Top = CheckedSub(y, DivTrunc(object.FImage.Height, 2));
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
