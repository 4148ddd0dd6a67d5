// A frame of the replay as the window draws it, at zoom 1000 and at zoom 10000: 64 players
// moving, 40 map objects and a 1024 x 1024 map picture, the minimap included; the memory the
// zoomed map takes; and the same frames with every overlay on.
#include "BenchSupport.h"
#include "frame/FrameDrawing.h"
#include "mapview/MapObject.h"
#include "mapview/Overlays.h"
#include "replay/InfoClass.h"
#include "replay/PlayerStates.h"

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

long ResidentKb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

QImage Picture(const char* name)
{
    QImage picture(QString::fromStdString(ProgramFolder() + "/images/" + name));
    return picture.convertToFormat(QImage::Format_RGB888);
}

struct TScene {
    // A map picture of 1024 x 1024 whatever size the shipped one has.
    QImage map = Picture("bramble_bay.jpg").scaled(1024, 1024);
    TMapObjectList objects;
    TPlayerStateList states;
    std::mt19937 random{9};

    TScene()
    {
        const char* objectPictures[] = {"AXISVLAG.bmp", "ALIESVLAG.bmp", "GRAYVLAG.bmp", "Jeep.bmp", "HeavyTank.bmp"};
        for (int i = 0; i < 40; ++i) {
            TMapObject& o = *objects.Add("");
            o.FObjectClass = i < 10 ? "controlpoint" : "Jeep";
            o.FImage.SetPicture(Picture(objectPictures[i % 5]));
            o.FImage.SetSizeToPicture();
            o.FImage.Left = static_cast<int>(random() % 580);
            o.FImage.Top = static_cast<int>(random() % 580);
        }
        const char* kits[] = {"assault.bmp", "medic.bmp", "scout.bmp", "engineer.bmp", "antitank.bmp"};
        for (int i = 0; i < 64; ++i) {
            auto state = std::make_unique<TInfoClass>();
            state->PlayerID = i;
            state->PlayerName = "Player " + std::to_string(i);
            states.Pictures().Show(state->Image, kits[i % 5], Picture(kits[i % 5]));
            state->SetTeam(1 + i % 2);
            state->Image.Left = static_cast<int>(random() % 580);
            state->Image.Top = static_cast<int>(random() % 580);
            state->KilledByID = (i + 1) % 64;
            state->KillByTime = 100 + i;
            states.Add(PlayerKey(i), std::move(state));
        }
    }

    // Every player a step further, in a direction of its own.
    void Move()
    {
        for (int i = 0; i < states.Count(); ++i) {
            TInfoClass& s = *states.State(i);
            s.CommingFrom = s.GoingTo;
            s.GoingTo.X += static_cast<double>(random() % 7) - 3;
            s.GoingTo.Z += static_cast<double>(random() % 7) - 3;
            s.Image.Left = std::clamp(s.Image.Left + static_cast<int>(random() % 5) - 2, 0, 590);
            s.Image.Top = std::clamp(s.Image.Top + static_cast<int>(random() % 5) - 2, 0, 590);
        }
    }
};

struct TFrameFigures {
    double medianMs = 0;
    double firstMs = 0;
    long bitmapKb = 0; // resident memory the zoomed map and its frames added
};

// What the overlays draw from in a busy moment: every player's trail of the last 60 s (half of
// them in vehicles, an event every half second), 300 deaths in clusters and a full kill feed.
struct TOverlays {
    TOverlayHistory history;
    double now = 100;
    int ticks = 0;
    std::vector<QPointF> heading; // map pixels per second

    explicit TOverlays(TScene& scene)
    {
        std::mt19937 random(21);
        for (int i = 0; i < scene.states.Count(); ++i) {
            const double speed = i % 2 ? 10 : 3;
            const double angle = static_cast<double>(random() % 628) / 100;
            heading.emplace_back(speed * std::cos(angle), speed * std::sin(angle));
        }
        // 60 s of walking up to where the markers stand now.
        for (int tick = -600; tick <= 0; tick += 5)
            for (int i = 0; i < scene.states.Count(); ++i) {
                const TInfoClass& s = *scene.states.State(i);
                const QPointF at = QPointF(s.Image.Left + 12, s.Image.Top + 12) + heading[static_cast<size_t>(i)] * (tick / 10.0);
                history.AddTrailPoint(s.PlayerID, now + tick / 10.0, at.toPoint().x(), at.toPoint().y());
            }
        for (int i = 0; i < 300; ++i) {
            const QPoint cluster(static_cast<int>(60 + (i % 12) * 45), static_cast<int>(80 + (i % 7) * 70));
            const QPoint spread(static_cast<int>(random() % 41) - 20, static_cast<int>(random() % 41) - 20);
            history.AddDeath(i, {now - 1 - i * 0.2, static_cast<double>((cluster + spread).x()), static_cast<double>((cluster + spread).y()), 1 + i % 2});
        }
        for (int i = 0; i < 8; ++i) {
            TKillNote kill;
            kill.time = now - 0.5 * i;
            kill.killer = "Player " + std::to_string(i);
            kill.victim = "Player " + std::to_string(40 + i);
            kill.weapon = "RocketLauncher";
            kill.killerTeam = 1 + i % 2;
            kill.victimTeam = 2 - i % 2;
            kill.teamKill = i == 3;
            history.AddKill(1000 + i, kill);
        }
    }

    // A tick later; every half second each player's event where Move put the marker.
    void Tick(TScene& scene)
    {
        now += 0.1;
        if (++ticks % 5)
            return;
        // A kill a second: the feed stays full.
        if (ticks % 10 == 0) {
            TKillNote kill = history.Kills().rbegin()->second;
            kill.time = now;
            kill.killer = "Player " + std::to_string(ticks % 64);
            history.AddKill(1000 + ticks, kill);
        }
        for (int i = 0; i < scene.states.Count(); ++i) {
            const TInfoClass& s = *scene.states.State(i);
            const QPoint at(s.Image.Left + 12, s.Image.Top + 12);
            history.AddTrailPoint(s.PlayerID, now, at.x(), at.y());
        }
    }
};

// The window's map view: 464 x 587 pixels in the middle of the zoomed map; no view: the whole
// zoomed map, as the render command draws it.
QRect WindowView(int side) { return QRect(std::max(0, side / 2 - 232), std::max(0, side / 2 - 293), 464, 587); }

TFrameFigures MeasureFrames(TScene& scene, int zoom, TOverlays* overlays = nullptr, bool wholeMap = false)
{
    const long before = ResidentKb();
    const int side = static_cast<int>(zoom * 600 / 1000);
    QImage bitmap(side, side, QImage::Format_RGB888);
    bitmap.fill(Qt::white);
    QImage minimap;
    TFrameCanvas canvas;
    TFrameScene frame;
    frame.zoom = zoom;
    frame.mapSize = QSize(side, side);
    frame.mapPicture = &scene.map;
    frame.objects = &scene.objects;
    frame.states = &scene.states;
    frame.replayTime = 95;
    frame.placeObject = [](TMapObject&) {};
    if (overlays) {
        frame.overlays.history = &overlays->history;
        frame.overlays.placing = {1000, -1000, 0, 0, 0}; // world places are the map's pixels
        frame.overlays.trailSeconds = 60;
        frame.overlays.deathMap = frame.overlays.killFeed = true;
        if (!wholeMap)
            frame.visible = WindowView(side);
    }
    std::vector<double> times;
    TFrameFigures figures;
    for (int i = 0; i < 61; ++i) {
        scene.Move();
        if (overlays) {
            overlays->Tick(scene);
            frame.replayTime = overlays->now;
            // The kill lines stay those of the frames without overlays.
            for (int k = 0; k < scene.states.Count(); ++k)
                scene.states.State(k)->KillByTime = 100 + k + (overlays->now - 95);
        }
        const auto start = std::chrono::steady_clock::now();
        DrawFrame(canvas, bitmap, frame);
        DrawMinimap(bitmap, minimap, 512, 512);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (i == 0)
            figures.firstMs = ms;
        else
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    figures.medianMs = times[times.size() / 2];
    figures.bitmapKb = ResidentKb() - before;
    return figures;
}

// Labels need fonts, and fonts an application.
void MakeApplication()
{
    static int argc = 1;
    static char name[] = "ornwick_benchmarks";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

} // namespace

double FramesPerSecond(double seconds)
{
    MakeApplication();
    static TScene scene;
    static TOverlays overlays(scene);
    const int side = 600;
    QImage bitmap(side, side, QImage::Format_RGB888);
    QImage minimap;
    TFrameCanvas canvas;
    TFrameScene frame;
    frame.zoom = 1000;
    frame.mapSize = QSize(side, side);
    frame.mapPicture = &scene.map;
    frame.objects = &scene.objects;
    frame.states = &scene.states;
    frame.placeObject = [](TMapObject&) {};
    frame.overlays.history = &overlays.history;
    frame.overlays.placing = {1000, -1000, 0, 0, 0};
    frame.overlays.trailSeconds = 60;
    frame.overlays.deathMap = frame.overlays.killFeed = true;
    frame.visible = WindowView(side);
    // One frame after another, as the window's timer asks for them.
    int frames = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    while (elapsed < seconds) {
        scene.Move();
        overlays.Tick(scene);
        frame.replayTime = overlays.now;
        DrawFrame(canvas, bitmap, frame);
        DrawMinimap(bitmap, minimap, 512, 512);
        ++frames;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    return frames / elapsed;
}

void ReportFrameBenchmarks()
{
    MakeApplication();
    TScene scene;
    const TFrameFigures normal = MeasureFrames(scene, 1000);
    const TFrameFigures zoomed = MeasureFrames(scene, 10000);
    std::printf("frame, 64 players, 40 objects, 1024 x 1024 map, minimap included: zoom 1000 %.2f ms, zoom 10000 %.2f ms"
                " (first frame %.1f ms / %.1f ms; goal <= 16 ms)\n",
                normal.medianMs, zoomed.medianMs, normal.firstMs, zoomed.firstMs);
    std::printf("memory of the zoomed map, zoom 10000 over zoom 1000: %.1f MB  (%.1f MB / %.1f MB; goal < 150 MB)\n",
                (zoomed.bitmapKb - normal.bitmapKb) / 1024.0, zoomed.bitmapKb / 1024.0, normal.bitmapKb / 1024.0);

    TOverlays overlays(scene);
    const TFrameFigures overlaid = MeasureFrames(scene, 1000, &overlays);
    const TFrameFigures overlaidZoomed = MeasureFrames(scene, 10000, &overlays);
    std::printf("frame with 60 s trails, death map (300 deaths) and kill feed, 64 players, the window's view:"
                " zoom 1000 %.2f ms, zoom 10000 %.2f ms (goal <= 16 ms)\n",
                overlaid.medianMs, overlaidZoomed.medianMs);
    const TFrameFigures whole = MeasureFrames(scene, 1000, &overlays, true);
    const TFrameFigures wholeZoomed = MeasureFrames(scene, 10000, &overlays, true);
    std::printf("the same over the whole zoomed map (render, export): zoom 1000 %.2f ms, zoom 10000 %.2f ms;"
                " trail memory %zu places for %zu players\n",
                whole.medianMs, wholeZoomed.medianMs, overlays.history.PointCount(), overlays.history.TrailCount());
}
