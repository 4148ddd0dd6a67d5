#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class TMemoryStream;
class TwexXMLTree;

// Inflated text of a compressed log stops at this size: beyond it a hostile file could make
// the program take all the machine's memory.
inline constexpr size_t MaxInflatedSize = size_t(1) << 31;

// Inflates the zlib stream from the source's position to its end into dest, then sets dest's
// position to 0. Every zlib failure, a stream that asks for a preset dictionary, a stream cut
// short and an inflated text larger than the ceiling raise the error "error".
void InflateStream(TMemoryStream& source, TMemoryStream& dest, size_t ceiling = MaxInflatedSize);

// Whether a log file name asks for inflation: its extension is ".zxml" in any letter case.
bool IsCompressedLogName(std::string_view fileName);

// Reads the log into the document: inflated first when compressed, parsed as plain XML
// text otherwise. A failed inflation leaves the document as it was.
void LoadLogFile(const std::string& fileName, TwexXMLTree& document);

// Writes the inflated text of a compressed log beside it with the extension ".xml". Returns
// the name written, or "" when the name is no compressed log's and nothing was done.
std::string ConvertZxmlLog(const std::string& fileName);
