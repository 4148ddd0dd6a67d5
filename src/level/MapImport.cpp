#include "level/MapImport.h"

#include "base/Convert.h"
#include "base/ErrorReporting.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/Json.h"
#include "base/TextList.h"
#include "level/GameFolder.h"
#include "settings/ProgramFolder.h"
#include "xmltree/wexXMLTree.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <unordered_set>
#include <utility>

namespace fs = std::filesystem;

namespace {

// Samples per axis for the error: every 1/256 of the picture's side, past any rounding pattern.
constexpr int ErrorSamples = 257;

bool HasChildNoCase(const fs::path& folder, const std::string& name)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (LowerAscii(entry.path().filename().string()) == LowerAscii(name))
            return true;
    return false;
}

std::string Encoded(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, format, 90))
        throw EBaseError(std::string("The picture could not be encoded as ") + format);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

} // namespace

TLevel OpenLevel(const std::string& source, const std::string& map, const std::string& mod)
{
    if (source.empty())
        throw ELevelError("No level was named: name a level folder, a level archive (.rfa) or a game folder");
    std::error_code error;
    if (fs::is_directory(source, error)) {
        if (HasChildNoCase(source, "Mods")) {
            if (map.empty())
                throw ELevelError(source + " is a game folder: name the level with --map");
            return TLevel::FromGameFolder(source, map, mod.empty() ? "bf1942" : mod);
        }
        return TLevel::FromFolder(source);
    }
    // Anything else that keeps it from being read (a loop of links, no permission) the opening
    // of the archive tells in the system's words.
    if (!fs::exists(source, error) && !error)
        throw ELevelError(source + " does not exist");
    return TLevel::FromArchive(source);
}

TPictureCalibration CalibrateLevelPicture(const TLevelPicture& picture)
{
    const int height = picture.Picture.height();
    const TPictureSquare& square = picture.Square;
    // The square was chosen so that these values place it exactly (see TPictureSquare); only the
    // map view's rounding to whole pixels is left, which the error measures.
    TPictureCalibration result;
    result.Values = SquareCalibration(square, height);
    const auto within = [](long long v) { return v >= MinCalibrationOffset && v <= MaxCalibrationOffset; };
    if (!within(-square.CellsX) || !within(square.CellsZ + DrawnMapSize - height))
        throw ECalibrationError("The picture lies too far from the world's origin for the calibration's offsets");
    // Where a position lies on the picture as drawn: the picture fills DrawnMapSize map pixels.
    for (int i = 0; i < ErrorSamples; ++i)
        for (int j = 0; j < ErrorSamples; ++j) {
            const double x = square.X0() + square.Side() * i / (ErrorSamples - 1);
            const double z = square.Z0() + square.Side() * j / (ErrorSamples - 1);
            const double mx = (x - square.X0()) / square.Side() * DrawnMapSize;
            const double my = (square.Z0() + square.Side() - z) / square.Side() * DrawnMapSize;
            result.MaxError = std::max(result.MaxError, PairResidual(result.Values, height, {x, z, mx, my}));
        }
    return result;
}

TMapImport ImportMap(const TLevel& level, const std::string& map, const std::string& gameType, bool overview,
                     const std::string& imagesFolder)
{
    TMapImport import;
    import.Map = LowerAscii(map.empty() ? level.Name() : map);
    CheckMapName(import.Map);
    import.WorldSize = ReadWorldSize(level);
    const std::vector<TLevelObject> objects = ReadLevelObjects(level, GameTypeFolder(gameType), &import.Skipped);
    // A level without the picture asked for still gives its objects and an exact calibration, on
    // the picture it has, or on the world's grid.
    const TLevelPicture picture = LevelPictureOf(level, import.WorldSize, overview);
    import.Calibration = CalibrateLevelPicture(picture);
    import.PictureSide = picture.Picture.width();
    import.Tiles = picture.Tiles;
    import.Kind = picture.Kind;
    const std::vector<std::string> names = FileNamesOfText(import.Map + ".bmp");
    const bool bitmap = std::any_of(names.begin(), names.end(), [&](const std::string& name) { return FileExists(imagesFolder + name); });
    import.PictureFile = import.Map + (bitmap ? ".bmp" : ".jpg");
    import.PictureBytes = Encoded(picture.Picture, bitmap ? "BMP" : "JPG");
    import.ObjectFile = import.Map + "OBS.con";
    import.ObjectText = ObjectFileText(import.Map, objects);
    import.Objects = static_cast<int>(objects.size());
    import.ControlPoints = static_cast<int>(std::count_if(objects.begin(), objects.end(), [](const TLevelObject& o) { return o.ControlPoint; }));
    return import;
}

void WriteMapImport(const TMapImport& import, const std::string& imagesFolder, const std::string& settingsFile)
{
    // Nothing held: only the calibration's keys are written, into the file as it is then.
    TSettingsFile settings(settingsFile);
    WriteMapImport(import, imagesFolder, settings);
}

namespace {
void WriteMapFiles(const TMapImport& import, const std::string& imagesFolder, TSettingsFile& settings);
} // namespace

TRoundGame RoundGame(const TwexXMLNode& round)
{
    TRoundGame game;
    if (const TwexXMLNode* server = round.SelectNode("bf:server"))
        for (const TwexXMLNode* setting : server->Children())
            if (setting->Name() == "bf:setting")
                if (const TwexXMLAttribute* name = setting->AttributeByName("name")) {
                    if (name->Value() == "modid" && !setting->Value().empty())
                        game.Mod = setting->Value();
                    else if (name->Value() == "gamemode" && !setting->Value().empty())
                        game.Mode = setting->Value();
                }
    return game;
}

TMapImport ImportGameMap(const std::string& gameFolder, const TRoundGame& game, const std::string& map,
                         const std::string& imagesFolder)
{
    return ImportMap(OpenLevel(gameFolder, map, game.Mod), map, game.Mode, false, imagesFolder);
}

TRoundMap::TImporter GameFolderImporter(TProgramFiles& files, std::function<void(const std::string&)> notice,
                                        std::function<void()> beforeImport)
{
    struct TTried {
        std::unordered_set<std::string> maps;
        bool problemTold = false;
    };
    auto tried = std::make_shared<TTried>();
    return [&files, tried, notice = std::move(notice), beforeImport = std::move(beforeImport)](const TwexXMLNode& round,
                                                                                            const std::string& map) {
        const TSavedGameFolder saved = SavedGameFolder(files.Settings());
        if (!saved.Problem.empty() && !std::exchange(tried->problemTold, true))
            notice(saved.Problem);
        if (saved.Folder.empty() || !tried->maps.insert(UpperCaseLatin1(map)).second)
            return false;
        try {
            if (beforeImport)
                beforeImport();
            const std::string images = files.ImageFolders().front();
            const TMapImport import = ImportGameMap(saved.Folder, RoundGame(round), map, images);
            WriteMapImport(import, images, files.SettingsFile());
            return true;
        } catch (...) {
            notice(ImportNotice(map, CurrentExceptionMessage()));
            return false;
        }
    };
}

void WriteMapImport(const TMapImport& import, const std::string& imagesFolder, TSettingsFile& held)
{
    if (!QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(imagesFolder))))
        throw EFCreateError(imagesFolder);
    // On a failure the held settings are as they were, as the files are.
    const TSettingsFile unchanged = held;
    try {
        WriteMapFiles(import, imagesFolder, held);
    } catch (...) {
        held = unchanged;
        throw;
    }
}

namespace {

void WriteMapFiles(const TMapImport& import, const std::string& imagesFolder, TSettingsFile& settings)
{
    const TCalibration& c = import.Calibration.Values;
    settings.SetValue(import.Map + "_SCALE", std::to_string(c.XScale));
    settings.SetValue(import.Map + "_CORRECTIONY", std::to_string(c.YScale));
    settings.SetValue(import.Map + "_TOPMARGIN", std::to_string(c.Top));
    settings.SetValue(import.Map + "_LEFTMARGIN", std::to_string(c.Left));
    std::vector<std::pair<std::string, std::string>> files = {
        {imagesFolder + FileNameOfText(import.PictureFile), import.PictureBytes},
        {imagesFolder + FileNameOfText(import.ObjectFile), import.ObjectText}};
    // Every file written and on the disk under a temporary name before any takes its place: a
    // failure then (a full disk) changes nothing.
    std::vector<std::unique_ptr<TFileReplacement>> written;
    const auto write = [&](const std::string& name, const std::string& bytes) {
        written.push_back(std::make_unique<TFileReplacement>(name));
        written.back()->Write(bytes);
        written.back()->Close();
    };
    for (const auto& [name, bytes] : files)
        write(name, bytes);
    // The settings last and under their lock, from the file as it is now: another program
    // writing them meanwhile keeps its keys, and waits only while these few lines are written.
    const TSettingsLock lock(settings.FileName());
    TTextList merged = settings.Merged();
    files.emplace_back(settings.FileName(), merged.Text());
    write(files.back().first, files.back().second);
    std::vector<std::pair<std::string, std::optional<std::string>>> before;
    try {
        for (size_t i = 0; i < files.size(); ++i) {
            const std::string& name = files[i].first;
            before.emplace_back(name, FileExists(name) ? std::optional<std::string>(ReadWholeFile(name)) : std::nullopt);
            written[i]->Commit();
        }
        settings.Saved(std::move(merged));
    } catch (...) {
        before.pop_back(); // the one that failed was left as it was
        for (const auto& [name, old] : before) {
            // As much as can be put back; the first failure is the one told.
            try {
                std::error_code error;
                if (old)
                    WriteWholeFile(name, *old);
                else
                    fs::remove(name, error);
            } catch (const EBaseError&) {
            }
        }
        throw;
    }
}

} // namespace

namespace {
// Only when something was skipped: an import that skipped nothing prints what it always did.
std::string SkippedJson(const std::vector<std::string>& skipped)
{
    if (skipped.empty())
        return "";
    std::string json = ",\"skipped\":[";
    for (size_t n = 0; n < skipped.size(); ++n)
        json += (n ? "," : "") + JsonString(skipped[n]);
    return json + "]";
}
} // namespace

std::string MapImportJson(const TMapImport& i)
{
    const TCalibration& c = i.Calibration.Values;
    return "{\"map\":" + JsonString(i.Map) + ",\"picture\":" + JsonString(i.PictureFile) +
           ",\"pictureKind\":" + JsonString(PictureKindName(i.Kind)) + ",\"pictureWidth\":" + std::to_string(i.PictureSide) + ",\"pictureHeight\":" + std::to_string(i.PictureSide) +
           ",\"worldSize\":" + std::to_string(i.WorldSize) + ",\"tiles\":" + std::to_string(i.Tiles) +
           ",\"objectFile\":" + JsonString(i.ObjectFile) + ",\"objects\":" + std::to_string(i.Objects) +
           ",\"controlPoints\":" + std::to_string(i.ControlPoints) + ",\"_SCALE\":" + std::to_string(c.XScale) +
           ",\"_CORRECTIONY\":" + std::to_string(c.YScale) + ",\"_LEFTMARGIN\":" + std::to_string(c.Left) +
           ",\"_TOPMARGIN\":" + std::to_string(c.Top) + ",\"maxError\":" + JsonNumber(i.Calibration.MaxError) +
           SkippedJson(i.Skipped) + "}";
}
