#pragma once

// One frame of the replay drawn on the zoomed map bitmap: the map picture, the map's objects
// and flags, the turned markers with their labels and the kill lines; and the minimap.
//
// A frame looks as if the whole map picture were stretched anew and everything drawn over it.
// To stay cheap on a 6000-pixel map, the canvas remembers where the last frame drew over the
// picture and stretches the picture again only there; the stretch is one nearest-pixel rule
// for the whole bitmap and for any part of it, so both give the same pixels.

#include "frame/OverlayDrawing.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;
class TInfoClass;
class TMapObject;
class TMapObjectList;
class TPlayerStateList;
class TVector;

// The picture turned about (cx, cy) by angle (radians), looked up pixel by pixel; pixels that
// come from outside the picture are white. 24 bits per pixel.
QImage RotateBitmap(const QImage& picture, int cx, int cy, double angle);

// The angle a marker is drawn at: its heading from the last place to the next, 0 when dead.
// A marker picture faces right; moving right is -2 pi, up -3 pi / 2.
double MarkerAngle(const TVector& from, const TVector& to, bool dead);

// Stretches `source` over `whole` (a rectangle of `target`) by nearest pixel, writing only the
// pixels of `whole` that lie in `part`. Both pictures 24 bits per pixel.
void StretchNearest(QImage& target, const QRect& whole, const QImage& source, const QRect& part);

class TFrameCanvas {
public:
    // Starts a frame on the bitmap (24 bits per pixel). With a map picture, the picture,
    // stretched over (0, 0) to mapSize, is drawn anew over the places the last frame drew on,
    // or over everything when the bitmap or the picture changed; without one the bitmap keeps
    // what it has.
    void Begin(QImage& bitmap, const QSize& mapSize, const QImage* mapPicture);
    // Picture into the rectangle, stretched by nearest pixel; a transparent picture leaves
    // the pixels of its top-left pixel's colour undrawn.
    void StretchDraw(const QRect& target, const QImage& picture, bool transparent);
    // As StretchDraw, with the transparent colour given.
    void StretchDrawKeyed(const QRect& target, const QImage& picture, QRgb key);
    void Text(const QPoint& topLeft, const std::string& latin1, const QColor& colour, const QFont& font);
    void Line(const QPoint& from, const QPoint& to, const QColor& pen);
    // Outlined with the pen and filled white; right and bottom excluded.
    void Ellipse(const QRect& bounds, const QColor& pen);
    // Ends the frame's drawing.
    void End();
    // The next frame stretches the map picture over the whole bitmap.
    void Invalidate() { FWhole = true; }
    // Notes a part of the bitmap drawn on by other means, so the next frame covers it.
    void Touch(const QRect& rect);
    // One painter for the frame's texts and lines: starting one on a large bitmap costs.
    // Whoever changes its settings puts them back.
    QPainter& Painter();
    // What the overlays keep between this canvas's frames (Overlays.cpp).
    std::shared_ptr<TOverlayCache> overlayCache;

private:

    QImage* FBitmap = nullptr;
    std::vector<QRect> FTouched; // what this frame drew over the map picture
    bool FWhole = true;
    qint64 FPictureKey = 0;
    QSize FBitmapSize;
    QSize FMapSize;
    const uchar* FBitmapBits = nullptr;
    QImage FPicture24; // the map picture as 24-bit pixels, kept while it stays the same
    std::unique_ptr<QPainter> FPainter;
};

// What a frame is drawn from: the window's state and the switches of its check boxes.
struct TFrameScene {
    int zoom = 1000;                   // thousandths
    QSize mapSize;                     // the zoomed map's size: the picture is stretched over it
    const QImage* mapPicture = nullptr; // nothing: no map picture loaded
    TMapObjectList* objects = nullptr;
    TPlayerStateList* states = nullptr;
    bool showObjects = true, showFlags = true, showHitLines = true, killInfo = false;
    int timeToSeeLine = 10;  // seconds
    double replayTime = 0;
    const TInfoClass* tracked = nullptr; // the player the view follows, or nothing
    QFont font;
    // Brings an object's picture and place up to date, as the map's calibration has it.
    std::function<void(TMapObject&)> placeObject;
    // Scrolls the view so that the tracked player's label corner is (x + 300, y + 300).
    std::function<void(int x, int y)> scrollTo;
    // Trails, the death map and the kill feed; all off unless a caller switches them on.
    TFrameOverlays overlays;
    // The part of the bitmap in view, before tracking scrolls it; empty: all of it.
    QRect visible;
};

// Draws one frame: objects, markers, labels and kill lines, in that order.
void DrawFrame(TFrameCanvas& canvas, QImage& bitmap, const TFrameScene& scene);

// Whether some player drives the object.
bool IsMapObjectInUse(const TPlayerStateList& states, const TMapObject* object);

// The minimap: the zoomed map stretched over a picture of the given size.
void DrawMinimap(const QImage& zoomedMap, QImage& minimap, int width, int height);
