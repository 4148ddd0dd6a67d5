// `ornwick library scan`: the summary on one line, the failures on standard error, and the exit
// statuses of a scan that ran, a library that cannot be opened and a wrong command line.
#include "../replay/LogText.h"
#include "TestUtil.h"
#include "tool/Ornwick.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace replaylog;

namespace {

struct TRun {
    int status = 0;
    std::string out, err;
};

TRun RunOrnwick(std::vector<std::string> args)
{
    args.insert(args.begin(), "ornwick");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    std::ostringstream out, err;
    TRun run;
    run.status = RunTool(static_cast<int>(argv.size()), argv.data(), out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// The value of a count in the summary line.
int Field(const std::string& json, const std::string& name)
{
    const size_t at = json.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::stoi(json.substr(at + name.size() + 3));
}

} // namespace

TEST(LibraryScanCommand, PrintsTheSummaryAndTellsTheFailures)
{
    TSeparatorScope point('.');
    TTempDir dir;
    std::filesystem::create_directories(dir.Path("logs/a"));
    std::filesystem::create_directories(dir.Path("more"));
    dir.Write("logs/a/one.xml", Log(Round(Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}))));
    dir.Write("more/two.xml", Log(Round("") + Round("", "hill")));
    const std::string bad = dir.Write("logs/bad.zxml", "no zlib stream");
    const std::string home = dir.Path("home");
    std::filesystem::create_directory(home);

    TRun run = RunOrnwick({"library", "scan", dir.Path("logs"), dir.Path("more"), "--home", home});
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    EXPECT_EQ(run.out.rfind("{\"files\":3,\"indexed\":2,\"skipped\":0,\"failed\":1,\"missing\":0,\"rounds\":3,\"seconds\":", 0),
              0u)
        << run.out;
    EXPECT_NE(run.err.find(bad + ": "), std::string::npos) << run.err;
    EXPECT_TRUE(PathExists(home + "/library.sqlite"));

    run = RunOrnwick({"library", "scan", dir.Path("logs"), "--db", home + "/library.sqlite"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Field(run.out, "skipped"), 1) << run.out;
    EXPECT_EQ(Field(run.out, "failed"), 1) << run.out;
    EXPECT_EQ(Field(run.out, "rounds"), 0) << run.out;

    // Read two at once, the same logs make the same library.
    run = RunOrnwick({"library", "scan", dir.Path("logs"), dir.Path("more"), "--readers", "2", "--db",
                      home + "/two.sqlite"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("{\"files\":3,\"indexed\":2,\"skipped\":0,\"failed\":1,\"missing\":0,\"rounds\":3,\"seconds\":", 0),
              0u)
        << run.out;
    EXPECT_NE(run.err.find(bad + ": "), std::string::npos) << run.err;
}

TEST(LibraryScanCommand, ExitStatuses)
{
    TTempDir dir;
    std::filesystem::create_directory(dir.Path("logs"));
    // No folder, or an option it does not know: the usage.
    EXPECT_EQ(RunOrnwick({"library", "scan", "--home", dir.Path("")}).status, 2);
    EXPECT_EQ(RunOrnwick({"library", "scan", dir.Path("logs"), "--fast", "--home", dir.Path("")}).status, 2);
    for (const char* readers : {"0", "65", "two"})
        EXPECT_EQ(RunOrnwick({"library", "scan", dir.Path("logs"), "--readers", readers, "--home", dir.Path("")}).status, 2);
    EXPECT_EQ(RunOrnwick({"library", "scan", dir.Path("logs"), "--readers"}).status, 2);
    // A file that is no library is refused, untouched.
    const std::string notes = dir.Write("notes.txt", "these are my notes, not a database");
    const TRun refused = RunOrnwick({"library", "scan", dir.Path("logs"), "--db", notes});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.empty()) << refused.out;
    EXPECT_NE(refused.err.find(notes), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFileBytes(notes), "these are my notes, not a database");
    // An empty folder is a scan that ran.
    const TRun empty = RunOrnwick({"library", "scan", dir.Path("logs"), "--db", dir.Path("lib.sqlite")});
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(Field(empty.out, "files"), 0) << empty.out;
}
