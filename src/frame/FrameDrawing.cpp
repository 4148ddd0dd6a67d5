#include "frame/FrameDrawing.h"
#include "frame/OverlayDrawing.h"

#include "base/Numeric.h"
#include "mapview/MapObject.h"
#include "replay/InfoClass.h"
#include "replay/PlayerStates.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

QImage As24Bit(const QImage& picture)
{
    return picture.format() == QImage::Format_RGB888 ? picture : picture.convertToFormat(QImage::Format_RGB888);
}

QRgb Pixel24(const uchar* p) { return qRgb(p[0], p[1], p[2]); }

// The source index of each target index across a stretch of `source` over `whole` pixels.
int SourceIndex(int offset, int source, int whole)
{
    // Pixel centres: target pixel i samples the source pixel under its centre.
    return static_cast<int>((2LL * offset + 1) * source / (2LL * whole));
}

// Stretches the picture over `whole`, only inside `part`; with a key, pixels of that colour
// are left out.
void Stretch(QImage& target, const QRect& whole, const QImage& source, const QRect& part, bool keyed, QRgb key)
{
    if (source.isNull() || whole.isEmpty())
        return;
    const QRect area = whole.intersected(part).intersected(target.rect());
    if (area.isEmpty())
        return;
    const int sw = source.width();
    const int sh = source.height();
    std::vector<int> columns(static_cast<size_t>(area.width()));
    for (int x = area.left(); x <= area.right(); ++x)
        columns[static_cast<size_t>(x - area.left())] = 3 * SourceIndex(x - whole.left(), sw, whole.width());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar* from = source.constScanLine(SourceIndex(y - whole.top(), sh, whole.height()));
        uchar* to = target.scanLine(y) + 3 * area.left();
        if (!keyed) {
            for (const int column : columns) {
                const uchar* p = from + column;
                to[0] = p[0];
                to[1] = p[1];
                to[2] = p[2];
                to += 3;
            }
            continue;
        }
        for (const int column : columns) {
            const uchar* p = from + column;
            if (Pixel24(p) != key) {
                to[0] = p[0];
                to[1] = p[1];
                to[2] = p[2];
            }
            to += 3;
        }
    }
}

int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

int32_t Zoomed(int32_t position, long double zoom) { return RoundToInt32(position * zoom); }

// Where a picture placed at (left, top) on the unzoomed map is drawn, at its own size: its
// centre goes to the zoomed place of its centre. Zooming its corner instead would move it off
// its place by half its size times the zoom. For map objects' pictures and markers alike.
template <class TPlaced>
QPoint ZoomedCorner(const TPlaced& image, long double zoom)
{
    const int32_t halfWidth = DivTrunc(image.Width, 2);
    const int32_t halfHeight = DivTrunc(image.Height, 2);
    return {CheckedSub(Zoomed(CheckedAdd(image.Left, halfWidth), zoom), halfWidth),
            CheckedSub(Zoomed(CheckedAdd(image.Top, halfHeight), zoom), halfHeight)};
}

} // namespace

QImage RotateBitmap(const QImage& picture, int cx, int cy, double angle)
{
    const QImage source = As24Bit(picture);
    const int width = source.width();
    const int height = source.height();
    QImage turned(width, height, QImage::Format_RGB888);
    const double sinA = std::sin(angle);
    const double cosA = std::cos(angle);
    for (int y = height - 1; y >= 0; --y) {
        uchar* to = turned.scanLine(y);
        const int dy = y - cy;
        for (int x = width - 1; x >= 0; --x) {
            const int dx = x - cx;
            const int sx = RoundHalfEven(dx * cosA - dy * sinA) + cx;
            const int sy = RoundHalfEven(dx * sinA + dy * cosA) + cy;
            uchar* p = to + 3 * x;
            if (sx >= 0 && sx < width && sy >= 0 && sy < height) {
                const uchar* q = source.constScanLine(sy) + 3 * sx;
                p[0] = q[0];
                p[1] = q[1];
                p[2] = q[2];
            } else {
                p[0] = p[1] = p[2] = 255;
            }
        }
    }
    return turned;
}

double MarkerAngle(const TVector& from, const TVector& to, bool dead)
{
    if (dead)
        return 0;
    const int32_t a = RoundToInt32(static_cast<long double>(from.X) - to.X);
    const int32_t b = RoundToInt32(static_cast<long double>(to.Z) - from.Z);
    const double toPoint = a == 0 && b == 0 ? 0.0 : std::atan2(static_cast<double>(a), static_cast<double>(b));
    return toPoint - 3 * std::numbers::pi / 2;
}

void StretchNearest(QImage& target, const QRect& whole, const QImage& source, const QRect& part)
{
    Stretch(target, whole, source, part, false, 0);
}

void TFrameCanvas::Begin(QImage& bitmap, const QSize& mapSize, const QImage* mapPicture)
{
    End();
    // Another bitmap (the zoom changed) holds none of the last frame.
    if (&bitmap != FBitmap || bitmap.size() != FBitmapSize || bitmap.constBits() != FBitmapBits || mapSize != FMapSize)
        FWhole = true;
    FBitmap = &bitmap;
    FBitmapSize = bitmap.size();
    FMapSize = mapSize;
    if (mapPicture && !mapPicture->isNull()) {
        if (mapPicture->cacheKey() != FPictureKey || FPicture24.isNull()) {
            FPicture24 = As24Bit(*mapPicture);
            FPictureKey = mapPicture->cacheKey();
            FWhole = true;
        }
        const QRect all(QPoint(0, 0), mapSize);
        if (FWhole)
            StretchNearest(bitmap, all, FPicture24, all);
        else
            for (const QRect& touched : FTouched)
                StretchNearest(bitmap, all, FPicture24, touched);
        FWhole = false;
    } else {
        // Without a map picture the frame is drawn over the last one; a picture loaded later
        // covers everything.
        FPicture24 = QImage();
        FPictureKey = 0;
        FWhole = true;
    }
    FBitmapBits = bitmap.constBits();
    FTouched.clear();
}

QPainter& TFrameCanvas::Painter()
{
    if (!FPainter)
        FPainter = std::make_unique<QPainter>(FBitmap);
    return *FPainter;
}

void TFrameCanvas::End() { FPainter.reset(); }

void TFrameCanvas::Touch(const QRect& rect)
{
    const QRect inside = rect.intersected(FBitmap->rect());
    if (!inside.isEmpty())
        FTouched.push_back(inside);
}

void TFrameCanvas::StretchDraw(const QRect& target, const QImage& picture, bool transparent)
{
    if (picture.isNull() || target.isEmpty())
        return;
    if (transparent) {
        StretchDrawKeyed(target, picture, picture.pixel(0, 0));
        return;
    }
    Stretch(*FBitmap, target, As24Bit(picture), target, false, 0);
    Touch(target);
}

void TFrameCanvas::StretchDrawKeyed(const QRect& target, const QImage& picture, QRgb key)
{
    if (picture.isNull() || target.isEmpty())
        return;
    Stretch(*FBitmap, target, As24Bit(picture), target, true, key | 0xFF000000u);
    Touch(target);
}

void TFrameCanvas::Text(const QPoint& topLeft, const std::string& latin1, const QColor& colour, const QFont& font)
{
    const QString text = QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
    QPainter& painter = Painter();
    painter.setFont(font);
    painter.setPen(colour);
    const QRect room(topLeft, QSize(1 << 20, 1 << 16));
    painter.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
    // Glyphs may reach a pixel past their metrics.
    Touch(QFontMetrics(font).boundingRect(room, Qt::AlignLeft | Qt::AlignTop, text).adjusted(-2, -2, 2, 2));
}

void TFrameCanvas::Line(const QPoint& from, const QPoint& to, const QColor& pen)
{
    QPainter& painter = Painter();
    painter.setPen(QPen(pen, 1));
    painter.drawLine(from, to);
    // A long slanted line touches a thin band, not its whole bounding box: it is noted in
    // short pieces.
    const QPoint d = to - from;
    const int steps = std::max(1, std::max(std::abs(d.x()), std::abs(d.y())) / 32);
    for (int i = 0; i < steps; ++i) {
        const QPoint a = from + d * i / steps;
        const QPoint b = from + d * (i + 1) / steps;
        Touch(QRect(a, b).normalized().adjusted(-2, -2, 2, 2));
    }
}

void TFrameCanvas::Ellipse(const QRect& bounds, const QColor& pen)
{
    QPainter& painter = Painter();
    painter.setPen(QPen(pen, 1));
    painter.setBrush(Qt::white);
    // The outline of a Qt rectangle covers one pixel more than its size.
    painter.drawEllipse(bounds.adjusted(0, 0, -1, -1));
    Touch(bounds.adjusted(-1, -1, 1, 1));
}

bool IsMapObjectInUse(const TPlayerStateList& states, const TMapObject* object)
{
    for (int i = 0; i < states.Count(); ++i)
        if (states.State(i)->MapObjectInUse == object)
            return true;
    return false;
}

namespace {

const QImage NoPicture;

QPoint Centre(const TInfoClass& p, long double zoom)
{
    return ZoomedCorner(p.Image, zoom) + QPoint(DivTrunc(p.Image.Width, 2), DivTrunc(p.Image.Height, 2));
}

void DrawObjects(TFrameCanvas& canvas, const TFrameScene& scene, long double zoom)
{
    TMapObjectList& objects = *scene.objects;
    for (int i = 0; i < objects.Count(); ++i) {
        TMapObject& o = *objects.Object(i);
        if (IsMapObjectInUse(*scene.states, &o))
            continue;
        o.SetPosition(std::string(o.FPosition));
        scene.placeObject(o);
        const QImage& picture = o.FImage.Bitmap();
        o.FImage.Width = picture.width();
        o.FImage.Height = picture.height();
        // With its size set first, its centre is the same whatever size it had before.
        const QPoint corner = ZoomedCorner(o.FImage, zoom);
        const int32_t x = corner.x();
        const int32_t y = corner.y();
        if (o.FObjectClass == "controlpoint") {
            if (scene.showFlags)
                canvas.StretchDraw(QRect(x, y, 25, 25), picture, o.FImage.Transparent);
        } else {
            canvas.StretchDraw(QRect(x, y, o.FImage.Width, o.FImage.Height), picture, o.FImage.Transparent);
        }
    }
}

// The part of the bitmap in view once the frame has scrolled to the tracked player: the
// scroll box keeps its scroll positions between 0 and the bitmap's size less the view's.
QRect FrameView(const TFrameScene& scene, const QImage& bitmap, long double zoom)
{
    if (scene.visible.isEmpty())
        return bitmap.rect();
    QRect view = scene.visible;
    if (scene.tracked && scene.scrollTo) {
        const QPoint corner = ZoomedCorner(scene.tracked->Image, zoom) - QPoint(12 + 300, 12 + 300);
        view.moveTo(std::clamp(corner.x(), 0, std::max(0, bitmap.width() - view.width())),
                    std::clamp(corner.y(), 0, std::max(0, bitmap.height() - view.height())));
    }
    return view.intersected(bitmap.rect());
}

void DrawPlayers(TFrameCanvas& canvas, const TFrameScene& scene, long double zoom)
{
    TPlayerStateList& states = *scene.states;
    for (int i = 0; i < states.Count(); ++i) {
        TInfoClass& s = *states.State(i);
        const QPoint corner = ZoomedCorner(s.Image, zoom);
        int32_t x = corner.x();
        int32_t y = corner.y();
        const QImage* painted = states.Pictures().Painted(s.Image);
        const QImage& marker = painted ? *painted : NoPicture;
        if (!marker.isNull()) {
            const double angle = MarkerAngle(s.CommingFrom, s.GoingTo, s.Dead);
            const QImage turned = RotateBitmap(marker, marker.width() / 2, marker.height() / 2, angle);
            canvas.StretchDrawKeyed(QRect(x, y, marker.width(), marker.height()), turned, marker.pixel(0, 0));
        }
        x = CheckedSub(x, 12);
        y = CheckedSub(y, 12);
        if (scene.tracked == &s && scene.scrollTo)
            scene.scrollTo(CheckedSub(x, 300), CheckedSub(y, 300));
        const QColor colour = s.Team() == 1 ? QColor(0, 255, 0) : QColor(0, 255, 255);
        const std::string label =
            scene.killInfo && s.Dead ? s.KilledByName + "-" + s.KilledByWeapon + "-" + s.PlayerName : s.PlayerName;
        canvas.Text(QPoint(x, y), label, colour, scene.font);

        if (!scene.showHitLines || s.KilledByID == 0 || s.Dead)
            continue;
        const TInfoClass* killer = states.Find(PlayerKey(s.KilledByID));
        if (!killer || killer->Dead || !(scene.timeToSeeLine > s.KillByTime - scene.replayTime) ||
            !(s.KillByTime < killer->KillByTime))
            continue;
        const QPoint victim = Centre(s, zoom);
        canvas.Line(Centre(*killer, zoom), victim, QColor(255, 255, 255));
        // The green line to the same point has no length and draws nothing.
        canvas.Ellipse(QRect(victim.x() - 5, victim.y() - 5, 10, 10), QColor(0, 128, 0));
    }
}

} // namespace

void DrawFrame(TFrameCanvas& canvas, QImage& bitmap, const TFrameScene& scene)
{
    canvas.Begin(bitmap, scene.mapSize, scene.mapPicture);
    // The painter lets go of the bitmap however the frame ends: a bitmap being painted on
    // must not be replaced (the zoom) or freed.
    struct TEnd {
        TFrameCanvas& canvas;
        ~TEnd() { canvas.End(); }
    } end{canvas};
    const long double zoom = static_cast<long double>(scene.zoom) / 1000.0L;
    const TFrameOverlays& overlays = scene.overlays;
    QRect view, clip;
    if (overlays.Any()) {
        view = FrameView(scene, bitmap, zoom);
        // Overlays reach a quarter of the view past each of its edges, so that a small scroll
        // shows them at once; a larger one asks for the next frame.
        clip = view.adjusted(-view.width() / 4, -view.height() / 4, view.width() / 4, view.height() / 4);
    }
    // The death map lies on the ground, the trails under the markers, the kill feed over all.
    if (overlays.Any() && overlays.deathMap)
        DrawDeathMap(canvas, bitmap, scene, clip);
    if (scene.showObjects && scene.objects)
        DrawObjects(canvas, scene, zoom);
    if (overlays.Any() && overlays.trailSeconds > 0)
        DrawTrails(canvas, bitmap, scene, clip);
    if (scene.states)
        DrawPlayers(canvas, scene, zoom);
    if (overlays.Any() && overlays.killFeed)
        DrawKillFeed(canvas, bitmap, scene, view);
}

void DrawMinimap(const QImage& zoomedMap, QImage& minimap, int width, int height)
{
    if (minimap.size() != QSize(width, height) || minimap.format() != QImage::Format_RGB888)
        minimap = width > 0 && height > 0 ? QImage(width, height, QImage::Format_RGB888) : QImage();
    if (minimap.isNull() || zoomedMap.isNull())
        return;
    StretchNearest(minimap, minimap.rect(), As24Bit(zoomedMap), minimap.rect());
}
