#include "library/LibraryQuery.h"

#include "base/Errors.h"
#include "library/LibraryDatabase.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <map>
#include <unordered_map>

namespace {

// Text is 8-bit: each byte goes to the library as the character of the same code, and back.
QString Text(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

// A prepared statement whose values are all bound; a failure raises with the engine's reason.
class TStatement {
public:
    TStatement(TLibraryDatabase& library, const std::string& sql) : FQuery(library.Connection())
    {
        FQuery.setForwardOnly(true);
        if (!FQuery.prepare(QString::fromLatin1(sql.c_str())))
            Fail();
    }
    TStatement& Bind(const std::string& value)
    {
        FQuery.addBindValue(Text(value));
        return *this;
    }
    TStatement& Bind(int64_t value)
    {
        FQuery.addBindValue(static_cast<qlonglong>(value));
        return *this;
    }
    TStatement& Bind(const QVariant& value)
    {
        FQuery.addBindValue(value);
        return *this;
    }
    TStatement& Run()
    {
        if (!FQuery.exec())
            Fail();
        return *this;
    }
    bool Next() { return FQuery.next(); }

    std::string String(int column) const { return FQuery.value(column).toString().toLatin1().toStdString(); }
    int64_t Int(int column) const { return FQuery.value(column).toLongLong(); }
    double Real(int column) const { return FQuery.value(column).toDouble(); }
    bool Null(int column) const { return FQuery.isNull(column); }
    std::optional<TWorldPlace> Place(int x, int z) const
    {
        if (Null(x) || Null(z))
            return std::nullopt;
        return TWorldPlace{Real(x), Real(z)};
    }

private:
    [[noreturn]] void Fail() const
    {
        throw EBaseError("The match library cannot be read: " + FQuery.lastError().text().toStdString());
    }
    QSqlQuery FQuery;
};

// The conditions of a statement with the values they bind, in order.
struct TConditions {
    std::string sql;
    std::vector<QVariant> values; // bound in order
    void Add(const std::string& condition, const std::string& value)
    {
        sql += " AND " + condition;
        values.push_back(Text(value));
    }
    void Add(const std::string& condition, int64_t value)
    {
        sql += " AND " + condition;
        values.push_back(static_cast<qlonglong>(value));
    }
    void BindTo(TStatement& statement) const
    {
        for (const QVariant& value : values)
            statement.Bind(value);
    }
};

// The identities that used a name, any letter case.
const char* const IdentitiesNamed = "SELECT identity_id FROM identity_names WHERE folded = ?";

// The day after, as the filters' upper bound: "started" below it is on the day or before.
// Nothing for the last day a four-digit year holds, which bounds nothing.
std::optional<std::string> DayAfter(const std::string& day)
{
    const QDate next = QDate::fromString(QString::fromLatin1(day.c_str()), QStringLiteral("yyyy-MM-dd")).addDays(1);
    if (next.year() > 9999)
        return std::nullopt;
    return next.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

void CheckDay(const std::string& day, const char* what)
{
    if (!IsLibraryDate(day))
        throw EBaseError(std::string("The ") + what + " day must be written YYYY-MM-DD, not '" + day + "'");
}

const char* const RoundColumns =
    "SELECT r.id, f.path, r.place, r.started, l.server, r.map, r.mod, r.mode, r.length, r.players, r.winner, "
    "r.tickets, f.missing, l.dated_by_name FROM rounds r JOIN logs l ON l.id = r.log_id JOIN files f ON f.id = l.file_id WHERE 1 = 1";

std::vector<TLibraryRound> RoundsWhere(TLibraryDatabase& library, const TConditions& conditions)
{
    TStatement statement(library, RoundColumns + conditions.sql + " ORDER BY r.started, f.path, r.place");
    conditions.BindTo(statement);
    statement.Run();
    std::vector<TLibraryRound> rounds;
    while (statement.Next()) {
        TLibraryRound& r = rounds.emplace_back();
        r.id = statement.Int(0);
        r.file = statement.String(1);
        r.round = static_cast<int>(statement.Int(2));
        r.started = statement.String(3);
        r.server = statement.String(4);
        r.map = statement.String(5);
        r.mod = statement.String(6);
        r.mode = statement.String(7);
        r.length = statement.Int(8);
        r.players = static_cast<int>(statement.Int(9));
        r.winner = statement.String(10);
        r.tickets = statement.String(11);
        r.missing = statement.Int(12) != 0;
        r.datedByName = statement.Int(13) != 0;
    }
    return rounds;
}

// The most used first, ties by name.
std::vector<std::pair<std::string, int>> MostFirst(const std::map<std::string, int>& counts)
{
    std::vector<std::pair<std::string, int>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return sorted;
}

std::string Favourite(const std::map<std::string, int>& counts)
{
    const auto sorted = MostFirst(counts);
    return sorted.empty() ? std::string() : sorted.front().first;
}

// Players summed over their rounds, the server's table's counts where it has them and the
// replay's where it has none; `where` picks the identities ("i.id = ?" and the like).
std::vector<TLibraryPlayer> PlayersWhere(TLibraryDatabase& library, const std::string& where,
                                         const std::vector<std::string>& texts, const std::optional<int64_t>& identity)
{
    const auto bind = [&](TStatement& statement) {
        for (const std::string& text : texts)
            statement.Bind(text);
        if (identity)
            statement.Bind(*identity);
    };
    TStatement sums(library,
                    "SELECT i.id, i.keyhash, COUNT(DISTINCT pr.round_id), COALESCE(SUM(pr.seconds), 0), "
                    "COALESCE(SUM(COALESCE(pr.table_score, pr.score, 0)), 0), "
                    "COALESCE(SUM(COALESCE(pr.table_kills, pr.kills, 0)), 0), "
                    "COALESCE(SUM(COALESCE(pr.table_deaths, pr.deaths, 0)), 0), "
                    "COALESCE(SUM(COALESCE(pr.table_tks, pr.tks, 0)), 0), MAX(r.started) "
                    "FROM identities i LEFT JOIN player_rounds pr ON pr.identity_id = i.id "
                    "LEFT JOIN rounds r ON r.id = pr.round_id WHERE " +
                        where + " GROUP BY i.id, i.keyhash");
    bind(sums);
    sums.Run();
    std::vector<TLibraryPlayer> players;
    std::unordered_map<int64_t, size_t> at;
    while (sums.Next()) {
        TLibraryPlayer& p = players.emplace_back();
        p.identity = sums.Int(0);
        p.keyhash = sums.String(1);
        p.rounds = static_cast<int>(sums.Int(2));
        p.seconds = sums.Int(3);
        p.score = static_cast<int>(sums.Int(4));
        p.kills = static_cast<int>(sums.Int(5));
        p.deaths = static_cast<int>(sums.Int(6));
        p.tks = static_cast<int>(sums.Int(7));
        p.ratio = p.deaths ? static_cast<double>(p.kills) / p.deaths : p.kills;
        p.lastSeen = sums.Null(8) ? std::string() : sums.String(8);
        at[p.identity] = players.size() - 1;
    }
    if (players.empty())
        return players;

    // Every name, the one used in most of the player's rounds first.
    TStatement names(library,
                     "SELECT n.identity_id, n.name, (SELECT COUNT(*) FROM player_rounds pr WHERE pr.identity_id = "
                     "n.identity_id AND pr.name = n.name) FROM identity_names n JOIN identities i ON i.id = "
                     "n.identity_id WHERE " +
                         where);
    bind(names);
    names.Run();
    std::unordered_map<int64_t, std::map<std::string, int>> uses;
    while (names.Next())
        uses[names.Int(0)][names.String(1)] = static_cast<int>(names.Int(2));
    for (auto& [id, counts] : uses)
        if (const auto found = at.find(id); found != at.end())
            for (auto& [name, count] : MostFirst(counts))
                players[found->second].names.push_back(name);

    // What each killed with most.
    for (const char* column : {"kit", "vehicle", "weapon"}) {
        TStatement favourites(library, std::string("SELECT k.killer_identity, k.") + column +
                                           ", COUNT(*) FROM kills k JOIN identities i ON i.id = k.killer_identity "
                                           "WHERE k." + column + " <> '' AND " + where + " GROUP BY k.killer_identity, k." +
                                           column);
        bind(favourites);
        favourites.Run();
        std::unordered_map<int64_t, std::map<std::string, int>> counts;
        while (favourites.Next())
            counts[favourites.Int(0)][favourites.String(1)] = static_cast<int>(favourites.Int(2));
        for (auto& [id, byName] : counts)
            if (const auto found = at.find(id); found != at.end()) {
                TLibraryPlayer& p = players[found->second];
                (column[0] == 'k' ? p.kit : column[0] == 'v' ? p.vehicle : p.weapon) = Favourite(byName);
            }
    }
    std::stable_sort(players.begin(), players.end(), [](const TLibraryPlayer& a, const TLibraryPlayer& b) {
        return a.kills != b.kills ? a.kills > b.kills : a.identity < b.identity;
    });
    return players;
}

std::vector<TLibraryKill> KillsWhere(TLibraryDatabase& library, const char* column, int64_t identity)
{
    TStatement statement(library,
                         std::string("SELECT k.round_id, f.path, r.place, k.time, r.start, k.team_kill, k.killer_name, "
                                     "k.victim_name, k.weapon, k.kit, k.vehicle, k.killer_x, k.killer_z, k.victim_x, "
                                     "k.victim_z FROM kills k JOIN rounds r ON r.id = k.round_id JOIN logs l ON l.id = "
                                     "r.log_id JOIN files f ON f.id = l.file_id WHERE k.") +
                             column + " = ? ORDER BY r.started, f.path, r.place, k.time");
    statement.Bind(identity).Run();
    std::vector<TLibraryKill> kills;
    while (statement.Next()) {
        TLibraryKill& k = kills.emplace_back();
        k.round = statement.Int(0);
        k.file = statement.String(1);
        k.place = static_cast<int>(statement.Int(2));
        k.time = statement.Real(3);
        k.roundStart = statement.Null(4) ? k.time : statement.Real(4);
        k.teamKill = statement.Int(5) != 0;
        k.killer = statement.String(6);
        k.victim = statement.String(7);
        k.weapon = statement.String(8);
        k.kit = statement.String(9);
        k.vehicle = statement.String(10);
        k.killerPlace = statement.Place(11, 12);
        k.victimPlace = statement.Place(13, 14);
    }
    return kills;
}

} // namespace

std::string FoldedName(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
            c = static_cast<char>(u + 0x20);
    }
    return folded;
}

bool IsLibraryDate(const std::string& text)
{
    if (text.size() != 10)
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i == 4 || i == 7 ? text[i] != '-' : !(text[i] >= '0' && text[i] <= '9'))
            return false;
    return QDate::fromString(QString::fromLatin1(text.c_str()), QStringLiteral("yyyy-MM-dd")).isValid();
}

std::vector<TLibraryRound> LibraryRounds(TLibraryDatabase& library, const TRoundFilter& filter)
{
    TConditions conditions;
    if (!filter.map.empty())
        conditions.Add("r.map = ?", filter.map);
    if (!filter.mod.empty())
        conditions.Add("r.mod = ?", filter.mod);
    if (!filter.since.empty()) {
        CheckDay(filter.since, "first");
        conditions.Add("r.started >= ?", filter.since);
    }
    if (!filter.until.empty()) {
        CheckDay(filter.until, "last");
        if (const std::optional<std::string> after = DayAfter(filter.until))
            conditions.Add("r.started < ?", *after);
    }
    if (!filter.player.empty())
        conditions.Add(std::string("r.id IN (SELECT pr.round_id FROM player_rounds pr WHERE pr.identity_id IN (") +
                           IdentitiesNamed + "))",
                       FoldedName(filter.player));
    return RoundsWhere(library, conditions);
}

std::vector<TLibraryPlayer> LibraryPlayers(TLibraryDatabase& library, const std::string& name)
{
    if (name.empty())
        return PlayersWhere(library, "1 = 1", {}, std::nullopt);
    // The name's own "%", "_" and "!" are letters, not patterns.
    std::string pattern = "%";
    for (const char c : FoldedName(name)) {
        if (c == '%' || c == '_' || c == '!')
            pattern += '!';
        pattern += c;
    }
    pattern += '%';
    return PlayersWhere(library, "i.id IN (SELECT identity_id FROM identity_names WHERE folded LIKE ? ESCAPE '!')",
                        {pattern}, std::nullopt);
}

std::optional<TPlayerPage> PlayerPage(TLibraryDatabase& library, const std::string& name)
{
    TStatement find(library, std::string("SELECT i.id, COUNT(DISTINCT pr.round_id) AS played FROM identities i "
                                         "LEFT JOIN player_rounds pr ON pr.identity_id = i.id WHERE i.id IN (") +
                                 IdentitiesNamed + ") GROUP BY i.id ORDER BY played DESC, i.id");
    find.Bind(FoldedName(name)).Run();
    if (!find.Next())
        return std::nullopt;
    const int64_t identity = find.Int(0);

    const std::vector<TLibraryPlayer> players = PlayersWhere(library, "i.id = ?", {}, identity);
    if (players.empty())
        return std::nullopt;
    TPlayerPage page;
    page.player = players.front();
    TConditions played;
    played.Add("r.id IN (SELECT round_id FROM player_rounds WHERE identity_id = ?)", identity);
    page.rounds = RoundsWhere(library, played);
    page.kills = KillsWhere(library, "killer_identity", identity);
    page.deaths = KillsWhere(library, "victim_identity", identity);
    std::map<std::string, int> kits, vehicles, weapons;
    for (const TLibraryKill& kill : page.kills) {
        if (!kill.kit.empty())
            ++kits[kill.kit];
        if (!kill.vehicle.empty())
            ++vehicles[kill.vehicle];
        if (!kill.weapon.empty())
            ++weapons[kill.weapon];
    }
    page.byKit = MostFirst(kits);
    page.byVehicle = MostFirst(vehicles);
    page.byWeapon = MostFirst(weapons);
    return page;
}

std::vector<TWorldPlace> HeatPlaces(TLibraryDatabase& library, const THeatFilter& filter)
{
    const bool deaths = filter.kind == THeatKind::Deaths;
    const std::string side = deaths ? "victim" : "killer";
    std::string sql = "SELECT k." + side + "_x, k." + side + "_z FROM kills k JOIN rounds r ON r.id = k.round_id "
                      "WHERE r.map = ? AND k." + side + "_x IS NOT NULL AND k." + side + "_z IS NOT NULL";
    if (filter.team)
        sql += " AND k." + side + "_team = ?";
    if (!filter.weapon.empty())
        sql += " AND k.weapon = ?";
    if (!filter.player.empty())
        sql += " AND k." + side + "_identity IN (" + IdentitiesNamed + ")";
    TStatement statement(library, sql);
    statement.Bind(filter.map);
    if (filter.team)
        statement.Bind(*filter.team);
    if (!filter.weapon.empty())
        statement.Bind(filter.weapon);
    if (!filter.player.empty())
        statement.Bind(FoldedName(filter.player));
    statement.Run();
    std::vector<TWorldPlace> places;
    while (statement.Next())
        places.push_back({statement.Real(0), statement.Real(1)});
    return places;
}
