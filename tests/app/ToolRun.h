#pragma once

// Runs the headless tool in this process, as its command line would.

#include "app/Headless.h"

#include <sstream>
#include <string>
#include <vector>

struct TToolRun {
    int status;
    std::string out;
    std::string err;
};

inline TToolRun RunOrnwickTool(std::vector<std::string> args)
{
    args.insert(args.begin(), "ornwick");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    std::ostringstream out, err;
    const int status = RunOrnwick(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}
