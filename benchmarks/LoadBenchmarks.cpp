// Loading a large log: the tree against pugixml's DOM, and inflation against zlib itself.
#include "BenchSupport.h"
#include "base/Files.h"
#include "base/HugePages.h"
#include "base/MemoryStream.h"
#include "log/LogFile.h"
#include "xmltree/wexXMLTree.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

void BM_TreeLoad(benchmark::State& state)
{
    const std::string& path = BenchInputs().plainLog;
    for (auto _ : state) {
        TwexXMLTree tree("ROOT", "", nullptr);
        tree.LoadFromFile(path);
        benchmark::DoNotOptimize(tree.FirstChild());
    }
}

void BM_PugixmlLoad(benchmark::State& state)
{
    const std::string& path = BenchInputs().plainLog;
    const long long size = FileSize(path);
    for (auto _ : state) {
        pugi::xml_document document;
        const auto result = document.load_file(path.c_str());
        // The log ends inside its last round, as a running server leaves it: pugixml reports
        // the open elements at the very end, after it has built the whole tree.
        const bool wholeTree = result || (result.status == pugi::status_end_element_mismatch && result.offset >= size);
        if (!wholeTree)
            state.SkipWithError(result.description());
        benchmark::DoNotOptimize(document.first_child());
    }
}

void BM_InflateStream(benchmark::State& state)
{
    TMemoryStream compressed;
    compressed.LoadFromFile(BenchInputs().compressedLog);
    for (auto _ : state) {
        TMemoryStream inflated;
        compressed.SetPosition(0);
        InflateStream(compressed, inflated);
        benchmark::DoNotOptimize(inflated.Data());
    }
}

// zlib's own one-call inflate into a buffer that already has the right size, backed by huge
// pages as the program's buffers are: the floor the program's inflation is held against.
void BM_ZlibUncompress(benchmark::State& state)
{
    TMemoryStream compressed;
    compressed.LoadFromFile(BenchInputs().compressedLog);
    const auto size = static_cast<uLongf>(FileSize(BenchInputs().plainLog));
    for (auto _ : state) {
        std::unique_ptr<Bytef, decltype(&std::free)> out(static_cast<Bytef*>(std::malloc(size)), &std::free);
        AdviseHugePages(out.get(), size);
        uLongf length = size;
        if (uncompress(out.get(), &length, reinterpret_cast<const Bytef*>(compressed.Data()),
                       static_cast<uLong>(compressed.Size())) != Z_OK)
            state.SkipWithError("uncompress failed");
        benchmark::DoNotOptimize(out.get());
    }
}

} // namespace

BENCHMARK(BM_TreeLoad)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_PugixmlLoad)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_InflateStream)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3)->ReportAggregatesOnly(true);
