#include "LogGen.h"

#include "Generator.h"
#include "Output.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace loggen {

namespace {

bool readNumber(std::string_view text, std::uint64_t& value)
{
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// A byte count with an optional decimal suffix: 300k, 100M, 2G.
bool readSize(std::string_view text, std::uint64_t& value)
{
    std::uint64_t factor = 1;
    if (!text.empty()) {
        switch (text.back()) {
        case 'k': case 'K': factor = 1000; break;
        case 'm': case 'M': factor = 1000 * 1000; break;
        case 'g': case 'G': factor = 1000 * 1000 * 1000; break;
        default: break;
        }
        if (factor != 1)
            text.remove_suffix(1);
    }
    if (!readNumber(text, value) || value > UINT64_MAX / factor)
        return false;
    value *= factor;
    return true;
}

bool readInt(std::string_view text, int lo, int hi, int& value)
{
    std::uint64_t v = 0;
    if (!readNumber(text, v) || v < static_cast<std::uint64_t>(lo) || v > static_cast<std::uint64_t>(hi))
        return false;
    value = static_cast<int>(v);
    return true;
}

std::string validate(const Options& o)
{
    if (!o.map.empty()) {
        bool known = false;
        for (const auto& m : demoworld::Maps)
            known = known || o.map == m.name;
        if (!known) {
            std::string names;
            for (const auto& m : demoworld::Maps)
                names += std::string(names.empty() ? "" : ", ") + m.name;
            return "unknown map '" + o.map + "' (known: " + names + ")";
        }
    }
    if (o.players < 2)
        return "--players must be at least 2";
    if (o.bots > o.players)
        return "--bots cannot exceed --players";
    if (o.rounds < 1)
        return "--rounds must be at least 1";
    if (o.servers > 0 && o.outDir.empty())
        return "--servers needs --out-dir";
    if (o.servers == 0 && !o.outDir.empty())
        return "--out-dir needs --servers";
    if (o.servers > 0 && !o.output.empty())
        return "--servers writes into --out-dir, not -o";
    return {};
}

} // namespace

std::string usage()
{
    return "Usage: ornwick-loggen [options]\n"
           "Writes a deterministic game server event log (XML) on the demo maps.\n"
           "\n"
           "  --seed N             random seed (default 1); equal options give equal bytes\n"
           "  --players N          players on the server, bots included (default 20)\n"
           "  --bots N             bots among them (default: about one in eight)\n"
           "  --rounds N           rounds to write (default 3); with --size, the number of\n"
           "                       rounds the size is spread over\n"
           "  --size BYTES         keep writing until the text reaches about this size;\n"
           "                       suffixes k, M, G (powers of 1000) are accepted\n"
           "  --round-time SECONDS time limit of a round (default 420)\n"
           "  --map NAME           play every round on this map (default: alternate)\n"
           "  --vechicle-spelling  write the vehicle parameters as \"vechicle\" and\n"
           "                       \"vechicle_pos\" instead of \"vehicle\" and \"vehicle_pos\"\n"
           "  --real-world         move the action to where real maps have it: a world of\n"
           "                       4096 whose rounds are fought near X 3500, Z 3000 and near\n"
           "                       X 50, Z 4000 in turn, on \"kessel_ridge_4096\" (no picture)\n"
           "  --names SET          name the kits and vehicles as SET does: demo (default),\n"
           "                       stock (\"German_Assault\", \"T34-85\", \"Stationary_mg42\")\n"
           "                       or mod (\"NVA_Scout_Alt\", \"BTR60GunnerPCO\", \"UH-60\"),\n"
           "                       which no shipped picture shows\n"
           "  --zxml               write the log as one zlib stream (a .zxml file)\n"
           "  -o FILE              output file (default: standard output)\n"
           "  --keyhash            write a \"playerKeyHash\" event (32 hex digits, the same for\n"
           "                       a player in every log of the seed) after each human's\n"
           "                       \"createPlayer\"\n"
           "  --name-changes       now and then a human changes name (\"changePlayerName\"), or\n"
           "                       leaves and comes back as another id, maybe renamed\n"
           "  --servers N          write N servers' logs into --out-dir instead, named\n"
           "                       ev_<port>-<YYYYMMDD>_<HHMM>.xml (.zxml with --zxml), ports\n"
           "                       16567, 16568, ...; the same players visit several servers\n"
           "  --logs N             logs each server writes (default 3), a few hours apart;\n"
           "                       all but its last one end with their last round\n"
           "  --out-dir DIR        folder for --servers (created when missing)\n"
           "  --help               show this text\n"
           "\n"
           "The last round is left open, as a server that is still running leaves its log.\n";
}

ParseResult parseArguments(const std::vector<std::string>& args)
{
    ParseResult result;
    Options& o = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (name.rfind("--", 0) == 0) {
            if (auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                hasValue = true;
            }
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        auto fail = [&](const std::string& why) {
            result.error = why;
            return result;
        };

        if (name == "--help" || name == "-h") {
            result.help = true;
        } else if (name == "--zxml") {
            o.zxml = true;
        } else if (name == "--vechicle-spelling") {
            o.vechicleSpelling = true;
        } else if (name == "--real-world") {
            o.realWorld = true;
        } else if (name == "--names") {
            if (!takeValue() || (value != "demo" && value != "stock" && value != "mod"))
                return fail("--names needs demo, stock or mod");
            o.names = value == "stock" ? NameSet::Stock : value == "mod" ? NameSet::Mod : NameSet::Demo;
        } else if (name == "--keyhash") {
            o.keyhash = true;
        } else if (name == "--name-changes") {
            o.nameChanges = true;
        } else if (name == "--servers") {
            if (!takeValue() || !readInt(value, 1, 100, o.servers))
                return fail("--servers needs a number from 1 to 100");
        } else if (name == "--logs") {
            if (!takeValue() || !readInt(value, 1, 1000, o.logsPerServer))
                return fail("--logs needs a number from 1 to 1000");
        } else if (name == "--out-dir") {
            if (!takeValue() || value.empty())
                return fail("--out-dir needs a folder");
            o.outDir = value;
        } else if (name == "--seed") {
            if (!takeValue() || !readNumber(value, o.seed))
                return fail("--seed needs a non-negative integer");
        } else if (name == "--players") {
            if (!takeValue() || !readInt(value, 2, 1000, o.players))
                return fail("--players needs a number from 2 to 1000");
        } else if (name == "--bots") {
            if (!takeValue() || !readInt(value, 0, 1000, o.bots))
                return fail("--bots needs a number from 0 to 1000");
        } else if (name == "--rounds") {
            if (!takeValue() || !readInt(value, 1, 1000000, o.rounds))
                return fail("--rounds needs a number from 1 to 1000000");
            o.roundsGiven = true;
        } else if (name == "--size") {
            if (!takeValue() || !readSize(value, o.size))
                return fail("--size needs a byte count such as 300000, 300k or 100M");
        } else if (name == "--round-time") {
            if (!takeValue() || !readInt(value, 30, 86400, o.roundTime))
                return fail("--round-time needs seconds from 30 to 86400");
        } else if (name == "--map") {
            if (!takeValue())
                return fail("--map needs a map name");
            o.map = value;
        } else if (name == "-o" || name == "--output") {
            if (!takeValue() || value.empty())
                return fail("-o needs a file name");
            o.output = value;
        } else {
            return fail("unknown option '" + args[i] + "'");
        }
    }
    if (!result.help)
        result.error = validate(o);
    return result;
}

namespace {

// Writes one log; the time of its end, in hundredths since the server started.
Time generateLog(const Options& options, ByteSink& sink)
{
    if (auto problem = validate(options); !problem.empty())
        throw std::runtime_error(problem);
    if (options.zxml) {
        DeflateSink deflater(sink);
        TextOut out(deflater);
        Generator generator(options, out);
        generator.run();
        out.finish();
        return generator.endTime();
    }
    TextOut out(sink);
    Generator generator(options, out);
    generator.run();
    out.finish();
    return generator.endTime();
}

constexpr const char* ServerNames[] = {
    "Harbourside Veterans | Conquest 24/7",
    "Kessel Ridge Irregulars",
    "=DK= Night Ops | no rules",
    "Low Countries Public #2",
    "Old Timers Sunday League",
};

// The first server came up on a Saturday evening, local time.
constexpr std::time_t SeriesStart = 1773514800; // 2026-03-14 19:00

std::string seriesFileName(int port, std::time_t when, bool zxml)
{
    std::tm tm{};
    gmtime_r(&when, &tm);
    char name[64];
    std::snprintf(name, sizeof name, "ev_%d-%04d%02d%02d_%02d%02d.%s", port, tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, zxml ? "zxml" : "xml");
    return name;
}

} // namespace

void generate(const Options& options, ByteSink& sink)
{
    generateLog(options, sink);
}

std::vector<std::string> generateSeries(const Options& options)
{
    if (auto problem = validate(options); !problem.empty())
        throw std::runtime_error(problem);
    std::error_code error;
    std::filesystem::create_directories(options.outDir, error);
    if (error)
        throw std::runtime_error("cannot create " + options.outDir);

    std::vector<std::string> written;
    Rng plan(options.seed ^ 0x73657276657273ULL);
    for (int server = 0; server < options.servers; ++server) {
        const std::time_t serverStart = SeriesStart + server * plan.range(5, 90) * 60;
        Time origin = 0;
        for (int log = 0; log < options.logsPerServer; ++log) {
            Options o = options;
            o.servers = 0;
            o.outDir.clear();
            o.seed = options.seed * 1000003 + static_cast<std::uint64_t>(server) * 1009 +
                     static_cast<std::uint64_t>(log) + 1;
            o.identitySeed = options.identitySeed != 0 ? options.identitySeed : options.seed;
            if (o.identitySeed == 0)
                o.identitySeed = 1; // 0 means "the log's own seed"
            const int n = static_cast<int>(std::size(ServerNames));
            o.serverName = ServerNames[server % n];
            if (server >= n)
                o.serverName += " " + std::to_string(server / n + 1);
            o.port = 16567 + server;
            o.startTime = origin;
            o.closeLog = log + 1 < options.logsPerServer;

            const std::time_t start = serverStart + static_cast<std::time_t>(origin / Second);
            const std::string name = seriesFileName(o.port, start, o.zxml);
            const std::string path = (std::filesystem::path(options.outDir) / name).string();
            std::FILE* file = std::fopen(path.c_str(), "wb");
            if (!file)
                throw std::runtime_error("cannot create " + path);
            Time end = 0;
            try {
                FileSink sink(file);
                end = generateLog(o, sink);
            } catch (...) {
                std::fclose(file);
                throw;
            }
            if (std::fclose(file) != 0)
                throw std::runtime_error("cannot write " + path);
            written.push_back(name);

            // The next map's log starts a few hours on, and never before this one ended.
            const Time later = origin + plan.range(2 * 3600, 5 * 3600) * Second;
            origin = std::max(later, (end / Second + 60) * Second);
        }
    }
    return written;
}

std::string generateToString(const Options& options)
{
    std::string bytes;
    StringSink sink(bytes);
    generate(options, sink);
    return bytes;
}

} // namespace loggen
