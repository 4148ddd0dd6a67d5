#pragma once

#include "base/Files.h"

#include <cstddef>
#include <string>
#include <string_view>

class TMemoryStream;
class TwexXMLTree;

// Inflated text of a compressed log stops at this size, the most text the program reads.
inline constexpr size_t MaxInflatedSize = MaxTextSize;

struct TInflateResult {
    // The first stream broke off (cut short, or damaged) after giving text: dest holds the
    // text up to there.
    bool endsEarly = false;
};

// Inflates the zlib stream from the source's position to its end into dest, then sets dest's
// position to 0. A first stream that breaks off after giving some text gives that text and
// says so; every other zlib failure, a stream that asks for a preset dictionary, a stream that
// breaks off before giving any text and an inflated text larger than the ceiling raise the
// error "error". Whole streams that follow the first add their texts, the ceiling holding for
// them all; from the first bytes after a stream that are no whole stream on, the rest is ignored.
TInflateResult InflateStream(TMemoryStream& source, TMemoryStream& dest, size_t ceiling = MaxInflatedSize);

// Whether a log file name asks for inflation: its extension is ".zxml" in any letter case.
bool IsCompressedLogName(std::string_view fileName);

// What reading a log found besides its text.
struct TLogReading {
    bool endsEarly = false; // a compressed log broke off: the text is what it held up to there
    size_t textSize = 0;    // the text read, when it ends early
    // "The log ends early: 9.1 MB read", or "" when the log is whole.
    std::string Note() const;
};

// Reads the log into the document: inflated first when compressed, parsed as plain XML
// text otherwise. A failed inflation leaves the document as it was.
TLogReading LoadLogFile(const std::string& fileName, TwexXMLTree& document);

// Writes the inflated text of a compressed log beside it with the extension ".xml". Returns
// the name written, or "" when the name is no compressed log's and nothing was done. A log
// that inflates to no text at all raises "error" and writes nothing. `reading`, when given,
// tells whether the log ended early.
std::string ConvertZxmlLog(const std::string& fileName, TLogReading* reading = nullptr);
