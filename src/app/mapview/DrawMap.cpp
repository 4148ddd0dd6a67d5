// One frame of the replay on the zoomed map and the minimap, the draw thread that asks for
// frames, and the overlays the frame shows as the View menu switched them.
#include "app/UTarvelMain.h"
#include "base/ErrorReporting.h"
#include "base/Numeric.h"
#include "round/RoundView.h"

#include <QScrollBar>
#include <QSlider>

void TTarvelMain::DrawMap()
{
    if (!FLayoutChanged)
        return;
    FLayoutChanged = false;
    TFrameMap map;
    // A large map picture is decoded on a thread of its own: until it is there, the frame goes
    // without it and the draw loop draws again. Without the loop no later frame comes: waited for.
    map.picture = FMapImage.ReadyPicture();
    if (!map.picture && FMapImage.HasPicture()) {
        if (FDrawThread && FDrawThread->Running())
            FLayoutChanged = true;
        else
            map.picture = &FMapImage.Picture();
    }
    map.pictureMissing = MapPictureMissing();
    map.calibration = FReplay.Map().Calibration().Placing();
    map.pictureHeight = FMapImage.Height;
    TFrameTarget target;
    target.zoom = FZoom;
    target.mapSize = MapZoomImage->size();
    target.visible = OverlayPart();
    target.font = FFrameFont;
    target.placeObject = [this](TMapObject& object) { PlaceMapObject(object); };
    target.scrollTo = [this](int x, int y) { ScrollMapView({x, y}); };
    DrawRoundFrame(FFrameCanvas, MapZoomImage->Bitmap(), FGrid, FReplay.Session(), map, FView, target);
    MapZoomImage->update();

    FMapDrawn = true;
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

bool TTarvelMain::IsMapObjectInUse(const TMapObject& object) const { return ::IsMapObjectInUse(FReplay.Session().PlayerStates(), &object); }

void TTarvelMain::StartDrawThread()
{
    if (!FDrawThreadEnabled || !FDrawThread)
        return;
    FDrawThread->SetRunning(true);
    FDrawThread->start(); // no effect on a thread that runs
}

void TTarvelMain::StopDrawThread() { FDrawThread->Stop(); }

TFrameOverlays TTarvelMain::FrameOverlays() const
{
    TFrameOverlays overlays;
    overlays.history = &FReplay.Session().Overlays();
    overlays.placing = TReplaySession::PlacingOf(FReplay.Settings());
    overlays.trailSeconds = FView.TrailsShown();
    overlays.deathMap = FView.deathMap;
    overlays.killFeed = FView.killFeed;
    return overlays;
}

QRect TTarvelMain::OverlayPart() const
{
    // A window on the screen shows part of the map; one that is not draws all of it.
    if (!FrameOverlays().Any() || !isVisible())
        return {};
    const QWidget* view = ScrollBox1->viewport();
    const QPoint corner = MapZoomImage->mapFrom(view, QPoint(0, 0));
    return QRect(corner, view->size()).intersected(MapZoomImage->rect());
}

void TTarvelMain::OverlaysMayHaveMoved()
{
    if (FrameOverlays().Any())
        FLayoutChanged = true;
}
