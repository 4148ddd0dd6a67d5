#include "round/RoundVideo.h"
#include "round/RoundReplay.h"
#include "round/RoundView.h"

#include "base/Errors.h"
#include "base/Numeric.h"
#include "mapview/RoundMap.h"
#include "settings/ProgramFolder.h"
#include "replay/InfoClass.h"
#include "replay/ReplayMath.h"
#include "xmltree/wexXMLTree.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <limits>
#include <optional>
#include <ostream>

namespace {

// Clock times are sums of tenths: 10.3 may stand as 10.29999. A frame's moment counts as
// reached within this much.
constexpr double Reached = 1e-6;

int Even(int pixels) { return pixels - pixels % 2; }

} // namespace

TVideoTimeline::TVideoTimeline(const TEventInfoList& events, double from, double to, double speed, int fps)
    : FFrom(from), FEnd(to), FSpeed(speed), FFps(fps)
{
    // The clock's tick after the second-to-last event falls due applies it and ends the round.
    const int count = events.Count();
    bool cut = false;
    if (count >= 2) {
        double due = -std::numeric_limits<double>::infinity();
        for (int i = 0; i <= count - 2; ++i)
            if (const double t = events.GetEvent(i)->Timestamp; std::isfinite(t))
                due = std::max(due, t);
        if (std::isfinite(due) && due + 0.2 < FEnd) {
            FEnd = std::max(from, due + 0.2);
            cut = true;
        }
    }
    // Walks the clock from the span's start: u counts seconds of ticks, c the log's clock.
    double u = 0, c = from, jumped = 0;
    double latest = -std::numeric_limits<double>::infinity();
    for (int i = 1; i < count - 1 && c < FEnd; ++i) {
        const double t = events.GetEvent(i)->Timestamp;
        if (!std::isfinite(t) || t <= latest)
            continue;
        latest = t;
        if (t <= c)
            continue;
        if (t - c > 100) {
            // Each tick of the pause moves the clock 100.1 s, until 100 s or less are left.
            const double ticks = std::ceil((t - c - 100) / 100.1);
            const double reach = std::min(ticks, (FEnd - c) / 100.1);
            FJumps.push_back({u, reach, jumped});
            u += 0.1 * reach;
            jumped += 100 * reach;
            c += 100.1 * reach;
            if (reach < ticks)
                break;
        }
        const double to = std::min(t, FEnd);
        if (to > c) {
            u += to - c;
            c = to;
        }
    }
    if (c < FEnd)
        u += FEnd - c;
    const double frames = std::ceil(u * fps / speed - 1e-9) + (cut ? 1 : 0);
    FCount = frames < 1 ? 1 : frames > 9e15 ? 9000000000000000LL : static_cast<long long>(frames);
}

double TVideoTimeline::FrameTime(long long k) const
{
    const double u = static_cast<double>(k) * FSpeed / FFps;
    double t = FFrom + u;
    // The last run of jumps begun by u adds what it jumped so far to those before it.
    auto run = std::upper_bound(FJumps.begin(), FJumps.end(), u, [](double at, const TJumps& j) { return at < j.u; });
    if (run != FJumps.begin()) {
        --run;
        t += run->before + 1000 * std::min(u - run->u, 0.1 * run->ticks);
    }
    return std::min(t, FEnd);
}

void CheckVideoFrameCount(long long frames)
{
    if (frames > MaxVideoFrames)
        throw EVideoError("The video would have " + std::to_string(frames) + " frames, more than " +
                          std::to_string(MaxVideoFrames) + ": film a shorter span, at a higher speed or fewer frames a second");
}

bool RoundHasPlayer(const TEventInfoList& events, const std::string& key)
{
    for (int i = 0; i < events.Count(); ++i)
        if (PlayerKey(events.GetEvent(i)->PlayerID) == key)
            return true;
    return false;
}

TVideoExport::TVideoExport(const TVideoSource& source, const TVideoOptions& options, const std::string& fileName,
                           const std::string& encoder)
    : FSource(source), FOptions(options)
{
    if (source.roster)
        CopyRoster(*source.roster, FRoster);
    // Restarting the round over and over would never reach the span's end.
    FSource.settings.loop = false;
    TReplayLoader loader;
    loader.picture = [this](TPictureHolder& image, const std::string& name) { return LoadPicture(image, name); };
    loader.objectFile = [this] { return FSource.objectFile; };
    FSession = std::make_unique<TReplaySession>(FRoster, std::move(loader));
    FSession->SetSettings(FSource.settings);
    SelectRound();
    // Before the encoder makes a file: a span of too many frames is refused at once.
    FTimeline = std::make_unique<TVideoTimeline>(FSession->Events(), options.from, options.to, options.speed, options.fps);
    CheckVideoFrameCount(FTimeline->FrameCount());
    FCount = static_cast<int>(FTimeline->FrameCount());

    int zoom = options.zoom;
    if (options.area == TVideoArea::Square)
        while (zoom < source.maxZoom && ZoomedMapSide(zoom) < options.square)
            ++zoom;
    FZoom = std::clamp(zoom, source.minZoom, source.maxZoom);
    FSide = ZoomedMapSide(FZoom);
    QSize size(FSide, FSide);
    if (options.area == TVideoArea::View)
        size = options.view.boundedTo(size);
    else if (options.area == TVideoArea::Square)
        size = QSize(options.square, options.square).boundedTo(size);
    FView = QSize(Even(size.width()), Even(size.height()));
    if (FView.width() > TVideoEncoder::MaxSide || FView.height() > TVideoEncoder::MaxSide)
        throw EVideoError("Cannot encode video: frames of the whole map at this zoom would be " +
                          std::to_string(FView.width()) + " pixels wide, more than " +
                          std::to_string(TVideoEncoder::MaxSide) + "; zoom out or choose a square");

    if (FSide > 0) {
        FBitmap = QImage(FSide, FSide, QImage::Format_RGB888);
        FBitmap.fill(Qt::white);
    }
    // Towards the top left: a side made even loses its last row or column, the corner stays.
    auto corner = [this](double centre, int length) {
        return static_cast<int>(std::floor(centre * FSide - length / 2.0 + 1e-6));
    };
    ScrollTo(QPoint(corner(options.centre.x(), FView.width()), corner(options.centre.y(), FView.height())));
    FEncoder = std::make_unique<TVideoEncoder>(fileName, FView, options.fps, encoder);
}

TVideoExport::~TVideoExport() = default;

void TVideoExport::SelectRound()
{
    // The steps of a double click on the round, with the map's picture and calibration the
    // source already has.
    TReplaySession& s = *FSession;
    if (!FSource.round || FSource.round->ChildCount() == 0)
        return;
    try {
        BuildEventList(*FSource.round, s.Events());
    } catch (...) {
        s.EventsChanged();
        throw;
    }
    s.EventsChanged();
    const TEventInfoList& events = s.Events();
    if (events.Count() == 0)
        return;
    s.BeginRound();
    const int64_t start = WholeSeconds(events.GetEvent(0)->Timestamp);
    const int64_t end = WholeSeconds(events.GetEvent(events.Count() - 1)->Timestamp);
    CheckedDifference(end, start); // the round's length, which a view shows
    TenthsRound(s.ReplayTime());    // the time line's range
    TenthsRound(static_cast<double>(end));
    s.MarkRoundStart();
    s.ApplyEvent(s.EventIndex());
    s.TakeReport();
    FRunning = true;
    s.LoadMapObjects(FSource.objectFile);
    s.TakeReport();
}

std::string TVideoExport::LoadPicture(TPictureHolder& image, const std::string& name)
{
    return LoadPictureFile(FSession->PictureFiles(), FSource.imageFolders, FSource.pictureMap, image, name).Name;
}

void TVideoExport::MoveTo(double time)
{
    // The clock runs while the round has ticks to come; a seek leaves it off at the end.
    TReplaySession& s = *FSession;
    if (!FRunning || s.ReplayTime() >= time - Reached)
        return;
    if (!s.RoundMarked() || s.Events().Count() == 0)
        return;
    try {
        s.SeekTo(time - Reached);
    } catch (...) {
        s.TakeReport();
        FRunning = false;
        throw;
    }
    s.TakeReport(); // what a view would show; the score log must not pile up here
    FRunning = !s.Ended();
}

void TVideoExport::Step()
{
    if (Done())
        return;
    if (!FAtStart) {
        MoveTo(FOptions.from);
        FAtStart = true;
        return;
    }
    MoveTo(FrameTime(FDone));
    Follow();
    DrawFrame();
    const QRect visible = QRect(FCorner, FView).intersected(QRect(0, 0, FSide, FSide));
    const QRect onMap = FOptions.area == TVideoArea::WholeMap ? QRect(QPoint(0, 0), FView) : QRect(visible.topLeft(), FView);
    const QImage frame = FBitmap.copy(onMap);
    if (FrameHook)
        FrameHook(frame, onMap);
    FEncoder->AddFrame(frame);
    ++FDone;
}

void TVideoExport::DrawFrame()
{
    TReplaySession& s = *FSession;
    const TReplaySettings& settings = FSource.settings;
    TFrameScene scene = ViewScene(s, FSource.view);
    scene.zoom = FZoom;
    scene.mapSize = QSize(FSide, FSide);
    scene.mapPicture = FSource.mapPicture.isNull() ? nullptr : &FSource.mapPicture;
    if (FSource.grid)
        scene.mapPicture = &FGrid.Picture(scene.mapSize, FZoom,
                                          TCalibration{settings.scaleX, settings.scaleY, settings.left, settings.top},
                                          settings.mapHeight, FSource.font);
    scene.font = FSource.font;
    if (scene.overlays.Any())
        scene.visible = QRect(FCorner, FView).intersected(QRect(0, 0, FSide, FSide));
    scene.placeObject = [&s](TMapObject& object) {
        s.PlaceMapObject(object);
        s.TakeReport();
    };
    scene.scrollTo = [](int, int) {}; // the export follows a player itself
    ::DrawFrame(FCanvas, FBitmap, scene);
}

void TVideoExport::Follow()
{
    if (FOptions.track.empty())
        return;
    // The frames keep the player in their middle. The map view's own following puts the label
    // 300 pixels from the view's corner, which leaves a small frame without the player.
    // A player who joins later is followed from their first frame.
    const TInfoClass* state = FSession->PlayerStates().Find(FOptions.track);
    if (!state)
        return;
    // Where the frame draws the marker's centre: the zoomed place of its centre.
    const long double zoom = static_cast<long double>(FZoom) / 1000.0L;
    const TMarker& marker = state->Image;
    const int32_t x = RoundToInt32((CheckedAdd(marker.Left, DivTrunc(marker.Width, 2))) * zoom);
    const int32_t y = RoundToInt32((CheckedAdd(marker.Top, DivTrunc(marker.Height, 2))) * zoom);
    ScrollTo(QPoint(x - FView.width() / 2, y - FView.height() / 2));
}

void TVideoExport::ScrollTo(QPoint corner)
{
    // The scrolled area ends where the zoomed map does; the map may stand left of its origin.
    const QPoint offset = FSource.mapOffset;
    const int across = std::max(0, offset.x() + FSide - FView.width());
    const int down = std::max(0, offset.y() + FSide - FView.height());
    const QPoint scrolled(std::clamp(corner.x() + offset.x(), 0, across), std::clamp(corner.y() + offset.y(), 0, down));
    FCorner = scrolled - offset;
}

namespace {

std::atomic<bool> Interrupted{false};

void Interrupt(int) { Interrupted = true; }

// While it lives, an interrupt or a termination request only asks the export to stop, so that
// it can take its temporary file with it.
class TInterruptScope {
public:
    TInterruptScope()
    {
        Interrupted = false;
        struct sigaction action = {};
        action.sa_handler = Interrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &FInterrupt);
        sigaction(SIGTERM, &action, &FTerminate);
    }
    ~TInterruptScope()
    {
        sigaction(SIGINT, &FInterrupt, nullptr);
        sigaction(SIGTERM, &FTerminate, nullptr);
    }

private:
    struct sigaction FInterrupt = {};
    struct sigaction FTerminate = {};
};

std::string Clock(double seconds)
{
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

} // namespace

bool RunVideoExport(TVideoExport& video, std::ostream& err, bool terminal)
{
    const TInterruptScope interrupts;
    const int count = video.FrameCount();
    int tenthsTold = 0;
    std::optional<std::chrono::steady_clock::time_point> started;
    while (!video.Done()) {
        if (Interrupted)
            break;
        video.Step();
        if (!started) {
            started = std::chrono::steady_clock::now(); // the frames alone tell the time left
            continue;
        }
        const int done = video.FramesDone();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - *started).count();
        const double left = seconds / done * (count - done);
        if (terminal) {
            constexpr int Width = 30;
            const int filled = static_cast<int>(static_cast<long long>(done) * Width / count);
            err << '\r' << '[' << std::string(filled, '#') << std::string(Width - filled, '.') << "] "
                << 100LL * done / count << "%  " << done << '/' << count << " frames  " << Clock(left) << " left   "
                << (done == count ? "\n" : "") << std::flush;
        } else if (const int tenths = static_cast<int>(10LL * done / count); tenths > tenthsTold) {
            tenthsTold = tenths;
            err << "video: " << tenths * 10 << "% (" << done << " of " << count << " frames)\n" << std::flush;
        }
    }
    if (terminal && !video.Done())
        err << '\n';
    return video.Done();
}

TVideoSource VideoSourceOf(const TRoundReplay& replay, const TViewOptions& view)
{
    const TRoundMap& map = replay.Map();
    TVideoSource source;
    source.round = replay.Round();
    source.roster = &replay.Roster();
    source.imageFolders = map.Files().ImageFolders();
    source.pictureMap = map.Files().PictureMap();
    source.objectFile = map.ObjectFile();
    source.settings = replay.Settings();
    source.grid = map.PictureMissing() && view.gridBackground;
    if (map.Picture().HasPicture())
        source.mapPicture = map.Picture().Picture();
    source.view = view;
    source.font = FrameFont();
    source.minZoom = MinMapZoom;
    source.maxZoom = MaxMapZoom;
    source.mapOffset = QPoint(MapCornerX, MapCornerY);
    return source;
}
