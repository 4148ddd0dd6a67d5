#pragma once

// A folder of generated logs for the tests of the Library window and its scans.

#include "LogGen.h"
#include "../WindowTestUtil.h"

#include <filesystem>
#include <string>
#include <vector>

// Two servers' logs, two each, with key hashes and name changes: written once, copied into each
// test's own folder.
inline const std::vector<std::string>& GeneratedLogs()
{
    static const TTempDir dir;
    static const std::vector<std::string> logs = [] {
        loggen::Options options;
        options.seed = 11;
        options.players = 8;
        options.rounds = 2;
        options.roundTime = 150;
        options.keyhash = true;
        options.nameChanges = true;
        options.servers = 2;
        options.logsPerServer = 2;
        options.outDir = dir.Path("logs");
        std::vector<std::string> paths;
        for (const std::string& name : loggen::generateSeries(options))
            paths.push_back((std::filesystem::path(options.outDir) / std::filesystem::path(name).filename()).string());
        return paths;
    }();
    return logs;
}

// A program folder whose settings name a library of its own, and a folder of the logs.
struct TLibraryHome {
    THome home;
    std::string logs = home.Dir.Path("logs");
    std::string database = home.Dir.Path("library.sqlite");
    TLibraryHome()
    {
        std::filesystem::create_directories(logs);
        for (const std::string& log : GeneratedLogs())
            std::filesystem::copy_file(log, std::filesystem::path(logs) / std::filesystem::path(log).filename());
        home.Dir.Write("Tarvel.ini", "LibraryDatabase=" + database + "\r\n");
    }
};
