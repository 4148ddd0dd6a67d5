#include "app/Headless.h"

#include "app/Startup.h"
#include "app/UAboutForm.h"
#include "app/UTarvelMain.h"
#include "app/WidgetDump.h"
#include "base/ErrorReporting.h"
#include "base/Files.h"
#include "base/Json.h"
#include "log/LogFile.h"
#include "xmltree/wexXMLTree.h"

#include <QApplication>

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

const char Usage[] =
    "usage: ornwick COMMAND ARGS...\n"
    "  tokens LOG         the parser's token list, one token per line\n"
    "  tree LOG           every node of the tree as JSON, document order\n"
    "  select LOG PATH    the node a path selects as JSON (exit 3 when none)\n"
    "  convert LOG.zxml   write the inflated log beside it as .xml\n"
    "  widgets [--home DIR]  the main window's controls as JSON, then its menu items\n"
    "  about [--home DIR]    the About window's controls as JSON, logo loaded\n"
    "                     DIR stands in for the program's folder (Tarvel.ini, Tarvel.map,\n"
    "                     images/); without it, the folder of Tarvel beside this tool\n";

// Thrown for a command line the tool cannot run; exit status 2.
struct TUsageError {};

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
    c.out << document.Lines().Bytes();
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

int Convert(TContext& c)
{
    c.ExpectArgs(1);
    ConvertZxmlLog(c.Arg(0));
    return 0;
}

// The path the window takes for the program's own: Tarvel in the --home folder, or beside
// this tool.
std::string TarvelPath(const TContext& c)
{
    if (c.args.empty())
        return ExtractFilePath(ExecutablePath()) + "Tarvel";
    c.ExpectArgs(2);
    if (c.Arg(0) != "--home" || c.Arg(1).empty())
        throw TUsageError();
    std::string folder = c.Arg(1);
    if (folder.back() != '/')
        folder += '/';
    return folder + "Tarvel";
}

// Windows need a GUI application; the tool makes an offscreen one unless one exists (tests).
// Errors the windows report are collected and told after the output, as failures are.
class TWindowScope {
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
        FPreviousSink = SetErrorSink([this](const std::string& message) { FMessages.push_back(message); });
    }
    ~TWindowScope() { SetErrorSink(std::move(FPreviousSink)); }

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
    std::unique_ptr<QApplication> FApp;
    TErrorSink FPreviousSink;
    std::vector<std::string> FMessages;
};

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

} // namespace

int RunOrnwick(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    static const std::map<std::string, std::function<int(TContext&)>> commands = {
        {"tokens", Tokens}, {"tree", Tree},       {"select", Select},
        {"convert", Convert}, {"widgets", Widgets}, {"about", About}};
    if (argc < 2 || !commands.count(argv[1])) {
        err << Usage;
        return 2;
    }
    TContext context{std::vector<std::string>(argv + 2, argv + argc), out, err};
    try {
        return commands.at(argv[1])(context);
    } catch (const TUsageError&) {
        err << Usage;
        return 2;
    } catch (...) {
        // What was printed stays printed; the message stands alone after it.
        out.flush();
        err << CurrentExceptionMessage() << '\n';
        return 1;
    }
}
