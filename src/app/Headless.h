#pragma once

#include <iosfwd>

// The headless tool: inspects logs with the program's own code and prints what it finds.
// Returns the process exit status.
int RunOrnwick(int argc, char** argv, std::ostream& out, std::ostream& err);

class TTarvelMain;

// What `ornwick replay` prints of a window's replay: the clock and time display, then the
// player states, the scoreboard's rows, the map objects and the score log, one JSON object a line.
void PrintReplay(std::ostream& out, TTarvelMain& window, int ticks);
