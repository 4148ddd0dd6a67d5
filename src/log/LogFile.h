#pragma once

#include "base/Errors.h"
#include "base/Files.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TMemoryStream;
class TwexXMLTree;

// Inflated text of a compressed log stops at this size, the most text the program reads.
inline constexpr size_t MaxInflatedSize = MaxTextSize;

// How the first stream of a compressed log ended.
enum class TStreamBreak {
    None,         // whole
    CutOff,       // the file ends before the stream does
    Damaged,      // the deflate data makes no sense from some byte on
    WrongChecksum // the whole text came out, but its Adler-32 check value does not match
};

struct TInflateResult {
    // The first stream broke off (cut short, or damaged) after giving text: dest holds the
    // text up to there.
    TStreamBreak broken = TStreamBreak::None;
    uint64_t damagedAt = 0; // for Damaged: the byte of the source (1 the first) where it showed
    bool EndsEarly() const { return broken != TStreamBreak::None; }
};

// An inflated text larger than the ceiling; the message names the ceiling, the callers the log.
class EInflatedTooLarge : public EZDecompressionError {
public:
    explicit EInflatedTooLarge(size_t ceiling);
    size_t Ceiling;
};

// Inflates the zlib stream from the source's position to its end into dest, then sets dest's
// position to 0. A first stream that breaks off after giving some text gives that text and
// says how it broke; an inflated text larger than the ceiling raises EInflatedTooLarge as soon
// as it passes it; every other zlib failure, a stream that asks for a preset dictionary and a
// stream that breaks off before giving any text raise the error "error". Whole streams that
// follow the first add their texts, the ceiling holding for them all; from the first bytes
// after a stream that are no whole stream on, the rest is ignored.
TInflateResult InflateStream(TMemoryStream& source, TMemoryStream& dest, size_t ceiling = MaxInflatedSize);

// Whether a log file name asks for inflation: its extension is ".zxml" in any letter case.
bool IsCompressedLogName(std::string_view fileName);

// The most text a log may hold, read or inflated: 1 GB, or ORNWICK_MAX_LOG_MB megabytes (1 to
// 2048). A value that is no such number raises an error that says so.
inline constexpr const char* LogLimitVariable = "ORNWICK_MAX_LOG_MB";
size_t LogTextLimit();

// A log whose text passes the limit: "Cannot open file %s: it is larger than 1 GB, the limit
// of a log (ORNWICK_MAX_LOG_MB)", "its text" for a compressed one.
class ELogTooLarge : public ETextTooLarge {
public:
    ELogTooLarge(std::string_view fileName, size_t limit, bool inflated);
};

// "17 bytes", "145.3 KB", "9.1 MB": a size as a user reads it.
std::string SizeText(uint64_t bytes);

// What reading a log found besides its text.
struct TLogReading : TInflateResult {
    size_t textSize = 0; // the text read, when it ends early
    // "The log is cut off: 9.1 MB read", "The log is damaged at byte 5120: 145.3 KB read",
    // "The log's checksum is wrong: 2.9 MB read", or "" when the log is whole.
    std::string Note() const;
};

// Reads the log into the document: inflated first when compressed, parsed as plain XML
// text otherwise. A failed inflation leaves the document as it was. A log whose text passes
// LogTextLimit() is refused, a plain one before it is read, with the limit and the log named.
TLogReading LoadLogFile(const std::string& fileName, TwexXMLTree& document);

// Shown the bytes of the file as they were read, once, before they are parsed or inflated.
using TFileBytesView = std::function<void(std::string_view)>;
// The same, showing `seeFile` the file's bytes, so that a caller who needs them (a hash of the
// content) does not read the file a second time. A log refused before it is read shows nothing.
TLogReading LoadLogFile(const std::string& fileName, TwexXMLTree& document, const TFileBytesView& seeFile);

// Writes the inflated text of a compressed log beside it with the extension ".xml". Returns
// the name written, or "" when the name is no compressed log's and nothing was done. A log that
// inflates to no text at all raises "error" and writes nothing. One that broke off is written
// as far as it inflated when no file has the output's name, else that file stays as it was;
// either way it raises its note and what became of the output.
std::string ConvertZxmlLog(const std::string& fileName);
