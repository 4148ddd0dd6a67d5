#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

std::string ProgramFolder()
{
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
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
