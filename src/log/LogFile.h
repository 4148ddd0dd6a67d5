#pragma once

#include "base/Files.h"

#include <cstddef>
#include <string>
#include <string_view>

class TMemoryStream;
class TwexXMLTree;

// Inflated text of a compressed log stops at this size, the most text the program reads.
inline constexpr size_t MaxInflatedSize = MaxTextSize;

// Inflates the zlib stream from the source's position to its end into dest, then sets dest's
// position to 0. Every zlib failure, a stream that asks for a preset dictionary, a stream cut
// short and an inflated text larger than the ceiling raise the error "error". Whole streams
// that follow the first add their texts, the ceiling holding for them all; from the first
// bytes after a stream that are no whole stream on, the rest is ignored.
void InflateStream(TMemoryStream& source, TMemoryStream& dest, size_t ceiling = MaxInflatedSize);

// Whether a log file name asks for inflation: its extension is ".zxml" in any letter case.
bool IsCompressedLogName(std::string_view fileName);

// Reads the log into the document: inflated first when compressed, parsed as plain XML
// text otherwise. A failed inflation leaves the document as it was.
void LoadLogFile(const std::string& fileName, TwexXMLTree& document);

// Writes the inflated text of a compressed log beside it with the extension ".xml". Returns
// the name written, or "" when the name is no compressed log's and nothing was done. A log
// that inflates to no text at all raises "error" and writes nothing.
std::string ConvertZxmlLog(const std::string& fileName);
