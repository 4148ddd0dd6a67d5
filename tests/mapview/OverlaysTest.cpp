// The overlays' history (trails cut at deaths and jumps, kept for 60 s; deaths and kills by
// event) and their drawing: trails, the death map and the kill feed, the frame unchanged with
// all of them off, and the incremental canvas covering what they drew.
#include "TestPictures.h"
#include "TestUtil.h"
#include "frame/FrameDrawing.h"
#include "mapview/MapObject.h"
#include "mapview/Overlays.h"
#include "replay/InfoClass.h"
#include "replay/PlayerStates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

std::vector<double> TrailTimes(const TOverlayHistory& h, int player)
{
    std::vector<double> times;
    if (const auto* trail = h.Trail(player))
        for (const TTrailPoint& p : *trail)
            times.push_back(p.time);
    return times;
}

// A point of a walk along x: world x = 2 x.
void Walk(TOverlayHistory& h, int player, double time, int x) { h.AddTrailPoint(player, time, 2.0 * x, 0); }

// World places that are the map's pixels.
constexpr TMapPlacing Pixels{1000, -1000, 0, 0, 0};

} // namespace

TEST(OverlayHistory, TrailsAreCutAtDeathsLeavesAndJumpsOfMoreThan200Units)
{
    TOverlayHistory h;
    Walk(h, 1, 10, 0);
    Walk(h, 1, 11, 100); // 200 units: still a walk
    EXPECT_EQ(TrailTimes(h, 1), (std::vector<double>{10, 11}));
    h.AddTrailPoint(1, 12, 402.5, 0); // 202.5 units: a respawn
    EXPECT_EQ(TrailTimes(h, 1), (std::vector<double>{12}));
    // The jump counts both axes of the world.
    h.AddTrailPoint(1, 13, 402.5 + 150, 150);
    EXPECT_EQ(TrailTimes(h, 1), (std::vector<double>{13}));

    Walk(h, 2, 10, 5);
    h.CutTrail(2); // died
    EXPECT_EQ(h.Trail(2), nullptr);
    Walk(h, 2, 30, 5);
    EXPECT_EQ(TrailTimes(h, 2), (std::vector<double>{30}));
    EXPECT_EQ(TrailTimes(h, 1), (std::vector<double>{13})); // others keep theirs
}

TEST(OverlayHistory, TrailsKeepSixtySecondsSkipStandingStillAndFollowTheClockBack)
{
    TOverlayHistory h;
    for (int tick = 0; tick <= 1000; ++tick) // 100 s of ticks
        Walk(h, 1, 0.1 * tick, tick % 50);
    const std::vector<double> kept = TrailTimes(h, 1);
    ASSERT_FALSE(kept.empty());
    EXPECT_GE(kept.front(), 40.0 - 1e-9);
    EXPECT_NEAR(kept.back(), 100.0, 1e-9);
    EXPECT_LE(kept.size(), 602u);

    // A player standing still adds no points.
    const size_t before = h.PointCount();
    Walk(h, 1, 100.1, 1000 % 50);
    Walk(h, 1, 100.2, 1000 % 50);
    EXPECT_EQ(h.PointCount(), before);

    // However fast the events, a path holds a bounded number of points.
    for (int i = 0; i < 10000; ++i)
        Walk(h, 3, 200 + i * 1e-4, i % 7);
    EXPECT_LE(TrailTimes(h, 3).size(), TOverlayHistory::TrailPointLimit);

    // The clock moved back: the places after it go.
    Walk(h, 1, 70, 7);
    for (const double t : TrailTimes(h, 1))
        EXPECT_LE(t, 70.0 + 0.25);
    // Players gone for a minute lose their paths.
    Walk(h, 4, 500, 1);
    EXPECT_EQ(h.Trail(1), nullptr);
    EXPECT_EQ(h.Trail(3), nullptr);
    EXPECT_EQ(h.TrailCount(), 1u);
}

namespace {

TKillNote Kill(double time, const std::string& killer, bool teamKill = false)
{
    TKillNote k;
    k.time = time;
    k.killer = killer;
    k.weapon = "M1";
    k.victim = "V";
    k.teamKill = teamKill;
    return k;
}

std::vector<std::string> Killers(const std::vector<const TKillNote*>& feed)
{
    std::vector<std::string> names;
    for (const TKillNote* k : feed)
        names.push_back(k->killer);
    return names;
}

} // namespace

TEST(OverlayHistory, TheFeedShowsTheLastFiveKillsOfSixSecondsOldestFirst)
{
    TOverlayHistory h;
    const char* names[] = {"a", "b", "c", "d", "e", "f", "g"};
    for (int i = 0; i < 7; ++i)
        h.AddKill(10 + i, Kill(100 + 0.5 * i, names[i]));
    EXPECT_EQ(Killers(h.FeedAt(103)), (std::vector<std::string>{"c", "d", "e", "f", "g"}));
    // "a" happened at 100: in the feed until 106, gone at 106.
    EXPECT_EQ(Killers(h.FeedAt(102)), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(Killers(h.FeedAt(105.99)), (std::vector<std::string>{"c", "d", "e", "f", "g"}));
    EXPECT_EQ(Killers(h.FeedAt(108.9)), (std::vector<std::string>{"g"}));
    EXPECT_TRUE(h.FeedAt(109).empty());
    // Moved back: what came after the clock is not shown.
    EXPECT_EQ(Killers(h.FeedAt(100.6)), (std::vector<std::string>{"a", "b"}));
    // The same event applied again is filed once.
    h.AddKill(16, Kill(103, "g"));
    EXPECT_EQ(h.Kills().size(), 7u);

    EXPECT_EQ(FeedAlpha(0), 1);
    EXPECT_EQ(FeedAlpha(4), 1);
    EXPECT_DOUBLE_EQ(FeedAlpha(5), 0.5);
    EXPECT_EQ(FeedAlpha(6), 0);
    EXPECT_EQ(KillFeedText(Kill(0, "Anna")), "Anna [M1] V");
    EXPECT_EQ(KillFeedText(Kill(0, "Anna", true)), "Anna [M1] V (team kill)");
    TKillNote bare = Kill(0, "Anna");
    bare.weapon.clear();
    EXPECT_EQ(KillFeedText(bare), "Anna V");
}

TEST(OverlayShapes, FadingAndDensity)
{
    EXPECT_GT(TrailAlpha(0, 10), TrailAlpha(5, 10));
    EXPECT_GT(TrailAlpha(5, 10), TrailAlpha(9.9, 10));
    EXPECT_EQ(TrailAlpha(10, 10), 0);
    EXPECT_GT(TrailAlpha(9, 30), TrailAlpha(9, 10)); // a longer trail fades more slowly
    // One death shows; fifty on a spot stay short of opaque.
    EXPECT_GT(DeathAlpha(1), 0.35);
    EXPECT_GT(DeathAlpha(50), DeathAlpha(5));
    EXPECT_LT(DeathAlpha(50), 0.9);
    EXPECT_EQ(DeathAlpha(0), 0);
    EXPECT_LT(DeathRadius(500), DeathRadius(10000));
    EXPECT_LE(DeathRadius(10000), 40);
}

// ---------------------------------------------------------------------------------- drawing

namespace {

const QRgb Ground = qRgb(120, 120, 120);

TInfoClass& AddPlayer(TPlayerStateList& states, int id, int team, QPoint centre)
{
    auto state = std::make_unique<TInfoClass>();
    state->PlayerID = id;
    state->SetTeam(team);
    state->Image.Width = state->Image.Height = 0; // no picture: nothing but overlays drawn
    state->Image.Left = centre.x();
    state->Image.Top = centre.y();
    return *states.Add(PlayerKey(id), std::move(state));
}

struct TOverlayScene {
    TOverlayScene() { picture = Solid(200, 200, Ground); }
    TFrameScene Scene() const
    {
        TFrameScene scene;
        scene.zoom = zoom;
        scene.mapSize = QSize(200 * zoom / 1000, 200 * zoom / 1000);
        scene.mapPicture = &picture;
        scene.states = const_cast<TPlayerStateList*>(&states);
        scene.replayTime = now;
        scene.overlays.history = &history;
        scene.overlays.placing = Pixels;
        scene.overlays.trailSeconds = trailSeconds;
        scene.overlays.deathMap = deathMap;
        scene.overlays.killFeed = killFeed;
        scene.visible = visible;
        return scene;
    }
    QImage Draw() const
    {
        const TFrameScene scene = Scene();
        QImage bitmap = Solid(scene.mapSize.width(), scene.mapSize.height(), qRgb(0, 0, 0));
        TFrameCanvas canvas;
        DrawFrame(canvas, bitmap, scene);
        return bitmap;
    }
    int zoom = 1000;
    double now = 100;
    int trailSeconds = 0;
    bool deathMap = false, killFeed = false;
    QRect visible;
    QImage picture;
    TPlayerStateList states;
    TOverlayHistory history;
};

int Changed(const QImage& image, const QRect& rect)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += image.pixel(x, y) != Ground;
    return n;
}

} // namespace

TEST(OverlayTrails, DrawnInTheTeamColourOverTheirLengthFadingWithAge)
{
    TOverlayScene s;
    s.trailSeconds = 10;
    AddPlayer(s.states, 1, 1, {190, 20});
    // Along y = 20 from x = 10 to 190, a pixel a tenth: x = 10 at 82 s, 190 at 100 s.
    for (int x = 10; x <= 190; ++x)
        s.history.AddTrailPoint(1, 82 + (x - 10) * 0.1, x, 20);
    const QImage drawn = s.Draw();
    // Within the last 10 s (x from 90, and the piece from 89 that fades out there): red,
    // stronger at the newer end; before it nothing.
    const QRgb newer = drawn.pixel(180, 20), older = drawn.pixel(110, 20);
    EXPECT_GT(qRed(newer), qBlue(newer) + 60);
    EXPECT_GT(qRed(newer) - qGreen(newer), qRed(older) - qGreen(older));
    EXPECT_NE(older, Ground);
    EXPECT_EQ(Changed(drawn, QRect(10, 10, 75, 20)), 0);
    EXPECT_EQ(Changed(drawn, QRect(0, 40, 200, 160)), 0);

    // A 30 s trail reaches back to the start; an Allies player's is blue.
    s.trailSeconds = 30;
    s.states.State(0)->SetTeam(2);
    const QImage longer = s.Draw();
    EXPECT_GT(Changed(longer, QRect(10, 10, 75, 20)), 40);
    EXPECT_GT(qBlue(longer.pixel(180, 20)), qRed(longer.pixel(180, 20)) + 60);

    // A dead player has no trail; nor has one without a state.
    s.states.State(0)->Dead = true;
    EXPECT_EQ(Changed(s.Draw(), QRect(0, 0, 200, 200)), 0);
}

TEST(OverlayDeathMap, OneDeathShowsFiftyStayWithinTheBlobAndLaterOnesWait)
{
    TOverlayScene s;
    s.deathMap = true;
    s.history.AddDeath(1, {50, 50, 50, 1});
    const int r = DeathRadius(1000);
    QImage drawn = s.Draw();
    const QRgb one = drawn.pixel(50, 50);
    EXPECT_GT(qRed(one), qRed(Ground) + 40); // red for the Axis
    EXPECT_LT(qBlue(one), qBlue(Ground));
    EXPECT_EQ(Changed(drawn, QRect(0, 0, 200, 200)), Changed(drawn, QRect(50 - r, 50 - r, 2 * r + 1, 2 * r + 1)));

    for (int i = 2; i <= 50; ++i)
        s.history.AddDeath(i, {50, 50, 50, 1});
    s.history.AddDeath(100, {60, 150, 150, 2}); // blue, and later than the clock
    s.now = 55;
    drawn = s.Draw();
    const QRgb fifty = drawn.pixel(50, 50);
    EXPECT_GT(qRed(fifty), qRed(one));
    EXPECT_NE(fifty, qRgb(255, 45, 35)); // not the colour itself: the ground still shows
    // Nothing beyond the blob's radius, however many.
    EXPECT_EQ(Changed(drawn, QRect(0, 0, 200, 200)), Changed(drawn, QRect(50 - r, 50 - r, 2 * r + 1, 2 * r + 1)));
    EXPECT_EQ(drawn.pixel(150, 150), Ground);
    s.now = 60;
    const QRgb allies = s.Draw().pixel(150, 150);
    EXPECT_GT(qBlue(allies), qRed(allies) + 60);
}

TEST(OverlayKillFeed, InTheTopRightOfTheViewNewestLastTeamKillsMarked)
{
    TOverlayScene s;
    s.zoom = 3000; // 600 square
    s.killFeed = true;
    s.visible = QRect(100, 200, 300, 250);
    s.history.AddKill(1, Kill(98, "Anna"));
    s.history.AddKill(2, Kill(99, "Bert", true));
    const QImage drawn = s.Draw();
    auto changed = [&](QRect rect) {
        rect = rect.intersected(drawn.rect());
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                n += drawn.pixel(x, y) != Ground;
        return n;
    };
    const QRect view = s.visible;
    EXPECT_GT(changed(QRect(view.right() - 60, view.top(), 60, 30)), 50);
    // Only in the view's top right corner.
    EXPECT_EQ(changed(QRect(0, 0, 600, view.top())), 0);
    EXPECT_EQ(changed(QRect(view.right() + 1, 0, 600, 600)), 0);
    EXPECT_EQ(changed(QRect(0, view.top() + 100, 600, 400)), 0);
    EXPECT_EQ(changed(QRect(0, 0, view.left() + 100, 600)), 0);
    // Two lines: the team kill, second, in its brownish box with its yellow mark.
    int yellow = 0;
    QRect yellowAt;
    for (int y = view.top(); y < view.top() + 80; ++y)
        for (int x = view.left(); x <= view.right(); ++x) {
            const QRgb p = drawn.pixel(x, y);
            if (qRed(p) > 200 && qGreen(p) > 150 && qBlue(p) < 120) {
                ++yellow;
                yellowAt |= QRect(x, y, 1, 1);
            }
        }
    EXPECT_GT(yellow, 10);
    EXPECT_GT(yellowAt.top(), view.top() + 18);

    // Faded out six seconds after the last.
    s.now = 105;
    EXPECT_EQ(Changed(s.Draw(), QRect(0, 0, 600, 600)), 0);
}

namespace {

// Players walking, dying and killing under every overlay, with a view that scrolls and a
// player it follows.
struct TBusyWorld {
    TBusyWorld()
    {
        for (int i = 0; i < 4; ++i) {
            TInfoClass& s = AddPlayer(states, i + 1, 1 + i % 2, {0, 0});
            s.PlayerName = "P" + std::to_string(i);
            QImage marker = Unique(9, 7, i);
            states.Pictures().Show(s.Image, "P" + std::to_string(i), marker);
        }
        AddPlayer(states, 9, 2, {0, 0}).PlayerName = "A name long enough to reach the edge";
        states.Pictures().Show(states.State(4)->Image, "P9", Unique(5, 5, 3));
        objects.Add("")->FImage.SetPicture(Unique(6, 6, 4));
    }
    TFrameScene Scene(int frame)
    {
        const double now = 50 + frame * 0.5;
        for (int i = 0; i < states.Count(); ++i) {
            TInfoClass& s = *states.State(i);
            const QPoint at(20 + (frame * (7 + 3 * i)) % 200, 30 + (frame * (5 + i) + 40 * i) % 190);
            s.Image.Left = at.x() - s.Image.Width / 2;
            s.Image.Top = at.y() - s.Image.Height / 2;
            s.Dead = (frame + i) % 9 == 0;
            if (s.Dead)
                history.CutTrail(s.PlayerID);
            else
                history.AddTrailPoint(s.PlayerID, now, at.x(), at.y());
        }
        if (frame % 3 == 0)
            history.AddDeath(frame, {now, static_cast<double>((frame * 37) % 240), static_cast<double>((frame * 23) % 240), 1 + frame % 2});
        if (frame % 2 == 0)
            history.AddKill(frame, Kill(now, "K" + std::to_string(frame), frame % 4 == 0));
        TFrameScene scene;
        scene.zoom = zoom;
        scene.mapSize = QSize(240 * zoom / 1000, 240 * zoom / 1000);
        scene.mapPicture = &picture;
        scene.states = &states;
        scene.objects = &objects;
        scene.placeObject = [](TMapObject& o) { o.FImage.Left = 33; o.FImage.Top = 44; };
        scene.replayTime = now;
        scene.overlays.history = &history;
        scene.overlays.placing = Pixels;
        scene.overlays.trailSeconds = frame % 11 == 10 ? 0 : 10;
        scene.overlays.deathMap = frame % 7 != 6;
        scene.overlays.killFeed = frame % 5 != 4;
        scene.visible = QRect((frame * 13) % 200, (frame * 7) % 150, 160, 140);
        if (frame % 4 == 3) {
            scene.tracked = states.State(frame % 4);
            scene.scrollTo = [](int, int) {};
        }
        return scene;
    }
    int zoom = 2000;
    QImage picture = Unique(150, 150, 1);
    TPlayerStateList states;
    TMapObjectList objects;
    TOverlayHistory history;
};

QImage FromScratch(const TFrameScene& scene, QSize size)
{
    QImage bitmap = Solid(size.width(), size.height(), qRgb(1, 2, 3));
    TFrameCanvas canvas;
    DrawFrame(canvas, bitmap, scene);
    return bitmap;
}

} // namespace

TEST(OverlayFrames, EachFrameWithOverlaysEqualsOneDrawnFromScratch)
{
    // What the overlays draw is put back under the map picture by the next frame.
    TBusyWorld world;
    TFrameCanvas canvas;
    QImage bitmap = Solid(480, 480, qRgb(1, 2, 3));
    for (int frame = 0; frame < 40; ++frame) {
        if (frame == 25) {
            world.zoom = 2500;
            bitmap = Solid(600, 600, qRgb(1, 2, 3));
        }
        const TFrameScene scene = world.Scene(frame);
        DrawFrame(canvas, bitmap, scene);
        ASSERT_EQ(bitmap, FromScratch(scene, bitmap.size())) << "frame " << frame;
    }
}

TEST(OverlayFrames, WithEveryOverlayOffTheFrameIsTheFrameWithoutThem)
{
    // Frames at several zooms and moments: the history full, every switch off, against the
    // frame drawn from a scene that has no overlays at all.
    for (const int zoom : {500, 1000, 2000, 3500}) {
        TBusyWorld world;
        world.zoom = zoom;
        TFrameCanvas withHistory, without;
        const int side = 240 * zoom / 1000;
        QImage a = Solid(side, side, qRgb(1, 2, 3)), b = a;
        for (int frame = 0; frame < 12; ++frame) {
            TFrameScene scene = world.Scene(frame);
            scene.overlays.trailSeconds = 0;
            scene.overlays.deathMap = scene.overlays.killFeed = false;
            DrawFrame(withHistory, a, scene);
            TFrameScene plain = scene;
            plain.overlays = TFrameOverlays();
            plain.visible = QRect();
            DrawFrame(without, b, plain);
            ASSERT_EQ(a, b) << "zoom " << zoom << " frame " << frame;
        }
        // And a switch on changes the frame.
        TFrameScene on = world.Scene(12);
        const QImage withOverlays = FromScratch(on, a.size());
        on.overlays = TFrameOverlays();
        EXPECT_NE(withOverlays, FromScratch(on, a.size())) << zoom;
    }
}

TEST(OverlayFrames, EachSwitchDrawsItsOwnOverlayAlone)
{
    TOverlayScene s;
    s.zoom = 3000;
    AddPlayer(s.states, 1, 1, {190, 60}); // the marker moved on since its last event
    for (int x = 10; x <= 190; x += 10)
        s.history.AddTrailPoint(1, 91 + (x - 10) / 20.0, x, 20);
    s.history.AddDeath(1, {95, 50, 150, 2});
    s.history.AddKill(2, Kill(99, "Anna"));
    const QRect trail(0, 45, 600, 40), towardsMarker(555, 85, 30, 100), death(120, 420, 60, 60), feed(450, 0, 150, 30);
    struct TCase {
        int trailSeconds;
        bool deathMap, killFeed;
    };
    for (const TCase& c : {TCase{10, false, false}, TCase{0, true, false}, TCase{0, false, true}}) {
        s.trailSeconds = c.trailSeconds;
        s.deathMap = c.deathMap;
        s.killFeed = c.killFeed;
        const QImage drawn = s.Draw();
        SCOPED_TRACE(c.trailSeconds);
        EXPECT_EQ(Changed(drawn, trail) > 100, c.trailSeconds > 0);
        // The trail goes on from the last event's place to where the marker stands.
        EXPECT_EQ(Changed(drawn, towardsMarker) > 40, c.trailSeconds > 0);
        EXPECT_EQ(Changed(drawn, death) > 400, c.deathMap);
        EXPECT_EQ(Changed(drawn, feed) > 50, c.killFeed);
        EXPECT_EQ(Changed(drawn, QRect(0, 0, 600, 600)),
                  Changed(drawn, trail) + Changed(drawn, towardsMarker) + Changed(drawn, death) + Changed(drawn, feed));
    }
}
