// What the window shows of the events applied: the scoreboard's rows and the score log. What
// the events do to the replay is tested on the session (tests/replay/SessionEventsTest.cpp).
#include "../WindowTestUtil.h"
#include "ReplayLog.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace replaylog;

namespace {

QStringList MemoLines(const TTarvelMain& window)
{
    return window.Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The scoreboard as shown, a row a line: the eight cells joined by "|".
std::vector<std::string> Rows(const TTarvelMain& window)
{
    std::vector<std::string> rows;
    for (int i = 0; i < window.ScoreBord->topLevelItemCount(); ++i) {
        std::string row;
        for (int column = 0; column < 8; ++column)
            row += (column ? "|" : "") + window.ScoreBordRows().CellText(window.ScoreBord->topLevelItem(i), column);
        rows.push_back(row);
    }
    return rows;
}

} // namespace

TEST(ReplayScoreBord, RowsSortedBySideWithDeathsCountsAndRemoval)
{
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}) +
                        Ev("spawnEvent", "10", 5, "200/0/200", {{"team", "2"}}) +
                        Score("11", 7, "300/0/300", "Kill", {{"victim_id", "5"}}) + Score("11", 5, "200/0/200", "Death") +
                        Ev("spawnEvent", "12", 7, "300/0/300", {{"team", "1"}}) + Ev("destroyPlayer", "13", 3, "") +
                        Ev("pickupKit", "14", 5, "200/0/200") + Ev("pickupKit", "20", 5, "1/1/1") +
                        Ev("pickupKit", "21", 5, "1/1/1"))));
    r.Select(0);
    TTarvelMain& w = r.window;
    EXPECT_EQ(w.ScoreBord->topLevelItemCount(), 0); // rows come with the first tick
    r.Ticks(1);
    // Carl exists through Bert's look-ahead only: team 0 shows as ALIES.
    EXPECT_EQ(Rows(w), (std::vector<std::string>{"ALIES|Bert|||0|0|0|0", "ALIES|Carl|||0|0|0|0",
                                                "AXIS|Anna|||0|0|0|0"}));
    EXPECT_FALSE(w.CBTrackPlayer->isChecked());

    r.TickTo(3);
    EXPECT_EQ(w.ScoreBordRows().CellText(w.ScoreBordRows().RowOf(&r.State(5)), 2), "X");
    EXPECT_EQ(w.ScoreBordRows().CellText(w.ScoreBordRows().RowOf(&r.State(5)), 5), "1");
    EXPECT_EQ(w.ScoreBordRows().CellText(w.ScoreBordRows().RowOf(&r.State(7)), 4), "1");
    r.TickTo(4);
    ASSERT_EQ(w.ScoreBord->topLevelItemCount(), 3);
    EXPECT_EQ(w.ScoreBordRows().CellText(w.ScoreBord->topLevelItem(0), 1), "Bert");
    EXPECT_EQ(w.ScoreBordRows().CellText(w.ScoreBordRows().RowOf(&r.State(7)), 0), "AXIS");

    const TInfoClass* anna = &r.State(3);
    r.TickTo(5);
    EXPECT_EQ(r.Find(3), nullptr);
    EXPECT_EQ(w.ScoreBordRows().RowOf(anna), nullptr);
    EXPECT_EQ(w.ScoreBord->topLevelItemCount(), 2);
    r.TickTo(6);
    EXPECT_EQ(Rows(w), (std::vector<std::string>{"ALIES|Bert|||0|1|0|0", "AXIS|Carl|||1|0|0|0"}));
    EXPECT_EQ(MemoLines(w), (QStringList{QStringLiteral("Carl : Killed Bert who was in  with "),
                                         QStringLiteral("Bert : Dead")}));

    EXPECT_FALSE(w.CBTrackPlayer->isChecked());
    w.ScoreBord->setCurrentItem(w.ScoreBord->topLevelItem(1));
    EXPECT_TRUE(w.CBTrackPlayer->isChecked());
}
