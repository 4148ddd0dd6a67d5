#pragma once

// A level's script files (.con) read as commands, and the map's object file made from the game
// type's control points and object spawns, in the form the map view reads.

#include "level/Level.h"

#include <string>
#include <string_view>
#include <vector>

// What reading a script could not take as it stands, for the import to tell: nothing is left
// out without a word.
struct TScriptNotes {
    size_t NulBytes = 0;   // NUL bytes, read as line breaks
    size_t Unreadable = 0; // UTF-16 characters beyond Latin-1, read as "?", and a lone last byte
    bool Utf16 = false;
    // "3 NUL bytes read as line breaks" and the like, "" when nothing was noted.
    std::string Text() const;
};

// A script's lines: a script in UTF-16 (its byte-order mark says so) read as 8-bit text, a
// UTF-8 mark dropped, and lines broken at every CR LF, lone CR, lone LF and NUL byte (a NUL
// byte, damage, ends no more than its line).
std::vector<std::string> ScriptLines(std::string_view bytes, TScriptNotes* notes = nullptr);

// One command of a script: its keyword in lower case ("object.create") and its arguments.
// Comment lines (rem) and beginrem/endrem blocks are left out.
struct TConCommand {
    std::string Keyword;
    std::vector<std::string> Args;
};
std::vector<TConCommand> ReadConCommands(std::string_view bytes, TScriptNotes* notes = nullptr);

// GeometryTemplate.worldSize of Init/Terrain.con; ELevelError when missing or no size, or a
// size out of range.
int ReadWorldSize(const TLevel& level);

struct TLevelObject {
    std::string Class; // "controlpoint" or the spawned vehicle
    double X = 0, Y = 0, Z = 0;
    int Team = 0;
    bool ControlPoint = false;
};

// The game type's folder for a log's "gamemode" (GPM_CQ, GPM_CTF, GPM_TDM, GPM_COOP) or a
// folder name (Conquest, Ctf, TDM, SinglePlayer), any letter case; ELevelError otherwise.
std::string GameTypeFolder(const std::string& mode);

// The control points and object spawns of the game type, in file order. An object without a
// place (a coordinate that is no number, or one beyond a million units) is left out. What was
// left out or read otherwise than written is told in `skipped`, a line for each file.
std::vector<TLevelObject> ReadLevelObjects(const TLevel& level, const std::string& gameTypeFolder,
                                           std::vector<std::string>* skipped = nullptr);

// The object file's text: a create, position and team line for each object.
std::string ObjectFileText(const std::string& map, const std::vector<TLevelObject>& objects);
