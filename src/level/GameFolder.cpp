#include "level/GameFolder.h"

#include "base/TextList.h"
#include "level/Level.h"
#include "level/MapImport.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The folders in `folder`, sorted, without throwing; nothing for what cannot be read.
std::vector<fs::path> SubFolders(const fs::path& folder)
{
    std::vector<fs::path> folders;
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code kind;
        if (it->is_directory(kind))
            folders.push_back(it->path());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

// The sub-folder of `folder` named `name` in any letter case.
std::optional<fs::path> FolderNoCase(const fs::path& folder, const std::string& name)
{
    const std::string lower = LowerAscii(name);
    for (const fs::path& child : SubFolders(folder))
        if (LowerAscii(child.filename().string()) == lower)
            return child;
    return std::nullopt;
}

bool HoldsLevels(const fs::path& folder)
{
    std::optional<fs::path> at = folder;
    for (const char* part : {"Mods", "bf1942", "Archives", "bf1942", "levels"})
        if (at)
            at = FolderNoCase(*at, part);
    return at.has_value();
}

// The places a Linux player keeps the game, in the order they are searched.
std::vector<fs::path> GamePlaces(const fs::path& home)
{
    std::vector<fs::path> places{home / ".wine" / "drive_c"};
    const auto prefixes = [&](const fs::path& folder, const fs::path& inside) {
        for (const fs::path& prefix : SubFolders(folder))
            places.push_back(prefix / inside);
    };
    prefixes(home / ".local/share/wineprefixes", "drive_c");
    for (const char* steam : {".steam/steam", ".local/share/Steam"})
        prefixes(home / steam / "steamapps/compatdata", "pfx/drive_c");
    places.push_back(home / "Games");
    // ~/.steam/steam is most often a link to ~/.local/share/Steam: each place once.
    std::vector<fs::path> distinct;
    std::set<fs::path> seen;
    for (const fs::path& place : places) {
        std::error_code error;
        if (!fs::is_directory(place, error))
            continue;
        const fs::path real = fs::canonical(place, error);
        if (!error && seen.insert(real).second)
            distinct.push_back(place);
    }
    return distinct;
}

} // namespace

bool IsGameFolder(const std::string& folder)
{
    std::error_code error;
    return !folder.empty() && fs::is_directory(folder, error) && FolderNoCase(folder, "Mods").has_value();
}

std::string NotAGameFolder(const std::string& folder)
{
    return folder + " is not a game folder: a game folder is the one the game is installed in, holding its Mods "
                    "folder (with the levels in Mods/bf1942/Archives/bf1942/levels)";
}

void CheckGameFolder(const std::string& folder)
{
    if (!IsGameFolder(folder))
        throw ELevelError(NotAGameFolder(folder));
}

TSavedGameFolder SavedGameFolder(const TTextList& settings)
{
    TSavedGameFolder saved;
    const std::string value = settings.Values(GameFolderKey);
    if (value.empty())
        return saved;
    if (IsGameFolder(value))
        saved.Folder = value;
    else
        saved.Problem = std::string("The setting ") + GameFolderKey + " is not used: " + NotAGameFolder(value);
    return saved;
}

std::string ImportNotice(const std::string& map, const std::string& why)
{
    return "No picture of " + map + ": " + why;
}

std::optional<std::string> FindGame(const std::string& home, const TGameSearch& search)
{
    if (home.empty())
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + search.Budget;
    const auto stop = [&] {
        return (search.Cancel && search.Cancel->load()) || std::chrono::steady_clock::now() >= deadline;
    };
    for (const fs::path& place : GamePlaces(home)) {
        std::deque<std::pair<fs::path, int>> waiting{{place, 0}};
        while (!waiting.empty()) {
            if (stop())
                return std::nullopt;
            const auto [folder, depth] = waiting.front();
            waiting.pop_front();
            std::vector<fs::path> inside;
            bool mods = false;
            std::error_code error;
            fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
            for (; !error && it != fs::directory_iterator(); it.increment(error)) {
                if (stop())
                    return std::nullopt;
                std::error_code kind;
                if (!it->is_directory(kind))
                    continue;
                if (LowerAscii(it->path().filename().string()) == "mods")
                    mods = true;
                else if (depth < search.Depth && !it->is_symlink(kind))
                    inside.push_back(it->path());
            }
            if (mods && HoldsLevels(folder))
                return folder.string();
            std::sort(inside.begin(), inside.end());
            for (const fs::path& next : inside)
                waiting.emplace_back(next, depth + 1);
        }
    }
    return std::nullopt;
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    return home ? home : "";
}
