#pragma once

// The tool's commands, each a function of its command line; what each prints is in the usage
// (Ornwick.cpp). Each file holds a command or a small family of them.

#include "tool/ToolCommand.h"

#include <iosfwd>

class TRoundReplay;

// LogCommands.cpp: the parser's and the log's own questions.
int Tokens(TContext& c);
int Tree(TContext& c);
int Select(TContext& c);
int Convert(TContext& c);
int Rounds(TContext& c);
int Roster(TContext& c);
int Events(TContext& c);

// ReplayCommand.cpp
int Replay(TContext& c);
// StatsCommand.cpp
int Stats(TContext& c);
// RenderCommand.cpp
int Render(TContext& c);
// VideoCommand.cpp
int Video(TContext& c);
// MapCommands.cpp: a map's objects, a calibration from reference pairs, the fit to a round.
int Objects(TContext& c);
int CalibrateMap(TContext& c);
int FitRound(TContext& c);
// ImportMapCommand.cpp
int ImportMapCommand(TContext& c);
// LibraryCommands.cpp: the match library's commands.
int Library(TContext& c);
