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
    // Started through a fresh copy of this program, which starts the program asked for and
    // reports its wait status and peak memory on a pipe: a child started straight from here
    // would count as its peak what this process held when it started it.
    std::vector<std::string> all{ProgramFolder() + "/ornwick_benchmarks", MeasureChildOption};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (const std::string& a : all)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, report[1], MeasureReportFd);
    if (!out.empty())
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!err.empty())
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(report[1]);
    if (started != 0) {
        close(report[0]);
        throw std::runtime_error("could not start " + args[0]);
    }
    std::string text;
    char buffer[64];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    close(report[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    TProgramRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int childStatus = 0;
    long maxRss = 0;
    if (std::sscanf(text.c_str(), "%d %ld", &childStatus, &maxRss) != 2)
        throw std::runtime_error("could not start " + args[0]);
    run.maxRssKb = maxRss;
    run.status = WIFEXITED(childStatus) ? WEXITSTATUS(childStatus) : -1;
    return run;
}

int MeasureChild(char** argv)
{
    // This copy is small: the child forked from it starts with next to nothing of its own.
    fcntl(MeasureReportFd, F_SETFD, FD_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0)
        return 1;
    dprintf(MeasureReportFd, "%d %ld\n", status, usage.ru_maxrss);
    return 0;
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
