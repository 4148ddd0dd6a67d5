#pragma once

// A map imported from the player's own game: its picture, its object file and the calibration
// that places world positions on the picture, made in memory and written together.

#include "level/Level.h"
#include "level/LevelObjects.h"
#include "level/LevelPicture.h"
#include "base/TextList.h"
#include "mapview/Calibration.h"
#include "settings/ProgramFolder.h"
#include "mapview/RoundMap.h"

#include <functional>
#include <string>
#include <vector>

// A level folder (or a folder inside which Init/Terrain.con lies), a level archive (.rfa), or a
// game folder (with Mods/), where map names the level and mod the modification.
TLevel OpenLevel(const std::string& source, const std::string& map, const std::string& mod);

// The calibration that puts a world position on the picture, as the frame stretches it over
// DrawnMapSize map pixels, and the largest distance in map pixels from any place it puts a
// position to where the position lies, over the whole picture.
struct TPictureCalibration {
    TCalibration Values;
    double MaxError = 0;
};
TPictureCalibration CalibrateLevelPicture(const TLevelPicture& picture);

struct TMapImport {
    // Names are 8-bit text as the log writes a map's name; the files on the disk are named
    // by their FileNameOfText.
    std::string Map;         // lower case: the name of the files and the settings
    std::string PictureFile; // <map>.jpg, or <map>.bmp when that is what the program loads
    std::string PictureBytes;
    int PictureSide = 0;
    TPictureKind Kind = TPictureKind::Terrain; // what the picture shows
    int WorldSize = 0;
    int Tiles = 0;
    std::string ObjectFile; // <map>OBS.con
    std::string ObjectText;
    int Objects = 0;
    int ControlPoints = 0;
    TPictureCalibration Calibration;
    // What the level's scripts held that was left out or read otherwise than written, a line
    // for each file (ReadLevelObjects).
    std::vector<std::string> Skipped;
};

// Everything made, nothing written: the picture as LevelPictureOf chooses it (the terrain, or
// the overview map when `overview`; the grid for a level with neither). imagesFolder decides the
// picture's form: a <map>.bmp there would load before a new .jpg, so it is replaced by a bitmap.
TMapImport ImportMap(const TLevel& level, const std::string& map, const std::string& gameType, bool overview,
                     const std::string& imagesFolder);

// Writes the picture and the object file into imagesFolder (made when it is missing) and the
// calibration into the settings file, keeping its other lines; each file whole or not at all, and the earlier ones put back
// when a later one cannot be written.
void WriteMapImport(const TMapImport& import, const std::string& imagesFolder, const std::string& settingsFile);
// The same with the settings as a program holds them: the calibration's keys set there and,
// with the program's other changed keys, written into the settings file as it is on the disk
// then, under its lock; on a failure what is held is as it was.
void WriteMapImport(const TMapImport& import, const std::string& imagesFolder, TSettingsFile& settings);

// What a round's server says of its game: its "modid" and its "gamemode", "bf1942" and
// "GPM_CQ" when it names none.
struct TRoundGame {
    std::string Mod = "bf1942";
    std::string Mode = "GPM_CQ";
};
TRoundGame RoundGame(const class TwexXMLNode& round);

// The import of a round's map from the player's game folder: the level of the round's mod (or
// of "bf1942" when the mod has none of its own) and the objects of its game type, on the
// terrain picture (the overview map or the grid when the level has no tiles). Nothing written.
TMapImport ImportGameMap(const std::string& gameFolder, const TRoundGame& game, const std::string& map,
                         const std::string& imagesFolder);

// The key of the settings that names the player's game folder, from which a map without a
// picture is imported when a round on it is selected.
inline constexpr char GameFolderKey[] = "GameFolder";

// What selecting a round without a window does on a map without a picture, as the window does
// it: with a game folder in the settings, the map imported from there and written where the
// program's own pictures go, its calibration into the settings; each map tried once. An import
// that cannot be made, and once a saved game folder that is not one, is told to `notice`
// (ImportNotice) and the round goes on without the picture: nothing is reported as an error.
// `beforeImport` runs just before an import is made (its picture may be drawn with text, which
// needs a GUI application), never when there is nothing to import.
TRoundMap::TImporter GameFolderImporter(class TProgramFiles& files, std::function<void(const std::string&)> notice,
                                        std::function<void()> beforeImport = {});

// The import as one JSON object.
std::string MapImportJson(const TMapImport& import);
