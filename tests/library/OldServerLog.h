#pragma once

// A log as an old server writes it, for the library's tests: a round whose statistics hold no
// player's row, then a round cut off as its statistics begin, by players and on a server whose
// names the log writes with entities.

#include "../replay/LogText.h"

#include <string>

namespace oldserverlog {

// As the log writes the names, and as the library is to show them.
inline const std::string ServerWritten = "DC 0.7 LostVillage &lt;S&gt;A&lt;S&gt; sv1";
inline const std::string Server = "DC 0.7 LostVillage <S>A<S> sv1";
inline const std::string AnnaWritten = "&lt;S&gt;Anna", Anna = "<S>Anna";
inline const std::string BertWritten = "Bert &amp; Co", Bert = "Bert & Co";
inline const std::string JaegerWritten = "J&#228;ger", Jaeger = "J\xE4ger";

// Anna kills Bert three times with the M16, Jäger kills Anna once with the K98 and Anna leaves
// before the round ends; in the second round, cut off, Anna is back and kills Bert once more,
// then leaves again.
inline std::string Text()
{
    using namespace replaylog;
    auto create = [](const std::string& time, int id, const std::string& name) {
        return "<bf:event name=\"createPlayer\" timestamp=\"" + time + "\"><bf:param name=\"player_id\">" +
               std::to_string(id) + "</bf:param><bf:param name=\"name\">" + name + "</bf:param></bf:event>";
    };
    auto round = [&](const std::string& events, bool table) {
        std::string r = "<bf:round><bf:server><bf:setting name=\"server name\">" + ServerWritten +
                        "</bf:setting><bf:setting name=\"map\">bay</bf:setting></bf:server>" + events;
        for (int i = 0; i < 20; ++i)
            r += "<bf:filler/>";
        // Cut off as the server began the statistics: the round is listed, with no table.
        if (!table)
            return r + "<bf:roundstats timestamp=\"190\"><bf:winningteam>1";
        return r + "<bf:roundstats timestamp=\"90\"><bf:winningteam>2</bf:winningteam>"
                   "<bf:teamtickets team=\"1\">0</bf:teamtickets><bf:teamtickets team=\"2\">5</bf:teamtickets>"
                   "</bf:roundstats></bf:round>";
    };
    auto kill = [](const std::string& time, int killer, int victim, const std::string& weapon) {
        return Score(time, killer, "100/0/100", "Kill", {{"victim_id", std::to_string(victim)}, {"weapon", weapon}}) +
               Score(time, victim, "110/0/100", "Death");
    };
    const std::string first =
        create("1", 3, AnnaWritten) + create("1", 5, BertWritten) + create("1", 7, JaegerWritten) +
        "<bf:event name=\"roundInit\" timestamp=\"2\"/>" + Ev("spawnEvent", "3", 3, "100/0/100", {{"team", "1"}}) +
        Ev("spawnEvent", "3", 5, "110/0/100", {{"team", "2"}}) + Ev("spawnEvent", "3", 7, "120/0/100", {{"team", "2"}}) +
        kill("10", 3, 5, "M16") + kill("20", 3, 5, "M16") + kill("30", 3, 5, "M16") + kill("35", 7, 3, "K98") +
        Ev("destroyPlayer", "40", 3, "") + Ev("spawnEvent", "80", 5, "110/0/100", {{"team", "2"}});
    const std::string second =
        "<bf:event name=\"roundInit\" timestamp=\"100\"/>" + create("101", 3, AnnaWritten) +
        Ev("spawnEvent", "102", 3, "100/0/100", {{"team", "1"}}) + Ev("spawnEvent", "102", 5, "110/0/100", {{"team", "2"}}) +
        kill("110", 3, 5, "M16") + Ev("destroyPlayer", "120", 3, "") +
        Ev("spawnEvent", "130", 5, "110/0/100", {{"team", "2"}});
    return "<?xml version=\"1.0\"?>\n<bf:log>" + round(first, true) + round(second, false);
}

} // namespace oldserverlog
