#include "level/LevelObjects.h"

#include "base/TextList.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>

namespace {

std::vector<std::string> Words(std::string_view line)
{
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        const size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t')
            ++at;
        if (at > start)
            words.emplace_back(line.substr(start, at - start));
    }
    return words;
}

// "rem", "rem*** ..." and the like: rem followed by no letter or digit.
bool IsRem(const std::string& lowerWord)
{
    if (!lowerWord.starts_with("rem"))
        return false;
    if (lowerWord.size() == 3)
        return true;
    const char next = lowerWord[3];
    return !((next >= 'a' && next <= 'z') || (next >= '0' && next <= '9') || next == '_');
}

std::optional<double> Number(const std::string& text)
{
    // The C locale's form, exponents included, whatever the program's decimal separator.
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> Whole(const std::string& text)
{
    const std::optional<double> value = Number(text);
    if (!value || std::fabs(*value) > 1e6)
        return std::nullopt;
    return static_cast<int>(std::lround(*value));
}

// A coordinate of a place in a world (at most 16384 units a side). One far beyond is damage:
// the object has no place, as with a coordinate that is no number, and the object file never
// holds a number longer than its fixed form can be written.
std::optional<double> Coordinate(const std::string& text)
{
    const std::optional<double> value = Number(text);
    if (!value || std::fabs(*value) > 1e6)
        return std::nullopt;
    return value;
}

struct TTemplates {
    std::map<std::string, int> Teams;                         // control point -> team
    std::map<std::string, std::map<int, std::string>> Spawns; // spawner -> team -> vehicle
};

void ReadTemplates(const std::string& text, TTemplates& templates, TScriptNotes& notes)
{
    std::string current;
    for (const TConCommand& c : ReadConCommands(text, &notes)) {
        if (c.Keyword == "objecttemplate.create" && c.Args.size() >= 2)
            current = LowerAscii(c.Args[1]);
        else if (c.Keyword == "objecttemplate.team" && !c.Args.empty() && !current.empty()) {
            if (const std::optional<int> team = Whole(c.Args[0]))
                templates.Teams.try_emplace(current, *team);
        } else if (c.Keyword == "objecttemplate.setobjecttemplate" && c.Args.size() >= 2 && !current.empty()) {
            if (const std::optional<int> team = Whole(c.Args[0]))
                templates.Spawns[current].try_emplace(*team, c.Args[1]);
        }
    }
}

struct TCreated {
    std::string Template;
    std::optional<double> X, Y, Z;
    std::optional<int> Team;
};

std::vector<TCreated> ReadCreated(const std::string& text, TScriptNotes& notes)
{
    std::vector<TCreated> created;
    for (const TConCommand& c : ReadConCommands(text, &notes)) {
        if (c.Keyword == "object.create" && !c.Args.empty())
            created.push_back({LowerAscii(c.Args[0]), {}, {}, {}, {}});
        else if (created.empty())
            continue;
        else if (c.Keyword == "object.absoluteposition" && !c.Args.empty()) {
            std::string all;
            for (const std::string& a : c.Args)
                all += a;
            std::vector<std::string> parts;
            size_t start = 0;
            for (size_t slash; (slash = all.find('/', start)) != std::string::npos; start = slash + 1)
                parts.push_back(all.substr(start, slash - start));
            parts.push_back(all.substr(start));
            if (parts.size() == 3) {
                created.back().X = Coordinate(parts[0]);
                created.back().Y = Coordinate(parts[1]);
                created.back().Z = Coordinate(parts[2]);
            }
        } else if (c.Keyword == "object.setteam" && !c.Args.empty()) {
            created.back().Team = Whole(c.Args[0]);
        }
    }
    return created;
}

std::string Formatted(double value)
{
    // to_chars: the C locale's point whatever the process's locale. Room for any double: the
    // largest has 309 digits before the point.
    char text[330];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
    return std::string(text, result.ptr);
}

// UTF-16 code units as 8-bit text: the Latin-1 characters as they are, any other "?".
std::string FromUtf16(std::string_view bytes, bool bigEndian, TScriptNotes& notes)
{
    std::string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        const unsigned unit = bigEndian ? (a << 8 | b) : (b << 8 | a);
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            continue; // the second half of a pair, told with its first
        if (unit <= 0xFF) {
            text += static_cast<char>(unit);
        } else {
            text += '?';
            ++notes.Unreadable;
        }
    }
    if (bytes.size() % 2 != 0) { // cut in the middle of a character
        text += '?';
        ++notes.Unreadable;
    }
    return text;
}

std::string Counted(size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string TScriptNotes::Text() const
{
    std::string text;
    if (NulBytes)
        text = Counted(NulBytes, "NUL byte read as a line break", "NUL bytes read as line breaks");
    if (Unreadable)
        text += (text.empty() ? "" : ", ") + Counted(Unreadable, "character", "characters") +
                " of its UTF-16 beyond Latin-1, read as \"?\"";
    return text;
}

std::vector<std::string> ScriptLines(std::string_view bytes, TScriptNotes* notes)
{
    TScriptNotes unused;
    TScriptNotes& told = notes ? *notes : unused;
    std::string decoded;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        told.Utf16 = true;
        decoded = FromUtf16(bytes.substr(2), bytes[0] == '\xFE', told);
        bytes = decoded;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = std::min(bytes.find_first_of(std::string_view("\r\n\0", 3), start), bytes.size());
        lines.emplace_back(bytes.substr(start, end - start));
        if (end == bytes.size())
            break;
        told.NulBytes += bytes[end] == '\0';
        start = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

std::vector<TConCommand> ReadConCommands(std::string_view bytes, TScriptNotes* notes)
{
    std::vector<TConCommand> commands;
    bool inBlock = false;
    for (const std::string& line : ScriptLines(bytes, notes)) {
        std::vector<std::string> words = Words(line);
        if (words.empty())
            continue;
        const std::string keyword = LowerAscii(words[0]);
        if (inBlock) {
            inBlock = keyword != "endrem";
            continue;
        }
        if (keyword == "beginrem") {
            inBlock = true;
            continue;
        }
        if (IsRem(keyword) || keyword == "endrem")
            continue;
        words.erase(words.begin());
        commands.push_back({keyword, std::move(words)});
    }
    return commands;
}

int ReadWorldSize(const TLevel& level)
{
    // The last size given counts, as the game applies the commands in turn.
    std::optional<std::string> given;
    for (const TConCommand& c : ReadConCommands(level.ReadRequired("Init/Terrain.con")))
        if (c.Keyword == "geometrytemplate.worldsize" && !c.Args.empty())
            given = c.Args[0];
    const std::optional<double> size = given ? Number(*given) : std::nullopt;
    if (!size)
        throw ELevelError(level.Source() + ": Init/Terrain.con gives no GeometryTemplate.worldSize" +
                          (given ? " ('" + *given + "' is no number)" : std::string()));
    if (*size < 256 || *size > 16384)
        throw ELevelError(level.Source() + ": the world size " + *given + " in Init/Terrain.con is out of range (256 to 16384)");
    return static_cast<int>(std::lround(*size));
}

std::string GameTypeFolder(const std::string& mode)
{
    const std::string m = LowerAscii(mode);
    if (m == "gpm_cq" || m == "conquest")
        return "Conquest";
    if (m == "gpm_ctf" || m == "ctf")
        return "Ctf";
    if (m == "gpm_tdm" || m == "tdm")
        return "TDM";
    if (m == "gpm_coop" || m == "singleplayer" || m == "coop")
        return "SinglePlayer";
    throw ELevelError("Unknown game type '" + mode + "': GPM_CQ, GPM_CTF, GPM_TDM, GPM_COOP or Conquest, Ctf, TDM, SinglePlayer");
}

std::vector<TLevelObject> ReadLevelObjects(const TLevel& level, const std::string& folder, std::vector<std::string>* skipped)
{
    // What was left out of a file, told with the file's name.
    const auto tell = [&](const std::string& path, const TScriptNotes& notes, size_t placeless) {
        std::string text = notes.Text();
        if (placeless)
            text += (text.empty() ? "" : ", ") + Counted(placeless, "object", "objects") + " without a place left out";
        if (skipped && !text.empty())
            skipped->push_back(path + ": " + text);
    };
    const std::string base = folder + "/";
    if (level.PathsUnder(base).empty())
        throw ELevelError(level.Source() + ": the level has no game type " + folder);
    // The game type's own templates first; a game type without them takes the others' (the
    // game loads every game type's templates with the level).
    TTemplates templates;
    std::vector<std::string> folders{folder};
    for (const char* other : {"Conquest", "Ctf", "TDM", "SinglePlayer"})
        if (LowerAscii(other) != LowerAscii(folder))
            folders.push_back(other);
    for (const std::string& f : folders)
        for (const char* file : {"/ControlPointTemplates.con", "/ObjectSpawnTemplates.con"})
            if (std::optional<std::string> text = level.Read(f + file)) {
                TScriptNotes notes;
                ReadTemplates(*text, templates, notes);
                tell(f + file, notes, 0);
            }

    std::vector<TLevelObject> objects;
    const auto add = [&](const TCreated& c, bool controlPoint) {
        if (!c.X || !c.Y || !c.Z)
            return false; // no place on the map
        TLevelObject o{c.Template, *c.X, *c.Y, *c.Z, 0, controlPoint};
        if (controlPoint) {
            o.Class = "controlpoint";
            const auto found = templates.Teams.find(c.Template);
            o.Team = c.Team ? *c.Team : found != templates.Teams.end() ? found->second : 0;
        } else if (const auto found = templates.Spawns.find(c.Template); found != templates.Spawns.end()) {
            const std::map<int, std::string>& vehicles = found->second;
            // A spawner of one team's vehicle only is that team's; the object's own team wins.
            o.Team = c.Team ? *c.Team : vehicles.size() == 1 ? vehicles.begin()->first : 0;
            const auto own = vehicles.find(o.Team);
            o.Class = own != vehicles.end() ? own->second : vehicles.begin()->second;
        } else {
            o.Team = c.Team.value_or(0);
        }
        objects.push_back(std::move(o));
        return true;
    };
    for (const bool controlPoints : {false, true}) {
        const std::string path = base + (controlPoints ? "ControlPoints.con" : "ObjectSpawns.con");
        if (std::optional<std::string> text = level.Read(path)) {
            TScriptNotes notes;
            size_t placeless = 0;
            for (const TCreated& c : ReadCreated(*text, notes))
                placeless += !add(c, controlPoints);
            tell(path, notes, placeless);
        }
    }
    return objects;
}

std::string ObjectFileText(const std::string& map, const std::vector<TLevelObject>& objects)
{
    // No keyword in the comments: the reader takes any line that holds one.
    std::string text = "rem " + map + ": object spawns and control points imported from the level\r\n\r\n";
    for (const TLevelObject& o : objects) {
        text += "Object.create " + o.Class + "\r\n";
        text += "Object.absolutePosition " + Formatted(o.X) + "/" + Formatted(o.Y) + "/" + Formatted(o.Z) + "\r\n";
        text += "Object.setTeam " + std::to_string(o.Team) + "\r\n\r\n";
    }
    return text;
}
