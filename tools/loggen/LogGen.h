// ornwick-loggen: writes deterministic, realistic game server event logs on the demo world,
// as plain XML or as one zlib stream (.zxml). The same options always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace loggen {

class ByteSink;

// Whose kits and vehicles a log names: the demo world's, which have pictures, or a real game's
// (the stock game's, a modification's), which the program ships no pictures for.
enum class NameSet { Demo, Stock, Mod };

struct Options {
    std::uint64_t seed = 1;
    int players = 20;            // players on the server at a time, bots included
    int bots = -1;               // bots among them; -1 picks about one in eight
    int rounds = 3;              // rounds to write; with size the rounds that share it
    bool roundsGiven = false;    // whether rounds was set explicitly
    std::uint64_t size = 0;      // approximate output size in bytes (plain text); 0: none
    int roundTime = 420;         // time limit of a round in seconds
    std::string map;             // empty: alternate the demo maps
    bool zxml = false;           // compress the output as one zlib stream
    bool vechicleSpelling = false; // write "vechicle"/"vechicle_pos" instead of "vehicle"/"vehicle_pos"
    bool realWorld = false;      // the action moved to where real maps have it (RealWorldSize)
    NameSet names = NameSet::Demo; // how kits and vehicles are named
    std::string output;          // output file; empty: standard output

    // Following players across names, logs and servers.
    bool keyhash = false;        // a "playerKeyHash" event after each human's "createPlayer"
    bool nameChanges = false;    // humans rename themselves, and leave and come back as another id
    int servers = 0;             // write this many servers' logs into outDir; 0: one log
    int logsPerServer = 3;       // logs each server writes (with servers)
    std::string outDir;          // folder of the servers' logs

    // Set for each log of a series (with servers) rather than on the command line.
    std::uint64_t identitySeed = 0; // whose people play: the same seed, the same key hashes; 0: seed
    std::string serverName;         // empty: the generator's usual server
    int port = 0;                   // the server's port setting; 0: the usual one
    std::int64_t startTime = 0;     // the log's first moment, in hundredths since the server started
    bool closeLog = false;          // end the last round and the log, as when the map changes
};

// A world as large as real ones: with realWorld, the rounds are fought on the layout of
// kessel_ridge moved near (RealActionX[i], RealActionZ[i]) in turn, on the map of that name with
// RealWorldSuffix appended (no picture ships for it).
inline constexpr int RealWorldSize = 4096;
inline constexpr int RealActionX[2] = {3500, 50};
inline constexpr int RealActionZ[2] = {3000, 4000};
inline constexpr const char* RealWorldSuffix = "_4096";

struct ParseResult {
    Options options;
    bool help = false;
    std::string error;           // not empty when the arguments are wrong
};

// Reads the command-line arguments (without the program name).
ParseResult parseArguments(const std::vector<std::string>& args);
std::string usage();

// Writes one complete log into sink, deflated when options.zxml is set, and finishes the sink.
// Throws std::runtime_error on bad options or output errors.
void generate(const Options& options, ByteSink& sink);

// The same log as a byte string (tests, small logs).
std::string generateToString(const Options& options);

// Writes options.servers servers' logs into options.outDir (created when missing), each
// server's logs following on from each other a few hours apart; the names of the files written,
// in the order written. Throws std::runtime_error when a file cannot be written.
std::vector<std::string> generateSeries(const Options& options);

} // namespace loggen
