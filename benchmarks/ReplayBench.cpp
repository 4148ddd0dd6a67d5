// The replay measured as a user runs it: `ornwick replay` on generated rounds, each run once to
// its end and once for a single tick; the difference is the replay without start-up, log
// loading and round selection.
#include "BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

struct TReplayRun {
    double seconds = 0;
    long long ticks = 0;
    long long events = 0; // the event index the replay ended at, about the round's events
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
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("could not start " + args[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    TReplayRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("ornwick replay failed on " + log);
    std::ifstream in(output);
    std::string first;
    std::getline(in, first);
    run.ticks = Field(first, "ticks");
    run.events = Field(first, "EventIndex") + 2;
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

} // namespace

void ReportReplayBenchmarks()
{
    const TReplayRun small = MeasureReplay(RoundLog("round10k.xml", "6500k"));
    const TReplayRun large = MeasureReplay(RoundLog("round100k.xml", "65M"));
    const double smallPerEvent = small.seconds / static_cast<double>(small.events);
    const double largePerEvent = large.seconds / static_cast<double>(large.events);
    std::printf("replay to the end, time per event, %lld events / %lld events: %.2f  (%.1f us / %.1f us; %.2f s / %.2f s; goal <= 1.5)\n",
                large.events, small.events, largePerEvent / smallPerEvent, largePerEvent * 1e6, smallPerEvent * 1e6,
                large.seconds, small.seconds);
    std::printf("Timer1Timer tick, 64 players, animation on: %.1f us  (%lld ticks in %.2f s; goal <= 200 us)\n",
                large.seconds / static_cast<double>(large.ticks) * 1e6, large.ticks, large.seconds);
}
