#include "Generator.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <type_traits>

namespace loggen {

namespace {

// Handles of invented players; a few carry Latin-1 letters, which the log writes as single
// bytes because it declares ISO-8859-1.
constexpr const char* BaseNames[] = {
    "Henk",    "Bert",     "Kees",      "Moose",   "Viper",  "Sarge",  "Doc",
    "Ghost",   "Tinker",   "Lefty",     "Rooster", "Wolfie", "Nomad",  "Brick",
    "Frosty",  "Gunny",    "Rook",      "Ace",     "Blitz",  "Hopper", "Dutch",
    "Spud",    "Tex",      "Mitch",     "Olli",    "Pim",    "Sjaak",  "Krabbe",
    "Lynx",    "Badger",   "Mole",      "Pike",    "Otter",  "Fenn",   "Cobb",
    "J\xFC" "rgen", "S\xF8" "ren", "Zo\xEB", "Ram\xF3" "n", "Bj\xF6" "rn",
    "Fran\xE7" "ois", "G\xFC" "nther", "\xC5" "sa", "Ren\xE9", "M\xE5" "ns",
};

constexpr const char* ClanTags[] = {
    "<NL>", "<KoW>", "[TFF]", "=SoD=", "{RAF}", "|BoB|", "-=DK=-", "<\xA7>", "[1stID]", "<DE>",
};

// A seed for one thing of one identity, unrelated to the log's own random numbers.
std::uint64_t identityStream(std::uint64_t seed, std::uint64_t person, std::uint64_t what)
{
    return (seed ^ 0x6964656e74697479ULL) * 0x100000001b3ULL + person * 4 + what;
}

// Already escaped for XML.
constexpr const char* ChatLines[] = {
    "gg",
    "need a medic at the bridge",
    "tank near the mill!",
    "lol",
    "nice shot",
    "who took the jeep?",
    "attack the harbour",
    "&lt;3",
    "brb",
    "sch\xF6" "n gemacht",
    "tr\xE8" "s bien",
    "p\xE5 v\xE4" "g",
    "defend!!",
    "go go go",
    "sorry tk",
    "thx",
    "np",
    "&gt;&gt; flank left &lt;&lt;",
    "arty on the ridge",
    "anyone got a ride?",
};

std::string escapeXml(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size() + 8);
    for (char c : raw) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        default: out += c;
        }
    }
    return out;
}

template <typename T, std::size_t N>
constexpr std::uint32_t count(const T (&)[N])
{
    return static_cast<std::uint32_t>(N);
}

constexpr std::int64_t Margin = 2 * Unit;
constexpr Time SpawnProtection = 3 * Second;

// One element with a name attribute and a text, on a line of its own:
// <indent><element name="name">value</element>
template <typename V>
void PutNamed(TextOut& out, std::string_view indent, std::string_view element, std::string_view name, V value)
{
    out.put(indent);
    out.put("<");
    out.put(element);
    out.put(" name=\"");
    out.put(name);
    out.put("\">");
    if constexpr (std::is_integral_v<V>)
        out.number(value);
    else
        out.put(value);
    out.put("</");
    out.put(element);
    out.put(">\n");
}

} // namespace

Generator::Generator(const Options& options, TextOut& out)
    : m_options(options),
      m_out(out),
      m_rng(options.seed),
      m_vehicleParam(options.vechicleSpelling ? "vechicle" : "vehicle"),
      m_vehiclePosParam(options.vechicleSpelling ? "vechicle_pos" : "vehicle_pos")
{
    const int total = std::max(2, options.players);
    m_botCount = options.bots >= 0 ? std::min(options.bots, total) : (total + 4) / 8;
    m_humanCount = total - m_botCount;
    m_sizeMode = options.size > 0;
    m_budgetMode = m_sizeMode && options.roundsGiven;
    m_startTickets = 40 + 8 * total;

    // Bots hold the lowest ids for the whole log; people share the ids above them, and the
    // server gives a newcomer the lowest free one, so ids come back after someone leaves.
    m_players.resize(static_cast<std::size_t>(1 + total));
    for (int id = 1; id <= total; ++id)
        m_players[id].id = id;
    for (int i = 0; i < m_botCount; ++i) {
        Player& bot = m_players[1 + i];
        bot.bot = true;
        bot.connected = true;
        bot.team = 1 + i % 2;
        bot.mode = Mode::Waiting;
        bot.name = escapeXml(std::string("Bot_") + BaseNames[m_rng.below(count(BaseNames))]);
    }

    m_identities = options.keyhash || options.nameChanges || options.servers > 0 ||
                   options.identitySeed != 0;
    if (m_identities) {
        // About twice as many people as there are places, so that the faces change and other
        // servers of the same community see many of them too.
        const std::uint64_t seed = options.identitySeed != 0 ? options.identitySeed : options.seed;
        m_people.resize(static_cast<std::size_t>(std::max(8, 2 * m_humanCount)));
        for (std::size_t i = 0; i < m_people.size(); ++i) {
            Rng names(identityStream(seed, i, 0));
            std::string raw = BaseNames[names.below(count(BaseNames))];
            if (names.chance(600))
                raw += std::to_string(names.range(1, 999));
            if (names.chance(350))
                raw = ClanTags[names.below(count(ClanTags))] + raw;
            m_people[i].name = escapeXml(raw);
            Rng hash(identityStream(seed, i, 1));
            static constexpr char Hex[] = "0123456789abcdef";
            for (int half = 0; half < 2; ++half) {
                const std::uint64_t bits = hash.next();
                for (int d = 60; d >= 0; d -= 4)
                    m_people[i].keyhash += Hex[(bits >> d) & 15];
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Main loop

void Generator::schedule(Time t, Act act, int target, std::uint32_t gen)
{
    m_queue.push(Action{t, m_seq++, act, target, gen});
}

void Generator::run()
{
    m_out.put("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
              "<bf:log version=\"1.1\" xmlns:bf=\"http://www.example.com/xmlns/bf/1.1\">\n");

    // The server has been up a little while when the first round starts. Most people are
    // already there, waiting for it, so the first round is as busy as the others from its first
    // seconds; the rest trickle in.
    const Time origin = m_options.startTime;
    const Time start = origin + m_rng.range(15 * Second, 60 * Second);
    m_world = std::make_unique<MapWorld>(mapForRound(0));
    m_shift = shiftForRound(mapForRound(0), 0);
    for (int i = 0; i < m_humanCount; ++i) {
        const bool early = i < m_humanCount * 3 / 4;
        schedule(early ? origin + m_rng.range(Second, start - origin - Second)
                       : start + m_rng.range(Second, 90 * Second),
                 Act::Join, 0, 0);
    }
    schedule(start, Act::NextRound, 0, m_roundGen);

    while (!m_done && !m_queue.empty()) {
        const Action a = m_queue.top();
        m_queue.pop();
        m_now = a.time;
        dispatch(a);
        if (!m_done)
            checkEnd();
    }
    if (m_options.closeLog) {
        if (m_inRound)
            endRound(m_now, 2);
        m_out.put("</bf:log>\n");
    }
}

void Generator::dispatch(const Action& a)
{
    const Time t = a.time;
    switch (a.act) {
    case Act::Tick: {
        Player& p = m_players[a.target];
        if (a.gen == p.gen && p.connected && m_inRound)
            tick(p, t);
        break;
    }
    case Act::Join:
        join(t);
        break;
    case Act::Leave: {
        Player& p = m_players[a.target];
        if (p.connected && a.gen == p.stay)
            leave(p, t);
        break;
    }
    case Act::VehicleTimeout: {
        if (a.target >= static_cast<int>(m_vehicles.size()))
            break;
        Vehicle& v = m_vehicles[a.target];
        if (a.gen == v.gen && v.state == VehicleState::Abandoned && m_inRound) {
            // Left alone too long: the server blows it up and it comes back at its spawn.
            beginEvent("destroyVehicle", t);
            paramString(m_vehicleParam, vehicleName(v.kind, 0));
            paramPos(m_vehiclePosParam, v.leg.at(t));
            endEvent();
            v.state = VehicleState::Wrecked;
            bump(v);
            schedule(t + secondsBetween(20, 45), Act::VehicleRespawn, a.target, v.gen);
        }
        break;
    }
    case Act::VehicleRespawn: {
        if (a.target >= static_cast<int>(m_vehicles.size()))
            break;
        Vehicle& v = m_vehicles[a.target];
        if (a.gen == v.gen && v.state == VehicleState::Wrecked) {
            v.state = VehicleState::Ready;
            v.leg = Leg::still(v.home, t, t);
        }
        break;
    }
    case Act::Bleed:
        if (a.gen == m_roundGen && m_inRound)
            bleed(t);
        break;
    case Act::TimeLimit:
        if (a.gen == m_roundGen && m_inRound) {
            endRound(t, 2);
            if (m_finalRound)
                m_done = true; // only with closeLog: the log ends with the map
        }
        break;
    case Act::Cut:
        if (a.gen == m_roundGen && m_inRound)
            m_done = true;
        break;
    case Act::Restart:
        if (a.gen == m_roundGen && m_inRound)
            restartRound(t);
        break;
    case Act::RestartMap:
        if (a.gen == m_roundGen && !m_inRound) {
            beginEvent("restartMap", t);
            endEvent();
        }
        break;
    case Act::NextRound:
        if (a.gen == m_roundGen && !m_inRound)
            startRound(t);
        break;
    case Act::Rename: {
        Player& p = m_players[a.target];
        if (p.connected && a.gen == p.stay)
            rename(p, t);
        break;
    }
    case Act::Rejoin:
        rejoin(a.target, t);
        break;
    }
}

void Generator::checkEnd()
{
    if (!m_inRound)
        return;
    // A round stopped by the size target still holds enough events to be listed and replayed.
    const bool roundHasSubstance = m_eventsSinceInit >= 25;
    if (m_sizeMode) {
        if (m_budgetMode) {
            const int rounds = std::max(1, m_options.rounds);
            const int index = std::min(m_roundNumber, rounds) - 1;
            const std::uint64_t target =
                m_options.size / static_cast<std::uint64_t>(rounds) * static_cast<std::uint64_t>(index + 1);
            if (m_out.size() >= target && roundHasSubstance) {
                if (m_roundNumber >= rounds)
                    m_done = true;
                else
                    endRound(m_now, 2);
            }
            return;
        }
        if (m_out.size() >= m_options.size && roundHasSubstance) {
            m_done = true;
            return;
        }
    }
    if (m_tickets[1] <= 0 || m_tickets[2] <= 0) {
        if (m_finalRound && !m_options.closeLog) {
            m_done = true;
        } else {
            endRound(m_now, 1);
            m_done = m_finalRound;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Rounds

const demoworld::Map& Generator::mapForRound(int index) const
{
    if (m_options.realWorld)
        return demoworld::Maps[1]; // a small layout: a fight of a few hundred units
    for (const auto& m : demoworld::Maps)
        if (m_options.map == m.name)
            return m;
    return demoworld::Maps[static_cast<std::size_t>(index) % demoworld::Maps.size()];
}

Pos Generator::shiftForRound(const demoworld::Map& map, int index) const
{
    if (!m_options.realWorld)
        return {};
    // The layout's middle moved onto the round's place, but kept a little inside the world on
    // both sides: the log's positions carry no sign.
    auto along = [](double low, double high, int target) {
        const double margin = 50, world = RealWorldSize;
        double shift = target - (low + high) / 2;
        shift = std::max(shift, margin - low);
        shift = std::min(shift, world - margin - high);
        return toFixed(shift);
    };
    double lowX = 1e9, highX = -1e9, lowZ = 1e9, highZ = -1e9;
    auto take = [&](double x, double z) {
        lowX = std::min(lowX, x);
        highX = std::max(highX, x);
        lowZ = std::min(lowZ, z);
        highZ = std::max(highZ, z);
    };
    for (const auto& p : map.controlPoints)
        take(p.x, p.z);
    for (const auto& v : map.vehicles)
        take(v.x, v.z);
    const std::size_t which = static_cast<std::size_t>(index) % std::size(RealActionX);
    return {along(lowX, highX, RealActionX[which]), 0, along(lowZ, highZ, RealActionZ[which])};
}

void Generator::startRound(Time t)
{
    const demoworld::Map* map = &mapForRound(m_roundNumber);
    m_shift = shiftForRound(*map, m_roundNumber);
    if (!m_world || m_world->map != map)
        m_world = std::make_unique<MapWorld>(*map);
    ++m_roundNumber;
    m_inRound = true;
    m_finalRound = !m_sizeMode && m_roundNumber >= m_options.rounds;

    m_vehicles.clear();
    for (const auto& spawnPlace : map->vehicles) {
        Vehicle v;
        v.kind = std::max(0, vehicleKindIndex(spawnPlace.vehicle));
        v.team = spawnPlace.team;
        v.home = {toFixed(spawnPlace.x), toFixed(spawnPlace.y), toFixed(spawnPlace.z)};
        m_vehicles.push_back(v);
    }

    m_out.put("\t<bf:round timestamp=\"");
    m_out.hundredths(t);
    m_out.put("\">\n");
    writeServerSettings();
    beginEvent("roundInit", t);
    endEvent();
    resetRound(t);
    scheduleRoundClock(t);
    // Now and then an admin restarts the round right after it began.
    if (m_rng.chance(200))
        schedule(t + secondsBetween(6, 25), Act::Restart, 0, m_roundGen);
}

void Generator::restartRound(Time t)
{
    beginEvent("roundInit", t);
    endEvent();
    resetRound(t);
    scheduleRoundClock(t);
}

void Generator::scheduleRoundClock(Time t)
{
    ++m_roundGen; // drops the clock of an earlier start
    schedule(t + 10 * Second, Act::Bleed, 0, m_roundGen);
    if (m_budgetMode)
        return;
    const Time limit = Time{m_options.roundTime} * Second;
    if (m_finalRound && !m_options.closeLog)
        schedule(t + limit * m_rng.range(50, 90) / 100, Act::Cut, 0, m_roundGen);
    else
        schedule(t + limit, Act::TimeLimit, 0, m_roundGen);
}

void Generator::resetRound(Time t)
{
    m_roundStart = t;
    m_eventsSinceInit = 0;
    m_pointOwner = m_world->pointTeam;
    m_pointCooldown.assign(m_world->points.size(), 0);
    for (Vehicle& v : m_vehicles) {
        v.state = VehicleState::Ready;
        v.leg = Leg::still(v.home, t, t);
        v.seats.fill(-1);
        bump(v);
    }
    m_kits.clear();
    m_nextKit = 0;
    m_tickets = {0, m_startTickets, m_startTickets};
    m_losses = {0, 0, 0};
    for (Player& p : m_players) {
        if (!p.connected)
            continue;
        p.mode = Mode::Waiting;
        p.vehicle = p.seat = -1;
        p.pending = Pending::None;
        p.score = p.kills = p.deaths = p.tks = p.captures = 0;
        ++p.gen;
        scheduleTick(p, t + secondsBetween(1, 12));
    }
}

void Generator::endRound(Time t, int victoryType)
{
    writeRoundStats(t, victoryType);
    m_out.put("\t</bf:round>\n");
    m_inRound = false;
    m_eventDepth = 1;
    ++m_roundGen;
    for (Player& p : m_players) {
        if (!p.connected)
            continue;
        p.mode = Mode::Waiting;
        p.vehicle = p.seat = -1;
        ++p.gen;
        // The end of a round is when people most often call it a day.
        if (!p.bot && m_rng.chance(80))
            schedule(t + secondsBetween(2, 12), Act::Leave, p.id, p.stay);
    }
    for (Vehicle& v : m_vehicles)
        bump(v);
    // People joining between rounds are placed on the coming map.
    m_world = std::make_unique<MapWorld>(mapForRound(m_roundNumber));
    m_shift = shiftForRound(mapForRound(m_roundNumber), m_roundNumber);
    schedule(t + secondsBetween(1, 4), Act::RestartMap, 0, m_roundGen);
    schedule(t + secondsBetween(15, 40), Act::NextRound, 0, m_roundGen);
}

void Generator::writeServerSettings()
{
    auto setting = [this](std::string_view name, auto value) { PutNamed(m_out, "\t\t\t", "bf:setting", name, value); };
    const int total = static_cast<int>(m_players.size()) - 1;
    m_out.put("\t\t<bf:server>\n");
    const std::string serverName = m_options.serverName.empty() ? std::string("Harbourside Veterans | Conquest 24/7")
                                                                : escapeXml(m_options.serverName);
    setting("server name", std::string_view(serverName));
    setting("port", m_options.port != 0 ? m_options.port : 23000);
    setting("dedicated", 1);
    setting("game mode", std::string_view("conquest"));
    if (m_options.realWorld)
        setting("map", std::string_view(std::string(m_world->map->name) + RealWorldSuffix));
    else
        setting("map", std::string_view(m_world->map->name));
    setting("time limit", m_budgetMode ? 0 : m_options.roundTime);
    setting("max players", (total + 5) / 2 * 2);
    setting("bots", m_botCount);
    setting("ticket ratio", 100);
    setting("spawn time", 15);
    setting("friendly fire", 1);
    setting("team balance", 1);
    setting("round", m_roundNumber);
    m_out.put("\t\t</bf:server>\n");
}

void Generator::writeRoundStats(Time t, int victoryType)
{
    std::array<int, 3> left = m_tickets;
    if (m_budgetMode) {
        // Such a round ran for its share of the output, not against its tickets; give it
        // a start value under which the loser only just held out.
        const int most = std::max(m_losses[1], m_losses[2]);
        const int start = most + static_cast<int>(m_rng.range(0, most / 3 + 10));
        left = {0, start - m_losses[1], start - m_losses[2]};
    }
    left[1] = std::max(0, left[1]);
    left[2] = std::max(0, left[2]);
    const int winner = left[1] > left[2] ? 1 : left[2] > left[1] ? 2 : 1 + static_cast<int>(m_rng.below(2));

    m_out.put("\t\t<bf:roundstats timestamp=\"");
    m_out.hundredths(t);
    m_out.put("\">\n\t\t\t<bf:winningteam>");
    m_out.number(winner);
    m_out.put("</bf:winningteam>\n\t\t\t<bf:victorytype>");
    m_out.number(victoryType);
    m_out.put("</bf:victorytype>\n");
    for (int team = 1; team <= 2; ++team) {
        m_out.put("\t\t\t<bf:teamtickets team=\"");
        m_out.number(team);
        m_out.put("\">");
        m_out.number(left[team]);
        m_out.put("</bf:teamtickets>\n");
    }
    auto stat = [this](std::string_view name, auto value) { PutNamed(m_out, "\t\t\t\t", "bf:statparam", name, value); };
    for (const Player& p : m_players) {
        if (!p.connected)
            continue;
        m_out.put("\t\t\t<bf:playerstat playerid=\"");
        m_out.number(p.id);
        m_out.put("\">\n");
        stat("player_name", std::string_view(p.name));
        stat("is_ai", p.bot ? 1 : 0);
        stat("team", p.team);
        stat("score", p.score);
        stat("kills", p.kills);
        stat("deaths", p.deaths);
        stat("tks", p.tks);
        stat("captures", p.captures);
        m_out.put("\t\t\t</bf:playerstat>\n");
    }
    m_out.put("\t\t</bf:roundstats>\n");
}

void Generator::bleed(Time t)
{
    // The side holding fewer control points loses a ticket now and then.
    int held[3] = {0, 0, 0};
    for (int owner : m_pointOwner)
        if (owner >= 1 && owner <= 2)
            ++held[owner];
    if (held[1] != held[2]) {
        const int loser = held[1] < held[2] ? 1 : 2;
        --m_tickets[loser];
        ++m_losses[loser];
    }
    schedule(t + 10 * Second, Act::Bleed, 0, m_roundGen);
}

// ---------------------------------------------------------------------------------------
// Players coming and going

int Generator::teamCount(int team) const
{
    int n = 0;
    for (const Player& p : m_players)
        if (p.connected && p.team == team)
            ++n;
    return n;
}

int Generator::smallerTeam() const
{
    const int a = teamCount(1), b = teamCount(2);
    return a < b ? 1 : b < a ? 2 : 0;
}

bool Generator::nameInUse(const std::string& name) const
{
    for (const Player& p : m_players)
        if (p.connected && p.name == name)
            return true;
    return false;
}

std::string Generator::makeName()
{
    // Some come back after a while under the name they had.
    if (!m_recentNames.empty() && m_rng.chance(200)) {
        const std::string& old = m_recentNames[m_rng.below(static_cast<std::uint32_t>(m_recentNames.size()))];
        if (!nameInUse(old))
            return old;
    }
    std::string raw = BaseNames[m_rng.below(count(BaseNames))];
    const auto style = m_rng.below(100);
    if (style < 30)
        raw += std::to_string(m_rng.range(1, 99));
    else if (style < 35)
        raw = "x" + raw + "x";
    else if (style < 40)
        raw += "_jr";
    if (m_rng.chance(350))
        raw = ClanTags[m_rng.below(count(ClanTags))] + raw;
    std::string name = escapeXml(raw);
    while (nameInUse(name))
        name += static_cast<char>('0' + m_rng.below(10));
    return name;
}

std::string Generator::uniqueName(std::string name)
{
    while (nameInUse(name))
        name += static_cast<char>('0' + m_rng.below(10));
    return name;
}

std::string Generator::variantOf(const std::string& name)
{
    std::string other;
    std::size_t tag = 0;
    for (const char* clan : ClanTags) {
        const std::string escaped = escapeXml(clan);
        if (name.rfind(escaped, 0) == 0)
            tag = escaped.size();
    }
    switch (m_rng.below(3)) {
    case 0: // left the clan, or joined one
        other = tag > 0 ? name.substr(tag) : escapeXml(ClanTags[m_rng.below(count(ClanTags))]) + name;
        break;
    case 1: // another number
        other = name.substr(0, name.find_last_not_of("0123456789") + 1) + std::to_string(m_rng.range(1, 99));
        break;
    default: // another handle altogether
        other = escapeXml(std::string(BaseNames[m_rng.below(count(BaseNames))]) + "_" +
                          std::to_string(m_rng.range(1, 99)));
        break;
    }
    if (other == name)
        other += '2';
    return uniqueName(other);
}

int Generator::pickPerson()
{
    const auto n = static_cast<std::uint32_t>(m_people.size());
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::uint32_t i = m_rng.below(n);
        if (!m_people[i].online && !m_people[i].returning)
            return static_cast<int>(i);
    }
    for (std::uint32_t i = 0; i < n; ++i)
        if (!m_people[i].online && !m_people[i].returning)
            return static_cast<int>(i);
    return -1; // cannot happen: there are twice as many people as places
}

void Generator::join(Time t, int person, int avoidId)
{
    Player* p = nullptr;
    for (int id = m_botCount + 1; id < static_cast<int>(m_players.size()); ++id)
        if (!m_players[id].connected && id != avoidId) {
            p = &m_players[id];
            break;
        }
    if (!p)
        return;
    const int smaller = smallerTeam();
    if (m_identities) {
        if (person < 0)
            person = pickPerson();
        if (person < 0)
            return;
        Person& who = m_people[static_cast<std::size_t>(person)];
        who.online = true;
        who.returning = false;
        p->person = person;
        p->name = uniqueName(who.name);
        who.name = p->name;
    } else {
        p->name = makeName();
    }
    p->connected = true;
    p->bot = false;
    p->team = smaller != 0 ? smaller : 1 + static_cast<int>(m_rng.below(2));
    p->kit = -1;
    p->mode = Mode::Waiting;
    p->vehicle = p->seat = -1;
    p->pending = Pending::None;
    p->switchTeam = false;
    p->score = p->kills = p->deaths = p->tks = p->captures = 0;
    ++p->stay;
    ++p->gen;

    // A newcomer is placed at the base of the side the server put them on.
    const int base = std::max(0, m_world->baseOf(p->team));
    const Pos pos = around(m_world->points[base], 10);
    p->leg = Leg::still(pos, t, t);
    beginEvent("createPlayer", t);
    paramInt("player_id", p->id);
    paramString("name", p->name);
    paramInt("is_ai", 0);
    paramInt("team", p->team);
    paramPos("player_location", pos);
    endEvent();
    if (m_options.keyhash && p->person >= 0) {
        beginEvent("playerKeyHash", t);
        paramInt("player_id", p->id);
        paramString("keyhash", m_people[static_cast<std::size_t>(p->person)].keyhash);
        endEvent();
    }

    Time stayFor = secondsBetween(150, 2500);
    if (m_rng.chance(250))
        stayFor += 3600 * Second;
    schedule(t + stayFor, Act::Leave, p->id, p->stay);
    if (m_inRound)
        scheduleTick(*p, t + secondsBetween(4, 14));
    if (m_options.nameChanges && m_rng.chance(200))
        schedule(t + secondsBetween(30, 600), Act::Rename, p->id, p->stay);
}

void Generator::rename(Player& p, Time t)
{
    const std::string name = variantOf(p.name);
    beginEvent("changePlayerName", t);
    paramInt("player_id", p.id);
    paramString("name", name);
    endEvent();
    p.name = name;
    if (p.person >= 0)
        m_people[static_cast<std::size_t>(p.person)].name = name;
}

void Generator::rejoin(int person, Time t)
{
    Person& who = m_people[static_cast<std::size_t>(person)];
    who.returning = false;
    // The server hands out the lowest free id; coming back under the old one would hide the
    // point of the exercise, so the old one is passed over.
    bool otherFree = false;
    for (int id = m_botCount + 1; id < static_cast<int>(m_players.size()); ++id)
        otherFree = otherFree || (!m_players[id].connected && id != who.lastId);
    if (!otherFree) {
        join(t);
        return;
    }
    if (m_rng.chance(500))
        who.name = variantOf(who.name);
    join(t, person, who.lastId);
}

void Generator::leave(Player& p, Time t)
{
    if (p.mode == Mode::InVehicle && m_inRound) {
        schedule(t + secondsBetween(10, 30), Act::Leave, p.id, p.stay);
        return;
    }
    beginEvent("destroyPlayer", t);
    paramInt("player_id", p.id);
    m_out.tabs(m_eventDepth + 1);
    m_out.put("<bf:param type=\"vec3\" name=\"player_location\">(unknown)</bf:param>\n");
    endEvent();
    p.connected = false;
    p.mode = Mode::Absent;
    ++p.gen;
    if (m_identities && p.person >= 0) {
        Person& who = m_people[static_cast<std::size_t>(p.person)];
        who.online = false;
        who.lastId = p.id;
        const int person = p.person;
        p.person = -1;
        if (m_options.nameChanges && m_rng.chance(350)) {
            // Dropped out and comes back a little later, as another id.
            who.returning = true;
            schedule(t + secondsBetween(20, 400), Act::Rejoin, person, 0);
            return;
        }
    } else {
        m_recentNames.push_back(p.name);
        if (m_recentNames.size() > 16)
            m_recentNames.pop_front();
    }
    schedule(t + secondsBetween(5, 150), Act::Join, 0, 0);
}

// ---------------------------------------------------------------------------------------
// Playing

void Generator::tick(Player& p, Time t)
{
    switch (p.mode) {
    case Mode::Waiting:
    case Mode::Dead:
        spawn(p, t);
        break;
    case Mode::OnFoot:
        footTick(p, t);
        break;
    case Mode::InVehicle:
        if (p.seat == 0)
            driverTick(p, t);
        else
            passengerTick(p, t);
        break;
    case Mode::Absent:
        break;
    }
}

bool Generator::contested(int point, int team) const
{
    // Bases are safe; elsewhere the server lets nobody spawn at a point with enemies close by.
    if (!m_world->capturable[point])
        return false;
    for (const Player& q : m_players)
        if (alive(q) && q.team != team &&
            planeDistance(posOf(q, m_now), m_world->points[point]) <= ContestedRadius * Unit)
            return true;
    return false;
}

int Generator::chooseSpawnPoint(int team)
{
    std::uint64_t total = 0;
    std::uint64_t weights[16] = {};
    const std::size_t n = std::min<std::size_t>(m_world->points.size(), 16);
    for (std::size_t i = 0; i < n; ++i)
        if (m_pointOwner[i] == team && !contested(static_cast<int>(i), team)) {
            // Most pick the point nearest to a point they do not hold, where the fight is.
            std::int64_t front = m_world->size;
            for (std::size_t j = 0; j < n; ++j)
                if (m_pointOwner[j] != team && m_world->capturable[j])
                    front = std::min(front, planeDistance(m_world->points[i], m_world->points[j]));
            const auto d = static_cast<std::uint64_t>(front / Unit + 50);
            weights[i] = (m_world->capturable[i] ? 5 : 3) * (10'000'000'000 / (d * d) + 1);
            // Some go back for a vehicle waiting at their base.
            if (!m_world->capturable[i])
                for (const Vehicle& v : m_vehicles)
                    if (v.team == team && v.state == VehicleState::Ready &&
                        planeDistance(v.home, m_world->points[i]) <= 150 * Unit)
                        weights[i] += 200'000;
            total += weights[i];
        }
    if (total == 0)
        return std::max(0, m_world->baseOf(team));
    std::uint64_t pick = (m_rng.next() >> 11) % total;
    for (std::size_t i = 0; i < n; ++i) {
        if (pick < weights[i])
            return static_cast<int>(i);
        pick -= weights[i];
    }
    return 0;
}

void Generator::spawn(Player& p, Time t)
{
    if (p.switchTeam) {
        p.team = 3 - p.team;
        p.switchTeam = false;
    }
    int cls = p.kit >= 0 ? p.kit % 5 : static_cast<int>(m_rng.below(5));
    if (m_rng.chance(150))
        cls = static_cast<int>(m_rng.below(5));
    p.kit = (p.team == 1 ? 0 : 5) + cls;

    const int point = chooseSpawnPoint(p.team);
    const Pos pos = around(m_world->points[point], 12);
    beginEvent("spawnEvent", t);
    paramInt("player_id", p.id);
    paramPos("player_location", pos);
    paramInt("team", p.team);
    paramString("kit", kitName(p.kit));
    endEvent();

    p.mode = Mode::OnFoot;
    p.vehicle = p.seat = -1;
    p.pending = Pending::None;
    p.spawnedAt = t;
    ++p.gen;
    p.leg = Leg::still(pos, t, t);
    chooseGoal(p, pos, false);
    planFoot(p, t + m_rng.range(0, 2 * Second));
}

void Generator::chooseGoal(Player& p, Pos from, bool driving)
{
    // Mostly the nearest point the side does not hold, sometimes one to defend: a side pushes
    // together, which is how points change hands.
    std::uint64_t total = 0;
    std::uint64_t weights[16] = {};
    const std::size_t n = std::min<std::size_t>(m_world->points.size(), 16);
    for (std::size_t i = 0; i < n; ++i) {
        if (!m_world->capturable[i])
            continue;
        const auto d = static_cast<std::uint64_t>(planeDistance(from, m_world->points[i]) / Unit);
        std::uint64_t w = 1'000'000'000'000 / ((d + 100) * (d + 100));
        if (m_pointOwner[i] != p.team)
            w *= driving ? 10 : 8;
        else if (contested(static_cast<int>(i), p.team))
            w *= 6; // under attack: come and hold it
        else
            w /= 4;
        weights[i] = w;
        total += w;
    }
    int chosen = 0;
    if (total == 0) {
        chosen = static_cast<int>(m_rng.below(static_cast<std::uint32_t>(n)));
    } else {
        std::uint64_t pick = (m_rng.next() >> 11) % total;
        for (std::size_t i = 0; i < n; ++i) {
            if (pick < weights[i]) {
                chosen = static_cast<int>(i);
                break;
            }
            pick -= weights[i];
        }
    }
    p.goal = Goal::Point;
    p.goalIndex = chosen;
    p.goalPos = around(m_world->points[chosen], driving ? 25 : 18);
    p.hold = static_cast<int>(m_rng.range(2, 5));
}

void Generator::planFoot(Player& p, Time t, bool fighting)
{
    const Pos from = p.leg.at(t);
    const std::int64_t speed = m_rng.range(480, 680);
    Pos next;
    Time minimum = m_rng.range(80, 200);
    if (p.goal == Goal::Point && planeDistance(from, m_world->points[p.goalIndex]) <= 30 * Unit) {
        // Lingering at a point: short moves from cover to cover.
        next = stepToward(from, around(m_world->points[p.goalIndex], 25), 15 * Unit, 300);
        minimum = m_rng.range(100, 220);
    } else {
        next = stepToward(from, p.goalPos, speed * m_rng.range(80, 200) / 100, 200);
    }
    Time duration = std::max<Time>(planeDistance(from, next) * 100 / speed, minimum);
    if (fighting) {
        // Under fire: a short rush the same way, then a look for the next target.
        duration = m_rng.range(80, 160);
        next = stepToward(from, next, speed * duration / 100, 400);
    }
    p.leg = {from, next, t, t + duration};
    scheduleTick(p, t + duration);
}

void Generator::planDrive(Player& p, Time t)
{
    Vehicle& v = m_vehicles[p.vehicle];
    const VehicleKind& kind = VehicleKinds[v.kind];
    const Pos from = v.leg.at(t);
    const std::int64_t speed = kind.speed * m_rng.range(90, 110) / 100;
    Pos next;
    if (planeDistance(from, m_world->points[p.goalIndex]) <= 35 * Unit)
        next = stepToward(from, around(m_world->points[p.goalIndex], 35), 25 * Unit, 300);
    else
        next = stepToward(from, p.goalPos, speed * m_rng.range(6, 12), 150);
    const Time duration = std::max<Time>(planeDistance(from, next) * 100 / speed, 300);
    v.leg = {from, next, t, t + duration};
    scheduleTick(p, t + duration);
}

void Generator::footTick(Player& p, Time t)
{
    const Pos pos = p.leg.at(t);
    if (p.goal == Goal::Board) {
        if (!board(p, p.goalIndex, t)) {
            chooseGoal(p, pos, false);
            planFoot(p, t);
        }
        return;
    }
    finishPending(p, t, pos);
    tryAttack(p, t, pos);
    const bool fighting = combat(p, t, pos);
    if (m_rng.chance(1)) {
        // Took the quick way back to the spawn screen, sometimes to change sides.
        const int mine = teamCount(p.team), theirs = teamCount(3 - p.team);
        if (mine >= theirs + 2 && m_rng.chance(500))
            p.switchTeam = true;
        die(p, t, true, Cause{});
        return;
    }
    if (m_rng.chance(fighting ? 3 : 1)) {
        // Shells, mines, a fall: the server logs the death without anyone to credit.
        die(p, t, false, Cause{});
        return;
    }
    extras(p, t, pos, fighting);

    switch (p.goal) {
    case Goal::Vehicle: {
        const Vehicle& v = m_vehicles[p.goalIndex];
        if (v.state != VehicleState::Ready || !usable(v, p.team)) {
            chooseGoal(p, pos, false);
        } else if (planeDistance(pos, v.home) <= 4 * Unit) {
            enterAsDriver(p, p.goalIndex, t);
            return;
        }
        break;
    }
    case Goal::Kit: {
        if (p.goalIndex >= static_cast<int>(m_kits.size())) {
            chooseGoal(p, pos, false);
            break;
        }
        DroppedKit& k = m_kits[p.goalIndex];
        // A slot taken over by a newer kit elsewhere no longer holds the one we went for.
        if (k.taken || k.until < t || k.pos.x != p.goalPos.x || k.pos.z != p.goalPos.z) {
            chooseGoal(p, pos, false);
        } else if (planeDistance(pos, k.pos) <= 3 * Unit) {
            beginEvent("pickupKit", t);
            paramInt("player_id", p.id);
            paramPos("player_location", pos);
            paramString("kit", kitName(k.kit));
            endEvent();
            p.kit = k.kit;
            k.taken = true;
            chooseGoal(p, pos, false);
        }
        break;
    }
    case Goal::Board:
        break; // handled above
    case Goal::Point:
        if (planeDistance(pos, m_world->points[p.goalIndex]) <= 30 * Unit && --p.hold <= 0)
            chooseGoal(p, pos, false);
        break;
    }
    if (p.goal == Goal::Point)
        lookAround(p, t, pos);
    planFoot(p, t, fighting);
}

void Generator::lookAround(Player& p, Time t, Pos pos)
{
    // A kit lying nearby, or a free vehicle of the side, may change the plan.
    for (std::size_t i = 0; i < m_kits.size(); ++i) {
        const DroppedKit& k = m_kits[i];
        if (k.taken || k.until < t || k.kit == p.kit || planeDistance(pos, k.pos) > 35 * Unit)
            continue;
        if (m_rng.chance(250)) {
            p.goal = Goal::Kit;
            p.goalIndex = static_cast<int>(i);
            p.goalPos = k.pos;
            return;
        }
    }
    for (std::size_t i = 0; i < m_vehicles.size(); ++i) {
        const Vehicle& v = m_vehicles[i];
        if (v.state != VehicleState::Ready || !usable(v, p.team))
            continue;
        const bool atBase = v.team != 0;
        if (planeDistance(pos, v.home) > (atBase ? 150 : 90) * Unit)
            continue;
        bool claimed = false;
        for (const Player& other : m_players)
            if (other.connected && other.mode == Mode::OnFoot && other.goal == Goal::Vehicle &&
                other.goalIndex == static_cast<int>(i))
                claimed = true;
        if (claimed || !m_rng.chance(VehicleKinds[v.kind].stationary ? 200 : atBase ? 550 : 350))
            continue;
        p.goal = Goal::Vehicle;
        p.goalIndex = static_cast<int>(i);
        const std::int64_t dx = m_rng.range(-150, 150);
        const std::int64_t dz = m_rng.range(-150, 150);
        p.goalPos = {v.home.x + dx, v.home.y, v.home.z + dz};
        return;
    }
}

void Generator::extras(Player& p, Time t, Pos pos, bool fighting)
{
    // Under fire people call for help and spot targets far more than on the way.
    if (m_rng.chance(fighting ? 400 : 250)) {
        beginEvent("radioMessage", t);
        paramInt("player_id", p.id);
        paramPos("player_location", pos);
        paramInt("message", m_rng.range(1, 24));
        paramInt("broadcast", m_rng.below(2));
        endEvent();
    } else if (m_rng.chance(25)) {
        beginEvent("chat", t);
        paramInt("player_id", p.id);
        paramPos("player_location", pos);
        paramInt("team", m_rng.chance(400) ? 0 : p.team);
        paramString("text", ChatLines[m_rng.below(count(ChatLines))]);
        endEvent();
    }
    if (p.pending != Pending::None)
        return;
    const int cls = p.kit % 5;
    if (cls == Medic && m_rng.chance(150)) {
        for (const Player& q : m_players) {
            if (&q == &p || !alive(q) || q.mode != Mode::OnFoot || q.team != p.team ||
                planeDistance(pos, q.leg.at(t)) > 40 * Unit)
                continue;
            beginEvent("beginMedPack", t);
            paramInt("player_id", p.id);
            paramPos("player_location", pos);
            paramInt("medpack_status", m_rng.range(30, 100));
            paramInt("healed_player", q.id);
            endEvent();
            p.pending = Pending::MedPack;
            return;
        }
    } else if (cls == Engineer && m_rng.chance(450)) {
        for (const Vehicle& v : m_vehicles) {
            if (v.state == VehicleState::Wrecked || !usable(v, p.team) ||
                planeDistance(pos, v.leg.at(t)) > 20 * Unit)
                continue;
            beginEvent("beginRepair", t);
            paramInt("player_id", p.id);
            paramPos("player_location", pos);
            paramInt("repair_status", m_rng.range(10, 90));
            paramString(m_vehicleParam, vehicleName(v.kind, 0));
            endEvent();
            p.pending = Pending::Repair;
            return;
        }
    }
}

void Generator::finishPending(Player& p, Time t, Pos pos)
{
    if (p.pending == Pending::MedPack) {
        beginEvent("endMedPack", t);
        paramInt("player_id", p.id);
        paramPos("player_location", pos);
        paramInt("medpack_status", m_rng.range(0, 60));
        endEvent();
    } else if (p.pending == Pending::Repair) {
        beginEvent("endRepair", t);
        paramInt("player_id", p.id);
        paramPos("player_location", pos);
        paramInt("repair_status", 100);
        endEvent();
    }
    p.pending = Pending::None;
}

void Generator::tryAttack(Player& p, Time t, Pos pos)
{
    for (std::size_t i = 0; i < m_world->points.size(); ++i) {
        if (!m_world->capturable[i] || m_pointOwner[i] == p.team || m_pointCooldown[i] > t ||
            planeDistance(pos, m_world->points[i]) > AttackRadius * Unit)
            continue;
        writeScore(p, t, pos, "Attack", NoWeapon, -1);
        // An attack turns an enemy point neutral and a neutral point to the attacker's side.
        if (m_pointOwner[i] != 0) {
            m_pointOwner[i] = 0;
            p.score += 1;
        } else {
            m_pointOwner[i] = p.team;
            p.score += 2;
            ++p.captures;
        }
        m_pointCooldown[i] = t + secondsBetween(3, 8);
        return;
    }
}

int Generator::mountedWeapon(const Player& p) const
{
    const VehicleKind& kind = VehicleKinds[m_vehicles[p.vehicle].kind];
    if (p.seat == 0)
        return kind.driverWeapon;
    if (p.seat == 1 && kind.gunnerWeapon != NoWeapon)
        return kind.gunnerWeapon;
    return kind.passengersFire ? ClassWeapons[p.kit % 5] : NoWeapon;
}

std::int64_t Generator::reach(const Player& p, bool againstArmour) const
{
    if (p.mode == Mode::InVehicle) {
        const int w = mountedWeapon(p);
        if (w == NoWeapon || (againstArmour && !Weapons[w].antiArmour))
            return -1;
        return Weapons[w].range * Unit;
    }
    const Weapon& primary = Weapons[ClassWeapons[p.kit % 5]];
    if (!againstArmour || primary.antiArmour)
        return primary.range * Unit;
    if (p.kit % 5 == Engineer)
        return Weapons[AntiTankMine].range * Unit;
    return -1;
}

int Generator::pickWeapon(const Player& p, bool againstArmour, std::int64_t distance)
{
    if (p.mode == Mode::InVehicle)
        return mountedWeapon(p);
    const int primary = ClassWeapons[p.kit % 5];
    if (againstArmour)
        return Weapons[primary].antiArmour ? primary : AntiTankMine;
    if (distance <= 3 * Unit && m_rng.chance(400))
        return Knife;
    if (distance <= 25 * Unit && m_rng.chance(200))
        return HandGrenade;
    if (distance <= 40 * Unit && m_rng.chance(60))
        return Pistol;
    return primary;
}

bool Generator::combat(Player& p, Time t, Pos pos)
{
    // Rarely a shot or a grenade hits someone of the own side close by.
    if (m_rng.chance(2)) {
        for (Player& q : m_players) {
            if (&q == &p || !alive(q) || q.team != p.team || t - q.spawnedAt < SpawnProtection ||
                (q.vehicle >= 0 && q.vehicle == p.vehicle))
                continue;
            const std::int64_t d = planeDistance(pos, posOf(q, t));
            if (d > 20 * Unit || reach(p, armoured(q)) < d)
                continue;
            credit(p, q, pickWeapon(p, armoured(q), d), t);
            return true;
        }
    }
    Player* target = nullptr;
    std::int64_t best = 0;
    for (Player& q : m_players) {
        if (!alive(q) || q.team == p.team || t - q.spawnedAt < SpawnProtection)
            continue;
        const std::int64_t d = planeDistance(pos, posOf(q, t));
        const std::int64_t r = reach(p, armoured(q));
        if (r < 0 || d > r)
            continue;
        if (!target || d < best) {
            target = &q;
            best = d;
        }
    }
    if (!target)
        return false;
    const int weapon = pickWeapon(p, armoured(*target), best);
    const std::int64_t range = std::max<std::int64_t>(Weapons[weapon].range * Unit, best);
    // Hits get rarer towards the edge of the weapon's range. A tick stands for a burst of about
    // three shots.
    const std::int64_t falloff = 1000 - 850 * best / std::max<std::int64_t>(range, 1);
    const int hit = static_cast<int>(Weapons[weapon].hit * falloff * 3 / 1000);
    if (m_rng.chance(std::max(hit, 15)))
        credit(p, *target, weapon, t);
    return true;
}

void Generator::credit(Player& killer, Player& victim, int weapon, Time t)
{
    const bool teamKill = killer.team == victim.team;
    writeScore(killer, t, posOf(killer, t), teamKill ? "TK" : "Kill", weapon, victim.id);
    if (teamKill) {
        ++killer.tks;
        killer.score -= 2;
    } else {
        ++killer.kills;
        killer.score += 2;
    }
    die(victim, t, false, Cause{&killer, weapon, false});
}

void Generator::die(Player& v, Time t, bool noMessage, const Cause& cause)
{
    const Pos pos = posOf(v, t);
    writeScore(v, t, pos, noMessage ? "DeathNoMsg" : "Death", NoWeapon, -1);
    ++v.deaths;
    --m_tickets[v.team];
    ++m_losses[v.team];
    const bool onFoot = v.mode == Mode::OnFoot;
    const int vehicle = v.vehicle, seat = v.seat;
    v.mode = Mode::Dead;
    v.vehicle = v.seat = -1;
    v.pending = Pending::None;
    ++v.gen;
    v.leg = Leg::still(pos, t, t);
    // The server spawns the dead in waves ("spawn time" 15 s): a wave arrives together and
    // can take a point that a trickle of single players never would.
    const Time wave = 15 * Second;
    const Time next = m_roundStart + (t + 5 * Second - m_roundStart + wave - 1) / wave * wave;
    scheduleTick(v, next + m_rng.range(0, 150));
    if (onFoot) {
        // The kit stays on the ground for a while; old ones are overwritten in turn.
        const DroppedKit kit{pos, v.kit, t + 30 * Second, false};
        if (m_kits.size() < MaxKits)
            m_kits.push_back(kit);
        else
            m_kits[m_nextKit % MaxKits] = kit;
        ++m_nextKit;
    }
    if (vehicle >= 0)
        occupantLost(vehicle, seat, t, cause);
}

void Generator::occupantLost(int vehicle, int seat, Time t, const Cause& cause)
{
    Vehicle& v = m_vehicles[vehicle];
    v.seats[seat] = -1;
    if (v.state != VehicleState::Manned)
        return;
    const VehicleKind& kind = VehicleKinds[v.kind];
    const bool wreck = cause.crash ||
                       (cause.killer && cause.weapon != NoWeapon && Weapons[cause.weapon].antiArmour &&
                        m_rng.chance(kind.armoured ? 700 : 1000));
    if (wreck) {
        v.state = VehicleState::Wrecked;
        const Pos where = v.leg.at(t);
        const auto seats = v.seats;
        for (int id : seats) {
            if (id < 0)
                continue;
            if (cause.killer)
                credit(*cause.killer, m_players[id], cause.weapon, t);
            else
                die(m_players[id], t, true, cause);
        }
        beginEvent("destroyVehicle", t);
        paramString(m_vehicleParam, vehicleName(m_vehicles[vehicle].kind, 0));
        paramPos(m_vehiclePosParam, where);
        endEvent();
        bump(v);
        schedule(t + secondsBetween(25, 60), Act::VehicleRespawn, vehicle, v.gen);
        return;
    }
    if (seat == 0) {
        // Nobody at the wheel any more: it rolls to a stop and the others get out.
        v.leg = Leg::still(v.leg.at(t), t, t);
        exitAll(vehicle, t);
    }
}

void Generator::enterAsDriver(Player& p, int vehicle, Time t)
{
    Vehicle& v = m_vehicles[vehicle];
    const VehicleKind& kind = VehicleKinds[v.kind];
    v.state = VehicleState::Manned;
    v.seats.fill(-1);
    v.seats[0] = p.id;
    const std::int64_t dx = m_rng.range(-40, 40);
    const std::int64_t dz = m_rng.range(-40, 40);
    const Pos at = {v.home.x + dx, v.home.y, v.home.z + dz};
    v.leg = Leg::still(at, t, t);
    writeVehicleSeat("enterVehicle", p, t, around(at, 2), v, 0, at);
    p.mode = Mode::InVehicle;
    p.vehicle = vehicle;
    p.seat = 0;
    p.pending = Pending::None;
    ++p.gen;

    if (kind.stationary) {
        p.hold = static_cast<int>(m_rng.range(4, 12));
        v.leg = Leg::still(at, t, t + secondsBetween(5, 10));
        scheduleTick(p, v.leg.end);
        return;
    }

    // Team mates close by run over and board while the driver waits for them.
    Time departure = t + m_rng.range(Second, 3 * Second);
    int free = kind.seats - 1;
    for (Player& q : m_players) {
        if (free == 0)
            break;
        if (&q == &p || !q.connected || q.mode != Mode::OnFoot || q.team != p.team ||
            q.goal == Goal::Vehicle || q.goal == Goal::Board)
            continue;
        const Pos from = q.leg.at(t);
        const std::int64_t d = planeDistance(from, at);
        if (d > BoardingRadius * Unit || !m_rng.chance(kind.transport ? 750 : 500))
            continue;
        q.goal = Goal::Board;
        q.goalIndex = vehicle;
        q.goalPos = around(at, 2);
        q.pending = Pending::None;
        const Time run = std::max<Time>(planeDistance(from, q.goalPos) * 100 / 600, 50);
        q.leg = {from, q.goalPos, t, t + run};
        ++q.gen;
        scheduleTick(q, t + run);
        departure = std::max(departure, t + run + Second);
        --free;
    }
    chooseGoal(p, at, true);
    planDrive(p, departure);
}

bool Generator::board(Player& q, int vehicle, Time t)
{
    Vehicle& v = m_vehicles[vehicle];
    const VehicleKind& kind = VehicleKinds[v.kind];
    if (v.state != VehicleState::Manned || planeDistance(v.leg.at(t), q.goalPos) > 5 * Unit)
        return false; // it left without us
    for (int seat = 1; seat < kind.seats; ++seat) {
        if (v.seats[seat] >= 0)
            continue;
        const Pos at = v.leg.at(t);
        writeVehicleSeat("enterVehicle", q, t, q.leg.at(t), v, seat, at);
        q.mode = Mode::InVehicle;
        q.vehicle = vehicle;
        q.seat = seat;
        ++q.gen;
        v.seats[seat] = q.id;
        scheduleTick(q, t + secondsBetween(3, 8));
        return true;
    }
    return false;
}

void Generator::exitAll(int vehicle, Time t)
{
    Vehicle& v = m_vehicles[vehicle];
    const VehicleKind& kind = VehicleKinds[v.kind];
    const Pos at = v.leg.at(t);
    v.leg = Leg::still(at, t, t);
    for (int seat = 0; seat < MaxSeats; ++seat) {
        const int id = v.seats[seat];
        if (id < 0)
            continue;
        Player& o = m_players[id];
        const Pos out = around(at, 2);
        writeVehicleSeat("exitVehicle", o, t, out, v, seat, at);
        o.mode = Mode::OnFoot;
        o.vehicle = o.seat = -1;
        ++o.gen;
        o.leg = Leg::still(out, t, t);
        chooseGoal(o, out, false);
        planFoot(o, t + m_rng.range(Second, 3 * Second));
        v.seats[seat] = -1;
    }
    if (kind.stationary) {
        v.state = VehicleState::Ready;
    } else {
        v.state = VehicleState::Abandoned;
        bump(v);
        schedule(t + secondsBetween(40, 110), Act::VehicleTimeout, vehicle, v.gen);
    }
}

void Generator::driverTick(Player& p, Time t)
{
    Vehicle& v = m_vehicles[p.vehicle];
    const VehicleKind& kind = VehicleKinds[v.kind];
    const int vehicle = p.vehicle;
    const Pos pos = v.leg.at(t);
    tryAttack(p, t, pos);
    combat(p, t, pos);
    if (!kind.armoured && !kind.stationary && m_rng.chance(6)) {
        // Rolled it: everyone aboard dies without a killer.
        die(p, t, true, Cause{nullptr, NoWeapon, true});
        return;
    }
    if (kind.stationary) {
        if (--p.hold <= 0) {
            exitAll(vehicle, t);
            return;
        }
        v.leg = Leg::still(pos, t, t + secondsBetween(5, 10));
        scheduleTick(p, v.leg.end);
        return;
    }
    if (planeDistance(pos, m_world->points[p.goalIndex]) <= 35 * Unit) {
        if (kind.transport) {
            exitAll(vehicle, t);
            return;
        }
        if (--p.hold <= 0) {
            if (m_rng.chance(350)) {
                exitAll(vehicle, t);
                return;
            }
            chooseGoal(p, pos, true);
        }
    }
    planDrive(p, t);
}

void Generator::passengerTick(Player& p, Time t)
{
    combat(p, t, posOf(p, t));
    if (p.mode == Mode::InVehicle)
        scheduleTick(p, t + secondsBetween(4, 9));
}

// ---------------------------------------------------------------------------------------
// Positions

Pos Generator::ground(std::int64_t x, std::int64_t z)
{
    const std::int64_t limit = m_world->size - Margin;
    x = std::clamp(x, Margin, limit);
    z = std::clamp(z, Margin, limit);
    const std::int64_t y = std::max<std::int64_t>(50, m_world->heightAt(x, z) + m_rng.range(-40, 40));
    return {x, y, z};
}

Pos Generator::around(Pos centre, int radiusUnits)
{
    const std::int64_t r = radiusUnits * Unit;
    // Draw one after the other: the order in which a call's arguments are evaluated differs
    // between compilers, and the log must not.
    const std::int64_t dx = m_rng.range(-r, r);
    const std::int64_t dz = m_rng.range(-r, r);
    return ground(centre.x + dx, centre.z + dz);
}

Pos Generator::stepToward(Pos from, Pos to, std::int64_t step, int sidewaysPerMille)
{
    const std::int64_t dx = to.x - from.x, dz = to.z - from.z;
    const std::int64_t d = isqrt(dx * dx + dz * dz);
    if (d <= step)
        return ground(to.x, to.z);
    const std::int64_t side = step * sidewaysPerMille / 1000;
    const std::int64_t off = m_rng.range(-side, side);
    return ground(from.x + (dx * step - dz * off) / d, from.z + (dz * step + dx * off) / d);
}

// ---------------------------------------------------------------------------------------
// Writing

void Generator::beginEvent(std::string_view name, Time t)
{
    m_eventDepth = m_inRound ? 2 : 1;
    m_out.tabs(m_eventDepth);
    m_out.put("<bf:event name=\"");
    m_out.put(name);
    m_out.put("\" timestamp=\"");
    m_out.hundredths(t);
    m_out.put("\">\n");
    if (m_inRound)
        ++m_eventsSinceInit;
}

void Generator::endEvent()
{
    m_out.tabs(m_eventDepth);
    m_out.put("</bf:event>\n");
    m_out.flushIfFull();
}

void Generator::paramInt(std::string_view name, std::int64_t value)
{
    m_out.tabs(m_eventDepth + 1);
    m_out.put("<bf:param type=\"int\" name=\"");
    m_out.put(name);
    m_out.put("\">");
    m_out.number(value);
    m_out.put("</bf:param>\n");
}

void Generator::paramString(std::string_view name, std::string_view xmlText)
{
    m_out.tabs(m_eventDepth + 1);
    m_out.put("<bf:param type=\"string\" name=\"");
    m_out.put(name);
    m_out.put("\">");
    m_out.put(xmlText);
    m_out.put("</bf:param>\n");
}

void Generator::paramPos(std::string_view name, Pos p)
{
    m_out.tabs(m_eventDepth + 1);
    m_out.put("<bf:param type=\"vec3\" name=\"");
    m_out.put(name);
    m_out.put("\">");
    m_out.hundredths(p.x + m_shift.x);
    m_out.put('/');
    m_out.hundredths(p.y);
    m_out.put('/');
    m_out.hundredths(p.z + m_shift.z);
    m_out.put("</bf:param>\n");
}

void Generator::writeScore(const Player& p, Time t, Pos pos, std::string_view type, int weapon,
                           int victim)
{
    beginEvent("scoreEvent", t);
    paramInt("player_id", p.id);
    paramPos("player_location", pos);
    paramString("score_type", type);
    if (weapon != NoWeapon)
        paramString("weapon", Weapons[weapon].name);
    if (victim >= 0)
        paramInt("victim_id", victim);
    endEvent();
}

namespace {

// Names the program ships no picture for, as real logs spell them: the stock game's and a
// modification's, in the order of demoworld::Kits and VehicleKinds.
constexpr std::array<const char*, 10> StockKits = {
    "German_Scout", "German_Assault", "German_AT", "German_Medic", "German_Engineer",
    "Rus_Scout",    "Rus_Assault",    "Rus_AT",    "Rus_Medic",    "Rus_Engineer"};
constexpr std::array<const char*, 10> ModKits = {
    "NVA_Scout_Alt",   "NVA_HeavyAssault_Alt",    "NVA_AT",        "NVA_Medic",    "NVA_Engineer_Alt",
    "USArmy_Sniper",   "USArmy_HeavyAssault_Alt", "USArmy_AT_Alt", "ARVN_Medic",   "ARVN_Engineer"};
constexpr std::array<const char*, 6> StockVehicles = {"Willys", "Hanomag", "PanzerIV", "T34-85", "OpelBlitz",
                                                      "Stationary_mg42"};
constexpr std::array<const char*, 6> ModVehicles = {"M151", "BTR60", "T54", "PattonM48", "UH-60", "F4Phantom"};

} // namespace

std::string Generator::kitName(int kit) const
{
    switch (m_options.names) {
    case NameSet::Stock: return StockKits[static_cast<std::size_t>(kit)];
    case NameSet::Mod: return ModKits[static_cast<std::size_t>(kit)];
    case NameSet::Demo: break;
    }
    return demoworld::Kits[static_cast<std::size_t>(kit)];
}

std::string Generator::vehicleName(int kind, int seat) const
{
    const auto k = static_cast<std::size_t>(kind);
    switch (m_options.names) {
    case NameSet::Stock:
        // A seat is its own object, named after its vehicle and its gun.
        return seat > 0 ? std::string(StockVehicles[k]) + "_MG42_PCO" + std::to_string(seat) : StockVehicles[k];
    case NameSet::Mod:
        if (seat == 1)
            return std::string(ModVehicles[k]) + "GunnerPCO";
        return seat > 1 ? std::string(ModVehicles[k]) + "MG_PCO" + std::to_string(seat) : ModVehicles[k];
    case NameSet::Demo: break;
    }
    return VehicleKinds[k].name;
}

void Generator::writeVehicleSeat(std::string_view event, const Player& p, Time t, Pos pos,
                                 const Vehicle& v, int seat, Pos vehiclePos)
{
    beginEvent(event, t);
    paramInt("player_id", p.id);
    paramPos("player_location", pos);
    paramString(m_vehicleParam, vehicleName(v.kind, seat));
    paramInt("pco_id", seat);
    paramPos(m_vehiclePosParam, vehiclePos);
    endEvent();
}

} // namespace loggen
