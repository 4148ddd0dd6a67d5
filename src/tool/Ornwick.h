#pragma once

// The headless tool: inspects logs with the program's own code and prints what it finds.

#include "tool/ToolCommand.h"

#include <iosfwd>
#include <map>
#include <string>

// Runs the command line; `more` adds commands of the program's own (the window's). Returns the
// process exit status.
int RunTool(int argc, char** argv, std::ostream& out, std::ostream& err,
            const std::map<std::string, TCommand>& more = {});
