// Filling the match library: how fast a log's text is indexed (plain and compressed), how long
// a scan of a library whose ten thousand files are all unchanged takes, and the peak memory of
// `ornwick library scan` over about a gigabyte of logs and over one large log.
#include "BenchSupport.h"
#include "library/LibraryDatabase.h"
#include "library/LibraryIndex.h"
#include "base/MemoryStream.h"
#include "library/RoundRecord.h"
#include "log/EventInfo.h"
#include "log/LogFile.h"
#include "log/StreamedLog.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A log of about `bytes` of text as a server names it, made once and kept with the other inputs.
std::string GeneratedLog(const std::string& folder, int seed, long long bytes, bool zxml, int port)
{
    fs::create_directories(folder);
    char name[64];
    std::snprintf(name, sizeof name, "/ev_%d-20250301_%02d%02d.%s", port, seed / 60 % 24, seed % 60, zxml ? "zxml" : "xml");
    const std::string path = folder + name;
    if (FileSize(path) > 0)
        return path;
    std::vector<std::string> args = {ProgramFolder() + "/ornwick-loggen", "--seed", std::to_string(seed), "--players", "64",
                                     "--size", std::to_string(bytes), "--keyhash", "--name-changes", "-o", path};
    if (zxml)
        args.push_back("--zxml");
    const TProgramRun made = RunProgram(args);
    if (made.status != 0 || FileSize(path) <= 0)
        throw std::runtime_error("could not make " + path);
    return path;
}

std::string IndexFolder() { return BenchDataFolder() + "/library-index"; }

// The same text of about 10 MB, plain and compressed.
const std::string& TenMegabyteLog(bool zxml)
{
    static const std::string plain = GeneratedLog(IndexFolder(), 3, 10000000, false, 16567);
    static const std::string compressed = GeneratedLog(IndexFolder(), 3, 10000000, true, 16567);
    return zxml ? compressed : plain;
}

void BM_IndexLog(benchmark::State& state)
{
    const bool zxml = state.range(0) != 0;
    const std::string& log = TenMegabyteLog(zxml);
    const long long text = FileSize(TenMegabyteLog(false));
    int rounds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        {
            TLibraryDatabase library(dir.filePath(QStringLiteral("library.sqlite")).toStdString());
            state.ResumeTiming();
            rounds = IndexLogFile(library, log);
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.counters["rounds"] = rounds;
    state.counters["text_MB_per_s"] =
        benchmark::Counter(static_cast<double>(text) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_IndexLog)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);

// Indexing the 10 MB log one step at a time, to see where its time goes. `steps`: 0 the first
// reading (tokens, roster, round list), 1 each round's tree as well, 2 each round's events as
// well, 3 each round's records instead (its events, their replay and the rest), 4 the whole of
// indexing into a new library; 5 the SHA-1 of the text alone, 6 inflating its .zxml alone, 7
// indexing the .zxml whole. What 4 takes beyond 3 is storing and hashing. Seconds.
double IndexStepSeconds(int steps)
{
    const bool zxml = steps == 6 || steps == 7;
    const std::string& log = TenMegabyteLog(zxml);
    QTemporaryDir dir;
    std::optional<TLibraryDatabase> library;
    if (steps == 4 || steps == 7)
        library.emplace(dir.filePath(QStringLiteral("library.sqlite")).toStdString());
    TMemoryStream file;
    if (steps == 5 || steps == 6)
        file.LoadFromFile(log);
    const auto start = std::chrono::steady_clock::now();
    if (steps == 4 || steps == 7) {
        IndexLogFile(*library, log);
    } else if (steps == 5) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_Digest(file.Data(), static_cast<size_t>(file.Size()), digest, &size, EVP_sha1(), nullptr);
        benchmark::DoNotOptimize(digest);
    } else if (steps == 6) {
        TMemoryStream inflated;
        InflateStream(file, inflated);
        benchmark::DoNotOptimize(inflated.Data());
    } else {
        TStreamedLog streamed;
        streamed.Open(log);
        if (steps >= 1)
            streamed.ForEachRound([&](int index, const TwexXMLTree& tree, const TwexXMLNode& round) {
                if (steps == 2) {
                    TEventInfoList events;
                    BuildEventList(round, events);
                } else if (steps == 3) {
                    benchmark::DoNotOptimize(RecordsOfRound(tree, round, index, streamed.Roster()));
                }
                return true;
            });
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Ten thousand small log files in a hundred folders, held by a library as they are: a scan
// only looks at them.
struct TUnchanged {
    std::string folder, library;
};

const TUnchanged& UnchangedLibrary()
{
    static const TUnchanged made = [] {
        TUnchanged u{BenchDataFolder() + "/library-unchanged", BenchDataFolder() + "/library-unchanged.sqlite"};
        fs::remove(u.library);
        fs::remove(u.library + "-wal");
        fs::remove(u.library + "-shm");
        TLibraryDatabase library(u.library);
        QSqlDatabase& db = library.Connection();
        db.transaction();
        QSqlQuery add(db);
        add.prepare(QStringLiteral("INSERT INTO files (path, size, modified, hash, readable, note, missing) "
                                   "VALUES (?, ?, ?, '', ?, '', 0)"));
        for (int f = 0; f < 100; ++f) {
            const std::string folder = u.folder + "/server" + std::to_string(f);
            fs::create_directories(folder);
            for (int i = 0; i < 100; ++i) {
                const std::string path = folder + "/ev_" + std::to_string(16000 + f) + "-20250301_" +
                                         std::to_string(1000 + i) + ".xml";
                if (FileSize(path) <= 0)
                    std::ofstream(path, std::ios::binary) << "<?xml version=\"1.0\"?>\n<bf:log></bf:log>\n";
                struct stat info {};
                ::stat(path.c_str(), &info);
                add.addBindValue(QString::fromStdString(path));
                add.addBindValue(static_cast<qlonglong>(info.st_size));
                add.addBindValue(static_cast<qlonglong>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec);
                add.addBindValue(static_cast<qlonglong>(info.st_size));
                if (!add.exec())
                    throw std::runtime_error("could not fill " + u.library);
            }
        }
        db.commit();
        return u;
    }();
    return made;
}

void BM_UnchangedScan(benchmark::State& state)
{
    const TUnchanged& u = UnchangedLibrary();
    TLibraryDatabase library(u.library);
    TScanSummary summary;
    for (auto _ : state)
        summary = ScanFolders(library, {u.folder});
    if (summary.skipped != 10000)
        state.SkipWithError("not every file was skipped");
    state.counters["files"] = summary.files;
}

BENCHMARK(BM_UnchangedScan)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

void ReportLibraryIndexBenchmarks()
{
    auto& m = MedianSeconds();
    const double text = static_cast<double>(FileSize(TenMegabyteLog(false))) / 1e6;
    for (const auto& [name, run] : {std::pair{"xml", "BM_IndexLog/0"}, {"zxml", "BM_IndexLog/1"}})
        if (m.count(run))
            std::printf("library indexing of a %.1f MB %s log: %.0f MB of text a second (%.3f s, goal >= 300)\n", text,
                        name, text / m[run], m[run]);
    // Each step's time a megabyte of text, and the rate that the work which is not reading the
    // text (the replay and the rest of the records, storing; for a .zxml, inflating too) would
    // allow alone: no reading of the text, however fast, indexes faster than that. The steps are
    // timed in turn, eleven times, the fastest of each kept, so that the machine's slower and
    // faster spells fall on all of them alike.
    {
        constexpr int Steps = 8;
        double fastest[Steps];
        std::fill(std::begin(fastest), std::end(fastest), 1e9);
        for (int round = 0; round < 11; ++round)
            for (int steps = 0; steps < Steps; ++steps)
                fastest[steps] = std::min(fastest[steps], IndexStepSeconds(steps));
        auto ms = [&fastest, text](int steps) { return fastest[steps] / text * 1000; };
        const double replay = ms(3) - ms(2), storing = ms(4) - ms(3) - ms(5);
        std::printf("library indexing by step, ms a MB of text, fastest of 11: first reading %.2f, round trees %.2f, "
                    "events %.2f, replay and the rest of the records %.2f, storing %.2f, hashing %.2f (whole %.2f, "
                    "%.0f MB/s); the replay, storing and hashing alone allow %.0f MB/s\n",
                    ms(0), ms(1) - ms(0), ms(2) - ms(1), replay, storing, ms(5), ms(4), 1000 / ms(4),
                    1000 / (replay + storing + ms(5)));
        std::printf("  the same text as .zxml: inflating alone %.2f (whole %.2f, %.0f MB/s); inflating, the replay, "
                    "storing and hashing alone allow %.0f MB/s\n",
                    ms(6), ms(7), 1000 / ms(7), 1000 / (ms(6) + replay + storing + ms(5)));
    }
    if (m.count("BM_UnchangedScan"))
        std::printf("library scan of 10000 unchanged files: %.3f s  (goal < 2 s)\n", m["BM_UnchangedScan"]);

    // About a gigabyte of logs, half of them compressed, scanned into a new library by the tool.
    const char* skip = std::getenv("ORNWICK_BENCH_SKIP_LIBRARY_SCAN");
    if (skip && *skip)
        return;
    const std::string folder = BenchDataFolder() + "/library-1gb";
    long long bytes = 0;
    for (int i = 0; i < 100; ++i) {
        const bool zxml = i % 2 == 1;
        const std::string log = GeneratedLog(folder + "/server" + std::to_string(i % 4), 100 + i, 10000000, zxml, 16567 + i % 4);
        bytes += zxml ? 10000000 : FileSize(log);
    }
    // Read one log at a time, then as many at once as the tool reads by default.
    for (const int readers : {1, DefaultScanReaders()}) {
        QTemporaryDir home;
        const std::string library = home.filePath(QStringLiteral("library.sqlite")).toStdString();
        const TProgramRun ran = RunProgram({ProgramFolder() + "/ornwick", "library", "scan", folder, "--readers",
                                            std::to_string(readers), "--db", library},
                                           home.filePath(QStringLiteral("summary.json")).toStdString(), "/dev/null");
        std::string summary;
        std::getline(std::ifstream(home.filePath(QStringLiteral("summary.json")).toStdString()), summary);
        std::printf("ornwick library scan of %.0f MB of log text in 100 logs, %d at once: %.1f s, %.0f MB/s, peak "
                    "memory %.0f MB (exit %d, goal <= 200 MB)\n  %s\n",
                    static_cast<double>(bytes) / 1e6, readers, ran.seconds, static_cast<double>(bytes) / 1e6 / ran.seconds,
                    ran.maxRssKb / 1024.0, ran.status, summary.c_str());
    }

    // The window's frames while a scan runs beside them, as the window scans: on a thread of its
    // own, reading one log at a time or two. This is why the window keeps a core for itself.
    const double alone = FramesPerSecond(3);
    for (const int readers : {1, 2}) {
        std::atomic<bool> stop{false};
        QTemporaryDir scanHome;
        const std::string scanLibrary = scanHome.filePath(QStringLiteral("library.sqlite")).toStdString();
        std::thread scan([&stop, &folder, &scanLibrary, readers] {
            TLibraryDatabase library(scanLibrary);
            ScanFolders(library, {folder}, [&stop](const TScanProgress&) { return !stop; }, readers);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // under way
        const double busy = FramesPerSecond(3);
        stop = true;
        scan.join();
        std::printf("frames a second of the replay with every overlay on: %.0f alone, %.0f while a scan reads %d "
                    "log%s at once (goal: kept)\n",
                    alone, busy, readers, readers == 1 ? "" : "s");
    }

    // Whatever a log's size: one log of 50 MB and one of 400 MB of text (compressed, to spare
    // the disk), each scanned into a new library.
    for (const long long size : {50000000LL, 400000000LL}) {
        const std::string one = BenchDataFolder() + "/library-one-" + std::to_string(size / 1000000);
        GeneratedLog(one, 7, size, true, 16567);
        QTemporaryDir oneHome;
        const TProgramRun single =
            RunProgram({ProgramFolder() + "/ornwick", "library", "scan", one, "--db",
                        oneHome.filePath(QStringLiteral("library.sqlite")).toStdString()},
                       "/dev/null", "/dev/null");
        std::printf("ornwick library scan of one log of %lld MB of text: %.1f s, %.0f MB/s, peak memory %.0f MB "
                    "(exit %d, goal <= 200 MB)\n",
                    size / 1000000, single.seconds, static_cast<double>(size) / 1e6 / single.seconds,
                    single.maxRssKb / 1024.0, single.status);
    }
    // The most a scan holds: two such logs read at once (a second name for the same file).
    const int readers = DefaultScanReaders();
    if (readers > 1) {
        const std::string two = BenchDataFolder() + "/library-two-400";
        fs::create_directories(two);
        const std::string log = GeneratedLog(BenchDataFolder() + "/library-one-400", 7, 400000000LL, true, 16567);
        for (const char* name : {"/ev_16567-20250301_0007.zxml", "/ev_16568-20250301_0007.zxml"})
            if (!fs::exists(two + name))
                fs::create_symlink(log, two + name);
        QTemporaryDir twoHome;
        const TProgramRun both =
            RunProgram({ProgramFolder() + "/ornwick", "library", "scan", two, "--readers", std::to_string(readers), "--db",
                        twoHome.filePath(QStringLiteral("library.sqlite")).toStdString()},
                       "/dev/null", "/dev/null");
        std::printf("ornwick library scan of two logs of 400 MB of text, %d at once: %.1f s, peak memory %.0f MB "
                    "(exit %d, goal <= 200 MB)\n",
                    readers, both.seconds, both.maxRssKb / 1024.0, both.status);
    }
}
