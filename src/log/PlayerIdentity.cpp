#include "log/PlayerIdentity.h"

#include "base/Convert.h"
#include "xmltree/ElementContent.h"
#include "xmltree/wexXMLTree.h"

#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace {

struct TStay {
    TPlayerStay stay;
    std::string keyHash;
    std::vector<std::string> names; // in order, a name again only after another
};

bool HasName(const TwexXMLNode& node, std::string_view value)
{
    const TwexXMLAttribute* name = node.AttributeByName("name");
    return name && name->Value() == value;
}

// The value of the event's last parameter of that name, as the roster reads parameters.
const TwexXMLNode* Param(const TwexXMLNode& event, std::string_view name)
{
    const TwexXMLNode* found = nullptr;
    for (const TwexXMLNode* param : event.Children())
        if (HasName(*param, name))
            found = param;
    return found;
}

std::optional<int32_t> PlayerID(const TwexXMLNode& event)
{
    const TwexXMLNode* param = Param(event, "player_id");
    if (!param)
        return std::nullopt;
    // Read as the roster reads it (trailing blanks allowed); a text it could not read names no
    // stay, and the event is passed over.
    std::string_view text = param->Value();
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    int32_t id = 0;
    if (!TryStrToInt(text, id))
        return std::nullopt;
    return id;
}

// 32 hex digits in lower case; "" for anything else.
std::string KeyHash(std::string_view text)
{
    text = TrimView(text);
    if (text.size() != 32)
        return {};
    std::string hash(text);
    for (char& c : hash) {
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
        else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return {};
    }
    return hash;
}

class TIdentityWalk {
public:
    void Event(const TwexXMLNode& event)
    {
        const TwexXMLAttribute* kind = event.AttributeByName("name");
        if (!kind)
            return;
        const std::string_view name = kind->Value();
        if (name == "createPlayer")
            Create(event);
        else if (name == "destroyPlayer") {
            if (const std::optional<int32_t> id = PlayerID(event))
                FCurrent.erase(*id);
        } else if (name == "playerKeyHash") {
            TStay* stay = StayOf(event);
            const TwexXMLNode* param = Param(event, "keyhash");
            // The first valid hash of a stay holds: a second one cannot move it to another player.
            if (stay && param && stay->keyHash.empty())
                stay->keyHash = KeyHash(param->Value());
        } else if (name == "changePlayerName") {
            TStay* stay = StayOf(event);
            const TwexXMLNode* param = Param(event, "name");
            if (stay && param)
                AddName(*stay, DecodeEntities(param->Value()));
        }
    }

    std::vector<TPlayerIdentity> Identities() const
    {
        std::vector<TPlayerIdentity> identities;
        std::unordered_map<std::string, size_t> byHash, byName;
        std::vector<std::unordered_set<std::string>> used;
        for (const TStay& stay : FStays) {
            std::unordered_map<std::string, size_t>& index = stay.keyHash.empty() ? byName : byHash;
            const std::string& key =
                !stay.keyHash.empty() ? stay.keyHash : (stay.names.empty() ? std::string() : stay.names.front());
            auto [at, added] = index.try_emplace(key, identities.size());
            if (added) {
                identities.push_back({stay.keyHash, {}, {}});
                used.emplace_back();
            }
            TPlayerIdentity& identity = identities[at->second];
            identity.Stays.push_back(stay.stay);
            for (const std::string& name : stay.names)
                if (used[at->second].insert(name).second)
                    identity.Names.push_back(name);
        }
        return identities;
    }

private:
    void Create(const TwexXMLNode& event)
    {
        TStay stay;
        // As the roster: without a parameter the id is 0 and the name empty, the last of a
        // repeated parameter wins.
        stay.stay.PlayerID = PlayerID(event).value_or(0);
        if (const TwexXMLAttribute* timestamp = event.AttributeByName("timestamp")) {
            long double time = 0;
            if (TryStrToFloat(LocalizePoints(timestamp->Value()), time))
                stay.stay.JoinTime = static_cast<double>(time);
        }
        if (const TwexXMLNode* param = Param(event, "name"))
            AddName(stay, DecodeEntities(param->Value()));
        // An id given again is another stay, maybe of another player: later events are its.
        FCurrent[stay.stay.PlayerID] = FStays.size();
        FStays.push_back(std::move(stay));
    }

    // The stay that holds the event's id now; nothing for an id no one holds.
    TStay* StayOf(const TwexXMLNode& event)
    {
        const std::optional<int32_t> id = PlayerID(event);
        if (!id)
            return nullptr;
        const auto found = FCurrent.find(*id);
        return found == FCurrent.end() ? nullptr : &FStays[found->second];
    }

    static void AddName(TStay& stay, std::string name)
    {
        if (!name.empty() && (stay.names.empty() || stay.names.back() != name))
            stay.names.push_back(std::move(name));
    }

    std::vector<TStay> FStays;
    std::unordered_map<int32_t, size_t> FCurrent; // id -> the stay holding it
};

} // namespace

std::vector<TPlayerIdentity> PlayerIdentities(const TwexXMLTree& document)
{
    // The log element is the tree's grandchild, as for the roster; its events and its rounds'
    // events are taken in the order of the log, so that each event meets the stay of its time.
    const TwexXMLNode* top = document.FirstChild();
    const TwexXMLNode* log = top ? top->FirstChild() : nullptr;
    if (!log)
        return {};
    TIdentityWalk walk;
    for (const TwexXMLNode* child : log->Children()) {
        if (child->Name() == "bf:event")
            walk.Event(*child);
        else if (child->Name() == "bf:round")
            for (const TwexXMLNode* event : child->Children())
                if (event->Name() == "bf:event")
                    walk.Event(*event);
    }
    return walk.Identities();
}
