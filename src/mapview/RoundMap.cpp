#include "mapview/RoundMap.h"

#include "base/Convert.h"
#include "base/Files.h"
#include "base/Numeric.h"
#include "base/TextList.h"
#include "log/EventInfo.h"
#include "log/LogTime.h"
#include "settings/ProgramFolder.h"
#include "xmltree/wexXMLTree.h"

#include <algorithm>

std::string RoundMapName(const TwexXMLNode& round, std::string mapName)
{
    if (const TwexXMLNode* server = round.SelectNode("bf:server"))
        for (const TwexXMLNode* setting : server->Children())
            if (setting->Name() == "bf:setting")
                if (const TwexXMLAttribute* name = setting->AttributeByName("name"); name && name->Value() == "map")
                    mapName = setting->Value();
    return mapName;
}

TPictureFile FindPictureFile(const std::vector<std::string>& folders, const TTextList& pictureMap,
                             const std::string& name, const std::function<std::string(const std::string&)>& find)
{
    // A name stands for its file name in UTF-8, or for its bytes as they stand (FileNamesOfText).
    for (const std::string& folder : folders)
        for (const char* extension : {".bmp", ".jpg"})
            for (const std::string& fileName : FileNamesOfText(name))
                if (std::string file = find(folder + fileName + extension); !file.empty())
                    return {std::move(file), name};
    const std::string mapped = pictureMap.Values(name);
    if (mapped.empty())
        return {"", name};
    // A redirected name is looked for as a bitmap only.
    for (const std::string& folder : folders)
        for (const std::string& fileName : FileNamesOfText(mapped))
            if (std::string file = find(folder + fileName + ".bmp"); !file.empty())
                return {std::move(file), mapped};
    return {"", mapped};
}

std::string FindMapObjectFile(const std::vector<std::string>& folders, const std::string& mapName)
{
    for (const std::string& folder : folders)
        for (const std::string& fileName : FileNamesOfText(mapName + "OBS.con"))
            if (std::string file = FindFileNoCase(folder + fileName); !file.empty())
                return file;
    return "";
}

const char* FlagPictureName(int team)
{
    switch (team) {
    case 2:
        return "ALIESVLAG";
    case 1:
        return "AXISVLAG";
    case 0:
        return "GRAYVLAG";
    default:
        return nullptr;
    }
}

TMapObject& AddFileObject(TMapObjectList& objects, const TObjectGroup& group, const TPictureLoad& load)
{
    TMapObject& object = *objects.Add(group.Position);
    object.FStartPosition = group.Position;
    object.SetPosition(group.Position);
    object.SetObjectClass(group.ObjectClass);
    object.FPictureName = load(object.FImage, object.FObjectClass);
    object.FTeam = StrToInt(CleanNumber(group.Team));
    return object;
}

void CentreOnMapPixel(TPictureHolder& image, int32_t x, int32_t y)
{
    image.Left = CheckedSub(x, DivTrunc(image.Width, 2));
    image.Top = CheckedSub(y, DivTrunc(image.Height, 2));
}

bool TSavedCalibration::Present() const { return !FSettings.Values(FMap + "_CORRECTIONY").empty(); }
int32_t TSavedCalibration::Scale() const { return Value("_SCALE"); }
int32_t TSavedCalibration::CorrectionY() const { return Value("_CORRECTIONY"); }
int32_t TSavedCalibration::TopMargin() const { return Value("_TOPMARGIN"); }
int32_t TSavedCalibration::LeftMargin() const { return Value("_LEFTMARGIN"); }
int32_t TSavedCalibration::Value(const char* key) const { return StrToInt(FSettings.Values(FMap + key)); }

std::vector<TWorldPoint> RoundPlaces(const TEventInfoList& events, const TMapObjectList& objects)
{
    std::vector<TWorldPoint> points;
    for (int i = 0; i < events.Count(); ++i)
        if (const TEventInfo& e = *events.GetEvent(i); e.HasPlace())
            points.push_back({e.PosX, e.PosZ});
    for (int i = 0; i < objects.Count(); ++i)
        points.push_back({objects.Object(i)->FX, objects.Object(i)->FZ});
    return points;
}

std::vector<TWorldPoint> ObjectFilePlaces(const std::string& fileName)
{
    std::vector<TWorldPoint> points;
    if (fileName.empty())
        return points;
    TTextList file;
    try {
        file.LoadFromFile(fileName);
    } catch (const EBaseError&) {
        return points;
    }
    for (const TObjectGroup& group : ReadObjectGroups(file)) {
        try {
            const TVectorParts place = ParseVector(group.Position);
            points.push_back({place.First, place.Third});
        } catch (const EBaseError&) {
        }
    }
    return points;
}

std::vector<TWorldPoint> SelectionPlaces(const TEventInfoList& events, const std::string& objectFile)
{
    std::vector<TWorldPoint> places = RoundPlaces(events, TMapObjectList());
    const std::vector<TWorldPoint> objects = ObjectFilePlaces(objectFile);
    places.insert(places.end(), objects.begin(), objects.end());
    return places;
}

std::vector<TWorldPoint> FightPlaces(const TEventInfoList& events, const std::string& objectFile)
{
    std::vector<TWorldPoint> places = RoundPlaces(events, TMapObjectList());
    if (places.empty())
        return places;
    double minX = places[0].X, maxX = minX, minZ = places[0].Z, maxZ = minZ;
    for (const TWorldPoint& p : places) {
        minX = std::min(minX, p.X);
        maxX = std::max(maxX, p.X);
        minZ = std::min(minZ, p.Z);
        maxZ = std::max(maxZ, p.Z);
    }
    const double reach = std::max({100.0, (maxX - minX) / 4, (maxZ - minZ) / 4});
    for (const TWorldPoint& o : ObjectFilePlaces(objectFile))
        if (o.X >= minX - reach && o.X <= maxX + reach && o.Z >= minZ - reach && o.Z <= maxZ + reach)
            places.push_back(o);
    return places;
}

std::optional<TCalibration> SelectionFit(bool pictureMissing, bool calibrationSaved, const TEventInfoList& events,
                                         const std::string& objectFile, int pictureHeight)
{
    if (!pictureMissing || calibrationSaved)
        return std::nullopt;
    const std::vector<TWorldPoint> places = SelectionPlaces(events, objectFile);
    if (places.empty())
        return std::nullopt; // nothing to fit to: the sliders stay
    try {
        return FitCalibration(places, pictureHeight);
    } catch (const ECalibrationError&) {
        return std::nullopt; // a place that is no usable number: the sliders stay
    }
}

int64_t CheckedDifference(int64_t a, int64_t b)
{
    int64_t result = 0;
    if (__builtin_sub_overflow(a, b, &result))
        throw EIntOverflow();
    return result;
}

bool TMapCalibration::MoveSlider(int TCalibration::*bar, int position)
{
    const bool scale = bar == &TCalibration::XScale || bar == &TCalibration::YScale;
    const int low = scale ? MinCalibrationScale : MinCalibrationOffset;
    const int high = scale ? MaxCalibrationScale : MaxCalibrationOffset;
    const int before = FSliders.*bar;
    FSliders.*bar = std::clamp(position, low, high);
    if (FSliders.*bar == before)
        return false;
    if (!scale)
        (bar == &TCalibration::Left ? FLeftMargin : FTopMargin) = FSliders.*bar;
    return true;
}

void TakeSelectionCalibration(const TSavedCalibration& saved, const std::optional<TCalibration>& fit,
                              TMapCalibration& calibration,
                              const std::function<void(int TCalibration::*bar, int position, bool saved)>& move)
{
    if (saved.Present()) {
        move(&TCalibration::XScale, saved.Scale(), true);
        move(&TCalibration::YScale, saved.CorrectionY(), true);
        calibration.SetTopMargin(saved.TopMargin());
        calibration.SetLeftMargin(saved.LeftMargin());
        move(&TCalibration::Top, calibration.TopMargin(), true);
        move(&TCalibration::Left, calibration.LeftMargin(), true);
    }
    if (fit) {
        // As the saved values are taken: the margins are the fit's even where a slider stays.
        calibration.SetTopMargin(fit->Top);
        calibration.SetLeftMargin(fit->Left);
        move(&TCalibration::XScale, fit->XScale, false);
        move(&TCalibration::YScale, fit->YScale, false);
        move(&TCalibration::Top, fit->Top, false);
        move(&TCalibration::Left, fit->Left, false);
    }
}

// ---- TRoundMap ---------------------------------------------------------------------------------

void TRoundMap::MoveSlider(int TCalibration::*bar, int position)
{
    if (FCalibration.MoveSlider(bar, position) && (bar == &TCalibration::XScale || bar == &TCalibration::YScale))
        for (int i = 0; i < FObjects.Count(); ++i)
            PlaceObject(*FObjects.Object(i));
}

void TRoundMap::Select(const TwexXMLNode& round, TEventInfoList& events)
{
    FObjects.Clear();
    if (round.ChildCount() == 0)
        return;
    BuildEventList(round, events);
    if (events.Count() == 0)
        return;
    const int64_t start = WholeSeconds(events.GetEvent(0)->Timestamp);
    const int64_t end = WholeSeconds(events.GetEvent(events.Count() - 1)->Timestamp);
    CheckedDifference(end, start); // the round's length, shown

    SelectMap(round, events);
    // The time line's range, in tenths.
    TenthsRound(static_cast<double>(start));
    TenthsRound(static_cast<double>(end));
    LoadObjects();
}

void TRoundMap::SelectMap(const TwexXMLNode& round, const TEventInfoList& events)
{
    FMapName = RoundMapName(round, FMapName);
    if (FImporter && FindPictureFile(FFiles.ImageFolders(), FFiles.PictureMap(), FMapName, FindFileNoCase).FileName.empty())
        FImporter(round, FMapName);
    LoadMapPicture();

    const TSavedCalibration saved(FFiles.Settings(), FMapName);
    FCalibrationSaved = saved.Present();
    const std::string objectFile = ObjectFile();
    const std::optional<TCalibration> fit =
        SelectionFit(FPictureMissing, FCalibrationSaved, events, objectFile, FPicture.Height);
    FFittedPlaces.clear();
    if (fit)
        FFittedPlaces = SelectionPlaces(events, objectFile);
    FFightPlaces = ::FightPlaces(events, objectFile);
    TakeSelectionCalibration(saved, fit, FCalibration, [this](int TCalibration::*bar, int position, bool savedValue) {
        MoveSlider(bar, position);
        if (FHooks.sliderMoved)
            FHooks.sliderMoved(bar, position, savedValue);
    });
}

void TRoundMap::LoadMapPicture()
{
    const int missedBefore = FMisses;
    LoadPicture(FPicture, FMapName);
    FPictureMissing = FMisses != missedBefore;
    if (FHooks.pictureLoaded)
        FHooks.pictureLoaded();
}

void SaveMapCalibration(TSettingsFile& settings, const TRoundMap& map, int zoom)
{
    // Keys that would not read back would be appended again at every save: refused whole.
    const std::string& name = map.MapName();
    if (!TTextList::Storable(name + "_SCALE", ""))
        throw EBaseError("The calibration of the map " + name +
                         " cannot be saved: a map name with \"=\" or a line break is no key of the settings file");
    settings.SetValue(name + "_SCALE", IntToStr(map.Sliders().XScale));
    settings.SetValue(name + "_CORRECTIONY", IntToStr(map.Sliders().YScale));
    settings.SetValue(name + "_TOPMARGIN", IntToStr(map.TopMargin()));
    settings.SetValue(name + "_LEFTMARGIN", IntToStr(map.LeftMargin()));
    settings.SetValue("ZOOM", IntToStr(zoom));
}

void TRoundMap::ShowMap(const std::string& mapName)
{
    FMapName = mapName;
    FObjects.Clear();
    LoadMapPicture();
    LoadObjects();
}

void TRoundMap::ShowPicture(const std::string& mapName)
{
    FMapName = mapName;
    LoadMapPicture();
}

std::string TRoundMap::ObjectFile() const { return FindMapObjectFile(FFiles.ImageFolders(), FMapName); }

TCalibration TRoundMap::FitToRound(const TEventInfoList& events) const
{
    return FitCalibration(RoundPlaces(events, FObjects), FPicture.Height);
}

std::string TRoundMap::LoadPicture(TPictureHolder& image, const std::string& name)
{
    const TPictureFile found = FindPictureFile(FFiles.ImageFolders(), FFiles.PictureMap(), name,
                                               [](const std::string& file) { return FindFileNoCase(file); });
    if (found.FileName.empty()) {
        PictureMissed(name);
        return found.Name;
    }
    image.LoadFromFile(found.FileName);
    image.SetSizeToPicture();
    return found.Name;
}

void TRoundMap::PictureMissed(const std::string& name)
{
    ++FMisses;
    FMissing.Add(name);
    if (FHooks.pictureMissed)
        FHooks.pictureMissed(name);
}

void TRoundMap::PlaceObject(TMapObject& object)
{
    if (object.IsControlPoint())
        if (const char* flag = FlagPictureName(object.FTeam))
            object.FPictureName = LoadPicture(object.FImage, flag);
    const TCalibration at = FCalibration.Placing();
    const int32_t x = CalibratedMapX(at, object.FX);
    const int32_t y = CalibratedMapY(at, FPicture.Height, object.FZ);
    CentreOnMapPixel(object.FImage, x, y);
}

void TRoundMap::LoadObjects()
{
    const std::string fileName = ObjectFile();
    if (fileName.empty())
        return;
    TTextList file;
    file.LoadFromFile(fileName);
    for (const TObjectGroup& group : ReadObjectGroups(file))
        PlaceObject(AddFileObject(FObjects, group, [this](TPictureHolder& image, const std::string& name) {
            return LoadPicture(image, name);
        }));
}
