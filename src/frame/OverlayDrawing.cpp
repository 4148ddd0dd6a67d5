#include "frame/OverlayDrawing.h"

#include "base/Errors.h"
#include "base/Numeric.h"
#include "frame/FrameDrawing.h"
#include "mapview/WorldToMap.h"
#include "replay/InfoClass.h"
#include "replay/PlayerStates.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace {

// A time this much earlier than the last is the clock moved back, not events out of order.
constexpr double TimeSlack = 0.25;

} // namespace

// ---- Drawing --------------------------------------------------------------------------------

namespace {

// The zoomed place of a map pixel, as a marker's centre is drawn: rounded half to even (in
// double precision: a pixel off where a product lies within a hair of a half is no matter).
bool Zoomed(QPoint place, long double zoom, QPoint& at)
{
    const double x = std::nearbyint(place.x() * static_cast<double>(zoom));
    const double y = std::nearbyint(place.y() * static_cast<double>(zoom));
    constexpr double limit = 1 << 28;
    if (!(std::fabs(x) < limit && std::fabs(y) < limit))
        return false;
    at = QPoint(static_cast<int>(x), static_cast<int>(y));
    return true;
}

long double ZoomOf(const TFrameScene& scene) { return static_cast<long double>(scene.zoom) / 1000.0L; }

// Cells of the bitmap an overlay drew on, handed to the canvas as rectangles, a row of cells
// at a time: the next frame puts the map picture back there. Small cells keep that to little
// more than a thin trail covers; a trail of hundreds of short steps would otherwise note
// hundreds of overlapping rectangles.
class TTouchedCells {
public:
    static constexpr int Cell = 8;
    explicit TTouchedCells(const QRect& bounds)
        : FBounds(bounds), FColumns((bounds.width() + Cell - 1) / Cell), FRows((bounds.height() + Cell - 1) / Cell),
          FCells(static_cast<size_t>(FColumns) * static_cast<size_t>(FRows), false)
    {
    }
    void Mark(const QRect& rect)
    {
        const QRect r = rect.intersected(FBounds).translated(-FBounds.topLeft());
        if (r.isEmpty())
            return;
        for (int row = r.top() / Cell; row <= r.bottom() / Cell; ++row)
            for (int column = r.left() / Cell; column <= r.right() / Cell; ++column)
                FCells[static_cast<size_t>(row) * static_cast<size_t>(FColumns) + static_cast<size_t>(column)] = true;
    }
    void Hand(TFrameCanvas& canvas) const
    {
        for (int row = 0; row < FRows; ++row)
            for (int column = 0; column < FColumns;) {
                if (!At(row, column)) {
                    ++column;
                    continue;
                }
                const int first = column;
                while (column < FColumns && At(row, column))
                    ++column;
                canvas.Touch(QRect(FBounds.left() + first * Cell, FBounds.top() + row * Cell, (column - first) * Cell,
                                   Cell)
                                 .intersected(FBounds));
            }
    }

private:
    bool At(int row, int column) const
    {
        return FCells[static_cast<size_t>(row) * static_cast<size_t>(FColumns) + static_cast<size_t>(column)];
    }
    QRect FBounds;
    int FColumns, FRows;
    std::vector<bool> FCells;
};

QString Latin1Text(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

QColor TeamColour(int32_t team) { return team == 1 ? QColor(255, 45, 35) : QColor(40, 120, 255); }

// Amounts per pixel of a part of the bitmap, in square tiles made only where something falls;
// a grid over the part finds a pixel's tile at once.
template <int Size, int Channels>
class TTileSet {
public:
    struct TTile {
        QPoint origin;
        size_t slot = 0; // its place in the grid
        std::array<float, Size * Size * Channels> amounts;
    };

    // Empty, over this part of the bitmap (at or right of and below its origin). The tiles lie
    // on a grid of the bitmap's own, so that a tile is a whole cell of what was drawn on.
    void Begin(const QRect& area)
    {
        Clear();
        FArea = area;
        FOrigin = QPoint(area.left() / Size * Size, area.top() / Size * Size);
        FColumns = (area.right() - FOrigin.x()) / Size + 1;
        FGrid.assign(static_cast<size_t>(FColumns) * static_cast<size_t>((area.bottom() - FOrigin.y()) / Size + 1), -1);
    }
    // The amounts of a pixel within the part.
    float* At(int x, int y)
    {
        const int column = (x - FOrigin.x()) / Size, row = (y - FOrigin.y()) / Size;
        const size_t slot = static_cast<size_t>(row) * static_cast<size_t>(FColumns) + static_cast<size_t>(column);
        int& index = FGrid[slot];
        if (index < 0) {
            index = static_cast<int>(FUsed);
            if (FUsed == FTiles.size())
                FTiles.emplace_back();
            TTile& tile = FTiles[FUsed++];
            tile.origin = FOrigin + QPoint(column * Size, row * Size);
            tile.slot = slot;
            tile.amounts.fill(0);
        }
        TTile& tile = FTiles[static_cast<size_t>(index)];
        return &tile.amounts[static_cast<size_t>(((y - tile.origin.y()) * Size + x - tile.origin.x()) * Channels)];
    }
    size_t Count() const { return FUsed; }
    const TTile& operator[](size_t i) const { return FTiles[i]; }
    // The tile's pixels within the part.
    QRect RectOf(const TTile& tile) const { return QRect(tile.origin, QSize(Size, Size)).intersected(FArea); }
    // Empty again, over the same part; the tiles' storage stays for the next use.
    void Clear()
    {
        for (size_t i = 0; i < FUsed; ++i)
            FGrid[FTiles[i].slot] = -1;
        FUsed = 0;
    }

private:
    QRect FArea;
    QPoint FOrigin;
    int FColumns = 0;
    std::vector<int> FGrid;
    std::vector<TTile> FTiles; // what At hands out is used at once: growing may move them
    size_t FUsed = 0;
};

// The density of each side's deaths: the Axis first.
using TDensityTiles = TTileSet<32, 2>;
// How much a stroke covers each pixel.
using TCoverTiles = TTileSet<8, 1>;

// The death map as the last frame drew it: a colour and opacity per pixel, kept while the
// deaths shown, the zoom and the part drawn stay the same.
struct TDeathLayer {
    uint64_t version = 0;
    size_t shown = 0;
    int zoom = 0;
    QRect area;
    TMapPlacing placing;
    bool valid = false;
    struct TPart {
        QRect rect;
        std::vector<uchar> rgba; // per pixel of rect: red, green, blue, opacity
    };
    std::vector<TPart> parts;
};

} // namespace

// A trail's place on the map.
struct TPlacedPoint {
    double time;
    QPoint place;
};

struct TOverlayCache {
    TDeathLayer deaths;
    std::vector<TPlacedPoint> placed; // scratch of the trails
    TDensityTiles density; // scratch of the death map
    TCoverTiles cover;     // scratch of the trails
};

namespace {

TOverlayCache& CacheOf(TFrameCanvas& canvas)
{
    if (!canvas.overlayCache)
        canvas.overlayCache = std::make_shared<TOverlayCache>();
    return *canvas.overlayCache;
}

void BuildDeathLayer(TDeathLayer& layer, TDensityTiles& tiles, const TOverlayHistory& history, const TFrameScene& scene,
                     const QRect& area)
{
    layer.parts.clear();
    tiles.Begin(area);
    const long double zoom = ZoomOf(scene);
    const int radius = DeathRadius(scene.zoom);
    const int side = 2 * radius + 1;
    // A blob falls smoothly to nothing at its radius, so crowded spots keep a soft edge.
    std::vector<float> kernel(static_cast<size_t>(side * side));
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const double q = 1 - (dx * dx + dy * dy) / static_cast<double>(radius * radius);
            kernel[static_cast<size_t>((dy + radius) * side + dx + radius)] = q > 0 ? static_cast<float>(q * q) : 0.f;
        }
    // The density of each side's deaths: the Axis in a, the others in b.
    for (const auto& [index, death] : history.Deaths()) {
        if (death.time > scene.replayTime + TimeSlack)
            continue; // after the clock: moved back past it
        const std::optional<QPoint> place = scene.overlays.placing.Place(death.x, death.z);
        QPoint centre;
        if (!place || !Zoomed(*place, zoom, centre))
            continue;
        const QRect blob = QRect(centre.x() - radius, centre.y() - radius, side, side).intersected(area);
        for (int y = blob.top(); y <= blob.bottom(); ++y) {
            const int row = (y - centre.y() + radius) * side + radius - centre.x();
            for (int x = blob.left(); x <= blob.right(); ++x)
                tiles.At(x, y)[death.team == 1 ? 0 : 1] += kernel[static_cast<size_t>(row + x)];
        }
    }
    const QColor axis = TeamColour(1), allies = TeamColour(2);
    // The opacity of a density, looked up: the same few values come again and again.
    constexpr float Steps = 16.f;
    static const std::vector<float> alphaOf = [] {
        std::vector<float> table(1024);
        for (size_t i = 0; i < table.size(); ++i)
            table[i] = static_cast<float>(DeathAlpha(static_cast<double>(i) / Steps));
        return table;
    }();
    for (size_t t = 0; t < tiles.Count(); ++t) {
        const TDensityTiles::TTile& tile = tiles[t];
        const QRect rect = tiles.RectOf(tile);
        TDeathLayer::TPart part{rect, std::vector<uchar>(static_cast<size_t>(rect.width() * rect.height() * 4))};
        uchar* out = part.rgba.data();
        bool any = false;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x, out += 4) {
                const size_t i = static_cast<size_t>(((y - tile.origin.y()) * 32 + x - tile.origin.x()) * 2);
                const float a = tile.amounts[i], b = tile.amounts[i + 1], total = a + b;
                if (total <= 0.002f)
                    continue;
                any = true;
                const float share = a / total; // the Axis share of the colour
                out[0] = static_cast<uchar>(share * axis.red() + (1 - share) * allies.red() + 0.5f);
                out[1] = static_cast<uchar>(share * axis.green() + (1 - share) * allies.green() + 0.5f);
                out[2] = static_cast<uchar>(share * axis.blue() + (1 - share) * allies.blue() + 0.5f);
                out[3] = static_cast<uchar>(255 * alphaOf[std::min(alphaOf.size() - 1, static_cast<size_t>(total * Steps))] + 0.5f);
            }
        if (any)
            layer.parts.push_back(std::move(part));
    }
    tiles.Clear();
}

// A side's colour over the map where its trails cover it: one stroke of round-ended pieces,
// each pixel as opaque as the most opaque piece that covers it, so pieces do not darken where
// they meet or cross.
class TStroke {
public:
    // The tiles begun over `area`.
    TStroke(TCoverTiles& tiles, const QRect& area, float radius) : FTiles(tiles), FArea(area), FRadius(radius) {}

    // A piece as opaque as `strength` where it covers a pixel wholly. A piece that goes on
    // from the last one leaves its start to the last one's round end.
    void Piece(QPointF a, QPointF b, float strength, bool startCap)
    {
        const float reach = FRadius + 1;
        const QRectF box = QRectF(a, b).normalized().adjusted(-reach, -reach, reach, reach);
        if (!box.intersects(QRectF(FArea)))
            return;
        // Along the longer axis, across it only as far as the stroke reaches.
        if (std::abs(b.x() - a.x()) >= std::abs(b.y() - a.y()))
            Rasterize<true>(a, b, box, strength, startCap);
        else
            Rasterize<false>(a, b, box, strength, startCap);
    }

    // Lays the colour over the bitmap as covered, notes where, and is empty again.
    void Blend(QImage& bitmap, const QColor& colour, TTouchedCells& touched)
    {
        const float r = colour.red(), g = colour.green(), b = colour.blue();
        for (size_t t = 0; t < FTiles.Count(); ++t) {
            const TCoverTiles::TTile& tile = FTiles[t];
            const QRect rect = FTiles.RectOf(tile);
            for (int y = rect.top(); y <= rect.bottom(); ++y) {
                uchar* p = bitmap.scanLine(y) + 3 * rect.left();
                const float* c = &tile.amounts[static_cast<size_t>((y - tile.origin.y()) * 8 + rect.left() - tile.origin.x())];
                // Without a test: most pixels of a tile are not covered, which no branch guesses
                // well, and a pixel covered by nothing keeps its value.
                for (int x = rect.left(); x <= rect.right(); ++x, p += 3, ++c) {
                    const float k = *c;
                    p[0] = static_cast<uchar>(p[0] + (r - p[0]) * k + 0.5f);
                    p[1] = static_cast<uchar>(p[1] + (g - p[1]) * k + 0.5f);
                    p[2] = static_cast<uchar>(p[2] + (b - p[2]) * k + 0.5f);
                }
            }
            touched.Mark(rect);
        }
        FTiles.Clear();
    }

private:
    // AlongX: the piece runs mostly along x, and each column is walked across it.
    template <bool AlongX>
    void Rasterize(QPointF a, QPointF b, const QRectF& box, float strength, bool startCap)
    {
        const float ax = static_cast<float>(a.x()), ay = static_cast<float>(a.y());
        const float dx = static_cast<float>(b.x() - a.x()), dy = static_cast<float>(b.y() - a.y());
        const float length2 = dx * dx + dy * dy;
        const float edge = FRadius + 0.5f; // beyond it nothing is covered
        const float main = AlongX ? dx : dy, other = AlongX ? dy : dx;
        const float slope = main != 0 ? other / main : 0;
        // Pixel centres farther than the edge are not covered: columns reach that far across.
        const float half = edge * (main != 0 ? std::sqrt(length2) / std::abs(main) : 1);
        const int mainFirst = std::max(static_cast<int>(std::floor(AlongX ? box.left() : box.top())),
                                       AlongX ? FArea.left() : FArea.top());
        const int mainLast = std::min(static_cast<int>(std::ceil(AlongX ? box.right() : box.bottom())),
                                      AlongX ? FArea.right() : FArea.bottom());
        const int otherFirst = AlongX ? FArea.top() : FArea.left(), otherLast = AlongX ? FArea.bottom() : FArea.right();
        const float start = AlongX ? ax : ay, base = AlongX ? ay : ax;
        const float lo = std::min(start, start + main), hi = std::max(start, start + main);
        // Without its start, the piece begins no farther back than its slant reaches.
        int first = mainFirst, last = mainLast;
        if (!startCap && length2 > 0) {
            const float back = edge * std::abs(other) / std::sqrt(length2) + 1;
            if (main > 0)
                first = std::max(first, static_cast<int>(std::floor(start - back)));
            else
                last = std::min(last, static_cast<int>(std::ceil(start + back)));
        }
        for (int m = first; m <= last; ++m) {
            const float centre = base + (std::clamp(m + 0.5f, lo, hi) - start) * slope;
            const int from = std::max(otherFirst, static_cast<int>(std::floor(centre - half)));
            const int to = std::min(otherLast, static_cast<int>(std::ceil(centre + half)));
            for (int o = from; o <= to; ++o) {
                const int x = AlongX ? m : o, y = AlongX ? o : m;
                const float px = x + 0.5f - ax, py = y + 0.5f - ay;
                const float along = length2 > 0 ? (px * dx + py * dy) / length2 : 0.f;
                if (along < 0 && !startCap)
                    continue;
                const float t = std::clamp(along, 0.f, 1.f);
                const float qx = px - t * dx, qy = py - t * dy;
                const float distance2 = qx * qx + qy * qy;
                if (distance2 >= edge * edge)
                    continue;
                const float c = strength * std::min(1.f, edge - std::sqrt(distance2));
                float& cell = *FTiles.At(x, y);
                cell = std::max(cell, c);
            }
        }
    }

    TCoverTiles& FTiles;
    QRect FArea;
    float FRadius;
};

} // namespace

void DrawDeathMap(TFrameCanvas& canvas, QImage& bitmap, const TFrameScene& scene, const QRect& clip)
{
    const TOverlayHistory* history = scene.overlays.history;
    const QRect area = clip.intersected(bitmap.rect());
    if (!history || area.isEmpty() || history->Deaths().empty())
        return;
    size_t shown = 0;
    for (const auto& [index, death] : history->Deaths())
        shown += death.time <= scene.replayTime + TimeSlack;
    TOverlayCache& cache = CacheOf(canvas);
    TDeathLayer& layer = cache.deaths;
    // Deaths come in the order of their events, so the ones shown and the version tell them.
    if (!layer.valid || layer.version != history->DeathsVersion() || layer.shown != shown || layer.zoom != scene.zoom ||
        layer.area != area || layer.placing != scene.overlays.placing) {
        BuildDeathLayer(layer, cache.density, *history, scene, area);
        layer.placing = scene.overlays.placing;
        layer.version = history->DeathsVersion();
        layer.shown = shown;
        layer.zoom = scene.zoom;
        layer.area = area;
        layer.valid = true;
    }
    TTouchedCells touched(bitmap.rect());
    for (const TDeathLayer::TPart& part : layer.parts) {
        const uchar* in = part.rgba.data();
        for (int y = part.rect.top(); y <= part.rect.bottom(); ++y) {
            uchar* p = bitmap.scanLine(y) + 3 * part.rect.left();
            for (int x = part.rect.left(); x <= part.rect.right(); ++x, p += 3, in += 4)
                if (in[3]) {
                    const int k = in[3];
                    p[0] = static_cast<uchar>(p[0] + ((in[0] - p[0]) * k + 127) / 255);
                    p[1] = static_cast<uchar>(p[1] + ((in[1] - p[1]) * k + 127) / 255);
                    p[2] = static_cast<uchar>(p[2] + ((in[2] - p[2]) * k + 127) / 255);
                }
        }
        touched.Mark(part.rect);
    }
    touched.Hand(canvas);
}

void DrawTrails(TFrameCanvas& canvas, QImage& bitmap, const TFrameScene& scene, const QRect& clip)
{
    const TOverlayHistory* history = scene.overlays.history;
    const int seconds = scene.overlays.trailSeconds;
    const QRect area = clip.intersected(bitmap.rect());
    if (!history || seconds <= 0 || !scene.states || area.isEmpty() || history->TrailCount() == 0)
        return;
    const long double zoom = ZoomOf(scene);
    const double now = scene.replayTime;
    const double since = now - seconds;
    const double step = static_cast<double>(seconds) / TrailSteps;
    const float radius = scene.zoom < 2500 ? 1.0f : 1.5f;
    TOverlayCache& cache = CacheOf(canvas);
    cache.cover.Begin(area);
    TTouchedCells touched(bitmap.rect());
    // How opaque each step of fading is.
    std::array<float, TrailSteps> strengthOf;
    for (int level = 0; level < TrailSteps; ++level)
        strengthOf[static_cast<size_t>(level)] = static_cast<float>(TrailAlpha((level + 0.5) * step, seconds));
    // One player's path into the stroke of its side.
    auto addPath = [&](const TInfoClass& s, TStroke& stroke) {
        const std::deque<TTrailPoint>* recorded = history->Trail(s.PlayerID);
        if (!recorded || recorded->empty())
            return;
        // Its places on the map as calibrated now; a place on the pixel of the place before it
        // adds nothing (the player stood), nor does one beyond the pixels' range.
        std::vector<TPlacedPoint>& placed = cache.placed;
        placed.clear();
        for (const TTrailPoint& point : *recorded) {
            const std::optional<QPoint> place = scene.overlays.placing.Place(point.x, point.z);
            if (!place)
                break;
            if (placed.empty() || placed.back().place != *place)
                placed.push_back({point.time, *place});
        }
        const std::vector<TPlacedPoint>* trail = &placed;
        if (trail->empty())
            return;
        // The places within the length, then where the marker stands now.
        struct TAt {
            double time;
            QPointF place;
        };
        std::vector<TAt> path;
        size_t first = trail->size();
        while (first > 0 && (*trail)[first - 1].time >= since)
            --first;
        if (first > 0)
            --first; // the piece that crosses the length fades out at it
        for (size_t p = first; p < trail->size(); ++p) {
            const TPlacedPoint& point = (*trail)[p];
            QPoint at;
            if (point.time > now + TimeSlack || !Zoomed(point.place, zoom, at))
                break; // after the clock: moved back past it
            // An event a little ahead of the clock (due in its tenth) counts as now. Places a
            // pixel or two apart make no difference to the line but cost as much as long ones.
            const QPointF place = QPointF(at) + QPointF(0.5, 0.5);
            if (path.size() >= 2 && p + 1 < trail->size()) {
                const QPointF step = place - path.back().place;
                if (QPointF::dotProduct(step, step) < 2.5 * 2.5)
                    continue;
            }
            path.push_back({std::min(point.time, now), place});
        }
        QPoint marker;
        const QPoint centre(s.Image.Left + s.Image.Width / 2, s.Image.Top + s.Image.Height / 2);
        if (!path.empty() && Zoomed(centre, zoom, marker))
            path.push_back({now, QPointF(marker) + QPointF(0.5, 0.5)});
        // Each piece cut where the fading steps, and where the length ends.
        bool opening = true; // the path's first piece has its round start
        for (size_t p = 1; p < path.size(); ++p) {
            TAt a = path[p - 1];
            const TAt& b = path[p];
            if (b.time <= since)
                continue;
            auto placeAt = [&](double t) {
                const double span = b.time - a.time;
                const double f = span > 0 ? (t - a.time) / span : 1;
                return a.place + (b.place - a.place) * f;
            };
            auto levelAt = [&](double t) {
                return std::clamp(static_cast<int>((now - t) / step - 1e-9), 0, TrailSteps - 1);
            };
            if (a.time < since) {
                a.place = placeAt(since);
                a.time = since;
            }
            if (a.time >= b.time) { // two places at one moment: a step, at its age
                if (a.place != b.place)
                    stroke.Piece(a.place, b.place, strengthOf[static_cast<size_t>(levelAt(b.time))], opening);
                opening = false;
                continue;
            }
            // Every time here lies at or before now, so each cut moves on.
            while (a.time < b.time) {
                const int level = levelAt(a.time);
                const double end = std::min(b.time, now - level * step);
                const QPointF to = end >= b.time ? b.place : placeAt(end);
                stroke.Piece(a.place, to, strengthOf[static_cast<size_t>(level)], opening);
                opening = false;
                if (end <= a.time)
                    break;
                a = {end, to};
            }
        }
    };
    // The Axis side, then the other: each side's trails in one stroke.
    for (const bool axis : {true, false}) {
        TStroke stroke(cache.cover, area, radius);
        for (int i = 0; i < scene.states->Count(); ++i) {
            const TInfoClass& s = *scene.states->State(i);
            if (!s.Dead && (s.Team() == 1) == axis)
                addPath(s, stroke);
        }
        stroke.Blend(bitmap, TeamColour(axis ? 1 : 2), touched);
    }
    touched.Hand(canvas);
}

void DrawKillFeed(TFrameCanvas& canvas, QImage& bitmap, const TFrameScene& scene, const QRect& view)
{
    const TOverlayHistory* history = scene.overlays.history;
    const QRect area = (view.isEmpty() ? bitmap.rect() : view).intersected(bitmap.rect());
    if (!history || area.isEmpty())
        return;
    const std::vector<const TKillNote*> feed = history->FeedAt(scene.replayTime);
    if (feed.empty())
        return;
    QFont font = scene.font;
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int padX = 5, padY = 2, gap = 3, edge = 6;
    const int lineHeight = metrics.height() + 2 * padY;
    QPainter& painter = canvas.Painter();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setClipRect(area);
    painter.setFont(font);
    int top = area.top() + edge;
    for (const TKillNote* kill : feed) {
        const double alpha = FeedAlpha(std::max(0.0, scene.replayTime - kill->time));
        // The pieces of the line and their colours: names in their side's colour.
        struct TPiece {
            QString text;
            QColor colour;
        };
        std::vector<TPiece> pieces;
        auto light = [](int32_t team) { return team == 1 ? QColor(255, 120, 110) : QColor(120, 175, 255); };
        pieces.push_back({Latin1Text(kill->killer), light(kill->killerTeam)});
        if (!kill->weapon.empty())
            pieces.push_back({QStringLiteral(" [") + Latin1Text(kill->weapon) + QStringLiteral("] "), QColor(225, 225, 225)});
        else
            pieces.push_back({QStringLiteral(" "), QColor(225, 225, 225)});
        pieces.push_back({Latin1Text(kill->victim), light(kill->victimTeam)});
        if (kill->teamKill)
            pieces.push_back({QStringLiteral(" (team kill)"), QColor(255, 210, 40)});
        int width = 0;
        for (const TPiece& piece : pieces)
            width += metrics.horizontalAdvance(piece.text);
        const QRect box(area.right() - edge - width - 2 * padX + 1, top, width + 2 * padX, lineHeight);
        QColor back = kill->teamKill ? QColor(70, 45, 0) : QColor(0, 0, 0);
        back.setAlphaF(static_cast<float>(0.62 * alpha));
        painter.setPen(Qt::NoPen);
        painter.setBrush(back);
        painter.drawRoundedRect(box, 3, 3);
        int x = box.left() + padX;
        const int baseline = box.top() + padY + metrics.ascent();
        for (TPiece& piece : pieces) {
            piece.colour.setAlphaF(static_cast<float>(alpha));
            painter.setPen(piece.colour);
            painter.drawText(QPoint(x, baseline), piece.text);
            x += metrics.horizontalAdvance(piece.text);
        }
        canvas.Touch(box.adjusted(-2, -2, 2, 2));
        top += lineHeight + gap;
    }
    painter.restore();
}
