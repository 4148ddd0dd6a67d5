#pragma once

// A round, or a span of it, as a video: a replay of its own plays the span and every frame is
// drawn with the frame code the map view uses, at the moments its clock reaches. Each frame
// moves the replay on by speed / fps seconds. The replay a user watches is not touched.

#include "base/TextList.h"
#include "log/PlayerList.h"
#include "frame/FrameDrawing.h"
#include "mapview/GridBackground.h"
#include "mapview/MapZoom.h"
#include "mapview/ViewOptions.h"
#include "video/VideoEncoder.h"
#include "replay/ReplaySession.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class TwexXMLNode;

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
    int zoom = 1000;   // thousandths, as the map view's zoom
    // Where the middle of the frames lies at first, as a fraction of the zoomed map's sides.
    QPointF centre{0.5, 0.5};
    std::string track; // the key of the player the frames keep in their middle, or empty
};

// The round a video replays and how the map view draws it: what a view hands over so that the
// video's frames look as its own do.
struct TVideoSource {
    const TwexXMLNode* round = nullptr; // the round element; it outlives the export
    TPlayerList const* roster = nullptr; // the log's roster as it stands: the replay adds to a copy
    std::vector<std::string> imageFolders;
    TTextList pictureMap;
    std::string objectFile; // the map's object file, or ""
    TReplaySettings settings; // the clock's switches and the calibration
    QImage mapPicture;        // none: the frames keep what their bitmap has
    bool grid = false;        // a grid of world units under the markers instead of a picture
    TViewOptions view;        // the switches and overlays; the export follows a player itself
    QFont font;
    int minZoom = 500, maxZoom = 10000; // the zoom's range, in thousandths
    // Where the zoomed map stands in the scrolled area of the view: a scroll keeps within that
    // area, so a corner can lie no further left than this offset allows.
    QPoint mapOffset{-8, 0};
};

class TRoundReplay;
// What a video takes of the round a replay selected and of the view, as the window and the
// tool hand their own over.
TVideoSource VideoSourceOf(const TRoundReplay& replay, const TViewOptions& view);

// The most frames a video is made of; a span that needs more is refused before any work.
inline constexpr long long MaxVideoFrames = 100000;

// The moments of the log's clock that the frames of a span show. A video follows the replay's
// clock: it moves 0.1 s a tick, crosses a pause of the server of more than 100 s before the next
// event in jumps of 100 s a tick, and stops where the round ends (its second-to-last event; the
// last is applied at once). One frame every speed / fps seconds of ticks, so that a pause costs
// the frames the replay spends on it; when the round ends within the span, a last frame shows
// its end. At least one frame.
class TVideoTimeline {
public:
    TVideoTimeline(const TEventInfoList& events, double from, double to, double speed, int fps);
    long long FrameCount() const { return FCount; }
    double FrameTime(long long k) const;

private:
    struct TJumps {
        double u = 0;     // seconds of ticks from the span's start where they begin
        double ticks = 0; // how many (the last run may end within one)
        double before = 0; // seconds the runs before this one jumped
    };
    double FFrom, FEnd, FSpeed;
    int FFps;
    std::vector<TJumps> FJumps;
    long long FCount = 1;
};

// Refuses, naming the count, a video of more than MaxVideoFrames frames (EVideoError).
void CheckVideoFrameCount(long long frames);

// Whether some event of the round is a player's whose state key this is.
bool RoundHasPlayer(const TEventInfoList& events, const std::string& key);

class TVideoExport;

// Runs the export to its last frame, telling its progress on `err`: a bar drawn anew in place
// on a terminal, else a line at every tenth of the frames. An interrupt (Ctrl+C) or a
// termination request stops it between frames: then false.
bool RunVideoExport(TVideoExport& video, std::ostream& err, bool terminal);

class TVideoExport {
public:
    // Selects the source's round in a replay of its own, as a double click on it does. The
    // encoder opens here: "Cannot create file %s" or EVideoError; the round's own errors raise.
    TVideoExport(const TVideoSource& source, const TVideoOptions& options, const std::string& fileName,
                 const std::string& encoder = "");
    ~TVideoExport();

    int FrameCount() const { return FCount; }
    int FramesDone() const { return FDone; }
    QSize FrameSize() const { return FEncoder->Size(); }
    bool Done() const { return FDone == FCount; }
    // The replay time frame k shows.
    double FrameTime(int k) const { return FTimeline->FrameTime(k); }
    // The next piece of work: going to the span's start, then one frame a call.
    void Step();
    // The file appears under its name.
    void Finish() { FEncoder->Finish(); }
    // The export's own replay.
    const TReplaySession& Session() const { return *FSession; }

    // Each frame as it goes to the encoder, and its place on the zoomed map.
    std::function<void(const QImage& frame, const QRect& onMap)> FrameHook;

private:
    void SelectRound();
    void MoveTo(double time);
    void Follow();
    // Scrolls so that the frame's corner shows this pixel of the zoomed map, as far as the
    // view's scrolled area lets it.
    void ScrollTo(QPoint corner);
    void DrawFrame();
    std::string LoadPicture(TPictureHolder& image, const std::string& name);

    TVideoSource FSource;
    TVideoOptions FOptions;
    TPlayerList FRoster;
    std::unique_ptr<TReplaySession> FSession;
    std::unique_ptr<TVideoTimeline> FTimeline;
    bool FRunning = false; // the clock has ticks to come: a seek may move it on
    int FZoom = 1000;
    int FSide = 0;  // the zoomed map's side
    QSize FView;    // the frames' size
    QPoint FCorner; // the zoomed map's pixel at the frames' top-left corner
    QImage FBitmap;
    TFrameCanvas FCanvas;
    TGridCache FGrid;
    int FCount = 0;
    int FDone = 0;
    bool FAtStart = false;
    std::unique_ptr<TVideoEncoder> FEncoder;
};
