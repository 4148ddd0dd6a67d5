// ornwick-loggen: writes deterministic, realistic game server event logs on the demo world,
// as plain XML or as one zlib stream (.zxml). The same options always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace loggen {

class ByteSink;

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
    std::string output;          // output file; empty: standard output
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

} // namespace loggen
