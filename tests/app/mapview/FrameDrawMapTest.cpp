// The frame on the real window (the layout flag, the minimap, tracking) and `ornwick render`.
#include "../ToolRun.h"
#include "../replay/ReplayLog.h"

#include <QCheckBox>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>


using namespace replaylog;

namespace {

const QRgb Red = qRgb(255, 0, 0), Blue = qRgb(0, 0, 255), Grey = qRgb(90, 90, 90), Magenta = qRgb(255, 0, 255);

// Four quarters of their own colour, split at the middle.
QImage Quarters(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, QColor(Red));
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, QColor(Blue));
    painter.fillRect(0, height / 2, width / 2, height - height / 2, QColor(Grey));
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, QColor(Magenta));
    return image;
}

void GiveMapPicture(TTarvelMain& window, const QImage& picture)
{
    TPictureHolder& map = TTarvelMainTest::MapImage(window);
    map.SetPicture(picture);
    map.SetSizeToPicture();
}

bool AllOf(const QImage& image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != colour)
                return false;
    return true;
}

QPoint Scroll(TTarvelMain& window)
{
    return {window.ScrollBox1->horizontalScrollBar()->value(), window.ScrollBox1->verticalScrollBar()->value()};
}

} // namespace

TEST(FrameDrawMap, DrawsOnlyWhenTheLayoutChangedThenTheMinimapAtHalfThePicture)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.SetTrackBarPosition(window.TBMApZoom, 1000);
    window.DrawMap(); // the frame the new zoom asked for, before there is a picture
    GiveMapPicture(window, Quarters(600, 400));
    const QSize minimapBefore = window.BigPicture->Picture().size();
    ASSERT_FALSE(window.LayoutChanged());
    window.DrawMap();
    EXPECT_TRUE(AllOf(window.MapZoomImage->Picture(), qRgb(255, 255, 255)));
    EXPECT_EQ(window.BigPicture->Picture().size(), minimapBefore);

    window.SetLayoutChanged();
    window.DrawMap();
    EXPECT_FALSE(window.LayoutChanged());
    const QImage& zoomed = window.MapZoomImage->Picture();
    ASSERT_EQ(zoomed.size(), QSize(600, 600)); // the picture stretched over the square
    EXPECT_EQ(zoomed.pixel(290, 290), Red);
    EXPECT_EQ(zoomed.pixel(310, 290), Blue);
    EXPECT_EQ(zoomed.pixel(290, 310), Grey);
    EXPECT_EQ(zoomed.pixel(310, 310), Magenta);
    const QImage& minimap = window.BigPicture->Picture();
    EXPECT_EQ(minimap.size(), QSize(300, 200));
    EXPECT_EQ(window.BigPicture->size(), QSize(300, 200));
    EXPECT_TRUE(window.Minimap().Halved);
    EXPECT_EQ(minimap.pixel(140, 90), Red);
    EXPECT_EQ(minimap.pixel(160, 90), Blue);
    EXPECT_EQ(minimap.pixel(140, 110), Grey);
    EXPECT_EQ(minimap.pixel(160, 110), Magenta);

    // Odd sizes are halved toward zero.
    GiveMapPicture(window, Quarters(601, 401));
    window.SetLayoutChanged();
    window.DrawMap();
    EXPECT_EQ(window.BigPicture->Picture().size(), QSize(300, 200));
    EXPECT_EQ(window.BigPicture->size(), QSize(300, 200));
    EXPECT_TRUE(window.Minimap().Halved);
}

TEST(FrameDrawMap, ALargePictureGivesAMinimapOfTheWholeMapWithinItsPage)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.SetTrackBarPosition(window.TBMApZoom, 3000);
    window.PCMainInfo->setCurrentWidget(window.TSMinimap);
    window.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(window.MinimapRoom(), QSize(300, 300)); // the designed size
    // An imported picture of 4096 pixels: half of it would be 2048 pixels, cut off by the page.
    GiveMapPicture(window, Quarters(4096, 4096));
    window.SetLayoutChanged();
    window.DrawMap();
    const QImage& minimap = window.BigPicture->Picture();
    ASSERT_EQ(minimap.size(), QSize(300, 300));
    EXPECT_FALSE(window.Minimap().Halved);
    // No more pixels are stretched than the minimap shows, and the widget does not stretch them
    // again.
    EXPECT_EQ(window.BigPicture->size(), minimap.size());
    // The whole map, each quarter in its corner, and the page holds all of it.
    EXPECT_EQ(minimap.pixel(2, 2), Red);
    EXPECT_EQ(minimap.pixel(297, 2), Blue);
    EXPECT_EQ(minimap.pixel(2, 297), Grey);
    EXPECT_EQ(minimap.pixel(297, 297), Magenta);
    EXPECT_TRUE(window.TSMinimap->rect().contains(window.BigPicture->geometry()));

    // A taller window gives the page, and so the minimap, more room: a tall picture grows into it.
    window.resize(window.width(), window.height() + 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.MinimapRoom(), QSize(300, 600));
    EXPECT_EQ(window.BigPicture->size(), QSize(300, 300));
    GiveMapPicture(window, Quarters(1024, 4096));
    window.resize(window.width(), window.height() + 1); // the room shows it without a frame
    QCoreApplication::processEvents();
    EXPECT_EQ(window.BigPicture->Picture().size(), QSize(150, 601));
    EXPECT_EQ(window.BigPicture->size(), QSize(150, 601));
    EXPECT_TRUE(window.TSMinimap->rect().contains(window.BigPicture->geometry()));
    // Back at the designed size, the designed room.
    window.resize(884, 716);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.MinimapRoom(), QSize(300, 300));
    EXPECT_EQ(window.BigPicture->size(), QSize(75, 300));
}

TEST(FrameDrawMap, TheFrameFollowsThePickedPlayerUntilTheMinimapPans)
{
    // On a map 600 high, at zoom 1000, Anna's marker (the built-in soldier, 21 square: her kit has
    // no picture) has its corner at (400 - 10, 600 - 220 - 10): the view scrolls to
    // (390 - 312, 370 - 312), held to its vertical range of 29.
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "200/0/110", {{"team", "1"}}) +
                        Ev("pickupKit", "30", 3, "200/0/110"))));
    TTarvelMain& w = r.window;
    Quarters(600, 600).save(QString::fromStdString(r.home.Dir.Path("images/bay.bmp")), "BMP");
    w.SetDrawThreadEnabled(false);
    r.Select(0);
    r.Ticks(1); // the scoreboard's rows come with the clock's tick
    w.Timer1->stop();
    w.SetTrackBarPosition(w.TBMApZoom, 1000);
    w.show();
    QCoreApplication::processEvents();
    const TInfoClass& anna = r.State(3);
    ASSERT_EQ(QPoint(anna.Image.Left, anna.Image.Top), QPoint(390, 370));
    // Picked anew: showing the window may have made her row current already.
    w.ScoreBord->setCurrentItem(nullptr);
    w.CBTrackPlayer->setChecked(false);
    w.ScoreBord->setCurrentItem(w.ScoreBordRows().RowOf(&anna));
    ASSERT_TRUE(w.CBTrackPlayer->isChecked());
    w.SetLayoutChanged();
    w.DrawMap();
    EXPECT_EQ(Scroll(w), QPoint(78, 29));

    w.ScrollBox2MouseDown(0, 0);
    w.ScrollBox2MouseUp();
    EXPECT_FALSE(w.CBTrackPlayer->isChecked());
    w.SetLayoutChanged();
    w.DrawMap();
    EXPECT_EQ(Scroll(w), QPoint(0, 0));
}

TEST(FrameCalibration, ScaleSlidersPlaceAnewAndAskForAFrameOffsetsWaitForTheNextFrame)
{
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "100/0/20", {{"team", "1"}}) + Ev("pickupKit", "30", 3, "100/0/20"))),
              BayAtStart, BayObjects);
    TTarvelMain& w = r.window;
    Quarters(20, 10).save(QString::fromStdString(r.home.Dir.Path("images/Jeep.bmp")), "BMP");
    w.SetDrawThreadEnabled(false);
    r.Select(0);
    w.CBAnimate->setChecked(false); // moving markers would ask for a frame of their own
    const TMapObject& jeep = *w.MapObjects().Object(0); // at 1000/0/1000, centred: less (10, 5)
    w.TBYas->setValue(1500);
    EXPECT_EQ(w.Label11->Caption(), "1500");
    EXPECT_EQ(w.Label4->Caption(), "2000");
    EXPECT_EQ(w.CorrectionY(), 1500);
    EXPECT_EQ(jeep.FImage.Top, 105 - 1500 - 5);
    EXPECT_TRUE(w.LayoutChanged());
    w.DrawMap();
    w.TBXas->setValue(1000);
    EXPECT_EQ(w.Label4->Caption(), "1000");
    EXPECT_EQ(jeep.FImage.Left, 1000 - 10);
    EXPECT_TRUE(w.LayoutChanged());
    w.DrawMap();

    w.TBLeft->setValue(40);
    w.TBTop->setValue(-7);
    EXPECT_EQ(w.LeftMargin(), 40);
    EXPECT_EQ(w.TopMargin(), -7);
    EXPECT_FALSE(w.LayoutChanged());
    EXPECT_EQ(jeep.FImage.Left, 1000 - 10);
    // The next frame places every object it draws.
    w.SetLayoutChanged();
    w.DrawMap();
    EXPECT_EQ(jeep.FImage.Left, 1000 + 40 - 10);
    EXPECT_EQ(jeep.FImage.Top, 105 - 1500 - 7 - 5);
}

// ----------------------------------------------------------------------------- ornwick render

namespace {

struct TRenderHome {
    TRenderHome()
    {
        std::filesystem::create_directory(home.Dir.Path("images"));
        Quarters(200, 160).save(QString::fromStdString(home.Dir.Path("images/bay.bmp")), "BMP");
        // Anna stands in the middle of the map picture from 10 s to 30 s.
        log = home.Dir.Write("log.xml", Log(Round(Ev("spawnEvent", "10", 3, "50/0/40", {{"team", "1"}}) +
                                                  Ev("pickupKit", "30", 3, "50/0/40"))));
    }
    TToolRun Run(std::vector<std::string> options) const
    {
        std::vector<std::string> args{"render", log, "0", "--home", home.Dir.Path("")};
        args.insert(args.end(), options.begin(), options.end());
        return RunOrnwickTool(args);
    }
    std::string Out(const std::string& name) const { return home.Dir.Path(name); }
    TSeparatorScope point{'.'};
    THome home;
    std::string log;
};

} // namespace

TEST(FrameRender, WritesTheWholeZoomedMapAndTheMinimap)
{
    TRenderHome h;
    const TToolRun run = h.Run({"--at", "15", "--zoom", "1500", "--out", h.Out("map.png"), "--minimap", h.Out("mini.png")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const QImage map(QString::fromStdString(h.Out("map.png")));
    ASSERT_EQ(map.size(), QSize(900, 900));
    EXPECT_EQ(map.pixel(5, 5), Red);
    EXPECT_EQ(map.pixel(894, 894), Magenta);
    // Anna's label, of team 1, is on it.
    int green = 0;
    for (int y = 0; y < 900; ++y)
        for (int x = 0; x < 900; ++x)
            green += map.pixel(x, y) == qRgb(0, 255, 0);
    EXPECT_GT(green, 5);
    const QImage minimap(QString::fromStdString(h.Out("mini.png")));
    EXPECT_EQ(minimap.size(), QSize(100, 80));
    EXPECT_EQ(minimap.pixel(2, 2), Red);

    // A picture whose half is larger than the minimap's page: the whole map, shrunk to the page.
    Quarters(1000, 800).save(QString::fromStdString(h.home.Dir.Path("images/bay.bmp")), "BMP");
    const TToolRun large = h.Run({"--at", "15", "--out", h.Out("map.png"), "--minimap", h.Out("mini.png")});
    EXPECT_EQ(large.status, 0) << large.err;
    const QImage shrunk(QString::fromStdString(h.Out("mini.png")));
    ASSERT_EQ(shrunk.size(), QSize(300, 240));
    EXPECT_EQ(shrunk.pixel(2, 2), Red);
    EXPECT_EQ(shrunk.pixel(297, 237), Magenta);
}

TEST(FrameRender, FitsTheMapToAWindowAsTheViewMenuDoes)
{
    TRenderHome h;
    const TToolRun run = h.Run({"--at", "15", "--fit-window", "1500x900", "--out", h.Out("map.png")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(QImage(QString::fromStdString(h.Out("map.png"))).size(), QSize(900, 900)); // zoom 1500
}

TEST(FrameRender, BadOptionsAndATimeBeforeTheRoundExitTwoWithAMessage)
{
    TRenderHome h;
    const std::string out = h.Out("map.png");
    struct TCase {
        std::vector<std::string> options;
        std::string says;
    };
    const TCase cases[] = {
        {{"--out", out}, "--at"},
        {{"--at", "15"}, "--out"},
        {{"--at", "soon", "--out", out}, "soon"},
        {{"--at", "15", "--out", out, "--hide", "objects,boats"}, "boats"},
        {{"--at", "9.5", "--out", out}, "before the round"},
        {{"--at", "15", "--out", out, "--fit-window", "800"}, "WxH"},
        {{"--at", "15", "--out", out, "--fit-window", "0x600"}, "0x600"},
        {{"--at", "15", "--out", out, "--fit-window", "800x600", "--zoom", "900"}, "not both"},
    };
    for (const TCase& c : cases) {
        const TToolRun run = h.Run(c.options);
        EXPECT_EQ(run.status, 2) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("usage:"), std::string::npos) << run.err; // a message of its own
        EXPECT_FALSE(PathExists(out)) << c.says;
    }
}
