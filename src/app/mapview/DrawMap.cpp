// One frame of the replay on the zoomed map and the minimap, and the draw thread that asks
// for frames.
#include "app/UTarvelMain.h"
#include "base/ErrorReporting.h"
#include "base/Numeric.h"

#include <QCheckBox>
#include <QScrollBar>
#include <QSlider>
#include <QTreeWidget>

void TTarvelMain::DrawMap()
{
    if (!FLayoutChanged)
        return;
    FLayoutChanged = false;
    TFrameScene scene;
    scene.zoom = FZoom;
    scene.mapSize = MapZoomImage->size();
    // A large map picture is decoded on a thread of its own: until it is there, the frame goes
    // without it and the draw loop draws again. Without the loop no later frame comes: waited for.
    scene.mapPicture = FMapImage.ReadyPicture();
    if (!scene.mapPicture && FMapImage.HasPicture()) {
        if (FDrawThread && FDrawThread->Running())
            FLayoutChanged = true;
        else
            scene.mapPicture = &FMapImage.Picture();
    }
    if (const QImage* grid = GridPicture()) // a map without a picture of its own
        scene.mapPicture = grid;
    scene.objects = &FSession.MapObjects();
    scene.states = &FSession.PlayerStates();
    scene.showObjects = CBShowobjects->isChecked();
    scene.showFlags = ShowFlags->isChecked();
    scene.showHitLines = ShowHitLines->isChecked();
    scene.killInfo = CBKillINfo->isChecked();
    scene.timeToSeeLine = TBTimeToSeeLine->value();
    scene.replayTime = FSession.ReplayTime();
    if (CBTrackPlayer->isChecked()) {
        const QList<QTreeWidgetItem*> selected = ScoreBord->selectedItems();
        scene.tracked = selected.isEmpty() ? nullptr : StateOfRow(selected.first());
    }
    scene.font = FFrameFont;
    AddOverlays(scene);
    scene.placeObject = [this](TMapObject& object) { PlaceMapObject(object); };
    scene.scrollTo = [this](int x, int y) { ScrollMapView({x, y}); };
    QImage& bitmap = MapZoomImage->Bitmap();
    if (bitmap.format() != QImage::Format_RGB888)
        bitmap = bitmap.convertToFormat(QImage::Format_RGB888);
    DrawFrame(FFrameCanvas, bitmap, scene);
    MapZoomImage->update();

    ShowMinimap();
}

void TTarvelMain::ShowMinimap()
{
    // Half the picture, as designed, only where that fits the page: a large imported picture
    // would make the minimap larger than the zoomed map, cut off by its page and costly to draw.
    const QSize room = MinimapRoom();
    FMinimap = MinimapSize(FMapImage.Width, FMapImage.Height, room.width(), room.height());
    DrawMinimap(MapZoomImage->Picture(), BigPicture->Bitmap(), FMinimap.Width, FMinimap.Height);
    BigPicture->resize(FMinimap.Width, FMinimap.Height);
    BigPicture->update();
}

bool TTarvelMain::IsMapObjectInUse(const TMapObject& object) const { return ::IsMapObjectInUse(FSession.PlayerStates(), &object); }

void TTarvelMain::StartDrawThread()
{
    if (!FDrawThreadEnabled || !FDrawThread)
        return;
    FDrawThread->SetRunning(true);
    FDrawThread->start(); // no effect on a thread that runs
}

void TTarvelMain::StopDrawThread() { FDrawThread->Stop(); }
