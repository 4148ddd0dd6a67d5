#pragma once

// A round, or a span of it, as a video: a window of its own replays the span and draws every
// frame with the window's frame code, at the moments its clock reaches. Each frame moves the
// replay on by speed / fps seconds. The window is given over to the export: it is shown off
// the screen so that its map view has the frames' size, and its clock runs only when asked.

#include "app/UTarvelMain.h"
#include "mapview/VideoEncoder.h"

#include <QPointF>
#include <QRect>
#include <QSize>

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

enum class TVideoArea {
    View,     // the visible part of the map view, of the size `view`
    WholeMap, // the whole zoomed map
    Square,   // a square of `square` pixels, at a zoom that fills it at least
};

struct TVideoOptions {
    double from = 0; // seconds of the log's clock
    double to = 0;
    double speed = 10; // replay seconds per video second
    int fps = 30;
    TVideoArea area = TVideoArea::WholeMap;
    QSize view;        // TVideoArea::View
    int square = 720;  // TVideoArea::Square
    int zoom = 1000;   // thousandths, as TBMApZoom
    // Where the middle of the frames lies at first, as a fraction of the zoomed map's sides.
    QPointF centre{0.5, 0.5};
    std::string track; // the key of the player the frames keep in their middle, or empty
};

// Options whose frames show what the window's map view shows: its size, its zoom and the
// middle of its visible part (TVideoArea::View), the rest as they come.
TVideoOptions ViewOptions(const TTarvelMain& window);

// The frames of a span: one for each 1 / fps seconds of video, at least one.
int VideoFrameCount(double from, double to, double speed, int fps);

// The part of the zoomed map that the window's map view shows, in the bitmap's pixels.
QRect VisibleMapRect(const TTarvelMain& window);

// Writes a picture so that an existing file of its name is replaced only by a complete new one;
// the format follows the extension (".png", ".jpg", ".jpeg").
void SavePictureAtomically(const QImage& picture, const std::string& fileName);

// Whether some event of the round is a player's whose state key this is.
bool RoundHasPlayer(const TEventInfoList& events, const std::string& key);

class TVideoExport;

// Runs the export to its last frame, telling its progress on `err`: a bar drawn anew in place
// on a terminal, else a line at every tenth of the frames. An interrupt (Ctrl+C) or a
// termination request stops it between frames: then false.
bool RunVideoExport(TVideoExport& video, std::ostream& err, bool terminal);

class TVideoExport {
public:
    // `window` has the round selected and its clock not past `options.from`; its draw thread
    // is off. The encoder opens here: "Cannot create file %s" or EVideoError.
    TVideoExport(TTarvelMain& window, const TVideoOptions& options, const std::string& fileName,
                 const std::string& encoder = "");
    ~TVideoExport();

    int FrameCount() const { return FCount; }
    int FramesDone() const { return FDone; }
    QSize FrameSize() const { return FEncoder->Size(); }
    bool Done() const { return FDone == FCount; }
    // The replay time frame k shows.
    double FrameTime(int k) const;
    // The next piece of work: going to the span's start, then one frame a call.
    void Step();
    // The file appears under its name.
    void Finish() { FEncoder->Finish(); }

    // Each frame as it goes to the encoder, and its place on the zoomed map.
    std::function<void(const QImage& frame, const QRect& onMap)> FrameHook;

private:
    void Follow();
    // Scrolls the map view so that its corner shows this pixel of the zoomed map.
    void ScrollTo(QPoint corner);

    TTarvelMain& FWindow;
    TVideoOptions FOptions;
    int FCount = 0;
    int FDone = 0;
    bool FAtStart = false;
    bool FTimerSignals = false;
    std::unique_ptr<TVideoEncoder> FEncoder;
};
