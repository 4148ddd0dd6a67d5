// Sharing a moment: the frame export (both choices, atomic replace), the video export (what
// FFmpeg's reader finds, cancel, the replay left as it was, the frames' moments, following a
// player), the dialogs, and `ornwick video`.
#include "../ToolRun.h"
#include "../replay/ReplayLog.h"
#include "../../mapview/VideoProbe.h"
#include "app/RecentLogs.h"
#include "app/mapview/ExportMenu.h"
#include "app/mapview/ViewMenu.h"
#include "app/mapview/VideoExport.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <sstream>

using namespace replaylog;

namespace {

const QRgb Red = qRgb(220, 30, 30), Blue = qRgb(30, 40, 220), Green = qRgb(40, 200, 60), Grey = qRgb(128, 128, 128);

QImage Quarters(int side)
{
    QImage image(side, side, QImage::Format_RGB888);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, y < side / 2 ? (x < side / 2 ? Red : Blue) : (x < side / 2 ? Green : Grey));
    return image;
}

// Anna (team 1) walks from the map's left edge to its right from 10 s to 70 s, Bert stands in
// the middle; the round ends at 80 s. On a 600-pixel map at scale 2000 she goes from x 40 to 560.
std::string WalkLog()
{
    std::string events = Ev("spawnEvent", "10", 5, "150/0/150", {{"team", "2"}}) +
                         Ev("spawnEvent", "10", 3, "20/0/150", {{"team", "1"}});
    for (int t = 20; t <= 70; t += 10)
        events += Ev("pickupKit", std::to_string(t), 3, std::to_string(20 + (t - 10) * 13 / 3) + "/0/150");
    events += Ev("pickupKit", "80", 5, "150/0/150");
    return Log(Round(events));
}

struct TExportReplay : TReplay {
    TExportReplay() : TReplay(WalkLog())
    {
        Quarters(600).save(QString::fromStdString(home.Dir.Path("images/bay.bmp")), "BMP");
        window.SetDrawThreadEnabled(false);
        Select(0);
    }
    // The window shown at this zoom after so many ticks, its frame drawn.
    void DrawnAfter(int zoom, int ticks)
    {
        window.SetTrackBarPosition(window.TBMApZoom, zoom);
        window.show();
        Ticks(ticks);
        window.SetLayoutChanged();
        window.DrawMap();
    }
    std::string Out(const std::string& name) const { return home.Dir.Path("out/" + name); }
    QStringList OutFiles() const { return QDir(QString::fromStdString(home.Dir.Path("out"))).entryList(QDir::Files); }
    std::string ReplayJson()
    {
        std::ostringstream out;
        PrintReplay(out, window, window.ReplayTicks());
        return out.str();
    }
    bool made = std::filesystem::create_directory(home.Dir.Path("out"));
};

QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB888); }

QPoint Scroll(const TTarvelMain& w)
{
    return {w.ScrollBox1->horizontalScrollBar()->value(), w.ScrollBox1->verticalScrollBar()->value()};
}

// Answers the modal windows that come up while `act` runs: the first one `answer` is given is
// the first to show; each answer says whether it is done.
void WhileModal(const std::function<void()>& act, const std::function<bool(QWidget&)>& answer)
{
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget())
            if (answer(*modal))
                poll.stop();
    });
    poll.start();
    act();
}

template <typename T>
T& Child(QWidget& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child)
        throw std::runtime_error(std::string("no control ") + name);
    return *child;
}

void PressOk(QWidget& dialog) { Child<QDialogButtonBox>(dialog, "Buttons").button(QDialogButtonBox::Ok)->click(); }

} // namespace

// ----------------------------------------------------------------------------- frames

TEST(ExportFrame, TheWholeZoomedMapOrWhatTheViewShowsAsPngOrJpeg)
{
    TExportReplay r;
    TTarvelMain& w = r.window;
    r.DrawnAfter(1500, 100);
    w.ScrollBox1->horizontalScrollBar()->setValue(100);
    w.ScrollBox1->verticalScrollBar()->setValue(50);
    const QImage map = Rgb(w.MapZoomImage->Picture());
    ASSERT_EQ(map.size(), QSize(900, 900));

    w.ExportMenu().ExportFrame(r.Out("whole.png"), true);
    EXPECT_EQ(Rgb(QImage(QString::fromStdString(r.Out("whole.png")))), map);

    w.ExportMenu().ExportFrame(r.Out("view.png"), false);
    const QSize view = w.ScrollBox1->viewport()->size();
    ASSERT_LT(view.width(), 800);
    const QImage shown(QString::fromStdString(r.Out("view.png")));
    EXPECT_EQ(shown.size(), view);
    // The picture stands 8 pixels left of the scrolled area's corner, as the window was drawn.
    ASSERT_EQ(w.MapZoomImage->pos(), QPoint(-8, 0));
    EXPECT_EQ(Rgb(shown), map.copy(QRect(QPoint(108, 50), view)));

    w.ExportMenu().ExportFrame(r.Out("view.jpeg"), false);
    const QImage jpeg(QString::fromStdString(r.Out("view.jpeg")));
    ASSERT_EQ(jpeg.size(), view);
    EXPECT_TRUE(Near(jpeg.pixel(10, 10), Red));
    EXPECT_EQ(MessageOf([&] { w.ExportMenu().ExportFrame(r.Out("view.gif"), false); }),
              "A picture is saved as .png, .jpg or .jpeg, not as " + r.Out("view.gif"));
    EXPECT_EQ(r.OutFiles(), QStringList({"view.jpeg", "view.png", "whole.png"}));
}

TEST(ExportFrame, AnExistingFileIsReplacedOnlyByACompletePicture)
{
    TTempDir dir;
    const std::string png = dir.Write("frame.png", "old");
    SavePictureAtomically(Quarters(40), png);
    EXPECT_EQ(Rgb(QImage(QString::fromStdString(png))), Quarters(40));
    // A picture too wide for JPEG fails while it is written: the old file stays whole.
    const std::string jpg = dir.Write("frame.jpg", "old");
    QImage tooWide(70000, 2, QImage::Format_RGB888);
    tooWide.fill(Qt::red);
    EXPECT_EQ(MessageOf([&] { SavePictureAtomically(tooWide, jpg); }), "Cannot create file " + jpg);
    EXPECT_EQ(ReadFileBytes(jpg), "old");
    EXPECT_EQ(QDir(QString::fromStdString(dir.Path(""))).entryList(QDir::Files), QStringList({"frame.jpg", "frame.png"}));
}

TEST(ExportFrame, TheDialogChoosesAndRemembers)
{
    TExportReplay r;
    TTarvelMain& w = r.window;
    r.DrawnAfter(1000, 10);
    WhileModal([&] { w.ExportMenu().ExportFrame1->trigger(); }, [&](QWidget& dialog) {
        Child<QRadioButton>(dialog, "RBWhole").setChecked(true);
        Child<QLineEdit>(dialog, "EFileName").setText(QString::fromStdString(r.Out("moment")));
        PressOk(dialog);
        return true;
    });
    // The extension comes with the format.
    EXPECT_EQ(QImage(QString::fromStdString(r.Out("moment.png"))).size(), QSize(600, 600));
    EXPECT_EQ(w.ProgramFiles().Settings().Values("FrameExportArea"), "map");
    EXPECT_EQ(w.ProgramFiles().Settings().Values("ExportFolder"), r.Out(""));
    EXPECT_EQ(w.ExportMenu().ExportFrame1->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
}

// ----------------------------------------------------------------------------- videos

TEST(ExportVideo, TheReaderFindsTheFramesAndTheReplayStaysAsItWas)
{
    TExportReplay r;
    TTarvelMain& w = r.window;
    r.DrawnAfter(800, 250); // 35 s: Anna on her way
    w.ScrollBox1->horizontalScrollBar()->setValue(30);
    ASSERT_TRUE(w.Timer1->isActive());
    const std::string before = r.ReplayJson();
    const QPoint scroll = Scroll(w);
    const QImage frame = w.MapZoomImage->Picture();

    TVideoOptions options;
    options.from = 20;
    options.to = 60;
    options.speed = 10;
    options.fps = 12;
    options.area = TVideoArea::WholeMap;
    options.zoom = 500;
    ASSERT_TRUE(w.ExportMenu().ExportVideo(options, r.Out("span.mp4")));

    const TVideoProbe probe = ProbeVideo(r.Out("span.mp4"), true);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.codec, "h264");
    EXPECT_EQ(probe.packets, 48); // 40 s at x10 is 4 s of video, 12 frames a second
    EXPECT_EQ(QSize(probe.width, probe.height), QSize(300, 300));
    EXPECT_DOUBLE_EQ(probe.fps, 12);
    EXPECT_NEAR(probe.seconds, 4.0, 1e-6);
    ASSERT_EQ(probe.frames.size(), 48u);
    EXPECT_TRUE(Near(probe.frames[0].pixel(280, 280), Grey)); // the map's picture, far from anyone

    // The user's replay: the same state, view, zoom and picture, and its clock runs on.
    EXPECT_EQ(r.ReplayJson(), before);
    EXPECT_EQ(Scroll(w), scroll);
    EXPECT_EQ(w.TBMApZoom->value(), 800);
    EXPECT_EQ(w.MapZoomImage->Picture(), frame);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(r.OutFiles(), QStringList{"span.mp4"});
}

TEST(ExportVideo, TheVisiblePartBeginsWithWhatTheViewShows)
{
    TExportReplay r;
    TTarvelMain& w = r.window;
    r.DrawnAfter(1500, 253);
    w.ScrollBox1->horizontalScrollBar()->setValue(101);
    w.ScrollBox1->verticalScrollBar()->setValue(57);
    const QRect visible = VisibleMapRect(w);
    TVideoOptions options = ViewOptions(w);
    options.from = w.ReplayTime();
    options.to = options.from + 1;
    TVideoExport video(w.ExportMenu().VideoSource(), options, r.Out("view.mp4"));
    QImage first;
    video.FrameHook = [&](const QImage& frame, const QRect&) {
        if (first.isNull())
            first = frame;
    };
    video.Step();
    video.Step();
    // Sides made even: a column or row may go.
    ASSERT_EQ(first.size(), QSize(visible.width() & ~1, visible.height() & ~1));
    EXPECT_EQ(Rgb(first), Rgb(w.MapZoomImage->Picture().copy(QRect(visible.topLeft(), first.size()))));
}

TEST(ExportVideo, ACancelledExportLeavesNothingAndAnExistingFileAsItWas)
{
    TExportReplay r;
    TTarvelMain& w = r.window;
    w.show();
    r.Ticks(100);
    w.Timer1->stop(); // a stopped replay stays stopped
    const std::string before = r.ReplayJson();
    const std::string name = r.home.Dir.Write("out/span.mp4", "the user's own file");
    TVideoOptions options;
    options.from = 10;
    options.to = 80;
    options.speed = 1;
    options.fps = 30;
    options.area = TVideoArea::Square;
    options.square = 64;
    int seen = -1;
    bool written = true;
    WhileModal([&] { written = w.ExportMenu().ExportVideo(options, name); }, [&](QWidget& modal) {
        auto* progress = qobject_cast<QProgressDialog*>(&modal);
        if (!progress || progress->value() < 20)
            return false;
        seen = progress->value();
        progress->cancel();
        return true;
    });
    EXPECT_FALSE(written);
    EXPECT_GE(seen, 20);
    EXPECT_LT(seen, 2100); // it did not run to its end first
    EXPECT_EQ(r.OutFiles(), QStringList{"span.mp4"});
    EXPECT_EQ(ReadFileBytes(name), "the user's own file");
    EXPECT_EQ(r.ReplayJson(), before);
    EXPECT_FALSE(w.Timer1->isActive());
}

TEST(ExportVideo, TheDialogSetsTheSpanSpeedRateAndSizeAndRemembersThem)
{
    TExportReplay r;
    TTarvelMain& w = r.window;
    TErrorCapture errors;
    w.show();
    r.Ticks(100);
    WhileModal([&] { w.ExportMenu().ExportVideo1->trigger(); }, [&](QWidget& dialog) {
        if (dialog.objectName() != "ExportVideo")
            return false;
        // The round runs from 10 s to 80 s: its whole length at first.
        EXPECT_EQ(Child<QTimeEdit>(dialog, "TETo").time(), QTime(0, 1, 10));
        Child<QTimeEdit>(dialog, "TEFrom").setTime(QTime(0, 0, 10));
        Child<QSpinBox>(dialog, "SESpeed").setValue(20);
        Child<QSpinBox>(dialog, "SEFps").setValue(10);
        auto& size = Child<QComboBox>(dialog, "CBSize");
        size.setCurrentIndex(size.findData(QStringLiteral("map")));
        EXPECT_EQ(Child<QComboBox>(dialog, "CBFollow").count(), 3); // nobody, Bert, Anna
        Child<QLineEdit>(dialog, "EFileName").setText(QString::fromStdString(r.Out("round")));
        EXPECT_EQ(Child<QLabel>(dialog, "LSummary").text(), QString::fromUtf8("27 frames of 300 \u00d7 300 pixels, 0:03 of video"));
        PressOk(dialog);
        return true;
    });
    EXPECT_TRUE(errors.Messages.empty()) << errors.Messages.front();
    const TVideoProbe probe = ProbeVideo(r.Out("round.mp4"));
    // The replay's round ends as its second-to-last event, at 70 s, is applied: 50.2 s at x20,
    // 10 frames a second, and a last frame that shows the end.
    EXPECT_EQ(probe.packets, 27);
    EXPECT_EQ(probe.width, w.MapZoomImage->width());
    EXPECT_EQ(w.ProgramFiles().Settings().Values("VideoSpeed"), "20");
    EXPECT_EQ(w.ProgramFiles().Settings().Values("VideoFPS"), "10");
    EXPECT_EQ(w.ProgramFiles().Settings().Values("VideoSize"), "map");

    // Without a round there is nothing to export.
    TReplay bare(WalkLog());
    bare.window.ExportMenu().ExportVideo1->trigger();
    ASSERT_EQ(bare.errors.Messages.size(), 1u); // the replay's own window reports to its fixture
    EXPECT_EQ(bare.errors.Messages[0], "No round is being replayed: double-click one in the list first");
}

TEST(ExportVideo, EachFrameShowsTheMomentTheClockReachesAndFollowingKeepsThePlayerInTheMiddle)
{
    for (const bool follow : {true, false}) {
        TExportReplay r;
        TTarvelMain& w = r.window;
        TVideoOptions options;
        options.from = 11; // Anna's spawn is applied by the first tick
        options.to = 69;
        options.speed = 4;
        options.fps = 10;
        options.area = TVideoArea::Square;
        options.square = 200;
        options.zoom = 3000; // 1800 pixels: the square sees a part of it
        options.track = follow ? "3" : "";
        TVideoExport video(w.ExportMenu().VideoSource(), options, r.Out("walk.mp4"));
        const TReplaySession& replay = video.Session();
        ASSERT_EQ(video.FrameCount(), 145);
        ASSERT_EQ(video.FrameSize(), QSize(200, 200));
        int frames = 0, inView = 0, late = 0;
        video.FrameHook = [&](const QImage& frame, const QRect& onMap) {
            // The first tick that reaches the frame's moment, and no later one.
            const double moment = video.FrameTime(frames++);
            late += !(replay.ReplayTime() >= moment - 1e-6 && replay.ReplayTime() < moment + 0.1 - 1e-6);
            const TMarker& anna = replay.PlayerStates().Find("3")->Image;
            const QPoint centre((anna.Left + anna.Width / 2) * 3, (anna.Top + anna.Height / 2) * 3);
            inView += follow ? std::abs(centre.x() - onMap.left() - 100) <= 1 && std::abs(centre.y() - onMap.top() - 100) <= 1
                             : onMap.adjusted(40, 40, -40, -40).contains(centre);
            EXPECT_EQ(frame.size(), QSize(200, 200));
        };
        while (!video.Done())
            video.Step();
        video.Finish();
        EXPECT_EQ(frames, 145);
        EXPECT_EQ(late, 0);
        if (follow)
            EXPECT_EQ(inView, 145); // in the middle, to the pixel
        else
            EXPECT_LT(inView, 30); // she walks through the middle only for a while
        EXPECT_EQ(ProbeVideo(r.Out("walk.mp4")).packets, 145);
    }
}

TEST(ExportVideo, ItsOwnReplayTakesThisWindowsSwitchesCalibrationAndOverlays)
{
    TExportReplay r;
    TTarvelMain& w = r.window;
    r.Ticks(300);
    w.ShowFlags->setChecked(false);
    w.CBKillINfo->setChecked(true);
    w.TBTimeToSeeLine->setValue(20);
    w.ReplayFromstart20Events->setChecked(true);
    w.TBXas->setValue(1500);
    w.TBLeft->setValue(12);
    w.SetTrackBarPosition(w.TBMApZoom, 1200);
    w.ViewMenu().Trails1->setChecked(true);
    w.ViewMenu().SetTrailSeconds(30);
    w.ViewMenu().DeathMap1->setChecked(true);
    w.ViewMenu().RoundStatsAtEnd1->setChecked(true);
    const std::string before = r.ReplayJson();
    const TVideoSource source = w.ExportMenu().VideoSource();
    EXPECT_FALSE(source.view.showFlags);
    EXPECT_TRUE(source.view.killInfo);
    EXPECT_EQ(source.view.timeToSeeLine, 20);
    EXPECT_EQ(source.settings.scaleX, 1500);
    EXPECT_EQ(source.settings.left, 12);
    EXPECT_EQ(source.view.TrailsShown(), 30);
    EXPECT_TRUE(source.view.deathMap);
    EXPECT_FALSE(source.view.killFeed);

    TVideoOptions options;
    options.from = 10;
    options.to = 20;
    options.zoom = w.TBMApZoom->value();
    TVideoExport video(source, options, r.Out("own.mp4"));
    const TReplaySession& replay = video.Session();
    EXPECT_EQ(replay.Events().Count(), w.Events().Count());
    // At the round's selection: its first event applied, the clock at the start.
    EXPECT_EQ(replay.EventIndex(), 0);
    EXPECT_EQ(replay.ReplayTime(), 10);
    EXPECT_FALSE(replay.Settings().loop); // a loop never reaches the span's end
    EXPECT_EQ(replay.Settings().scaleX, 1500);
    EXPECT_EQ(replay.Settings().left, 12);
    EXPECT_EQ(video.FrameSize(), QSize(720, 720));
    while (!video.Done())
        video.Step();
    EXPECT_GT(replay.EventIndex(), 0);
    // The window's replay is where it was.
    EXPECT_EQ(r.ReplayJson(), before);
}

TEST(ExportVideo, TheExportItemsStayAtTheEndOfTheFileMenu)
{
    TExportReplay r;
    TTarvelMain& w = r.window;
    w.SetStopReplayWait(0);
    w.RecentLogMenu().RememberRecentLog(r.home.Dir.Path("log.xml"));
    w.RecentLogMenu().RememberRecentLog("/logs/other.xml");
    const QList<QAction*> items = w.File1->actions();
    ASSERT_EQ(items.size(), 7);
    EXPECT_EQ(items[2]->text(), "/logs/other.xml");
    EXPECT_TRUE(items[4]->isSeparator());
    EXPECT_EQ(items[5], w.ExportMenu().ExportFrame1);
    EXPECT_EQ(items[6], w.ExportMenu().ExportVideo1);
}

// ----------------------------------------------------------------------------- ornwick video

namespace {

struct TVideoHome : TExportReplay {
    TToolRun Run(std::vector<std::string> options) const
    {
        std::vector<std::string> args{"video", home.Dir.Path("log.xml"), "0", "--home", home.Dir.Path("")};
        args.insert(args.end(), options.begin(), options.end());
        return RunOrnwickTool(args);
    }
};

} // namespace

TEST(VideoCommand, WritesTheVideoAndTellsItsProgressALineATenth)
{
    TVideoHome h;
    const TToolRun run = h.Run({"--out", h.Out("v.mp4"), "--from", "20", "--to", "50.5", "--speed", "3.05", "--fps",
                                "10", "--size", "64", "--track", "3"});
    EXPECT_EQ(run.status, 0) << run.err;
    const TVideoProbe probe = ProbeVideo(h.Out("v.mp4"));
    EXPECT_EQ(probe.packets, 100);
    EXPECT_EQ(QSize(probe.width, probe.height), QSize(64, 64));
    EXPECT_NEAR(probe.seconds, 10.0, 1e-6);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "video: 10% (10 of 100 frames)");
    EXPECT_NE(run.err.find("video: 100% (100 of 100 frames)\n"), std::string::npos);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 10);
}

TEST(VideoCommand, TheOverlaysAskedForAreInTheFrames)
{
    TVideoHome h;
    const std::vector<std::string> span{"--from", "30", "--to", "60", "--fps", "10", "--zoom", "500"};
    auto lastFrame = [&](const std::string& name, std::vector<std::string> more) {
        more.insert(more.end(), span.begin(), span.end());
        more.insert(more.end(), {"--out", h.Out(name)});
        const TToolRun run = h.Run(more);
        EXPECT_EQ(run.status, 0) << run.err;
        const TVideoProbe probe = ProbeVideo(h.Out(name), true);
        return probe.frames.empty() ? QImage() : probe.frames.back();
    };
    const QImage plain = lastFrame("plain.mp4", {});
    const QImage trails = lastFrame("trails.mp4", {"--trails", "30"});
    ASSERT_EQ(plain.size(), QSize(300, 300));
    ASSERT_EQ(trails.size(), plain.size());
    // Anna's path from 30 s on lies behind her, to her left.
    int changed = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            changed += !Near(plain.pixel(x, y), trails.pixel(x, y), 40);
    EXPECT_GT(changed, 40);
    EXPECT_EQ(h.Run({"--out", h.Out("v.mp4"), "--trails", "61"}).status, 2);
}

TEST(VideoCommand, BadOptionsAnUnwritableFileAndAFailedEncoderExitTwoWithoutAFile)
{
    TVideoHome h;
    const std::string out = h.Out("v.mp4");
    struct TCase {
        std::vector<std::string> options;
        std::string says;
    };
    const TCase cases[] = {
        {{"--from", "20"}, "needs --out"},
        {{"--out", h.Out("v.avi")}, "ends in .mp4"},
        {{"--out", out, "--speed", "0.5"}, "--speed"},
        {{"--out", out, "--speed", "101"}, "--speed"},
        {{"--out", out, "--fps", "61"}, "--fps"},
        {{"--out", out, "--fps", "24.5"}, "whole number"},
        {{"--out", out, "--size", "721"}, "even"},
        {{"--out", out, "--zoom", "400"}, "--zoom"},
        {{"--out", out, "--zoom", "7000"}, "4200 pixels wide, more than 4096"}, // the whole map
        {{"--out", out, "--from", "soon"}, "soon"},
        {{"--out", out, "--from", "9.5"}, "before the round"},
        {{"--out", out, "--to", "81"}, "after the round"},
        {{"--out", out, "--from", "40", "--to", "40"}, "must end after it starts"},
        {{"--out", out, "--track", "9"}, "no such player"},
        {{"--out", h.Out("missing/v.mp4"), "--to", "12"}, "Cannot create file " + h.Out("missing/v.mp4")},
    };
    for (const TCase& c : cases) {
        const TToolRun run = h.Run(c.options);
        EXPECT_EQ(run.status, 2) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("usage:"), std::string::npos) << run.err;
    }
    qputenv("ORNWICK_H264_ENCODER", "mpeg4");
    const TToolRun failed = h.Run({"--out", out, "--to", "12"});
    qunsetenv("ORNWICK_H264_ENCODER");
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(failed.err, "ornwick: Cannot encode video: libavcodec has no H.264 encoder named mpeg4\n");
    EXPECT_TRUE(h.OutFiles().isEmpty());
}

TEST(VideoCommand, APauseIsCrossedAsTheReplayCrossesItAndTooManyFramesOrNoEventsAreSaid)
{
    using replaylog::Ev;
    auto paused = [](const std::string& resume, const std::string& last) {
        return replaylog::Round(Ev("spawnEvent", "10", 3, "10/0/10", {{"team", "1"}}) +
                                Ev("spawnEvent", "20", 5, "30/0/30", {{"team", "2"}}) +
                                Ev("pickupKit", resume, 3, "12/0/12") + Ev("pickupKit", last, 5, "32/0/32"));
    };
    THome home;
    std::filesystem::create_directory(home.Dir.Path("images"));
    const std::string log = home.Dir.Write(
        "log.xml", replaylog::Log(paused("1000020", "1000025") + paused("200000020", "200000025") + replaylog::Round("<bf:notanevent/>")));
    auto run = [&](int round, const std::string& out, const std::string& speed = "100") {
        return RunOrnwickTool({"video", log, std::to_string(round), "--home", home.Dir.Path(""), "--size", "64", "--fps",
                               "10", "--speed", speed, "--out", home.Dir.Path(out)});
    };
    // A million seconds of pause: about ten thousand ticks of 100 s, a hundred frames at x100.
    const TToolRun crossed = run(0, "crossed.mp4");
    EXPECT_EQ(crossed.status, 0) << crossed.err;
    const TVideoProbe probe = ProbeVideo(home.Dir.Path("crossed.mp4"));
    EXPECT_GT(probe.packets, 95);
    EXPECT_LT(probe.packets, 110);

    // Two hundred million seconds: two million ticks, 200 000 frames at x10.
    const TToolRun tooMany = run(1, "long.mp4", "10");
    EXPECT_EQ(tooMany.status, 2);
    EXPECT_NE(tooMany.err.find("frames, more than 100000"), std::string::npos) << tooMany.err;
    EXPECT_EQ(tooMany.err.find("video: "), std::string::npos) << tooMany.err; // not begun
    EXPECT_FALSE(std::filesystem::exists(home.Dir.Path("long.mp4")));

    const TToolRun empty = run(2, "empty.mp4");
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err, "ornwick: round 2 has no events: there is nothing to film\n");

    // The window's dialog says so before it starts, and offers no OK.
    replaylog::TReplay r(replaylog::Log(paused("200000020", "200000025")));
    r.Select(0);
    WhileModal([&] { r.window.ExportMenu().ExportVideo1->trigger(); }, [&](QWidget& dialog) {
        if (dialog.objectName() != "ExportVideo")
            return false;
        EXPECT_TRUE(Child<QLabel>(dialog, "LSummary").text().contains("frames, more than 100000"))
            << Child<QLabel>(dialog, "LSummary").text().toStdString();
        EXPECT_FALSE(Child<QDialogButtonBox>(dialog, "Buttons").button(QDialogButtonBox::Ok)->isEnabled());
        // A span within the round's start is fine.
        Child<QTimeEdit>(dialog, "TETo").setTime(QTime(0, 0, 5));
        EXPECT_TRUE(Child<QDialogButtonBox>(dialog, "Buttons").button(QDialogButtonBox::Ok)->isEnabled());
        dialog.close();
        return true;
    });
}
