// The frame's switches as one value the window owns: its controls write it, the frame and the
// video export take it; and the designed map view the tool frames a round in is the window's.
#include "../replay/ReplayLog.h"
#include "app/mapview/ExportMenu.h"
#include "app/mapview/ViewMenu.h"
#include "round/RoundVideo.h"
#include "round/RoundView.h"

#include <QAction>
#include <QCheckBox>
#include <QScrollArea>
#include <QSlider>
#include <QStyle>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace replaylog;

TEST(ViewOptions, TheControlsWriteTheValueTheFramesAndTheVideoTake)
{
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}) +
                        Ev("spawnEvent", "10", 5, "130/0/100", {{"team", "2"}}) +
                        Ev("pickupKit", "15", 3, "110/0/100") + Ev("pickupKit", "30", 5, "140/0/100"))));
    TTarvelMain& w = r.window;
    const TViewOptions designed;
    EXPECT_EQ(w.View().showObjects, designed.showObjects);
    EXPECT_EQ(w.View().killInfo, designed.killInfo);
    EXPECT_EQ(w.View().timeToSeeLine, w.TBTimeToSeeLine->value());
    EXPECT_TRUE(w.View().gridBackground);
    EXPECT_EQ(w.View().Tracked(), "");

    w.CBShowobjects->setChecked(false);
    w.ShowFlags->setChecked(false);
    w.ShowHitLines->setChecked(false);
    w.CBKillINfo->setChecked(true);
    w.TBTimeToSeeLine->setValue(20);
    w.ViewMenu().Trails1->setChecked(true);
    w.ViewMenu().DeathMap1->setChecked(true);
    w.MapTools().GridBackground1->setChecked(false);
    const TViewOptions& v = w.View();
    EXPECT_FALSE(v.showObjects);
    EXPECT_FALSE(v.showFlags);
    EXPECT_FALSE(v.showHitLines);
    EXPECT_TRUE(v.killInfo);
    EXPECT_EQ(v.timeToSeeLine, 20);
    EXPECT_EQ(v.TrailsShown(), w.ViewMenu().TrailSeconds());
    EXPECT_TRUE(v.deathMap);
    EXPECT_FALSE(v.killFeed);
    EXPECT_FALSE(v.gridBackground);

    // A row picked on the scoreboard is tracked; the pick or the box undone, nobody is.
    r.Select(0);
    r.Ticks(60);
    ASSERT_GT(w.ScoreBord->topLevelItemCount(), 1);
    const TInfoClass* picked = w.ScoreBordRows().StateOfRow(w.ScoreBord->topLevelItem(1));
    ASSERT_NE(picked, nullptr);
    w.ScoreBord->setCurrentItem(w.ScoreBord->topLevelItem(1)); // checks "Track" as a click does
    EXPECT_TRUE(w.CBTrackPlayer->isChecked());
    EXPECT_EQ(v.Tracked(), PlayerKey(picked->PlayerID));
    w.CBTrackPlayer->setChecked(false);
    EXPECT_EQ(v.Tracked(), "");
    w.CBTrackPlayer->setChecked(true);
    w.ScoreBord->clearSelection();
    EXPECT_EQ(v.Tracked(), "");

    // The export's source takes the value, whatever the boxes are made to say behind its back.
    const TVideoSource source = w.ExportMenu().VideoSource();
    EXPECT_FALSE(source.view.showObjects);
    EXPECT_TRUE(source.view.killInfo);
    EXPECT_EQ(source.view.timeToSeeLine, 20);
    EXPECT_EQ(source.view.TrailsShown(), w.ViewMenu().TrailSeconds());
    EXPECT_TRUE(source.view.deathMap);
}

TEST(ViewOptions, TheDesignedMapViewIsTheWindows)
{
    THome home;
    TTarvelMain w(home.Exe());
    w.SetStopReplayWait(0);
    EXPECT_EQ(w.ScrollBox1->maximumViewportSize(), QSize(DesignedViewWidth, DesignedViewHeight));
    EXPECT_EQ(w.ScrollBox1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, w.ScrollBox1), ScrollBarBreadth);
    EXPECT_EQ(w.MapZoomImage->pos(), QPoint(MapCornerX, MapCornerY));
    EXPECT_EQ(w.TBMApZoom->minimum(), MinMapZoom);
    EXPECT_EQ(w.TBMApZoom->maximum(), MaxMapZoom);
}
