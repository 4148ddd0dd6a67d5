#pragma once

// Inputs and shared figures of the benchmarks. Large inputs are made once by the log
// generator beside the benchmark program and kept in the data folder.

#include <map>
#include <string>
#include <vector>

struct TBenchInputs {
    std::string plainLog;      // about 100 MB of plain XML
    std::string compressedLog; // the same text as .zxml
};

// The folder of the running program (build/bin).
std::string ProgramFolder();
// Where generated inputs are kept: $ORNWICK_BENCH_DATA, else build/bench-data.
std::string BenchDataFolder();
// Makes the inputs when they are missing and returns their paths.
const TBenchInputs& BenchInputs();
long long FileSize(const std::string& path);

// Frames of the replay with every overlay on drawn a second, one after another as the window
// draws them, over `seconds` (FrameBench.cpp).
double FramesPerSecond(double seconds);

// Median real time in seconds of each benchmark run, by run name, filled by the reporter.
std::map<std::string, double>& MedianSeconds();
// Events in the round of each BuildEventList size.
std::map<long long, int>& EventCounts();

// A program run to its end: its exit status (-1 when it did not exit), real time and peak memory.
struct TProgramRun {
    int status = -1;
    double seconds = 0;
    long maxRssKb = 0;
};
// Runs args[0] with standard output and standard error sent to the files given (an empty name
// leaves the stream as it is); throws when it cannot start. Its peak memory is its own.
TProgramRun RunProgram(const std::vector<std::string>& args, const std::string& out = "", const std::string& err = "");
// The benchmark program started as `ornwick_benchmarks --measure-child PROGRAM ARGS...` runs the
// program and reports its wait status and peak memory in kB on MeasureReportFd; MeasureChild
// takes the arguments after the option.
inline constexpr char MeasureChildOption[] = "--measure-child";
inline constexpr int MeasureReportFd = 3;
int MeasureChild(char** argv);
