#include "level/Level.h"

#include "base/Files.h"
#include "level/RfaArchive.h"

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

constexpr const char* TerrainPath = "init/terrain.con";
// Level folders hold hundreds of files; a folder of millions is no level.
constexpr size_t MaxLevelFiles = 200000;

// The level's name as the game and the log write it (TextOfFileName).
std::string Stem(const std::string& fileName)
{
    std::string name = ExtractFileName(fileName);
    const size_t dot = name.rfind('.');
    return TextOfFileName(dot == std::string::npos ? name : name.substr(0, dot));
}

// The child of folder whose name matches name in any letter case; empty when none.
std::optional<fs::path> ChildNoCase(const fs::path& folder, const std::string& name)
{
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return std::nullopt;
    const std::string lower = LowerAscii(name);
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (LowerAscii(entry.path().filename().string()) == lower)
            return entry.path();
    return std::nullopt;
}

} // namespace

std::string LowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void CheckMapName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
        throw ELevelError("'" + name + "' cannot be a map's name");
}

void TLevel::Add(const std::string& path, TLoader loader) { FFiles[LowerAscii(path)] = {path, FSource, std::move(loader)}; }

std::string TLevel::Where(const std::string& path) const
{
    const auto found = FFiles.find(LowerAscii(path));
    return found == FFiles.end() ? FSource + ": " + path : found->second.Source + ": " + found->second.Path;
}

bool TLevel::Has(const std::string& path) const { return FFiles.count(LowerAscii(path)) != 0; }

std::optional<std::string> TLevel::Read(const std::string& path) const
{
    const auto found = FFiles.find(LowerAscii(path));
    if (found == FFiles.end())
        return std::nullopt;
    return found->second.Load();
}

std::string TLevel::ReadRequired(const std::string& path) const
{
    std::optional<std::string> bytes = Read(path);
    if (!bytes)
        throw ELevelError(FSource + ": the level has no " + path);
    return std::move(*bytes);
}

std::vector<std::string> TLevel::PathsUnder(const std::string& folder) const
{
    const std::string lower = LowerAscii(folder);
    std::vector<std::string> paths;
    for (auto it = FFiles.lower_bound(lower); it != FFiles.end() && it->first.starts_with(lower); ++it)
        paths.push_back(it->first);
    return paths;
}

TLevel TLevel::FromFolder(const std::string& folder)
{
    std::error_code error;
    const fs::path root(folder);
    if (!fs::is_directory(root, error))
        throw ELevelError(folder + " is no folder");
    TLevel level;
    level.FSource = folder;
    level.FName = TextOfFileName(root.filename().empty() ? root.parent_path().filename().string() : root.filename().string());
    size_t count = 0;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
         it != end; it.increment(error)) {
        if (error)
            throw ELevelError(folder + ": " + error.message());
        if (++count > MaxLevelFiles)
            throw ELevelError(folder + " holds more than " + std::to_string(MaxLevelFiles) + " files: no level folder");
        if (!it->is_regular_file(error))
            continue;
        const std::string file = it->path().string();
        level.Add(fs::relative(it->path(), root, error).generic_string(), [file] { return ReadWholeFile(file); });
    }
    if (!level.Has(TerrainPath))
        throw ELevelError(folder + " is no level folder: it has no Init/Terrain.con");
    return level;
}

TLevel LevelFromArchiveEntries(const TRfaArchive& archive, const std::string& stem, bool needTerrain)
{
    // The level folder: levels/<stem>/ when the entries have it, else the folder of Init/Terrain.con.
    const std::string byName = "levels/" + LowerAscii(stem) + "/";
    std::optional<std::string> rootPrefix;
    for (const TRfaEntry& entry : archive.Entries()) {
        const std::string lower = LowerAscii(entry.Path);
        const size_t at = lower.find(byName);
        if (at != std::string::npos && (at == 0 || lower[at - 1] == '/')) {
            rootPrefix = lower.substr(0, at + byName.size());
            break;
        }
    }
    if (!rootPrefix)
        for (const TRfaEntry& entry : archive.Entries()) {
            const std::string lower = LowerAscii(entry.Path);
            if (lower == TerrainPath || lower.ends_with(std::string("/") + TerrainPath)) {
                rootPrefix = lower.substr(0, lower.size() - std::string(TerrainPath).size());
                break;
            }
        }
    if (!rootPrefix)
        throw ELevelError(archive.Name() + " is no level archive: it has no Init/Terrain.con");
    TLevel level;
    level.SetName(stem);
    level.SetSource(archive.Name());
    auto shared = std::make_shared<TRfaArchive>(archive);
    for (const TRfaEntry& entry : archive.Entries()) {
        const std::string lower = LowerAscii(entry.Path);
        if (lower.starts_with(*rootPrefix) && lower.size() > rootPrefix->size())
            level.Add(entry.Path.substr(rootPrefix->size()), [shared, entry] { return shared->Read(entry); });
    }
    if (needTerrain && !level.Has(TerrainPath))
        throw ELevelError(archive.Name() + " is no level archive: it has no Init/Terrain.con");
    return level;
}

TLevel TLevel::FromArchive(const std::string& fileName)
{
    return LevelFromArchiveEntries(TRfaArchive::FromFile(fileName), Stem(fileName), true);
}

TLevel TLevel::FromGameFolder(const std::string& gameFolder, const std::string& map, const std::string& mod)
{
    CheckMapName(map);
    const auto archiveOf = [&](const std::string& modName) -> std::optional<fs::path> {
        std::optional<fs::path> at = ChildNoCase(gameFolder, "Mods");
        for (const std::string& part : {modName, std::string("Archives"), std::string("bf1942"), std::string("levels")})
            if (at)
                at = ChildNoCase(*at, part);
        for (const std::string& name : FileNamesOfText(map + ".rfa"))
            if (std::optional<fs::path> archive = at ? ChildNoCase(*at, name) : std::nullopt)
                return archive;
        return std::nullopt;
    };
    if (!ChildNoCase(gameFolder, "Mods"))
        throw ELevelError(gameFolder + " is no game folder: it has no Mods folder");
    const std::optional<fs::path> original = archiveOf("bf1942");
    const std::optional<fs::path> modded = LowerAscii(mod) == "bf1942" ? std::nullopt : archiveOf(mod);
    if (!original && !modded)
        throw ELevelError("No level " + map + " in " + gameFolder + " (Mods/" + mod +
                          "/Archives/bf1942/levels/" + map + ".rfa, nor in the bf1942 mod)");
    TLevel level;
    if (original)
        level = LevelFromArchiveEntries(TRfaArchive::FromFile(original->string()), map, !modded);
    if (modded) {
        // The modification's files replace the original's of the same path.
        const TLevel changes = LevelFromArchiveEntries(TRfaArchive::FromFile(modded->string()), map, !original);
        for (const auto& [path, file] : changes.FFiles)
            level.FFiles[path] = file;
        level.FSource = modded->string();
    }
    level.FName = map;
    if (!level.Has(TerrainPath))
        throw ELevelError(level.FSource + " is no level archive: it has no Init/Terrain.con");
    return level;
}
