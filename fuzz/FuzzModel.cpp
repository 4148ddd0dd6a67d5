// The model targets: the XML tree, path selection, inflation, map object files, text lists,
// level archives, textures and level scripts.
// Besides surviving the input, each checks what must hold whatever the input was.
#include "FuzzTargets.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/MemoryStream.h"
#include "base/TextList.h"
#include "level/Level.h"
#include "level/LevelObjects.h"
#include "level/LevelPicture.h"
#include "level/RfaArchive.h"
#include "log/EventInfo.h"
#include "log/LogFile.h"
#include "mapview/MapObject.h"
#include "mapview/WorldToMap.h"
#include "xmltree/XMLTokenizer.h"
#include "xmltree/wexXMLTree.h"

#include <QImage>

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

class TFuzzFailure : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

std::string_view Bytes(const uint8_t* data, size_t size)
{
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Walks the tree without recursion (a hostile document is as deep as it is long), checks that
// every child knows its parent, touches every text, and returns the number of nodes.
size_t CheckTree(const TwexXMLNode& root)
{
    size_t nodes = 0;
    size_t touched = 0;
    std::vector<const TwexXMLNode*> pending{&root};
    while (!pending.empty()) {
        const TwexXMLNode* node = pending.back();
        pending.pop_back();
        ++nodes;
        for (const std::string_view text : {node->Name(), node->Value()})
            for (const char c : text)
                touched += static_cast<unsigned char>(c);
        for (const TwexXMLAttribute& attribute : node->Attributes())
            touched += attribute.Name().size() + attribute.Value().size();
        for (const TwexXMLNode* child : node->Children()) {
            FUZZ_CHECK(child != nullptr);
            FUZZ_CHECK(child->ParentNode() == node);
            pending.push_back(child);
        }
    }
    // Keeps the reads of the texts from being optimised away.
    volatile size_t sink = touched;
    (void)sink;
    return nodes;
}

std::vector<std::string> SplitAt(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return parts;
        start = at + 1;
    }
}

class TSeparator {
public:
    explicit TSeparator(char separator) : FSaved(DecimalSeparator()) { SetDecimalSeparator(separator); }
    ~TSeparator() { SetDecimalSeparator(FSaved); }

private:
    char FSaved;
};

// The first zlib stream of the bytes, inflated by zlib in small steps: what every complete
// inflation must begin with. Returns false when no complete stream of at most `limit` bytes
// is there; `rest` is the number of input bytes after the stream.
bool InflateFirstStream(std::string_view input, size_t limit, std::string& out, size_t& rest)
{
    out.clear();
    z_stream zs{};
    if (inflateInit2(&zs, 15) != Z_OK)
        return false;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    zs.avail_in = static_cast<uInt>(input.size());
    char chunk[4096];
    int result = Z_OK;
    while (result == Z_OK && out.size() <= limit) {
        zs.next_out = reinterpret_cast<Bytef*>(chunk);
        zs.avail_out = sizeof chunk;
        result = inflate(&zs, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - zs.avail_out);
        if (result == Z_BUF_ERROR && zs.avail_out != 0)
            break; // input ran out before the stream ended
        if (result == Z_BUF_ERROR)
            result = Z_OK;
    }
    rest = zs.avail_in;
    inflateEnd(&zs);
    return result == Z_STREAM_END && out.size() <= limit;
}

uint32_t Le32(std::string_view bytes, size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A number as the object file writes it (three decimals), read back.
double Parsed(const std::string& text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    FUZZ_CHECK(error == std::errc() && end == text.data() + text.size());
    return value;
}

bool SameObject(const TLevelObject& a, const TLevelObject& b)
{
    return a.Class == b.Class && a.X == b.X && a.Y == b.Y && a.Z == b.Z && a.Team == b.Team &&
           a.ControlPoint == b.ControlPoint;
}

} // namespace

void FuzzFailure(const char* what, const char* file, int line)
{
    throw TFuzzFailure(std::string(file) + ":" + std::to_string(line) + ": does not hold: " + what);
}

void FuzzTree(const uint8_t* data, size_t size)
{
    const std::string_view bytes = Bytes(data, size);
    TwexXMLTree tree("ROOT", "", nullptr);
    tree.LoadFromText(bytes);
    // The file scanner gives the tokens that the lines of the file, joined, give.
    std::vector<std::string> lines = SplitLines(bytes);
    TokenizeXML(lines);
    FUZZ_CHECK(tree.Lines().ToVector() == lines);
    const size_t nodes = CheckTree(tree);
    FUZZ_CHECK(nodes <= tree.Lines().Count() + 1); // a node per tag token at most
    const std::string value(tree.Value());

    // The window loads every log into the same tree: a second load of the same text, now from
    // a stream, gives the same tree.
    TMemoryStream stream;
    stream.Write(bytes.data(), bytes.size());
    stream.SetPosition(0);
    tree.LoadFromStream(stream);
    FUZZ_CHECK(stream.Position() == stream.Size());
    FUZZ_CHECK(tree.Lines().ToVector() == lines);
    FUZZ_CHECK(CheckTree(tree) == nodes);
    FUZZ_CHECK(tree.Name() == "root"); // every load names the tree so
    FUZZ_CHECK(tree.Value() == value);
}

void FuzzSelect(const uint8_t* data, size_t size)
{
    const std::string_view bytes = Bytes(data, size);
    const size_t newline = bytes.find('\n');
    const std::string_view path = bytes.substr(0, newline);
    const std::string_view text = newline == std::string_view::npos ? std::string_view() : bytes.substr(newline + 1);
    // Numeric conditions depend on the locale's separator: both are tried, by the path's length.
    const TSeparator separator(path.size() % 2 ? ',' : '.');
    TwexXMLTree tree("ROOT", "", nullptr);
    tree.LoadFromText(text);
    const TwexXMLNode* found = tree.SelectNode(path);
    if (!found)
        return;
    // Every step goes one level down: the node found and its ancestors match the steps, the
    // last step first, and the tree's root lies exactly one level above the first step.
    const std::vector<std::string> steps = SplitAt(path, '/');
    const TwexXMLNode* node = found;
    for (size_t i = steps.size(); i-- > 0;) {
        FUZZ_CHECK(node != nullptr && node != &tree);
        FUZZ_CHECK(node->MatchesFilter(TwexXMLFilter(steps[i])));
        node = node->ParentNode();
    }
    FUZZ_CHECK(node == &tree);
}

void FuzzInflate(const uint8_t* data, size_t size)
{
    const std::string_view bytes = Bytes(data, size);
    // Ceilings far below the real one keep each run small and reach the ceiling's own path.
    constexpr size_t Ceiling = size_t(1) << 20;
    constexpr size_t SmallCeiling = 4096;

    TMemoryStream source;
    source.Write(bytes.data(), bytes.size());
    source.SetPosition(0);
    TMemoryStream inflated;
    bool ok = true;
    bool endsEarly = false;
    try {
        const TInflateResult result = InflateStream(source, inflated, Ceiling);
        endsEarly = result.EndsEarly();
        // Damage is placed on a byte of the input; nothing else has a place.
        FUZZ_CHECK(result.broken == TStreamBreak::Damaged ? result.damagedAt >= 1 && result.damagedAt <= size
                                                          : result.damagedAt == 0);
    } catch (const EInflatedTooLarge& tooLarge) {
        FUZZ_CHECK(tooLarge.Ceiling == Ceiling);
        ok = false;
    } catch (const EZDecompressionError&) {
        ok = false;
    }
    FUZZ_CHECK(source.Position() == source.Size() || !ok);

    std::string first;
    size_t rest = 0;
    const bool firstComplete = InflateFirstStream(bytes, Ceiling, first, rest);
    if (ok) {
        FUZZ_CHECK(inflated.Position() == 0);
        FUZZ_CHECK(inflated.Size() <= Ceiling);
        if (bytes.empty() || firstComplete) {
            // Whatever follows a stream, the text begins with what the stream holds.
            FUZZ_CHECK(!endsEarly);
            FUZZ_CHECK(inflated.View().substr(0, first.size()) == first);
        } else {
            // A first stream that broke off gave some text, the start of what it holds.
            FUZZ_CHECK(endsEarly && inflated.Size() > 0);
            const size_t common = std::min<size_t>(first.size(), inflated.Size());
            FUZZ_CHECK(inflated.View().substr(0, common) == std::string_view(first).substr(0, common));
        }
    }
    if (firstComplete && rest == 0)
        FUZZ_CHECK(ok && inflated.View() == first); // exactly one stream: exactly its text

    // Into a stream that holds bytes already, with a ceiling the text may pass: the text is
    // appended when it fits and is an error when it does not.
    TMemoryStream again;
    again.Write(bytes.data(), bytes.size());
    again.SetPosition(0);
    TMemoryStream appended;
    appended.Write("head", 4);
    bool okAgain = true;
    try {
        InflateStream(again, appended, SmallCeiling);
    } catch (const EZDecompressionError&) {
        okAgain = false;
    }
    if (ok) {
        FUZZ_CHECK(okAgain == (inflated.Size() <= SmallCeiling));
        if (okAgain) {
            FUZZ_CHECK(appended.Position() == 0);
            FUZZ_CHECK(appended.View() == std::string("head") + std::string(inflated.View()));
        }
    } else {
        FUZZ_CHECK(!okAgain);
    }
}

void FuzzObjects(const uint8_t* data, size_t size)
{
    TTextList file;
    file.SetText(Bytes(data, size));
    const std::vector<TObjectGroup> groups = ReadObjectGroups(file);
    FUZZ_CHECK(groups.size() * 3 <= file.Lines.size());

    // Made as the window makes them, up to the first one that fails to convert, which ends the
    // loading: its object stays, as far as it came.
    TMapObjectList objects;
    std::vector<bool> complete;
    try {
        for (const TObjectGroup& group : groups) {
            complete.push_back(false);
            TMapObject& object = *objects.Add(group.Position);
            object.FStartPosition = group.Position;
            object.SetPosition(group.Position);
            object.SetObjectClass(group.ObjectClass);
            object.SetPictureName(object.FObjectClass);
            object.SetTeam(StrToInt(CleanNumber(group.Team)));
            complete.back() = true;
        }
    } catch (const EConvertError&) {
    }
    FUZZ_CHECK(objects.Count() == static_cast<int>(complete.size()));

    // Placed on the map with a few scales; positions out of range are the range error.
    for (int i = 0; i < objects.Count(); ++i) {
        const TMapObject& o = *objects.Object(i);
        for (const int scale : {1, 500, 2000, 10000})
            for (const double value : {o.FX, o.FZ}) {
                try {
                    ScaleWorldToMap(scale, value);
                } catch (const ERangeError&) {
                }
            }
    }

    // Searches by position: an object's own position finds an object of its kind at once.
    // (The searches for what is not there take longest, so only one is made.)
    const int searched = std::min(objects.Count(), 16);
    for (int i = 0; i < searched; ++i) {
        if (!complete[static_cast<size_t>(i)])
            continue;
        const TMapObject& o = *objects.Object(i);
        FUZZ_CHECK(o.IsNear(o.FPosition, 0));
        const TMapObject* near = o.IsControlPoint() ? FindControlPointNear(objects, o.FPosition)
                                                    : FindOtherObjectNear(objects, o.FPosition);
        FUZZ_CHECK(near != nullptr);
        FUZZ_CHECK(near->IsControlPoint() == o.IsControlPoint());
        FUZZ_CHECK(FindMapObjectNear(objects, o.FPosition, o.FPictureName) != nullptr);
    }
    try {
        FindMapObjectNear(objects, "1e9/1e9/1e9", "no such picture");
    } catch (const EConvertError&) {
    }
}

void FuzzTextList(const uint8_t* data, size_t size)
{
    TTextList list;
    list.SetText(Bytes(data, size));
    for (const std::string& line : list.Lines)
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos); // a NUL byte is a byte of its line
    // Written and read back, the lines are the same lines.
    TTextList back;
    back.SetText(list.Text());
    FUZZ_CHECK(back.Lines == list.Lines);

    // Lookups of the names the lines have (the first lines only: each lookup reads the list).
    const int looked = std::min(list.Count(), 64);
    std::string previousName;
    for (int i = 0; i < looked; ++i) {
        const std::string& line = list[i];
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string name = line.substr(0, eq);
        const int found = list.IndexOfName(name);
        FUZZ_CHECK(found >= 0 && found <= i);
        const std::string& foundLine = list[found];
        const size_t foundEq = foundLine.find('=');
        FUZZ_CHECK(SameTextLatin1(foundLine.substr(0, foundEq), name));
        FUZZ_CHECK(list.Values(name) == foundLine.substr(foundEq + 1));
        // Letter case as the lookups see it is the upper case of either text.
        FUZZ_CHECK(SameTextLatin1(name, previousName) == (UpperCaseLatin1(name) == UpperCaseLatin1(previousName)));
        previousName = name;

        // Setting the key replaces that line's value and nothing else.
        TTextList changed = list;
        changed.SetValue(name, "set");
        FUZZ_CHECK(changed.Count() == list.Count());
        FUZZ_CHECK(changed.Values(name) == "set");
        FUZZ_CHECK(changed[found].substr(0, foundEq) == foundLine.substr(0, foundEq));
    }
    // A key no line has is appended.
    TTextList appended = list;
    const std::string fresh = "fuzz key " + std::to_string(list.Count());
    if (appended.IndexOfName(fresh) < 0) {
        appended.SetValue(fresh, "1");
        FUZZ_CHECK(appended.Count() == list.Count() + 1);
        FUZZ_CHECK(appended.Values(fresh) == "1");
    }
    // The settings the start-up reads: a zoom that is no integer is the conversion error.
    if (const std::string zoom = list.Values("ZOOM"); !zoom.empty()) {
        try {
            StrToInt(zoom);
        } catch (const EConvertError&) {
        }
    }
}

void FuzzRfa(const uint8_t* data, size_t size)
{
    std::optional<TRfaArchive> archive;
    try {
        archive.emplace(TRfaArchive::FromBytes(std::string(Bytes(data, size)), "fuzz.rfa"));
    } catch (const EArchiveError&) {
        return;
    }
    // A table read takes no more entries than the file has room for.
    FUZZ_CHECK(archive->Entries().size() * 28 <= size);
    for (const TRfaEntry& entry : archive->Entries()) {
        try {
            const std::string bytes = archive->Read(entry);
            FUZZ_CHECK(bytes.size() == entry.FullSize);
            for (const TConCommand& command : ReadConCommands(bytes))
                FUZZ_CHECK(!command.Keyword.empty());
        } catch (const EArchiveError&) {
        }
    }
    // As a level: its world size and the objects of every game type, or the level's errors.
    try {
        const TLevel level = LevelFromArchiveEntries(*archive, "fuzz", true);
        ReadWorldSize(level);
        for (const char* mode : {"Conquest", "Ctf", "TDM", "SinglePlayer"})
            try {
                ReadLevelObjects(level, mode);
            } catch (const ELevelError&) {
            }
    } catch (const ELevelError&) {
    } catch (const EArchiveError&) {
    }
}

void FuzzTexture(const uint8_t* data, size_t size)
{
    // A DDS file says what it is; anything else is read by its name: as a .tga tile (FFmpeg's
    // decoder) and as a .dds name without its mark (Qt's readers).
    const std::string bytes(Bytes(data, size));
    const bool dds = bytes.starts_with("DDS ");
    for (const char* name : {"textures/tx00x00.dds", "textures/tx00x00.tga"}) {
        const bool tga = std::string_view(name).ends_with(".tga") && !dds;
        QImage picture;
        try {
            picture = DecodeTexture(bytes, name);
        } catch (const ELevelError&) {
            continue;
        }
        FUZZ_CHECK(!picture.isNull());
        FUZZ_CHECK(picture.format() == QImage::Format_RGB32);
        FUZZ_CHECK(picture.width() <= 8192 && picture.height() <= 8192);
        // Exactly the size the header gives (a decoder that disagreed would overrun).
        if (dds)
            FUZZ_CHECK(static_cast<uint32_t>(picture.width()) == Le32(bytes, 16) &&
                       static_cast<uint32_t>(picture.height()) == Le32(bytes, 12));
        if (tga)
            FUZZ_CHECK(picture.width() == (data[12] | data[13] << 8) && picture.height() == (data[14] | data[15] << 8));
    }
}

void FuzzCon(const uint8_t* data, size_t size)
{
    const std::string text(Bytes(data, size));
    const std::vector<TConCommand> commands = ReadConCommands(text);
    FUZZ_CHECK(commands.size() <= ScriptLines(text).size());
    // Written back a command a line, the commands read as the same commands: no comment, block
    // marker or blank is among them, and no word holds a separator or a line break.
    // After a blank line, so that no keyword's first bytes read as a byte-order mark.
    std::string written = "\r\n";
    size_t creates = 0;
    for (const TConCommand& c : commands) {
        FUZZ_CHECK(!c.Keyword.empty() && c.Keyword == LowerAscii(c.Keyword));
        FUZZ_CHECK(c.Keyword != "rem" && c.Keyword != "beginrem" && c.Keyword != "endrem");
        written += c.Keyword;
        for (const std::string& arg : c.Args) {
            FUZZ_CHECK(!arg.empty());
            written += " " + arg;
        }
        written += "\r\n";
        creates += c.Keyword == "object.create" && !c.Args.empty();
    }
    const std::vector<TConCommand> again = ReadConCommands(written);
    FUZZ_CHECK(again.size() == commands.size());
    for (size_t i = 0; i < again.size(); ++i)
        FUZZ_CHECK(again[i].Keyword == commands[i].Keyword && again[i].Args == commands[i].Args);

    // A level whose every script is these bytes. Conquest has its own templates; Ctf has none
    // and takes Conquest's, so both read the same objects. TDM is no game type of the level.
    TLevel level;
    level.SetName("fuzz");
    level.SetSource("fuzz");
    const auto file = [&text] { return text; };
    level.Add("Init/Terrain.con", file);
    for (const char* name : {"ControlPoints.con", "ObjectSpawns.con", "ControlPointTemplates.con", "ObjectSpawnTemplates.con"})
        level.Add(std::string("Conquest/") + name, file);
    for (const char* name : {"ControlPoints.con", "ObjectSpawns.con"})
        level.Add(std::string("Ctf/") + name, file);
    try {
        const int worldSize = ReadWorldSize(level);
        FUZZ_CHECK(worldSize >= 256 && worldSize <= 16384);
    } catch (const ELevelError&) {
    }
    try {
        ReadLevelObjects(level, "TDM");
        FUZZ_CHECK(false);
    } catch (const ELevelError&) {
    }

    const std::vector<TLevelObject> objects = ReadLevelObjects(level, "Conquest");
    const std::vector<TLevelObject> ctf = ReadLevelObjects(level, "Ctf");
    FUZZ_CHECK(ctf.size() == objects.size());
    for (size_t i = 0; i < objects.size(); ++i)
        FUZZ_CHECK(SameObject(ctf[i], objects[i]));
    // The object spawns, then the control points: the same creates of the same file.
    FUZZ_CHECK(objects.size() % 2 == 0 && objects.size() / 2 <= creates);
    const size_t half = objects.size() / 2;
    for (size_t i = 0; i < objects.size(); ++i) {
        const TLevelObject& o = objects[i];
        FUZZ_CHECK(std::isfinite(o.X) && std::isfinite(o.Y) && std::isfinite(o.Z));
        FUZZ_CHECK(o.ControlPoint == (i >= half));
        FUZZ_CHECK(!o.ControlPoint || o.Class == "controlpoint");
        FUZZ_CHECK(!o.Class.empty());
        if (i >= half) {
            const TLevelObject& spawn = objects[i - half];
            FUZZ_CHECK(o.X == spawn.X && o.Y == spawn.Y && o.Z == spawn.Z);
        }
    }

    // The object file the map view reads: a group for each object, at its place (to three
    // decimals: half a thousandth off at most, and the subtraction's own rounding) and of its
    // team.
    TTextList objectFile;
    objectFile.SetText(ObjectFileText("fuzz", objects));
    const std::vector<TObjectGroup> groups = ReadObjectGroups(objectFile);
    FUZZ_CHECK(groups.size() == objects.size());
    for (size_t i = 0; i < groups.size(); ++i) {
        const TLevelObject& o = objects[i];
        FUZZ_CHECK(groups[i].ObjectClass == Trim(o.Class));
        FUZZ_CHECK(groups[i].Team == std::to_string(o.Team));
        const std::vector<std::string> parts = SplitAt(groups[i].Position, '/');
        FUZZ_CHECK(parts.size() == 3);
        const double values[3] = {o.X, o.Y, o.Z};
        for (size_t k = 0; k < 3; ++k)
            FUZZ_CHECK(std::fabs(Parsed(parts[k]) - values[k]) <= 0.0005 * (1 + 1e-9) + std::fabs(values[k]) * 1e-15);
    }
}
