#include "log/EventInfo.h"

#include "base/Convert.h"
#include "base/Numeric.h"
#include "xmltree/wexXMLTree.h"

#include <unordered_map>

std::string TEventInfo::GetGridString() const
{
    return IntToStr(TruncToInt32(static_cast<long double>(PosX) / 250)) + ":" +
           IntToStr(TruncToInt32(static_cast<long double>(PosZ) / 250));
}

bool TEventInfo::HasCords() const { return PosX != 0 || PosY != 0 || PosZ != 0; }

std::string CleanNumber(std::string_view text)
{
    const char separator = DecimalSeparator();
    std::string kept;
    for (const char c : text)
        if ((c >= '0' && c <= '9') || c == separator)
            kept += c;
    return kept.empty() ? "-1" : kept;
}

namespace {

// The number one part of a vector gives: its digits and decimal points read as one number, -1
// when it has none. `sep` is the decimal separator, never "/" nor a digit.
double VectorPart(std::string_view part, char sep)
{
    char kept[64];
    size_t n = 0;
    for (const char c : part) {
        if ((c >= '0' && c <= '9') || c == sep || c == '.') {
            if (n == sizeof kept)
                return static_cast<double>(StrToFloat(CleanNumber(LocalizePoints(part))));
            kept[n++] = c == '.' ? sep : c;
        }
    }
    return n ? static_cast<double>(StrToFloat(std::string_view(kept, n))) : -1.0;
}

} // namespace

TVectorParts ParseVector(std::string_view text)
{
    // Every place of every event is read here: the parts are cleaned on the stack. A separator
    // of "/" or a digit would change where the parts split, which only the general way keeps.
    const char sep = DecimalSeparator();
    if (sep != '/' && !(sep >= '0' && sep <= '9')) {
        const size_t first = text.find('/');
        const size_t second = first == std::string_view::npos ? first : text.find('/', first + 1);
        TVectorParts parts;
        if (first == std::string_view::npos) {
            // No slash: the whole is the third part, the others are missing.
            parts.First = parts.Second = -1;
            parts.Third = VectorPart(text, sep);
        } else if (second == std::string_view::npos) {
            // One: the second is missing.
            parts.First = VectorPart(text.substr(0, first), sep);
            parts.Second = -1;
            parts.Third = VectorPart(text.substr(first + 1), sep);
        } else {
            parts.First = VectorPart(text.substr(0, first), sep);
            parts.Second = VectorPart(text.substr(first + 1, second - first - 1), sep);
            parts.Third = VectorPart(text.substr(second + 1), sep);
        }
        return parts;
    }
    const std::string t = LocalizePoints(text);
    std::string_view rest = t;
    // The first two parts keep their "/", which the cleaning removes.
    auto takePart = [&rest]() {
        const size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return std::string_view();
        const std::string_view part = rest.substr(0, slash + 1);
        rest.remove_prefix(slash + 1);
        return part;
    };
    const std::string_view first = takePart();
    const std::string_view second = takePart();
    TVectorParts parts;
    parts.First = static_cast<double>(StrToFloat(CleanNumber(first)));
    parts.Second = static_cast<double>(StrToFloat(CleanNumber(second)));
    parts.Third = static_cast<double>(StrToFloat(CleanNumber(rest)));
    return parts;
}

double LogNumber(std::string_view text) { return static_cast<double>(StrToFloat(LocalizePoints(text))); }

namespace {

enum class TParam { PlayerID, PlayerLocation, VehiclePos, VictimID, ScoreType, Weapon, Vehicle, Kit, Team, PcoID, None };

TParam ParamOf(std::string_view name)
{
    // Servers spell the vehicle parameters both "vechicle" and "vehicle"; both fill the same
    // fields, so a later one of either spelling overrides an earlier one.
    static const std::unordered_map<std::string_view, TParam> names = {
        {"player_id", TParam::PlayerID}, {"player_location", TParam::PlayerLocation},
        {"vechicle_pos", TParam::VehiclePos}, {"vehicle_pos", TParam::VehiclePos},
        {"victim_id", TParam::VictimID}, {"score_type", TParam::ScoreType},
        {"weapon", TParam::Weapon}, {"vechicle", TParam::Vehicle}, {"vehicle", TParam::Vehicle},
        {"kit", TParam::Kit}, {"team", TParam::Team}, {"pco_id", TParam::PcoID},
    };
    const auto it = names.find(name);
    return it == names.end() ? TParam::None : it->second;
}

void ReadParameters(const TwexXMLNode& event, TEventInfo& record)
{
    for (const TwexXMLNode* param : event.Children()) {
        const TwexXMLAttribute* name = param->AttributeByName("name");
        if (!name)
            continue;
        const std::string_view value = param->Value();
        switch (ParamOf(name->Value())) {
        case TParam::PlayerID: record.PlayerID = VarToInt(value); break;
        case TParam::PlayerLocation: record.PlayerLocation = value; break;
        case TParam::VehiclePos: record.VehiclePos = value; break;
        case TParam::VictimID: record.VictimID = VarToInt(value); break;
        case TParam::ScoreType: record.ScoreType = value; break;
        case TParam::Weapon: record.Weapon = value; break;
        case TParam::Vehicle: record.Vehicle = value; break;
        case TParam::Kit: record.Kit = value; break;
        case TParam::Team: record.Team = VarToInt(value); break;
        case TParam::PcoID: record.PcoID = VarToInt(value); break;
        case TParam::None: break;
        }
    }
}

} // namespace

void BuildEventList(const TwexXMLNode& round, TEventInfoList& events)
{
    events.ClearEvents();
    // The latest record of each player id: an event without a position borrows from it, so
    // no backward search of the list is needed per event.
    std::unordered_map<int32_t, const TEventInfo*> latestOfPlayer;
    for (const TwexXMLNode* event : round.Children()) {
        if (event->Name() != "bf:event")
            continue;
        TEventInfo& record = *events.AddEvent();
        if (const TwexXMLAttribute* name = event->AttributeByName("name"))
            record.EventName = name->Value();
        if (const TwexXMLAttribute* timestamp = event->AttributeByName("timestamp"))
            record.Timestamp = LogNumber(timestamp->Value());
        ReadParameters(*event, record);
        std::string location = LocalizePoints(record.PlayerLocation);
        TVectorParts position = ParseVector(location);
        // Servers write X and Z of 0 ("0/0/0", "0/71.8/0") when they know no position, for a
        // dead killer, a player leaving a vehicle or the server: that is no place on the map.
        if (position.First == 0 && position.Third == 0 && !location.empty()) {
            location.clear();
            position = ParseVector(location);
        }
        record.PosX = position.First;
        record.PosY = position.Second;
        record.PosZ = position.Third;
        if (location.empty()) {
            const auto lender = latestOfPlayer.find(record.PlayerID);
            if (lender != latestOfPlayer.end()) {
                record.PosX = lender->second->PosX;
                record.PosY = lender->second->PosY;
                record.PosZ = lender->second->PosZ;
            }
        }
        latestOfPlayer[record.PlayerID] = &record;
    }
    for (int i = events.Count(); i-- > 0;)
        if (events.GetEvent(i)->EventName == "roundInit") {
            events.DeleteFirst(i + 1);
            break;
        }
}
