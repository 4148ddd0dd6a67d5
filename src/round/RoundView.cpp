#include "round/RoundView.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/TextList.h"
#include "log/EventInfo.h"
#include "mapview/Minimap.h"
#include "mapview/RoundMap.h"
#include "replay/PlayerStates.h"
#include "replay/ReplaySession.h"
#include "round/RoundReplay.h"
#include "settings/ProgramFolder.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>

TFrameScene ViewScene(TReplaySession& session, const TViewOptions& options)
{
    TFrameScene scene;
    scene.objects = &session.MapObjects();
    scene.states = &session.PlayerStates();
    scene.showObjects = options.showObjects;
    scene.showFlags = options.showFlags;
    scene.showHitLines = options.showHitLines;
    scene.killInfo = options.killInfo;
    scene.timeToSeeLine = options.timeToSeeLine;
    scene.replayTime = session.ReplayTime();
    scene.overlays.history = &session.Overlays();
    scene.overlays.placing = session.Placing();
    scene.overlays.trailSeconds = options.TrailsShown();
    scene.overlays.deathMap = options.deathMap;
    scene.overlays.killFeed = options.killFeed;
    return scene;
}

void DrawRoundFrame(TFrameCanvas& canvas, QImage& bitmap, TGridCache& grid, TReplaySession& session,
                    const TFrameMap& map, const TViewOptions& options, const TFrameTarget& target)
{
    TFrameScene scene = ViewScene(session, options);
    scene.zoom = target.zoom;
    scene.mapSize = target.mapSize;
    scene.mapPicture = map.picture;
    if (map.pictureMissing && options.gridBackground)
        scene.mapPicture = &grid.Picture(target.mapSize, target.zoom, map.calibration, map.pictureHeight, target.font);
    if (const std::string tracked = options.Tracked(); !tracked.empty())
        scene.tracked = session.PlayerStates().Find(tracked);
    scene.font = target.font;
    if (scene.overlays.Any())
        scene.visible = target.visible;
    scene.placeObject = target.placeObject ? target.placeObject : [&session](TMapObject& object) { session.PlaceMapObject(object); };
    scene.scrollTo = target.scrollTo ? target.scrollTo : [](int, int) {};
    if (bitmap.format() != QImage::Format_RGB888)
        bitmap = bitmap.convertToFormat(QImage::Format_RGB888);
    DrawFrame(canvas, bitmap, scene);
}

TRoundView::TRoundView(std::optional<QSize> view) : FView(view) {}

QSize TRoundView::ViewSize() const { return FView.value_or(QSize(DesignedViewWidth, DesignedViewHeight)); }

void TRoundView::StartZoom(const TTextList& settings)
{
    try {
        FZoom = std::clamp(::StartZoom(settings), MinMapZoom, MaxMapZoom);
    } catch (const std::exception&) {
        FZoom = DesignedMapZoom; // the start reports it
    }
}

void TRoundView::MoveZoom(int zoom)
{
    const int moved = std::clamp(zoom, MinMapZoom, MaxMapZoom);
    if (moved != FZoom)
        FUserZoomed = true;
    FZoom = moved;
}

void TRoundView::ScrollTo(TViewScroll scroll)
{
    const QSize view = ViewSize();
    FScroll = LimitScroll(scroll, FZoom, view.width(), view.height(), MapCornerX, MapCornerY);
}

std::optional<TViewPlace> FramePlaces(const std::vector<TWorldPoint>& places, const TRoundMap& map, QSize view,
                                      QPoint corner)
{
    const std::optional<TMapBox> box = PlacesBox(places, map.Calibration().Placing(), map.Picture().Height);
    if (!box)
        return std::nullopt;
    TViewPlace place;
    place.zoom = ZoomToFrame(*box, view.width(), view.height());
    place.scroll = ScrollToCentre(*box, place.zoom, view.width(), view.height(), corner.x(), corner.y());
    return place;
}

std::optional<TViewPlace> FirstViewPlace(const TRoundMap& map, bool larger, bool userZoomed, QSize room,
                                         QSize frameView, QPoint corner)
{
    // The places the map was fitted to are the ones the view frames; a fit that could not be
    // made frames nothing.
    const std::vector<TWorldPoint>& places = map.FittedPlaces();
    switch (FirstViewOf(map.PictureMissing(), map.CalibrationSaved(), !places.empty(), larger, userZoomed)) {
    case TFirstView::Keep:
        return std::nullopt;
    case TFirstView::FitMap:
        // The fight, with the map's objects near it, rather than a whole world it may be a
        // corner of; the whole map where the round has no place.
        if (const std::optional<TViewPlace> fight = FramePlaces(map.FightPlaces(), map, frameView, corner))
            return fight;
        return TViewPlace{ZoomToFit(room.width() - corner.x(), room.height() - corner.y()), {}};
    case TFirstView::FrameRound:
        return FramePlaces(places, map, frameView, corner);
    }
    return std::nullopt;
}

void TRoundView::ApplyFirstView(const TRoundReplay& replay)
{
    // Larger than designed only with a view of its own: the designed one is the window's.
    const bool larger = FView && (FView->width() > DesignedViewWidth || FView->height() > DesignedViewHeight);
    // The framed map reaches past the designed view: its scroll bars take their room.
    const QSize frameView = FView ? *FView : QSize(DesignedViewWidth - ScrollBarBreadth, DesignedViewHeight - ScrollBarBreadth);
    if (const std::optional<TViewPlace> place =
            FirstViewPlace(replay.Map(), larger, FUserZoomed, ViewSize(), frameView, QPoint(MapCornerX, MapCornerY))) {
        FZoom = place->zoom;
        ScrollTo(place->scroll);
    }
}

void TRoundView::Draw(TRoundReplay& replay, const TViewOptions& options, const QFont& font)
{
    const TRoundMap& map = replay.Map();
    const int side = ZoomedMapSide(FZoom);
    FBitmap = QImage();
    if (side > 0) {
        FBitmap = QImage(side, side, QImage::Format_RGB888);
        FBitmap.fill(Qt::white);
    }
    FCanvas.Invalidate();
    TFrameMap frameMap;
    frameMap.picture = map.Picture().HasPicture() ? &map.Picture().Picture() : nullptr;
    frameMap.pictureMissing = map.PictureMissing();
    frameMap.calibration = {map.Sliders().XScale, map.Sliders().YScale, map.LeftMargin(), map.TopMargin()};
    frameMap.pictureHeight = map.Picture().Height;
    TFrameTarget target;
    target.zoom = FZoom;
    target.mapSize = QSize(side, side);
    target.font = font;
    target.scrollTo = [this](int x, int y) { ScrollTo({x, y}); };
    DrawRoundFrame(FCanvas, FBitmap, FGrid, replay.Session(), frameMap, options, target);
}

QImage TRoundView::ViewPicture(const QColor& background) const
{
    const QSize view = ViewSize();
    const TViewRect part = VisiblePart(FScroll, view.width(), view.height(), MapCornerX, MapCornerY);
    QImage picture(view, QImage::Format_RGB888);
    picture.fill(background);
    QPainter painter(&picture);
    painter.drawImage(QPoint(-part.X, -part.Y), FBitmap);
    return picture;
}

QImage TRoundView::Minimap(const TRoundReplay& replay) const
{
    const TPictureHolder& picture = replay.Map().Picture();
    const TMinimapSize size = MinimapSize(picture.Width, picture.Height, MinimapDesignedRoom, MinimapDesignedRoom);
    QImage minimap;
    DrawMinimap(FBitmap, minimap, size.Width, size.Height);
    return minimap;
}

void SavePictureAtomically(const QImage& picture, const std::string& fileName)
{
    const std::string extension = UpperCaseAscii(ExtractFileExt(fileName));
    const char* format = extension == ".PNG" ? "PNG" : extension == ".JPG" || extension == ".JPEG" ? "JPEG" : nullptr;
    if (!format)
        throw EBaseError("A picture is saved as .png, .jpg or .jpeg, not as " + fileName);
    if (picture.isNull())
        throw EBaseError("There is no picture to save yet");
    // Encoded first, then written in one piece: a failed write names the system's reason.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (std::string(format) == "JPEG")
        writer.setQuality(92);
    if (!writer.write(picture))
        throw EFCreateError(fileName);
    WriteWholeFile(fileName, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}
