// One frame drawn from a scene: turned markers, labels, kill lines, objects and flags, and the
// incremental canvas against a frame drawn from scratch.
#include "TestPictures.h"
#include "TestUtil.h"
#include "frame/FrameDrawing.h"
#include "mapview/MapObject.h"
#include "replay/InfoClass.h"
#include "replay/PlayerStates.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;
const QRgb Black = qRgb(0, 0, 0);
const QRgb White = qRgb(255, 255, 255);

QRect BoxOf(const QImage& image, QRgb colour)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                box |= QRect(x, y, 1, 1);
    return box;
}

TInfoClass& AddPlayer(TPlayerStateList& states, int id, const std::string& name, int team, int left, int top)
{
    auto state = std::make_unique<TInfoClass>();
    state->PlayerID = id;
    state->PlayerName = name;
    state->SetTeam(team);
    state->Image.Left = left;
    state->Image.Top = top;
    return *states.Add(PlayerKey(id), std::move(state));
}

TMapObject& AddObject(TMapObjectList& objects, const std::string& objectClass, int x, int z, const QImage& picture)
{
    const std::string position = std::to_string(x) + "/0/" + std::to_string(z);
    TMapObject& object = *objects.Add(position);
    object.SetPosition(position);
    object.SetObjectClass(objectClass);
    object.FImage.SetPicture(picture);
    object.FImage.SetSizeToPicture(); // as the window loads it
    return object;
}

// The objects' calibration in these tests: the image's corner is the object's X and Z.
void PlaceAtXZ(TMapObject& o)
{
    o.FImage.Left = static_cast<int>(o.FX);
    o.FImage.Top = static_cast<int>(o.FZ);
}

TFrameScene SceneOf(TPlayerStateList& states, TMapObjectList* objects = nullptr, int zoom = 1000)
{
    TFrameScene scene;
    scene.zoom = zoom;
    scene.states = &states;
    scene.objects = objects;
    scene.placeObject = PlaceAtXZ;
    return scene;
}

// A frame drawn from scratch, over a black bitmap when the scene has no map picture.
QImage Fresh(const TFrameScene& scene, QSize size)
{
    QImage bitmap = Solid(size.width(), size.height(), Black);
    TFrameCanvas canvas;
    DrawFrame(canvas, bitmap, scene);
    return bitmap;
}

} // namespace

TEST(FrameRotate, QuarterTurnsLookUpTheSourcePixelAndWhiteOutside)
{
    const QImage b = Unique(5, 4);
    const int cx = 2, cy = 1;
    struct TTurn {
        double angle;
        int (*sx)(int x, int y);
        int (*sy)(int x, int y);
    };
    // The source pixel of (x, y) for each turn, about (2, 1).
    const TTurn turns[] = {
        {0, [](int x, int) { return x; }, [](int, int y) { return y; }},
        {Pi / 2, [](int, int y) { return 2 - (y - 1); }, [](int x, int) { return 1 + (x - 2); }},
        {Pi, [](int x, int) { return 2 - (x - 2); }, [](int, int y) { return 1 - (y - 1); }},
        {-Pi / 2, [](int, int y) { return 2 + (y - 1); }, [](int x, int) { return 1 - (x - 2); }},
    };
    for (const TTurn& turn : turns) {
        const QImage m = RotateBitmap(b, cx, cy, turn.angle);
        ASSERT_EQ(m.size(), b.size());
        EXPECT_EQ(m.depth(), 24);
        int outside = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                const int sx = turn.sx(x, y), sy = turn.sy(x, y);
                const bool in = sx >= 0 && sx < 5 && sy >= 0 && sy < 4;
                outside += !in;
                EXPECT_EQ(m.pixel(x, y), in ? b.pixel(sx, sy) : White) << turn.angle << " at " << x << "," << y;
            }
        EXPECT_EQ(outside > 0, turn.angle != 0) << turn.angle;
    }
    // A 32-bit picture turns to the same pixels.
    EXPECT_EQ(RotateBitmap(b.convertToFormat(QImage::Format_ARGB32), cx, cy, Pi / 2), RotateBitmap(b, cx, cy, Pi / 2));
}

TEST(FrameRotate, MarkerAngleFollowsTheWayAndRoundsItFirst)
{
    auto angle = [](double fx, double fz, double tx, double tz, bool dead = false) {
        TVector from, to;
        from.Assign(fx, 7, fz);
        to.Assign(tx, -3, tz); // the height plays no part
        return MarkerAngle(from, to, dead);
    };
    EXPECT_DOUBLE_EQ(angle(0, 0, 10, 0), -2 * Pi);   // right
    EXPECT_DOUBLE_EQ(angle(0, 0, 0, 10), -1.5 * Pi); // up
    EXPECT_DOUBLE_EQ(angle(0, 0, -10, 0), -Pi);      // left
    EXPECT_DOUBLE_EQ(angle(0, 0, 0, -10), -Pi / 2);  // down
    EXPECT_DOUBLE_EQ(angle(5, 5, 5, 5), -1.5 * Pi);  // standing
    EXPECT_DOUBLE_EQ(angle(0, 0, 10, 0, true), 0);
    EXPECT_DOUBLE_EQ(angle(0, 0, 10, 10), -1.75 * Pi);
    // The differences are rounded to whole numbers, half to even: these stand still.
    EXPECT_DOUBLE_EQ(angle(0, 0, 0.4, 0), -1.5 * Pi);
    EXPECT_DOUBLE_EQ(angle(0, 0, 0.5, -0.5), -1.5 * Pi);
    EXPECT_DOUBLE_EQ(angle(0, 0, 1.5, 0), -2 * Pi);
}

TEST(FrameRotate, MarkersAreTurnedTheWayTheyMoveWithoutTheirCornerColour)
{
    QImage b = Unique(5, 4);
    b.setPixel(4, 1, b.pixel(0, 0)); // a second pixel of the transparent colour
    for (const bool dead : {false, true}) {
        TPlayerStateList states;
        TInfoClass& s = AddPlayer(states, 3, "", 1, 10, 7);
        states.Pictures().Show(s.Image, "b", b);
        s.CommingFrom.Assign(0, 0, 0);
        s.GoingTo.Assign(0, 0, 50); // up the map: a quarter turn
        s.Dead = dead;
        const QImage drawn = Fresh(SceneOf(states), QSize(40, 30));
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                // At (10, 7), 5 x 4; turned about (5 div 2, 4 div 2) = (2, 2).
                const int mx = x - 10, my = y - 7;
                QRgb expected = Black;
                if (mx >= 0 && mx < 5 && my >= 0 && my < 4) {
                    const int sx = dead ? mx : 2 - (my - 2), sy = dead ? my : 2 + (mx - 2);
                    expected = sx >= 0 && sx < 5 && sy >= 0 && sy < 4 ? b.pixel(sx, sy) : White;
                    if (expected == b.pixel(0, 0))
                        expected = Black;
                }
                ASSERT_EQ(drawn.pixel(x, y), expected) << dead << " at " << x << "," << y;
            }
    }
}

namespace {

// The label as the frame must show it: the text's top-left corner at the point.
QImage LabelAlone(QSize size, QPoint topLeft, const QString& text, QColor colour, const QFont& font)
{
    QImage image = Solid(size.width(), size.height(), Black);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QPointF(topLeft.x(), topLeft.y() + QFontMetrics(font).ascent()), text);
    return image;
}

} // namespace

TEST(FrameLabels, ColourByTeamAndKillInfoTextAtTheMarkersCornerLessTwelve)
{
    const QSize size(260, 60);
    struct TCase {
        int team;
        bool dead, killInfo;
        QString text;
        QColor colour;
    };
    const TCase cases[] = {
        {1, false, false, "Bert", QColor(0, 255, 0)},  {2, false, false, "Bert", QColor(0, 255, 255)},
        {0, false, true, "Bert", QColor(0, 255, 255)}, {1, true, false, "Bert", QColor(0, 255, 0)},
        {2, true, true, "Anna-M16-Bert", QColor(0, 255, 255)},
    };
    for (const TCase& c : cases) {
        TPlayerStateList states;
        TInfoClass& bert = AddPlayer(states, 5, "Bert", c.team, 40, 30);
        bert.Dead = c.dead;
        bert.KilledByID = 3;
        bert.KilledByName = "Anna";
        bert.KilledByWeapon = "M16";
        TFrameScene scene = SceneOf(states);
        scene.killInfo = c.killInfo;
        const QImage drawn = Fresh(scene, size);
        EXPECT_EQ(drawn, LabelAlone(size, QPoint(28, 18), c.text, c.colour, scene.font)) << c.text.toStdString();
        EXPECT_GT(Count(drawn, c.colour.rgb()), 3); // not two empty pictures
    }
}

namespace {

// Anna (3) killed by Bert (5), both without marker picture or label, 21 pixels square: Bert's
// centre is (11 + 10, 11 + 10) and Anna's (61 + 10, 31 + 10).
struct TKill {
    TKill()
    {
        victim = &AddPlayer(states, 3, "", 1, 61, 31);
        killer = &AddPlayer(states, 5, "", 2, 11, 11);
        for (TInfoClass* s : {victim, killer})
            s->Image.Width = s->Image.Height = 21;
        victim->KilledByID = 5;
        victim->KillByTime = 109.9;
        killer->KillByTime = 200;
    }
    QImage Draw()
    {
        TFrameScene scene = SceneOf(states, nullptr, zoom);
        scene.replayTime = 100.0;
        scene.timeToSeeLine = 10;
        scene.showHitLines = showHitLines;
        return Fresh(scene, QSize(160, 100));
    }
    bool showHitLines = true;
    int zoom = 1000;
    TPlayerStateList states;
    TInfoClass* victim;
    TInfoClass* killer;
};

} // namespace

TEST(FrameKillLine, WhiteFromKillerToVictimWithAGreenRingedWhiteDot)
{
    TKill k;
    const QImage drawn = k.Draw();
    const QRgb green = qRgb(0, 128, 0);
    // The ellipse fills (cx - 5, cy - 5) to (cx + 5, cy + 5), right and bottom excluded.
    EXPECT_EQ(BoxOf(drawn, green), QRect(66, 36, 10, 10));
    EXPECT_EQ(drawn.pixel(71, 41), White);
    EXPECT_EQ(drawn.pixel(73, 43), White);
    EXPECT_EQ(drawn.pixel(68, 43), White);
    EXPECT_EQ(drawn.pixel(21, 21), White); // the line starts at the killer's centre
    EXPECT_EQ(drawn.pixel(20, 20), Black);
    EXPECT_EQ(drawn.pixel(46, 31), White); // halfway
    EXPECT_EQ(Count(drawn, White) + Count(drawn, green) + Count(drawn, Black), 160 * 100);
    EXPECT_EQ(BoxOf(drawn, White).united(BoxOf(drawn, green)), QRect(QPoint(21, 21), QPoint(75, 45)));
}

TEST(FrameKillLine, DrawnOnlyWhileEveryConditionHolds)
{
    auto lineWith = [](auto change) {
        TKill k;
        change(k);
        return Count(k.Draw(), White) > 0;
    };
    EXPECT_TRUE(lineWith([](TKill&) {}));
    // 10 > 109.9 - 100 holds; 10 > 110.0 - 100 does not.
    EXPECT_FALSE(lineWith([](TKill& k) { k.victim->KillByTime = 110.0; k.killer->KillByTime = 300; }));
    // A kill time already passed draws while the victim lives.
    EXPECT_TRUE(lineWith([](TKill& k) { k.victim->KillByTime = 95; }));
    EXPECT_FALSE(lineWith([](TKill& k) { k.victim->Dead = true; }));
    EXPECT_FALSE(lineWith([](TKill& k) { k.killer->Dead = true; }));
    EXPECT_FALSE(lineWith([](TKill& k) { k.victim->KilledByID = 9; })); // no such state
    // Key "0" exists here, but 0 means nobody.
    EXPECT_FALSE(lineWith([](TKill& k) {
        k.victim->KilledByID = 0;
        AddPlayer(k.states, 0, "", 1, 0, 0).KillByTime = 500;
    }));
    // The killer's own death must come later.
    EXPECT_FALSE(lineWith([](TKill& k) { k.killer->KillByTime = 109.9; }));
    EXPECT_FALSE(lineWith([](TKill& k) { k.killer->KillByTime = 0; }));
    EXPECT_FALSE(lineWith([](TKill& k) { k.showHitLines = false; }));
}

namespace {

struct TObjects {
    TObjects()
    {
        // At zoom 1500 sizes stay; the places are checked with the other zoomed places.
        flag = &AddObject(objects, "controlpoint", 10, 10, Solid(10, 10, Red));
        AddObject(objects, "controlpoint2", 60, 10, Solid(30, 20, Blue));
        AddObject(objects, "Controlpoint", 3, 100, Solid(8, 6, Yellow)); // 4.5 rounds to 4
        QImage jeepPicture = Solid(12, 8, Green);
        jeepPicture.setPixel(0, 0, Magenta); // its transparent colour
        jeep = &AddObject(objects, "Jeep", 5, 60, jeepPicture); // 7.5 rounds to 8
        jeep->FImage.Width = 50; // the picture's size counts
        for (int i = 0; i < objects.Count(); ++i)
            objects.Object(i)->FImage.Transparent = objects.Object(i) == jeep;
    }
    QImage Draw()
    {
        TFrameScene scene = SceneOf(states, &objects, 1500);
        scene.showObjects = showObjects;
        scene.showFlags = showFlags;
        scene.placeObject = [this](TMapObject& o) {
            ++placed;
            PlaceAtXZ(o);
        };
        return Fresh(scene, QSize(200, 200));
    }
    static constexpr QRgb Red = 0xffff0000, Blue = 0xff0000ff, Yellow = 0xffffff00, Green = 0xff00ff00,
                          Magenta = 0xffff00ff;
    bool showObjects = true, showFlags = true;
    int placed = 0;
    TMapObjectList objects;
    TPlayerStateList states;
    TMapObject* flag;
    TMapObject* jeep;
};

} // namespace

TEST(FrameObjects, FlagsAre25SquareOtherObjectsTheirOwnSize)
{
    TObjects o;
    const QImage drawn = o.Draw();
    EXPECT_EQ(o.placed, 4);
    EXPECT_EQ(BoxOf(drawn, TObjects::Red).size(), QSize(25, 25));
    EXPECT_EQ(Count(drawn, TObjects::Red), 625);
    EXPECT_EQ(BoxOf(drawn, TObjects::Blue).size(), QSize(30, 20));
    EXPECT_EQ(Count(drawn, TObjects::Blue), 600);
    EXPECT_EQ(BoxOf(drawn, TObjects::Yellow).size(), QSize(8, 6));
    EXPECT_EQ(BoxOf(drawn, TObjects::Green).size(), QSize(12, 8));
    EXPECT_EQ(Count(drawn, TObjects::Green), 95); // the transparent corner left out
    EXPECT_EQ(Count(drawn, TObjects::Magenta), 0);
    EXPECT_EQ(o.jeep->FImage.Width, 12);
}

TEST(FrameObjects, SwitchesAndObjectsInUse)
{
    {
        TObjects o;
        o.showFlags = false;
        const QImage drawn = o.Draw();
        EXPECT_EQ(Count(drawn, TObjects::Red), 0);
        EXPECT_EQ(Count(drawn, TObjects::Blue), 600); // only the exact class is a flag
        EXPECT_EQ(Count(drawn, TObjects::Yellow), 48);
        EXPECT_EQ(Count(drawn, TObjects::Green), 95);
    }
    TObjects hidden;
    hidden.showObjects = false;
    EXPECT_EQ(Count(hidden.Draw(), Black), 200 * 200);
    EXPECT_EQ(hidden.placed, 0);
    {
        TObjects o;
        AddPlayer(o.states, 3, "", 1, 0, 0).MapObjectInUse = o.jeep;
        EXPECT_TRUE(IsMapObjectInUse(o.states, o.jeep));
        EXPECT_FALSE(IsMapObjectInUse(o.states, o.flag));
        const QImage drawn = o.Draw();
        EXPECT_EQ(Count(drawn, TObjects::Green), 0);
        EXPECT_EQ(Count(drawn, TObjects::Red), 625);
    }
}

namespace {

// Three players moving, killing and dying over objects, with labels and lines that reach the
// edges; `frame` moves them on.
struct TWorld {
    TWorld()
    {
        marker = Unique(15, 11, 5);
        marker.setPixel(0, 0, qRgb(255, 0, 255));
        for (int i = 0; i < 3; ++i) {
            TInfoClass& s = AddPlayer(states, i + 1, i == 2 ? "A rather long name near the edge" : "P" + std::to_string(i),
                                      i == 0 ? 1 : 2, 0, 0);
            states.Pictures().Show(s.Image, "marker", marker);
        }
        AddObject(objects, "controlpoint", 40, 50, Solid(10, 10, qRgb(200, 0, 0))).FImage.Transparent = false;
        AddObject(objects, "Tank", 500, 300, Unique(9, 7, 9));
    }
    TFrameScene Scene(int frame)
    {
        TInfoClass& a = *states.State(0);
        TInfoClass& b = *states.State(1);
        TInfoClass& c = *states.State(2);
        a.CommingFrom.Assign(frame, 0, 0);
        a.GoingTo.Assign(frame + 1, 0, frame % 3);
        // Map pixels: at zoom 400 the map's 240 pixels are 600 of them.
        a.Image.Left = 10 + frame * 20;
        a.Image.Top = 8 + (frame * 13) % 100;
        b.CommingFrom.Assign(0, 0, frame);
        b.GoingTo.Assign(-frame % 4, 0, 0);
        b.Image.Left = 560 - frame * 17;
        b.Image.Top = 500 - frame * 11;
        b.Dead = frame % 7 == 6;
        c.Image.Left = frame % 2 ? -20 : 590; // past the left and right edges
        c.Image.Top = frame % 3 ? 5 : 585;
        // a is killed by c: a long slanted line across the map while it lasts.
        a.KilledByID = frame < 12 ? 3 : 0;
        a.KillByTime = 50;
        c.KillByTime = 90;
        b.KilledByID = 1;
        b.KillByTime = 40; // and b by a, before a's own death
        a.KilledByName = "P2";
        a.KilledByWeapon = "Knife";
        b.KilledByName = "P0";
        b.KilledByWeapon = "M1";
        TFrameScene scene = SceneOf(states, &objects, zoom);
        scene.mapSize = QSize(zoom * 600 / 1000, zoom * 600 / 1000);
        scene.mapPicture = picture.isNull() ? nullptr : &picture;
        scene.replayTime = 45 + frame;
        scene.killInfo = frame % 4 == 1;
        scene.showObjects = frame % 5 != 4;
        return scene;
    }
    int zoom = 400; // a map of 240 pixels
    QImage picture = Unique(200, 150, 1);
    QImage marker;
    TPlayerStateList states;
    TMapObjectList objects;
};

} // namespace

TEST(FrameCanvas, EachFrameEqualsOneDrawnFromScratch)
{
    TWorld world;
    TFrameCanvas canvas;
    QImage bitmap = Solid(240, 240, qRgb(1, 2, 3));
    for (int frame = 0; frame < 30; ++frame) {
        if (frame == 12)
            world.picture = Unique(200, 150, 77); // another map picture
        if (frame == 20) {
            world.zoom = 500; // the zoom slider gives a new bitmap
            bitmap = Solid(300, 300, qRgb(1, 2, 3));
        }
        const TFrameScene scene = world.Scene(frame);
        DrawFrame(canvas, bitmap, scene);
        ASSERT_EQ(bitmap, Fresh(scene, bitmap.size())) << "frame " << frame;
    }
}

TEST(FrameCanvas, WithoutMapPictureTheLastFrameStaysUnderTheNewOne)
{
    TWorld world;
    TFrameCanvas canvas;
    QImage bitmap = Solid(240, 240, Black);
    for (int frame = 0; frame < 3; ++frame)
        DrawFrame(canvas, bitmap, world.Scene(frame));
    world.picture = QImage();
    for (int frame = 3; frame < 8; ++frame) {
        const TFrameScene scene = world.Scene(frame);
        QImage expected = bitmap.copy();
        TFrameCanvas fresh;
        DrawFrame(fresh, expected, scene);
        DrawFrame(canvas, bitmap, scene);
        ASSERT_EQ(bitmap, expected) << "frame " << frame;
    }
    // A picture that comes back covers every trace.
    world.picture = Unique(200, 150, 1);
    const TFrameScene scene = world.Scene(8);
    DrawFrame(canvas, bitmap, scene);
    EXPECT_EQ(bitmap, Fresh(scene, bitmap.size()));
}

TEST(FrameZoomedPlaces, CentresGoToTheZoomedCentresHalvesToEven)
{
    // A picture keeps its size when zoomed; its centre goes where the zoom puts the centre of
    // its place, so markers and flags stay on their places at every zoom. Zoom 1500 throughout.
    TPlayerStateList states;
    TInfoClass& marker = AddPlayer(states, 3, "", 1, 27, 21);
    states.Pictures().Show(marker.Image, "marker", Unique(5, 4));
    marker.Dead = true; // unturned
    TFrameScene scene = SceneOf(states, nullptr, 1500);
    std::vector<QPoint> scrolls;
    scene.tracked = &marker;
    scene.scrollTo = [&](int x, int y) { scrolls.emplace_back(x, y); };
    const QImage drawn = Fresh(scene, QSize(60, 60));
    QImage expected = Solid(60, 60, Black);
    const QImage& picture = *states.Pictures().Painted(marker.Image);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            if (picture.pixel(x, y) != picture.pixel(0, 0))
                expected.setPixel(42 + x, 32 + y, picture.pixel(x, y));
    // Round((27 + 2) x 1.5) - 2 = 42 (43.5 to 44), Round((21 + 2) x 1.5) - 2 = 32 (34.5 to 34).
    EXPECT_EQ(drawn, expected); // at its own size
    EXPECT_EQ(scrolls, (std::vector<QPoint>{{42 - 312, 32 - 312}})); // the label's corner less 300

    TObjects o;
    const QImage objects = o.Draw();
    EXPECT_EQ(BoxOf(objects, TObjects::Red), QRect(17, 17, 25, 25));  // Round(15 x 1.5) - 5, 22.5 to 22
    EXPECT_EQ(BoxOf(objects, TObjects::Blue), QRect(97, 20, 30, 20)); // Round(75 x 1.5) - 15, 112.5 to 112
    EXPECT_EQ(BoxOf(objects, TObjects::Yellow), QRect(6, 151, 8, 6)); // 10.5 to 10, 154.5 to 154
    EXPECT_EQ(BoxOf(objects, TObjects::Green), QRect(10, 92, 12, 8)); // the picture's own size counts

    // Centres: Round((11 + 10) x 1.5) = 32 (31.5 to 32), and (Round(71 x 1.5), Round(41 x 1.5)) = (106, 62).
    TKill k;
    k.zoom = 1500;
    const QImage line = k.Draw();
    EXPECT_EQ(BoxOf(line, qRgb(0, 128, 0)), QRect(101, 57, 10, 10));
    EXPECT_EQ(line.pixel(32, 32), White);
    EXPECT_EQ(line.pixel(31, 31), Black);
}
