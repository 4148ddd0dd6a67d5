#include "mapview/MapObject.h"

#include "base/Convert.h"
#include "base/TextList.h"
#include "log/EventInfo.h"

#include <cmath>
#include <optional>

TMapObject::TMapObject()
{
    FImage.Transparent = true;
    FImage.AutoSize = false;
    FImage.Stretch = true;
}

void TMapObject::SetPosition(std::string_view position)
{
    FPosition = position;
    const TVectorParts parts = ParseVector(FPosition);
    FX = parts.First;
    FY = parts.Second;
    FZ = parts.Third;
}

void TMapObject::SetObjectClass(std::string_view objectClass) { FObjectClass = Trim(objectClass); }

namespace {
bool Within(const TMapObject& o, const TVectorParts& p, int tolerance)
{
    return std::fabs(o.FX - p.First) <= tolerance && std::fabs(o.FY - p.Second) <= tolerance &&
           std::fabs(o.FZ - p.Third) <= tolerance;
}
} // namespace

bool TMapObject::IsNear(std::string_view position, int tolerance) const
{
    return Within(*this, ParseVector(position), tolerance);
}

TMapObject* TMapObjectList::Add(std::string position)
{
    TEntry* entry = FItems.Emplace();
    entry->Text = std::move(position);
    return &entry->Object;
}

namespace {

// The position text is read when the first candidate is tested, as a search that tests
// nothing never reads it (and so never fails on it).
template <typename Qualifies>
TMapObject* SearchNear(const TMapObjectList& objects, std::string_view position, int step, Qualifies qualifies)
{
    std::optional<TVectorParts> parts;
    for (int round = 1; round <= 200; ++round)
        for (int i = 0; i < objects.Count(); ++i) {
            TMapObject* o = objects.Object(i);
            if (!qualifies(*o))
                continue;
            if (!parts)
                parts = ParseVector(position);
            if (Within(*o, *parts, step * round))
                return o;
        }
    return nullptr;
}

} // namespace

TMapObject* FindControlPointNear(const TMapObjectList& objects, std::string_view position)
{
    return SearchNear(objects, position, 10, [](const TMapObject& o) { return o.IsControlPoint(); });
}

TMapObject* FindOtherObjectNear(const TMapObjectList& objects, std::string_view position)
{
    return SearchNear(objects, position, 10, [](const TMapObject& o) { return !o.IsControlPoint(); });
}

TMapObject* FindMapObjectNear(const TMapObjectList& objects, std::string_view position, std::string_view pictureName)
{
    if (TMapObject* o = SearchNear(objects, position, 1,
                                   [&](const TMapObject& c) { return c.FPictureName == pictureName; }))
        return o;
    return FindOtherObjectNear(objects, position);
}

std::vector<TObjectGroup> ReadObjectGroups(const TTextList& file)
{
    static constexpr std::string_view Create = "OBJECT.CREATE";
    static constexpr std::string_view Position = "OBJECT.ABSOLUTEPOSITION";
    static constexpr std::string_view Team = "OBJECT.SETTEAM";
    auto after = [](const std::string& line, size_t skip) {
        return line.size() > skip ? line.substr(skip) : std::string();
    };
    // Only lines that hold a keyword somewhere take part.
    std::vector<std::string> lines, upper;
    for (const std::string& line : file.Lines) {
        std::string u = UpperCaseAscii(line);
        if (u.find(Create) != std::string::npos || u.find(Position) != std::string::npos ||
            u.find(Team) != std::string::npos) {
            lines.push_back(line);
            upper.push_back(std::move(u));
        }
    }
    std::vector<TObjectGroup> groups;
    const size_t count = lines.size();
    size_t i = 0;
    while (i + 1 < count) {
        if (upper[i].starts_with(Create)) {
            const size_t createLine = i++;
            if (!upper[i].starts_with(Position))
                continue;
            const size_t positionLine = i++;
            if (i >= count)
                break;
            if (!upper[i].starts_with(Team))
                continue;
            groups.push_back({Trim(after(lines[createLine], 14)), Trim(after(lines[positionLine], 24)),
                              after(lines[i], 15)});
            continue;
        }
        do
            ++i;
        while (i < count && upper[i].find(Create) == std::string::npos);
        if (i >= count)
            break;
    }
    return groups;
}
