// A frame of the replay as the window draws it, at zoom 1000 and at zoom 10000: 64 players
// moving, 40 map objects and a 1024 x 1024 map picture, the minimap included; and the memory
// the zoomed map takes.
#include "BenchSupport.h"
#include "mapview/FrameDrawing.h"
#include "mapview/MapObject.h"
#include "replay/InfoClass.h"
#include "replay/PlayerStates.h"

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
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
            state->Image.SetPicture(Picture(kits[i % 5]));
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

TFrameFigures MeasureFrames(TScene& scene, int zoom)
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
    std::vector<double> times;
    TFrameFigures figures;
    for (int i = 0; i < 61; ++i) {
        scene.Move();
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

} // namespace

void ReportFrameBenchmarks()
{
    // Labels need fonts, and fonts an application.
    static int argc = 1;
    static char name[] = "ornwick_benchmarks";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
    TScene scene;
    const TFrameFigures normal = MeasureFrames(scene, 1000);
    const TFrameFigures zoomed = MeasureFrames(scene, 10000);
    std::printf("frame, 64 players, 40 objects, 1024 x 1024 map, minimap included: zoom 1000 %.2f ms, zoom 10000 %.2f ms"
                " (first frame %.1f ms / %.1f ms; goal <= 16 ms)\n",
                normal.medianMs, zoomed.medianMs, normal.firstMs, zoomed.firstMs);
    std::printf("memory of the zoomed map, zoom 10000 over zoom 1000: %.1f MB  (%.1f MB / %.1f MB; goal < 150 MB)\n",
                (zoomed.bitmapKb - normal.bitmapKb) / 1024.0, zoomed.bitmapKb / 1024.0, normal.bitmapKb / 1024.0);
}
