// The questions a log answers without a replay: the parser's tokens and tree, a path's node,
// the inflated log, the round list, the roster and a round's event records.
#include "tool/Commands.h"

#include "base/Json.h"
#include "log/EventInfo.h"
#include "log/LogFile.h"
#include "log/OpenedLog.h"
#include "log/PlayerList.h"
#include "xmltree/wexXMLTree.h"

#include <ostream>
#include <utility>
#include <vector>

namespace {

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

} // namespace

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
