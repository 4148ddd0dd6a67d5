// The replay clock and the moving markers as the real window shows and drives them, round
// selection, and the headless command that drives them; the clock itself is tested on the
// session (ReplaySessionTest.cpp).
#include "../WindowTestUtil.h"
#include "../ToolRun.h"
#include "ReplayLog.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace replaylog;

namespace {

// Events of one player at the given time stamps, each a team kill, so that TKs counts how
// often they were applied; the first is a spawn.
std::string TeamKills(const std::vector<std::string>& times, int id = 3)
{
    std::string events = Ev("spawnEvent", times.front(), id, "100/0/200", {{"team", "2"}});
    for (size_t i = 1; i < times.size(); ++i)
        events += Score(times[i], id, "100/0/200", "TK");
    return events;
}

std::string Line(const std::string& text, int index)
{
    std::istringstream lines(text);
    std::string line;
    for (int i = 0; i <= index; ++i)
        std::getline(lines, line);
    return line;
}

} // namespace

TEST(ReplayClock, RoundEndsAtItsSecondToLastEventAndContinueAppliesTheLastAgain)
{
    TReplay r(Log(Round(TeamKills({"10", "10", "11", "12"}) + Score("30", 5, "300/0/400", "TK"))));
    r.Select(0);
    TTarvelMain& w = r.window;
    int ticks = 0;
    while (w.Timer1->isActive() && ticks++ < 1000) {
        w.Timer1Timer();
        // The last event comes with the second-to-last, whatever its time stamp.
        EXPECT_EQ(r.Find(5) != nullptr, w.EventIndex() == 3);
    }
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.EventIndex(), 3);
    EXPECT_EQ(r.State(3).TKs, 3);
    EXPECT_EQ(r.State(5).TKs, 1);
    EXPECT_LT(w.ReplayTime(), 12.5);
    EXPECT_EQ(w.LTime->Caption(), "0:02");

    const double ended = w.ReplayTime();
    w.Button1Click();
    EXPECT_TRUE(w.Timer1->isActive());
    w.Timer1Timer();
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(r.State(5).TKs, 2);
    EXPECT_EQ(r.State(3).TKs, 3);
    EXPECT_DOUBLE_EQ(w.ReplayTime(), ended + 0.1);
    EXPECT_EQ(w.Memo1->toPlainText().count(QStringLiteral("Bert : Team kill")), 2);
}

TEST(ReplayClock, StopThenContinueLosesAndRepeatsNothing)
{
    std::vector<std::string> times{"10"};
    for (int i = 1; i <= 20; ++i)
        times.push_back(std::to_string(10 + i / 2) + (i % 2 ? ".5" : ""));
    TReplay r(Log(Round(TeamKills(times))));
    r.Select(0);
    TTarvelMain& w = r.window;
    r.Ticks(30);
    const int index = w.EventIndex();
    const double time = w.ReplayTime();
    const int kills = r.State(3).TKs;
    EXPECT_GT(kills, 0);

    w.BitBtn1Click();
    EXPECT_TRUE(w.StopRequested());
    r.Ticks(2); // the timer goes off and nothing moves
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.EventIndex(), index);
    EXPECT_EQ(w.ReplayTime(), time);
    EXPECT_EQ(r.State(3).TKs, kills);

    w.Button1Click();
    EXPECT_FALSE(w.StopRequested());
    r.Ticks(1);
    EXPECT_DOUBLE_EQ(w.ReplayTime(), time + 0.1);
    r.RunToEnd();
    EXPECT_EQ(r.State(3).TKs, 20);
}

TEST(ReplayClock, ElapsedTimeAndTimeLine)
{
    std::vector<std::string> times;
    for (int t = 10; t <= 3710; t += 50) // a gap of 50 s is no jump
        times.push_back(std::to_string(t));
    TReplay r(Log(Round(TeamKills(times))));
    r.Select(0);
    TTarvelMain& w = r.window;
    // The round's length stands apart from the time, in one place all round long.
    const int lengthAt = w.Label12->x();
    int ticks = 0;
    for (const auto& [at, caption] : std::vector<std::pair<int, std::string>>{
             {1, "0:00"}, {750, "1:15"}, {6050, "10:05"}, {35990, "59:59"}, {36000, "60:00"}}) {
        r.Ticks(at - ticks);
        ticks = at;
        EXPECT_EQ(w.LTime->Caption(), caption) << ticks << " ticks";
        EXPECT_EQ(w.TBTime->value(), 100 + ticks) << ticks << " ticks";
        EXPECT_GE(w.Label12->x(), w.LTime->geometry().right() + 3) << caption;
        EXPECT_EQ(w.Label12->x(), lengthAt) << caption;
    }
    EXPECT_EQ(w.TBTime->maximum(), 37100);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Label12->Caption(), "3700");

    // A round under ten minutes leaves the length where it was designed, to its end.
    TReplay shorter(Log(Round(TeamKills({"10", "300", "590", "598", "599"}))));
    shorter.Select(0);
    shorter.Seek(599);
    EXPECT_EQ(shorter.window.LTime->Caption(), "9:48");
    EXPECT_EQ(shorter.window.Label12->pos(), QPoint(456, 16));
    EXPECT_GE(shorter.window.Label12->x(), shorter.window.LTime->geometry().right() + 3);
}

TEST(ReplayAnimation, ZeroIsAMissingCoordinate)
{
    // Map x runs from 1 to 0: once it rounds to 0 the last event's x stands in for it.
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "0.5/0/200") + Ev("pickupKit", "20", 3, "0/0/300") +
                        TeamKills({"30", "31", "32"}, 5))),
              BayAtStart);
    r.Select(0);
    TInfoClass& anna = r.State(3);
    r.Ticks(60);
    EXPECT_EQ(anna.Image.Left, MapX(0.5) - HalfStandIn);
    EXPECT_EQ(anna.Image.Top, std::lround(MapY(300) + (MapY(200) - MapY(300)) / 100.0 * 40) - HalfStandIn);
}

TEST(ReplaySelection, TimeLineLengthAndClockFromTheRoundsWholeSeconds)
{
    TReplay r(Log(Round(TeamKills({"10.7", "50", "90.2"})) + Round(TeamKills({"500", "600"}), "other")));
    TTarvelMain& w = r.window;
    r.Select(1); // a later round first: the time line's range must not clip the new position
    w.BitBtn1Click();
    r.Select(0);
    EXPECT_FALSE(w.StopRequested());
    EXPECT_EQ(w.ReplayTime(), 10);
    EXPECT_EQ(w.RoundStartTime(), 10);
    EXPECT_EQ(w.EventIndex(), 0);
    EXPECT_EQ(w.TBTime->minimum(), 100);
    EXPECT_EQ(w.TBTime->value(), 100);
    EXPECT_EQ(w.TBTime->maximum(), 900);
    EXPECT_EQ(w.Label12->Caption(), "80");
    EXPECT_EQ(w.MapName(), "bay");
    EXPECT_EQ(w.CorrectionY(), 1000); // no calibration for the map: whatever TBYas shows
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(r.State(3).Team(), 2);
}

TEST(ReplaySelection, PerMapCalibrationAndADoubleClickWithoutSelection)
{
    TReplay r(Log(Round(TeamKills({"10", "11", "12", "13"}))),
              "bay_SCALE=1500\r\nbay_CORRECTIONY=1200\r\nbay_TOPMARGIN=7\r\nbay_LEFTMARGIN=-3\r\n");
    r.Select(0);
    TTarvelMain& w = r.window;
    EXPECT_EQ(w.TBXas->value(), 1500);
    EXPECT_EQ(w.TBYas->value(), 1200);
    EXPECT_EQ(w.CorrectionY(), 1200);
    EXPECT_EQ(w.TopMargin(), 7);
    EXPECT_EQ(w.LeftMargin(), -3);
    EXPECT_EQ(w.TBTop->value(), 7);
    EXPECT_EQ(w.TBLeft->value(), -3);
    // The first event is placed with the map's calibration: it comes after it.
    EXPECT_EQ(r.State(3).Image.Left, 150 - 3 - HalfStandIn);
    EXPECT_EQ(r.State(3).Image.Top, 105 - 240 + 7 - HalfStandIn);

    r.Ticks(1);
    w.ListBox1->setCurrentRow(-1);
    w.ListBox1DblClick();
    EXPECT_EQ(w.CorrectionY(), 1000);
    EXPECT_EQ(w.PlayerStates().Count(), 1);
    EXPECT_EQ(w.ScoreBord->topLevelItemCount(), 1);
    EXPECT_TRUE(w.Timer1->isActive());
}

TEST(ReplaySelection, BadCalibrationEndsTheSelectionBeforeTheClock)
{
    TReplay r(Log(Round(TeamKills({"10", "11", "12", "13"}))),
              "bay_SCALE=abc\r\nbay_CORRECTIONY=1200\r\nbay_TOPMARGIN=7\r\n");
    TTarvelMain& w = r.window;
    const int maximum = w.TBTime->maximum();
    EXPECT_EQ(MessageOf([&] { r.Select(0); }), "'abc' is not a valid integer value");
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.PlayerStates().Count(), 0);
    EXPECT_EQ(w.MapObjects().Count(), 0);
    EXPECT_EQ(w.TBTime->maximum(), maximum); // not set up
    TTarvelMainTest::Settings(w).SetValue("bay_SCALE", "1500");
    EXPECT_EQ(MessageOf([&] { r.Select(0); }), "'' is not a valid integer value"); // no _LEFTMARGIN
    EXPECT_FALSE(w.Timer1->isActive());
}

TEST(ReplaySelection, EmptyAndOneEventRounds)
{
    const std::string empty = Round(TeamKills({"10", "11"}) + "<bf:event name=\"roundInit\" timestamp=\"12\"/>");
    const std::string single = Round(Score("10.7", 3, "100/0/200", "TK"));
    TReplay r(Log(Round(TeamKills({"10.7", "10", "20", "21"})) + empty + single));
    TTarvelMain& w = r.window;
    r.Select(0);
    r.Ticks(3);
    ASSERT_EQ(w.EventIndex(), 1);
    const double time = w.ReplayTime();

    // Nothing to replay: the selection stops after building the list, the clock with it.
    r.Select(1);
    EXPECT_EQ(w.Events().Count(), 0);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.EventIndex(), 0);
    EXPECT_EQ(w.PlayerStates().Count(), 0);
    EXPECT_EQ(w.ScoreBord->topLevelItemCount(), 0);
    EXPECT_EQ(w.Label12->Caption(), "11");
    EXPECT_EQ(MessageOf([&] { w.Timer1Timer(); }), "");
    EXPECT_EQ(w.ReplayTime(), time);

    // One event: applied by the selection, once; the first tick ends the round.
    r.Select(2);
    EXPECT_EQ(r.State(3).TKs, 1);
    EXPECT_EQ(MessageOf([&] { w.Timer1Timer(); }), "");
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(r.State(3).TKs, 1);
    EXPECT_DOUBLE_EQ(w.ReplayTime(), 10.1);
    EXPECT_EQ(w.LTime->Caption(), "0:00");
    EXPECT_EQ(w.ScoreBord->topLevelItemCount(), 1);
    EXPECT_EQ(w.EventIndex(), 0);
}

TEST(ReplayCommand, PrintsTheClockStatesRowsAndLogThenAFailureAlone)
{
    TSeparatorScope point('.');
    THome home;
    const std::string log = home.Dir.Write(
        "log.xml", Log(Round(Ev("spawnEvent", "10.7", 3, "100/0/200", {{"team", "1"}, {"kit", "Scout"}}) +
                             Score("10", 3, "100/0/200", "TK") + Ev("pickupKit", "12", 3, "100/0/200") +
                             Ev("pickupKit", "13.5", 5, "1/1/1")) +
                       Round(Ev("spawnEvent", "10", 3, "100/0/200") +
                             Score("10", 3, "100/0/200", "Kill", {{"victim_id", "9"}}) + TeamKills({"20", "21"}))));
    const std::string dir = home.Dir.Path("");

    // Each run opens the log, and opening a log stops the clock for 500 ms: two runs here.
    const TToolRun one = RunOrnwickTool({"replay", log, "0", "--home", dir, "--ticks", "1"});
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.err, "");
    EXPECT_EQ(Line(one.out, 0), "{\"ticks\":1,\"ReplayTime\":10.1,\"RoundStartTime\":10,\"EventIndex\":1,"
                                "\"LTime\":\"0:00\",\"TBTime\":[100,101,130],\"timer\":true,\"Label12\":\"3\"}");
    EXPECT_EQ(Line(one.out, 1).rfind("{\"key\":\"3\",\"PlayerID\":3,\"PlayerName\":\"Anna\",\"Team\":1,"
                                     "\"FighterClass\":\"Scout\",\"Dead\":false,",
                                     0),
              0u);
    EXPECT_EQ(Line(one.out, 2), "{\"row\":[\"AXIS\",\"Anna\",\"\",\"\",\"0\",\"0\",\"0\",\"1\"]}");
    EXPECT_EQ(Line(one.out, 3), "{\"log\":\"Anna : Team kill\"}");
    EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 4); // no map objects

    const TToolRun failed = RunOrnwickTool({"replay", log, "1", "--home", dir});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(Line(failed.out, 0).rfind("{\"ticks\":1,\"ReplayTime\":10,\"RoundStartTime\":10,\"EventIndex\":1,", 0), 0u);
    EXPECT_NE(Line(failed.out, 0).find("\"timer\":false"), std::string::npos);
    EXPECT_EQ(failed.err, "Error finding kiled player\n");
}

TEST(ReplayCommand, AnItemThatIsNoneIsAUsageError)
{
    TSeparatorScope point('.');
    TTempDir dir;
    const TToolRun run = RunOrnwickTool({"replay", dir.Write("log.xml", Log(Round(TeamKills({"10", "11"})))), "1",
                                          "--home", dir.Path("")});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "ornwick: no round 1: the log lists one round, 0 (see ornwick rounds LOG)\n");
    EXPECT_EQ(run.out, "");
}

// The loop starts each pass from the state of the round's start: the counts, the score log and
// the rest of a pass go with it, however long the loop runs.
TEST(ReplayClock, TheLoopStartsEveryPassAsTheSelectionLeftTheRound)
{
    std::vector<std::string> times;
    for (int i = 0; i < 150; ++i)
        times.push_back(std::to_string(10 + i / 2) + (i % 2 ? ".5" : ""));
    TReplay r(Log(Round(TeamKills(times))));
    r.window.ReplayFromstart20Events->setChecked(true);
    r.Select(0);
    const std::string selected = r.State();
    int passes = 0, mostTKs = 0, mostLogLines = 0;
    for (int tick = 0; tick < 20000 && passes < 6; ++tick) {
        const int before = r.window.EventIndex();
        r.Ticks(1);
        mostTKs = std::max(mostTKs, r.State(3).TKs);
        mostLogLines = std::max(mostLogLines, r.window.Memo1->document()->blockCount());
        if (r.window.EventIndex() < before) {
            ++passes;
            EXPECT_EQ(r.State(), selected) << "pass " << passes;
        }
    }
    EXPECT_EQ(passes, 6);
    EXPECT_EQ(mostTKs, 100); // the 101st event is the 100th team kill
    EXPECT_LE(mostLogLines, 101);
    EXPECT_TRUE(r.window.Timer1->isActive());
}

// Each tick mark of the time line is drawn at every repaint: a round of years must not ask for
// millions of them.
TEST(ReplaySelection, TheTimeLineHasAFewHundredTicksAtMostWhateverTheRoundsLength)
{
    TReplay r(Log(Round(TeamKills({"10", "50", "200000000"})) + Round(TeamKills({"10.7", "50", "90.2"}), "other") +
                  Round(TeamKills({"0", "3000"}), "third")));
    const QSlider& line = *r.window.TBTime;
    r.Select(0);
    ASSERT_EQ(line.maximum(), 2000000000);
    EXPECT_LE((line.maximum() - line.minimum()) / line.tickInterval(), 300);
    EXPECT_GE((line.maximum() - line.minimum()) / line.tickInterval(), 290);
    EXPECT_EQ(line.tickInterval() % 20, 0);
    r.Select(1); // a short round: a tick every 2 s
    EXPECT_EQ(line.tickInterval(), 20);
    r.Select(2); // 3000 s: 300 ticks of 10 s
    EXPECT_EQ(line.tickInterval(), 100);
}
