// `ornwick stats`: the server's statistics of a round beside the replay's own counts.
#include "tool/Commands.h"

#include "log/EventInfo.h"
#include "log/OpenedLog.h"
#include "replay/RoundStats.h"

#include <ostream>

int Stats(TContext& c)
{
    const TRoundCommand command(c, [](const std::string&, size_t&) { return false; });
    if (!command.numbers.empty())
        throw TUsageError();
    TToolScope scope;
    StartWithoutWindow(command.home);
    TOpenedLog log;
    OpenTelling(log, command.log, c.err);
    CheckRoundListed(command.round, log.Rounds().size());
    // The round's events give the replay's counts, as selecting the round builds them.
    TEventInfoList events;
    log.BuildRoundEvents(command.round, events);
    const TRoundStats stats = ReadRoundStats(log.Document(), *log.Round(command.round));
    for (const std::string& line : RoundStatsJson(stats, ReplayCounts(events, log.Roster())))
        c.out << line << '\n';
    return scope.Finish(c.out, c.err);
}
