// Big logs load on a worker behind a progress dialog, through the real window: cancelled they
// leave everything as it was, otherwise they end exactly as a load in place.
#include "replay/ReplayLog.h"
#include "WindowTestUtil.h"
#include "app/Headless.h"
#include "app/OpenDialog.h"
#include "log/LogLoader.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>
#include <zlib.h>

#include <sstream>
#include <tuple>

using namespace replaylog;

namespace {

std::string Packed(const std::string& text) { return ZlibCompressed(text, 1); }

// About 20 MB of rounds, each with a player who joins and walks about; `extra` goes into the
// middle round. Positions vary, so that the text does not compress to almost nothing.
std::string BigLog(const std::string& extra = "")
{
    constexpr int Rounds = 40;
    constexpr int Events = 2500;
    std::string rounds;
    uint32_t seed = 7;
    for (int r = 0; r < Rounds; ++r) {
        std::string events;
        for (int e = 0; e < Events; ++e) {
            seed = seed * 1103515245u + 12345u;
            const int x = static_cast<int>(seed >> 8) % 4000, z = static_cast<int>(seed >> 4) % 4000;
            events += Ev("spawnEvent", std::to_string(e) + "." + std::to_string(seed % 10), 3 + (e % 3) * 2,
                         std::to_string(x) + "/0/" + std::to_string(z), {{"kit", "AxisScout"}});
        }
        rounds += Round(events + (r == Rounds / 2 ? extra : ""), r % 2 ? "bay" : "ridge");
    }
    return Log(rounds);
}

// A small log whose one round replays: the log before the big one.
std::string SmallLog()
{
    return Log(Round(Ev("spawnEvent", "1", 3, "10/0/10") + Ev("spawnEvent", "2", 5, "20/0/20") +
                     Ev("spawnEvent", "30", 3, "15/0/12") + Ev("spawnEvent", "60", 5, "25/0/25")));
}

// A window that loads big logs in the background, its dialog at once.
void Prepare(TTarvelMain& window, int dialogDelay = 0)
{
    window.SetStopReplayWait(0);
    window.SetDrawThreadEnabled(false);
    window.SetBackgroundLoadEnabled(true);
    window.SetLoadDialogDelay(dialogDelay);
}

void AnswerDialogWith(TTarvelMain& window, const std::string& file)
{
    window.OpenDialog1->ExecuteHook = [file](TOpenDialog& dialog) {
        dialog.FileName = file;
        return true;
    };
}

// Watches for the load's progress dialog while it lives; `answer` gets it once it shows.
class TLoadDialogWatch {
public:
    explicit TLoadDialogWatch(std::function<void(QProgressDialog&)> answer = {}) : FAnswer(std::move(answer))
    {
        FPoll.setInterval(0);
        QObject::connect(&FPoll, &QTimer::timeout, &FPoll, [this] {
            auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != "LoadProgress" || !dialog->isVisible() || Seen)
                return;
            Seen = true;
            Label = dialog->labelText().toStdString();
            if (FAnswer)
                FAnswer(*dialog);
        });
        FPoll.start();
    }
    bool Seen = false;
    std::string Label;

private:
    std::function<void(QProgressDialog&)> FAnswer;
    QTimer FPoll;
};

void PressCancel(QProgressDialog& dialog)
{
    auto* cancel = dialog.findChild<QPushButton*>();
    ASSERT_TRUE(cancel);
    EXPECT_EQ(cancel->text(), "Cancel");
    cancel->click();
}

std::vector<std::string> Items(const TTarvelMain& window)
{
    std::vector<std::string> items;
    for (int i = 0; i < window.ListBox1->count(); ++i)
        items.push_back(window.ListBox1->item(i)->text().toStdString());
    return items;
}

using TRoster = std::vector<std::tuple<double, double, int32_t, std::string>>;
TRoster Entries(const TTarvelMain& window)
{
    TRoster entries;
    for (const TPlayerInfo& p : window.Roster())
        entries.emplace_back(p.JoinTime, p.LeaveTime, p.PlayerID, p.PlayerName);
    return entries;
}

// What a window shows and holds of a log, for comparing two windows or two moments.
struct TLogState {
    std::vector<std::string> items;
    TRoster roster;
    std::vector<std::string> tokens;
    int scoreRows = 0;
    bool toolTip = false;
    int page = -1;
    bool operator==(const TLogState&) const = default;
};
TLogState StateOf(TTarvelMain& window)
{
    return {Items(window),
            Entries(window),
            window.Document().Lines().ToVector(),
            window.ScoreBord->topLevelItemCount(),
            !window.ListBox1->toolTip().isEmpty(),
            window.PCMainInfo->currentIndex()};
}

std::string ReplayOf(TTarvelMain& window)
{
    std::ostringstream out;
    PrintReplay(out, window, 0);
    return out.str();
}

// Whether every item's round is an element of the window's own document.
bool ItemsInDocument(const TTarvelMain& window)
{
    for (int i = 0; i < window.ListBox1->count(); ++i) {
        const TwexXMLNode* top = window.RoundOfItem(i);
        while (top->ParentNode())
            top = top->ParentNode();
        if (top != &window.Document())
            return false;
    }
    return true;
}

} // namespace

TEST(BackgroundLoad, CancelLeavesThePreviousLogAndItsStoppedReplay)
{
    THome home;
    home.Dir.Write("Tarvel.ini", "LastOpen1=/old/log.xml\r\n");
    const std::string big = home.Dir.Write("big.xml", BigLog());
    ASSERT_GE(ExpectedLogTextSize(big), BackgroundLoadSize);
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    Prepare(window);
    window.OpenLog(home.Dir.Write("small.xml", SmallLog()));
    window.ListBox1->setCurrentRow(0);
    window.ListBox1DblClick();
    for (int i = 0; i < 25; ++i)
        window.Timer1Timer();
    ASSERT_TRUE(window.Timer1->isActive());
    ASSERT_GT(window.PlayerStates().Count(), 0);
    ASSERT_GT(window.ScoreBord->topLevelItemCount(), 0);
    window.PCMainInfo->setCurrentWidget(window.TSMinimap);
    const TLogState before = StateOf(window);
    std::string replay = ReplayOf(window);
    const TwexXMLNode* roundNode = TTarvelMainTest::RoundNode(window);
    const int events = window.Events().Count();

    AnswerDialogWith(window, big);
    TLoadDialogWatch watch([](QProgressDialog& dialog) { PressCancel(dialog); });
    window.ParceXML1->trigger();

    ASSERT_TRUE(watch.Seen);
    EXPECT_NE(watch.Label.find("big.xml"), std::string::npos);
    EXPECT_FALSE(window.Loading());
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_EQ(StateOf(window), before);
    EXPECT_EQ(TTarvelMainTest::RoundNode(window), roundNode);
    EXPECT_EQ(window.Events().Count(), events);
    EXPECT_TRUE(ItemsInDocument(window));
    // The open stopped the replay; it stays stopped, as it stood.
    const std::string running = "\"timer\":true";
    ASSERT_NE(replay.find(running), std::string::npos);
    replay.replace(replay.find(running), running.size(), "\"timer\":false");
    EXPECT_EQ(ReplayOf(window), replay);
    EXPECT_EQ(window.ProgramFiles().Settings().Values("LastOpen1"), "/old/log.xml");

    // The command line's round is not replayed from the list of the log that stayed.
    TLoadDialogWatch again([](QProgressDialog& dialog) { PressCancel(dialog); });
    EXPECT_TRUE(RunHandler([&] { window.FormShow({big, "0"}); }) == false);
    EXPECT_TRUE(again.Seen);
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_FALSE(window.Timer1->isActive());
    EXPECT_EQ(StateOf(window), before);
}

TEST(BackgroundLoad, ALoadThatSucceedsEndsAsALoadInPlace)
{
    THome home;
    const std::string text = BigLog();
    const std::string plain = home.Dir.Write("big.xml", text);
    const std::string packed = home.Dir.Write("big.zxml", Packed(text));
    ASSERT_GE(ExpectedLogTextSize(packed), BackgroundLoadSize);
    TErrorCapture errors;
    TTarvelMain inPlace(home.Exe());
    inPlace.SetStopReplayWait(0);
    TTarvelMain background(home.Exe());
    background.SetStopReplayWait(0);
    Prepare(background);

    for (const std::string& file : {plain, packed}) {
        SCOPED_TRACE(file);
        inPlace.OpenLog(file);
        AnswerDialogWith(background, file);
        TLoadDialogWatch watch;
        background.ParceXML1->trigger();
        EXPECT_TRUE(watch.Seen);
        EXPECT_TRUE(errors.Messages.empty());
        ASSERT_EQ(Items(background).size(), 40u);
        EXPECT_EQ(StateOf(background), StateOf(inPlace));
        EXPECT_TRUE(ItemsInDocument(background));
        EXPECT_EQ(background.ProgramFiles().Settings().Values("LastOpen1"), file);
    }

    // The command line's round replays once its log has loaded.
    TLoadDialogWatch watch;
    background.FormShow({plain, "1"});
    EXPECT_TRUE(watch.Seen);
    EXPECT_EQ(TTarvelMainTest::RoundNode(background), background.RoundOfItem(1));
    EXPECT_TRUE(background.Timer1->isActive());
    background.StopReplay();
}

TEST(BackgroundLoad, AFailedLoadEndsAsALoadInPlace)
{
    TSeparatorScope point('.');
    THome home;
    const std::string text = BigLog("<bf:event name=\"createPlayer\" timestamp=\"1x\"/>");
    const std::string packed = Packed(text);
    // A stream cut short fails after most of it inflated; a bad time stamp ends the walk.
    const std::string cut = home.Dir.Write("cut.zxml", packed.substr(0, packed.size() - 100));
    const std::string badTime = home.Dir.Write("badtime.xml", text);
    ASSERT_GE(ExpectedLogTextSize(cut), BackgroundLoadSize);
    TErrorCapture errors;
    TTarvelMain inPlace(home.Exe());
    inPlace.SetStopReplayWait(0);
    TTarvelMain background(home.Exe());
    background.SetStopReplayWait(0);
    Prepare(background);
    for (TTarvelMain* window : {&inPlace, &background}) {
        window->OpenLog(home.Dir.Write("small.xml", SmallLog()));
        window->PCMainInfo->setCurrentWidget(window->TSMinimap);
    }

    for (const std::string& file : {cut, badTime}) {
        SCOPED_TRACE(file);
        RunHandler([&] { inPlace.OpenLog(file); });
        ASSERT_EQ(errors.Messages.size(), 1u);
        AnswerDialogWith(background, file);
        TLoadDialogWatch watch;
        background.ParceXML1->trigger();
        EXPECT_TRUE(watch.Seen);
        ASSERT_EQ(errors.Messages.size(), 2u);
        EXPECT_EQ(errors.Messages[1], errors.Messages[0]);
        EXPECT_EQ(StateOf(background), StateOf(inPlace));
        EXPECT_EQ(background.ProgramFiles().Settings().Values("LastOpen1"), "");
        errors.Messages.clear();
    }
    // The cut stream kept the small log's tree; the walk's failure kept the rounds it had listed,
    // the one it failed in among them.
    EXPECT_EQ(Items(background).size(), 21u);
    EXPECT_TRUE(ItemsInDocument(background));
}

TEST(BackgroundLoad, SmallLogsShowNoDialog)
{
    THome home;
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    Prepare(window);
    const std::string small = home.Dir.Write("small.xml", SmallLog());
    ASSERT_LT(ExpectedLogTextSize(small), BackgroundLoadSize);
    AnswerDialogWith(window, small);
    TLoadDialogWatch watch;
    window.ParceXML1->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(watch.Seen);
    EXPECT_EQ(Items(window).size(), 1u);
    EXPECT_TRUE(errors.Messages.empty());
}

TEST(BackgroundLoad, ClosingTheWindowCancelsTheLoadThenCloses)
{
    THome home;
    const std::string big = home.Dir.Write("big.xml", BigLog());
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    Prepare(window);
    window.OpenLog(home.Dir.Write("small.xml", SmallLog()));
    window.show();
    const TLogState before = StateOf(window);

    AnswerDialogWith(window, big);
    bool visibleAfterClose = false;
    TLoadDialogWatch watch([&](QProgressDialog&) {
        window.close();
        visibleAfterClose = window.isVisible();
    });
    window.ParceXML1->trigger();
    EXPECT_TRUE(watch.Seen);
    EXPECT_TRUE(visibleAfterClose); // not while the worker runs
    EXPECT_FALSE(window.Loading());
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_EQ(StateOf(window), before);

    // Then the window closes.
    QElapsedTimer clock;
    clock.start();
    while (window.isVisible() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(window.isVisible());
}
