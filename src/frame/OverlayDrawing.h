#pragma once

// The overlays of mapview/Overlays.h drawn into a frame over the map, under and over the markers.

#include "mapview/Overlays.h"

#include <QRect>

class QImage;
class TFrameCanvas;
struct TFrameScene;

// What the drawing of the overlays keeps between frames of one canvas.
struct TOverlayCache;

// The overlays drawn into a frame; `clip` is the part of the bitmap worth drawing on, `view`
// the part in view (the kill feed sits in its top right corner).
void DrawDeathMap(TFrameCanvas& canvas, QImage& bitmap, const TFrameScene& scene, const QRect& clip);
void DrawTrails(TFrameCanvas& canvas, QImage& bitmap, const TFrameScene& scene, const QRect& clip);
void DrawKillFeed(TFrameCanvas& canvas, QImage& bitmap, const TFrameScene& scene, const QRect& view);
