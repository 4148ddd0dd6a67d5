#include "BenchSupport.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

std::string ProgramFolder()
{
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

extern char** environ;

TProgramRun RunProgram(const std::vector<std::string>& args, const std::string& out, const std::string& err)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!out.empty())
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!err.empty())
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        throw std::runtime_error("could not start " + args[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    TProgramRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

long long FileSize(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

namespace {
void Generate(const std::string& output, bool compressed)
{
    if (FileSize(output) > 0)
        return;
    const std::string command = ProgramFolder() + "/ornwick-loggen --seed 1 --players 64 --size 100000000" +
                                (compressed ? " --zxml" : "") + " -o '" + output + "'";
    std::fprintf(stderr, "making %s\n", output.c_str());
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("could not run: " + command);
}
} // namespace

std::string BenchDataFolder()
{
    const char* folder = std::getenv("ORNWICK_BENCH_DATA");
    const std::string dir = folder ? folder : ProgramFolder() + "/../bench-data";
    std::filesystem::create_directories(dir);
    return dir;
}

const TBenchInputs& BenchInputs()
{
    static const TBenchInputs inputs = [] {
        const std::string dir = BenchDataFolder();
        TBenchInputs made{dir + "/log100mb.xml", dir + "/log100mb.zxml"};
        Generate(made.plainLog, false);
        Generate(made.compressedLog, true);
        return made;
    }();
    return inputs;
}

std::map<long long, int>& EventCounts()
{
    static std::map<long long, int> counts;
    return counts;
}

std::map<std::string, double>& MedianSeconds()
{
    static std::map<std::string, double> medians;
    return medians;
}
