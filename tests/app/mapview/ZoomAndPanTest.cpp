// The zoom slider and the wheel, panning from the minimap and the tracking switch, on the real
// window.
#include "../WindowTestUtil.h"
#include "app/mapview/ViewMenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QCheckBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

QSize ZoomedSize(TTarvelMain& window) { return window.MapZoomImage->size(); }

void Wheel(QWidget& target, int delta, ulong timestamp)
{
    QWheelEvent event(QPointF(5, 5), target.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    event.setTimestamp(timestamp);
    QApplication::sendEvent(&target, &event);
}

void Mouse(QWidget& target, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(at), target.mapToGlobal(QPointF(at)), Qt::LeftButton,
                      type == QEvent::MouseMove ? Qt::MouseButtons(Qt::NoButton) : held, Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

QPoint Scroll(TTarvelMain& window)
{
    return {window.ScrollBox1->horizontalScrollBar()->value(), window.ScrollBox1->verticalScrollBar()->value()};
}

// A shown window at the zoom, its scroll range brought up to date.
void ShowAtZoom(TTarvelMain& window, int zoom)
{
    window.SetTrackBarPosition(window.TBMApZoom, zoom);
    window.show();
    QCoreApplication::processEvents();
}

} // namespace

TEST(ZoomSlider, TheZoomedMapIsASquareOf600TimesTheZoom)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    // No "ZOOM" key: 200, held to the slider's minimum.
    EXPECT_EQ(window.TBMApZoom->value(), 500);
    EXPECT_EQ(window.Zoom(), 500);
    EXPECT_EQ(ZoomedSize(window), QSize(300, 300));
    for (const auto& [zoom, side] : {std::pair{1000, 600}, {1001, 601}, {1250, 750}, {500, 300}, {10000, 6000}, {1999, 1199}}) {
        window.TBMApZoom->setValue(zoom); // the user's move writes the zoom
        EXPECT_EQ(window.Zoom(), zoom);
        EXPECT_EQ(ZoomedSize(window), QSize(side, side)) << zoom;
        EXPECT_EQ(window.MapZoomImage->Picture().size(), QSize(side, side)) << zoom;
    }
    // Nothing is drawn here, but the next frame is asked for: the new bitmap is blank.
    EXPECT_TRUE(window.LayoutChanged());
    window.DrawMap();
    EXPECT_FALSE(window.LayoutChanged());
    window.TBMApZoom->setValue(window.TBMApZoom->value());
    EXPECT_FALSE(window.LayoutChanged()); // the same size keeps its frame
    // Program code sets the zoom: limited to the slider's range, which shows it.
    window.SetZoom(20000);
    EXPECT_EQ(window.Zoom(), 10000);
    EXPECT_EQ(window.TBMApZoom->value(), 10000);
    EXPECT_EQ(ZoomedSize(window), QSize(6000, 6000));

    home.Dir.Write("Tarvel.ini", "ZOOM=1250\r\n");
    TTarvelMain zoomed(home.Exe());
    zoomed.SetStopReplayWait(0);
    EXPECT_EQ(ZoomedSize(zoomed), QSize(750, 750));
}

TEST(ZoomWheel, HalfTheDeltaTruncatedWithinTheSlidersRange)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.SetTrackBarPosition(window.TBMApZoom, 1000);
    window.FormMouseWheel(120);
    EXPECT_EQ(window.TBMApZoom->value(), 1060);
    EXPECT_EQ(window.Zoom(), 1060);
    EXPECT_EQ(ZoomedSize(window), QSize(636, 636));
    window.FormMouseWheel(-121); // -60.5 truncated to -60
    EXPECT_EQ(window.TBMApZoom->value(), 1000);
    window.FormMouseWheel(1);
    EXPECT_EQ(window.TBMApZoom->value(), 1000);

    window.SetTrackBarPosition(window.TBMApZoom, 520);
    window.FormMouseWheel(-120);
    EXPECT_EQ(window.TBMApZoom->value(), 500);
    EXPECT_EQ(ZoomedSize(window), QSize(300, 300));
    // At the limit the value does not change, so the zoom handler does not run.
    window.MapZoomImage->resize(10, 10);
    window.FormMouseWheel(-120);
    EXPECT_EQ(window.TBMApZoom->value(), 500);
    EXPECT_EQ(ZoomedSize(window), QSize(10, 10));
    window.SetTrackBarPosition(window.TBMApZoom, 9990);
    window.FormMouseWheel(120);
    EXPECT_EQ(window.TBMApZoom->value(), 10000);
}

TEST(ZoomWheel, EachWheelEventInTheWindowZoomsOnce)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    ShowAtZoom(window, 1000);
    // The scroll box hands the event on to its scroll bar: still one step.
    Wheel(*window.ScrollBox1->viewport(), 120, 1000);
    EXPECT_EQ(window.TBMApZoom->value(), 1060);
    Wheel(*window.ListBox1, -240, 1001);
    EXPECT_EQ(window.TBMApZoom->value(), 940);
    // Fast wheels and touchpads deliver several events within one millisecond.
    Wheel(*window.ListBox1, 120, 5000);
    Wheel(*window.ListBox1, 120, 5000);
    EXPECT_EQ(window.TBMApZoom->value(), 1060);
}

TEST(ZoomPan, AClickOnTheMinimapScrollsByTheZoomAndUnchecksTracking)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    ShowAtZoom(window, 1000);
    QScrollBar& h = *window.ScrollBox1->horizontalScrollBar();
    QScrollBar& v = *window.ScrollBox1->verticalScrollBar();
    // The box is 587 high: at zoom 1000 it scrolls a 600 map by a few dozen pixels only.
    ASSERT_GE(h.maximum(), 60);
    ASSERT_GE(v.maximum(), 27);
    ASSERT_LT(v.maximum(), 60);
    window.CBTrackPlayer->setChecked(true);
    window.ScrollBox2MouseDown(10, 20);
    EXPECT_EQ(Scroll(window), QPoint(30, v.maximum())); // 1 x 10 + 2 x 10; 60, held to the range
    EXPECT_TRUE(window.Dragging());
    EXPECT_FALSE(window.CBTrackPlayer->isChecked());
    window.ScrollBox2MouseDown(20, 9);
    EXPECT_EQ(Scroll(window), QPoint(60, 27));

    window.SetTrackBarPosition(window.TBMApZoom, 1500);
    QCoreApplication::processEvents();
    window.ScrollBox2MouseDown(10, 20);
    EXPECT_EQ(Scroll(window), QPoint(35, 70));
    // 1.25 x 2 = 2.5 and 1.25 x 6 = 7.5: halves go to even.
    window.SetTrackBarPosition(window.TBMApZoom, 1250);
    QCoreApplication::processEvents();
    window.ScrollBox2MouseDown(2, 6);
    EXPECT_EQ(Scroll(window), QPoint(2 + 4, 8 + 12));
    // The scroll box keeps the positions in its range.
    window.ScrollBox2MouseDown(1000, 1000);
    EXPECT_EQ(Scroll(window), QPoint(h.maximum(), v.maximum()));
    ASSERT_LT(h.maximum(), 3250);
}

TEST(ZoomPan, AClickOnAShrunkMinimapCentresTheViewOnThatPlaceOfTheMap)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    ShowAtZoom(window, 3000);
    QImage picture(4096, 4096, QImage::Format_RGB888);
    picture.fill(Qt::darkGreen);
    TPictureHolder& map = TTarvelMainTest::MapImage(window);
    map.SetPicture(picture);
    map.SetSizeToPicture();
    window.SetLayoutChanged();
    window.DrawMap();
    ASSERT_EQ(window.BigPicture->size(), QSize(300, 300));
    const QSize view = window.ScrollBox1->viewport()->size();
    // The place of the zoomed map (1800 square, its corner at -8) in the middle of the view.
    const auto centre = [&] { return Scroll(window) + QPoint(view.width() / 2 + 8, view.height() / 2); };
    window.CBTrackPlayer->setChecked(true);
    window.ScrollBox2MouseDown(150, 150);
    EXPECT_EQ(centre(), QPoint(900, 900));
    EXPECT_FALSE(window.CBTrackPlayer->isChecked());
    window.BigPictureMouseMove(100, 200);
    EXPECT_EQ(centre(), QPoint(600, 1200));
    window.ScrollBox2MouseUp();
    // A corner: as near as the scroll range goes.
    window.ScrollBox2MouseDown(0, 0);
    EXPECT_EQ(Scroll(window), QPoint(0, 0));
    window.ScrollBox2MouseDown(300, 300);
    EXPECT_EQ(Scroll(window), QPoint(window.ScrollBox1->horizontalScrollBar()->maximum(),
                                     window.ScrollBox1->verticalScrollBar()->maximum()));
}

TEST(ZoomPan, MovesScrollOnlyWhileAButtonIsHeld)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    ShowAtZoom(window, 1000);
    window.CBTrackPlayer->setChecked(true);
    window.BigPictureMouseMove(10, 20);
    EXPECT_EQ(Scroll(window), QPoint(0, 0));
    EXPECT_TRUE(window.CBTrackPlayer->isChecked());

    // The mouse on the minimap itself.
    QWidget& minimap = *window.BigPicture;
    Mouse(minimap, QEvent::MouseButtonPress, {5, 5});
    EXPECT_TRUE(window.Dragging());
    EXPECT_EQ(Scroll(window), QPoint(15, 15));
    EXPECT_FALSE(window.CBTrackPlayer->isChecked());
    Mouse(minimap, QEvent::MouseMove, {10, 8});
    EXPECT_EQ(Scroll(window), QPoint(30, 24));
    Mouse(minimap, QEvent::MouseButtonRelease, {10, 8});
    EXPECT_FALSE(window.Dragging());
    window.CBTrackPlayer->setChecked(true);
    Mouse(minimap, QEvent::MouseMove, {1, 1});
    EXPECT_EQ(Scroll(window), QPoint(30, 24));
    EXPECT_TRUE(window.CBTrackPlayer->isChecked());
}

TEST(ZoomSlider, FitMapToWindowZoomsTheWholeMapIntoTheViewAtEverySize)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    EXPECT_TRUE(window.View1->actions().contains(window.ViewMenu().FitMapToWindow1));
    EXPECT_EQ(window.ViewMenu().FitMapToWindow1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_0));
    ShowAtZoom(window, 3000);
    for (const QSize size : {QSize(884, 716), QSize(1920, 1050), QSize(1300, 716), QSize(900, 600)}) {
        SCOPED_TRACE(size.width());
        window.resize(size);
        QCoreApplication::processEvents();
        window.ViewMenu().FitMapToWindow1->trigger();
        QCoreApplication::processEvents();
        // No scroll bar is needed, and the map fills the view's shorter side.
        const QSize view = window.ScrollBox1->viewport()->size();
        EXPECT_EQ(window.ScrollBox1->horizontalScrollBar()->maximum(), 0);
        EXPECT_EQ(window.ScrollBox1->verticalScrollBar()->maximum(), 0);
        const int side = window.MapZoomImage->height();
        EXPECT_GE(side, std::min(view.width() + 8, view.height()) - 1);
    }
    // A view narrower than the smallest zoom's map: the smallest zoom.
    window.resize(700, 716);
    QCoreApplication::processEvents();
    window.ViewMenu().FitMapToWindow1->trigger();
    EXPECT_EQ(window.TBMApZoom->value(), 500);
}
