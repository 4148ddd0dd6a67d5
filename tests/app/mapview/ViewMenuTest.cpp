// The "View" menu's overlays in the real window: their settings, what a replay records for them
// and how seeks change it, the frame following the view; the round statistics window; and the
// render and stats commands.
#include "../ToolRun.h"
#include "../replay/ReplayLog.h"
#include "app/replay/RoundStatsForm.h"
#include "app/mapview/ViewMenu.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <sstream>

using namespace replaylog;

namespace {

QStringList Checked(const TTarvelMain& w)
{
    QStringList on;
    for (QAction* item : {w.ViewMenu().Trails1, w.ViewMenu().DeathMap1, w.ViewMenu().KillFeed1, w.ViewMenu().RoundStatsAtEnd1})
        if (item->isChecked())
            on << item->text();
    for (QAction* item : w.ViewMenu().TrailLength1->actions())
        if (item->isChecked())
            on << item->text();
    return on;
}

} // namespace

TEST(ViewMenu, AllOffInANewSettingsFileAndEachItemRemembered)
{
    THome home;
    {
        TTarvelMain w(home.Exe());
        w.SetStopReplayWait(0);
        QStringList items;
        for (QAction* item : w.View1->actions())
            items << item->text();
        // Other items may follow.
        EXPECT_EQ(items.mid(0, 6), QStringList({"Trails", "Trail length", "Death map", "Kill feed", "",
                                                "Round statistics at the end of a round"}));
        EXPECT_EQ(Checked(w), QStringList({"10 s"}));
        EXPECT_FALSE(w.FrameOverlays().Any());
        EXPECT_EQ(TTarvelMainTest::Settings(w).Count(), 0); // nothing written by merely starting

        w.SetWritesSettings(true);
        w.ViewMenu().Trails1->setChecked(true);
        w.ViewMenu().KillFeed1->setChecked(true);
        w.ViewMenu().RoundStatsAtEnd1->setChecked(true);
        w.ViewMenu().TrailLength1->actions()[2]->trigger(); // 30 s
        EXPECT_EQ(w.ViewMenu().TrailSeconds(), 30);
        const TFrameOverlays on = w.FrameOverlays();
        EXPECT_EQ(on.trailSeconds, 30);
        EXPECT_FALSE(on.deathMap);
        EXPECT_TRUE(on.killFeed);
    } // writes Tarvel.ini
    const std::string ini = ReadFileBytes(home.Ini());
    for (const char* line : {"ViewTrails=true", "ViewTrailSeconds=30", "ViewKillFeed=true", "ViewRoundStatistics=true"})
        EXPECT_NE(ini.find(line), std::string::npos) << line << " in " << ini;
    EXPECT_EQ(ini.find("ViewDeathMap"), std::string::npos);
    {
        TTarvelMain w(home.Exe());
        w.SetStopReplayWait(0);
        EXPECT_EQ(Checked(w), QStringList({"Trails", "Kill feed", "Round statistics at the end of a round", "30 s"}));
        EXPECT_EQ(w.FrameOverlays().trailSeconds, 30);
        w.SetWritesSettings(true);
        w.ViewMenu().Trails1->setChecked(false);
        w.ViewMenu().DeathMap1->setChecked(true);
    }
    {
        TTarvelMain w(home.Exe());
        w.SetStopReplayWait(0);
        EXPECT_EQ(Checked(w), QStringList({"Death map", "Kill feed", "Round statistics at the end of a round", "30 s"}));
        EXPECT_EQ(w.FrameOverlays().trailSeconds, 0);
    }
    // A length that is none of the items, or no number, reads as the usual one.
    home.Dir.Write("Tarvel.ini", "ViewTrailSeconds=7\r\nViewTrails=TRUE\r\n");
    TTarvelMain w(home.Exe());
    w.SetStopReplayWait(0);
    EXPECT_EQ(Checked(w), QStringList({"10 s"}));
}

namespace {

// Anna (3) walks and is killed by Bert (5) at 20 s; she comes back far away at 40 s.
std::string FightLog()
{
    std::string events = Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}) +
                         Ev("spawnEvent", "10", 5, "130/0/100", {{"team", "2"}, {"kit", "Ghost"}}) +
                         Ev("pickupKit", "15", 3, "110/0/100") +
                         Score("20", 5, "130/0/100", "Kill", {{"victim_id", "3"}, {"weapon", "M1"}}) +
                         Score("20", 3, "115/0/100", "Death") + Ev("spawnEvent", "40", 3, "900/0/900", {{"team", "1"}}) +
                         Ev("pickupKit", "50", 3, "905/0/900") + Score("55", 5, "130/0/100", "TK", {{"victim_id", "7"}});
    for (int t = 60; t <= 80; t += 10)
        events += Ev("pickupKit", std::to_string(t), 5, "130/0/100");
    return Log(Round(events));
}

std::vector<double> TrailTimes(const TTarvelMain& w, int player)
{
    std::vector<double> times;
    if (const auto* trail = w.OverlayHistory().Trail(player))
        for (const TTrailPoint& p : *trail)
            times.push_back(p.time);
    return times;
}

} // namespace

TEST(ViewOverlays, TheReplayRecordsPathsDeathsAndKillsAndSeeksFollow)
{
    TReplay r(FightLog(), BayAtStart);
    TTarvelMain& w = r.window;
    w.SetDrawThreadEnabled(false);
    r.Select(0);
    const TOverlayHistory& h = w.OverlayHistory();
    while (w.ReplayTime() < 19.95)
        w.Timer1Timer();
    // Her events' places: the frame draws on from the last to where her marker stands.
    EXPECT_EQ(TrailTimes(w, 3), (std::vector<double>{10, 15}));
    EXPECT_EQ(h.Trail(3)->back().x, 110);
    EXPECT_EQ(h.Trail(3)->back().z, 100);
    EXPECT_EQ(w.FrameOverlays().placing.Place(110, 100), QPoint(MapX(110), MapY(100)));
    EXPECT_TRUE(h.Deaths().empty());

    w.Timer1Timer(); // the kill and the death
    ASSERT_EQ(h.Deaths().size(), 1u);
    const TDeathMark& death = h.Deaths().begin()->second;
    EXPECT_EQ(death.team, 1);
    EXPECT_EQ(death.x, 115);
    EXPECT_EQ(death.z, 100);
    EXPECT_EQ(h.Trail(3), nullptr); // cut at the death
    ASSERT_EQ(h.Kills().size(), 1u);
    const TKillNote& kill = h.Kills().begin()->second;
    EXPECT_EQ(KillFeedText(kill), "Bert [M1] Anna");
    EXPECT_EQ(kill.killerTeam, 2);
    EXPECT_EQ(kill.victimTeam, 1);
    EXPECT_FALSE(kill.teamKill);

    while (w.ReplayTime() < 56)
        w.Timer1Timer();
    // After the respawn her path starts there, not at the place she died.
    const std::vector<double> again = TrailTimes(w, 3);
    ASSERT_FALSE(again.empty());
    EXPECT_GE(again.front(), 40);
    EXPECT_EQ(h.Kills().rbegin()->second.teamKill, true);
    EXPECT_EQ(h.Kills().rbegin()->second.victim, "Carl"); // from the roster: he has no state

    // Back before the death: the history is what the ticks up to there left.
    w.SeekTo(18);
    EXPECT_TRUE(h.Deaths().empty());
    EXPECT_TRUE(h.Kills().empty());
    EXPECT_EQ(TrailTimes(w, 3), (std::vector<double>{10, 15}));
    w.SeekTo(30);
    EXPECT_EQ(h.Deaths().size(), 1u);
    // A new round starts with nothing.
    r.Select(0);
    EXPECT_TRUE(h.Deaths().empty());
    EXPECT_EQ(h.TrailCount(), 1u); // the first event's player, placed
}

namespace {

// The centre of what the death map adds to the frame, in pixels of the unzoomed map.
QPointF DeathMapCentre(TTarvelMain& w)
{
    auto frame = [&w](bool deathMap) {
        w.ViewMenu().DeathMap1->setChecked(deathMap);
        w.SetLayoutChanged();
        w.DrawMap();
        return w.MapZoomImage->Bitmap().copy();
    };
    const QImage without = frame(false), with = frame(true);
    double x = 0, y = 0;
    int n = 0;
    for (int row = 0; row < with.height(); ++row)
        for (int column = 0; column < with.width(); ++column)
            if (with.pixel(column, row) != without.pixel(column, row)) {
                x += column;
                y += row;
                ++n;
            }
    const double zoom = w.TBMApZoom->value() / 1000.0;
    return n == 0 ? QPointF(-1, -1) : QPointF(x / n / zoom, y / n / zoom);
}

} // namespace

TEST(ViewOverlays, DeathsAndTrailsFollowACalibrationChangedMidRound)
{
    // A scale that puts the fight on the 105-pixel map without a picture.
    TReplay r(FightLog(), "bay_SCALE=500\r\nbay_CORRECTIONY=500\r\nbay_TOPMARGIN=0\r\nbay_LEFTMARGIN=0\r\n");
    TTarvelMain& w = r.window;
    // Markers that draw nothing (white is their transparent colour), so that only the death map
    // differs between the frames; of the size of none, so that the labels stay clear of it.
    QImage blank(105, 105, QImage::Format_RGB888);
    blank.fill(Qt::white);
    for (const char* name : {"death", "Ghost"})
        ASSERT_TRUE(blank.save(QString::fromStdString(r.home.Dir.Path(std::string("images/") + name + ".bmp")), "BMP"));
    w.SetDrawThreadEnabled(false);
    r.Select(0);
    while (w.ReplayTime() < 20.05)
        w.Timer1Timer(); // Anna died at 115/0/100, Bert stands at 130/0/100
    ASSERT_EQ(w.OverlayHistory().Deaths().size(), 1u);
    const QPointF before = DeathMapCentre(w);
    EXPECT_NEAR(before.x(), 0.5 * 115, 1.5);
    EXPECT_NEAR(before.y(), 105 - 0.5 * 100, 1.5);

    // Recalibrated mid-round: the death follows, and Bert's trail still ends at his marker.
    w.SetTrackBarPosition(w.TBLeft, 10);
    w.SetTrackBarPosition(w.TBXas, 600);
    w.SetTrackBarPosition(w.TBYas, 600);
    const QPointF after = DeathMapCentre(w);
    EXPECT_NEAR(after.x(), 0.6 * 115 + 10, 1.5);
    EXPECT_NEAR(after.y(), 105 - 0.6 * 100, 1.5);
    const TInfoClass& bert = *w.ReplaySession().FindPlayerState(5);
    const TTrailPoint& last = w.OverlayHistory().Trail(5)->back();
    EXPECT_EQ(w.FrameOverlays().placing.Place(last.x, last.z),
              QPoint(bert.Image.Left + bert.Image.Width / 2, bert.Image.Top + bert.Image.Height / 2));
}

TEST(ViewOverlays, WhileOneShowsTheFrameFollowsScrollsAndZoom)
{
    TReplay r(FightLog());
    TTarvelMain& w = r.window;
    w.SetDrawThreadEnabled(false);
    r.Select(0);
    r.Ticks(3);
    w.Timer1->stop();
    w.SetTrackBarPosition(w.TBMApZoom, 3000);
    w.show();
    QCoreApplication::processEvents();
    w.DrawMap();
    auto scrolled = [&] {
        w.DrawMap();
        w.ScrollBox1->horizontalScrollBar()->setValue(w.ScrollBox1->horizontalScrollBar()->value() + 40);
        return w.LayoutChanged();
    };
    EXPECT_FALSE(scrolled()); // as ever: a scroll draws nothing
    w.ViewMenu().KillFeed1->setChecked(true);
    EXPECT_TRUE(scrolled());
    w.DrawMap();
    w.SetTrackBarPosition(w.TBMApZoom, 2000);
    EXPECT_TRUE(w.LayoutChanged());
}

namespace {

// Round 0 with the server's table of Anna, Bert and a player the replay never saw.
std::string StatsLog()
{
    std::string log = FightLog();
    auto param = [](const char* name, const std::string& value) {
        return "<bf:statparam name=\"" + std::string(name) + "\">" + value + "</bf:statparam>";
    };
    const std::string table =
        "<bf:winningteam>2</bf:winningteam><bf:victorytype>3</bf:victorytype>"
        "<bf:playerstat playerid=\"3\">" + param("player_name", "Ann<bf:nonprint>228</bf:nonprint>") +
        param("team", "1") + param("kills", "0") + param("deaths", "2") + param("tks", "0") + "</bf:playerstat>"
        "<bf:playerstat playerid=\"5\">" + param("player_name", "Bert") + param("team", "2") + param("kills", "11") +
        param("deaths", "0") + param("tks", "1") + "</bf:playerstat>"
        "<bf:playerstat playerid=\"44\">" + param("player_name", "Zed") + param("team", "2") + param("kills", "2") +
        param("deaths", "9") + param("tks", "0") + "</bf:playerstat>";
    log.insert(log.find("<bf:roundstats>") + std::string("<bf:roundstats>").size(), table);
    // A second round element, not listed: it has no statistics.
    log.insert(log.rfind("</bf:log>"), "<bf:round><bf:event name=\"roundInit\" timestamp=\"0\"/></bf:round>");
    return log;
}

QStringList Column(const QTableWidget& table, int column)
{
    QStringList cells;
    for (int row = 0; row < table.rowCount(); ++row)
        cells << table.item(row, column)->text();
    return cells;
}

} // namespace

TEST(RoundStatsWindow, TheServersTableBesideTheReplaysCountsSortable)
{
    TReplay r(StatsLog());
    TTarvelMain& w = r.window;
    w.SetDrawThreadEnabled(false);
    r.Select(0);
    EXPECT_EQ(w.RoundStatsForm().Window(), nullptr);
    w.RoundStatsForm().RoundStatistics1->trigger();
    QWidget* form = w.RoundStatsForm().Window();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    auto* table = form->findChild<QTableWidget*>("StatsTable");
    auto* summary = form->findChild<QLabel*>("StatsSummary");
    ASSERT_TRUE(table && summary);
    EXPECT_EQ(summary->text(), "Winner: Alies (team 2)    Victory type: 3    Axis tickets: 1    Alies tickets: 2");
    QStringList headers;
    for (int c = 0; c < table->columnCount(); ++c)
        headers << table->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, QStringList({"playerid", "player_name", "team", "kills", "deaths", "tks", "replay kills",
                                    "replay deaths", "replay tks"}));
    EXPECT_EQ(Column(*table, 1), QStringList({QString::fromLatin1("Ann\xE4"), "Bert", "Zed"}));
    EXPECT_EQ(Column(*table, 6), QStringList({"0", "1", ""})); // Zed never appeared
    EXPECT_EQ(Column(*table, 7), QStringList({"1", "0", ""}));
    // A count the server tells otherwise is marked.
    EXPECT_FALSE(table->item(0, 7)->toolTip().isEmpty());
    EXPECT_TRUE(table->item(0, 6)->toolTip().isEmpty());

    // Kills sort as numbers: 11 after 2.
    table->sortItems(3, Qt::AscendingOrder);
    EXPECT_EQ(Column(*table, 1), QStringList({QString::fromLatin1("Ann\xE4"), "Zed", "Bert"}));
    table->sortItems(1, Qt::DescendingOrder);
    EXPECT_EQ(Column(*table, 1), QStringList({"Zed", "Bert", QString::fromLatin1("Ann\xE4")}));

    // A round without the server's table says so.
    TwexXMLNode* log = TTarvelMainTest::Document(w).FirstChild()->FirstChild();
    TTarvelMainTest::RoundNode(w) = log->ChildByIndex(log->ChildCount() - 1);
    w.RoundStatsForm().RoundStatistics1->trigger();
    EXPECT_EQ(summary->text(), "The server wrote no statistics for this round.");
    EXPECT_TRUE(table->isHidden());
}

TEST(RoundStatsWindow, ShownWhenTheRoundEndsOnlyWhenTicked)
{
    for (const bool ticked : {false, true}) {
        TReplay r(StatsLog());
        TTarvelMain& w = r.window;
        w.SetDrawThreadEnabled(false);
        w.ViewMenu().RoundStatsAtEnd1->setChecked(ticked);
        r.Select(0);
        r.RunToEnd();
        EXPECT_EQ(w.RoundStatsForm().Window() != nullptr, ticked);
        if (!ticked)
            continue;
        EXPECT_TRUE(w.RoundStatsForm().Window()->isVisible());
        // Closed, it stays closed when Continue ends the round once more.
        w.RoundStatsForm().Window()->close();
        w.Button1Click();
        w.Timer1Timer();
        EXPECT_FALSE(w.RoundStatsForm().Window()->isVisible());
    }
}

// ------------------------------------------------------------------------- the tool commands

TEST(StatsCommand, TheRoundThenEachPlayerInTheServersOrder)
{
    TSeparatorScope point{'.'};
    THome home;
    const std::string log = home.Dir.Write("log.xml", StatsLog());
    const TToolRun run = RunOrnwickTool({"stats", log, "0", "--home", home.Dir.Path("")});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[0], "{\"stats\":true,\"timestamp\":\"\",\"winningteam\":2,\"victorytype\":3,"
                        "\"tickets\":{\"1\":1,\"2\":2},\"players\":3}");
    EXPECT_EQ(lines[1], "{\"playerid\":3,\"player_name\":\"Ann\xC3\xA4\",\"team\":1,\"kills\":0,\"deaths\":2,\"tks\":0,"
                        "\"replay\":{\"kills\":0,\"deaths\":1,\"tks\":0}}");
    EXPECT_NE(lines[3].find("\"playerid\":44,"), std::string::npos);
    EXPECT_NE(lines[3].find("\"replay\":null}"), std::string::npos);

    EXPECT_EQ(RunOrnwickTool({"stats", log, "1", "--home", home.Dir.Path("")}).status, 2); // no such item
    EXPECT_EQ(RunOrnwickTool({"stats", log}).status, 2);
    EXPECT_EQ(RunOrnwickTool({"stats", log, "0", "--scale", "5"}).status, 2);
}

TEST(RenderOverlays, DrawnOnlyWhenAskedWhateverTheSettingsSay)
{
    TSeparatorScope point{'.'};
    THome home;
    std::filesystem::create_directory(home.Dir.Path("images"));
    QImage ground(600, 600, QImage::Format_RGB888);
    ground.fill(qRgb(90, 90, 90));
    ground.save(QString::fromStdString(home.Dir.Path("images/bay.bmp")), "BMP");
    // Settings that switch everything on: the command goes by its options alone.
    home.Dir.Write("Tarvel.ini", "ViewTrails=true\r\nViewDeathMap=true\r\nViewKillFeed=true\r\n");
    const std::string log = home.Dir.Write("log.xml", FightLog());
    // At 21 s Anna has died; at 18 s she is walking.
    auto render = [&](std::vector<std::string> options, const std::string& name, const std::string& at = "21") {
        std::vector<std::string> args{"render", log, "0", "--home", home.Dir.Path(""), "--at", at, "--zoom", "1000",
                                      "--out", home.Dir.Path(name)};
        args.insert(args.end(), options.begin(), options.end());
        const TToolRun run = RunOrnwickTool(args);
        EXPECT_EQ(run.status, 0) << run.err;
        return QImage(QString::fromStdString(home.Dir.Path(name)));
    };
    const QImage plain = render({}, "plain.png");
    const QImage walking = render({}, "walking.png", "18");
    const QImage trails = render({"--trails", "10"}, "trails.png", "18");
    const QImage deaths = render({"--deathmap"}, "deaths.png");
    const QImage feed = render({"--killfeed"}, "feed.png");
    EXPECT_NE(walking, trails);
    EXPECT_NE(plain, deaths);
    EXPECT_NE(plain, feed);
    // The death is Axis red where Anna fell: (230, 600 - 200) on a map 600 high.
    const QRgb fell = deaths.pixel(230 - 3, 400 - 3);
    EXPECT_GT(qRed(fell), qBlue(fell) + 40);

    for (const char* bad : {"0", "61", "ten"}) {
        const TToolRun run = RunOrnwickTool({"render", log, "0", "--home", home.Dir.Path(""), "--at", "21", "--out",
                                             home.Dir.Path("bad.png"), "--trails", bad});
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_NE(run.err.find("--trails"), std::string::npos) << run.err;
    }
}
