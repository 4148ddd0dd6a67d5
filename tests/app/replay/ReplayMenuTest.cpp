// The "Replay" menu's keys in the real window, the speed steps and their text.
#include "../WindowTestUtil.h"
#include "ReplayLog.h"
#include "app/mapview/ViewMenu.h"
#include "app/replay/ReplayMenu.h"
#include "app/replay/RoundStatsForm.h"

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace replaylog;

namespace {

std::string TwoRounds()
{
    std::string first = Ev("spawnEvent", "10", 3, "100/0/200", {{"team", "2"}}) +
                        Ev("spawnEvent", "10", 5, "300/0/400", {{"team", "1"}});
    for (int t = 20; t <= 300; t += 20)
        first += Score(std::to_string(t), t % 40 ? 3 : 5, "100/0/200", "Kill", {{"victim_id", t % 40 ? "5" : "3"}});
    first += Score("310", 3, "100/0/200", "TK") + Score("311", 3, "100/0/200", "TK");
    const std::string second = Ev("spawnEvent", "500", 7, "10/0/20", {{"team", "1"}}) +
                               Score("510", 7, "10/0/20", "TK") + Score("520", 7, "10/0/20", "TK");
    return Log(Round(first) + Round(second, "other"));
}

// The window shown and active, round 0 replaying.
class TKeys : public TReplay {
public:
    TKeys() : TReplay(TwoRounds())
    {
        window.SetDrawThreadEnabled(false);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        Select(0);
    }
    // The key typed into the widget that has the focus.
    void Type(QWidget& focus, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        focus.setFocus();
        QTest::keyClick(&focus, static_cast<Qt::Key>(key), modifiers);
    }
};

} // namespace

TEST(ReplayMenu, EveryActionWithItsKey)
{
    TReplay r(TwoRounds());
    QStringList items;
    for (const QAction* action : r.window.Replay1->actions())
        if (!action->shortcut().isEmpty())
            items << action->text() + " = " + action->shortcut().toString();
    EXPECT_EQ(items, QStringList({"Stop / Continue = Space", "Back 10 s = Left", "Forward 10 s = Right",
                                  "Back 60 s = Shift+Left", "Forward 60 s = Shift+Right", "Previous kill = ,",
                                  "Next kill = .", "Restart round = Home", "Faster = Up", "Slower = Down",
                                  "Previous round = PgUp", "Next round = PgDown", "Follow selected player = F",
                                  "Zoom in = +", "Zoom out = -", "Keyboard shortcuts = F1"}));
    // The menu stands between "File" and "Help".
    QStringList menus;
    for (const QAction* menu : r.window.MainMenu1->actions())
        menus << menu->text();
    EXPECT_LT(menus.indexOf("File"), menus.indexOf("Replay"));
    EXPECT_LT(menus.indexOf("Replay"), menus.indexOf("Help"));
}

TEST(ReplayMenu, KeysReachTheirActionsWhereverTheFocusIs)
{
    TKeys k;
    TTarvelMain& w = k.window;
    QWidget* const places[] = {w.ListBox1, w.ScoreBord, w.Button1, w.Memo1, w.CBAnimate};
    for (QWidget* focus : places) {
        SCOPED_TRACE(focus->objectName().toStdString());
        k.Select(0);
        k.Type(*focus, Qt::Key_Space);
        EXPECT_TRUE(w.StopRequested());
        k.Ticks(1);
        k.Type(*focus, Qt::Key_Space);
        EXPECT_FALSE(w.StopRequested());
        EXPECT_TRUE(w.Timer1->isActive());

        k.Type(*focus, Qt::Key_Right);
        EXPECT_NEAR(w.ReplayTime(), 20, 0.11);
        k.Type(*focus, Qt::Key_Right, Qt::ShiftModifier);
        EXPECT_NEAR(w.ReplayTime(), 80, 0.21);
        k.Type(*focus, Qt::Key_Left);
        EXPECT_NEAR(w.ReplayTime(), 70, 0.31);
        k.Type(*focus, Qt::Key_Left, Qt::ShiftModifier);
        EXPECT_NEAR(w.ReplayTime(), 10, 0.41);
        k.Type(*focus, Qt::Key_Period); // the kill at 20 s, from 3 s before
        EXPECT_NEAR(w.ReplayTime(), 17, 0.11);
        k.Type(*focus, Qt::Key_Period);
        EXPECT_NEAR(w.ReplayTime(), 37, 0.11);
        k.Type(*focus, Qt::Key_Comma);
        EXPECT_NEAR(w.ReplayTime(), 17, 0.11);
        k.Type(*focus, Qt::Key_Home);
        EXPECT_EQ(w.ReplayTicks(), 0);
        EXPECT_EQ(w.ReplayTime(), 10);

        w.TrackBar1->setValue(100);
        k.Type(*focus, Qt::Key_Up);
        EXPECT_EQ(w.TrackBar1->value(), 50);
        k.Type(*focus, Qt::Key_Down);
        k.Type(*focus, Qt::Key_Down);
        EXPECT_EQ(w.TrackBar1->value(), 200);
        EXPECT_EQ(w.Timer1->interval(), 200);

        const int zoom = w.TBMApZoom->value();
        k.Type(*focus, Qt::Key_Plus);
        EXPECT_EQ(w.TBMApZoom->value(), zoom + 60);
        k.Type(*focus, Qt::Key_Minus);
        EXPECT_EQ(w.TBMApZoom->value(), zoom);

        w.CBTrackPlayer->setChecked(false);
        w.ScoreBord->clearSelection();
        k.Type(*focus, Qt::Key_F); // nobody selected: nothing to follow
        EXPECT_FALSE(w.CBTrackPlayer->isChecked());
        k.Ticks(1);
        w.ScoreBord->topLevelItem(0)->setSelected(true);
        w.CBTrackPlayer->setChecked(false);
        k.Type(*focus, Qt::Key_F);
        EXPECT_TRUE(w.CBTrackPlayer->isChecked());

        k.Type(*focus, Qt::Key_PageDown); // the next round, replayed as a double click does
        EXPECT_EQ(w.ListBox1->currentRow(), 1);
        EXPECT_EQ(w.MapName(), "other");
        EXPECT_EQ(w.ReplayTime(), 500);
        k.Type(*focus, Qt::Key_PageDown); // none after the last
        EXPECT_EQ(w.ListBox1->currentRow(), 1);
        k.Type(*focus, Qt::Key_PageUp);
        EXPECT_EQ(w.ListBox1->currentRow(), 0);
        EXPECT_EQ(w.MapName(), "bay");
    }
}

TEST(ReplayMenu, ArrowKeysStayWithAFocusedTrackBar)
{
    TKeys k;
    TTarvelMain& w = k.window;
    w.TrackBar1->setValue(100);
    k.Type(*w.TrackBar1, Qt::Key_Down);
    EXPECT_EQ(std::abs(w.TrackBar1->value() - 100), 1); // a step of the bar, not of the speeds
    EXPECT_EQ(w.ReplayMenu().LSpeed->Caption(), TReplayMenu::SpeedCaption(w.TrackBar1->value()));
    k.Type(*w.TrackBar1, Qt::Key_Space); // any other key is the menu's
    EXPECT_TRUE(w.StopRequested());
    k.Type(*w.TrackBar1, Qt::Key_Space);

    // The time line moves by its own step, and the replay goes with it, to where the bar shows.
    k.Ticks(50);
    const int at = w.TBTime->value();
    k.Type(*w.TBTime, Qt::Key_Right);
    EXPECT_EQ(w.TBTime->value(), at + 1);
    k.Type(*w.TBTime, Qt::Key_Left);
    k.Type(*w.TBTime, Qt::Key_Left);
    EXPECT_EQ(w.TBTime->value(), at - 1);
    EXPECT_EQ(w.ReplayTicks(), at - 1 - w.TBTime->minimum());
    EXPECT_NEAR(w.ReplayTime(), (at - 1) / 10.0, 0.051);

    // Shift with an arrow is a track bar's arrow as well.
    w.TBMApZoom->setValue(1000);
    const int zoom = w.TBMApZoom->value();
    const double time = w.ReplayTime();
    k.Type(*w.TBMApZoom, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(std::abs(w.TBMApZoom->value() - zoom), 1);
    EXPECT_EQ(w.ReplayTime(), time);
}

TEST(ReplayMenu, F1ListsTheKeys)
{
    TKeys k;
    QStringList rows;
    const bool shown = WithModal([&] { k.Type(*k.window.ListBox1, Qt::Key_F1); }, [&](QWidget& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Keyboard shortcuts");
        auto* list = dialog.findChild<QTreeWidget*>("ShortcutList");
        for (int i = 0; list && i < list->topLevelItemCount(); ++i)
            rows << list->topLevelItem(i)->text(0) + " " + list->topLevelItem(i)->text(1);
        dialog.close();
    });
    EXPECT_TRUE(shown);
    ASSERT_EQ(rows.size(), 17); // the items that have keys, the View menu's after the Replay menu's
    EXPECT_EQ(rows[0], "Space Stop / Continue");
    EXPECT_EQ(rows[16], "Ctrl+0 Fit map to window");
    EXPECT_TRUE(rows.contains("Shift+Right Forward 60 s"));
    EXPECT_TRUE(rows.contains(", Previous kill"));
}

TEST(Speed, StepsThroughTheIntervalsAndShowsTheirSpeed)
{
    TReplay r(TwoRounds());
    TTarvelMain& w = r.window;
    const char* captions[] = {"x0.1", "x0.2", "x0.5", "x1", "x2", "x5", "x10", "x20", "x50", "x100"};
    ASSERT_EQ(TReplayMenu::SpeedSteps().size(), 10u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(TReplayMenu::SpeedCaption(TReplayMenu::SpeedSteps()[i]), captions[i]);
    EXPECT_EQ(TReplayMenu::SpeedCaption(3), "x33");
    EXPECT_EQ(TReplayMenu::SpeedCaption(37), "x2.7");
    EXPECT_EQ(TReplayMenu::SpeedCaption(700), "x0.14");

    EXPECT_EQ(w.ReplayMenu().LSpeed->Caption(), "x100"); // the designed position 1
    w.ReplayMenu().FasterClick(); // already the fastest
    EXPECT_EQ(w.TrackBar1->value(), 1);
    std::vector<int> slower;
    for (int i = 0; i < 12; ++i) {
        w.ReplayMenu().SlowerClick();
        slower.push_back(w.TrackBar1->value());
    }
    EXPECT_EQ(slower, (std::vector<int>{2, 5, 10, 20, 50, 100, 200, 500, 1000, 1000, 1000, 1000}));
    EXPECT_EQ(w.ReplayMenu().LSpeed->Caption(), "x0.1");
    EXPECT_EQ(w.Timer1->interval(), 1000);
    w.ReplayMenu().FasterClick();
    EXPECT_EQ(w.ReplayMenu().LSpeed->Caption(), "x0.2");
    EXPECT_EQ(w.Timer1->interval(), 500);

    // From a place between the steps, to the neighbouring steps; the text follows a user's move.
    w.TrackBar1->setValue(37);
    EXPECT_EQ(w.ReplayMenu().LSpeed->Caption(), "x2.7");
    w.ReplayMenu().FasterClick();
    EXPECT_EQ(w.TrackBar1->value(), 20);
    w.TrackBar1->setValue(37);
    w.ReplayMenu().SlowerClick();
    EXPECT_EQ(w.TrackBar1->value(), 50);

    // Beside the bar, on nothing else.
    for (QWidget* other : w.TabSheet5->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (other != w.ReplayMenu().LSpeed)
            EXPECT_FALSE(other->geometry().intersects(w.ReplayMenu().LSpeed->geometry())) << other->objectName().toStdString();
}

TEST(ReplayOptions, StartAsTheControlsAreDesignedAndFollowTheUsersChanges)
{
    TReplay r(TwoRounds());
    TTarvelMain& w = r.window;
    const TReplayOptions& options = w.ReplayOptions();
    EXPECT_EQ(options.animate, w.CBAnimate->isChecked());
    EXPECT_EQ(options.loop, w.ReplayFromstart20Events->isChecked());
    EXPECT_EQ(options.interval, w.TrackBar1->value());

    w.CBAnimate->setChecked(false);
    w.ReplayFromstart20Events->setChecked(true);
    w.TrackBar1->setValue(37);
    EXPECT_FALSE(options.animate);
    EXPECT_TRUE(options.loop);
    EXPECT_EQ(options.interval, 37);
    // The speed keys step from the interval the user set.
    w.ReplayMenu().FasterClick();
    EXPECT_EQ(options.interval, 20);
    EXPECT_EQ(w.Timer1->interval(), 20);
}

TEST(ReplayMenu, RoundStatisticsLastAndShownAgainWhenTheRoundStartsAnew)
{
    TReplay r(TwoRounds());
    TTarvelMain& w = r.window;
    w.SetDrawThreadEnabled(false);
    // The statistics' item comes after the playback items, behind a separator.
    const QList<QAction*> items = w.Replay1->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_TRUE(items[items.size() - 2]->isSeparator());
    EXPECT_EQ(items.back(), w.RoundStatsForm().RoundStatistics1);
    EXPECT_EQ(items.back()->text(), "Round statistics");

    w.ViewMenu().RoundStatsAtEnd1->setChecked(true);
    r.Select(0);
    r.RunToEnd();
    QWidget* form = w.RoundStatsForm().Window();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    // Back at the round's start, its end shows them again.
    form->close();
    w.SeekTo(w.RoundStartTime());
    w.Button1Click();
    r.RunToEnd();
    EXPECT_TRUE(form->isVisible());
    // So does the end of a round selected anew.
    form->close();
    r.Select(1);
    r.RunToEnd();
    EXPECT_TRUE(form->isVisible());
}
