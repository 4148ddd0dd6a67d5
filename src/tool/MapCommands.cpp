// The map commands: a map's objects as placed on its picture, the calibration that puts
// reference pairs in place (saved as the Admin page saves it), and the fit to a round's places.
#include "tool/Commands.h"

#include "base/Convert.h"
#include "base/Files.h"
#include "base/Json.h"
#include "log/EventInfo.h"
#include "log/OpenedLog.h"
#include "mapview/Calibration.h"
#include "mapview/MapZoom.h"
#include "mapview/RoundMap.h"
#include "xmltree/wexXMLTree.h"

#include <algorithm>
#include <optional>
#include <ostream>

namespace {

// "X,Z=PX,PY": a world position and the map pixel where it lies.
TReferencePair ReferencePair(const std::string& text)
{
    const TUsageError bad{"--ref needs X,Z=PX,PY (a world position, then its map pixel), not '" + text + "'"};
    const auto both = [&](const std::string& part, double& first, double& second) {
        const size_t comma = part.find(',');
        long double a = 0, b = 0;
        if (comma == std::string::npos || !TryStrToFloat(LocalizePoints(part.substr(0, comma)), a) ||
            !TryStrToFloat(LocalizePoints(part.substr(comma + 1)), b))
            throw bad;
        first = static_cast<double>(a);
        second = static_cast<double>(b);
    };
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        throw bad;
    TReferencePair pair;
    both(text.substr(0, equals), pair.WorldX, pair.WorldZ);
    both(text.substr(equals + 1), pair.MapX, pair.MapY);
    return pair;
}

// The names the map's pictures missed, as the "Missing picture" page lists them: a line each,
// empty lines left out.
std::vector<std::string> MissingLines(const std::vector<std::string>& names)
{
    std::vector<std::string> lines;
    for (const std::string& name : names) {
        size_t from = 0;
        for (size_t at;; from = at + 1) {
            at = name.find('\n', from);
            const std::string line = name.substr(from, at == std::string::npos ? std::string::npos : at - from);
            if (!line.empty())
                lines.push_back(line);
            if (at == std::string::npos)
                break;
        }
    }
    return lines;
}

} // namespace

int Objects(TContext& c)
{
    if (c.args.empty() || c.args.size() % 2 == 0)
        throw TUsageError();
    const std::string map = TextOfFileName(c.Arg(0));
    std::string home = DefaultTarvel();
    std::map<std::string, int> numbers;
    for (size_t i = 1; i < c.args.size(); i += 2) {
        const std::string& option = c.Arg(i);
        if (option == "--home")
            home = HomeTarvel(c.Arg(i + 1));
        else if (option == "--scale" || option == "--correctiony" || option == "--left" || option == "--top")
            numbers[option] = StrToInt(c.Arg(i + 1));
        else
            throw TUsageError();
    }
    TToolScope scope;
    TProgramFiles files = StartWithoutWindow(home);
    TRoundMap shown(files);
    MoveSliders(shown, numbers);
    RunThenPrint([&] { shown.ShowMap(map); }, [&] {
        const TMapObjectList& objects = shown.Objects();
        for (int i = 0; i < objects.Count(); ++i) {
            const TMapObject& o = *objects.Object(i);
            c.out << "{\"class\":" << JsonString(o.FObjectClass) << ",\"position\":" << JsonString(o.FPosition)
                  << ",\"start\":" << JsonString(o.FStartPosition) << ",\"team\":" << o.FTeam
                  << ",\"picture\":" << JsonString(o.FPictureName) << ",\"x\":" << o.FImage.Left
                  << ",\"y\":" << o.FImage.Top << ",\"w\":" << o.FImage.Width << ",\"h\":" << o.FImage.Height
                  << "}\n";
        }
        c.out << "{\"missing\":[";
        const std::vector<std::string> missing = MissingLines(shown.MissingPictures());
        for (size_t i = 0; i < missing.size(); ++i)
            c.out << (i ? "," : "") << JsonString(missing[i]);
        c.out << "]}\n";
    });
    return scope.Finish(c.out, c.err);
}

int CalibrateMap(TContext& c)
{
    if (c.args.empty() || c.Arg(0).rfind("--", 0) == 0)
        throw TUsageError();
    const std::string map = TextOfFileName(c.Arg(0));
    std::string home = DefaultTarvel();
    std::vector<TReferencePair> pairs;
    std::optional<int> height;
    bool save = false;
    for (size_t i = 1; i < c.args.size(); ++i) {
        const std::string& option = c.Arg(i);
        if (option == "--home")
            home = HomeTarvel(c.Arg(++i));
        else if (option == "--ref")
            pairs.push_back(ReferencePair(c.Arg(++i)));
        else if (option == "--picture-height")
            height = WholeIn(c.Arg(++i), 1, 1000000, "--picture-height needs a height in pixels from 1 to 1000000");
        else if (option == "--save")
            save = true;
        else
            throw TUsageError();
    }
    TToolScope scope;
    TProgramFiles files = StartWithoutWindow(home);
    TRoundMap shown(files);
    RunHandler([&] { shown.ShowMap(map); });
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    if (!height) {
        if (shown.PictureMissing())
            throw TUsageError{"no picture of " + map + " (" + map + ".bmp or " + map + ".jpg) in " +
                              ProgramImagesFolder(home) + ": give --picture-height"};
        height = shown.Picture().Height;
    }
    TCalibration calibration;
    try {
        calibration = SolveCalibration(pairs, *height);
    } catch (const ECalibrationError& error) {
        throw TUsageError{error.Message()};
    }
    if (save) {
        // The sliders set and "Save" pressed, then the settings written as the program ends.
        RunHandler([&] {
            shown.MoveSlider(&TCalibration::XScale, calibration.XScale);
            shown.MoveSlider(&TCalibration::YScale, calibration.YScale);
            shown.MoveSlider(&TCalibration::Left, calibration.Left);
            shown.MoveSlider(&TCalibration::Top, calibration.Top);
            SaveMapCalibration(files.SettingsFile(), shown, std::clamp(StartZoom(files.Settings()), MinMapZoom, MaxMapZoom));
        });
        if (scope.Failed())
            return scope.Finish(c.out, c.err);
        files.SettingsFile().Save();
    }
    c.out << CalibrationJson(calibration, PairResiduals(calibration, *height, pairs)) << '\n';
    return scope.Finish(c.out, c.err);
}

int FitRound(TContext& c)
{
    const TRoundCommand command(c, [](const std::string&, size_t&) { return false; });
    TToolScope scope;
    TProgramFiles files = StartWithoutWindow(command.home);
    TRoundMap map(files);
    command.SetUp(map, files, scope, c.err);
    TOpenedLog log;
    OpenTelling(log, command.log, c.err);
    CheckRoundListed(command.round, log.Rounds().size());
    TwexXMLNode& round = *log.Round(command.round);
    TEventInfoList events;
    RunHandler([&] { map.Select(round, events); });
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    TCalibration fit;
    try {
        fit = map.FitToRound(events);
    } catch (const ECalibrationError& error) {
        throw TUsageError{error.Message()};
    }
    c.out << CalibrationJson(fit, {}) << '\n';
    return scope.Finish(c.out, c.err);
}
