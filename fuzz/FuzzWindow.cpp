// The render target: a log opened in the real window offscreen, through the operations the
// user's commands and the headless tool use, its rounds listed, each listed round's events
// built and the round replayed for a bounded number of ticks, with frames drawn as it goes.
#include "FuzzScratch.h"
#include "FuzzTargets.h"

#include "app/OpenDialog.h"
#include "app/UTarvelMain.h"
#include "app/WindowTestUtil.h" // tests/: the window's state that a new window starts with
#include "base/ErrorReporting.h"
#include "base/Errors.h"

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTimer>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Ticks of 0.1 s of log time per round: a minute of the round, and every round's end when it
// comes sooner. Each tick applies all events that fell due, however many.
constexpr int MaxTicksPerRound = 600;
// Frames are drawn every so many ticks, and once at the end of each round.
constexpr int TicksPerFrame = 200;

void EnsureApplication()
{
    if (QApplication::instance())
        return; // the tests run in theirs
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's warnings for what the replay does to hidden widgets are no finding.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    static int argc = 1;
    static char name[] = "ornwick-fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process
}

// Runs one step of what a user does; the program's errors end that step only, as the window's
// handlers do. Any other exception is a find and goes on up.
template <typename Step>
void Try(Step&& step)
{
    try {
        step();
    } catch (const EBaseError&) {
    }
}

void Draw(TTarvelMain& window)
{
    window.SetLayoutChanged();
    Try([&] { window.DrawMap(); });
    FUZZ_CHECK(!window.LayoutChanged());
}

// Sets what an input may leave behind in the window back to what a new window has, so that
// each input runs as in a window of its own (a window per input would cost the 50 ms that
// closing a window waits for its draw thread).
class TPipelineWindow {
public:
    TPipelineWindow() : Window(ORNWICK_FUZZ_HOME)
    {
        Window.SetDrawThreadEnabled(false); // frames only when drawn below
        Window.SetStopReplayWait(0);
        FMapImage = TTarvelMainTest::MapImage(Window);
        for (QSlider* bar : Bars())
            FPositions.push_back(bar->value());
    }

    void Reset()
    {
        Try([&] { Window.ShowMap(""); }); // no map's name, picture or objects
        Window.Memo1->clear();
        Window.Memo2->clear();
        TTarvelMainTest::MapImage(Window) = FMapImage;
        const std::vector<QSlider*> bars = Bars();
        for (size_t i = 0; i < bars.size(); ++i)
            Try([&] { Window.SetTrackBarPosition(bars[i], FPositions[i]); });
        TTarvelMainTest::SetMargins(Window, Window.TBLeft->value(), Window.TBTop->value());
    }

    TTarvelMain Window;

private:
    std::vector<QSlider*> Bars() const
    {
        return {Window.TBXas, Window.TBYas, Window.TBLeft, Window.TBTop, Window.TBMApZoom, Window.TrackBar1,
                Window.TBTimeToSeeLine};
    }

    TPictureHolder FMapImage;
    std::vector<int> FPositions;
};

// Reports go nowhere while it lives: the errors are expected, their texts are not checked.
class TQuietErrors {
public:
    TQuietErrors() : FPrevious(SetErrorSink([](const std::string&) {})) {}
    ~TQuietErrors() { SetErrorSink(std::move(FPrevious)); }

private:
    TErrorSink FPrevious;
};

void RunPipeline(const uint8_t* data, size_t size)
{
    EnsureApplication();
    static const TFuzzScratch scratch;
    const std::string log = scratch.Write(data, size);
    const TQuietErrors quiet;
    // Made once, and never destroyed: the process ends with it.
    static TPipelineWindow* const pipeline = new TPipelineWindow;
    pipeline->Reset();
    TTarvelMain& window = pipeline->Window;

    Try([&] { window.OpenLog(log); });
    const int rounds = window.ListBox1->count();
    for (int i = 0; i < rounds; ++i) {
        // Every listed round is a round element of the loaded log.
        const TwexXMLNode* round = window.RoundOfItem(i);
        const TwexXMLNode* up = round;
        while (up && up != &window.Document())
            up = up->ParentNode();
        FUZZ_CHECK(up == &window.Document());

        // A double click on the round, and the clock's ticks back to back.
        window.ListBox1->setCurrentRow(i);
        Try([&] { window.ListBox1DblClick(); });
        for (int tick = 1; window.Timer1->isActive() && tick <= MaxTicksPerRound; ++tick) {
            Try([&] { window.Timer1Timer(); });
            FUZZ_CHECK(window.EventIndex() >= 0 && window.EventIndex() <= window.Events().Count());
            if (tick % TicksPerFrame == 0)
                Draw(window);
        }
        Draw(window);
    }
    window.StopReplay();
    // Widgets a replay let go of are deleted when events are next handled.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

void FuzzRender(const uint8_t* data, size_t size) { RunPipeline(data, size); }
