// `ornwick video`: a round, or a span of it, filmed as an H.264 MP4 by a replay of its own, as
// the window's "Export video" films it.
#include "tool/Commands.h"
#include "tool/Overlays.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Json.h"
#include "log/OpenedLog.h"
#include "mapview/MapZoom.h"
#include "replay/ReplaySession.h"
#include "round/RoundReplay.h"
#include "round/RoundVideo.h"
#include "round/RoundView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>

#include <unistd.h>

namespace {

} // namespace

int Video(TContext& c)
{
    std::string out, track;
    std::optional<long double> from, to;
    std::string fromText, toText;
    long double speed = 10;
    int fps = 30;
    std::optional<int> zoom, size;
    TOverlayOptions overlays;
    // A number of the option; `whole` asks for an integer.
    auto number = [&](const std::string& option, size_t& i, bool whole) {
        const std::string text = c.Arg(++i);
        long double value = 0;
        if (!TryStrToFloat(LocalizePoints(text), value) || (whole && value != std::floor(value)))
            throw TUsageError{option + " needs " + (whole ? "a whole number" : "a number") + ", not '" + text + "'"};
        return value;
    };
    const TRoundCommand command(c, [&](const std::string& option, size_t& i) {
        if (option == "--out")
            out = c.Arg(++i);
        else if (option == "--from") {
            fromText = c.Arg(i + 1);
            from = number(option, i, false);
        } else if (option == "--to") {
            toText = c.Arg(i + 1);
            to = number(option, i, false);
        } else if (option == "--speed")
            speed = number(option, i, false);
        else if (option == "--fps")
            fps = static_cast<int>(std::clamp(number(option, i, true), -1.0L, 1000.0L));
        else if (option == "--size")
            size = static_cast<int>(std::clamp(number(option, i, true), -1.0L, 100000.0L));
        else if (option == "--zoom")
            zoom = static_cast<int>(std::clamp(number(option, i, true), -1.0L, 100000.0L));
        else if (option == "--track")
            track = c.Arg(++i);
        else
            return overlays.Take(c, option, i);
        return true;
    });
    if (out.empty())
        throw TUsageError{"video needs --out FILE.mp4"};
    CheckOutput("--out", out, {".MP4"}, "the video is an MP4 file, its name ends in .mp4", {command.log});
    if (!(speed >= 1 && speed <= 100))
        throw TUsageError{"--speed runs from 1 to 100 times real time"};
    if (fps < 10 || fps > 60)
        throw TUsageError{"--fps runs from 10 to 60 frames per second"};
    if (size && (*size < 16 || *size > 4096 || *size % 2))
        throw TUsageError{"--size is the side of the square in pixels: an even number from 16 to 4096"};
    if (zoom && (*zoom < 500 || *zoom > 10000))
        throw TUsageError{"--zoom runs from 500 to 10000 (thousandths)"};
    TGuiScope scope;
    TProgramFiles files = StartWithoutWindow(command.home);
    TRoundView view;
    const TViewOptions options = StartView(view, files, overlays, zoom);
    TOpenedLog log;
    const std::unique_ptr<TRoundReplay> selected = SelectInView(command, log, files, view, scope, c.err);
    TRoundReplay& replay = *selected;
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    const TReplaySession& session = replay.Session();
    if (session.Events().Count() == 0)
        throw TUsageError{"round " + std::to_string(command.round) + " has no events: there is nothing to film"};
    TVideoOptions video;
    const double start = session.RoundStartTime();
    const double end = session.Events().GetEvent(session.Events().Count() - 1)->Timestamp;
    video.from = from ? static_cast<double>(*from) : start;
    video.to = to ? static_cast<double>(*to) : end;
    if (video.from < start)
        throw TUsageError{"--from " + fromText + ": the time lies before the round, which starts at " +
                          JsonNumber(start) + " s"};
    if (video.to > end)
        throw TUsageError{"--to " + toText + ": the time lies after the round, which ends at " + JsonNumber(end) + " s"};
    if (!(video.to > video.from) && !from && !to)
        throw TUsageError{"the round has no span to film: its last event (at " + JsonNumber(end) +
                          " s) is not after its start (at " + JsonNumber(start) + " s)"};
    if (!(video.to > video.from))
        throw TUsageError{"the span must end after it starts: --to " + JsonNumber(video.to) + " is not after --from " +
                          JsonNumber(video.from)};
    if (!track.empty() && !RoundHasPlayer(session.Events(), track))
        throw TUsageError{"--track " + track + ": no such player in the round"};
    video.speed = static_cast<double>(speed);
    video.fps = fps;
    video.zoom = view.Zoom();
    video.area = size ? TVideoArea::Square : TVideoArea::WholeMap;
    video.square = size.value_or(0);
    video.track = track;
    const bool terminal = &c.err == &std::cerr && isatty(STDERR_FILENO);
    try {
        // Another of libavcodec's H.264 encoders may be named instead of libx264.
        const char* encoder = std::getenv("ORNWICK_H264_ENCODER");
        TVideoExport film(VideoSourceOf(replay, options), video, out, encoder ? encoder : "");
        if (!RunVideoExport(film, c.err, terminal))
            throw TUsageError{"video: interrupted, no file written"};
        film.Finish();
    } catch (const EFCreateError& error) {
        throw TUsageError{error.Message()};
    } catch (const EVideoError& error) {
        throw TUsageError{error.Message()};
    }
    return scope.Finish(c.out, c.err);
}
