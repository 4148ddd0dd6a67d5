#pragma once

// The zoom of the map view: the zoomed map is a square of the picture as drawn, DrawnMapSize
// map pixels, times the zoom slider's position in thousandths.

#include <cstdint>

inline constexpr int MinMapZoom = 500; // TBMApZoom
inline constexpr int MaxMapZoom = 10000;

// The side of the zoomed map in pixels at the zoom, as the zoom slider sizes it.
int32_t ZoomedMapSide(int zoom);

// The largest zoom the slider can take at which the whole zoomed map fits into `width` x
// `height` pixels; the smallest when even that does not fit.
int ZoomToFit(int width, int height);
