// The walks over a loaded log: listing rounds and the roster, and one round's event list.
#include "BenchSupport.h"
#include "log/EventInfo.h"
#include "log/PlayerList.h"
#include "log/RoundIndex.h"
#include "xmltree/wexXMLTree.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

const TwexXMLTree& LoadedOnce(const std::string& path)
{
    static std::map<std::string, std::unique_ptr<TwexXMLTree>> trees;
    auto& tree = trees[path];
    if (!tree) {
        tree = std::make_unique<TwexXMLTree>("ROOT", "", nullptr);
        tree->LoadFromFile(path);
    }
    return *tree;
}

// A log of one round of about the given number of events, made by the generator.
std::string OneRoundLog(int events)
{
    const std::string path = BenchDataFolder() + "/round" + std::to_string(events) + ".xml";
    if (FileSize(path) <= 0) {
        // About 330 bytes an event in the generator's logs.
        const std::string command = ProgramFolder() + "/ornwick-loggen --seed 3 --players 48 --rounds 1 --size " +
                                    std::to_string(events * 330LL) + " -o '" + path + "'";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("could not run: " + command);
    }
    return path;
}

const TwexXMLNode& FirstRound(const TwexXMLTree& tree)
{
    for (const TwexXMLNode* node : tree.FirstChild()->FirstChild()->Children())
        if (node->Name() == "bf:round")
            return *node;
    throw std::runtime_error("no round");
}

void BM_WalkLog(benchmark::State& state)
{
    const TwexXMLTree& tree = LoadedOnce(BenchInputs().plainLog);
    for (auto _ : state) {
        TPlayerList roster;
        int rounds = 0;
        WalkLog(tree, roster, [&](const std::string&, TwexXMLNode*) { ++rounds; });
        state.counters["rounds"] = rounds;
        state.counters["stays"] = roster.Count();
    }
}

void BM_BuildEventList(benchmark::State& state)
{
    const TwexXMLTree& tree = LoadedOnce(OneRoundLog(static_cast<int>(state.range(0))));
    const TwexXMLNode& round = FirstRound(tree);
    TEventInfoList events;
    for (auto _ : state)
        BuildEventList(round, events);
    state.counters["events"] = events.Count();
    state.counters["ns_per_event"] = benchmark::Counter(
        static_cast<double>(events.Count()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    EventCounts()[state.range(0)] = events.Count();
}

} // namespace

BENCHMARK(BM_WalkLog)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_BuildEventList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
