#pragma once

// A frame of a selected round, drawn from its replay session, the map's picture and the view's
// switches (TViewOptions): what the window's map view draws and the tool's render writes. And
// the map view of a round replay without a window: its zoom, its scroll, the first view a
// selection gives it, its frame and its minimap.

#include "mapview/Calibration.h"
#include "frame/FrameDrawing.h"
#include "mapview/GridBackground.h"
#include "mapview/MapZoom.h"
#include "mapview/ViewOptions.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TMapObject;
class TReplaySession;
class TRoundMap;
class TRoundReplay;
class TTextList;

// The map under a frame.
struct TFrameMap {
    const QImage* picture = nullptr; // the map's picture as far as it is there, or nothing
    bool pictureMissing = false;     // the map has no picture: the grid stands in when switched on
    TCalibration calibration;        // the sliders' scales and the margins, which place the grid
    int pictureHeight = 0;
};

// Where and how a frame is drawn.
struct TFrameTarget {
    int zoom = 1000;
    QSize mapSize;  // the zoomed map's size: the picture is stretched over it
    QRect visible;  // the part of the bitmap in view; empty: all of it
    QFont font;
    // Places an object anew; nothing: the session places it.
    std::function<void(TMapObject&)> placeObject;
    // Scrolls the view so that the tracked player's label corner is (x + 300, y + 300).
    std::function<void(int x, int y)> scrollTo;
};

// What a frame of the session shows by the view's switches and overlays: its objects, its player
// states, the replay's time and the overlays' history. The map, its size and zoom, the font, the
// tracked player and the part in view are the caller's.
TFrameScene ViewScene(TReplaySession& session, const TViewOptions& options);

// Draws one frame of the session's round over the map: objects, markers, labels, kill lines and
// the overlays the options switch on.
void DrawRoundFrame(TFrameCanvas& canvas, QImage& bitmap, TGridCache& grid, TReplaySession& session,
                    const TFrameMap& map, const TViewOptions& options, const TFrameTarget& target);

// The map view as the window is designed: the scroll box's visible part, the scroll bars'
// breadth and where the zoomed map's corner lies on its canvas.
inline constexpr int DesignedViewWidth = 462;
inline constexpr int DesignedViewHeight = 585;
inline constexpr int ScrollBarBreadth = 14;
inline constexpr int MapCornerX = -8;
inline constexpr int MapCornerY = 0;
// The zoom slider's designed position, where it stays when the settings' zoom does not read.
inline constexpr int DesignedMapZoom = 1000;

// A zoom, and where the view is scrolled at it.
struct TViewPlace {
    int zoom = DesignedMapZoom;
    TViewScroll scroll;
};
// The view that frames places as the map's calibration puts them, in a view of this size whose
// zoomed map lies at `corner`; nothing when no place is one the map can show.
std::optional<TViewPlace> FramePlaces(const std::vector<TWorldPoint>& places, const TRoundMap& map, QSize view,
                                      QPoint corner);
// What selecting the map's round does to a view (FirstViewOf): the whole map fitted into `room`,
// the places the map was fitted to framed in `frameView` (FramePlaces), or nothing: the view
// is kept. `larger`: the view is larger than designed; `userZoomed`: the user chose a zoom.
std::optional<TViewPlace> FirstViewPlace(const TRoundMap& map, bool larger, bool userZoomed, QSize room,
                                         QSize frameView, QPoint corner);

// The map view of a round replay without a window, as the window's map view follows the same
// steps: a view of the designed size, or of a size of its own.
class TRoundView {
public:
    explicit TRoundView(std::optional<QSize> view = std::nullopt);

    // The zoom the window starts with: the settings' ZOOM within the slider's range; the
    // designed zoom when it does not read.
    void StartZoom(const TTextList& settings);
    // The zoom slider moved by the user, within its range.
    void MoveZoom(int zoom);
    int Zoom() const { return FZoom; }
    // Where the view is scrolled.
    TViewScroll Scroll() const { return FScroll; }

    // What the selection of the replay's round does to the view (FirstViewOf): the whole map
    // fitted, the round's places framed, or the view kept.
    void ApplyFirstView(const TRoundReplay& replay);
    // Draws the frame of the replay as it stands, over a fresh bitmap of the zoomed map.
    void Draw(TRoundReplay& replay, const TViewOptions& options, const QFont& font);

    // The zoomed map as drawn.
    const QImage& Bitmap() const { return FBitmap; }
    // What the view shows of it: the part its scroll shows, `background` beyond the map.
    QImage ViewPicture(const QColor& background) const;
    // The minimap of the drawn map, as the minimap's page shows it at its designed size.
    QImage Minimap(const TRoundReplay& replay) const;

private:
    QSize ViewSize() const;
    void ScrollTo(TViewScroll scroll);

    std::optional<QSize> FView;
    int FZoom = DesignedMapZoom;
    bool FUserZoomed = false;
    TViewScroll FScroll;
    QImage FBitmap;
    TFrameCanvas FCanvas;
    TGridCache FGrid;
};

// Writes a picture so that an existing file of its name is replaced only by a complete new one;
// the format follows the extension (".png", ".jpg", ".jpeg").
void SavePictureAtomically(const QImage& picture, const std::string& fileName);
