#pragma once

// `ornwick library …`: the match library's commands, each a function of the words after its
// name, with the library chosen by --db or --home taken out of them.

#include "tool/ToolCommand.h"

#include <memory>

class TLibraryDatabase;

struct TLibraryCommand {
    std::vector<std::string> args; // the subcommand's own words, --db and --home taken out
    std::string location;          // --db FILE|URL; else "library.sqlite" in --home; else the user's
    std::string home;              // --home DIR as given: the program folder, for maps' pictures
    std::ostream& out;
    std::ostream& err;

    // The library, made when a file of its name is missing (a scan).
    std::unique_ptr<TLibraryDatabase> Open() const;
    // The library as it is: a file of its name that is missing is a usage error.
    std::unique_ptr<TLibraryDatabase> OpenExisting() const;
};

// LibraryScanCommand.cpp
int LibraryScan(TLibraryCommand& c);
// LibraryQueryCommands.cpp
int LibraryRoundsCommand(TLibraryCommand& c);
int LibraryPlayerCommand(TLibraryCommand& c);
int LibraryHeatmapCommand(TLibraryCommand& c);
