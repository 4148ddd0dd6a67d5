// The library's questions: its rounds by a filter, a player's page and a map's heat map.
#include "tool/LibraryCommands.h"

#include "base/Files.h"
#include "base/Json.h"
#include "library/HeatMap.h"
#include "library/LibraryDatabase.h"
#include "library/LibraryQuery.h"
#include "mapview/ViewOptions.h"
#include "round/RoundView.h"

#include <limits>
#include <ostream>

namespace {

// The value after an option, else the usage error naming what it needs.
const std::string& ValueOf(const TLibraryCommand& c, size_t& i, const std::string& needs)
{
    if (++i >= c.args.size())
        throw TUsageError{c.args[i - 1] + " needs " + needs};
    return c.args[i];
}

// A name typed on the command line, as the logs write it: Latin-1.
std::string NameOf(const std::string& typed) { return TextOfFileName(typed); }

std::string Day(const TLibraryCommand& c, size_t& i)
{
    const std::string& option = c.args[i];
    const std::string& day = ValueOf(c, i, "a day YYYY-MM-DD");
    if (!IsLibraryDate(day))
        throw TUsageError{option + " needs a day YYYY-MM-DD, not '" + day + "'"};
    return day;
}

void CountsJson(std::ostream& out, const char* key, const std::vector<std::pair<std::string, int>>& counts)
{
    out << ",\"" << key << "\":{";
    for (size_t i = 0; i < counts.size(); ++i)
        out << (i ? "," : "") << JsonString(counts[i].first) << ':' << counts[i].second;
    out << '}';
}

} // namespace

int LibraryRoundsCommand(TLibraryCommand& c)
{
    TRoundFilter filter;
    for (size_t i = 0; i < c.args.size(); ++i) {
        const std::string& option = c.args[i];
        if (option == "--map")
            filter.map = NameOf(ValueOf(c, i, "a map's name"));
        else if (option == "--player")
            filter.player = NameOf(ValueOf(c, i, "a player's name"));
        else if (option == "--mod")
            filter.mod = NameOf(ValueOf(c, i, "a mod's name"));
        else if (option == "--since")
            filter.since = Day(c, i);
        else if (option == "--until")
            filter.until = Day(c, i);
        else
            throw TUsageError();
    }
    const std::unique_ptr<TLibraryDatabase> library = c.OpenExisting();
    for (const TLibraryRound& r : LibraryRounds(*library, filter))
        c.out << "{\"file\":" << JsonString(r.file) << ",\"round\":" << r.round << ",\"server\":" << JsonString(r.server)
              << ",\"map\":" << JsonString(r.map)
              << ",\"mod\":" << JsonString(r.mod) << ",\"mode\":" << JsonString(r.mode)
              << ",\"start\":" << JsonString(r.started) << ",\"datedBy\":" << (r.datedByName ? "\"name\"" : "\"file time\"")
              << ",\"length\":" << r.length << ",\"players\":" << r.players
              << ",\"winner\":" << JsonString(r.winner) << ",\"tickets\":" << JsonString(r.tickets) << "}\n";
    return 0;
}

int LibraryPlayerCommand(TLibraryCommand& c)
{
    if (c.args.size() != 1 || c.args[0].empty())
        throw TUsageError();
    const std::unique_ptr<TLibraryDatabase> library = c.OpenExisting();
    const std::optional<TPlayerPage> page = PlayerPage(*library, NameOf(c.args[0]));
    if (!page) {
        c.err << "No player of the library is named " << c.args[0] << '\n';
        return 3;
    }
    const TLibraryPlayer& p = page->player;
    c.out << "{\"names\":[";
    for (size_t i = 0; i < p.names.size(); ++i)
        c.out << (i ? "," : "") << JsonString(p.names[i]);
    c.out << "],\"keyhash\":" << JsonString(p.keyhash) << ",\"rounds\":" << p.rounds << ",\"score\":" << p.score
          << ",\"kills\":" << p.kills << ",\"deaths\":" << p.deaths << ",\"tks\":" << p.tks;
    CountsJson(c.out, "kits", page->byKit);
    CountsJson(c.out, "vehicles", page->byVehicle);
    CountsJson(c.out, "weapons", page->byWeapon);
    c.out << "}\n";
    return 0;
}

int LibraryHeatmapCommand(TLibraryCommand& c)
{
    if (c.args.empty() || c.args[0].rfind("--", 0) == 0)
        throw TUsageError();
    THeatFilter filter;
    filter.map = NameOf(c.args[0]);
    std::string out;
    for (size_t i = 1; i < c.args.size(); ++i) {
        const std::string& option = c.args[i];
        if (option == "--out") {
            out = ValueOf(c, i, "FILE.png");
        } else if (option == "--kind") {
            const std::string& kind = ValueOf(c, i, "deaths or kills");
            if (kind != "deaths" && kind != "kills")
                throw TUsageError{"--kind needs deaths or kills, not '" + kind + "'"};
            filter.kind = kind == "kills" ? THeatKind::Kills : THeatKind::Deaths;
        } else if (option == "--team") {
            filter.team = WholeIn(ValueOf(c, i, "a team number"), std::numeric_limits<int32_t>::min(),
                                  std::numeric_limits<int32_t>::max(), "--team needs a team number");
        } else if (option == "--weapon") {
            filter.weapon = NameOf(ValueOf(c, i, "a weapon's name"));
        } else if (option == "--player") {
            filter.player = NameOf(ValueOf(c, i, "a player's name"));
        } else {
            throw TUsageError();
        }
    }
    if (out.empty())
        throw TUsageError{"heatmap needs --out FILE.png"};
    CheckOutput("--out", out, {".PNG"}, "the heat map is saved as .png", {});
    if (SameOutput(out, c.location))
        throw TUsageError{"--out " + out + ": that is the library; name a file of its own"};

    TGuiScope scope;
    const TProgramFiles files = StartWithoutWindow(c.home.empty() ? DefaultTarvel() : HomeTarvel(c.home));
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    const std::unique_ptr<TLibraryDatabase> library = c.OpenExisting();
    // A map the library never saw (a typo) is said, as an unknown player is, not drawn empty.
    TRoundFilter onMap;
    onMap.map = filter.map;
    if (LibraryRounds(*library, onMap).empty()) {
        c.err << "No round of the library is played on " << c.args[0] << '\n';
        return 3;
    }
    const std::vector<TWorldPlace> places = HeatPlaces(*library, filter);
    const THeatBase base = HeatBaseOf(files, filter.map, places);
    const THeatMap heat = DrawHeatMap(base, places, HeatZoom(base), FrameFont());
    SavePictureAtomically(heat.picture, out);
    c.out << "{\"points\":" << heat.points << ",\"places\":" << places.size() << ",\"size\":[" << heat.picture.width()
          << ',' << heat.picture.height() << "],\"picture\":" << (base.picture.isNull() ? "false" : "true") << "}\n";
    return scope.Finish(c.out, c.err);
}
