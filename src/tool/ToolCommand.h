#pragma once

// What the tool's commands share: their command line, the usage error, the program's files as
// the window would read them, and the scope that collects the errors a command reports.

#include "base/ErrorReporting.h"
#include "settings/ProgramFolder.h"

#include <QtGlobal>

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QGuiApplication;
class TOpenedLog;
class TRoundMap;
class TRoundReplay;
class TRoundView;

// Thrown for a command line the tool cannot run; exit status 2. With a message, the message
// alone is told; without one, the usage.
struct TUsageError {
    std::string message;
};

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

using TCommand = std::function<int(TContext&)>;

// N of LOG N: the round's place in the log's round list, a whole number from 0.
int RoundNumber(const std::string& text);
// A round the opened log lists, else the usage error naming how many it lists.
void CheckRoundListed(int round, size_t rounds);
// A whole number from low to high, else the usage error `message`, naming the text.
int32_t WholeIn(const std::string& text, int32_t low, int32_t high, const std::string& message);

// An output the command writes: a name with one of the extensions that is not the log it reads
// (through a link or another spelling of its path neither) and, when it exists, a regular
// file. Checked before any work, so that nothing at all is written when it fails.
void CheckOutput(const std::string& option, const std::string& out, const std::vector<std::string>& extensions,
                 const std::string& wrongExtension, const std::vector<std::string>& inputs);
// Whether two names lead to one file, also before either exists.
bool SameOutput(const std::string& a, const std::string& b);
// Whether `out` is missing, empty, or holds a file of the kind its extension names (.png, .jpg,
// .jpeg, .mp4), as the tool writes them: what else it holds, the tool did not make.
bool IsOwnKindOfOutput(const std::string& out);

// A log that broke off opens as far as it goes; the user is told on standard error.
void TellLogNote(const std::string& note, std::ostream& err);
void OpenTelling(TOpenedLog& log, const std::string& fileName, std::ostream& err);

// Tarvel in the --home folder; the usage error for an empty one.
std::string HomeTarvel(std::string folder);
// Tarvel beside this tool.
std::string DefaultTarvel();
// The path the window takes for the program's own: Tarvel in the --home folder of a command
// line that is only that, or beside this tool.
std::string TarvelPath(const TContext& c);

// What every command that reports errors shares: Qt's own chatter is not the tool's output, so
// standard error carries the program's messages alone; the errors reported are collected and
// told after the output, as failures are.
class TToolScope {
public:
    TToolScope();
    ~TToolScope();
    TToolScope(const TToolScope&) = delete;
    TToolScope& operator=(const TToolScope&) = delete;

    bool Failed() const { return !FMessages.empty(); }
    // Writes the collected messages; the command's exit status.
    int Finish(std::ostream& out, std::ostream& err) const;

    // Pictures and fonts need a GUI application, not widgets: an offscreen one, which needs no
    // display, made unless an application exists (the tests have one), kept to the scope's end.
    void MakeGuiApplication();

private:
    TErrorSink FPreviousSink;
    QtMessageHandler FPreviousHandler = nullptr;
    std::vector<std::string> FMessages;
    std::unique_ptr<QGuiApplication> FApp;
};

// A command that draws: its GUI application made from the start.
class TGuiScope : public TToolScope {
public:
    TGuiScope() { MakeGuiApplication(); }
};

// The commands build no window, but start as the window starts: its program files read from
// the folder of `exeName`, a failure reported as the window reports it. The user's
// configuration folder is the window's, whatever the application's name.
TProgramFiles StartWithoutWindow(const std::string& exeName);

// Prints what was done even when the command fails: the failure's message follows it.
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

// What the commands that replay a round share: LOG N, the program folder and the calibration.
struct TRoundCommand {
    std::string log;
    int round = 0;
    std::string home;
    std::map<std::string, int> numbers; // --scale, --correctiony, --left, --top

    // Reads LOG N and the shared options; `own` takes the command's own option at args[i]
    // (moving i past its value) and says whether it knew it.
    TRoundCommand(const TContext& c, const std::function<bool(const std::string& option, size_t& i)>& own);

    // The map of the round with the sliders set as a user sets them, and a map without a
    // picture imported from the game folder as the window's selection imports it, an import
    // that cannot be made told to `err` as the window's notice tells it. An import draws its
    // picture, so it makes the scope's GUI application first.
    void SetUp(TRoundMap& map, TProgramFiles& files, TToolScope& scope, std::ostream& err) const;
};

// Opens the command's log and selects its round in a replay of its own, as the window's double
// click selects it, then frames `view` as the window's first view; a failure of the selection is
// reported (RunHandler) and leaves what was done before it. The replay, made once the log is open.
std::unique_ptr<TRoundReplay> SelectInView(const TRoundCommand& command, TOpenedLog& log, TProgramFiles& files,
                                           TRoundView& view, TToolScope& scope, std::ostream& err);

// The calibration sliders moved as a user moves them, for the options given among `numbers`.
void MoveSliders(TRoundMap& map, const std::map<std::string, int>& numbers);
