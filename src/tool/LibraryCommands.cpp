#include "tool/LibraryCommands.h"

#include "tool/Commands.h"

#include "library/LibraryDatabase.h"
#include "library/LibraryLocation.h"

#include <QCoreApplication>

#include <filesystem>
#include <map>

std::unique_ptr<TLibraryDatabase> TLibraryCommand::Open() const
{
    return std::make_unique<TLibraryDatabase>(location);
}

std::unique_ptr<TLibraryDatabase> TLibraryCommand::OpenExisting() const
{
    // Opening makes a library where there is none: a query of a mistyped name would leave an
    // empty one behind and answer as if it were the library.
    std::error_code ignored;
    if (!IsLibraryServerUrl(location) && !std::filesystem::exists(location, ignored))
        throw TUsageError{"no library at " + location};
    return Open();
}

int Library(TContext& c)
{
    static const std::map<std::string, int (*)(TLibraryCommand&)> subcommands = {
        {"scan", LibraryScan},
        {"rounds", LibraryRoundsCommand},
        {"player", LibraryPlayerCommand},
        {"heatmap", LibraryHeatmapCommand},
    };
    const auto found = subcommands.find(c.Arg(0));
    if (found == subcommands.end())
        throw TUsageError();
    TLibraryCommand command{{}, "", "", c.out, c.err};
    std::string& home = command.home;
    for (size_t i = 1; i < c.args.size(); ++i) {
        const std::string& word = c.Arg(i);
        if (word == "--db")
            command.location = c.Arg(++i);
        else if (word == "--home")
            home = c.Arg(++i);
        else
            command.args.push_back(word);
    }
    if (!QCoreApplication::instance())
        QCoreApplication::setApplicationName(QStringLiteral("ornwick"));
    if (command.location.empty())
        command.location = home.empty() ? DefaultLibraryLocation() : LibraryLocationIn(home);
    return found->second(command);
}
