#include "tool/LibraryCommands.h"

#include "tool/Commands.h"

#include "library/LibraryDatabase.h"
#include "library/LibraryLocation.h"

#include <QCoreApplication>

#include <map>

std::unique_ptr<TLibraryDatabase> TLibraryCommand::Open() const
{
    return std::make_unique<TLibraryDatabase>(location);
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
