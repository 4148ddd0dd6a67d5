// The map view of a round replay without a window (the tool's render and video): the first
// view a selection gives it, its frame, and the tool's map commands run in a program that links
// no widgets.
#include "../replay/LogText.h"
#include "TestUtil.h"
#include "log/OpenedLog.h"
#include "replay/ReplaySession.h"
#include "round/RoundReplay.h"
#include "round/RoundView.h"
#include "settings/ProgramFolder.h"
#include "tool/Ornwick.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace replaylog;

namespace {

// Anna and Bert spread far apart on "bay", which has no picture in an empty home.
std::string SpreadLog()
{
    return Log(Round(Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}) +
                     Ev("spawnEvent", "10", 5, "2500/0/1800", {{"team", "2"}}) +
                     Ev("pickupKit", "15", 3, "150/0/120") + Ev("pickupKit", "30", 5, "2400/0/1700")));
}

struct TSelected {
    explicit TSelected(const std::string& ini = "")
    {
        if (!ini.empty())
            dir.Write("Tarvel.ini", ini);
        try {
            files.Read();
        } catch (const std::exception&) {
            // a setting that does not read is reported by the start; the rest was read
        }
        log.Open(dir.Write("log.xml", SpreadLog()));
        replay = std::make_unique<TRoundReplay>(files, log.Roster());
        replay->Select(*log.Round(0));
    }
    TSeparatorScope point{'.'};
    TTempDir dir;
    TProgramFiles files{dir.Path("Tarvel")};
    TOpenedLog log;
    std::unique_ptr<TRoundReplay> replay;
};

int Count(const QImage& picture, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += picture.pixel(x, y) == colour;
    return count;
}

} // namespace

TEST(RoundView, AMapWithoutPictureOrCalibrationIsFramedOnItsRoundOthersKeepTheView)
{
    // No picture and no saved calibration: the round's places fill the view, whatever the zoom.
    TSelected framed;
    TRoundView view(QSize(300, 200));
    view.StartZoom(framed.files.Settings());
    view.MoveZoom(4000);
    view.ApplyFirstView(*framed.replay);
    EXPECT_NE(view.Zoom(), 4000);
    while (framed.replay->Running() && framed.replay->Session().ReplayTime() < 20)
        framed.replay->Tick();
    view.Draw(*framed.replay, TViewOptions(), FrameFont());
    const QImage shown = view.ViewPicture(Qt::gray);
    ASSERT_EQ(shown.size(), QSize(300, 200));

    // A saved calibration keeps the zoom the window starts with, in a view of the designed size.
    TSelected saved("ZOOM=1500\r\n" + std::string(BayAtStart));
    TRoundView designed;
    designed.StartZoom(saved.files.Settings());
    designed.ApplyFirstView(*saved.replay);
    EXPECT_EQ(designed.Zoom(), 1500);
    // A larger view frames the fight (here wider than the map holds: the smallest zoom), until
    // the user has zoomed.
    TRoundView larger(QSize(1500, 900));
    larger.StartZoom(saved.files.Settings());
    larger.ApplyFirstView(*saved.replay);
    EXPECT_EQ(larger.Zoom(), MinMapZoom);
    TRoundView zoomed(QSize(1500, 900));
    zoomed.StartZoom(saved.files.Settings());
    zoomed.MoveZoom(2500);
    zoomed.ApplyFirstView(*saved.replay);
    EXPECT_EQ(zoomed.Zoom(), 2500);
    // A zoom that does not read leaves the slider where it was designed.
    TSelected bad("ZOOM=near\r\n");
    TRoundView start;
    start.StartZoom(bad.files.Settings());
    EXPECT_EQ(start.Zoom(), DesignedMapZoom);
}

TEST(RoundView, ALargerViewFramesAFightInACornerOfAMapWithPictureAndItsObjectsNearIt)
{
    // A map as an import makes it: a 2048-unit world on a 600-pixel picture, with objects over
    // the whole world, and a fight 300 units wide in its top right corner.
    TSeparatorScope point('.');
    TTempDir dir;
    QDir().mkpath(QString::fromStdString(dir.Path("images")));
    QImage picture(600, 600, QImage::Format_RGB888);
    picture.fill(qRgb(40, 90, 40));
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.Path("images/bay.jpg")), "JPEG"));
    std::string objects;
    for (const char* place : {"1500/0/1600", "200/0/200", "1000/0/1000", "100/0/1900"})
        objects += std::string("Object.create controlpoint\nObject.absolutePosition ") + place + "\nObject.setTeam 0\n";
    dir.Write("images/bayOBS.con", objects);
    dir.Write("Tarvel.ini", "ZOOM=1000\r\nbay_SCALE=293\r\nbay_CORRECTIONY=293\r\nbay_TOPMARGIN=0\r\nbay_LEFTMARGIN=0\r\n");
    TProgramFiles files(dir.Path("Tarvel"));
    files.Read();
    TOpenedLog log;
    log.Open(dir.Write("log.xml", Log(Round(Ev("spawnEvent", "10", 3, "1700/0/1700", {{"team", "1"}}) +
                                            Ev("spawnEvent", "10", 5, "2000/0/2000", {{"team", "2"}}) +
                                            Ev("pickupKit", "30", 3, "1750/0/1800") +
                                            Ev("pickupKit", "40", 5, "1950/0/1900")))));
    TRoundReplay replay(files, log.Roster());
    replay.Select(*log.Round(0));
    ASSERT_FALSE(replay.Map().PictureMissing());

    const QSize size(1500, 900);
    TRoundView view(size);
    view.StartZoom(files.Settings());
    view.ApplyFirstView(replay);
    EXPECT_GT(view.Zoom(), ZoomToFit(size.width() - MapCornerX, size.height() - MapCornerY));
    view.Draw(replay, TViewOptions(), FrameFont());
    // Both players in view, the control point beside the fight too; those across the world not.
    const QImage shown = view.ViewPicture(Qt::gray);
    auto inView = [&](double x, double z) {
        const double zoom = view.Zoom() / 1000.0;
        const QPoint drawn(static_cast<int>(std::lround(0.293 * x * zoom)) + MapCornerX - view.Scroll().X,
                           static_cast<int>(std::lround((600 - 0.293 * z) * zoom)) + MapCornerY - view.Scroll().Y);
        return QRect(QPoint(0, 0), size).contains(drawn);
    };
    EXPECT_TRUE(inView(1700, 1700));
    EXPECT_TRUE(inView(2000, 2000));
    EXPECT_TRUE(inView(1500, 1600));
    EXPECT_FALSE(inView(200, 200));
    EXPECT_FALSE(inView(100, 1900));
    EXPECT_EQ(shown.size(), size);
}

TEST(RoundView, TheSwitchesDecideWhatTheFrameDraws)
{
    TSelected s(BayAtStart);
    TRoundView view;
    view.StartZoom(s.files.Settings());
    while (s.replay->Running() && s.replay->Session().ReplayTime() < 20)
        s.replay->Tick();
    TViewOptions options;
    view.Draw(*s.replay, options, FrameFont());
    const QImage grid = view.Bitmap().copy();
    options.gridBackground = false;
    view.Draw(*s.replay, options, FrameFont());
    // Without the grid the bitmap is white but for the markers and their labels.
    EXPECT_GT(Count(view.Bitmap(), qRgb(255, 255, 255)), Count(grid, qRgb(255, 255, 255)));
    EXPECT_EQ(view.Minimap(*s.replay).size(), QSize(TPictureHolder::DefaultSize / 2, TPictureHolder::DefaultSize / 2));
}

TEST(ToolCommands, RenderObjectsAndCalibrateRunInAProgramWithoutWidgets)
{
    TSeparatorScope point('.');
    TTempDir dir;
    QDir().mkpath(QString::fromStdString(dir.Path("images")));
    dir.Write("images/bayOBS.con", BayObjects);
    const std::string log = dir.Write("log.xml", SpreadLog());
    const std::string home = dir.Path("");
    auto run = [](std::vector<std::string> args, std::string& out, std::string& err) {
        args.insert(args.begin(), "ornwick");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        std::ostringstream o, e;
        const int status = RunTool(static_cast<int>(argv.size()), argv.data(), o, e);
        out = o.str();
        err = e.str();
        return status;
    };
    std::string out, err;
    const std::string view = dir.Path("view.png");
    EXPECT_EQ(run({"render", log, "0", "--home", home, "--at", "20", "--view", "300x200", "--out", view}, out, err), 0)
        << err;
    EXPECT_EQ(QImage(QString::fromStdString(view)).size(), QSize(300, 200));
    EXPECT_EQ(run({"render", log, "0", "--home", home, "--at", "20", "--track", "9", "--out", view}, out, err), 2);
    EXPECT_NE(err.find("--track 9: no such player on the scoreboard"), std::string::npos) << err;

    EXPECT_EQ(run({"objects", "bay", "--home", home}, out, err), 0) << err;
    EXPECT_NE(out.find("\"class\":\"Jeep\""), std::string::npos) << out;
    EXPECT_NE(out.find("{\"missing\":[\"bay\",\"Jeep\""), std::string::npos) << out;

    EXPECT_EQ(run({"calibrate", "bay", "--home", home, "--ref", "100,200=50,60", "--ref", "900,700=400,300"}, out, err), 2);
    EXPECT_NE(err.find("give --picture-height"), std::string::npos) << err;
    EXPECT_EQ(run({"calibrate", "bay", "--home", home, "--ref", "100,200=50,60", "--ref", "900,700=400,300",
                   "--picture-height", "500", "--save"},
                  out, err),
              0)
        << err;
    const std::string ini = ReadFileBytes(dir.Path("Tarvel.ini"));
    EXPECT_NE(ini.find("bay_CORRECTIONY="), std::string::npos) << ini;
    EXPECT_NE(ini.find("ZOOM=500"), std::string::npos) << ini;

    // Only the program adds the window's commands.
    EXPECT_EQ(run({"widgets"}, out, err), 2);
    EXPECT_NE(err.find("usage:"), std::string::npos);
}
