// The replay measured as a user runs it: `ornwick replay` on generated rounds, each run once to
// its end and once for a single tick; the difference is the replay without start-up, log
// loading and round selection.
#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TReplayRun {
    double seconds = 0;
    long long ticks = 0;
    long long events = 0; // the event index the replay ended at, about the round's events
    long long clock = 0;  // the whole seconds of the replay clock it ended at
};

long long Field(const std::string& line, const std::string& name)
{
    const size_t at = line.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::atoll(line.c_str() + at + name.size() + 3);
}

// One run with standard output to a file; the first line tells the ticks and the events.
TReplayRun RunReplay(const std::string& log, const std::vector<std::string>& extra)
{
    const std::string output = BenchDataFolder() + "/replay-output.json";
    std::vector<std::string> args = {ProgramFolder() + "/ornwick", "replay", log, "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    const TProgramRun ran = RunProgram(args, output);
    TReplayRun run;
    run.seconds = ran.seconds;
    if (ran.status != 0)
        throw std::runtime_error("ornwick replay failed on " + log);
    std::ifstream in(output);
    std::string first;
    std::getline(in, first);
    run.ticks = Field(first, "ticks");
    run.events = Field(first, "EventIndex") + 2;
    run.clock = Field(first, "ReplayTime");
    return run;
}

// A log whose first round holds about this many events, with 64 players.
std::string RoundLog(const char* name, const char* size)
{
    const std::string path = BenchDataFolder() + "/" + name;
    if (FileSize(path) > 0)
        return path;
    const std::string command = ProgramFolder() + "/ornwick-loggen --seed 5 --players 64 --rounds 2 --size " + size +
                                " -o '" + path + "'";
    std::fprintf(stderr, "making %s\n", path.c_str());
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("could not run: " + command);
    return path;
}

// The fastest of three: the replay alone, ticks and events of the whole round.
TReplayRun MeasureReplay(const std::string& log)
{
    TReplayRun best;
    best.seconds = 1e9;
    for (int i = 0; i < 3; ++i) {
        const TReplayRun whole = RunReplay(log, {});
        const TReplayRun setUp = RunReplay(log, {"--ticks", "1"});
        TReplayRun replay = whole;
        replay.seconds = std::max(0.0, whole.seconds - setUp.seconds);
        if (replay.seconds < best.seconds)
            best = replay;
    }
    return best;
}

struct TSeekFigures {
    double forward = 1e9;  // from the round's start to its end
    double backward = 1e9; // from the end back to a second before it, the round replayed anew
    long long ticks = 0;
};

// Seeks of the replay command: its runs differ from one another in their seeks alone, and
// end at about the same moment, so their differences are the seeks. Each run makes ten of
// them, so that the start-up's own noise shares out; the fastest of three.
TSeekFigures MeasureSeeks(const std::string& log)
{
    const int seeks = 10;
    TSeekFigures best;
    for (int i = 0; i < 3; ++i) {
        const TReplayRun setUp = RunReplay(log, {"--ticks", "0"});
        const TReplayRun once = RunReplay(log, {"--seek", "1e9"});
        // To the end, then back to the start (nothing to replay), ten times over.
        std::vector<std::string> forward;
        for (int s = 0; s < seeks; ++s)
            forward.insert(forward.end(), {"--seek", "0", "--seek", "1e9"});
        const TReplayRun there = RunReplay(log, forward);
        // Each seek lies before the last: every one goes back to the start and replays.
        std::vector<std::string> back{"--seek", "1e9"};
        for (int s = 1; s <= seeks; ++s)
            back.insert(back.end(), {"--seek", std::to_string(once.clock - s)});
        const TReplayRun backward = RunReplay(log, back);
        best.forward = std::min(best.forward, std::max(0.0, (there.seconds - setUp.seconds) / seeks));
        best.backward = std::min(best.backward, std::max(0.0, (backward.seconds - once.seconds) / seeks));
        best.ticks = once.ticks;
    }
    return best;
}

} // namespace

void ReportReplayBenchmarks()
{
    const TReplayRun small = MeasureReplay(RoundLog("round10k.xml", "6500k"));
    const std::string largeLog = RoundLog("round100k.xml", "65M");
    const TReplayRun large = MeasureReplay(largeLog);
    const double smallPerEvent = small.seconds / static_cast<double>(small.events);
    const double largePerEvent = large.seconds / static_cast<double>(large.events);
    std::printf("replay to the end, time per event, %lld events / %lld events: %.2f  (%.1f us / %.1f us; %.2f s / %.2f s; goal <= 1.5)\n",
                large.events, small.events, largePerEvent / smallPerEvent, largePerEvent * 1e6, smallPerEvent * 1e6,
                large.seconds, small.seconds);
    std::printf("Timer1Timer tick, 64 players, animation on: %.1f us  (%lld ticks in %.2f s; goal <= 200 us)\n",
                large.seconds / static_cast<double>(large.ticks) * 1e6, large.ticks, large.seconds);
    const TSeekFigures seek = MeasureSeeks(largeLog);
    std::printf("seek through a round of %lld events, %lld ticks: start to end %.3f s, back from the end %.3f s"
                "  (goal <= 0.3 s)\n",
                large.events, seek.ticks, seek.forward, seek.backward);
}
