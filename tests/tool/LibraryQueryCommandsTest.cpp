// `ornwick library rounds`, `player` and `heatmap` over a library of the test's own rows.
#include "../library/LibraryRows.h"
#include "../library/OldServerLog.h"
#include "../library/TestLibrary.h"
#include "TestUtil.h"
#include "library/LibraryIndex.h"
#include "tool/Ornwick.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

struct TRun {
    int status = 0;
    std::string out, err;
};

TRun RunLibrary(std::vector<std::string> args)
{
    args.insert(args.begin(), {"ornwick", "library"});
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    std::ostringstream out, err;
    const int status = RunTool(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

// A program folder holding a library of two rounds and the picture of their map.
struct TToolLibrary {
    TToolLibrary()
    {
        TLibraryRows rows(*library);
        const int64_t log = rows.Log("/logs/ev_14567-20240501_2000.xml", "2024-05-01 20:00");
        const int64_t r1 = rows.Round(log, 0, "berlin", "2024-05-01 20:00");
        const int64_t r2 = rows.Round(log, 1, "el_alamein", "2024-05-01 20:45");
        const int64_t anna = rows.Identity("0123456789abcdef0123456789abcdef", {"Anna", "Ann\xE9"});
        const int64_t bert = rows.Identity("", {"Bert"});
        rows.Played(r1, anna, 1, "Ann\xE9", 1, 600, {10, 2, 1, 0, 0, 0, 0, 0});
        rows.Played(r1, bert, 2, "Bert", 2, 600, {1, 1, 2, 0, 0, 0, 0, 0});
        rows.Played(r2, bert, 2, "Bert", 2, 600, {{}, {}, {}, {}, 0, 0, 0, 0});
        const TLibraryRows::TSide a{anna, "Anna", 1, TWorldPlace{100, 100}}, b{bert, "Bert", 2, TWorldPlace{150, 120}};
        rows.Kill(r1, 110, a, b, "Thompson", "Assault");
        rows.Kill(r1, 120, a, b, "Thompson", "Assault", "Sherman");
        rows.Kill(r1, 130, b, a, "K98", "Scout");
        QDir().mkpath(QString::fromStdString(dir.Path("images")));
        QImage picture(600, 600, QImage::Format_RGB888);
        picture.fill(Qt::darkGreen);
        picture.save(QString::fromStdString(dir.Path("images/berlin.bmp")));
        dir.Write("Tarvel.ini", "");
    }
    TSeparatorScope point{'.'};
    TTempDir dir;
    std::unique_ptr<TLibraryDatabase> library = NewTestLibrary(dir);
    std::string home = dir.Path("");
    std::string db = library->Location(); // a file in home, or a database on the test server
};

} // namespace

TEST(LibraryQueryCommands, RoundsPrintsARoundALineAndRefusesABadDay)
{
    TToolLibrary t;
    // Typed in UTF-8, found as the log wrote it.
    TRun run = RunLibrary({"rounds", "--home", t.home, "--db", t.db, "--player", "ANN\xC3\x89", "--since", "2024-05-01", "--until", "2024-05-01"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "{\"file\":\"/logs/ev_14567-20240501_2000.xml\",\"round\":0,\"server\":\"Server\",\"map\":\"berlin\",\"mod\":\"bf1942\","
                       "\"mode\":\"GPM_CQ\",\"start\":\"2024-05-01 20:00\",\"datedBy\":\"name\",\"length\":900,\"players\":2,\"winner\":\"1\","
                       "\"tickets\":\"1:20, 2:0\"}\n");
    run = RunLibrary({"rounds", "--home", t.home, "--db", t.db, "--map", "el_alamein"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"round\":1,\"server\":\"Server\",\"map\":\"el_alamein\""), std::string::npos) << run.out;
    EXPECT_EQ(RunLibrary({"rounds", "--home", t.home, "--db", t.db, "--map", "nowhere"}).out, "");

    for (const char* day : {"2024-5-01", "2024-02-30", "yesterday"}) {
        run = RunLibrary({"rounds", "--home", t.home, "--db", t.db, "--until", day});
        EXPECT_EQ(run.status, 2) << day;
        EXPECT_NE(run.err.find("--until needs a day YYYY-MM-DD"), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunLibrary({"rounds", "--home", t.home, "--db", t.db, "--since"}).status, 2);
    EXPECT_EQ(RunLibrary({"rounds", "--home", t.home, "--db", t.db, "--team", "1"}).status, 2);
}

TEST(LibraryQueryCommands, PlayerPrintsThePageOrExitsThreeForNone)
{
    TToolLibrary t;
    TRun run = RunLibrary({"player", "anna", "--home", t.home, "--db", t.db});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "{\"names\":[\"Ann\xC3\xA9\",\"Anna\"],\"keyhash\":\"0123456789abcdef0123456789abcdef\","
                       "\"rounds\":1,\"score\":10,\"kills\":2,\"deaths\":1,\"tks\":0,\"kits\":{\"Assault\":2},"
                       "\"vehicles\":{\"Sherman\":1},\"weapons\":{\"Thompson\":2}}\n");
    run = RunLibrary({"player", "Nobody", "--home", t.home, "--db", t.db});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Nobody"), std::string::npos) << run.err;
    EXPECT_EQ(RunLibrary({"player", "--home", t.home, "--db", t.db}).status, 2);
    EXPECT_EQ(RunLibrary({"player", "Anna", "Bert", "--home", t.home, "--db", t.db}).status, 2);
}

// An old server's log: no table of the players, a round cut off, names written with entities.
TEST(LibraryQueryCommands, AnOldServersLogPrintsTheReplaysCountsAndDecodedNames)
{
    TSeparatorScope point('.');
    TTempDir dir;
    std::string db;
    {
        const std::unique_ptr<TLibraryDatabase> library = NewTestLibrary(dir);
        db = library->Location();
        ASSERT_EQ(IndexLogFile(*library, dir.Write("ev_14567-20040501_2000.xml", oldserverlog::Text())), 2);
        TRun run = RunLibrary({"rounds", "--home", dir.Path(""), "--db", db});
        EXPECT_EQ(run.status, 0) << run.err;
        size_t lines = 0;
        for (size_t at = run.out.find("\"server\":\"DC 0.7 LostVillage <S>A<S> sv1\","); at != std::string::npos;
             at = run.out.find("\"server\":\"DC 0.7 LostVillage <S>A<S> sv1\",", at + 1))
            ++lines;
        EXPECT_EQ(lines, 2u) << run.out;
        run = RunLibrary({"player", "<S>Anna", "--home", dir.Path(""), "--db", db});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "{\"names\":[\"<S>Anna\"],\"keyhash\":\"\",\"rounds\":2,\"score\":0,\"kills\":4,\"deaths\":1,"
                           "\"tks\":0,\"kits\":{},\"vehicles\":{},\"weapons\":{\"M16\":4}}\n");
        // Typed in UTF-8, as the log's reference wrote it.
        run = RunLibrary({"player", "j\xC3\xA4ger", "--home", dir.Path(""), "--db", db});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.rfind("{\"names\":[\"J\xC3\xA4ger\"]", 0), 0u) << run.out;
        EXPECT_NE(run.out.find("\"kills\":1,"), std::string::npos) << run.out;
        run = RunLibrary({"player", "Bert & Co", "--home", dir.Path(""), "--db", db});
        EXPECT_NE(run.out.find("\"deaths\":4,"), std::string::npos) << run.out;
    }
}

TEST(LibraryQueryCommands, AQueryOfALibraryThatIsNotThereSaysSoAndMakesNone)
{
    TTempDir dir;
    const std::string typo = dir.Path("typo.sqlite");
    for (std::vector<std::string> args : {std::vector<std::string>{"rounds"}, {"player", "Anna"},
                                          {"heatmap", "berlin", "--out", dir.Path("heat.png")}}) {
        args.insert(args.end(), {"--db", typo});
        const TRun run = RunLibrary(args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(run.err, "ornwick: no library at " + typo + "\n");
        EXPECT_FALSE(std::filesystem::exists(typo));
        EXPECT_FALSE(std::filesystem::exists(dir.Path("heat.png")));
    }
}

TEST(LibraryQueryCommands, HeatmapReplacesNoLogNorAnyFileItDidNotMakeAndNamesAnUnknownMap)
{
    TToolLibrary t;
    const std::string log = t.dir.Write("ev_14567-20240501_2000.xml", "<bf:log></bf:log>\n");
    const std::string link = t.dir.Path("heat.png");
    std::filesystem::create_symlink(log, link);
    const std::string notes = t.dir.Write("notes.png", "my notes\n");
    for (const std::string& out : {link, notes}) {
        const TRun run = RunLibrary({"heatmap", "berlin", "--out", out, "--db", t.library->Location(), "--home", t.home});
        EXPECT_EQ(run.status, 2) << out;
        EXPECT_NE(run.err.find("it is left as it is"), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadFileBytes(log), "<bf:log></bf:log>\n");
    EXPECT_EQ(ReadFileBytes(notes), "my notes\n");
    // A heat map it wrote is replaced.
    const std::string heat = t.dir.Path("berlin.png");
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(RunLibrary({"heatmap", "berlin", "--out", heat, "--db", t.library->Location(), "--home", t.home}).status, 0);
    // A map of no round: exit 3, nothing drawn.
    const TRun unknown =
        RunLibrary({"heatmap", "berlni", "--out", t.dir.Path("typo.png"), "--db", t.library->Location(), "--home", t.home});
    EXPECT_EQ(unknown.status, 3);
    EXPECT_EQ(unknown.err, "No round of the library is played on berlni\n");
    EXPECT_FALSE(std::filesystem::exists(t.dir.Path("typo.png")));
}

TEST(LibraryQueryCommands, HeatmapWritesThePngAndTellsWhatItDrew)
{
    TToolLibrary t;
    const std::string png = t.dir.Path("heat.png");
    TRun run = RunLibrary({"heatmap", "berlin", "--out", png, "--home", t.home, "--db", t.db, "--kind", "kills", "--team", "1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "{\"points\":2,\"places\":2,\"size\":[1024,1024],\"picture\":true}\n");
    const QImage written(QString::fromStdString(png));
    EXPECT_EQ(written.size(), QSize(1024, 1024));
    EXPECT_EQ(written.pixel(1000, 20), QColor(Qt::darkGreen).rgb());

    run = RunLibrary({"heatmap", "berlin", "--out", png, "--home", t.home, "--db", t.db, "--weapon", "K98", "--player", "bert"});
    EXPECT_EQ(run.out, "{\"points\":0,\"places\":0,\"size\":[1024,1024],\"picture\":true}\n");
    run = RunLibrary({"heatmap", "berlin", "--out", png, "--home", t.home, "--db", t.db, "--player", "bert"});
    EXPECT_EQ(run.out, "{\"points\":2,\"places\":2,\"size\":[1024,1024],\"picture\":true}\n");

    // Refused before any work: nothing is written.
    const std::string jpg = t.dir.Path("heat.jpg");
    run = RunLibrary({"heatmap", "berlin", "--out", jpg, "--home", t.home, "--db", t.db});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("the heat map is saved as .png"), std::string::npos) << run.err;
    EXPECT_FALSE(PathExists(jpg));
    run = RunLibrary({"heatmap", "berlin", "--out", png, "--home", t.home, "--db", t.db, "--kind", "spawns"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--kind needs deaths or kills"), std::string::npos) << run.err;
    EXPECT_EQ(RunLibrary({"heatmap", "berlin", "--out", png, "--home", t.home, "--db", t.db, "--team", "red"}).status, 2);
    EXPECT_EQ(RunLibrary({"heatmap", "berlin", "--home", t.home, "--db", t.db}).status, 2);
    EXPECT_EQ(RunLibrary({"heatmap", "berlin", "--out", t.dir.Path("library.png"), "--db", t.dir.Path("library.png")}).status, 2);
}
