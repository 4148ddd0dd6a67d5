// The log generator: reproducible bytes, the zlib form, the shape a running server leaves, and
// events that the replay can follow.
#include "LogGen.h"
#include "Output.h"

#include "demoworld/DemoWorld.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

loggen::Options smallLog(std::uint64_t seed = 1)
{
    loggen::Options o;
    o.seed = seed;
    o.players = 12;
    o.rounds = 3;
    o.roundTime = 150;
    return o;
}

std::size_t countOf(std::string_view text, std::string_view what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Text between `open` and the next `close` after position `from`.
std::string between(std::string_view text, std::size_t from, std::string_view open,
                    std::string_view close)
{
    const auto a = text.find(open, from);
    if (a == std::string_view::npos)
        return {};
    const auto b = text.find(close, a + open.size());
    return std::string(text.substr(a + open.size(), b - a - open.size()));
}

struct Event {
    std::string name;
    double time = 0;
    int round = -1;    // index of the enclosing round; -1 outside rounds
    std::string map;
    std::map<std::string, std::string> params;
};

// A line reader for the generator's own layout: one tag per line.
std::vector<Event> readEvents(const std::string& log)
{
    std::vector<Event> events;
    int round = -1;
    bool inRound = false;
    std::string map;
    std::size_t pos = 0;
    while (pos < log.size()) {
        auto end = log.find('\n', pos);
        if (end == std::string::npos)
            end = log.size();
        std::string_view line(log.data() + pos, end - pos);
        pos = end + 1;
        line.remove_prefix(std::min(line.find_first_not_of('\t'), line.size()));
        if (line.rfind("<bf:round ", 0) == 0) {
            ++round;
            inRound = true;
        } else if (line.rfind("</bf:round>", 0) == 0) {
            inRound = false;
        } else if (line.rfind("<bf:setting name=\"map\">", 0) == 0) {
            map = between(line, 0, ">", "<");
        } else if (line.rfind("<bf:event ", 0) == 0) {
            Event e;
            e.name = between(line, 0, "name=\"", "\"");
            e.time = std::strtod(between(line, 0, "timestamp=\"", "\"").c_str(), nullptr);
            e.round = inRound ? round : -1;
            e.map = map;
            events.push_back(e);
        } else if (line.rfind("<bf:param ", 0) == 0 && !events.empty()) {
            events.back().params[between(line, 0, "name=\"", "\"")] = between(line, 0, "\">", "</");
        }
    }
    return events;
}

double worldSize(const std::string& map)
{
    for (const auto& m : demoworld::Maps)
        if (map == m.name)
            return m.worldSize;
    return 0;
}

TEST(LogGen, SameOptionsGiveSameBytesAndSeedsDiffer)
{
    const std::string a = loggen::generateToString(smallLog(1));
    const std::string b = loggen::generateToString(smallLog(1));
    const std::string c = loggen::generateToString(smallLog(2));
    ASSERT_GT(a.size(), 10000u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(LogGen, ZxmlInflatesToThePlainLog)
{
    loggen::Options o = smallLog(5);
    o.size = 2500000; // several buffer flushes through the deflater
    const std::string plain = loggen::generateToString(o);
    o.zxml = true;
    const std::string packed = loggen::generateToString(o);
    ASSERT_GE(packed.size(), 2u);
    EXPECT_LT(packed.size(), plain.size() / 4);
    EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x78); // zlib header, 32 KB window

    std::string inflated(plain.size() + 16, '\0');
    uLongf length = static_cast<uLongf>(inflated.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &length,
                         reinterpret_cast<const Bytef*>(packed.data()), static_cast<uLong>(packed.size())),
              Z_OK);
    inflated.resize(length);
    EXPECT_EQ(inflated, plain);
}

TEST(LogGen, DocumentShapeLeavesTheLastRoundOpen)
{
    loggen::Options o = smallLog(3);
    o.rounds = 4;
    const std::string log = loggen::generateToString(o);

    EXPECT_EQ(log.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<bf:log ", 0), 0u);
    EXPECT_EQ(log.find('\r'), std::string::npos);
    EXPECT_EQ(countOf(log, "\t<bf:round "), 4u);
    EXPECT_EQ(countOf(log, "\t</bf:round>"), 3u);
    EXPECT_EQ(countOf(log, "<bf:roundstats "), 3u);
    EXPECT_EQ(countOf(log, "<bf:teamtickets team=\"1\">"), 3u);
    EXPECT_EQ(countOf(log, "<bf:teamtickets team=\"2\">"), 3u);
    EXPECT_EQ(log.find("</bf:log>"), std::string::npos);
    EXPECT_TRUE(log.ends_with("\t\t</bf:event>\n"));
    // Between two rounds the server restarts the map, outside any round.
    EXPECT_GE(countOf(log, "\t</bf:round>\n\t<bf:event name=\"restartMap\""), 1u);

    // Every round names its map and begins with roundInit; maps alternate by default.
    std::vector<std::string> maps;
    for (auto at = log.find("<bf:setting name=\"map\">"); at != std::string::npos;
         at = log.find("<bf:setting name=\"map\">", at + 1))
        maps.push_back(between(log, at, ">", "<"));
    ASSERT_EQ(maps.size(), 4u);
    EXPECT_NE(maps[0], maps[1]);
    EXPECT_EQ(maps[0], maps[2]);
}

TEST(LogGen, VehicleParameterSpelling)
{
    loggen::Options o = smallLog(4);
    o.map = "kessel_ridge"; // a small map: vehicles are used within minutes
    const std::string plain = loggen::generateToString(o);
    o.vechicleSpelling = true;
    const std::string odd = loggen::generateToString(o);

    EXPECT_GT(countOf(plain, "name=\"vehicle\""), 0u);
    EXPECT_GT(countOf(plain, "name=\"vehicle_pos\""), 0u);
    EXPECT_EQ(countOf(plain, "vechicle"), 0u);
    EXPECT_EQ(countOf(odd, "name=\"vechicle\""), countOf(plain, "name=\"vehicle\""));
    EXPECT_EQ(countOf(odd, "name=\"vechicle_pos\""), countOf(plain, "name=\"vehicle_pos\""));
    EXPECT_EQ(countOf(odd, "name=\"vehicle"), 0u);
}

TEST(LogGen, SizeTargetIsRoughlyHonoured)
{
    loggen::Options o;
    o.size = 300000;
    const std::string natural = loggen::generateToString(o);
    EXPECT_GE(natural.size(), 300000u);
    EXPECT_LT(natural.size(), 310000u);
    EXPECT_EQ(countOf(natural, "<bf:round "), countOf(natural, "</bf:round>") + 1);

    // With a round count, the size is shared among exactly that many rounds.
    o.rounds = 3;
    o.roundsGiven = true;
    const std::string spread = loggen::generateToString(o);
    EXPECT_GE(spread.size(), 300000u);
    EXPECT_LT(spread.size(), 310000u);
    EXPECT_EQ(countOf(spread, "<bf:round "), 3u);
}

TEST(LogGen, EventsAreOrderedPlacedAndConsistent)
{
    loggen::Options o = smallLog(9);
    o.players = 24;
    o.rounds = 4;
    const std::string log = loggen::generateToString(o);
    const std::vector<Event> events = readEvents(log);
    ASSERT_GT(events.size(), 500u);

    // Time stamps, rounds included, never go back: the server's clock runs on.
    double last = 0;
    for (auto at = log.find("timestamp=\""); at != std::string::npos; at = log.find("timestamp=\"", at + 1)) {
        const double t = std::strtod(log.c_str() + at + 11, nullptr);
        ASSERT_GE(t, last) << "at byte " << at;
        last = t;
    }

    std::map<std::string, int> kinds;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        ++kinds[e.name];
        // Positions lie on the map picture, with positive components.
        for (const char* key : {"player_location", "vehicle_pos"}) {
            auto it = e.params.find(key);
            if (it == e.params.end() || it->second == "(unknown)" || e.round < 0)
                continue;
            double x = 0, y = 0, z = 0;
            ASSERT_EQ(std::sscanf(it->second.c_str(), "%lf/%lf/%lf", &x, &y, &z), 3) << it->second;
            const double size = worldSize(e.map);
            EXPECT_TRUE(x > 0 && x < size && y > 0 && z > 0 && z < size)
                << e.name << " at " << it->second << " on " << e.map;
        }
        const std::string type = e.params.count("score_type") ? e.params.at("score_type") : "";
        EXPECT_EQ(e.params.count("victim_id") == 1, type == "Kill" || type == "TK") << e.name;
        if (e.name == "destroyVehicle")
            EXPECT_EQ(e.params.count("player_id"), 0u);
        if (e.name == "destroyPlayer")
            EXPECT_EQ(e.params.at("player_location"), "(unknown)");
        if (type == "Kill" || type == "TK") {
            // The server logs the other side as well: the victim's death at the same moment.
            bool found = false;
            for (std::size_t j = i + 1; j < events.size() && events[j].time == e.time && !found; ++j)
                found = events[j].params.count("score_type") && events[j].params.at("score_type") == "Death" &&
                        events[j].params.at("player_id") == e.params.at("victim_id");
            EXPECT_TRUE(found) << "no death for the kill at " << e.time;
        }
    }
    for (const char* kind : {"createPlayer", "destroyPlayer", "spawnEvent", "pickupKit", "enterVehicle",
                             "exitVehicle", "destroyVehicle", "scoreEvent", "roundInit", "restartMap"})
        EXPECT_GT(kinds[kind], 0) << kind;
}

TEST(LogGen, PlayersComeAndGoAndBotsNeedNoCreation)
{
    loggen::Options o;
    o.size = 600000;
    o.players = 16;
    o.bots = 2;
    const std::vector<Event> events = readEvents(loggen::generateToString(o));

    std::map<std::string, int> created, destroyed;
    std::map<std::string, std::string> names;
    bool reused = false, escapedName = false, outsideRound = false;
    for (const Event& e : events) {
        if (e.name == "createPlayer") {
            const std::string& id = e.params.at("player_id");
            reused = reused || destroyed[id] > 0;
            ++created[id];
            escapedName = escapedName || e.params.at("name").find("&lt;") != std::string::npos;
            outsideRound = outsideRound || e.round < 0;
        } else if (e.name == "destroyPlayer") {
            ++destroyed[e.params.at("player_id")];
        }
    }
    EXPECT_TRUE(reused) << "an id is given again after its player left";
    EXPECT_TRUE(escapedName) << "clan tags with < and > are written as entities";
    EXPECT_TRUE(outsideRound) << "someone joins between rounds";
    // Bots (ids 1 and 2) play without ever being created.
    EXPECT_EQ(created.count("1") + created.count("2"), 0u);
    const auto botSpawns = std::count_if(events.begin(), events.end(), [](const Event& e) {
        return e.name == "spawnEvent" && (e.params.at("player_id") == "1" || e.params.at("player_id") == "2");
    });
    EXPECT_GT(botSpawns, 0);
}

struct Spot {
    double x, y, z;
};

Spot spotOf(const std::string& text)
{
    Spot s{};
    std::sscanf(text.c_str(), "%lf/%lf/%lf", &s.x, &s.y, &s.z);
    return s;
}

double planeDistance(Spot a, double x, double z)
{
    return std::hypot(a.x - x, a.z - z);
}

const demoworld::Map& mapNamed(const std::string& name)
{
    for (const auto& m : demoworld::Maps)
        if (name == m.name)
            return m;
    return demoworld::Maps[0];
}

// What the replay relies on when it follows a round: it keeps the events after the round's last
// roundInit, finds a kill's victim among the players seen since, moves markers in straight
// lines between a player's positions, and finds vehicles and control points near positions.
TEST(LogGen, ReplayCanFollowEveryRound)
{
    loggen::Options o;
    o.size = 3000000; // busy rounds of 32 players: a few of them
    o.players = 32;
    const std::vector<Event> events = readEvents(loggen::generateToString(o));

    int rounds = 0, kills = 0, enters = 0;
    for (int round = 0;; ++round) {
        std::vector<const Event*> evs;
        for (const Event& e : events)
            if (e.round == round)
                evs.push_back(&e);
        if (evs.empty())
            break;
        ++rounds;
        std::size_t first = 0;
        for (std::size_t i = 0; i < evs.size(); ++i)
            if (evs[i]->name == "roundInit")
                first = i + 1;
        const demoworld::Map& map = mapNamed(evs[0]->map);

        std::map<std::string, std::pair<double, Spot>> seen; // id -> time and place of last event
        std::map<std::string, std::string> seat;             // id -> vehicle while aboard
        for (std::size_t i = first; i < evs.size(); ++i) {
            const Event& e = *evs[i];
            const auto& p = e.params;
            const std::string id = p.count("player_id") ? p.at("player_id") : "";
            if (p.count("victim_id")) {
                ++kills;
                EXPECT_TRUE(seen.count(p.at("victim_id"))) << "victim unknown at " << e.time;
            }
            if (e.name == "spawnEvent" || (e.name == "scoreEvent" && p.at("score_type") == "Attack")) {
                const Spot at = spotOf(p.at("player_location"));
                double nearest = 1e9;
                for (const auto& cp : map.controlPoints)
                    nearest = std::min(nearest, planeDistance(at, cp.x, cp.z));
                EXPECT_LT(nearest, 55.0) << e.name << " away from any control point at " << e.time;
            }
            if (e.name == "enterVehicle") {
                ++enters;
                const Spot at = spotOf(p.at("vehicle_pos"));
                double nearest = 1e9;
                for (const auto& v : map.vehicles)
                    if (p.at("vehicle") == v.vehicle)
                        nearest = std::min(nearest, planeDistance(at, v.x, v.z));
                EXPECT_LT(nearest, 2.0) << p.at("vehicle") << " entered away from its spawn";
                EXPECT_LT(planeDistance(spotOf(p.at("player_location")), at.x, at.z), 5.0);
                seat[id] = p.at("vehicle");
            }
            if (e.name == "exitVehicle") {
                EXPECT_EQ(seat[id], p.at("vehicle")) << "exit without entering at " << e.time;
                seat.erase(id);
            }
            if (e.name == "scoreEvent" && p.at("score_type").rfind("Death", 0) == 0)
                seat.erase(id);
            if (e.name == "destroyPlayer") {
                // The id may come back with someone else.
                seen.erase(id);
                seat.erase(id);
                continue;
            }
            if (id.empty() || !p.count("player_location") || p.at("player_location") == "(unknown)")
                continue;
            const Spot at = spotOf(p.at("player_location"));
            if (seen.count(id) && e.name != "spawnEvent") {
                // Nothing on this map moves faster than a jeep; allow the few metres of
                // getting in and out within the same moment.
                const auto [then, was] = seen.at(id);
                const double d = planeDistance(at, was.x, was.z);
                EXPECT_LE(d, 20.0 + 20.0 * (e.time - then)) << "player " << id << " jumps at " << e.time;
            }
            seen[id] = {e.time, at};
        }
    }
    EXPECT_GE(rounds, 3);
    EXPECT_GT(kills, 100);
    EXPECT_GT(enters, 20);
}

// The options the build makes the demo log with (tools/loggen/CMakeLists.txt), as plain text.
loggen::Options demoLog()
{
    loggen::Options o;
    o.seed = 2026;
    o.players = 32;
    o.rounds = 5;
    return o;
}

// Index of the control point of the map nearest to a position on the ground.
std::size_t nearestPoint(const demoworld::Map& map, Spot at)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < map.controlPoints.size(); ++i)
        if (planeDistance(at, map.controlPoints[i].x, map.controlPoints[i].z) <
            planeDistance(at, map.controlPoints[best].x, map.controlPoints[best].z))
            best = i;
    return best;
}

// The demo has to show what the program is for within seconds: every listed round is as busy as
// a real server's, on both maps, with fights from the start, vehicles used and lost, points
// changing hands, team kills and deaths nobody is credited with.
TEST(LogGen, DemoLogIsLivelyInEveryListedRound)
{
    const std::string log = loggen::generateToString(demoLog());
    const std::vector<Event> events = readEvents(log);
    // The program lists the rounds that have their statistics: all but the open last one.
    const int listed = static_cast<int>(countOf(log, "<bf:roundstats "));
    ASSERT_EQ(listed, 4);
    std::vector<std::string> maps;
    for (int round = 0; round < listed; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // The replay plays what follows the round's last roundInit.
        std::vector<const Event*> evs;
        for (const Event& e : events)
            if (e.round == round) {
                if (e.name == "roundInit")
                    evs.clear();
                evs.push_back(&e);
            }
        ASSERT_FALSE(evs.empty());
        const double start = evs.front()->time;
        const demoworld::Map& map = mapNamed(evs.front()->map);
        maps.push_back(map.name);
        EXPECT_GE(evs.size(), 2000u);
        EXPECT_LE(evs.size(), 4000u);

        double firstKill = 1e9;
        int enters = 0, exits = 0, wrecks = 0, teamKills = 0, uncredited = 0;
        std::map<std::string, double> creditedAt; // victim -> time of the kill naming them
        std::map<std::string, int> team;          // player -> team of the last spawn
        std::vector<int> attacks(map.controlPoints.size(), 0);
        std::vector<int> holder;
        for (const auto& cp : map.controlPoints)
            holder.push_back(cp.team);
        std::set<std::string> early; // in the game within the first 20 s
        for (const Event* e : evs) {
            const auto& p = e->params;
            const std::string type = p.count("score_type") ? p.at("score_type") : "";
            enters += e->name == "enterVehicle";
            exits += e->name == "exitVehicle";
            wrecks += e->name == "destroyVehicle";
            if (type == "Kill")
                firstKill = std::min(firstKill, e->time - start);
            if (type == "Kill" || type == "TK")
                creditedAt[p.at("victim_id")] = e->time;
            teamKills += type == "TK";
            if (type == "Death" && !(creditedAt.count(p.at("player_id")) && creditedAt.at(p.at("player_id")) == e->time))
                ++uncredited;
            // Follow the points as the replay does: a spawn gives the nearest point the spawning
            // side, an attack turns it neutral or, when neutral, the attacker's.
            if (e->name == "spawnEvent" && e->time - start <= 20.0)
                early.insert(p.at("player_id"));
            if (e->name == "spawnEvent") {
                const std::size_t at = nearestPoint(map, spotOf(p.at("player_location")));
                team[p.at("player_id")] = std::stoi(p.at("team"));
                EXPECT_EQ(holder[at], std::stoi(p.at("team")))
                    << "spawn at " << map.controlPoints[at].name << " held by the other side at " << e->time;
                holder[at] = std::stoi(p.at("team"));
            }
            if (type == "Attack") {
                const std::size_t at = nearestPoint(map, spotOf(p.at("player_location")));
                EXPECT_FALSE(map.controlPoints[at].base) << "a base attacked at " << e->time;
                ++attacks[at];
                holder[at] = holder[at] != 0 ? 0 : team[p.at("player_id")];
            }
        }
        EXPECT_GE(early.size(), 24u) << "most of the 32 players are there from the start";
        EXPECT_LE(firstKill, 30.0) << "first kill after " << firstKill << " s";
        EXPECT_GE(*std::max_element(attacks.begin(), attacks.end()), 3) << "no point changes hands several times";
        EXPECT_GT(enters, 0);
        EXPECT_GT(exits, 0);
        EXPECT_GT(wrecks, 0);
        EXPECT_GT(teamKills, 0);
        EXPECT_GT(uncredited, 0) << "no death without a killer";
    }
    // Both demo maps, taking turns.
    EXPECT_NE(maps[0], maps[1]);
    EXPECT_EQ(maps[0], maps[2]);
    EXPECT_EQ(maps[1], maps[3]);
}

TEST(LogGen, EachSideHoldsForwardPointsBesidesItsBase)
{
    for (const demoworld::Map& map : demoworld::Maps) {
        SCOPED_TRACE(map.name);
        int bases[3] = {}, forward[3] = {};
        for (const auto& cp : map.controlPoints) {
            if (cp.base)
                ++bases[cp.team];
            else
                ++forward[cp.team];
        }
        EXPECT_EQ(bases[0], 0);
        for (int side : {1, 2}) {
            EXPECT_EQ(bases[side], 1) << "side " << side;
            EXPECT_GE(forward[side], 1) << "side " << side;
        }
    }
}

TEST(LogGen, DeflateSinkStreamsPiecesIntoOneZlibStream)
{
    std::string text;
    for (int i = 0; text.size() < 700000; ++i)
        text += "\t\t<bf:event name=\"scoreEvent\" timestamp=\"" + std::to_string(i) + ".25\">\n";
    std::string packed;
    loggen::StringSink target(packed);
    {
        loggen::DeflateSink deflater(target);
        // Uneven pieces, from single bytes to large blocks.
        std::size_t at = 0, piece = 1;
        while (at < text.size()) {
            const std::size_t n = std::min(piece, text.size() - at);
            deflater.write(text.data() + at, n);
            at += n;
            piece = piece * 7 % 300007 + 1;
        }
        deflater.finish();
    }
    std::string back(text.size(), '\0');
    uLongf length = static_cast<uLongf>(back.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(back.data()), &length,
                         reinterpret_cast<const Bytef*>(packed.data()), static_cast<uLong>(packed.size())),
              Z_OK);
    EXPECT_EQ(length, text.size());
    EXPECT_EQ(back, text);
}

TEST(LogGen, ArgumentParsing)
{
    auto parse = [](std::vector<std::string> args) { return loggen::parseArguments(args); };
    const auto ok = parse({"--seed", "42", "--size=100M", "--zxml", "--vechicle-spelling", "--map",
                           "bramble_bay", "-o", "x.zxml"});
    ASSERT_TRUE(ok.error.empty()) << ok.error;
    EXPECT_EQ(ok.options.seed, 42u);
    EXPECT_EQ(ok.options.size, 100000000u);
    EXPECT_TRUE(ok.options.zxml);
    EXPECT_TRUE(ok.options.vechicleSpelling);
    EXPECT_FALSE(ok.options.roundsGiven);
    EXPECT_EQ(ok.options.output, "x.zxml");

    EXPECT_FALSE(parse({"--map", "atlantis"}).error.empty());
    EXPECT_FALSE(parse({"--size", "12x"}).error.empty());
    EXPECT_FALSE(parse({"--players"}).error.empty());
    EXPECT_FALSE(parse({"--bogus"}).error.empty());
    EXPECT_TRUE(parse({"--help"}).help);
}

} // namespace

TEST(LogGen, RealWorldMovesEachRoundsActionNearItsPlaceOfARealWorld)
{
    loggen::Options o = smallLog(4);
    o.realWorld = true;
    o.vechicleSpelling = true;
    const std::string log = loggen::generateToString(o);
    const std::vector<Event> events = readEvents(log);
    // The places the rounds are fought near, in turn.
    const double nearX[] = {3500, 50, 3500}, nearZ[] = {3000, 4000, 3000};
    int placed = 0, last = -1;
    for (const Event& e : events) {
        // Between rounds, players are placed for the coming one.
        const int round = e.round >= 0 ? e.round : last + 1;
        last = e.round >= 0 ? e.round : last;
        if (e.round >= 0)
            EXPECT_EQ(e.map, "kessel_ridge_4096");
        for (const char* key : {"player_location", "vechicle_pos"}) {
            auto it = e.params.find(key);
            if (it == e.params.end() || it->second == "(unknown)")
                continue;
            double x = 0, y = 0, z = 0;
            ASSERT_EQ(std::sscanf(it->second.c_str(), "%lf/%lf/%lf", &x, &y, &z), 3) << it->second;
            EXPECT_TRUE(x > 0 && x < 4096 && z > 0 && z < 4096) << it->second;
            EXPECT_LT(std::fabs(x - nearX[round]), 500) << e.name << " at " << it->second << " in round " << round;
            EXPECT_LT(std::fabs(z - nearZ[round]), 500) << e.name << " at " << it->second << " in round " << round;
            ++placed;
        }
    }
    EXPECT_GT(placed, 300);
    // Nothing else changes: the same log but for the places and the map's name.
    loggen::Options plain = smallLog(4);
    plain.map = "kessel_ridge";
    plain.vechicleSpelling = true;
    EXPECT_EQ(countOf(log, "<bf:event "), countOf(loggen::generateToString(plain), "<bf:event "));

    const auto parsed = loggen::parseArguments({"--real-world", "--seed", "2"});
    EXPECT_TRUE(parsed.error.empty()) << parsed.error;
    EXPECT_TRUE(parsed.options.realWorld);
}

// Following people: key hashes, name changes, and the logs of several servers.
namespace {

loggen::Options identityLog(std::uint64_t seed)
{
    loggen::Options o = smallLog(seed);
    o.players = 24;
    o.rounds = 4;
    o.roundTime = 600;
    o.keyhash = true;
    o.nameChanges = true;
    return o;
}

bool isKeyHash(const std::string& text)
{
    return text.size() == 32 &&
           std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Every human's key hash, by the player id it was written for and in the order written.
std::vector<std::pair<std::string, std::string>> keyHashes(const std::vector<Event>& events)
{
    std::vector<std::pair<std::string, std::string>> hashes;
    for (const Event& e : events)
        if (e.name == "playerKeyHash")
            hashes.emplace_back(e.params.at("player_id"), e.params.at("keyhash"));
    return hashes;
}

std::string readWhole(const std::string& path)
{
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

} // namespace

TEST(LogGen, IdentityOptionsAreDeterministicAndAbsentByDefault)
{
    const std::string a = loggen::generateToString(identityLog(3));
    EXPECT_EQ(a, loggen::generateToString(identityLog(3)));
    EXPECT_NE(a, loggen::generateToString(identityLog(4)));
    EXPECT_GT(countOf(a, "\"playerKeyHash\""), 0u);
    EXPECT_GT(countOf(a, "\"changePlayerName\""), 0u);

    const std::string plain = loggen::generateToString(smallLog(3));
    EXPECT_EQ(countOf(plain, "playerKeyHash"), 0u);
    EXPECT_EQ(countOf(plain, "changePlayerName"), 0u);
}

TEST(LogGen, EveryHumanGetsAKeyHashThatStaysWithThemAcrossRejoins)
{
    const std::vector<Event> events = readEvents(loggen::generateToString(identityLog(7)));
    std::map<std::string, std::string> hashOf;      // connected id -> its key hash
    std::map<std::string, std::set<std::string>> idsOf; // key hash -> ids it came as
    // Coming back soon after leaving: a dropped connection, not someone else's turn.
    int rejoinsAsAnotherId = 0;
    std::map<std::string, std::pair<std::string, double>> leftAs; // key hash -> id and time it left
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.name == "createPlayer") {
            ASSERT_EQ(e.params.at("is_ai"), "0"); // bots are never created
            ASSERT_LT(i + 1, events.size());
            const Event& next = events[i + 1];
            ASSERT_EQ(next.name, "playerKeyHash") << "at " << e.time;
            EXPECT_EQ(next.time, e.time);
            EXPECT_EQ(next.params.at("player_id"), e.params.at("player_id"));
            const std::string& hash = next.params.at("keyhash");
            EXPECT_TRUE(isKeyHash(hash)) << hash;
            for (const auto& [id, other] : hashOf)
                EXPECT_NE(other, hash) << "one person on two ids at once, at " << e.time;
            hashOf[e.params.at("player_id")] = hash;
            idsOf[hash].insert(e.params.at("player_id"));
            if (leftAs.count(hash) && leftAs[hash].first != e.params.at("player_id") &&
                e.time - leftAs[hash].second <= 420)
                ++rejoinsAsAnotherId;
        } else if (e.name == "playerKeyHash") {
            EXPECT_EQ(events[i - 1].name, "createPlayer");
        } else if (e.name == "destroyPlayer") {
            const std::string id = e.params.at("player_id");
            leftAs[hashOf[id]] = {id, e.time};
            hashOf.erase(id);
        }
    }
    EXPECT_GT(idsOf.size(), 10u);
    EXPECT_GE(rejoinsAsAnotherId, 5);
    // Distinct people, distinct hashes: more hashes than there are places on the server.
    EXPECT_GT(idsOf.size(), 21u);
}

TEST(LogGen, NameChangesShowInTheEventsAndTheRoster)
{
    const std::string log = loggen::generateToString(identityLog(9));
    std::map<std::string, std::string> nameOf; // connected id -> current name
    int changes = 0, rosterChecks = 0, rosterAfterChange = 0;
    std::set<std::string> renamed;
    std::string statId;
    std::size_t pos = 0;
    std::string event, eventId;
    while (pos < log.size()) {
        auto end = log.find('\n', pos);
        std::string_view line(log.data() + pos, end - pos);
        pos = end + 1;
        line.remove_prefix(std::min(line.find_first_not_of('\t'), line.size()));
        if (line.rfind("<bf:event ", 0) == 0) {
            event = between(line, 0, "name=\"", "\"");
        } else if (line.rfind("<bf:param ", 0) == 0) {
            const std::string key = between(line, 0, "name=\"", "\""), value = between(line, 0, "\">", "</");
            if (key == "player_id")
                eventId = value;
            if (key == "name" && event == "createPlayer")
                nameOf[eventId] = value;
            if (key == "name" && event == "changePlayerName") {
                ASSERT_TRUE(nameOf.count(eventId)) << "renamed before joining";
                EXPECT_NE(nameOf[eventId], value);
                for (const auto& [id, name] : nameOf)
                    EXPECT_NE(name, value) << "the new name is taken";
                nameOf[eventId] = value;
                renamed.insert(eventId);
                ++changes;
            }
        } else if (line.rfind("</bf:event>", 0) == 0 && event == "destroyPlayer") {
            nameOf.erase(eventId);
            renamed.erase(eventId);
        } else if (line.rfind("<bf:playerstat ", 0) == 0) {
            statId = between(line, 0, "playerid=\"", "\"");
        } else if (line.rfind("<bf:statparam name=\"player_name\">", 0) == 0 && nameOf.count(statId)) {
            EXPECT_EQ(between(line, 0, ">", "<"), nameOf[statId]) << "roster of player " << statId;
            ++rosterChecks;
            rosterAfterChange += renamed.count(statId) ? 1 : 0;
        }
    }
    EXPECT_GE(changes, 3);
    EXPECT_GT(rosterChecks, 20);
    EXPECT_GT(rosterAfterChange, 0);
}

TEST(LogGen, ServersWriteNamedLogsThatShareTheirPlayers)
{
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("loggen-series-" + std::to_string(::getpid()))).string();
    std::filesystem::remove_all(dir);
    loggen::Options o = smallLog(11);
    o.keyhash = true;
    o.servers = 2;
    o.logsPerServer = 3;
    o.outDir = dir + "/a";
    const std::vector<std::string> names = loggen::generateSeries(o);
    ASSERT_EQ(names.size(), 6u);

    std::map<int, std::vector<std::string>> logsOf; // port -> file names in the order written
    for (const std::string& name : names) {
        int port = 0, date = 0, hhmm = 0;
        char rest[8] = {};
        ASSERT_EQ(std::sscanf(name.c_str(), "ev_%5d-%8d_%4d.%4s", &port, &date, &hhmm, rest), 4) << name;
        EXPECT_EQ(name.size(), std::string("ev_16567-20260314_1900.xml").size()) << name;
        EXPECT_STREQ(rest, "xml");
        EXPECT_GE(date, 20260314);
        EXPECT_LT(hhmm % 100, 60);
        EXPECT_LT(hhmm / 100, 24);
        logsOf[port].push_back(name);
    }
    ASSERT_EQ(logsOf.size(), 2u);
    EXPECT_EQ(logsOf.begin()->first, 16567);
    EXPECT_EQ(logsOf.rbegin()->first, 16568);

    std::vector<std::set<std::string>> hashesOf;
    std::set<std::string> serverNames;
    for (const auto& [port, files] : logsOf) {
        std::set<std::string> hashes;
        double lastTime = 0;
        std::string lastStart;
        for (std::size_t k = 0; k < files.size(); ++k) {
            EXPECT_GT(files[k], lastStart) << "logs of a server follow on";
            lastStart = files[k];
            const std::string log = readWhole(dir + "/a/" + files[k]);
            ASSERT_FALSE(log.empty()) << files[k];
            serverNames.insert(between(log, 0, "<bf:setting name=\"server name\">", "<"));
            EXPECT_EQ(between(log, 0, "<bf:setting name=\"port\">", "<"), std::to_string(port));
            // Earlier logs end with their map; the last is still being written.
            const bool closed = log.size() > 10 && log.compare(log.size() - 10, 10, "</bf:log>\n") == 0;
            EXPECT_EQ(closed, k + 1 < files.size()) << files[k];
            EXPECT_EQ(countOf(log, "<bf:roundstats "), countOf(log, "<bf:round ") - (closed ? 0 : 1)) << files[k];
            const std::vector<Event> events = readEvents(log);
            ASSERT_FALSE(events.empty());
            if (k > 0)
                EXPECT_GT(events.front().time, lastTime + 3600) << "time counts on across the logs";
            lastTime = events.back().time;
            for (const auto& [id, hash] : keyHashes(events)) {
                EXPECT_TRUE(isKeyHash(hash));
                hashes.insert(hash);
            }
        }
        hashesOf.push_back(hashes);
    }
    EXPECT_EQ(serverNames.size(), 2u);
    std::vector<std::string> shared;
    std::set_intersection(hashesOf[0].begin(), hashesOf[0].end(), hashesOf[1].begin(), hashesOf[1].end(),
                          std::back_inserter(shared));
    EXPECT_GE(shared.size(), 5u) << "the same people play on both servers";

    // The same options write the same files, compressed as well.
    o.outDir = dir + "/b";
    EXPECT_EQ(loggen::generateSeries(o), names);
    for (const std::string& name : names)
        EXPECT_EQ(readWhole(dir + "/a/" + name), readWhole(dir + "/b/" + name)) << name;
    o.outDir = dir + "/z";
    o.zxml = true;
    const std::vector<std::string> packed = loggen::generateSeries(o);
    ASSERT_EQ(packed.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(packed[i], names[i].substr(0, names[i].size() - 3) + "zxml");
    std::filesystem::remove_all(dir);
}

TEST(LogGen, IdentityArguments)
{
    auto parse = [](std::vector<std::string> args) { return loggen::parseArguments(args); };
    const auto ok = parse({"--keyhash", "--name-changes", "--servers", "3", "--logs=5", "--out-dir", "d"});
    ASSERT_TRUE(ok.error.empty()) << ok.error;
    EXPECT_TRUE(ok.options.keyhash);
    EXPECT_TRUE(ok.options.nameChanges);
    EXPECT_EQ(ok.options.servers, 3);
    EXPECT_EQ(ok.options.logsPerServer, 5);
    EXPECT_EQ(ok.options.outDir, "d");
    EXPECT_FALSE(parse({"--servers", "2"}).error.empty());
    EXPECT_FALSE(parse({"--out-dir", "d"}).error.empty());
    EXPECT_FALSE(parse({"--servers", "0", "--out-dir", "d"}).error.empty());
    EXPECT_FALSE(parse({"--servers", "2", "--out-dir", "d", "-o", "x.xml"}).error.empty());
    const std::string help = loggen::usage();
    for (const char* option : {"--keyhash", "--name-changes", "--servers", "--logs", "--out-dir"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}
