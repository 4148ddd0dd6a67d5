#pragma once

// A generated log of two listed rounds on the demo maps (the third is left open), written once
// for the seek tests of the session and of the window.

#include "LogGen.h"
#include "TestUtil.h"

#include <string>

inline const std::string& SeekTestLog()
{
    static const TTempDir dir;
    static const std::string log = [] {
        loggen::Options options;
        options.seed = 7;
        options.players = 16;
        options.rounds = 3;
        options.roundTime = 300;
        return dir.Write("log.xml", loggen::generateToString(options));
    }();
    return log;
}
