// Seeking: the state after a seek is the state the same number of plain ticks leaves, all of
// it as the replay command prints it; kill stepping; the time line.
#include "../ToolRun.h"
#include "../WindowTestUtil.h"
#include "../../replay/GeneratedLog.h"
#include "ReplayLog.h"

#include <QCheckBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace replaylog;

namespace {

// Seeks `seeking` (already selected) through the times, then replays round `round` in a new
// window by as many plain ticks as the seeks said, after the same preparation.
void ExpectSeeksAreTicks(TReplay& seeking, const std::vector<double>& times, const std::string& log, int round,
                         const std::function<void(TReplay&)>& prepare = {})
{
    std::vector<std::string>& messages = seeking.errors.Messages;
    const size_t before = messages.size();
    for (const double t : times)
        seeking.Seek(t);
    TReplay ticking(TReplay::Shipped, log, [&](TTarvelMain& w) {
        w.CBAnimate->setChecked(seeking.window.CBAnimate->isChecked());
        w.ReplayFromstart20Events->setChecked(seeking.window.ReplayFromstart20Events->isChecked());
    });
    if (prepare)
        prepare(ticking);
    ticking.Select(round);
    ticking.TimerTicks(seeking.window.ReplayTicks());
    EXPECT_EQ(seeking.State(), ticking.State());
    EXPECT_EQ(std::vector<std::string>(messages.begin() + static_cast<std::ptrdiff_t>(before), messages.end()),
              ticking.errors.Messages);
}

} // namespace

TEST(Seek, ForwardBackwardAndAgainGiveTheStateOfAsManyTicks)
{
    TSeparatorScope point('.');
    const std::string& log = SeekTestLog();
    TReplay r(TReplay::Shipped, log);
    r.Select(0);
    const double start = r.window.RoundStartTime();
    // From the selection, on from plain ticks, back, forward again, and in small steps.
    ExpectSeeksAreTicks(r, {start + 95.35}, log, 0);
    EXPECT_GT(r.window.ReplayTicks(), 900);
    EXPECT_GE(r.window.ReplayTime(), start + 95.35);
    EXPECT_LT(r.window.ReplayTime(), start + 95.45);
    r.TimerTicks(37);
    ExpectSeeksAreTicks(r, {start + 140}, log, 0);
    ExpectSeeksAreTicks(r, {start + 30}, log, 0);
    ExpectSeeksAreTicks(r, {start + 31, start + 29.95, start + 200}, log, 0);
    EXPECT_TRUE(r.window.Timer1->isActive()); // a running replay runs on
}

TEST(Seek, ToTheStartIsTheSelectionAndPastTheEndIsTheEnd)
{
    TSeparatorScope point('.');
    const std::string& log = SeekTestLog();
    TReplay r(TReplay::Shipped, log);
    r.Select(1);
    const std::string selected = r.State();
    r.TimerTicks(500);
    ExpectSeeksAreTicks(r, {r.window.RoundStartTime() - 50}, log, 1);
    EXPECT_EQ(r.window.ReplayTicks(), 0);
    EXPECT_EQ(r.State(), selected);

    ExpectSeeksAreTicks(r, {1e9}, log, 1);
    EXPECT_FALSE(r.window.Timer1->isActive());
    EXPECT_EQ(r.window.EventIndex(), r.window.Events().Count() - 2);
    // Where the clock stops on its own.
    TReplay played(TReplay::Shipped, log);
    played.Select(1);
    played.TimerTicks(1000000);
    EXPECT_EQ(r.State(), played.State());
    // The end again, and a time beyond it: nothing more happens.
    r.Seek(2e9);
    EXPECT_EQ(r.State(), played.State());
}

TEST(Seek, TheScoreLogKeepsWhatItHeldAtTheSelection)
{
    TSeparatorScope point('.');
    const std::string& log = SeekTestLog();
    auto earlier = [](TReplay& r) {
        r.Select(1);
        r.TimerTicks(2000);
    };
    TReplay r(TReplay::Shipped, log);
    earlier(r);
    const QString before = r.window.Memo1->toPlainText();
    ASSERT_FALSE(before.isEmpty());
    r.Select(0);
    r.Seek(r.window.RoundStartTime() + 150);
    ExpectSeeksAreTicks(r, {r.window.RoundStartTime() + 60}, log, 0, earlier);
    EXPECT_TRUE(r.window.Memo1->toPlainText().startsWith(before));
    // Back to the very start: the lines of the earlier round and of the first event only.
    ExpectSeeksAreTicks(r, {0}, log, 0, earlier);
}

TEST(Seek, StoppedStaysStoppedAndTheTimeDisplayFollows)
{
    TSeparatorScope point('.');
    TReplay r(TReplay::Shipped, SeekTestLog());
    r.Select(0);
    r.window.BitBtn1Click();
    r.TimerTicks(1); // the stop takes
    r.Seek(r.window.RoundStartTime() + 75);
    EXPECT_FALSE(r.window.Timer1->isActive());
    EXPECT_TRUE(r.window.StopRequested());
    EXPECT_EQ(r.window.LTime->Caption(), "1:15");
    EXPECT_EQ(r.window.TBTime->value(), std::lround(r.window.ReplayTime() * 10));
    EXPECT_TRUE(r.window.LayoutChanged()); // the next frame shows it
    r.window.Button1Click();
    r.Seek(r.window.RoundStartTime() + 10);
    EXPECT_TRUE(r.window.Timer1->isActive());
}

TEST(Seek, SwitchingAnimationOrTheLoopMeansStartingAgain)
{
    TSeparatorScope point('.');
    const std::string& log = SeekTestLog();
    TReplay r(TReplay::Shipped, log);
    r.Select(0);
    r.TimerTicks(300);
    // Ticks without animation placed the markers elsewhere: going on from them would keep that.
    r.window.CBAnimate->setChecked(false);
    r.TimerTicks(300);
    r.window.CBAnimate->setChecked(true);
    ExpectSeeksAreTicks(r, {r.window.RoundStartTime() + 80}, log, 0);
    // So do ticks with another calibration, even one set back.
    const int scale = r.window.TBXas->value();
    r.window.TBXas->setValue(scale - 300);
    r.TimerTicks(100);
    r.window.TBXas->setValue(scale);
    ExpectSeeksAreTicks(r, {r.window.RoundStartTime() + 120}, log, 0);
}

TEST(Seek, WithTheLoopOn)
{
    TSeparatorScope point('.');
    const std::string& log = SeekTestLog();
    TReplay r(TReplay::Shipped, log, [](TTarvelMain& w) { w.ReplayFromstart20Events->setChecked(true); });
    r.Select(0);
    const std::string selected = r.State();
    // The loop goes back after the tick that passes the 101st event.
    const double start = r.window.RoundStartTime();
    const double loop = r.window.Events().GetEvent(101)->Timestamp;
    ASSERT_GT(loop - start, 2);
    // Within the first pass; then from a later pass, found in the first.
    ExpectSeeksAreTicks(r, {(start + loop) / 2}, log, 0);
    r.TimerTicks(static_cast<int>((loop - start) * 25));
    ExpectSeeksAreTicks(r, {start + 1}, log, 0);
    // A time past the restart: the seek goes there, and the next tick starts the round again
    // as the selection left it.
    r.Seek(loop + 50);
    EXPECT_GE(r.window.ReplayTime(), loop + 50);
    EXPECT_GT(r.window.EventIndex(), 101);
    r.TimerTicks(1);
    EXPECT_EQ(r.State(), selected);
    EXPECT_TRUE(r.window.Timer1->isActive());
}

TEST(Seek, GapsOfMoreThan100SecondsAreCrossedAsTheClockCrossesThem)
{
    TSeparatorScope point('.');
    TTempDir dir;
    std::string events = Ev("spawnEvent", "10", 3, "100/0/200", {{"team", "2"}});
    for (const char* time : {"20", "270", "271", "600", "601", "602"})
        events += Score(time, 3, "110/0/210", "TK");
    const std::string log = dir.Write("log.xml", Log(Round(events)));
    TReplay r(TReplay::Shipped, log);
    r.Select(0);
    // 20 s, then jumps of 100 s: 120.1, 220.2; then tenths to 270.
    ExpectSeeksAreTicks(r, {150}, log, 0);
    EXPECT_NEAR(r.window.ReplayTime(), 220.2, 1e-6);
    ExpectSeeksAreTicks(r, {500}, log, 0);
    ExpectSeeksAreTicks(r, {230}, log, 0);
}

TEST(Seek, AnErrorHaltsTheSeekAtItsTickWithTheClocksMessage)
{
    TSeparatorScope point('.');
    TTempDir dir;
    // The kill at 30 s names a victim without a state.
    const std::string log =
        dir.Write("log.xml", Log(Round(Ev("spawnEvent", "10", 3, "100/0/200", {{"team", "2"}}) +
                                       Score("20", 3, "100/0/200", "TK") +
                                       Score("30", 3, "100/0/200", "Kill", {{"victim_id", "9"}}) +
                                       Score("40", 3, "100/0/200", "TK") + Score("50", 3, "100/0/200", "TK"))));
    TReplay r(TReplay::Shipped, log);
    r.Select(0);
    ExpectSeeksAreTicks(r, {45}, log, 0);
    EXPECT_EQ(r.errors.Messages, std::vector<std::string>{"Error finding kiled player"});
    EXPECT_FALSE(r.window.Timer1->isActive());
    EXPECT_EQ(r.window.EventIndex(), 2);
    const int ticks = r.window.ReplayTicks();
    EXPECT_NEAR(ticks, 201, 1);
    // Before the error all is well; past it again, the same message once more.
    ExpectSeeksAreTicks(r, {25}, log, 0);
    EXPECT_TRUE(r.window.Timer1->isActive());
    r.errors.Messages.clear();
    r.Seek(48);
    EXPECT_EQ(r.errors.Messages, std::vector<std::string>{"Error finding kiled player"});
    EXPECT_EQ(r.window.ReplayTicks(), ticks);
}

// While the error's tick halts, another player is on the move: the tick before it placed that
// marker as plain ticks do, though a seek leaves such a placing to the tick after.
TEST(Seek, AnErrorHaltsTheSeekWithEveryOtherMarkerWhereTheTicksLeaveIt)
{
    TSeparatorScope point('.');
    TTempDir dir;
    const std::string log = dir.Write(
        "log.xml", Log(Round(Ev("spawnEvent", "10", 3, "100/0/200", {{"team", "2"}}) +
                             Ev("spawnEvent", "12", 5, "200/0/300", {{"team", "1"}}) +
                             Ev("pickupKit", "25", 5, "300/0/400") +
                             Score("30", 3, "100/0/200", "Kill", {{"victim_id", "9"}}) +
                             Ev("pickupKit", "40", 5, "1500/0/1600") +
                             Score("45", 3, "100/0/200", "TK") + Score("50", 3, "100/0/200", "TK"),
                         "bramble_bay")));
    TReplay r(TReplay::Shipped, log);
    r.Select(0);
    ExpectSeeksAreTicks(r, {35}, log, 0);
    EXPECT_EQ(r.errors.Messages, std::vector<std::string>{"Error finding kiled player"});
    EXPECT_EQ(r.window.EventIndex(), 3);
}

TEST(KillSteps, ForwardAndBackOneKillAtATime)
{
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "100/0/200", {{"team", "2"}}) +
                        Ev("spawnEvent", "10", 5, "300/0/400", {{"team", "1"}}) +
                        Score("20", 3, "100/0/200", "Kill", {{"victim_id", "5"}}) +
                        Score("40", 5, "300/0/400", "Kill", {{"victim_id", "3"}}) +
                        Score("40.05", 3, "100/0/200", "TK", {{"victim_id", "5"}}) +
                        Score("41", 3, "100/0/200", "Kill", {{"victim_id", "5"}}) +
                        Score("70", 5, "300/0/400", "Kill", {{"victim_id", "3"}}) +
                        Score("90", 3, "100/0/200", "TK") + Score("91", 3, "100/0/200", "TK"))));
    r.Select(0);
    TTarvelMain& w = r.window;
    std::vector<double> forward;
    while (w.NextKill())
        forward.push_back(w.ReplayTime());
    ASSERT_EQ(forward.size(), 4u);
    const double expected[] = {17, 37, 38, 67};
    for (size_t i = 0; i < forward.size(); ++i) {
        EXPECT_GE(forward[i], expected[i]) << i;
        EXPECT_LT(forward[i], expected[i] + 0.1001) << i;
    }
    // No later kill: nothing moves.
    const int ticks = w.ReplayTicks();
    EXPECT_FALSE(w.NextKill());
    EXPECT_EQ(w.ReplayTicks(), ticks);

    std::vector<double> back;
    while (w.PreviousKill())
        back.push_back(w.ReplayTime());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_NEAR(back[0], 38, 0.11);
    EXPECT_NEAR(back[1], 37, 0.11);
    EXPECT_NEAR(back[2], 17, 0.11);
    EXPECT_EQ(r.State(3).Kills, 0); // replayed from the start: the kill at 20 s not yet counted
}

TEST(TimeLine, DisabledUntilARoundIsSelectedThenAClickSeeksThere)
{
    TSeparatorScope point('.');
    TReplay r(TReplay::Shipped, SeekTestLog());
    TTarvelMain& w = r.window;
    EXPECT_FALSE(w.TBTime->isEnabled());
    r.Select(0);
    EXPECT_TRUE(w.TBTime->isEnabled());
    w.show();
    QSlider& bar = *w.TBTime;
    auto press = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(x, bar.height() / 2), bar.mapToGlobal(QPointF(x, bar.height() / 2)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&bar, &event);
    };
    // The far right end is the round's end; the middle about its middle, then dragged back.
    press(QEvent::MouseButtonPress, bar.width() - 1, Qt::LeftButton);
    EXPECT_TRUE(w.EventIndex() == w.Events().Count() - 2 || w.ReplayTime() >= bar.maximum() / 10.0);
    press(QEvent::MouseMove, bar.width() / 2, Qt::LeftButton);
    const double middle = (bar.minimum() + bar.maximum()) / 20.0;
    EXPECT_NEAR(w.ReplayTime(), middle, (bar.maximum() - bar.minimum()) / 10.0 * 0.05);
    press(QEvent::MouseMove, bar.width() / 4, Qt::LeftButton);
    EXPECT_LT(w.ReplayTime(), middle - 10);
    const double dragged = w.ReplayTime();
    press(QEvent::MouseButtonRelease, bar.width() / 4, Qt::NoButton);
    press(QEvent::MouseMove, bar.width() - 1, Qt::NoButton); // no button held: no seek
    EXPECT_EQ(w.ReplayTime(), dragged);
    EXPECT_EQ(r.errors.Messages, std::vector<std::string>());

    // A new log: no round selected, nothing to seek in.
    w.OpenLog(w.LogFileName());
    EXPECT_FALSE(w.TBTime->isEnabled());
    const double time = w.ReplayTime();
    w.SeekTo(time - 10);
    EXPECT_EQ(w.ReplayTime(), time);
}

TEST(ReplayCommand, SeeksAndKillStepsPrintWhatAsManyTicksPrint)
{
    TSeparatorScope point('.');
    const std::string& log = SeekTestLog();
    auto run = [&](std::vector<std::string> options) {
        options.insert(options.begin(), {"replay", log, "0"});
        const TToolRun result = RunOrnwickTool(options);
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out;
    };
    auto ticksOf = [](const std::string& out) {
        const size_t at = out.find("\"ticks\":");
        return at == std::string::npos ? std::string() : std::to_string(std::stoi(out.substr(at + 8)));
    };
    const std::string seek = run({"--seek", "100", "--next-kill"});
    EXPECT_EQ(seek, run({"--ticks", ticksOf(seek)}));
    // Later seeks and steps, in order; --ticks runs after them.
    EXPECT_EQ(run({"--seek", "300", "--seek", "100", "--next-kill"}), seek);
    const std::string more = run({"--seek", "100", "--next-kill", "--previous-kill", "--ticks", "25"});
    EXPECT_EQ(more, run({"--ticks", ticksOf(more)}));

    const TToolRun bad = RunOrnwickTool({"replay", log, "0", "--seek", "soon"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "ornwick: --seek needs a time in seconds, not 'soon'\n");
}

// Moves that end between ticks that apply no event (a later event listed before a mover's next
// one holds the list back): a seek skips the placings the next tick overwrites, and must still
// leave each marker where its move ended.
TEST(Seek, MarkersThatArriveWhileNoEventIsDueStandWhereTheirMovesEnded)
{
    TSeparatorScope point('.');
    std::string events;
    for (int t = 10; t < 120; t += 10) {
        const std::string far = std::to_string(100 + (t * 397) % 1700) + "/0/" + std::to_string(100 + (t * 211) % 1700);
        events += Ev("spawnEvent", std::to_string(t), 3, far) + Ev("spawnEvent", std::to_string(t) + ".35", 5, "900/0/900");
        events += Ev("pickupKit", std::to_string(t + 6) + ".05", 7, std::to_string(200 + t * 11) + "/0/300");
        events += Ev("spawnEvent", std::to_string(t + 2) + ".55", 3, "1500/0/200");
    }
    const TTempDir dir;
    const std::string log = dir.Write("held.xml", Log(Round(events + Ev("spawnEvent", "130", 5, "10/0/10"), "bramble_bay")));
    for (const double at : {15.0, 44.45, 61.2, 87.0, 112.9}) {
        SCOPED_TRACE(at);
        TReplay r(TReplay::Shipped, log);
        r.Select(0);
        ExpectSeeksAreTicks(r, {at}, log, 0);
        EXPECT_GT(r.window.PlayerStates().Count(), 1);
    }
}
