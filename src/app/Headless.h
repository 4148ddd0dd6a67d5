#pragma once

#include <iosfwd>

// The headless tool: inspects logs with the program's own code and prints what it finds.
// Returns the process exit status.
int RunOrnwick(int argc, char** argv, std::ostream& out, std::ostream& err);
