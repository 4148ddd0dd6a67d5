// `ornwick stats` on rounds of thousands of players, as the command runs it without its
// process: the log opened, the round replayed for its counts and the server's table written as JSON.
// The time must grow with the players, not with their square.
#include "BenchSupport.h"
#include "log/EventInfo.h"
#include "log/OpenedLog.h"
#include "replay/RoundStats.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

// One round of `players` players who each spawn and kill the next one, with the server's
// table of all of them; made once and kept with the other inputs.
std::string PlayersLog(int players)
{
    const std::string path = BenchDataFolder() + "/stats" + std::to_string(players) + ".xml";
    if (FileSize(path) > 0)
        return path;
    std::string log = "<?xml version=\"1.0\"?>\n<bf:log>\n<bf:round timestamp=\"1\">"
                      "<bf:server><bf:setting name=\"map\">kessel_ridge</bf:setting></bf:server>\n";
    auto event = [&](const char* name, int time, int id, const std::string& more) {
        log += "<bf:event name=\"" + std::string(name) + "\" timestamp=\"" + std::to_string(time) +
               "\"><bf:param name=\"player_id\">" + std::to_string(id) + "</bf:param>" + more + "</bf:event>\n";
    };
    for (int id = 1; id <= players; ++id)
        event("createPlayer", 1, id, "<bf:param name=\"name\">Player" + std::to_string(id) + "</bf:param>");
    log += "<bf:event name=\"roundInit\" timestamp=\"2\"/>\n";
    const std::string place = "<bf:param name=\"player_location\">100/0/200</bf:param>";
    for (int id = 1; id <= players; ++id)
        event("spawnEvent", 3, id, place + "<bf:param name=\"team\">" + std::to_string(1 + id % 2) + "</bf:param>");
    for (int id = 1; id < players; ++id)
        event("scoreEvent", 10 + id / 100, id,
              place + "<bf:param name=\"score_type\">Kill</bf:param><bf:param name=\"victim_id\">" +
                  std::to_string(id + 1) + "</bf:param>");
    log += "<bf:roundstats timestamp=\"900\"><bf:winningteam>1</bf:winningteam><bf:victorytype>2</bf:victorytype>"
           "<bf:teamtickets team=\"1\">10</bf:teamtickets><bf:teamtickets team=\"2\">0</bf:teamtickets>\n";
    for (int id = 1; id <= players; ++id) {
        log += "<bf:playerstat playerid=\"" + std::to_string(id) + "\"><bf:statparam name=\"player_name\">Player" +
               std::to_string(id) + "</bf:statparam>";
        for (const char* field : {"is_ai", "team", "score", "kills", "deaths", "tks", "captures"})
            log += "<bf:statparam name=\"" + std::string(field) + "\">" + std::to_string(id % 7) + "</bf:statparam>";
        log += "</bf:playerstat>\n";
    }
    log += "</bf:roundstats></bf:round>\n</bf:log>\n";
    std::ofstream(path, std::ios::binary) << log;
    if (FileSize(path) <= 0)
        throw std::runtime_error("could not write " + path);
    return path;
}

void BM_StatsCommand(benchmark::State& state)
{
    const std::string path = PlayersLog(static_cast<int>(state.range(0)));
    size_t lines = 0;
    for (auto _ : state) {
        TOpenedLog log;
        log.Open(path);
        TEventInfoList events;
        log.BuildRoundEvents(0, events);
        const TRoundStats stats = ReadRoundStats(log.Document(), *log.Round(0));
        const std::vector<std::string> json = RoundStatsJson(stats, ReplayCounts(events, log.Roster()));
        lines = json.size();
        benchmark::DoNotOptimize(json.data());
    }
    state.counters["players"] = static_cast<double>(lines - 1);
}

} // namespace

BENCHMARK(BM_StatsCommand)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3)->ReportAggregatesOnly(true);

void ReportStatsBenchmarks()
{
    auto& m = MedianSeconds();
    if (!m.count("BM_StatsCommand/5000") || !m.count("BM_StatsCommand/20000"))
        return;
    std::printf("ornwick stats, 20000 players: %.3f s, 4 times the players of 5000: %.1f times the time"
                "  (goal < 1 s, about 4)\n",
                m["BM_StatsCommand/20000"], m["BM_StatsCommand/20000"] / m["BM_StatsCommand/5000"]);
}
