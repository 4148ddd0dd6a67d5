// Rounds fought where real maps have their action, far from the world's origin, on a map with
// neither a picture nor saved values: the fit finds values the sliders hold, the selection
// frames the round in the view at whatever size the window has, and `render --view` writes what
// such a view shows.
#include "LogGen.h"

#include "../ToolRun.h"
#include "../WindowTestUtil.h"
#include "app/Headless.h"
#include "app/OpenDialog.h"
#include "app/mapview/VideoExport.h"
#include "app/mapview/ViewMenu.h"
#include "mapview/Calibration.h"
#include "mapview/MapZoom.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QTimer>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

// The program's own files, and a generated log whose rounds lie near (3500, 3000) and
// (50, 4000) of a 4096 world, on a map nothing is known of.
struct TRealWorldHome {
    TRealWorldHome()
    {
        std::filesystem::create_directory(home.Dir.Path("images"));
        for (const auto& entry : std::filesystem::directory_iterator(std::string(ORNWICK_BIN_DIR) + "/images"))
            std::filesystem::copy_file(entry.path(), home.Dir.Path("images/" + entry.path().filename().string()));
        home.Dir.Write("Tarvel.ini", "ZOOM=1000\r\n");
        loggen::Options options;
        options.seed = 3;
        options.players = 16;
        options.rounds = 3; // two listed: the last still runs
        options.roundTime = 200;
        options.realWorld = true;
        log = home.Dir.Write("log.xml", loggen::generateToString(options));
    }
    THome home;
    std::string log;
};

// Where each marker's middle lies on the zoomed map.
std::vector<QPoint> Markers(const TTarvelMain& window)
{
    const double z = window.TBMApZoom->value() / 1000.0;
    std::vector<QPoint> markers;
    const TPlayerStateList& states = window.PlayerStates();
    for (int i = 0; i < states.Count(); ++i) {
        if (!states.State(i)->LastEvent)
            continue; // a killer the look-ahead met, not yet on the map
        const TMarker& image = states.State(i)->Image;
        markers.push_back(QPoint(static_cast<int>(std::lround(image.Left * z)) + image.Width / 2,
                                 static_cast<int>(std::lround(image.Top * z)) + image.Height / 2));
    }
    return markers;
}

// Every marker inside the visible part, and together they reach over most of it one way.
void ExpectSpreadOver(const std::vector<QPoint>& markers, const QRect& visible)
{
    ASSERT_GE(markers.size(), 4u);
    QRect spread(markers.front(), QSize(1, 1));
    for (const QPoint& m : markers) {
        EXPECT_TRUE(visible.contains(m)) << m.x() << "," << m.y() << " outside " << visible.x() << ","
                                         << visible.y() << " " << visible.width() << "x" << visible.height();
        spread |= QRect(m, QSize(1, 1));
    }
    EXPECT_TRUE(spread.width() > visible.width() / 2 || spread.height() > visible.height() / 2)
        << spread.width() << "x" << spread.height() << " in " << visible.width() << "x" << visible.height();
}

} // namespace

TEST(RealWorldView, TheFitHoldsTheRoundAndTheSelectionFramesItAtEveryWindowSize)
{
    TSeparatorScope point('.');
    TRealWorldHome h;
    for (const QSize size : {QSize(884, 716), QSize(1920, 1050), QSize(1000, 900)}) {
        SCOPED_TRACE(size.width());
        TTarvelMain window(h.home.Exe());
        window.SetStopReplayWait(0);
        window.SetDrawThreadEnabled(false);
        window.resize(size);
        window.show();
        QCoreApplication::processEvents();
        window.OpenLog(h.log);
        ASSERT_EQ(window.ListBox1->count(), 2);
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            window.ListBox1->setCurrentRow(round);
            window.ListBox1DblClick();
            QCoreApplication::processEvents();
            ASSERT_TRUE(window.MapPictureMissing());
            // The fit holds the round where the sliders reach, at the scale `fit` prints.
            const TCalibration c = window.Calibration();
            EXPECT_EQ(c, window.MapTools().FitToRound());
            EXPECT_GT(c.XScale, 500);
            EXPECT_EQ(window.ProgramFiles().Settings().Values("kessel_ridge_4096_SCALE"), "");
            for (int tick = 0; tick < 300; ++tick)
                window.Timer1Timer();
            ExpectSpreadOver(Markers(window), VisibleMapRect(window));
        }
        // "Fit to round" keeps the round framed.
        window.MapTools().FitToRound1->trigger();
        QCoreApplication::processEvents();
        ExpectSpreadOver(Markers(window), VisibleMapRect(window));
    }
}

TEST(RealWorldView, ALargerWindowFramesTheFightOnAMapItKnowsUntilTheUserZooms)
{
    TSeparatorScope point('.');
    loggen::Options options;
    options.seed = 4;
    options.players = 10;
    options.rounds = 3;
    options.roundTime = 150;
    options.map = "kessel_ridge"; // a picture and saved values
    TTempDir dir;
    const std::string log = dir.Write("log.xml", loggen::generateToString(options));
    for (const QSize size : {QSize(884, 716), QSize(1920, 1050)}) {
        SCOPED_TRACE(size.width());
        TTarvelMain window(std::string(ORNWICK_BIN_DIR) + "/Tarvel");
        window.SetStopReplayWait(0);
        window.SetDrawThreadEnabled(false);
        window.resize(size);
        window.show();
        QCoreApplication::processEvents();
        const int started = window.TBMApZoom->value();
        window.OpenLog(log);
        window.ListBox1->setCurrentRow(0);
        window.ListBox1DblClick();
        QCoreApplication::processEvents();
        const QSize view = window.ScrollBox1->maximumViewportSize();
        if (size.width() == 884) {
            EXPECT_EQ(window.TBMApZoom->value(), started); // as designed: nothing changes
            continue;
        }
        // The fight, not the whole map, fills the view; the whole map is one key away.
        EXPECT_GT(window.TBMApZoom->value(), ZoomToFit(view.width() + 8, view.height()));
        for (int tick = 0; tick < 300; ++tick)
            window.Timer1Timer();
        ExpectSpreadOver(Markers(window), VisibleMapRect(window));
        window.ViewMenu().FitMapToWindow1->trigger();
        EXPECT_EQ(window.TBMApZoom->value(), ZoomToFit(view.width() + 8, view.height()));
        EXPECT_EQ(window.ScrollBox1->horizontalScrollBar()->maximum(), 0);
        // The user zooms: the next selection keeps it.
        window.TBMApZoom->setValue(2500);
        window.ListBox1->setCurrentRow(1);
        window.ListBox1DblClick();
        EXPECT_EQ(window.TBMApZoom->value(), 2500);
    }
}

TEST(RealWorldView, FitAndRenderOfAViewShowWhatTheWindowShows)
{
    TSeparatorScope point('.');
    TRealWorldHome h;
    const std::string home = h.home.Dir.Path("");
    // `fit` finds the values the selection took, where it gave up before.
    for (const int round : {0, 1}) {
        const TToolRun fit = RunOrnwickTool({"fit", h.log, std::to_string(round), "--home", home});
        EXPECT_EQ(fit.status, 0) << fit.err;
        TTarvelMain window(h.home.Exe());
        window.SetStopReplayWait(0);
        window.SetDrawThreadEnabled(false);
        window.OpenLog(h.log);
        window.ListBox1->setCurrentRow(round);
        window.ListBox1DblClick();
        EXPECT_EQ(fit.out, CalibrationJson(window.Calibration(), {}) + "\n");
    }

    // What a 700 x 500 view shows 40 seconds in: what the window's map view of that size shows,
    // the round's markers spread over it.
    const std::string view = h.home.Dir.Path("view.png");
    const TToolRun run =
        RunOrnwickTool({"render", h.log, "0", "--home", home, "--at", "40", "--view", "700x500", "--out", view});
    ASSERT_EQ(run.status, 0) << run.err;
    const QImage shown(QString::fromStdString(view));
    ASSERT_EQ(shown.size(), QSize(700, 500));
    TTarvelMain window(h.home.Exe());
    window.SetStopReplayWait(0);
    window.SetDrawThreadEnabled(false);
    window.show();
    QCoreApplication::processEvents();
    // The map view that size between the scroll bars a framed round gives it.
    TScrollBox* box = window.ScrollBox1;
    const int bar = box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, box);
    box->resize(QSize(700, 500) + QSize(bar, bar) + 2 * QSize(box->frameWidth(), box->frameWidth()));
    window.OpenLog(h.log);
    window.ListBox1->setCurrentRow(0);
    window.ListBox1DblClick();
    while (window.Timer1->isActive() && window.ReplayTime() < 40)
        window.Timer1Timer();
    window.SetLayoutChanged();
    window.DrawMap();
    QCoreApplication::processEvents();
    // Where the framed map leaves a scroll bar out, the view is that much taller.
    const QSize inView = box->viewport()->size();
    ASSERT_EQ(inView.width(), 700);
    ASSERT_GE(inView.height(), 500);
    EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB888),
              box->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888).copy(0, 0, 700, 500));
    ExpectSpreadOver(Markers(window), VisibleMapRect(window));
    // Markers are drawn in it: cyan or green labels.
    int labels = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            labels += shown.pixel(x, y) == qRgb(0, 255, 255) || shown.pixel(x, y) == qRgb(0, 255, 0);
    EXPECT_GT(labels, 50);

    const TToolRun bad = RunOrnwickTool({"render", h.log, "0", "--home", home, "--at", "40", "--view", "700", "--out", view});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--view needs the view's size as WxH"), std::string::npos) << bad.err;
}
