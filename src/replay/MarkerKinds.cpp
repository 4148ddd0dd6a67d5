#include "replay/MarkerKinds.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>

// Outside any namespace, as Qt's resource initialisation asks.
static void InitStandInResources() { Q_INIT_RESOURCE(MarkerKinds); }

namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool HasAny(const std::string& lower, std::initializer_list<std::string_view> words)
{
    return std::any_of(words.begin(), words.end(),
                       [&lower](std::string_view word) { return lower.find(word) != std::string::npos; });
}

// The name's parts as the game joins them: "Rus_AT", "ARVN_HeavyAssault_Alt", "Anti-Tank".
bool HasPart(std::string_view name, std::string_view part)
{
    std::string piece;
    auto matches = [&] { return !piece.empty() && Lower(piece) == part; };
    for (const char c : name) {
        if (c == '_' || c == '-' || c == ' ' || c == '.') {
            if (matches())
                return true;
            piece.clear();
        } else {
            piece += c;
        }
    }
    return matches();
}

// A seat's name is its vehicle's name with the seat added: the seat's words ("MG", "Gunner",
// "M240") must not make a tank a machine gun.
std::string VehicleOfSeat(const std::string& lower)
{
    const size_t pco = lower.find("pco");
    if (pco == std::string::npos)
        return lower;
    std::string vehicle = lower.substr(0, pco);
    for (std::string_view seat : {"gunner", "_mg42", "mg42", "_mg", "mg", "m240", "m60", "_"}) {
        while (vehicle.size() > seat.size() && vehicle.ends_with(seat))
            vehicle.erase(vehicle.size() - seat.size());
    }
    return vehicle;
}

TMarkerKind KindOfVehicle(const std::string& lower, bool seat)
{
    if (HasAny(lower, {"heli", "uh-1", "uh1", "uh-60", "uh60", "ah-1", "ah1", "ah-64", "ah64", "huey", "cobra", "apache",
                       "chinook", "ch-47", "ch47", "kiowa", "oh-6", "oh6", "loach", "mi-8", "mi8", "mi-24", "mi24",
                       "hind", "blackhawk", "seaknight", "havoc", "hokum", "lynx", "gazelle"}))
        return TMarkerKind::Helicopter;
    if (HasAny(lower, {"plane", "jet", "bomber", "fighter", "phantom", "f4", "f-4", "f-100", "f100", "f-5", "f5e",
                       "mig", "a-1", "a1h", "skyraider", "a-4", "a4", "skyhawk", "a-6", "intruder", "b-52", "b52",
                       "spitfire", "bf109", "me262", "zero", "corsair", "mustang", "p51", "p-51", "p-47", "p47",
                       "yak", "stuka", "ju87", "ju88", "b17", "b-17", "lancaster", "il2", "il-2", "lavochkin", "la5",
                       "wildcat", "hellcat", "dauntless", "avenger", "typhoon", "mosquito",
                       "frogfoot", "su25", "su-25", "harrier", "tornado", "thunderbolt"}))
        return TMarkerKind::Plane;
    if (HasAny(lower, {"boat", "ship", "pbr", "lcvp", "higgins", "sampan", "destroyer", "carrier", "submarine",
                       "uboat", "u-boat", "battleship", "cruiser", "frigate", "patrol", "junk", "gunboat",
                       "hovercraft", "landingcraft", "lcac", "raft", "zodiac", "yamato", "enterprise"}))
        return TMarkerKind::Boat;
    if (HasAny(lower, {"tank", "t34", "t-34", "t54", "t-54", "t55", "t-55", "t62", "t72", "t80", "panzer", "pz",
                       "tiger", "panther", "sherman", "patton", "m48", "m41", "m47", "m60a", "m1a", "abrams",
                       "pt76", "pt-76", "churchill", "chiha", "chi-ha", "type97", "type 97", "m10", "wolverine",
                       "elefant", "ferdinand", "jagd", "hetzer", "stug", "is2", "is-2", "kv1", "kv-1", "su85",
                       "su-85", "su100", "su-100", "stuart", "m5a", "cromwell", "challenger", "leopard",
                       "centurion", "sheridan", "m551", "type59", "type 59", "pt-91", "brumbar", "wespe", "priest",
                       "ontos"}))
        return TMarkerKind::Tank;
    if (HasAny(lower, {"apc", "btr", "m113", "hanomag", "halftrack", "half-track", "sdkfz", "bmp", "brdm", "armored",
                       "armoured", "m3a", "m2a", "bradley", "puma", "greyhound", "m8", "lav", "stryker", "warrior",
                       "m706", "v100", "v-100", "commando", "scout car", "kettenkrad", "bren carrier", "universal"}))
        return TMarkerKind::ArmouredCar;
    if (HasAny(lower, {"jeep", "willys", "kubel", "kuebel", "car", "m151", "mutt", "uaz", "gaz", "buggy", "humvee",
                       "hmmwv", "motorcycle", "bike", "bmw", "sidecar", "vw", "type82", "quad"}))
        return TMarkerKind::Jeep;
    if (HasAny(lower, {"truck", "opel", "blitz", "gmc", "deuce", "zil", "m35", "zis", "studebaker", "lorry", "ural",
                       "kraz", "tanker", "m54", "m923"}))
        return TMarkerKind::Truck;
    if (HasAny(lower, {"artillery", "howitzer", "fieldgun", "field gun", "cannon", "pak", "zis3", "zis-3",
                       "57mm", "75mm", "76mm", "88", "105mm", "122mm", "155mm", "d30", "d-30", "m101", "m102",
                       "coastal", "mortar", "katyusha", "nebelwerfer", "rocket", "sam", "tow", "at_gun", "atgun"}))
        return TMarkerKind::StaticGun;
    if (!seat && HasAny(lower, {"mg", "machinegun", "machine gun", "flak", "aa", "browning", "m2", "m60", "m240",
                                "dshk", "zpu", "zu23", "zu-23", "bofors", "quad", "gatling", "minigun", "50cal",
                                ".50", "30cal", "maxim", "vickers", "stationary", "mount", "turret"}))
        return TMarkerKind::MachineGun;
    return TMarkerKind::Vehicle;
}

} // namespace

TMarkerKind KitKind(std::string_view kit)
{
    const std::string lower = Lower(kit);
    if (HasAny(lower, {"antitank", "anti-tank", "anti_tank", "bazooka", "rpg", "panzerschreck", "piat", "law"}) ||
        HasPart(kit, "at") || HasPart(kit, "atk"))
        return TMarkerKind::AntiTank;
    if (HasAny(lower, {"medic", "corpsman", "doctor", "nurse"}))
        return TMarkerKind::Medic;
    if (HasAny(lower, {"engineer", "sapper", "pioneer", "mechanic", "repair"}))
        return TMarkerKind::Engineer;
    if (HasAny(lower, {"scout", "sniper", "recon", "marksman", "spotter", "sharpshooter"}))
        return TMarkerKind::Scout;
    if (HasAny(lower, {"assault", "rifleman", "grenadier", "infantry", "trooper", "commando"}))
        return TMarkerKind::Assault;
    return TMarkerKind::Soldier;
}

TMarkerKind VehicleKind(std::string_view vehicle)
{
    const std::string lower = Lower(vehicle);
    const std::string ofSeat = VehicleOfSeat(lower);
    if (ofSeat != lower) {
        const TMarkerKind kind = KindOfVehicle(ofSeat, true);
        if (kind != TMarkerKind::Vehicle)
            return kind;
    }
    return KindOfVehicle(lower, false);
}

TMarkerKind MarkerKindOf(TMarkerFor what, std::string_view name)
{
    switch (what) {
    case TMarkerFor::Kit:
        return KitKind(name);
    case TMarkerFor::Vehicle:
        return VehicleKind(name);
    case TMarkerFor::Death:
        break;
    }
    return TMarkerKind::Death;
}

const char* MarkerKindName(TMarkerKind kind)
{
    switch (kind) {
    case TMarkerKind::Soldier: return "soldier";
    case TMarkerKind::Assault: return "assault";
    case TMarkerKind::Scout: return "scout";
    case TMarkerKind::Medic: return "medic";
    case TMarkerKind::Engineer: return "engineer";
    case TMarkerKind::AntiTank: return "antitank";
    case TMarkerKind::Vehicle: return "vehicle";
    case TMarkerKind::Tank: return "tank";
    case TMarkerKind::ArmouredCar: return "armouredcar";
    case TMarkerKind::Jeep: return "jeep";
    case TMarkerKind::Truck: return "truck";
    case TMarkerKind::Plane: return "plane";
    case TMarkerKind::Helicopter: return "helicopter";
    case TMarkerKind::Boat: return "boat";
    case TMarkerKind::StaticGun: return "staticgun";
    case TMarkerKind::MachineGun: return "machinegun";
    case TMarkerKind::Death: return "death";
    }
    return "soldier";
}

const QImage& StandInPicture(TMarkerKind kind)
{
    static std::once_flag loaded;
    static std::array<QImage, static_cast<size_t>(TMarkerKind::Death) + 1> pictures;
    std::call_once(loaded, [] {
        InitStandInResources();
        for (size_t i = 0; i < pictures.size(); ++i) {
            const auto k = static_cast<TMarkerKind>(i);
            QImage picture(QStringLiteral(":/markers/%1.bmp").arg(QLatin1String(MarkerKindName(k))));
            pictures[i] = picture.convertToFormat(QImage::Format_RGB888);
        }
    });
    return pictures[static_cast<size_t>(kind)];
}

std::string StandInKey(TMarkerKind kind) { return std::string("\x01") + MarkerKindName(kind); }
