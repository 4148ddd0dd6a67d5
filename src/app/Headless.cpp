#include "app/Headless.h"

#include "app/Startup.h"
#include "app/UAboutForm.h"
#include "app/UTarvelMain.h"
#include "app/OpenDialog.h"
#include "app/WidgetDump.h"
#include "base/ErrorReporting.h"
#include "base/Files.h"
#include "base/Convert.h"
#include "base/Json.h"
#include "level/MapImport.h"
#include "log/LogFile.h"
#include "log/OpenedLog.h"
#include "mapview/Calibration.h"
#include "app/mapview/VideoExport.h"
#include "mapview/MapZoom.h"
#include "settings/ProgramFolder.h"
#include "mapview/RoundMap.h"
#include "replay/PlayerStates.h"
#include "round/RoundReplay.h"
#include "replay/RoundStats.h"
#include "xmltree/wexXMLTree.h"

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const char Usage[] =
    "usage: ornwick COMMAND ARGS...\n"
    "  (LOG N: round N of the log, its place in the round list that rounds prints, 0 first)\n"
    "  tokens LOG         the parser's token list, one token per line\n"
    "  tree LOG           every node of the tree as JSON, document order\n"
    "  select LOG PATH    the node a path selects as JSON (exit 3 when none)\n"
    "  convert LOG.zxml   write the inflated log beside it as .xml\n"
    "  rounds LOG         the round list of the log, one item per line\n"
    "  roster LOG         every stay of a player in the log as JSON\n"
    "  events LOG N       the event records of the round of list item N as JSON\n"
    "  objects MAP [--home DIR] [--scale N] [--correctiony N] [--left N] [--top N]\n"
    "                     the map's objects as placed on its picture, then the missing pictures\n"
    "  replay LOG N [--home DIR] [--ticks K] [--no-animate] [--loop] [--scale S]\n"
    "         [--correctiony C] [--left L] [--top T]\n"
    "         [--seek SECONDS] [--next-kill] [--previous-kill]\n"
    "                     replays round N without drawing, tick after tick, until it\n"
    "                     ends or K ticks have run; then the clock, the player states,\n"
    "                     the scoreboard, the map objects and the score log as JSON.\n"
    "                     Seeks and kill steps run in their order after the selection,\n"
    "                     and K more ticks after them; \"ticks\" counts every tick since\n"
    "                     the selection (or the loop's last restart) that the state stands\n"
    "                     for. --loop restarts the round after its 100th event: it needs K\n"
    "  render LOG N --at SECONDS --out MAP.png [--minimap MINI.png] [--zoom Z]\n"
    "         [--fit-window WxH] [--view WxH] [--home DIR] [--track KEY] [--scale S]\n"
    "         [--correctiony C] [--left L] [--top T] [--hide objects,flags,lines] [--killinfo]\n"
    "         [--trails SECONDS] [--deathmap] [--killfeed]\n"
    "                     replays round N until the clock reaches SECONDS, draws one\n"
    "                     frame and writes the whole zoomed map (and the minimap) as PNG,\n"
    "                     or as JPEG when the name ends in .jpg or .jpeg; --fit-window\n"
    "                     zooms as \"Fit map to window\" does for a view of W x H pixels\n"
    "                     (instead of --zoom); --view writes, instead of the whole zoomed\n"
    "                     map, what a map view of W x H pixels shows after the selection\n"
    "                     (its zoom and scroll); the trails of the last SECONDS (1 to 60),\n"
    "                     the death map and the kill feed are drawn only when asked\n"
    "  stats LOG N [--home DIR]\n"
    "                     the server's statistics of round N as JSON: one object for the\n"
    "                     round, then one per player in the server's order, with the\n"
    "                     replay's own counts of the player\n"
    "  video LOG N --out FILE.mp4 [--from S] [--to S] [--speed X] [--fps F] [--size PX]\n"
    "         [--zoom Z] [--track KEY] [--home DIR] [--trails S] [--deathmap] [--killfeed]\n"
    "                     writes round N, or its span between the log times S, as an H.264\n"
    "                     video at X times real time (10), F frames a second (30), a square\n"
    "                     of PX pixels or the whole zoomed map, with the overlays asked for;\n"
    "                     KEY: a player kept in the middle. The progress goes to standard\n"
    "                     error. ORNWICK_H264_ENCODER names an encoder other than libx264\n"
    "  calibrate MAP [--home DIR] --ref X,Z=PX,PY [--ref ...] [--picture-height H] [--save]\n"
    "                     the calibration that puts each world position X,Z at its map pixel\n"
    "                     PX,PY, with each pair's error in pixels, as JSON; the picture's\n"
    "                     height from MAP's picture or H; --save stores it for MAP in Tarvel.ini\n"
    "                     as the Admin page's Save does\n"
    "  fit LOG N [--home DIR]\n"
    "                     the calibration that puts every place of round N on its map picture\n"
    "  import-map SOURCE [--home DIR] [--map NAME] [--mod MOD] [--mode GAMETYPE]\n"
    "         [--picture terrain|overview]\n"
    "                     makes a map from the game's own files: SOURCE is a level folder, a\n"
    "                     level archive (.rfa), or a game folder with --map (and --mod, bf1942\n"
    "                     when not given); writes the map's picture (the terrain tiles, or the\n"
    "                     game's overview map; the other when the level lacks the one, the\n"
    "                     world's grid when it has neither: \"pictureKind\" says which) and\n"
    "                     object file (GAMETYPE: GPM_CQ, GPM_CTF, GPM_TDM, GPM_COOP or the\n"
    "                     folder name; Conquest when not given) into images/ and its\n"
    "                     calibration into Tarvel.ini, and prints what it wrote as JSON;\n"
    "                     nothing is written when it fails (exit 2)\n"
    "  widgets [--home DIR]  the main window's controls as JSON, then its menu items\n"
    "  about [--home DIR]    the About window's controls as JSON, logo loaded\n"
    "                     DIR stands in for the program's folder (Tarvel.ini, Tarvel.map,\n"
    "                     images/); without it, the folder of Tarvel beside this tool\n"
    "  (MAP and NAME: a map's name; typed in UTF-8 it is the log's 8-bit (Latin-1) name, and\n"
    "  its files are named by the name in UTF-8)\n";

// Thrown for a command line the tool cannot run; exit status 2.
// Thrown for a command line the tool cannot run; exit status 2. With a message, the message
// alone is told; without one, the usage.
struct TUsageError {
    std::string message;
};

std::string NodeJson(const TwexXMLNode& node, int depth)
{
    std::string json = "{\"depth\":" + std::to_string(depth) + ",\"name\":" + JsonString(node.Name()) +
                       ",\"value\":" + JsonString(node.Value()) +
                       ",\"cdata\":" + (node.IsCData() ? "true" : "false") + ",\"attrs\":[";
    bool first = true;
    for (const TwexXMLAttribute& attribute : node.Attributes()) {
        if (!first)
            json += ',';
        first = false;
        json += '[' + JsonString(attribute.Name()) + ',' + JsonString(attribute.Value()) + ']';
    }
    json += "]}";
    return json;
}

struct TContext {
    std::vector<std::string> args; // after the command name
    std::ostream& out;
    std::ostream& err;

    const std::string& Arg(size_t i) const
    {
        if (i >= args.size())
            throw TUsageError();
        return args[i];
    }
    void ExpectArgs(size_t n) const
    {
        if (args.size() != n)
            throw TUsageError();
    }
};

int Tokens(TContext& c)
{
    c.ExpectArgs(1);
    TwexXMLTree document("ROOT", "", nullptr);
    LoadLogFile(c.Arg(0), document);
    document.Lines().WriteTo(c.out);
    return 0;
}

int Tree(TContext& c)
{
    c.ExpectArgs(1);
    TwexXMLTree document("ROOT", "", nullptr);
    LoadLogFile(c.Arg(0), document);
    // Pre-order without recursion: documents can be very deep.
    std::vector<std::pair<const TwexXMLNode*, int>> stack{{&document, 0}};
    std::string line;
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        c.out << NodeJson(*node, depth) << '\n';
        const auto children = node->Children();
        for (size_t i = children.size(); i-- > 0;)
            stack.emplace_back(children[i], depth + 1);
    }
    return 0;
}

int Select(TContext& c)
{
    c.ExpectArgs(2);
    TwexXMLTree document("ROOT", "", nullptr);
    LoadLogFile(c.Arg(0), document);
    const TwexXMLNode* node = document.SelectNode(c.Arg(1));
    if (!node)
        return 3;
    c.out << NodeJson(*node, 0) << '\n';
    return 0;
}

// N of LOG N: the round's place in the log's round list, a whole number from 0.
int RoundNumber(const std::string& text)
{
    int32_t round = 0;
    if (!TryStrToInt(text, round) || round < 0 || text.find_first_not_of("0123456789") != std::string::npos)
        throw TUsageError{"N is the round's place in the log's round list (0 for the first), not '" + text + "'"};
    return round;
}

// A round the opened log lists, else the usage error naming how many it lists.
void CheckRoundListed(int round, size_t rounds)
{
    if (static_cast<size_t>(round) < rounds)
        return;
    throw TUsageError{"no round " + std::to_string(round) + ": the log lists " +
                      (rounds == 0   ? std::string("no round worth replaying")
                       : rounds == 1 ? std::string("one round, 0")
                                     : std::to_string(rounds) + " rounds, 0 to " + std::to_string(rounds - 1)) +
                      " (see ornwick rounds LOG)"};
}

// An output the command writes: a name with one of the extensions that is not the log it reads
// (through a link or another spelling of its path neither) and, when it exists, a regular
// file. Checked before any work, so that nothing at all is written when it fails.
void CheckOutput(const std::string& option, const std::string& out, const std::vector<std::string>& extensions,
                 const std::string& wrongExtension, const std::vector<std::string>& inputs)
{
    const std::string extension = UpperCaseAscii(ExtractFileExt(out));
    if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
        throw TUsageError{option + " " + out + ": " + wrongExtension};
    if (ExistsAsNonRegularFile(out))
        throw TUsageError{option + " " + out + ": it exists and is not a regular file"};
    for (const std::string& input : inputs)
        if (SameFile(out, input))
            throw TUsageError{option + " " + out + ": that is the log being read; name a file of its own"};
}

// Whether two names lead to one file, also before either exists.
bool SameOutput(const std::string& a, const std::string& b)
{
    const auto absolute = [](const std::string& name) {
        return QDir::cleanPath(QFileInfo(QFile::decodeName(QByteArray::fromStdString(name))).absoluteFilePath());
    };
    return SameFile(a, b) || absolute(a) == absolute(b);
}

// A log that broke off opens as far as it goes; the user is told on standard error.
void TellLogNote(const std::string& note, std::ostream& err)
{
    if (!note.empty())
        err << note << '\n';
}

void OpenTelling(TOpenedLog& log, const std::string& fileName, std::ostream& err)
{
    log.Open(fileName);
    TellLogNote(log.Reading().Note(), err);
}

int Convert(TContext& c)
{
    c.ExpectArgs(1);
    ConvertZxmlLog(c.Arg(0));
    return 0;
}

std::string HomeTarvel(std::string folder)
{
    if (folder.empty())
        throw TUsageError();
    if (folder.back() != '/')
        folder += '/';
    return folder + "Tarvel";
}

std::string DefaultTarvel() { return ExtractFilePath(ExecutablePath()) + "Tarvel"; }

// The path the window takes for the program's own: Tarvel in the --home folder, or beside
// this tool.
std::string TarvelPath(const TContext& c)
{
    if (c.args.empty())
        return DefaultTarvel();
    c.ExpectArgs(2);
    if (c.Arg(0) != "--home")
        throw TUsageError();
    return HomeTarvel(c.Arg(1));
}

// What every command that reports errors shares: Qt's own chatter is not the tool's output, so
// standard error carries the program's messages alone; the errors reported are collected and
// told after the output, as failures are.
class TToolScope {
public:
    TToolScope()
    {
        FPreviousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                fprintf(stderr, "%s\n", qPrintable(text));
        });
        FPreviousSink = SetErrorSink([this](const std::string& message) { FMessages.push_back(message); });
    }
    ~TToolScope()
    {
        qInstallMessageHandler(FPreviousHandler);
        SetErrorSink(std::move(FPreviousSink));
    }

    bool Failed() const { return !FMessages.empty(); }

    // Writes the collected messages; the command's exit status.
    int Finish(std::ostream& out, std::ostream& err) const
    {
        if (FMessages.empty())
            return 0;
        out.flush();
        for (const std::string& message : FMessages)
            err << message << '\n';
        return 1;
    }

private:
    TErrorSink FPreviousSink;
    QtMessageHandler FPreviousHandler = nullptr;
    std::vector<std::string> FMessages;
};

// Windows need a GUI application; the tool makes an offscreen one unless one exists (tests).
class TWindowScope : public TToolScope {
public:
    TWindowScope()
    {
        if (!QApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "ornwick";
            static char* argv[] = {name, nullptr};
            FApp = std::make_unique<QApplication>(argc, argv);
        }
    }

private:
    std::unique_ptr<QApplication> FApp;
};

// The commands that answer from the model build no window, but start as the window starts:
// its program files read from the folder of `exeName`, a failure reported as the window
// reports it. The user's configuration folder is the window's, whatever the application's name.
TProgramFiles StartWithoutWindow(const std::string& exeName)
{
    if (!QCoreApplication::instance())
        QCoreApplication::setApplicationName(QStringLiteral("ornwick"));
    TProgramFiles files(exeName);
    RunHandler([&] { files.Read(); });
    return files;
}

int Widgets(TContext& c)
{
    const std::string exeName = TarvelPath(c);
    TWindowScope scope;
    // Built and shown as the program does; the tool never writes the settings file.
    TTarvelMain window(exeName);
    window.show();
    QCoreApplication::processEvents();
    c.out << WidgetTreeJson(window) << MenuItemsJson(*window.MainMenu1);
    return scope.Finish(c.out, c.err);
}

int About(TContext& c)
{
    const std::string exeName = TarvelPath(c);
    TWindowScope scope;
    TAboutForm form(nullptr, exeName);
    form.show(); // loads the logo
    QCoreApplication::processEvents();
    c.out << WidgetTreeJson(form);
    return scope.Finish(c.out, c.err);
}

// Prints what the window holds even when the command fails: the failure's message follows it.
template <typename Work, typename Print>
void RunThenPrint(Work&& work, Print&& print)
{
    try {
        work();
    } catch (const TUsageError&) {
        throw; // the command line was wrong: nothing was done to print
    } catch (...) {
        print();
        throw;
    }
    print();
}

int Rounds(TContext& c)
{
    c.ExpectArgs(1);
    TToolScope scope;
    StartWithoutWindow(DefaultTarvel());
    TOpenedLog log;
    RunThenPrint([&] { OpenTelling(log, c.Arg(0), c.err); }, [&] {
        for (const TLogRound& round : log.Rounds())
            c.out << round.Text << '\n';
    });
    return scope.Finish(c.out, c.err);
}

int Roster(TContext& c)
{
    c.ExpectArgs(1);
    TToolScope scope;
    StartWithoutWindow(DefaultTarvel());
    TOpenedLog log;
    RunThenPrint([&] { OpenTelling(log, c.Arg(0), c.err); }, [&] {
        const TPlayerList& roster = log.Roster();
        for (int i = 0; i < roster.Count(); ++i) {
            const TPlayerInfo& p = *roster.GetPlayer(i);
            c.out << "{\"join\":" << JsonNumber(p.JoinTime) << ",\"leave\":" << JsonNumber(p.LeaveTime)
                  << ",\"id\":" << p.PlayerID << ",\"name\":" << JsonString(p.PlayerName) << "}\n";
        }
    });
    return scope.Finish(c.out, c.err);
}

std::string EventJson(const TEventInfo& e)
{
    return "{\"EventName\":" + JsonString(e.EventName) + ",\"Timestamp\":" + JsonNumber(e.Timestamp) +
           ",\"PlayerID\":" + std::to_string(e.PlayerID) + ",\"VictimID\":" + std::to_string(e.VictimID) +
           ",\"Team\":" + std::to_string(e.Team) + ",\"PcoID\":" + std::to_string(e.PcoID) +
           ",\"PlayerLocation\":" + JsonString(e.PlayerLocation) + ",\"PosX\":" + JsonNumber(e.PosX) +
           ",\"PosY\":" + JsonNumber(e.PosY) + ",\"PosZ\":" + JsonNumber(e.PosZ) +
           ",\"VehiclePos\":" + JsonString(e.VehiclePos) + ",\"ScoreType\":" + JsonString(e.ScoreType) +
           ",\"Weapon\":" + JsonString(e.Weapon) + ",\"Vehicle\":" + JsonString(e.Vehicle) +
           ",\"Kit\":" + JsonString(e.Kit) + ",\"Grid\":" + JsonString(e.GetGridString()) +
           ",\"HasCords\":" + (e.HasCords() ? "true" : "false") + "}";
}

int Events(TContext& c)
{
    c.ExpectArgs(2);
    const int round = RoundNumber(c.Arg(1));
    TToolScope scope;
    StartWithoutWindow(DefaultTarvel());
    TOpenedLog log;
    TEventInfoList events;
    RunThenPrint(
        [&] {
            OpenTelling(log, c.Arg(0), c.err);
            CheckRoundListed(round, log.Rounds().size());
            log.BuildRoundEvents(round, events);
        },
        [&] {
            for (int i = 0; i < events.Count(); ++i)
                c.out << EventJson(*events.GetEvent(i)) << '\n';
        });
    return scope.Finish(c.out, c.err);
}

// The calibration sliders set as a user moves them: their handlers take the new values.
void Calibrate(TTarvelMain& window, const std::map<std::string, int>& numbers)
{
    const std::pair<const char*, QSlider*> bars[] = {
        {"--scale", window.TBXas}, {"--correctiony", window.TBYas}, {"--left", window.TBLeft}, {"--top", window.TBTop}};
    for (const auto& [option, bar] : bars)
        if (numbers.count(option))
            bar->setValue(numbers.at(option));
}

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
    TWindowScope scope;
    TTarvelMain window(home);
    Calibrate(window, numbers);
    RunThenPrint([&] { window.ShowMap(map); }, [&] {
        const TMapObjectList& objects = window.MapObjects();
        for (int i = 0; i < objects.Count(); ++i) {
            const TMapObject& o = *objects.Object(i);
            c.out << "{\"class\":" << JsonString(o.FObjectClass) << ",\"position\":" << JsonString(o.FPosition)
                  << ",\"start\":" << JsonString(o.FStartPosition) << ",\"team\":" << o.FTeam
                  << ",\"picture\":" << JsonString(o.FPictureName) << ",\"x\":" << o.FImage.Left
                  << ",\"y\":" << o.FImage.Top << ",\"w\":" << o.FImage.Width << ",\"h\":" << o.FImage.Height
                  << "}\n";
        }
        c.out << "{\"missing\":[";
        const QStringList missing = window.Memo2->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < missing.size(); ++i)
            c.out << (i ? "," : "") << JsonString(FromLatin1(missing[i]));
        c.out << "]}\n";
    });
    return scope.Finish(c.out, c.err);
}

std::string VectorJson(const TVector& v)
{
    return "[" + JsonNumber(v.X) + "," + JsonNumber(v.Y) + "," + JsonNumber(v.Z) + "]";
}

int MapObjectIndex(const TMapObjectList& objects, const TMapObject* object)
{
    for (int i = 0; object && i < objects.Count(); ++i)
        if (objects.Object(i) == object)
            return i;
    return -1;
}

std::string StateJson(const TMapObjectList& objects, const std::string& key, TInfoClass& s)
{
    const TPictureHolder& m = s.Image;
    return "{\"key\":" + JsonString(key) + ",\"PlayerID\":" + std::to_string(s.PlayerID) +
           ",\"PlayerName\":" + JsonString(s.PlayerName) + ",\"Team\":" + std::to_string(s.Team()) +
           ",\"FighterClass\":" + JsonString(s.FighterClass()) + ",\"Dead\":" + (s.Dead ? "true" : "false") +
           ",\"Invechicle\":" + JsonString(s.Invechicle) +
           ",\"PositionInvechicle\":" + std::to_string(s.PositionInvechicle) + ",\"Kills\":" + std::to_string(s.Kills) +
           ",\"Deaths\":" + std::to_string(s.Deaths) + ",\"TKs\":" + std::to_string(s.TKs) +
           ",\"Flags\":" + std::to_string(s.Flags) + ",\"KilledByID\":" + std::to_string(s.KilledByID) +
           ",\"KilledByName\":" + JsonString(s.KilledByName) + ",\"KilledByWeapon\":" + JsonString(s.KilledByWeapon) +
           ",\"KillByTime\":" + JsonNumber(s.KillByTime) + ",\"KilledTime\":" + JsonNumber(s.KilledTime) +
           ",\"ETA\":" + JsonNumber(s.ETA) + ",\"TimeLastEvent\":" + JsonNumber(s.TimeLastEvent) +
           ",\"CommingFrom\":" + VectorJson(s.CommingFrom) + ",\"GoingTo\":" + VectorJson(s.GoingTo) +
           ",\"Direction\":" + JsonString(DirectionName(s.Direction())) +
           ",\"AbsoluteClassInfo\":" + JsonString(s.AbsoluteClassInfo) + ",\"marker\":[" + std::to_string(m.Left) +
           "," + std::to_string(m.Top) + "," + std::to_string(m.Width) + "," + std::to_string(m.Height) +
           "],\"MapObjectInUse\":" + std::to_string(MapObjectIndex(objects, s.MapObjectInUse)) + "}";
}

// What a replay shows, from the window or from a replay without one.
struct TReplayShown {
    int ticks = 0;
    double replayTime = 0, roundStartTime = 0;
    int eventIndex = 0;
    std::string timeCaption, lengthCaption;
    int timeLineMin = 0, timeLineValue = 0, timeLineMax = 0;
    bool timer = false;
    const TPlayerStateList* states = nullptr;
    const TMapObjectList* objects = nullptr;
    std::vector<std::vector<std::string>> rows; // the scoreboard's cells
    std::string log;                            // the score log, its lines joined
};

void PrintShown(std::ostream& out, const TReplayShown& r)
{
    out << "{\"ticks\":" << r.ticks << ",\"ReplayTime\":" << JsonNumber(r.replayTime)
        << ",\"RoundStartTime\":" << JsonNumber(r.roundStartTime) << ",\"EventIndex\":" << r.eventIndex
        << ",\"LTime\":" << JsonString(r.timeCaption) << ",\"TBTime\":[" << r.timeLineMin << "," << r.timeLineValue << ","
        << r.timeLineMax << "],\"timer\":" << (r.timer ? "true" : "false") << ",\"Label12\":" << JsonString(r.lengthCaption)
        << "}\n";
    for (int i = 0; i < r.states->Count(); ++i)
        out << StateJson(*r.objects, r.states->Key(i), *r.states->State(i)) << '\n';
    for (const std::vector<std::string>& row : r.rows) {
        out << "{\"row\":[";
        for (size_t column = 0; column < row.size(); ++column)
            out << (column ? "," : "") << JsonString(row[column]);
        out << "]}\n";
    }
    for (int i = 0; i < r.objects->Count(); ++i) {
        const TMapObject& o = *r.objects->Object(i);
        out << "{\"object\":" << i << ",\"class\":" << JsonString(o.FObjectClass) << ",\"team\":" << o.FTeam
            << ",\"position\":" << JsonString(o.FPosition) << ",\"picture\":" << JsonString(o.FPictureName)
            << ",\"x\":" << o.FImage.Left << ",\"y\":" << o.FImage.Top << "}\n";
    }
    if (!r.log.empty()) {
        size_t from = 0;
        for (size_t at; (at = r.log.find('\n', from)) != std::string::npos; from = at + 1)
            out << "{\"log\":" << JsonString(r.log.substr(from, at - from)) << "}\n";
        out << "{\"log\":" << JsonString(r.log.substr(from)) << "}\n";
    }
}

// What a replay without a window shows: the same as the window's displays.
void PrintReplay(std::ostream& out, const TRoundReplay& replay)
{
    const TReplaySession& session = replay.Session();
    TReplayShown shown;
    shown.ticks = session.Ticks();
    shown.replayTime = session.ReplayTime();
    shown.roundStartTime = session.RoundStartTime();
    shown.eventIndex = session.EventIndex();
    shown.timeCaption = replay.TimeCaption();
    shown.lengthCaption = replay.LengthCaption();
    shown.timeLineMin = replay.TimeLineMin();
    shown.timeLineValue = replay.TimeLineValue();
    shown.timeLineMax = replay.TimeLineMax();
    shown.timer = replay.Running();
    shown.states = &session.PlayerStates();
    shown.objects = &session.MapObjects();
    for (const TScoreRow& row : session.ScoreRows()) {
        std::vector<std::string> cells{row.axis ? "AXIS" : "ALIES"};
        for (int column = 1; column < 8; ++column)
            cells.push_back(ScoreCellText(*row.state, column));
        shown.rows.push_back(std::move(cells));
    }
    for (size_t i = 0; i < replay.ScoreLog().size(); ++i)
        shown.log += (i ? "\n" : "") + replay.ScoreLog()[i];
    PrintShown(out, shown);
}

} // namespace

// Everything a replay leaves in the window, one JSON object a line.
void PrintReplay(std::ostream& out, TTarvelMain& window, int ticks)
{
    TReplayShown shown;
    shown.ticks = ticks;
    shown.replayTime = window.ReplayTime();
    shown.roundStartTime = window.RoundStartTime();
    shown.eventIndex = window.EventIndex();
    shown.timeCaption = window.LTime->Caption();
    shown.lengthCaption = window.Label12->Caption();
    shown.timeLineMin = window.TBTime->minimum();
    shown.timeLineValue = window.TBTime->value();
    shown.timeLineMax = window.TBTime->maximum();
    shown.timer = window.Timer1->isActive();
    shown.states = &window.PlayerStates();
    shown.objects = &window.MapObjects();
    for (int i = 0; i < window.ScoreBord->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = window.ScoreBord->topLevelItem(i);
        std::vector<std::string> cells;
        for (int column = 0; column < 8; ++column)
            cells.push_back(window.ScoreBordCellText(row, column));
        shown.rows.push_back(std::move(cells));
    }
    shown.log = FromLatin1(window.Memo1->toPlainText());
    PrintShown(out, shown);
}

namespace {

// Opens the log and double-clicks round N as a user would; an N that is no item is the
// list's error.
void SelectRound(TTarvelMain& window, const std::string& log, int round, std::ostream& err)
{
    window.OpenLog(log);
    TellLogNote(window.LogNote(), err);
    CheckRoundListed(round, static_cast<size_t>(window.ListBox1->count()));
    window.ListBox1->setCurrentRow(round);
    RunHandler([&] { window.ListBox1DblClick(); });
}

// What the commands that replay a round share: LOG N, the program folder and the calibration.
struct TRoundCommand {
    std::string log;
    int round = 0;
    std::string home;
    std::map<std::string, int> numbers;

    // Reads LOG N and the shared options; `own` takes the command's own option at args[i]
    // (moving i past its value) and says whether it knew it.
    TRoundCommand(const TContext& c, const std::function<bool(const std::string& option, size_t& i)>& own)
    {
        if (c.args.size() < 2)
            throw TUsageError();
        log = c.Arg(0);
        round = RoundNumber(c.Arg(1));
        home = DefaultTarvel();
        for (size_t i = 2; i < c.args.size(); ++i) {
            const std::string& option = c.Arg(i);
            if (option == "--home")
                home = HomeTarvel(c.Arg(++i));
            else if (option == "--scale" || option == "--correctiony" || option == "--left" || option == "--top")
                numbers[option] = StrToInt(c.Arg(++i));
            else if (!own(option, i))
                throw TUsageError();
        }
    }

    // The window of the program folder with the log named and the sliders set; it draws only
    // when asked. What its notice says goes to `err`, and the command goes on.
    void SetUp(TTarvelMain& window, std::ostream& err) const
    {
        window.SetNoticeSink([&err](const std::string& notice) { err << notice << '\n'; });
        window.SetDrawThreadEnabled(false);
        // The tool runs the ticks itself, so none can come while a log opens: no wait for one.
        window.SetStopReplayWait(0);
        Calibrate(window, numbers);
    }
    // The same for the map of a round without the window: the sliders set, and a map without a
    // picture imported from the game folder as the window's selection imports it, an import
    // that cannot be made told to `err` as the window's notice tells it.
    void SetUp(TRoundMap& map, TProgramFiles& files, std::ostream& err) const
    {
        map.SetImporter(GameFolderImporter(files, [&err](const std::string& notice) { err << notice << '\n'; }));
        const std::pair<const char*, int TCalibration::*> bars[] = {{"--scale", &TCalibration::XScale},
                                                                   {"--correctiony", &TCalibration::YScale},
                                                                   {"--left", &TCalibration::Left},
                                                                   {"--top", &TCalibration::Top}};
        for (const auto& [option, bar] : bars)
            if (numbers.count(option))
                map.MoveSlider(bar, numbers.at(option));
    }
};

int Replay(TContext& c)
{
    int tickLimit = -1;
    bool animate = true;
    bool loop = false;
    // The seeks and kill steps in their order.
    std::vector<std::function<void(TRoundReplay&)>> moves;
    const TRoundCommand command(c, [&](const std::string& option, size_t& i) {
        if (option == "--no-animate")
            animate = false;
        else if (option == "--loop")
            loop = true;
        else if (option == "--ticks") {
            tickLimit = StrToInt(c.Arg(++i));
            if (tickLimit < 0)
                throw TUsageError();
        } else if (option == "--seek") {
            long double seconds = 0;
            const std::string text = c.Arg(++i);
            if (!TryStrToFloat(LocalizePoints(text), seconds))
                throw TUsageError{"--seek needs a time in seconds, not '" + text + "'"};
            moves.push_back([seconds](TRoundReplay& replay) { replay.SeekTo(static_cast<double>(seconds)); });
        } else if (option == "--next-kill")
            moves.push_back([](TRoundReplay& replay) { replay.NextKill(); });
        else if (option == "--previous-kill")
            moves.push_back([](TRoundReplay& replay) { replay.PreviousKill(); });
        else
            return false;
        return true;
    });
    // The loop never ends the round: only a count of ticks ends the command.
    if (loop && tickLimit < 0)
        throw TUsageError{"--loop replays the round's start again and again: give --ticks K to end it"};
    TToolScope scope;
    TProgramFiles files = StartWithoutWindow(command.home);
    TOpenedLog log;
    // The replay takes the roster as the log gives it: made once the log is open.
    std::unique_ptr<TRoundReplay> replay = std::make_unique<TRoundReplay>(files, log.Roster());
    command.SetUp(replay->Map(), files, c.err);
    RunThenPrint(
        [&] {
            OpenTelling(log, command.log, c.err);
            CheckRoundListed(command.round, log.Rounds().size());
            const TwexXMLNode& round = *log.Round(command.round);
            replay = std::make_unique<TRoundReplay>(files, log.Roster());
            command.SetUp(replay->Map(), files, c.err);
            replay->SetClock(animate, loop);
            RunHandler([&] { replay->Select(round); });
            for (const auto& move : moves)
                RunHandler([&] { move(*replay); });
            // Without a seek the round plays to its end; after one only when asked.
            if (!moves.empty() && tickLimit < 0)
                tickLimit = 0;
            // The ticks run back to back; the timer only says whether another is due.
            for (int ticks = 0; replay->Running() && (tickLimit < 0 || ticks < tickLimit); ++ticks)
                RunHandler([&] { replay->Tick(); });
        },
        [&] { PrintReplay(c.out, *replay); });
    return scope.Finish(c.out, c.err);
}

// A whole number from low to high, else the usage error `message`, naming the text.
int32_t WholeIn(const std::string& text, int32_t low, int32_t high, const std::string& message)
{
    int32_t value = 0;
    if (!TryStrToInt(text, value) || value < low || value > high)
        throw TUsageError{message + ", not '" + text + "'"};
    return value;
}

// The overlays render and video draw when asked: --trails SECONDS, --deathmap, --killfeed.
struct TOverlayOptions {
    int trailSeconds = 0;
    bool deathMap = false, killFeed = false;

    // Takes the option at i (and its value) when it is one of them.
    bool Take(TContext& c, const std::string& option, size_t& i)
    {
        if (option == "--trails")
            trailSeconds = WholeIn(c.Arg(++i), 1, 60, "--trails takes 1 to 60 seconds");
        else if (option == "--deathmap")
            deathMap = true;
        else if (option == "--killfeed")
            killFeed = true;
        else
            return false;
        return true;
    }
    // The overlays as the options ask, whatever the settings say.
    void SwitchOn(TTarvelMain& main) const
    {
        main.Trails1->setChecked(trailSeconds > 0);
        if (trailSeconds > 0)
            main.SetTrailSeconds(trailSeconds);
        main.DeathMap1->setChecked(deathMap);
        main.KillFeed1->setChecked(killFeed);
        main.RoundStatsAtEnd1->setChecked(false);
    }
};

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
    const std::optional<QSize> view = viewText.empty() ? std::nullopt : std::optional(ViewSize("--view", viewText));
    TWindowScope scope;
    TTarvelMain main(command.home);
    if (view)
        main.SetToolView(*view);
    command.SetUp(main, c.err); // the one frame is drawn below
    for (const std::string& name : hidden)
        (name == "objects" ? main.CBShowobjects : name == "flags" ? main.ShowFlags : main.ShowHitLines)->setChecked(false);
    main.CBKillINfo->setChecked(killInfo);
    overlays.SwitchOn(main);
    if (zoom)
        main.TBMApZoom->setValue(*zoom);
    SelectRound(main, command.log, command.round, c.err);
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    if (*at < main.RoundStartTime())
        throw TUsageError{"--at " + atText + ": the time lies before the round, which starts at " +
                          JsonNumber(main.RoundStartTime()) + " s"};
    while (main.Timer1->isActive() && main.ReplayTime() < *at)
        RunHandler([&] { main.Timer1Timer(); });
    if (!track.empty()) {
        const TInfoClass* state = main.PlayerStates().Find(track);
        QTreeWidgetItem* row = state ? main.ScoreBordRowOf(state) : nullptr;
        if (!row)
            throw TUsageError{"--track " + track + ": no such player on the scoreboard at that time"};
        main.ScoreBord->setCurrentItem(row);
        main.CBTrackPlayer->setChecked(true);
    }
    main.SetLayoutChanged();
    RunHandler([&] { main.DrawMap(); });
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    // As the window's export writes them: PNG, or JPEG by the name.
    SavePictureAtomically(view ? main.ViewPicture() : main.MapZoomImage->Picture(), out);
    if (!minimap.empty())
        SavePictureAtomically(main.BigPicture->Picture(), minimap);
    return scope.Finish(c.out, c.err);
}

int Stats(TContext& c)
{
    const TRoundCommand command(c, [](const std::string&, size_t&) { return false; });
    if (!command.numbers.empty())
        throw TUsageError();
    TToolScope scope;
    StartWithoutWindow(command.home);
    TOpenedLog log;
    OpenTelling(log, command.log, c.err);
    CheckRoundListed(command.round, log.Rounds().size());
    // The round's events give the replay's counts, as selecting the round builds them.
    TEventInfoList events;
    log.BuildRoundEvents(command.round, events);
    const TRoundStats stats = ReadRoundStats(log.Document(), *log.Round(command.round));
    for (const std::string& line : RoundStatsJson(stats, CountReplay(events)))
        c.out << line << '\n';
    return scope.Finish(c.out, c.err);
}

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
    TWindowScope scope;
    TTarvelMain main(command.home);
    command.SetUp(main, c.err);
    overlays.SwitchOn(main);
    if (zoom)
        main.TBMApZoom->setValue(*zoom);
    SelectRound(main, command.log, command.round, c.err);
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    if (main.Events().Count() == 0)
        throw TUsageError{"round " + std::to_string(command.round) + " has no events: there is nothing to film"};
    TVideoOptions options;
    const double start = main.RoundStartTime();
    const double end = main.Events().GetEvent(main.Events().Count() - 1)->Timestamp;
    options.from = from ? static_cast<double>(*from) : start;
    options.to = to ? static_cast<double>(*to) : end;
    if (options.from < start)
        throw TUsageError{"--from " + fromText + ": the time lies before the round, which starts at " +
                          JsonNumber(start) + " s"};
    if (options.to > end)
        throw TUsageError{"--to " + toText + ": the time lies after the round, which ends at " + JsonNumber(end) + " s"};
    if (!(options.to > options.from) && !from && !to)
        throw TUsageError{"the round has no span to film: its last event (at " + JsonNumber(end) +
                          " s) is not after its start (at " + JsonNumber(start) + " s)"};
    if (!(options.to > options.from))
        throw TUsageError{"the span must end after it starts: --to " + JsonNumber(options.to) + " is not after --from " +
                          JsonNumber(options.from)};
    if (!track.empty() && !RoundHasPlayer(main.Events(), track))
        throw TUsageError{"--track " + track + ": no such player in the round"};
    options.speed = static_cast<double>(speed);
    options.fps = fps;
    options.zoom = main.Zoom();
    options.area = size ? TVideoArea::Square : TVideoArea::WholeMap;
    options.square = size.value_or(0);
    options.track = track;
    const bool terminal = &c.err == &std::cerr && isatty(STDERR_FILENO);
    try {
        // Another of libavcodec's H.264 encoders may be named instead of libx264.
        const char* encoder = std::getenv("ORNWICK_H264_ENCODER");
        TVideoExport video(main.VideoSource(), options, out, encoder ? encoder : "");
        if (!RunVideoExport(video, c.err, terminal))
            throw TUsageError{"video: interrupted, no file written"};
        video.Finish();
    } catch (const EFCreateError& error) {
        throw TUsageError{error.Message()};
    } catch (const EVideoError& error) {
        throw TUsageError{error.Message()};
    }
    return scope.Finish(c.out, c.err);
}

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
    TWindowScope scope;
    TTarvelMain window(home);
    window.ShowMap(map);
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    if (!height) {
        if (window.MapPictureMissing())
            throw TUsageError{"no picture of " + map + " (" + map + ".bmp or " + map + ".jpg) in " +
                              window.ProgramFiles().ImagesFolder() + ": give --picture-height"};
        height = window.MapImage().Height;
    }
    TCalibration calibration;
    try {
        calibration = SolveCalibration(pairs, *height);
    } catch (const ECalibrationError& error) {
        throw TUsageError{error.Message()};
    }
    if (save) {
        // The sliders set and "Save" pressed, then the settings written as the program ends.
        window.ApplyCalibration(calibration);
        window.BSaveSettingsPerMapClick();
        if (scope.Failed())
            return scope.Finish(c.out, c.err);
        window.WriteSettings();
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
    command.SetUp(map, files, c.err);
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

int ImportMapCommand(TContext& c)
{
    if (c.args.empty() || c.Arg(0).rfind("--", 0) == 0)
        throw TUsageError();
    const std::string& source = c.Arg(0);
    std::string home = DefaultTarvel(), map, mod, mode = "Conquest", picture = "terrain";
    for (size_t i = 1; i < c.args.size(); ++i) {
        const std::string& option = c.Arg(i);
        if (option == "--home")
            home = HomeTarvel(c.Arg(++i));
        else if (option == "--map")
            map = TextOfFileName(c.Arg(++i));
        else if (option == "--mod")
            mod = c.Arg(++i);
        else if (option == "--mode")
            mode = c.Arg(++i);
        else if (option == "--picture")
            picture = c.Arg(++i);
        else
            throw TUsageError();
    }
    if (picture != "terrain" && picture != "overview")
        throw TUsageError{"--picture is terrain or overview, not '" + picture + "'"};
    TWindowScope scope;
    TTarvelMain window(home);
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    // The first folder the program looks in: the user's own when the settings live there.
    const std::string images = window.ProgramFiles().ImageFolders().front();
    TMapImport import;
    try {
        import = ImportMap(OpenLevel(source, map, mod), map, mode, picture == "overview", images);
        WriteMapImport(import, images, window.ProgramFiles().SettingsFileName());
    } catch (const EBaseError& error) {
        throw TUsageError{error.Message()};
    }
    c.out << MapImportJson(import) << '\n';
    return scope.Finish(c.out, c.err);
}

} // namespace

int RunOrnwick(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    static const std::map<std::string, std::function<int(TContext&)>> commands = {
        {"tokens", Tokens}, {"tree", Tree},       {"select", Select},
        {"convert", Convert}, {"widgets", Widgets}, {"about", About},  {"rounds", Rounds},
        {"roster", Roster},   {"events", Events},   {"objects", Objects}, {"replay", Replay}, {"render", Render},
        {"video", Video},     {"stats", Stats},       {"calibrate", CalibrateMap}, {"fit", FitRound},
        {"import-map", ImportMapCommand}};
    if (argc < 2 || !commands.count(argv[1])) {
        err << Usage;
        return 2;
    }
    TContext context{std::vector<std::string>(argv + 2, argv + argc), out, err};
    try {
        return commands.at(argv[1])(context);
    } catch (const TUsageError& usage) {
        out.flush();
        if (usage.message.empty())
            err << Usage;
        else
            err << "ornwick: " << usage.message << '\n';
        return 2;
    } catch (...) {
        // What was printed stays printed; the message stands alone after it.
        out.flush();
        err << CurrentExceptionMessage() << '\n';
        return 1;
    }
}
