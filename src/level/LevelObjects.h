#pragma once

// A level's script files (.con) read as commands, and the map's object file made from the game
// type's control points and object spawns, in the form the map view reads.

#include "level/Level.h"

#include <string>
#include <string_view>
#include <vector>

// One command of a script: its keyword in lower case ("object.create") and its arguments.
// Comment lines (rem) and beginrem/endrem blocks are left out.
struct TConCommand {
    std::string Keyword;
    std::vector<std::string> Args;
};
std::vector<TConCommand> ReadConCommands(std::string_view text);

// GeometryTemplate.worldSize of Init/Terrain.con; ELevelError when missing or no size.
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
// place (a coordinate that is no number, or one beyond a million units) is left out.
std::vector<TLevelObject> ReadLevelObjects(const TLevel& level, const std::string& gameTypeFolder);

// The object file's text: a create, position and team line for each object.
std::string ObjectFileText(const std::string& map, const std::vector<TLevelObject>& objects);
