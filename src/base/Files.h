#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// File names are 8-bit text in the system's own encoding, passed to the OS unchanged.

bool FileExists(const std::string& fileName); // a file, not a folder
// The file of that name, or else the one in its folder whose name differs only in the letter
// case of A to Z (the first in the folder's order), as the game's own platform finds files;
// "" when there is none.
std::string FindFileNoCase(const std::string& fileName);

class TMemoryStream;

// The most text the program takes in from one file, read or inflated: beyond it a hostile
// file (or a device that never ends) could make it take all the machine's memory.
inline constexpr size_t MaxTextSize = size_t(1) << 31;

// The whole file; raises "Cannot open file %s" when it cannot be opened or read.
std::string ReadWholeFile(const std::string& fileName);
// The same into a stream (replacing its content, position 0), for files too big to copy.
// Files that are no regular files (pipes, devices) are read to their end the same way; a pipe
// without a writer is not waited for. More than ceiling bytes raise ETextTooLarge.
void ReadWholeFile(const std::string& fileName, TMemoryStream& stream, size_t ceiling = MaxTextSize);

// Writes the bytes as the file's whole new content. The old file stays intact until the
// new one is complete, so a failed write never loses what was there. Raises "Cannot create
// file %s" when the file cannot be written.
void WriteWholeFile(const std::string& fileName, std::string_view bytes);

// The text from the last "." of the file-name part (after the last "/") to the end, or "".
std::string ExtractFileExt(std::string_view fileName);
// The file name with its extension replaced (or appended when it has none).
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);
std::string ExtractFilePath(std::string_view fileName); // up to and including the last "/"
std::string ExtractFileName(std::string_view fileName); // after the last "/"
