#pragma once

// The player's game folder: what makes a folder one, the one the settings name, and where a
// Linux player keeps the game when none is named yet.

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

class TTextList;

// Whether the folder holds the game's Mods folder (in any letter case): the one test a game
// folder passes and a level folder, a level archive or a mod's own folder fail.
bool IsGameFolder(const std::string& folder);
// The message that refuses a folder that is not a game folder, saying what one holds.
std::string NotAGameFolder(const std::string& folder);
// Raises ELevelError with NotAGameFolder unless the folder is a game folder.
void CheckGameFolder(const std::string& folder);

// The game folder the settings name. A value that is no game folder is never used: Folder is
// then empty and Problem says why, for the user to be told once.
struct TSavedGameFolder {
    std::string Folder;
    std::string Problem;
};
TSavedGameFolder SavedGameFolder(const TTextList& settings);

// What the user is told, in the window's notice and on the tool's standard error, when a map
// has no picture and the import that would make one could not be made.
std::string ImportNotice(const std::string& map, const std::string& why);

// The search for the game on a first use. It looks, in this order, in the Wine prefix
// ~/.wine/drive_c, the prefixes ~/.local/share/wineprefixes/*/drive_c, the Proton prefixes
// steamapps/compatdata/*/pfx/drive_c under ~/.steam/steam and ~/.local/share/Steam, and in
// ~/Games, breadth first and at most Depth folder levels below each, for a folder holding
// Mods/bf1942/Archives/bf1942/levels. Links to folders are followed only to reach those places:
// a prefix links the user's own folders (and the whole disk) into itself.
struct TGameSearch {
    std::chrono::milliseconds Budget{1000}; // it gives up after this long
    int Depth = 5; // a Lutris prefix in ~/Games: <game>/drive_c/Program Files/EA GAMES/<game>
    const std::atomic<bool>* Cancel = nullptr; // set by another thread: it stops at once
};
// The first game folder found under home, or nothing.
std::optional<std::string> FindGame(const std::string& home, const TGameSearch& search = {});
// The user's home folder ($HOME), "" when unknown.
std::string HomeFolder();
