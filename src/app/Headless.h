#pragma once

#include <iosfwd>

// The headless tool with the window's own commands (widgets, about) beside the model's
// (tool/Ornwick.h). Returns the process exit status.
int RunOrnwick(int argc, char** argv, std::ostream& out, std::ostream& err);

class TTarvelMain;

// What the window shows of its replay, printed as `ornwick replay` prints a replay: the clock
// and time display, then the player states, the scoreboard's rows, the map objects and the
// score log, one JSON object a line. The window's tests compare the two.
void PrintReplay(std::ostream& out, TTarvelMain& window, int ticks);
