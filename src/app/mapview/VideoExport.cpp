#include "app/mapview/VideoExport.h"

#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Files.h"
#include "base/Numeric.h"
#include "replay/InfoClass.h"
#include "replay/PlayerStates.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QImageWriter>
#include <QSaveFile>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <optional>
#include <cstdio>
#include <ostream>

namespace {

// Clock times are sums of tenths: 10.3 may stand as 10.29999. A frame's moment counts as
// reached within this much.
constexpr double Reached = 1e-6;

int ZoomedSide(int zoom) { return RoundToInt32(static_cast<long double>(zoom) / 1000.0L * 600); }

int Even(int pixels) { return pixels - pixels % 2; }

} // namespace

int VideoFrameCount(double from, double to, double speed, int fps)
{
    const double frames = std::ceil((to - from) * fps / speed - 1e-9);
    return frames < 1 ? 1 : frames > 1e7 ? 10000000 : static_cast<int>(frames);
}

TVideoOptions ViewOptions(const TTarvelMain& window)
{
    TVideoOptions options;
    const QRect visible = VisibleMapRect(window);
    const int side = window.MapZoomImage->width();
    options.area = TVideoArea::View;
    options.view = visible.size();
    options.zoom = window.TBMApZoom->value();
    if (side > 0)
        options.centre = QPointF(visible.left() + visible.width() / 2.0, visible.top() + visible.height() / 2.0) / side;
    return options;
}

QRect VisibleMapRect(const TTarvelMain& window)
{
    const QWidget* view = window.ScrollBox1->viewport();
    const QPoint corner = window.MapZoomImage->mapFrom(view, QPoint(0, 0));
    return QRect(corner, view->size()).intersected(window.MapZoomImage->rect());
}

void SavePictureAtomically(const QImage& picture, const std::string& fileName)
{
    const std::string extension = UpperCaseAscii(ExtractFileExt(fileName));
    const char* format = extension == ".PNG" ? "PNG" : extension == ".JPG" || extension == ".JPEG" ? "JPEG" : nullptr;
    if (!format)
        throw EBaseError("A picture is saved as .png, .jpg or .jpeg, not as " + fileName);
    if (picture.isNull())
        throw EBaseError("There is no picture to save yet");
    // Encoded first, then written in one piece: a failed write names the system's reason.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (std::string(format) == "JPEG")
        writer.setQuality(92);
    if (!writer.write(picture))
        throw EFCreateError(fileName);
    WriteWholeFile(fileName, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

TVideoExport::TVideoExport(TTarvelMain& window, const TVideoOptions& options, const std::string& fileName,
                           const std::string& encoder)
    : FWindow(window), FOptions(options)
{
    FCount = VideoFrameCount(options.from, options.to, options.speed, options.fps);
    // The clock moves only as the frames ask; a timer of its own would tick on meanwhile.
    FTimerSignals = window.Timer1->blockSignals(true);
    // Restarting the round over and over would never reach the span's end.
    window.ReplayFromstart20Events->setChecked(false);
    // The export follows a player itself (Follow).
    window.CBTrackPlayer->setChecked(false);

    int zoom = options.zoom;
    if (options.area == TVideoArea::Square)
        while (zoom < window.TBMApZoom->maximum() && ZoomedSide(zoom) < options.square)
            ++zoom;
    window.SetTrackBarPosition(window.TBMApZoom, zoom);
    const int side = window.MapZoomImage->width();
    QSize size(side, side);
    if (options.area == TVideoArea::View)
        size = options.view.boundedTo(size);
    else if (options.area == TVideoArea::Square)
        size = QSize(options.square, options.square).boundedTo(size);
    size = QSize(Even(size.width()), Even(size.height()));
    if (size.width() > TVideoEncoder::MaxSide || size.height() > TVideoEncoder::MaxSide) {
        window.Timer1->blockSignals(FTimerSignals);
        throw EVideoError("Cannot encode video: frames of the whole map at this zoom would be " +
                          std::to_string(size.width()) + " pixels wide, more than " +
                          std::to_string(TVideoEncoder::MaxSide) + "; zoom out or choose a square");
    }

    // Off the screen but laid out, so that the map view scrolls, follows and has its corners
    // as it does on the screen, at the frames' size.
    if (!window.isVisible()) {
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
    }
    TScrollBox& view = *window.ScrollBox1;
    view.setFrameShape(QFrame::NoFrame);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.resize(size);
    // Towards the top left: a side made even loses its last row or column, the corner stays.
    auto corner = [side](double centre, int length) {
        return static_cast<int>(std::floor(centre * side - length / 2.0 + 1e-6));
    };
    ScrollTo(QPoint(corner(options.centre.x(), size.width()), corner(options.centre.y(), size.height())));

    try {
        FEncoder = std::make_unique<TVideoEncoder>(fileName, size, options.fps, encoder);
    } catch (...) {
        window.Timer1->blockSignals(FTimerSignals);
        throw;
    }
}

TVideoExport::~TVideoExport() { FWindow.Timer1->blockSignals(FTimerSignals); }

double TVideoExport::FrameTime(int k) const { return FOptions.from + k * FOptions.speed / FOptions.fps; }

void TVideoExport::Step()
{
    if (Done())
        return;
    TTarvelMain& w = FWindow;
    // The timer runs while the round has ticks to come; a seek leaves it off at the end.
    auto moveTo = [&w](double time) {
        if (w.Timer1->isActive() && w.ReplayTime() < time - Reached)
            w.SeekTo(time - Reached);
    };
    if (!FAtStart) {
        moveTo(FOptions.from);
        FAtStart = true;
        return;
    }
    moveTo(FrameTime(FDone));
    Follow();
    w.SetLayoutChanged();
    w.DrawMap();
    const QRect onMap = FOptions.area == TVideoArea::WholeMap ? QRect(QPoint(0, 0), FrameSize())
                                                                : QRect(VisibleMapRect(w).topLeft(), FrameSize());
    const QImage frame = w.MapZoomImage->Picture().copy(onMap);
    if (FrameHook)
        FrameHook(frame, onMap);
    FEncoder->AddFrame(frame);
    ++FDone;
}

void TVideoExport::Follow()
{
    if (FOptions.track.empty())
        return;
    // The frames keep the player in their middle. The window's own following puts the label
    // 300 pixels from the view's corner, which leaves a small frame without the player.
    // A player who joins later is followed from their first frame.
    const TInfoClass* state = FWindow.PlayerStates().Find(FOptions.track);
    if (!state)
        return;
    // Where the frame draws the marker's centre: the zoomed place of its centre.
    const long double zoom = static_cast<long double>(FWindow.TBMApZoom->value()) / 1000.0L;
    const TPictureHolder& marker = state->Image;
    const int32_t x = RoundToInt32((CheckedAdd(marker.Left, DivTrunc(marker.Width, 2))) * zoom);
    const int32_t y = RoundToInt32((CheckedAdd(marker.Top, DivTrunc(marker.Height, 2))) * zoom);
    ScrollTo(QPoint(x - FrameSize().width() / 2, y - FrameSize().height() / 2));
}

void TVideoExport::ScrollTo(QPoint corner)
{
    // The map's picture need not stand at the scrolled area's origin (it stands 8 pixels left).
    const QPoint at = corner + FWindow.MapZoomImage->pos();
    FWindow.ScrollBox1->horizontalScrollBar()->setValue(at.x());
    FWindow.ScrollBox1->verticalScrollBar()->setValue(at.y());
}

bool RoundHasPlayer(const TEventInfoList& events, const std::string& key)
{
    for (int i = 0; i < events.Count(); ++i)
        if (PlayerKey(events.GetEvent(i)->PlayerID) == key)
            return true;
    return false;
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
