// `ornwick render`: a round replayed to a moment and its frame written as a picture: the whole
// zoomed map, or what a map view of a given size shows, and the minimap.
#include "tool/Commands.h"
#include "tool/Overlays.h"

#include "base/Convert.h"
#include "base/Json.h"
#include "log/OpenedLog.h"
#include "mapview/MapZoom.h"
#include "replay/PlayerStates.h"
#include "replay/ReplaySession.h"
#include "round/RoundReplay.h"
#include "round/RoundView.h"
#include "xmltree/wexXMLTree.h"

#include <QGuiApplication>
#include <QPalette>
#include <QSize>
#include <QStringList>

#include <algorithm>
#include <optional>
#include <ostream>

namespace {

// A view's size, "WxH", each from 1 to 100000 pixels.
QSize ViewSize(const std::string& option, const std::string& size)
{
    const TUsageError bad{option + " needs the view's size as WxH in pixels, such as 1500x900, not '" + size + "'"};
    const size_t x = size.find('x');
    if (x == std::string::npos)
        throw bad;
    int32_t width = 0, height = 0;
    if (!TryStrToInt(size.substr(0, x), width) || !TryStrToInt(size.substr(x + 1), height) || width < 1 ||
        height < 1 || width > 100000 || height > 100000)
        throw bad;
    return QSize(width, height);
}

int FitWindowZoom(const std::string& size)
{
    const QSize view = ViewSize("--fit-window", size);
    return ::ZoomToFit(view.width(), view.height());
}

// Whether the player's row is on the scoreboard.
bool OnScoreboard(const TReplaySession& session, const TInfoClass* state)
{
    const std::vector<TScoreRow>& rows = session.ScoreRows();
    return state && std::any_of(rows.begin(), rows.end(), [state](const TScoreRow& row) { return row.state == state; });
}

} // namespace

int Render(TContext& c)
{
    std::optional<long double> at;
    std::string out, minimap, track;
    std::optional<int> zoom;
    std::string fitWindow, viewText;
    std::string atText;
    bool killInfo = false;
    TOverlayOptions overlays;
    std::vector<std::string> hidden;
    const TRoundCommand command(c, [&](const std::string& option, size_t& i) {
        if (option == "--at") {
            long double seconds = 0;
            atText = c.Arg(++i);
            if (!TryStrToFloat(LocalizePoints(atText), seconds))
                throw TUsageError{"--at needs a time in seconds, not '" + atText + "'"};
            at = seconds;
        } else if (option == "--out")
            out = c.Arg(++i);
        else if (option == "--minimap")
            minimap = c.Arg(++i);
        else if (option == "--zoom")
            zoom = StrToInt(c.Arg(++i));
        else if (option == "--fit-window")
            fitWindow = c.Arg(++i);
        else if (option == "--view")
            viewText = c.Arg(++i);
        else if (option == "--track")
            track = c.Arg(++i);
        else if (option == "--killinfo")
            killInfo = true;
        else if (option == "--hide") {
            const QStringList names = QString::fromStdString(c.Arg(++i)).split(QLatin1Char(','));
            for (const QString& name : names) {
                if (name != "objects" && name != "flags" && name != "lines")
                    throw TUsageError{"--hide takes objects, flags and lines, not '" + name.toStdString() + "'"};
                hidden.push_back(name.toStdString());
            }
        } else
            return overlays.Take(c, option, i);
        return true;
    });
    if (!at)
        throw TUsageError{"render needs --at SECONDS"};
    if (out.empty())
        throw TUsageError{"render needs --out FILE.png"};
    const std::vector<std::string> pictures = {".PNG", ".JPG", ".JPEG"};
    const std::string pictureNames = "a picture is saved as .png, .jpg or .jpeg";
    CheckOutput("--out", out, pictures, pictureNames, {command.log});
    if (!minimap.empty()) {
        CheckOutput("--minimap", minimap, pictures, pictureNames, {command.log});
        if (SameOutput(out, minimap))
            throw TUsageError{"--minimap " + minimap + ": that is the file of --out; name a file of its own"};
    }
    if (!fitWindow.empty()) {
        if (zoom)
            throw TUsageError{"render takes --zoom or --fit-window, not both"};
        zoom = FitWindowZoom(fitWindow);
    }
    const std::optional<QSize> viewSize =
        viewText.empty() ? std::nullopt : std::optional(ViewSize("--view", viewText));
    TGuiScope scope;
    TProgramFiles files = StartWithoutWindow(command.home);
    TRoundView view(viewSize);
    TViewOptions options = StartView(view, files, overlays, zoom);
    for (const std::string& name : hidden)
        (name == "objects" ? options.showObjects : name == "flags" ? options.showFlags : options.showHitLines) = false;
    options.killInfo = killInfo;
    TOpenedLog log;
    const std::unique_ptr<TRoundReplay> selected = SelectInView(command, log, files, view, scope, c.err);
    TRoundReplay& replay = *selected;
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    const TReplaySession& session = replay.Session();
    if (*at < session.RoundStartTime())
        throw TUsageError{"--at " + atText + ": the time lies before the round, which starts at " +
                          JsonNumber(session.RoundStartTime()) + " s"};
    while (replay.Running() && session.ReplayTime() < *at)
        RunHandler([&] { replay.Tick(); });
    if (!track.empty()) {
        if (!OnScoreboard(session, session.PlayerStates().Find(track)))
            throw TUsageError{"--track " + track + ": no such player on the scoreboard at that time"};
        options.trackPlayer = true;
        options.trackedPlayer = track;
    }
    const QFont font = FrameFont();
    RunHandler([&] { view.Draw(replay, options, font); });
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    // As the window's export writes them: PNG, or JPEG by the name. Beyond the map the view
    // shows the style's window colour.
    SavePictureAtomically(viewSize ? view.ViewPicture(QGuiApplication::palette().color(QPalette::Window)) : view.Bitmap(), out);
    if (!minimap.empty())
        SavePictureAtomically(view.Minimap(replay), minimap);
    return scope.Finish(c.out, c.err);
}
