#include "log/RoundIndex.h"

#include "base/Convert.h"
#include "log/EventInfo.h"
#include "log/PlayerList.h"
#include "xmltree/wexXMLTree.h"

namespace {

bool HasName(const TwexXMLNode& node, std::string_view value)
{
    const TwexXMLAttribute* name = node.AttributeByName("name");
    return name && name->Value() == value;
}

void HandlePlayerEvent(const TwexXMLNode& event, TPlayerList& roster, double logEndTime)
{
    // Most events are neither kind: one look at the name settles them.
    const TwexXMLAttribute* name = event.AttributeByName("name");
    if (!name)
        return;
    const bool creates = name->Value() == "createPlayer";
    if (!creates && name->Value() != "destroyPlayer")
        return;
    const TwexXMLAttribute* timestamp = event.AttributeByName("timestamp");
    if (creates) {
        TPlayerInfo* player = roster.AddPlayer();
        if (timestamp)
            player->JoinTime = LogNumber(timestamp->Value());
        player->LeaveTime = logEndTime;
        for (const TwexXMLNode* param : event.Children()) {
            if (HasName(*param, "player_id"))
                player->PlayerID = VarToInt(param->Value());
            else if (HasName(*param, "name"))
                player->PlayerName = DecodePlayerName(param->Value());
        }
        return;
    }
    int32_t id = -1;
    for (const TwexXMLNode* param : event.Children())
        if (HasName(*param, "player_id"))
            id = VarToInt(param->Value());
    TPlayerInfo* player = roster.FindPlayer(id);
    if (timestamp)
        player->LeaveTime = LogNumber(timestamp->Value());
}

} // namespace

std::string DecodePlayerName(std::string_view name)
{
    return ReplaceAll(ReplaceAll(name, "&lt;", "<"), "&gt;", ">");
}

void WalkLog(const TwexXMLTree& document, TPlayerList& roster,
             const std::function<void(const std::string& text, TwexXMLNode* round)>& addRound)
{
    // The declaration encloses the document, so the log element is the tree's grandchild.
    const TwexXMLNode* top = document.FirstChild();
    const TwexXMLNode* log = top ? top->FirstChild() : nullptr;
    if (!log || log->ChildCount() == 0)
        return;

    double logEndTime = NoLogEndTime;
    const TwexXMLNode* last = log->Children().back();
    if (last->ChildCount() > 0)
        if (const TwexXMLAttribute* timestamp = last->Children().back()->AttributeByName("timestamp"))
            logEndTime = LogNumber(timestamp->Value());

    // These belong to the whole walk: a round that lacks one shows the last value read.
    std::string mapText, axisTickets, alliesTickets;
    for (TwexXMLNode* round : log->Children()) {
        if (round->Name() != "bf:round")
            continue;
        const auto children = round->Children();
        for (size_t i = 0; i < children.size(); ++i) {
            // The events lie far apart in memory, and their texts elsewhere again: asking for
            // the nodes well ahead, and for their texts once the nodes are there, hides the wait.
            if (i + 16 < children.size()) {
                const char* ahead = reinterpret_cast<const char*>(children[i + 16]);
                __builtin_prefetch(ahead);
                __builtin_prefetch(ahead + 64);
                __builtin_prefetch(ahead + 128);
            }
            if (i + 8 < children.size())
                __builtin_prefetch(children[i + 8]->Name().data());
            const TwexXMLNode* child = children[i];
            if (child->Name() == "bf:event") {
                HandlePlayerEvent(*child, roster, logEndTime);
                continue;
            }
            if (child->Name() != "bf:server")
                continue;
            for (const TwexXMLNode* setting : child->Children())
                if (HasName(*setting, "map"))
                    mapText = setting->Value();
            const TwexXMLNode* stats = round->SelectNode("bf:roundstats");
            if (!stats)
                continue;
            for (const TwexXMLNode* tickets : stats->Children()) {
                if (tickets->Name() != "bf:teamtickets")
                    continue;
                const TwexXMLAttribute* team = tickets->AttributeByName("team");
                if (!team)
                    continue; // a count without its side cannot be shown
                (team->Value() == "1" ? axisTickets : alliesTickets) = tickets->Value();
            }
            if (round->ChildCount() > 20)
                addRound(mapText + "  Axis " + axisTickets + " Alies" + alliesTickets, round);
        }
    }
    for (const TwexXMLNode* event : log->Children())
        if (event->Name() == "bf:event")
            HandlePlayerEvent(*event, roster, logEndTime);
}
