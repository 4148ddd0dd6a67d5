// The library's questions over rows put in as the indexer stores them: the rounds' filters, the
// players' sums and favourites, a player's page, the heat map's places and its picture.
#include "LibraryRows.h"
#include "TestLibrary.h"
#include "base/Numeric.h"
#include "library/HeatMap.h"
#include "library/LibraryQuery.h"
#include "mapview/Calibration.h"
#include "mapview/PictureHolder.h"
#include "mapview/RoundMap.h"
#include "mapview/ViewOptions.h"
#include "settings/ProgramFolder.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::string Hostile = "'); DROP TABLE rounds; --";
const std::string AnnaHash = "0123456789abcdef0123456789abcdef";
const std::string BertHash = "fedcba9876543210fedcba9876543210";

// Four rounds of three logs. Anna (a key hash) plays as "Anna" and "[CLAN]Anna"; Bert (another
// key hash) also played as "Anna"; \xC7arl and the hostile name have no key hash.
struct TLibraryScene {
    TTempDir dir;
    std::unique_ptr<TLibraryDatabase> library = NewTestLibrary(dir);
    TLibraryRows rows{*library};
    int64_t r1 = 0, r2 = 0, r3 = 0, r4 = 0;
    int64_t anna = 0, bert = 0, carl = 0, hostile = 0;

    TLibraryScene()
    {
        const int64_t a = rows.Log("/logs/ev_14567-20240501_2000.xml", "2024-05-01 20:00");
        const int64_t b = rows.Log("/logs/ev_14567-20240503_1000.zxml", "2024-05-03 10:00");
        const int64_t c = rows.Log("/logs/other.xml", "2024-05-04 23:59", "Other", true);
        r1 = rows.Round(a, 0, "berlin", "2024-05-01 20:00");
        r2 = rows.Round(a, 1, "el_alamein", "2024-05-01 20:45");
        r3 = rows.Round(b, 0, "berlin", "2024-05-03 10:00", "xpack1");
        r4 = rows.Round(c, 0, "berlin", "2024-05-04 23:59");
        anna = rows.Identity(AnnaHash, {"Anna", "[CLAN]Anna"});
        bert = rows.Identity(BertHash, {"Bert", "Anna"});
        carl = rows.Identity("", {"\xC7" "arl"});
        hostile = rows.Identity("", {Hostile});

        // The server's table wins over the replay's counts where it has a row.
        rows.Played(r1, anna, 1, "Anna", 1, 600, {10, 3, 0, 0, 99, 99, 99, 99});
        rows.Played(r1, bert, 2, "Bert", 2, 500, {2, 0, 2, 1, 0, 0, 0, 0});
        rows.Played(r2, bert, 2, "Anna", 1, 800, {{}, {}, {}, {}, 4, 2, 1, 0});
        rows.Played(r2, carl, 3, "\xC7" "arl", 2, 800, {{}, {}, {}, {}, 0, 0, 1, 0});
        rows.Played(r3, anna, 1, "[CLAN]Anna", 1, 700, {{}, {}, {}, {}, 4, 2, 0, 1});
        rows.Played(r3, carl, 3, "\xC7" "arl", 2, 700, {0, 0, 1, 0, 0, 0, 0, 0});
        rows.Played(r3, hostile, 4, Hostile, 1, 700, {0, 0, 1, 0, 0, 0, 0, 0});
        // Anna left round 4 and came back with another id: one round, two rows.
        rows.Played(r4, anna, 7, "[CLAN]Anna", 1, 100, {2, 2, 0, 0, 0, 0, 0, 0});
        rows.Played(r4, anna, 9, "[CLAN]Anna", 1, 200, {3, 3, 0, 0, 0, 0, 0, 0});

        const auto side = [](int64_t identity, const std::string& name, int team, std::optional<TWorldPlace> place) {
            return TLibraryRows::TSide{identity, name, team, place};
        };
        rows.Kill(r1, 110, side(anna, "Anna", 1, TWorldPlace{100, 200}), side(bert, "Bert", 2, TWorldPlace{120, 220}),
                  "Thompson", "Assault");
        rows.Kill(r1, 130, side(anna, "Anna", 1, TWorldPlace{100, 200}), side(bert, "Bert", 2, TWorldPlace{130, 230}),
                  "Colt", "Assault", "Sherman");
        rows.Kill(r1, 150, side(bert, "Bert", 2, TWorldPlace{300, 300}), side(carl, "\xC7" "arl", 2, TWorldPlace{310, 320}),
                  "Grenade");
        rows.Kill(r3, 200, side(anna, "[CLAN]Anna", 1, TWorldPlace{500, 500}),
                  side(carl, "\xC7" "arl", 2, TWorldPlace{510, 520}), "Thompson", "Assault");
        rows.Kill(r3, 210, side(anna, "[CLAN]Anna", 1, TWorldPlace{500, 500}), side(hostile, Hostile, 1, TWorldPlace{700, 700}),
                  "Colt", "Medic");
        // A kill the log gave no places for is in the lists, not on the heat map.
        rows.Kill(r3, 220, side(hostile, Hostile, 1, std::nullopt), side(carl, "\xC7" "arl", 2, std::nullopt), "Colt");
        rows.Kill(r2, 300, side(bert, "Anna", 1, TWorldPlace{900, 900}), side(carl, "\xC7" "arl", 2, TWorldPlace{1000, 1000}),
                  "K98");
    }

    std::vector<int64_t> Rounds(const TRoundFilter& filter)
    {
        std::vector<int64_t> ids;
        for (const TLibraryRound& r : LibraryRounds(*library, filter))
            ids.push_back(r.id);
        return ids;
    }
    std::vector<int64_t> Ids(std::initializer_list<int64_t> ids) { return ids; }
};

TRoundFilter Filter(std::string map, std::string player, std::string mod = "", std::string since = "",
                    std::string until = "")
{
    return {std::move(map), std::move(player), std::move(mod), std::move(since), std::move(until)};
}

} // namespace

TEST(LibraryQuery, FoldedNameLowersLatin1LettersOnly)
{
    EXPECT_EQ(FoldedName("[CLAN]Anna \xC0\xDE\xD7\xDF"), "[clan]anna \xE0\xFE\xD7\xDF");
    EXPECT_EQ(FoldedName(Hostile), "'); drop table rounds; --");
    EXPECT_TRUE(IsLibraryDate("2024-02-29"));
    for (const char* bad : {"2023-02-29", "2024-2-01", "2024/02/01", "20240201", "2024-02-01 ", "", "+024-02-01"})
        EXPECT_FALSE(IsLibraryDate(bad)) << bad;
}

TEST(LibraryQuery, RoundsFilteredAloneAndCombined)
{
    TLibraryScene s;
    EXPECT_EQ(s.Rounds({}), s.Ids({s.r1, s.r2, s.r3, s.r4}));
    EXPECT_EQ(s.Rounds(Filter("berlin", "")), s.Ids({s.r1, s.r3, s.r4}));
    EXPECT_EQ(s.Rounds(Filter("Berlin", "")), s.Ids({}));
    EXPECT_EQ(s.Rounds(Filter("", "", "xpack1")), s.Ids({s.r3}));
    // A name two identities used finds the rounds of both, under any of their names.
    EXPECT_EQ(s.Rounds(Filter("", "anna")), s.Ids({s.r1, s.r2, s.r3, s.r4}));
    EXPECT_EQ(s.Rounds(Filter("", "bert")), s.Ids({s.r1, s.r2}));
    EXPECT_EQ(s.Rounds(Filter("", "[clan]ANNA")), s.Ids({s.r1, s.r3, s.r4}));
    EXPECT_EQ(s.Rounds(Filter("", "\xE7" "ARL")), s.Ids({s.r2, s.r3}));
    EXPECT_EQ(s.Rounds(Filter("", "Ann")), s.Ids({})); // whole names only
    // Both days of the range are included, to the day's last minute.
    EXPECT_EQ(s.Rounds(Filter("", "", "", "2024-05-03")), s.Ids({s.r3, s.r4}));
    EXPECT_EQ(s.Rounds(Filter("", "", "", "", "2024-05-03")), s.Ids({s.r1, s.r2, s.r3}));
    EXPECT_EQ(s.Rounds(Filter("", "", "", "2024-05-04", "2024-05-04")), s.Ids({s.r4}));
    EXPECT_EQ(s.Rounds(Filter("", "", "", "2024-05-02", "2024-05-02")), s.Ids({}));
    EXPECT_EQ(s.Rounds(Filter("", "", "", "2024-05-05", "9999-12-31")), s.Ids({}));
    EXPECT_EQ(s.Rounds(Filter("berlin", "anna", "", "2024-05-01", "2024-05-03")), s.Ids({s.r1, s.r3}));
    EXPECT_EQ(s.Rounds(Filter("berlin", "bert", "xpack1")), s.Ids({}));
    EXPECT_NE(MessageOf([&] { s.Rounds(Filter("", "", "", "2024-02-30")); }).find("YYYY-MM-DD"), std::string::npos);

    const std::vector<TLibraryRound> rounds = LibraryRounds(*s.library, Filter("", "", "", "2024-05-04"));
    ASSERT_EQ(rounds.size(), 1u);
    const TLibraryRound& r = rounds[0];
    EXPECT_EQ(r.file, "/logs/other.xml");
    EXPECT_EQ(r.round, 0);
    EXPECT_EQ(r.started, "2024-05-04 23:59");
    EXPECT_EQ(r.server, "Other");
    EXPECT_EQ(r.mode, "GPM_CQ");
    EXPECT_EQ(r.length, 900);
    EXPECT_EQ(r.tickets, "1:20, 2:0");
    EXPECT_TRUE(r.missing);
}

TEST(LibraryQuery, AHostileNameIsOnlyAName)
{
    TLibraryScene s;
    EXPECT_EQ(s.Rounds(Filter("", Hostile)), s.Ids({s.r3}));
    EXPECT_EQ(s.Rounds(Filter(Hostile, Hostile, Hostile)), s.Ids({}));
    EXPECT_EQ(HeatPlaces(*s.library, {"berlin", THeatKind::Deaths, std::nullopt, Hostile, Hostile}).size(), 0u);
    EXPECT_EQ(HeatPlaces(*s.library, {"berlin", THeatKind::Deaths, std::nullopt, "", Hostile}),
              (std::vector<TWorldPlace>{{700, 700}}));
    ASSERT_TRUE(PlayerPage(*s.library, Hostile));
    EXPECT_EQ(PlayerPage(*s.library, Hostile)->player.names, std::vector<std::string>{Hostile});
    // The players' search takes its own patterns' letters as letters.
    EXPECT_EQ(LibraryPlayers(*s.library, "%").size(), 0u);
    EXPECT_EQ(LibraryPlayers(*s.library, "_").size(), 0u);
    EXPECT_EQ(LibraryPlayers(*s.library, "; --").size(), 1u);
    EXPECT_EQ(s.Rounds({}).size(), 4u);
}

TEST(LibraryQuery, PlayersSumTheirRoundsWithFavouritesAndRatio)
{
    TLibraryScene s;
    const std::vector<TLibraryPlayer> players = LibraryPlayers(*s.library);
    ASSERT_EQ(players.size(), 4u);
    EXPECT_EQ(players[0].identity, s.anna); // most kills first
    EXPECT_EQ(players[1].identity, s.bert);
    EXPECT_EQ(players[2].identity, s.carl); // then as they came
    EXPECT_EQ(players[3].identity, s.hostile);

    const TLibraryPlayer& anna = players[0];
    EXPECT_EQ(anna.keyhash, AnnaHash);
    EXPECT_EQ(anna.names, (std::vector<std::string>{"[CLAN]Anna", "Anna"})); // most used first
    EXPECT_EQ(anna.rounds, 3);
    EXPECT_EQ(anna.seconds, 1600);
    EXPECT_EQ(anna.score, 10 + 4 + 2 + 3);
    EXPECT_EQ(anna.kills, 3 + 2 + 2 + 3);
    EXPECT_EQ(anna.deaths, 0);
    EXPECT_EQ(anna.tks, 1);
    EXPECT_EQ(anna.ratio, 10); // no deaths: the kills
    EXPECT_EQ(anna.weapon, "Colt"); // two each with Thompson: by name
    EXPECT_EQ(anna.kit, "Assault");
    EXPECT_EQ(anna.vehicle, "Sherman");
    EXPECT_EQ(anna.lastSeen, "2024-05-04 23:59");

    const TLibraryPlayer& bert = players[1];
    EXPECT_EQ(bert.names, (std::vector<std::string>{"Anna", "Bert"}));
    EXPECT_EQ(bert.kills, 2);
    EXPECT_EQ(bert.deaths, 3);
    EXPECT_DOUBLE_EQ(bert.ratio, 2.0 / 3);
    EXPECT_EQ(bert.weapon, "Grenade");
    EXPECT_EQ(bert.vehicle, "");
    EXPECT_EQ(players[2].keyhash, "");

    // The search keeps the players with a name holding the text, any letter case.
    std::vector<int64_t> found;
    for (const TLibraryPlayer& p : LibraryPlayers(*s.library, "NN"))
        found.push_back(p.identity);
    EXPECT_EQ(found, s.Ids({s.anna, s.bert}));
    EXPECT_EQ(LibraryPlayers(*s.library, "\xE7" "a").size(), 1u);
}

TEST(LibraryQuery, PlayerPageHoldsRoundsKillsDeathsAndCounts)
{
    TLibraryScene s;
    EXPECT_FALSE(PlayerPage(*s.library, "Nobody"));
    // Two identities used "anna": the one with more rounds.
    const std::optional<TPlayerPage> anna = PlayerPage(*s.library, "anna");
    ASSERT_TRUE(anna);
    EXPECT_EQ(anna->player.identity, s.anna);
    EXPECT_EQ(anna->player.kills, 10);
    ASSERT_EQ(anna->rounds.size(), 3u);
    EXPECT_EQ(anna->rounds[0].id, s.r1);
    EXPECT_EQ(anna->rounds[2].id, s.r4);
    ASSERT_EQ(anna->kills.size(), 4u);
    EXPECT_TRUE(anna->deaths.empty());
    const TLibraryKill& last = anna->kills[3];
    EXPECT_EQ(last.round, s.r3);
    EXPECT_EQ(last.file, "/logs/ev_14567-20240503_1000.zxml");
    EXPECT_EQ(last.place, 0);
    EXPECT_EQ(last.time, 210);
    EXPECT_EQ(last.roundStart, 100);
    EXPECT_TRUE(last.teamKill);
    EXPECT_EQ(last.killer, "[CLAN]Anna");
    EXPECT_EQ(last.victim, Hostile);
    EXPECT_EQ(last.kit, "Medic");
    EXPECT_EQ(last.killerPlace, (TWorldPlace{500, 500}));
    EXPECT_EQ(last.victimPlace, (TWorldPlace{700, 700}));
    using TCounts = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(anna->byWeapon, (TCounts{{"Colt", 2}, {"Thompson", 2}}));
    EXPECT_EQ(anna->byKit, (TCounts{{"Assault", 3}, {"Medic", 1}}));
    EXPECT_EQ(anna->byVehicle, (TCounts{{"Sherman", 1}}));

    const std::optional<TPlayerPage> carl = PlayerPage(*s.library, "\xC7" "ARL");
    ASSERT_TRUE(carl);
    EXPECT_TRUE(carl->kills.empty());
    ASSERT_EQ(carl->deaths.size(), 4u);
    EXPECT_FALSE(carl->deaths[3].victimPlace); // the kill without places, in its round's order
    EXPECT_EQ(carl->deaths[1].weapon, "K98");  // round 2 of the first log comes before the second log
}

TEST(LibraryQuery, HeatPlacesByKindTeamWeaponAndPlayer)
{
    TLibraryScene s;
    const auto places = [&](THeatKind kind, std::optional<int> team, std::string weapon, std::string player,
                            std::string map = "berlin") {
        std::vector<TWorldPlace> found = HeatPlaces(*s.library, {map, kind, team, weapon, player});
        std::sort(found.begin(), found.end(), [](const TWorldPlace& a, const TWorldPlace& b) { return a.x < b.x; });
        return found;
    };
    using TPlaces = std::vector<TWorldPlace>;
    EXPECT_EQ(places(THeatKind::Deaths, {}, "", ""), (TPlaces{{120, 220}, {130, 230}, {310, 320}, {510, 520}, {700, 700}}));
    EXPECT_EQ(places(THeatKind::Kills, {}, "", ""), (TPlaces{{100, 200}, {100, 200}, {300, 300}, {500, 500}, {500, 500}}));
    EXPECT_EQ(places(THeatKind::Deaths, 1, "", ""), (TPlaces{{700, 700}}));           // the victim's team
    EXPECT_EQ(places(THeatKind::Kills, 2, "", ""), (TPlaces{{300, 300}}));            // the killer's
    EXPECT_EQ(places(THeatKind::Deaths, {}, "Colt", ""), (TPlaces{{130, 230}, {700, 700}}));
    EXPECT_EQ(places(THeatKind::Deaths, {}, "", "BERT"), (TPlaces{{120, 220}, {130, 230}}));
    EXPECT_EQ(places(THeatKind::Kills, {}, "", "bert"), (TPlaces{{300, 300}}));
    EXPECT_EQ(places(THeatKind::Kills, {}, "Thompson", "[clan]anna"), (TPlaces{{100, 200}, {500, 500}}));
    EXPECT_EQ(places(THeatKind::Deaths, {}, "", "", "el_alamein"), (TPlaces{{1000, 1000}}));
    EXPECT_EQ(places(THeatKind::Deaths, {}, "", "", "Berlin"), TPlaces{});
}

namespace {

// A program folder whose "flat" map has a plain picture and a saved calibration.
struct TFlatMap {
    static constexpr QRgb Ground = 0xFF204060;
    explicit TFlatMap(const std::string& ini)
    {
        QDir().mkpath(QString::fromStdString(dir.Path("images")));
        QImage picture(600, 600, QImage::Format_RGB888);
        picture.fill(Ground);
        picture.save(QString::fromStdString(dir.Path("images/flat.bmp")));
        dir.Write("Tarvel.ini", ini);
        files.Read();
    }
    TSeparatorScope point{'.'};
    TTempDir dir;
    TProgramFiles files{dir.Path("Tarvel")};
};

// The reddest pixel: where the heat is highest.
QPoint Hottest(const QImage& picture)
{
    QPoint best;
    int most = -1000;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (c.red() - c.green() - c.blue() > most) {
                most = c.red() - c.green() - c.blue();
                best = QPoint(x, y);
            }
        }
    return best;
}

} // namespace

TEST(LibraryHeatMap, APlaceLandsWhereTheFrameCentresAMarker)
{
    TFlatMap home("flat_SCALE=1500\nflat_CORRECTIONY=1800\nflat_TOPMARGIN=7\nflat_LEFTMARGIN=-5\n");
    const TWorldPlace place{123.4, 211.7};
    const THeatBase base = HeatBaseOf(home.files, "flat", {place});
    ASSERT_FALSE(base.picture.isNull());
    EXPECT_EQ(base.placing, (TCalibration{1500, 1800, -5, 7}));
    EXPECT_EQ(base.pictureHeight, 600);
    const int zoom = HeatZoom(base);
    EXPECT_EQ(zoom, 1706); // the smallest side, 1024 pixels
    const THeatMap heat = DrawHeatMap(base, {place}, zoom, FrameFont());
    EXPECT_EQ(heat.points, 1);
    EXPECT_EQ(heat.picture.size(), QSize(1024, 1024));

    // A marker of the frame: centred on the map pixel the calibration gives, its centre zoomed.
    TPictureHolder marker;
    marker.Width = marker.Height = 16;
    CentreOnMapPixel(marker, CalibratedMapX(base.placing, place.x), CalibratedMapY(base.placing, 600, place.z));
    const long double scale = zoom / 1000.0L;
    const QPoint centre(RoundToInt32((marker.Left + 8) * scale), RoundToInt32((marker.Top + 8) * scale));
    EXPECT_EQ(Hottest(heat.picture), centre);
    const QColor hot = heat.picture.pixelColor(centre);
    EXPECT_GT(hot.red(), 200);
    EXPECT_LT(hot.green(), 60);
    // Away from it the picture is as it was.
    const QPoint away = centre.x() > 512 ? QPoint(10, 10) : QPoint(1000, 1000);
    EXPECT_EQ(heat.picture.pixel(away), TFlatMap::Ground);
    // Faint, bluish heat at a blob's rim.
    const QColor rim = heat.picture.pixelColor(centre + QPoint(HeatRadius * zoom / 1000 - 2, 0));
    EXPECT_GT(rim.blue(), rim.red());
}

TEST(LibraryHeatMap, AMapWithoutPictureIsDrawnOnTheGridFittedToItsPlaces)
{
    TFlatMap home("");
    const std::vector<TWorldPlace> places = {{-3000, -3000}, {5000, 4000}, {1000, 500}};
    const THeatBase base = HeatBaseOf(home.files, "nowhere", places);
    EXPECT_TRUE(base.picture.isNull());
    EXPECT_EQ(base.pictureHeight, TPictureHolder::DefaultSize);
    EXPECT_NE(base.placing, TCalibration{}); // fitted: the places lie on the grid
    const THeatMap heat = DrawHeatMap(base, places, HeatZoom(base), FrameFont());
    EXPECT_EQ(heat.points, 3);
    EXPECT_EQ(heat.picture.width(), MinHeatSide);

    // Places beyond the picture are not counted; nothing is drawn for none.
    const THeatBase flat = HeatBaseOf(home.files, "flat", places);
    EXPECT_EQ(flat.placing, TCalibration{});
    EXPECT_EQ(DrawHeatMap(flat, places, 1000, FrameFont()).points, 0);
    const THeatMap none = DrawHeatMap(flat, {}, 1000, FrameFont());
    EXPECT_EQ(none.picture.pixel(300, 300), TFlatMap::Ground);
}
