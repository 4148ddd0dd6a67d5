#pragma once

// What the exports take from the window: the part of the map its view shows, video options
// that show the same, and pictures saved whole or not at all. The video itself is the model's
// (round/RoundVideo.h): it replays the round on its own, away from the window.

#include "app/UTarvelMain.h"
#include "round/RoundVideo.h"
#include "round/RoundView.h" // SavePictureAtomically

#include <QImage>
#include <QRect>

#include <string>

// Options whose frames show what the window's map view shows: its size, its zoom and the
// middle of its visible part (TVideoArea::View), the rest as they come.
TVideoOptions ViewOptions(const TTarvelMain& window);

// The part of the zoomed map that the window's map view shows, in the bitmap's pixels.
QRect VisibleMapRect(const TTarvelMain& window);
