#include "library/LibraryIndex.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/Json.h"
#include "library/LibraryDatabase.h"
#include "library/LibraryQuery.h"
#include "library/RoundRecord.h"
#include "log/LogName.h"
#include "log/OpenedLog.h"
#include "log/PlayerIdentity.h"
#include "log/RoundIndex.h"
#include "log/StreamedLog.h"
#include "xmltree/ElementContent.h"
#include "xmltree/wexXMLTree.h"

#include <QDateTime>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <openssl/evp.h>
#include <sqlite3.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

// Every text goes into the library as the 8-bit text it is, one character a byte, so that what
// comes out is the same bytes whatever they were.
QString Text(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

template <typename T> QVariant Nullable(const std::optional<T>& value)
{
    return value ? QVariant::fromValue(*value) : QVariant(QMetaType::fromType<T>());
}

// Whether SQLite's result code refuses every write, not one row: the file is read-only, the
// disk is full, the file went or broke.
bool RefusesEveryWrite(int code)
{
    switch (code & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_PERM:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void ThrowUnwritable(const std::string& why, bool everyWrite)
{
    const std::string message = "The match library cannot be written: " + why;
    if (everyWrite)
        throw ELibraryUnwritable(message);
    throw EBaseError(message);
}

[[noreturn]] void Unwritable(const QSqlError& error)
{
    // SQLite's result code, or PostgreSQL's SQLSTATE: a connection lost (08), a server out of
    // room (53), read-only (25006) or shut down (57P).
    const QString code = error.nativeErrorCode();
    bool number = false;
    const int sqlite = code.toInt(&number);
    const bool everyWrite = number ? RefusesEveryWrite(sqlite)
                                   : code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("53")) ||
                                         code == QLatin1String("25006") || code.startsWith(QLatin1String("57P")) ||
                                         error.type() == QSqlError::ConnectionError;
    ThrowUnwritable(error.text().toStdString(), everyWrite);
}

// The UTF-8 form of an 8-bit text, as Qt's SQLite driver stores the QString of `Text`: the text
// itself when it is ASCII, else written into `room`.
std::string_view Utf8OfLatin1(std::string_view text, std::string& room)
{
    size_t high = 0;
    for (const char c : text)
        high += static_cast<unsigned char>(c) >> 7;
    if (high == 0)
        return text;
    room.clear();
    room.reserve(text.size() + high);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            room += c;
        } else {
            room += static_cast<char>(0xC0 | byte >> 6);
            room += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return room;
}

// A prepared statement whose values are bound in order. On an SQLite library it runs on the
// connection's own handle: Qt's binding formats a placeholder name for every value, which
// took about a tenth of a log's indexing. A server's library goes through Qt SQL.
class TStatement {
public:
    TStatement(QSqlDatabase& db, const char* sql, TRowWriting writing = TRowWriting::Direct) : FQuery(db)
    {
        const QVariant handle = db.driver() && writing == TRowWriting::Direct ? db.driver()->handle() : QVariant();
        if (handle.isValid() && std::strcmp(handle.typeName(), "sqlite3*") == 0)
            FHandle = *static_cast<sqlite3* const*>(handle.constData());
        if (FHandle) {
            if (sqlite3_prepare_v2(FHandle, sql, -1, &FStatement, nullptr) != SQLITE_OK)
                UnwritableHere();
        } else if (!FQuery.prepare(QString::fromLatin1(sql))) {
            Unwritable(FQuery.lastError());
        }
    }
    ~TStatement() { sqlite3_finalize(FStatement); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    template <typename... Values> void Run(const Values&... values)
    {
        Start(values...);
        if (FStatement)
            Finish();
    }
    // The first column of the row a statement with RETURNING gives.
    template <typename... Values> int64_t Id(const Values&... values)
    {
        Start(values...);
        if (FStatement) {
            if (FStep != SQLITE_ROW)
                UnwritableHere();
            const int64_t id = sqlite3_column_int64(FStatement, 0);
            Finish();
            return id;
        }
        if (!FQuery.next())
            Unwritable(FQuery.lastError());
        const int64_t id = FQuery.value(0).toLongLong();
        FQuery.finish(); // an unfinished statement would hold the transaction open
        return id;
    }

private:
    template <typename... Values> void Start(const Values&... values)
    {
        FBound = 0;
        (Bind(values), ...);
        if (FStatement) {
            FStep = sqlite3_step(FStatement);
            if (FStep != SQLITE_ROW && FStep != SQLITE_DONE)
                UnwritableHere();
        } else if (!FQuery.exec()) {
            Unwritable(FQuery.lastError());
        }
    }
    // Ready for the next values; nothing a statement read stays open in the transaction.
    void Finish()
    {
        sqlite3_reset(FStatement);
        sqlite3_clear_bindings(FStatement);
    }
    [[noreturn]] void UnwritableHere()
    {
        const std::string why = sqlite3_errmsg(FHandle);
        const int code = sqlite3_extended_errcode(FHandle);
        if (FStatement)
            sqlite3_reset(FStatement);
        ThrowUnwritable(why, RefusesEveryWrite(code));
    }
    void Checked(int result)
    {
        if (result != SQLITE_OK)
            UnwritableHere();
    }
    void Bind(std::string_view value)
    {
        if (!FStatement) {
            FQuery.addBindValue(Text(value));
            return;
        }
        const std::string_view text = Utf8OfLatin1(value, FText);
        // An empty text is '' as Qt binds it: a null pointer would bind NULL.
        Checked(sqlite3_bind_text64(FStatement, ++FBound, text.empty() ? "" : text.data(), text.size(),
                                    SQLITE_TRANSIENT, SQLITE_UTF8));
    }
    void Bind(const std::string& value) { Bind(std::string_view(value)); }
    void Bind(const char* value) { Bind(std::string_view(value)); }
    void Bind(const QVariant& value)
    {
        if (!FStatement) {
            FQuery.addBindValue(value);
            return;
        }
        if (value.isNull()) {
            Checked(sqlite3_bind_null(FStatement, ++FBound));
            return;
        }
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::Bool: Bind(value.toInt()); break;
        case QMetaType::LongLong: Bind(static_cast<int64_t>(value.toLongLong())); break;
        case QMetaType::Double: Bind(value.toDouble()); break;
        default: Bind(value.toString().toLatin1().toStdString()); break;
        }
    }
    void Bind(int value)
    {
        if (FStatement)
            Checked(sqlite3_bind_int(FStatement, ++FBound, value));
        else
            FQuery.addBindValue(value);
    }
    void Bind(int64_t value)
    {
        if (FStatement)
            Checked(sqlite3_bind_int64(FStatement, ++FBound, value));
        else
            FQuery.addBindValue(static_cast<qlonglong>(value));
    }
    void Bind(double value)
    {
        if (FStatement)
            Checked(sqlite3_bind_double(FStatement, ++FBound, value));
        else
            FQuery.addBindValue(value);
    }
    void Bind(bool value) { Bind(value ? 1 : 0); }

    QSqlQuery FQuery;
    sqlite3* FHandle = nullptr;
    sqlite3_stmt* FStatement = nullptr;
    int FBound = 0, FStep = SQLITE_DONE;
    std::string FText; // room for a converted text; SQLite copies each as it is bound
};

// A transaction that is rolled back unless committed: a failure midway leaves the library as it was.
class TTransaction {
public:
    explicit TTransaction(QSqlDatabase& db) : FDatabase(db)
    {
        if (!FDatabase.transaction())
            Unwritable(FDatabase.lastError());
    }
    ~TTransaction()
    {
        if (!FDone)
            FDatabase.rollback();
    }
    void Commit()
    {
        if (!FDatabase.commit())
            Unwritable(FDatabase.lastError());
        FDone = true;
    }

private:
    QSqlDatabase& FDatabase;
    bool FDone = false;
};

struct TFileStamp {
    int64_t size = 0;
    // Nanoseconds since the epoch, which 64 bits hold until 2262; a later time is its seconds
    // (which only a time of 1970's first minutes would also give). Only compared, never shown.
    int64_t modified = 0;
    int64_t seconds = 0; // since the epoch: the date a log's file time gives
};

int64_t StampNanoseconds(int64_t seconds, int64_t nanoseconds)
{
    int64_t scaled = 0;
    if (__builtin_mul_overflow(seconds, int64_t{1000000000}, &scaled) ||
        __builtin_add_overflow(scaled, nanoseconds, &scaled))
        return seconds;
    return scaled;
}

std::optional<TFileStamp> StampOf(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const auto seconds = static_cast<int64_t>(info.st_mtim.tv_sec);
    return TFileStamp{static_cast<int64_t>(info.st_size), StampNanoseconds(seconds, info.st_mtim.tv_nsec), seconds};
}

std::string AbsolutePath(const std::string& path) { return fs::absolute(fs::path(path)).lexically_normal().string(); }

// SHA-1 of a file's content as 40 lowercase hex digits, fed the bytes as the log is read.
class TContentHash {
public:
    TContentHash() : FContext(EVP_MD_CTX_new())
    {
        if (!FContext || EVP_DigestInit_ex(FContext, EVP_sha1(), nullptr) != 1)
            throw EBaseError("The content of a log cannot be hashed");
    }
    ~TContentHash() { EVP_MD_CTX_free(FContext); }
    TContentHash(const TContentHash&) = delete;
    TContentHash& operator=(const TContentHash&) = delete;

    void Add(std::string_view bytes)
    {
        if (EVP_DigestUpdate(FContext, bytes.data(), bytes.size()) != 1)
            throw EBaseError("The content of a log cannot be hashed");
    }
    std::string Hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        if (EVP_DigestFinal_ex(FContext, digest, &size) != 1)
            throw EBaseError("The content of a log cannot be hashed");
        static const char digits[] = "0123456789abcdef";
        std::string text;
        for (unsigned int i = 0; i < size; ++i) {
            text += digits[digest[i] >> 4];
            text += digits[digest[i] & 15];
        }
        return text;
    }

private:
    EVP_MD_CTX* FContext;
};

// The hash of a file read whole, for a log whose reading showed no bytes.
std::string ContentHash(const std::string& path)
{
    TContentHash hash;
    hash.Add(ReadWholeFile(path));
    return hash.Hex();
}

std::optional<double> Number(std::string_view text)
{
    long double value = 0;
    if (!TryStrToFloat(LocalizePoints(text), value) || !std::isfinite(static_cast<double>(value)))
        return std::nullopt;
    return static_cast<double>(value);
}

// The last value of a setting of the round's server, as the round's map is read; "" without one.
std::string ServerSetting(const TwexXMLNode& round, std::string_view name)
{
    std::string value;
    if (const TwexXMLNode* server = round.SelectNode("bf:server"))
        for (const TwexXMLNode* setting : server->Children())
            if (setting->Name() == "bf:setting")
                if (const TwexXMLAttribute* at = setting->AttributeByName("name"); at && at->Value() == name)
                    value = std::string(TrimView(setting->Value()));
    return value;
}

// The time stamp of the log's first element that has one: the moment the log's name dates.
std::optional<double> FirstTimestamp(const TwexXMLTree& document)
{
    const TwexXMLNode* top = document.FirstChild();
    const TwexXMLNode* log = top ? top->FirstChild() : nullptr;
    if (!log)
        return std::nullopt;
    for (const TwexXMLNode* child : log->Children())
        if (const TwexXMLAttribute* stamp = child->AttributeByName("timestamp"))
            return Number(stamp->Value());
    return std::nullopt;
}

std::string MinuteText(const QDateTime& time) { return time.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString(); }

// A log start moved on by whole seconds; as it was when the move is no number of seconds.
std::string Later(const std::string& start, double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e10)
        return start;
    // Wall-clock arithmetic, as the server's clock counts: read as UTC, a start in the hour a
    // summer time skips is still a time.
    const QString text = QString::fromLatin1(start);
    const QDateTime time(QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd")),
                         QTime::fromString(text.mid(11), QStringLiteral("HH:mm")), Qt::UTC);
    if (!time.isValid())
        return start;
    return time.addSecs(static_cast<qint64>(std::floor(seconds))).toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
}

// The identities of a log and which stay of an id holds a moment.
class TLogIdentities {
public:
    explicit TLogIdentities(const TwexXMLTree& document) : FIdentities(PlayerIdentities(document))
    {
        for (size_t i = 0; i < FIdentities.size(); ++i)
            for (const TPlayerStay& stay : FIdentities[i].Stays)
                FStays[stay.PlayerID].push_back({stay.JoinTime, i});
        for (auto& [id, stays] : FStays)
            std::stable_sort(stays.begin(), stays.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    const std::vector<TPlayerIdentity>& All() const { return FIdentities; }
    // The identity of the stay of `id` that joined last by `time`, else its first; nothing for an
    // id no stay held.
    const TPlayerIdentity* At(int32_t id, double time) const
    {
        const auto found = FStays.find(id);
        if (found == FStays.end())
            return nullptr;
        size_t at = found->second.front().second;
        for (const auto& [joined, identity] : found->second)
            if (joined <= time)
                at = identity;
        return &FIdentities[at];
    }

private:
    std::vector<TPlayerIdentity> FIdentities;
    std::unordered_map<int32_t, std::vector<std::pair<double, size_t>>> FStays;
};

std::string IdentityKey(const TPlayerIdentity* identity, const std::string& name)
{
    if (identity && !identity->KeyHash.empty())
        return identity->KeyHash;
    if (identity && !identity->Names.empty())
        return "name:" + identity->Names.front();
    return "name:" + name;
}

// Identities are shared by every log: each is found or added once per file.
class TIdentityRows {
public:
    TIdentityRows(QSqlDatabase& db, TRowWriting writing)
        : FAdd(db,
               "INSERT INTO identities (identity, keyhash) VALUES (?, ?) "
               "ON CONFLICT (identity) DO UPDATE SET keyhash = excluded.keyhash RETURNING id",
               writing),
          FName(db, "INSERT INTO identity_names (identity_id, name, folded) VALUES (?, ?, ?) ON CONFLICT DO NOTHING",
                writing)
    {
    }
    int64_t Row(const std::string& key, const std::string& keyhash)
    {
        const auto found = FRows.find(key);
        if (found != FRows.end())
            return found->second;
        const int64_t id = FAdd.Id(key, keyhash);
        FRows.emplace(key, id);
        return id;
    }
    void Name(int64_t identity, const std::string& name)
    {
        if (!name.empty() && FNames.insert({identity, name}).second)
            FName.Run(identity, name, FoldedName(name));
    }

private:
    TStatement FAdd, FName;
    std::map<std::string, int64_t> FRows;
    std::set<std::pair<int64_t, std::string>> FNames;
};

struct TChatLine {
    double time = 0;
    int32_t id = -1;
    std::string text;
};

// The round's "chat" events after its last "roundInit", as the round's events are taken.
std::vector<TChatLine> ChatOf(const TwexXMLNode& round)
{
    std::vector<TChatLine> lines;
    for (const TwexXMLNode* event : round.Children()) {
        if (event->Name() != "bf:event")
            continue;
        const TwexXMLAttribute* name = event->AttributeByName("name");
        if (!name)
            continue;
        if (name->Value() == "roundInit") {
            lines.clear();
            continue;
        }
        if (name->Value() != "chat")
            continue;
        TChatLine line;
        if (const TwexXMLAttribute* stamp = event->AttributeByName("timestamp"))
            line.time = Number(stamp->Value()).value_or(0);
        for (const TwexXMLNode* param : event->Children()) {
            const TwexXMLAttribute* at = param->AttributeByName("name");
            if (!at)
                continue;
            if (at->Value() == "player_id") {
                int32_t id = 0;
                if (TryStrToInt(TrimView(param->Value()), id))
                    line.id = id;
            } else if (at->Value() == "text")
                line.text = DecodeEntities(param->Value());
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace

std::string TableFieldsText(const std::vector<std::pair<std::string, std::string>>& fields)
{
    // Pairs rather than an object, which would lose the server's order. Written as the tool
    // writes its JSON rather than through QJsonDocument, which took a tenth of the time storing
    // a round takes.
    std::string json = "[";
    for (size_t i = 0; i < fields.size(); ++i) {
        json += i ? ",[" : "[";
        json += JsonString(fields[i].first);
        json += ',';
        json += JsonString(fields[i].second);
        json += ']';
    }
    json += ']';
    return json;
}

namespace {

std::string TicketsText(const std::vector<std::pair<std::string, std::string>>& tickets)
{
    std::string text;
    for (const auto& [team, left] : tickets)
        text += (text.empty() ? "" : ", ") + team + ":" + left;
    return text;
}

// Each id's stays on the server, from its "createPlayer" to its "destroyPlayer" or the log's
// end, over the whole log: players who joined before the first round are in the
// rounds too, though the roster has only those who joined within one.
class TStaySpans {
public:
    explicit TStaySpans(const TwexXMLTree& document)
    {
        const TwexXMLNode* top = document.FirstChild();
        const TwexXMLNode* log = top ? top->FirstChild() : nullptr;
        if (!log)
            return;
        // The log ends, as the roster has it, at the last time stamp of its last element.
        double last = NoLogEndTime;
        if (!log->Children().empty() && log->Children().back()->ChildCount() > 0)
            if (const TwexXMLAttribute* stamp = log->Children().back()->Children().back()->AttributeByName("timestamp"))
                last = Number(stamp->Value()).value_or(NoLogEndTime);
        std::unordered_map<int32_t, size_t> open;
        auto event = [&](const TwexXMLNode& e) {
            // Only joins and leaves count: the other events' times are not read at all.
            const TwexXMLAttribute* name = e.AttributeByName("name");
            if (!name)
                return;
            const bool creates = name->Value() == "createPlayer";
            if (!creates && name->Value() != "destroyPlayer")
                return;
            const TwexXMLAttribute* stamp = e.AttributeByName("timestamp");
            const std::optional<double> time = stamp ? Number(stamp->Value()) : std::nullopt;
            if (!time)
                return;
            std::optional<int32_t> id;
            for (const TwexXMLNode* param : e.Children())
                if (const TwexXMLAttribute* at = param->AttributeByName("name"); at && at->Value() == "player_id") {
                    int32_t value = 0;
                    if (TryStrToInt(TrimView(param->Value()), value))
                        id = value;
                }
            if (!id)
                return;
            const auto found = open.find(*id);
            if (found != open.end()) {
                FSpans[*id][found->second].second = *time;
                open.erase(found);
            }
            if (creates) {
                std::vector<std::pair<double, double>>& spans = FSpans[*id];
                open[*id] = spans.size();
                spans.push_back({*time, *time});
            }
        };
        for (const TwexXMLNode* child : log->Children()) {
            if (child->Name() == "bf:event")
                event(*child);
            else if (child->Name() == "bf:round")
                for (const TwexXMLNode* e : child->Children())
                    if (e->Name() == "bf:event")
                        event(*e);
        }
        for (const auto& [id, at] : open)
            FSpans[id][at].second = std::max(FSpans[id][at].first, last);
    }

    // Whole seconds of the id's stays that fall within [from, to]; a player the log never
    // created was there all along.
    int64_t SecondsWithin(int32_t id, double from, double to) const
    {
        const auto found = FSpans.find(id);
        if (found == FSpans.end())
            return static_cast<int64_t>(std::llround(std::max(0.0, to - from)));
        double seconds = 0;
        for (const auto& [join, leave] : found->second)
            seconds += std::max(0.0, std::min(to, leave) - std::max(from, join));
        return static_cast<int64_t>(std::llround(seconds));
    }

private:
    std::unordered_map<int32_t, std::vector<std::pair<double, double>>> FSpans;
};

} // namespace

namespace {

// Removes a file's rows and all that hangs on them; a library that cannot be written keeps them.
void ForgetFile(TLibraryDatabase& library, const std::string& path)
{
    try {
        TTransaction transaction(library.Connection());
        TStatement(library.Connection(), "DELETE FROM files WHERE path = ?").Run(path);
        transaction.Commit();
    } catch (const std::exception&) {
    }
}

} // namespace

bool IsLogFileName(const std::string& path)
{
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".xml" || extension == ".zxml";
}

namespace {

void AddLogFilesIn(const fs::path& folder, const fs::path& root, const std::string& realRoot,
                   std::vector<std::string>& files, std::vector<std::pair<std::string, std::string>>* unreadable)
{
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        if (unreadable)
            unreadable->push_back({folder.string(), "Cannot read folder " + folder.string() + ": " + error.message()});
        return;
    }
    std::vector<fs::path> subfolders;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        // Folders a link leads to are not entered: a link to a parent would never end.
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            subfolders.push_back(it->path());
            continue;
        }
        if (!IsLogFileName(it->path().string()) || !it->is_regular_file(ignored))
            continue;
        // A link is the log it leads to: a log linked beside itself is one log, not two.
        if (it->is_symlink(ignored)) {
            const fs::path real = fs::canonical(it->path(), ignored);
            if (!ignored) {
                // Named under the folder as given when it leads into it, as its other files are.
                const std::string target = real.string();
                const bool inside = !realRoot.empty() && target.size() > realRoot.size() &&
                                    target.compare(0, realRoot.size(), realRoot) == 0 && target[realRoot.size()] == '/';
                files.push_back(inside ? root.string() + target.substr(realRoot.size()) : target);
                continue;
            }
        }
        files.push_back(it->path().string());
    }
    if (error && unreadable)
        unreadable->push_back({folder.string(), "Cannot read folder " + folder.string() + ": " + error.message()});
    for (const fs::path& subfolder : subfolders)
        AddLogFilesIn(subfolder, root, realRoot, files, unreadable);
}

} // namespace

std::vector<std::string> LogFilesIn(const std::string& folder, std::vector<std::pair<std::string, std::string>>* unreadable)
{
    std::vector<std::string> files;
    const fs::path root = fs::absolute(fs::path(folder)).lexically_normal();
    std::error_code unresolved;
    const std::string realRoot = fs::canonical(root, unresolved).string();
    AddLogFilesIn(root, root, realRoot, files, unreadable);
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

// What a log gives the library, however it was read.
struct TLogContent {
    const TwexXMLTree* document = nullptr; // the whole log, or what a reading in pieces kept
    const TPlayerList* roster = nullptr;
    const TwexXMLNode* firstRound = nullptr; // the round list's first element in the document
    std::vector<TRoundRecords> rounds;
    std::vector<std::vector<TChatLine>> chat; // each stored round's
    TLogReading reading;
    std::string note; // why the log ends early, when it does
};

// The records of a listed round, in order; false when the round cannot be replayed, which
// ends the log there with the reason as its note.
bool AddRound(TLogContent& content, const TwexXMLTree& tree, const TwexXMLNode& round, int index)
{
    try {
        content.rounds.push_back(RecordsOfRound(tree, round, index, *content.roster));
    } catch (const EBaseError& error) {
        if (content.note.empty())
            content.note = error.what();
        return false;
    }
    content.chat.push_back(ChatOf(round));
    return true;
}

// Opens the log for its rows, either way of reading it. A walk that fails keeps the rounds found
// before it, with its message as the note; a log that gave none is unread.
template <typename TLog>
void OpenLog(const std::string& path, TLog& log, TLogContent& content, const TFileBytesView& seeFile)
{
    try {
        log.Open(path, seeFile);
    } catch (const ELogNotStreamable&) {
        throw; // to be read whole
    } catch (const EBaseError& error) {
        if (log.Rounds().empty())
            throw;
        content.note = error.what();
    }
    content.roster = &log.Roster();
    content.reading = log.Reading();
    if (content.note.empty())
        content.note = content.reading.Note();
    if (!log.Rounds().empty())
        content.firstRound = log.Rounds().front().Node;
}

// Reads the log whole, as the window opens it.
void ReadWhole(const std::string& path, TOpenedLog& log, TLogContent& content, const TFileBytesView& seeFile)
{
    OpenLog(path, log, content, seeFile);
    content.document = &log.Document();
    for (int i = 0; i < static_cast<int>(log.Rounds().size()); ++i)
        if (!AddRound(content, log.Document(), *log.Round(i), i))
            break;
}

// Reads the log in pieces, a round at a time: the memory it takes does not grow with the log.
// The first reading gives what the rows of the file, the log and the identities need; the
// rounds come with the second, each stored as it comes.
void ReadStreamed(const std::string& path, TStreamedLog& log, TLogContent& content, const TFileBytesView& seeFile)
{
    OpenLog(path, log, content, seeFile);
    content.document = &log.Kept();
}

// One log as the library reads it: everything its rows need, the rounds' records coming one
// after another from ForEachRound. It touches no database, so that a scan can read logs on
// threads of their own while one thread writes.
class TLogReader {
public:
    TLogReader(const std::string& file, TLogReadingWay way)
        : path(AbsolutePath(file)),
          // Read twice, the rounds' tokens overflow what the first reading holds with the first.
          FStreamed(way == TLogReadingWay::InPiecesTwice ? 1 : TStreamedLog::DefaultKeptRoundBytes)
    {
        const std::optional<TFileStamp> stamped = StampOf(path);
        if (!stamped)
            throw EFOpenError(path);
        stamp = *stamped;
        // The bytes are hashed as the log reads them: a 10 MB file is not read twice.
        std::optional<TContentHash> content;
        bool seen = false;
        auto seeFile = [&content, &seen](std::string_view bytes) {
            content->Add(bytes);
            seen = true;
        };
        FReadWhole = way == TLogReadingWay::Whole;
        if (!FReadWhole) {
            try {
                content.emplace();
                ReadStreamed(path, FStreamed, FRead, seeFile);
            } catch (const ELogNotStreamable&) {
                FReadWhole = true;
                FRead = TLogContent();
            }
        }
        if (FReadWhole) {
            content.emplace();
            seen = false;
            ReadWhole(path, FWhole, FRead, seeFile);
        }
        hash = seen ? content->Hex() : ContentHash(path);
        note = FRead.note;
        readable = IsCompressedLogName(path) ? static_cast<int64_t>(FRead.reading.textSize) : stamp.size;
        identities.emplace(*FRead.document);
        spans.emplace(*FRead.document);
        roster = FRead.roster;

        // The log's server and port.
        named = ParseLogName(path);
        if (FRead.firstRound) {
            const TwexXMLNode& first = *FRead.firstRound;
            server = DecodeEntities(ServerSetting(first, "server name"));
            int value = 0;
            if (TryStrToInt(ServerSetting(first, "port"), value))
                port = value;
        }
        if (!port && named)
            port = named->Port;
        if (server.empty())
            server = named ? "port " + std::to_string(named->Port) : fs::path(path).parent_path().filename().string();
        logStart = FirstTimestamp(*FRead.document);
    }
    TLogReader(const TLogReader&) = delete;
    TLogReader& operator=(const TLogReader&) = delete;

    // Each round's records and chat in order, until `take` answers false. A round that cannot
    // be replayed ends the log there, its message the note unless the log had one.
    void ForEachRound(const std::function<bool(TRoundRecords& records, std::vector<TChatLine>& chat)>& take)
    {
        if (FReadWhole) {
            for (size_t r = 0; r < FRead.rounds.size(); ++r)
                if (!take(FRead.rounds[r], FRead.chat[r]))
                    return;
            return;
        }
        // Each round is handed on as the second reading gives it: only one is held at a time.
        FStreamed.ForEachRound([&](int index, const TwexXMLTree& tree, const TwexXMLNode& round) {
            TRoundRecords records;
            try {
                records = RecordsOfRound(tree, round, index, *roster);
            } catch (const EBaseError& error) {
                FRoundNote = error.what();
                return false;
            }
            std::vector<TChatLine> chat = ChatOf(round);
            return take(records, chat);
        });
    }
    // The note once every round has been read.
    std::string FinalNote() const { return note.empty() ? FRoundNote : note; }

    const std::string path;
    TFileStamp stamp;
    std::string hash;
    std::string note; // of the reading, before the rounds
    int64_t readable = 0;
    std::optional<TLogIdentities> identities;
    std::optional<TStaySpans> spans;
    const TPlayerList* roster = nullptr;
    std::optional<TLogName> named;
    std::string server;
    std::optional<int> port;
    std::optional<double> logStart;

private:
    TLogContent FRead;
    TOpenedLog FWhole;
    TStreamedLog FStreamed;
    bool FReadWhole = false;
    std::string FRoundNote;
};

using TRoundTake = std::function<bool(TRoundRecords& records, std::vector<TChatLine>& chat)>;
// Hands each round of a log to a taker, as TLogReader::ForEachRound does.
using TRoundSource = std::function<void(const TRoundTake& take)>;

// Stores the log `log` read, its rounds as `rounds` gives them, in one transaction; returns the
// rounds stored.
int StoreLog(TLibraryDatabase& library, const TLogReader& log, TRowWriting writing, const TRoundSource& rounds)
{
    const std::string& path = log.path;
    // Dated here, not by the log's reader: the local time zone is the storing thread's to read.
    const std::string started =
        log.named ? LogStartText(*log.named) : MinuteText(QDateTime::fromSecsSinceEpoch(log.stamp.seconds));
    const std::optional<double>& logStart = log.logStart;
    const TLogIdentities& identities = *log.identities;
    const TStaySpans& spans = *log.spans;
    const TPlayerList& roster = *log.roster;
    const std::string mod;

    QSqlDatabase& db = library.Connection();
    TTransaction transaction(db);
    TStatement(db, "DELETE FROM files WHERE path = ?", writing).Run(path);
    const int64_t fileRow =
        TStatement(db, "INSERT INTO files (path, size, modified, hash, readable, note, missing) "
                       "VALUES (?, ?, ?, ?, ?, ?, 0) RETURNING id",
                   writing)
            .Id(path, log.stamp.size, log.stamp.modified, log.hash, log.readable, log.note);
    const int64_t logRow =
        TStatement(db, "INSERT INTO logs (file_id, server, port, mod, started, dated_by_name) "
                       "VALUES (?, ?, ?, ?, ?, ?) RETURNING id",
                   writing)
            .Id(fileRow, log.server, Nullable(log.port), mod, started, log.named.has_value());

    TIdentityRows identityRows(db, writing);
    for (const TPlayerIdentity& identity : identities.All()) {
        const int64_t row = identityRows.Row(IdentityKey(&identity, ""), identity.KeyHash);
        for (const std::string& name : identity.Names)
            identityRows.Name(row, name);
    }
    auto identityOf = [&](int32_t id, double time, const std::string& name) {
        const TPlayerIdentity* identity = identities.At(id, time);
        const int64_t row = identityRows.Row(IdentityKey(identity, name), identity ? identity->KeyHash : "");
        identityRows.Name(row, name);
        return row;
    };

    TStatement addRound(db, "INSERT INTO rounds (log_id, place, map, mod, mode, started, start, length, players, "
                            "winner, victory, tickets, note) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id",
                        writing);
    TStatement addPlayer(db, "INSERT INTO player_rounds (round_id, identity_id, player_id, name, team, seconds, "
                             "table_score, table_kills, table_deaths, table_tks, table_fields, score, kills, deaths, tks) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                         writing);
    TStatement addKill(db, "INSERT INTO kills (round_id, time, team_kill, killer_id, killer_identity, killer_name, "
                           "killer_team, victim_id, victim_identity, victim_name, victim_team, weapon, kit, vehicle, "
                           "killer_x, killer_z, victim_x, victim_z) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                       writing);
    TStatement addChat(db, "INSERT INTO chat (round_id, time, player_id, name, text) VALUES (?, ?, ?, ?, ?)", writing);

    int stored = 0;
    auto storeRound = [&](const TRoundRecords& records, const std::vector<TChatLine>& chat) {
        ++stored;
        if (stored == 1 && !records.round.mod.empty())
            TStatement(db, "UPDATE logs SET mod = ? WHERE id = ?", writing).Run(records.round.mod, logRow);
        const TRoundRecord& round = records.round;
        const double start = round.start.value_or(0);
        const double end = start + static_cast<double>(round.length);
        const std::string roundStarted = round.start && logStart ? Later(started, *round.start - *logStart) : started;
        const int64_t roundRow = addRound.Id(logRow, round.index, round.map, round.mod, round.mode, roundStarted,
                                             Nullable(round.start), round.length, round.players, round.winner,
                                             round.victoryType, TicketsText(round.tickets), round.note);

        std::unordered_map<int32_t, std::pair<int64_t, int>> players; // id -> identity, team
        for (const TPlayerRoundRecord& p : records.players) {
            const int64_t identity = identityOf(p.id, end, p.name);
            players[p.id] = {identity, p.team};
            const std::optional<int> kills = p.replay ? std::optional<int>(p.replay->kills) : std::nullopt;
            const std::optional<int> deaths = p.replay ? std::optional<int>(p.replay->deaths) : std::nullopt;
            const std::optional<int> tks = p.replay ? std::optional<int>(p.replay->tks) : std::nullopt;
            const int64_t seconds = round.start ? spans.SecondsWithin(p.id, start, end) : 0;
            // The replay keeps no score of its own: the score is the server's.
            addPlayer.Run(roundRow, identity, p.id, p.name, p.team, seconds, Nullable(p.score), Nullable(p.kills),
                          Nullable(p.deaths), Nullable(p.tks), TableFieldsText(p.tableFields), Nullable(p.score),
                          Nullable(kills), Nullable(deaths), Nullable(tks));
        }
        auto player = [&](int32_t id, double time, const std::string& name) -> std::pair<int64_t, int> {
            const auto found = players.find(id);
            if (found != players.end())
                return found->second;
            return {identityOf(id, time, name), 0};
        };
        for (const TKillRecord& kill : records.kills) {
            const auto [killer, killerTeam] = player(kill.killerID, kill.time, kill.killerName);
            const auto [victim, victimTeam] = player(kill.victimID, kill.time, kill.victimName);
            auto x = [](const std::optional<TWorldPlace>& place) {
                return place ? QVariant(place->x) : QVariant(QMetaType::fromType<double>());
            };
            auto z = [](const std::optional<TWorldPlace>& place) {
                return place ? QVariant(place->z) : QVariant(QMetaType::fromType<double>());
            };
            addKill.Run(roundRow, kill.time, kill.teamKill, kill.killerID, killer, kill.killerName, killerTeam,
                        kill.victimID, victim, kill.victimName, victimTeam, kill.weapon, kill.kit, kill.vehicle,
                        x(kill.killerPlace), z(kill.killerPlace), x(kill.victimPlace), z(kill.victimPlace));
        }
        std::unordered_map<int32_t, const std::string*> names;
        for (const TPlayerRoundRecord& p : records.players)
            names[p.id] = &p.name;
        for (const TChatLine& line : chat) {
            const auto found = names.find(line.id);
            std::string name = found != names.end() ? *found->second : "";
            if (name.empty())
                for (const TPlayerInfo& stay : roster)
                    if (stay.PlayerID == line.id && stay.JoinTime <= line.time)
                        name = DecodeEntities(stay.PlayerName);
            addChat.Run(roundRow, line.time, line.id, name, line.text);
        }
    };
    rounds([&](TRoundRecords& records, std::vector<TChatLine>& chat) {
        storeRound(records, chat);
        return true;
    });
    if (const std::string note = log.FinalNote(); note != log.note)
        TStatement(db, "UPDATE files SET note = ? WHERE id = ?", writing).Run(note, fileRow);
    transaction.Commit();
    return stored;
}

// Logs read ahead of the thread that stores them: up to `readers` logs at once, each on a
// thread of its own, stored in order by whoever calls StoreNext. A reader waits while a few of
// its rounds wait to be stored, and starts a log only within `readers` of the one being
// stored: the memory a scan takes does not grow with it.
class TReadAhead {
public:
    TReadAhead(const std::vector<std::string>& files, int readers) : FReaders(static_cast<size_t>(readers))
    {
        for (const std::string& file : files)
            FJobs.push_back(std::make_unique<TJob>(file));
        try {
            for (int i = 0; i < readers; ++i)
                FThreads.emplace_back([this] { Read(); });
        } catch (const std::system_error&) {
            if (FThreads.empty())
                throw; // fewer readers still read every log
        }
    }
    // Readers still reading stop at their next round; the logs they read are dropped.
    ~TReadAhead()
    {
        {
            const std::lock_guard lock(FLock);
            FStopping = true;
        }
        FChanged.notify_all();
        for (std::thread& thread : FThreads)
            thread.join();
    }
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // Stores the next of the files, `file`, as IndexLogFile does, raising what reading it raised.
    int StoreNext(TLibraryDatabase& library, const std::string& file)
    {
        TJob& job = *FJobs.at(FStored);
        if (job.file != file)
            throw std::logic_error("Logs read ahead out of order: " + file);
        // Stored or failed, the log is let go, and its reader may go on to the next.
        struct TDone {
            TReadAhead& ahead;
            TJob& job;
            ~TDone() { ahead.Finish(job); }
        } done{*this, job};
        std::unique_lock lock(FLock);
        FChanged.wait(lock, [&job] { return job.opened || job.ended; });
        if (!job.opened)
            std::rethrow_exception(job.error); // a reader that did not open its log says why
        lock.unlock();
        return StoreLog(library, *job.log, TRowWriting::Direct, [this, &job](const TRoundTake& take) {
            for (;;) {
                std::unique_lock lock(FLock);
                FChanged.wait(lock, [&job] { return !job.rounds.empty() || job.ended; });
                if (job.rounds.empty()) {
                    if (job.error)
                        std::rethrow_exception(job.error);
                    return;
                }
                std::pair<TRoundRecords, std::vector<TChatLine>> round = std::move(job.rounds.front());
                job.rounds.pop_front();
                lock.unlock();
                FChanged.notify_all();
                if (!take(round.first, round.second))
                    return;
            }
        });
    }

private:
    static constexpr size_t WaitingRounds = 4;

    struct TJob {
        explicit TJob(std::string f) : file(std::move(f)) {}
        const std::string file;
        std::unique_ptr<TLogReader> log;
        std::deque<std::pair<TRoundRecords, std::vector<TChatLine>>> rounds;
        bool opened = false;  // `log` has been read up to its rounds
        bool ended = false;   // its reader is done with it
        bool dropped = false; // no more of its rounds are wanted
        std::exception_ptr error;
    };

    // A reader thread: the next log not yet taken, while it is near enough the one stored.
    void Read()
    {
        for (;;) {
            std::unique_lock lock(FLock);
            FChanged.wait(lock, [this] { return FStopping || FNext >= FJobs.size() || FNext < FStored + FReaders; });
            if (FStopping || FNext >= FJobs.size())
                return;
            TJob& job = *FJobs[FNext++];
            lock.unlock();
            ReadJob(job);
        }
    }

    void ReadJob(TJob& job)
    {
        try {
            auto log = std::make_unique<TLogReader>(job.file, TLogReadingWay::InPieces);
            TLogReader& reading = *log;
            {
                const std::lock_guard lock(FLock);
                job.log = std::move(log);
                job.opened = true;
            }
            FChanged.notify_all();
            reading.ForEachRound([this, &job](TRoundRecords& records, std::vector<TChatLine>& chat) {
                std::unique_lock lock(FLock);
                FChanged.wait(lock, [this, &job] { return job.rounds.size() < WaitingRounds || job.dropped || FStopping; });
                if (job.dropped || FStopping)
                    return false;
                job.rounds.emplace_back(std::move(records), std::move(chat));
                lock.unlock();
                FChanged.notify_all();
                return true;
            });
        } catch (...) {
            const std::lock_guard lock(FLock);
            job.error = std::current_exception();
        }
        {
            const std::lock_guard lock(FLock);
            job.ended = true;
        }
        FChanged.notify_all();
    }

    // The log has been stored, or failed: its reader stops, and the log and what waited of it go.
    void Finish(TJob& job)
    {
        std::unique_lock lock(FLock);
        job.dropped = true;
        FChanged.notify_all();
        FChanged.wait(lock, [&job] { return job.ended; });
        std::unique_ptr<TLogReader> log = std::move(job.log);
        std::deque<std::pair<TRoundRecords, std::vector<TChatLine>>> rounds = std::move(job.rounds);
        ++FStored;
        lock.unlock();
        FChanged.notify_all();
    }

    const size_t FReaders;
    std::vector<std::unique_ptr<TJob>> FJobs;
    size_t FNext = 0;   // the next log a reader takes
    size_t FStored = 0; // the logs stored or failed
    bool FStopping = false;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<std::thread> FThreads;
};

} // namespace

int IndexLogFile(TLibraryDatabase& library, const std::string& file, TLogReadingWay way, TRowWriting writing)
{
    TLogReader log(file, way);
    return StoreLog(library, log, writing, [&log](const TRoundTake& take) { log.ForEachRound(take); });
}

TScanSummary ScanFolders(TLibraryDatabase& library, const std::vector<std::string>& folders, const TScanReport& report,
                         int readers)
{
    const auto began = std::chrono::steady_clock::now();
    TScanSummary summary;
    std::vector<std::string> roots;
    std::vector<std::string> found;
    for (const std::string& folder : folders) {
        roots.push_back(AbsolutePath(folder));
        std::error_code error;
        if (!fs::is_directory(roots.back(), error)) {
            summary.failures.push_back({roots.back(), "Cannot open folder " + roots.back()});
            continue;
        }
        // A subfolder that cannot be read is said, as a log that cannot be, and the scan goes on.
        for (std::string& file : LogFilesIn(roots.back(), &summary.failures))
            found.push_back(std::move(file));
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    summary.files = static_cast<int>(found.size());

    // What the library holds, read once: an unchanged file is passed over without being opened.
    struct THeld {
        TFileStamp stamp;
        bool missing = false;
        bool seen = false;
    };
    std::unordered_map<std::string, THeld> held;
    QSqlDatabase& db = library.Connection();
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT path, size, modified, missing FROM files")))
            throw EBaseError("The match library cannot be read: " + query.lastError().text().toStdString());
        while (query.next())
            held.emplace(query.value(0).toString().toLatin1().toStdString(),
                         THeld{{query.value(1).toLongLong(), query.value(2).toLongLong()}, query.value(3).toInt() != 0});
    }

    // Each file's stamp against the library's, all before any is read: the logs to read are
    // known, so that they can be read ahead.
    std::vector<bool> unchanged(found.size());
    std::vector<std::string> toRead;
    for (size_t i = 0; i < found.size(); ++i) {
        const auto at = held.find(found[i]);
        const std::optional<TFileStamp> stamp = StampOf(found[i]);
        unchanged[i] = at != held.end() && stamp && stamp->size == at->second.stamp.size &&
                       stamp->modified == at->second.stamp.modified;
        if (!unchanged[i])
            toRead.push_back(found[i]);
    }
    std::optional<TReadAhead> ahead;
    if (readers > 1 && toRead.size() > 1) {
        try {
            ahead.emplace(toRead, std::min(readers, static_cast<int>(toRead.size())));
        } catch (const std::system_error&) {
            ahead.reset(); // no thread to read on: this one reads
        }
    }

    std::vector<std::string> foundAgain;
    for (size_t i = 0; i < found.size(); ++i) {
        const std::string& file = found[i];
        if (report && !report({static_cast<int>(i), summary.files, file})) {
            summary.cancelled = true;
            break;
        }
        if (const auto at = held.find(file); at != held.end()) {
            at->second.seen = true;
            if (unchanged[i]) {
                ++summary.skipped;
                if (at->second.missing)
                    foundAgain.push_back(file);
                continue;
            }
        }
        try {
            summary.rounds += ahead ? ahead->StoreNext(library, file) : IndexLogFile(library, file);
            ++summary.indexed;
        } catch (const ELibraryUnwritable& error) {
            throw ELibraryUnwritable(std::string(error.what()) + " (the scan stopped at " + file + ", " +
                                     std::to_string(summary.indexed) + " logs stored before it)");
        } catch (const std::exception& error) {
            ++summary.failed;
            summary.failures.push_back({file, error.what()});
            // What the library held of the log is not what the file holds now: its rounds go
            // until it reads again, rather than count in every total as if it still held them.
            if (held.count(file))
                ForgetFile(library, file);
        }
    }

    if (!summary.cancelled) {
        std::vector<std::string> gone;
        for (const auto& [path, file] : held) {
            if (file.seen)
                continue;
            for (const std::string& root : roots)
                if (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                    (root.back() == '/' || path[root.size()] == '/')) {
                    gone.push_back(path);
                    break;
                }
        }
        std::sort(gone.begin(), gone.end());
        // A log stored under a link's name (as earlier scans stored links) is the log the link
        // leads to, stored under its own name: its rows go, or its rounds would count twice.
        std::vector<std::string> links;
        std::erase_if(gone, [&](const std::string& path) {
            std::error_code ignored;
            if (!fs::is_symlink(path, ignored))
                return false;
            const fs::path real = fs::canonical(path, ignored);
            if (ignored || !std::binary_search(found.begin(), found.end(), real.string()))
                return false;
            links.push_back(path);
            return true;
        });
        if (!links.empty()) {
            TTransaction transaction(db);
            TStatement forget(db, "DELETE FROM files WHERE path = ?");
            for (const std::string& path : links)
                forget.Run(path);
            transaction.Commit();
        }
        summary.missing = static_cast<int>(gone.size());
        if (!gone.empty() || !foundAgain.empty()) {
            TTransaction transaction(db);
            TStatement mark(db, "UPDATE files SET missing = ? WHERE path = ?");
            for (const std::string& path : gone)
                if (!held[path].missing)
                    mark.Run(1, path);
            for (const std::string& path : foundAgain)
                mark.Run(0, path);
            transaction.Commit();
        }
    } else if (!foundAgain.empty()) {
        TTransaction transaction(db);
        TStatement mark(db, "UPDATE files SET missing = 0 WHERE path = ?");
        for (const std::string& path : foundAgain)
            mark.Run(path);
        transaction.Commit();
    }
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    return summary;
}

std::string ScanSummaryJson(const TScanSummary& summary)
{
    // Written without the locale, which could make the decimal point a comma.
    char number[32];
    const auto written = std::to_chars(number, number + sizeof number, summary.seconds, std::chars_format::fixed, 3);
    const std::string seconds(number, written.ptr);
    return "{\"files\":" + std::to_string(summary.files) + ",\"indexed\":" + std::to_string(summary.indexed) +
           ",\"skipped\":" + std::to_string(summary.skipped) + ",\"failed\":" + std::to_string(summary.failed) +
           ",\"missing\":" + std::to_string(summary.missing) + ",\"rounds\":" + std::to_string(summary.rounds) +
           ",\"seconds\":" + seconds + "}";
}

int DefaultScanReaders(int coresKept)
{
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()) - coresKept, 1, MostScanReaders);
}
