// Runs the benchmarks, then prints the ratios the performance goals are stated in.
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

void ReportReplayBenchmarks(); // ReplayBench.cpp
void ReportFrameBenchmarks();  // FrameBench.cpp
void ReportVideoBenchmarks();  // VideoBench.cpp
void ReportHostileInputBenchmarks(); // HostileInputBench.cpp
void ReportLevelImportBenchmarks(); // LevelImportBench.cpp
void ReportStatsBenchmarks(); // StatsBench.cpp
void ReportLibraryQueryBenchmarks(); // LibraryQueryBench.cpp
void ReportLibraryIndexBenchmarks(); // LibraryIndexBench.cpp

namespace {

class TCaptureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                MedianSeconds()[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
};

double Ratio(const char* ours, const char* theirs)
{
    auto& m = MedianSeconds();
    return m.count(ours) && m.count(theirs) && m[theirs] > 0 ? m[ours] / m[theirs] : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && std::string(argv[1]) == MeasureChildOption)
        return MeasureChild(argv + 2);
    benchmark::Initialize(&argc, argv);
    const TBenchInputs& inputs = BenchInputs();
    // Three runs: the first one after a while also pays for loading the program and its
    // libraries; the fastest is reported with the largest peak.
    long rssKb = 0;
    double seconds = 1e9;
    int status = 0;
    const std::string ornwick = ProgramFolder() + "/ornwick";
    for (int run = 0; run < 3; ++run) {
        const TProgramRun ran = RunProgram({ornwick, "select", inputs.plainLog, "no-such-name"});
        status = ran.status;
        rssKb = std::max(rssKb, ran.maxRssKb);
        seconds = std::min(seconds, ran.seconds);
    }
    TCaptureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto& m = MedianSeconds();
    const double mb = static_cast<double>(FileSize(inputs.plainLog)) / 1e6;
    std::printf("\nInput: %s (%.1f MB), %s (%.1f MB)\n", inputs.plainLog.c_str(), mb,
                inputs.compressedLog.c_str(), static_cast<double>(FileSize(inputs.compressedLog)) / 1e6);
    if (m.count("BM_TreeLoad") && m.count("BM_PugixmlLoad"))
        std::printf("tree load / pugixml load:       %.2f  (%.3f s / %.3f s, goal <= 3)\n",
                    Ratio("BM_TreeLoad", "BM_PugixmlLoad"), m["BM_TreeLoad"], m["BM_PugixmlLoad"]);
    if (m.count("BM_InflateStream") && m.count("BM_ZlibUncompress"))
        std::printf("InflateStream / zlib uncompress: %.2f  (%.3f s / %.3f s, goal <= 1.5)\n",
                    Ratio("BM_InflateStream", "BM_ZlibUncompress"), m["BM_InflateStream"], m["BM_ZlibUncompress"]);
    std::printf("ornwick select peak memory / file size: %.2f  (%.0f MB peak, exit %d, %.3f s, goal <= 3)\n",
                rssKb * 1024.0 / (mb * 1e6), rssKb / 1024.0, status, seconds);
    if (m.count("BM_WalkLog") && m.count("BM_TreeLoad"))
        std::printf("round list and roster walk / tree load: %.3f  (%.4f s / %.3f s, goal <= 0.1)\n",
                    Ratio("BM_WalkLog", "BM_TreeLoad"), m["BM_WalkLog"], m["BM_TreeLoad"]);
    auto& events = EventCounts();
    if (m.count("BM_BuildEventList/10000") && m.count("BM_BuildEventList/100000") && events[10000] && events[100000]) {
        const double small = m["BM_BuildEventList/10000"] / events[10000];
        const double large = m["BM_BuildEventList/100000"] / events[100000];
        std::printf("BuildEventList time per event, %d events / %d events: %.2f  (%.0f ns / %.0f ns, goal <= 1.5)\n",
                    events[100000], events[10000], large / small, large * 1e9, small * 1e9);
    }
    ReportStatsBenchmarks();
    ReportFrameBenchmarks();
    ReportReplayBenchmarks();
    ReportVideoBenchmarks();
    ReportHostileInputBenchmarks();
    ReportLevelImportBenchmarks();
    ReportLibraryQueryBenchmarks();
    ReportLibraryIndexBenchmarks();
    return 0;
}
