// Plays rounds on the demo world and writes what happens as a server's XML event log.
#pragma once

#include "LogGen.h"
#include "Output.h"
#include "Rng.h"
#include "World.h"

#include <array>
#include <deque>
#include <memory>
#include <queue>
#include <string>
#include <string_view>
#include <vector>

namespace loggen {

class Generator {
public:
    Generator(const Options& options, TextOut& out);
    // Writes the whole log; the last round is left open, as a running server leaves it, unless
    // Options::closeLog.
    void run();
    // The time of the last thing written, in hundredths since the server started.
    Time endTime() const { return m_now; }

private:
    enum class Mode : std::uint8_t { Absent, Waiting, Dead, OnFoot, InVehicle };
    enum class Goal : std::uint8_t { Point, Vehicle, Kit, Board };
    enum class Pending : std::uint8_t { None, MedPack, Repair };

    struct Player {
        int id = 0;
        bool bot = false;
        bool connected = false;
        std::string name;        // escaped for XML
        int team = 1;
        int kit = -1;            // index into demoworld::Kits
        Mode mode = Mode::Absent;
        int vehicle = -1, seat = -1;
        Leg leg;
        Goal goal = Goal::Point;
        int goalIndex = 0;
        Pos goalPos;
        int hold = 0;            // ticks left to linger at the goal
        Pending pending = Pending::None;
        bool switchTeam = false;
        Time spawnedAt = 0;
        std::uint32_t gen = 0;   // a bump cancels the player's scheduled tick
        std::uint32_t stay = 0;  // a bump cancels the scheduled leave
        int score = 0, kills = 0, deaths = 0, tks = 0, captures = 0;
        int person = -1;         // index into m_people; -1 for bots and without identities
    };

    // Someone who plays on the server now and then, under one key hash whatever the name.
    struct Person {
        std::string name;        // escaped for XML; the one they last used
        std::string keyhash;     // 32 lower-case hex digits
        bool online = false;
        bool returning = false;  // left, and a rejoin is scheduled
        int lastId = 0;
    };

    enum class VehicleState : std::uint8_t { Ready, Manned, Abandoned, Wrecked };
    struct Vehicle {
        int kind = 0;
        int team = 0;
        Pos home;
        VehicleState state = VehicleState::Ready;
        Leg leg;
        std::array<int, MaxSeats> seats{};
        std::uint32_t gen = 0;
    };

    struct DroppedKit {
        Pos pos;
        int kit = 0;
        Time until = 0;
        bool taken = false;
    };

    enum class Act : std::uint8_t {
        Tick, Join, Leave, VehicleTimeout, VehicleRespawn, Bleed, TimeLimit, Cut, Restart,
        RestartMap, NextRound, Rename, Rejoin
    };
    struct Action {
        Time time;
        std::uint64_t seq;   // equal times keep the order of scheduling
        Act act;
        int target;
        std::uint32_t gen;
        bool operator>(const Action& o) const
        {
            return time != o.time ? time > o.time : seq > o.seq;
        }
    };

    struct Cause {
        Player* killer = nullptr;
        int weapon = NoWeapon;
        bool crash = false;
    };

    // --- scheduling and the main loop
    void schedule(Time t, Act act, int target, std::uint32_t gen);
    void scheduleTick(Player& p, Time t) { schedule(t, Act::Tick, p.id, p.gen); }
    void dispatch(const Action& a);
    void checkEnd();
    Time secondsBetween(int lo, int hi) { return m_rng.range(lo * Second, hi * Second); }

    // --- rounds
    const demoworld::Map& mapForRound(int index) const;
    // Where the round's layout lies in a real world (Options::realWorld), else nowhere else.
    Pos shiftForRound(const demoworld::Map& map, int index) const;
    void startRound(Time t);
    void restartRound(Time t);
    void resetRound(Time t);
    void scheduleRoundClock(Time t);
    void endRound(Time t, int victoryType);
    void writeServerSettings();
    void writeRoundStats(Time t, int victoryType);
    void bleed(Time t);

    // --- players coming and going
    // Fills the lowest free id but avoidId. With identities, as the given person (-1: one who
    // is not on the server).
    void join(Time t, int person = -1, int avoidId = 0);
    void rejoin(int person, Time t);
    void rename(Player& p, Time t);
    int pickPerson();
    std::string uniqueName(std::string name);
    std::string variantOf(const std::string& name);
    void leave(Player& p, Time t);
    std::string makeName();
    bool nameInUse(const std::string& name) const;
    int smallerTeam() const;
    int teamCount(int team) const;

    // --- playing
    void tick(Player& p, Time t);
    void spawn(Player& p, Time t);
    void footTick(Player& p, Time t);
    void driverTick(Player& p, Time t);
    void passengerTick(Player& p, Time t);
    void planFoot(Player& p, Time t, bool fighting = false);
    void planDrive(Player& p, Time t);
    void chooseGoal(Player& p, Pos from, bool driving);
    // Whether enemies of the team are near the point, which keeps the team from spawning there.
    bool contested(int point, int team) const;
    static constexpr int ContestedRadius = 100; // units
    int chooseSpawnPoint(int team);
    // Close enough to a point to take it. The replay flips the point nearest to an attack, so
    // this stays well under half the distance between any two points of a map.
    static constexpr int AttackRadius = 50; // units
    void tryAttack(Player& p, Time t, Pos pos);
    // Shoots at the nearest enemy in reach, now and then at a team mate; whether anyone was in reach.
    bool combat(Player& p, Time t, Pos pos);
    void credit(Player& killer, Player& victim, int weapon, Time t);
    void die(Player& v, Time t, bool noMessage, const Cause& cause);
    void occupantLost(int vehicle, int seat, Time t, const Cause& cause);
    void enterAsDriver(Player& p, int vehicle, Time t);
    bool board(Player& q, int vehicle, Time t);
    static constexpr int BoardingRadius = 40; // units
    void exitAll(int vehicle, Time t);
    void extras(Player& p, Time t, Pos pos, bool fighting);
    void finishPending(Player& p, Time t, Pos pos);
    void lookAround(Player& p, Time t, Pos pos);

    bool alive(const Player& p) const
    {
        return p.connected && (p.mode == Mode::OnFoot || p.mode == Mode::InVehicle);
    }
    bool armoured(const Player& p) const
    {
        return p.mode == Mode::InVehicle && VehicleKinds[m_vehicles[p.vehicle].kind].armoured;
    }
    Pos posOf(const Player& p, Time t) const
    {
        return p.mode == Mode::InVehicle ? m_vehicles[p.vehicle].leg.at(t) : p.leg.at(t);
    }
    int mountedWeapon(const Player& p) const;
    std::int64_t reach(const Player& p, bool againstArmour) const;
    int pickWeapon(const Player& p, bool againstArmour, std::int64_t distance);
    bool usable(const Vehicle& v, int team) const { return v.team == 0 || v.team == team; }
    // Vehicle generations are unique over the whole log, so a timer left from an earlier map
    // never matches a vehicle of the next one.
    void bump(Vehicle& v) { v.gen = ++m_vehicleGens; }

    // --- positions
    Pos ground(std::int64_t x, std::int64_t z);
    Pos around(Pos centre, int radiusUnits);
    Pos stepToward(Pos from, Pos to, std::int64_t step, int sidewaysPerMille);

    // --- writing
    void beginEvent(std::string_view name, Time t);
    void endEvent();
    void paramInt(std::string_view name, std::int64_t value);
    void paramString(std::string_view name, std::string_view xmlText);
    void paramPos(std::string_view name, Pos p);
    void writeScore(const Player& p, Time t, Pos pos, std::string_view type, int weapon,
                    int victim);
    void writeVehicleSeat(std::string_view event, const Player& p, Time t, Pos pos,
                          const Vehicle& v, int seat, Pos vehiclePos);

    const Options& m_options;
    TextOut& m_out;
    Rng m_rng;
    std::string m_vehicleParam, m_vehiclePosParam;
    // Kits and vehicles as the chosen name set spells them (Options::names).
    std::string kitName(int kit) const;
    std::string vehicleName(int kind, int seat) const;

    std::priority_queue<Action, std::vector<Action>, std::greater<>> m_queue;
    std::uint64_t m_seq = 0;
    bool m_done = false;
    Time m_now = 0;

    int m_botCount = 0;
    int m_humanCount = 0;
    std::vector<Player> m_players;   // indexed by player id; id 0 unused
    std::deque<std::string> m_recentNames;
    // With key hashes, name changes or several servers, humans are drawn from a community whose
    // names and key hashes come from Options::identitySeed alone, so that other logs share them.
    bool m_identities = false;
    std::vector<Person> m_people;

    std::unique_ptr<MapWorld> m_world;
    Pos m_shift; // added to every position written: the round's place in a real world
    std::vector<Vehicle> m_vehicles;
    static constexpr std::size_t MaxKits = 64;
    std::vector<DroppedKit> m_kits;
    std::size_t m_nextKit = 0;
    std::uint32_t m_vehicleGens = 0;
    std::vector<int> m_pointOwner;
    std::vector<Time> m_pointCooldown;

    bool m_inRound = false;
    bool m_sizeMode = false;
    bool m_budgetMode = false;
    bool m_finalRound = false;
    std::uint32_t m_roundGen = 0;
    int m_roundNumber = 0;           // rounds started so far
    int m_eventsSinceInit = 0;
    int m_startTickets = 0;
    Time m_roundStart = 0;           // of the round being played, restarts included
    std::array<int, 3> m_tickets{};
    std::array<int, 3> m_losses{};
    int m_eventDepth = 1;
};

} // namespace loggen
