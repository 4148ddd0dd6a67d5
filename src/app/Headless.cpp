#include "app/Headless.h"

#include "base/ErrorReporting.h"
#include "base/Json.h"
#include "log/LogFile.h"
#include "xmltree/wexXMLTree.h"

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

const char Usage[] =
    "usage: ornwick COMMAND ARGS...\n"
    "  tokens LOG         the parser's token list, one token per line\n"
    "  tree LOG           every node of the tree as JSON, document order\n"
    "  select LOG PATH    the node a path selects as JSON (exit 3 when none)\n"
    "  convert LOG.zxml   write the inflated log beside it as .xml\n";

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

} // namespace

int RunOrnwick(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    static const std::map<std::string, std::function<int(TContext&)>> commands = {
        {"tokens", Tokens}, {"tree", Tree}, {"select", Select}, {"convert", Convert}};
    if (argc < 2 || !commands.count(argv[1])) {
        err << Usage;
        return 2;
    }
    TContext context{std::vector<std::string>(argv + 2, argv + argc), out};
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
