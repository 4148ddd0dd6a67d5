// Inputs a hostile or careless file gives, run as a user runs them: the peak memory of
// `ornwick select FILE no-such-name` per byte of (inflated) text for texts made of the smallest
// pieces of markup; `ornwick objects` on a map of 20 000 classes without pictures; and, when
// ORNWICK_BENCH_BIG=1, a generated log of 1 GB opened, listed and replayed.
#include "BenchSupport.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TToolRun {
    int status = -1;
    double seconds = 0;
    double peakMb = 0;
    std::string out;
};

// Runs the tool with its output in a file. The peak comes from GNU time, which starts the tool
// from a process of its own: a process started from this one would count, as its peak, what
// this one held when it started.
TToolRun RunTool(std::vector<std::string> args)
{
    const std::string output = BenchDataFolder() + "/tool-output.txt";
    const std::string peak = BenchDataFolder() + "/tool-peak.txt";
    args.insert(args.begin(), {"/usr/bin/time", "-f", "%M", "-o", peak, ProgramFolder() + "/ornwick"});
    const TProgramRun ran = RunProgram(args, output, "/dev/null");
    TToolRun run;
    run.seconds = ran.seconds;
    run.status = ran.status;
    // The last line: GNU time puts a note about a failed command before the figure.
    std::ifstream peakIn(peak);
    for (std::string line; std::getline(peakIn, line);)
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
            run.peakMb = std::atof(line.c_str()) / 1024.0;
    std::ifstream in(output, std::ios::binary);
    run.out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

std::string Repeat(const std::string& piece, size_t bytes)
{
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes)
        text += piece;
    return text;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Deflate(const std::string& text)
{
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
              static_cast<uLong>(text.size()), 9);
    out.resize(size);
    return out;
}

void ReportHostileTexts()
{
    struct TText {
        const char* name;
        std::function<std::string()> make;
        bool compressed = false;
    };
    constexpr size_t Mb40 = 40000000;
    const TText texts[] = {
        {"unclosed <a>, 99 MB from a .zxml", [] { return Repeat("<a>", 99000000); }, true},
        {"<> pairs, 40 MB", [] { return Repeat("<>", Mb40); }},
        {"<a/> runs, 40 MB", [] { return Repeat("<a/>", Mb40); }},
        {"<></> pairs, 40 MB", [] { return Repeat("<></>", Mb40); }},
        {"one tag of empty attributes, 40 MB", [] { return "<a" + Repeat(" =\"\"", Mb40) + ">"; }},
        {"attribute-heavy tags, 40 MB", [] { return Repeat("<a b=\"\" c=\"1\"/>", Mb40); }},
        {"deep nesting closed again, 40 MB",
         [] { return Repeat("<a>", Mb40 / 7 * 3) + Repeat("</a>", Mb40 / 7 * 4); }},
        {"tiny texts x<>, 40 MB", [] { return Repeat("x<>", Mb40); }},
        {"CDATA of line breaks, 40 MB", [] { return "<![CDATA[" + std::string(Mb40, '\n') + "]]>"; }},
    };
    std::printf("\nHostile texts: ornwick select FILE no-such-name, peak memory / text size (goal <= 25)\n");
    for (const TText& t : texts) {
        const std::string text = t.make();
        const std::string path = BenchDataFolder() + "/hostile" + (t.compressed ? ".zxml" : ".xml");
        WriteFile(path, t.compressed ? Deflate(text) : text);
        const TToolRun run = RunTool({"select", path, "no-such-name"});
        std::printf("  %-38s %6.2f  (%.0f MB peak, %.1f MB file, exit %d, %.2f s)\n", t.name,
                    run.peakMb * 1024 * 1024 / static_cast<double>(text.size()), run.peakMb,
                    static_cast<double>(FileSize(path)) / 1e6, run.status, run.seconds);
        std::filesystem::remove(path);
    }
}

void ReportMissingPictures()
{
    const std::string home = BenchDataFolder() + "/objects-home";
    std::filesystem::create_directories(home + "/images");
    WriteFile(home + "/Tarvel.ini", "admin=true\r\n");
    constexpr int Classes = 20000;
    std::string objects;
    for (int i = 0; i < Classes; ++i)
        objects += "Object.create class" + std::to_string(i) + "\nObject.absolutePosition " + std::to_string(i % 1000) +
                   "/0/" + std::to_string(i % 700) + "\nObject.setTeam 1\n";
    WriteFile(home + "/images/manyOBS.con", objects);
    TToolRun best;
    best.seconds = 1e9;
    for (int run = 0; run < 3; ++run) {
        const TToolRun r = RunTool({"objects", "many", "--home", home});
        if (r.seconds < best.seconds)
            best = r;
    }
    const bool listed = best.out.find("\"class" + std::to_string(Classes - 1) + "\"]}") != std::string::npos;
    std::printf("\nornwick objects, %d classes without pictures: %.2f s  (%.0f MB peak, exit %d, %s, fastest of 3, goal: "
                "seconds, not minutes)\n",
                Classes, best.seconds, best.peakMb, best.status, listed ? "all listed missing" : "LIST INCOMPLETE");
    std::filesystem::remove_all(home);
}

void ReportBigLog()
{
    const char* big = std::getenv("ORNWICK_BENCH_BIG");
    if (!big || std::string(big) != "1") {
        std::printf("\nA log of 1 GB: skipped (set ORNWICK_BENCH_BIG=1 to run it; it needs about 4 GB of memory "
                    "and 2 GB of disk)\n");
        return;
    }
    const std::string log = BenchDataFolder() + "/log1gb.xml";
    const std::string make = ProgramFolder() + "/ornwick-loggen --seed 1 --players 64 --rounds 500 --size 1000000000 -o '" +
                             log + "'";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(make.c_str()) != 0)
        throw std::runtime_error("could not run: " + make);
    const double made = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mb = static_cast<double>(FileSize(log)) / 1e6;
    std::printf("\nA log of 1 GB (%s, %.0f MB, made in %.0f s by ornwick-loggen --players 64 --rounds 500):\n",
                log.c_str(), mb, made);
    const TToolRun rounds = RunTool({"rounds", log});
    const long listed = std::count(rounds.out.begin(), rounds.out.end(), '\n');
    std::printf("  ornwick rounds LOG:                 %6.2f s, %5.0f MB peak (%.2f x the file), %ld rounds, exit %d\n",
                rounds.seconds, rounds.peakMb, rounds.peakMb * 1024 * 1024 / (mb * 1e6), listed, rounds.status);
    const std::string round = std::to_string(std::max(0L, listed / 2));
    for (const char* ticks : {"1", "3000"}) {
        const TToolRun replay = RunTool({"replay", log, round, "--ticks", ticks});
        std::printf("  ornwick replay LOG %s --ticks %-5s %6.2f s, %5.0f MB peak (%.2f x the file), %zu bytes out, exit %d\n",
                    round.c_str(), ticks, replay.seconds, replay.peakMb, replay.peakMb * 1024 * 1024 / (mb * 1e6),
                    replay.out.size(), replay.status);
    }
    std::filesystem::remove(log);
}

} // namespace

void ReportHostileInputBenchmarks()
{
    ReportHostileTexts();
    ReportMissingPictures();
    ReportBigLog();
}
