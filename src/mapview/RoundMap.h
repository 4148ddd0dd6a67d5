#pragma once

// The map of a round as selecting the round leaves it: the map's name, its picture, the
// calibration saved for it and its objects placed on the picture. A round replay selects its
// map through it, in the window and in the tool; the tool's map commands use it alone.

#include "mapview/Calibration.h"
#include "mapview/MapObject.h"
#include "mapview/MissingNames.h"
#include "mapview/PictureHolder.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TEventInfoList;
class TProgramFiles;
class TTextList;
class TwexXMLNode;

// The map the round was played on: the last "map" setting of its server, or `mapName` when it
// names none.
std::string RoundMapName(const TwexXMLNode& round, std::string mapName);

struct TPictureFile {
    std::string FileName; // "" when there is none: the name is then missing a picture
    std::string Name;     // the name the picture was looked for under last
};
// The picture of a name: "<name>.bmp", then "<name>.jpg" in each folder in turn, then the
// picture map's name for it, as a bitmap only. `find` gives the file a name stands for, or ""
// (FindFileNoCase: letter case aside).
TPictureFile FindPictureFile(const std::vector<std::string>& folders, const TTextList& pictureMap,
                             const std::string& name, const std::function<std::string(const std::string&)>& find);
// The map's object file, "<map>OBS.con" in any letter case, in the first folder that has one;
// "" without one.
std::string FindMapObjectFile(const std::vector<std::string>& folders, const std::string& mapName);

// The flag picture of a control point held by the team; nullptr for any other team, whose
// point keeps the picture it has.
const char* FlagPictureName(int team);

// Loads the picture for a name into the holder; the name looked for under last.
using TPictureLoad = std::function<std::string(TPictureHolder& image, const std::string& name)>;
// Adds an object of the map's object file to the list, its picture loaded; the caller places
// it. A team that fails to convert raises and leaves the object in the list with team 0.
TMapObject& AddFileObject(TMapObjectList& objects, const TObjectGroup& group, const TPictureLoad& load);
// Centres the picture on the map pixel.
void CentreOnMapPixel(TPictureHolder& image, int32_t x, int32_t y);

// The calibration the Admin page's Save stored for a map. Each value is read when asked for,
// as a whole number ("'%s' is not a valid integer value").
class TSavedCalibration {
public:
    TSavedCalibration(const TTextList& settings, const std::string& mapName) : FSettings(settings), FMap(mapName) {}
    bool Present() const; // a map has a saved calibration when it has its _CORRECTIONY
    int32_t Scale() const;
    int32_t CorrectionY() const;
    int32_t TopMargin() const;
    int32_t LeftMargin() const;

private:
    int32_t Value(const char* key) const;
    const TTextList& FSettings;
    std::string FMap;
};

// The positions a fit to the round puts on the picture: every event that has one, then every
// map object.
std::vector<TWorldPoint> RoundPlaces(const TEventInfoList& events, const TMapObjectList& objects);

// The world places of the objects a map's object file lists, read as loading them reads them;
// a group whose position does not read, or a file that cannot be read, gives none ("" names no
// file). Loading the objects reports those errors later.
std::vector<TWorldPoint> ObjectFilePlaces(const std::string& fileName);

// The places a selection fits and frames a map by before its objects are loaded: every event's
// place, then the places of the map's object file.
std::vector<TWorldPoint> SelectionPlaces(const TEventInfoList& events, const std::string& objectFile);

// The calibration that selecting a round applies by itself, unsaved, after the saved one would
// have been read: on a map with neither a picture nor a saved calibration, the sliders would keep
// another map's values and the round would lie off the grid drawn for it, so they take the fit
// to the places of the round's events and of the map's object file. Nothing on any other map, or
// when there is no place to fit.
// Where a round was fought: its events' places and the objects of the object file that lie
// near them (within a quarter of the fight's span, and at least 100 world units, of its box).
// An imported map's objects cover its whole world; the fight is often a corner of it.
std::vector<TWorldPoint> FightPlaces(const TEventInfoList& events, const std::string& objectFile);
std::optional<TCalibration> SelectionFit(bool pictureMissing, bool calibrationSaved, const TEventInfoList& events,
                                         const std::string& objectFile, int pictureHeight);

// The calibration as the Admin page holds it: the four sliders' positions, and the margins that
// every map place is moved by. A margin follows its slider when the slider moves, but a saved
// calibration or a fit sets it apart from the slider, beyond the slider's range if need be.
class TMapCalibration {
public:
    const TCalibration& Sliders() const { return FSliders; }
    int32_t LeftMargin() const { return FLeftMargin; }
    int32_t TopMargin() const { return FTopMargin; }
    // What places the map: the scales of the sliders and the margins.
    TCalibration Placing() const { return {FSliders.XScale, FSliders.YScale, FLeftMargin, FTopMargin}; }

    // A slider moved as a user moves it, kept within its range; whether it moved. An offset's
    // margin follows it.
    bool MoveSlider(int TCalibration::*bar, int position);
    void SetLeftMargin(int32_t left) { FLeftMargin = left; }
    void SetTopMargin(int32_t top) { FTopMargin = top; }

private:
    TCalibration FSliders;
    int32_t FLeftMargin = 0;
    int32_t FTopMargin = 0;
};

// The selection's calibration step for the map: the saved calibration when it has one, then
// the fit that stands in for it (`fit`, SelectionFit). Each of them takes the scales, then
// the margins, then the offset sliders; `move` moves a slider as the user would move it
// (`saved`: the value is the saved one). A saved value that does not read raises, keeping
// what was set before it.
void TakeSelectionCalibration(const TSavedCalibration& saved, const std::optional<TCalibration>& fit,
                              TMapCalibration& calibration,
                              const std::function<void(int TCalibration::*bar, int position, bool saved)>& move);

class TSettingsFile;
class TRoundMap;
// What the Admin page's "Save" keeps of a map for its next selection: the scales of its sliders,
// its margins and the map view's zoom; the settings file is written when the program ends.
// Refused whole for a map whose name is no key of the settings file.
void SaveMapCalibration(TSettingsFile& settings, const TRoundMap& map, int zoom);

// a − b of whole seconds, raising instead of wrapping.
int64_t CheckedDifference(int64_t a, int64_t b);

// What the map view holds once a selection of a round has ended. Applying the round's first
// event, which the selection does before it loads the map's objects, is the replay's and not
// taken here: what that can raise is not.
class TRoundMap {
public:
    explicit TRoundMap(const TProgramFiles& files) : FFiles(files) {}

    // Makes the picture, object file and calibration of a map that has no picture, for the
    // round selected on it; true when it made them.
    using TImporter = std::function<bool(const TwexXMLNode& round, const std::string& map)>;
    void SetImporter(TImporter importer) { FImporter = std::move(importer); }
    // What a window shows of the map's steps as they happen: a name that found no picture, the
    // map's picture looked for (found or not), a slider the selection moved (`saved`: to the
    // map's saved value).
    struct THooks {
        std::function<void(const std::string& name)> pictureMissed;
        std::function<void()> pictureLoaded;
        std::function<void(int TCalibration::*bar, int position, bool saved)> sliderMoved;
    };
    void SetHooks(THooks hooks) { FHooks = std::move(hooks); }

    // A slider of the Admin page moved as a user moves it: kept within its range; when it
    // moves, the scales place the objects anew and an offset's margin follows it.
    void MoveSlider(int TCalibration::*bar, int position);
    // The selection's steps in its order: the round's events built into `events`, the
    // round's time span checked, the map's name, picture and saved calibration (or the fit
    // that stands in for it, SelectionFit), and the map's objects. A failure raises and keeps
    // what was done before it.
    void Select(const TwexXMLNode& round, TEventInfoList& events);
    // The map's steps of the selection alone: its name, its picture (imported first when it has
    // none and an importer is set) and its saved calibration
    // (or the fit to the round's events that stands in for it, SelectionFit).
    void SelectMap(const TwexXMLNode& round, const TEventInfoList& events);
    // A map shown by its name alone, as the Admin page shows one: its picture and its objects,
    // placed as the sliders stand. A failure raises and keeps what was done before it.
    void ShowMap(const std::string& mapName);
    // Its picture alone: a window shows the objects of its replay instead.
    void ShowPicture(const std::string& mapName);
    // Loads a picture by name as the map's objects do, noting a name that found none.
    std::string LoadPicture(TPictureHolder& image, const std::string& name);
    // Notes a name that found no picture.
    void PictureMissed(const std::string& name);
    // The map's object file, or "" without one.
    std::string ObjectFile() const;
    const TProgramFiles& Files() const { return FFiles; }
    // The values that put every place of the round's events and of the map's objects on the
    // picture as drawn, as "Fit to round" finds them (ECalibrationError when there are none).
    TCalibration FitToRound(const TEventInfoList& events) const;

    const std::string& MapName() const { return FMapName; }
    const TPictureHolder& Picture() const { return FPicture; }
    TPictureHolder& Picture() { return FPicture; }
    bool PictureMissing() const { return FPictureMissing; }
    const TCalibration& Sliders() const { return FCalibration.Sliders(); }
    const TMapCalibration& Calibration() const { return FCalibration; }
    TMapCalibration& Calibration() { return FCalibration; }
    // What the last selection found: whether the map has a saved calibration, and the places
    // the fit that stood in for it was made to (none without a fit), which the view frames.
    bool CalibrationSaved() const { return FCalibrationSaved; }
    const std::vector<TWorldPoint>& FittedPlaces() const { return FFittedPlaces; }
    // The round's places and the map's objects near them (FightPlaces), which a view larger
    // than designed frames whatever the map.
    const std::vector<TWorldPoint>& FightPlaces() const { return FFightPlaces; }
    int32_t LeftMargin() const { return FCalibration.LeftMargin(); }
    int32_t TopMargin() const { return FCalibration.TopMargin(); }
    const TMapObjectList& Objects() const { return FObjects; }
    // The names that found no picture, each once, in the order they were first missed.
    const std::vector<std::string>& MissingPictures() const { return FMissing.Names(); }

private:
    void PlaceObject(TMapObject& object);
    void LoadObjects();

    void LoadMapPicture();

    const TProgramFiles& FFiles;
    TImporter FImporter;
    THooks FHooks;
    bool FCalibrationSaved = false;
    std::vector<TWorldPoint> FFittedPlaces;
    std::vector<TWorldPoint> FFightPlaces;
    std::string FMapName;
    TPictureHolder FPicture;
    bool FPictureMissing = false;
    int FMisses = 0; // names that found no picture, each time
    TMapCalibration FCalibration;
    TMapObjectList FObjects;
    TMissingNames FMissing;
};
