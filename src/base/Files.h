#pragma once

#include <cstddef>
#include <cstdint>
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

// A file's new content, written beside it under a temporary name that takes the file's place
// only when every write, the flush to disk and the close succeeded: a failure (a full disk)
// leaves the old file as it was, and an object destroyed before Commit leaves nothing. A name
// that is a link writes the file it links to. Each failure raises "Cannot create file %s" with
// the system's reason; an existing file that is no regular file (a device, a pipe) is refused.
class TFileReplacement {
public:
    explicit TFileReplacement(std::string fileName);
    ~TFileReplacement();
    TFileReplacement(const TFileReplacement&) = delete;
    TFileReplacement& operator=(const TFileReplacement&) = delete;

    void Write(std::string_view bytes); // at the position, which moves past them
    void Seek(uint64_t position);
    uint64_t Position() const { return FPosition; }
    uint64_t Size() const { return FSize; }
    // Every byte on the disk and the file closed, still under its temporary name: what can
    // fail has failed, so that several files can take their places together.
    void Close();
    void Commit(); // closes when still open, then takes the file's place

private:
    [[noreturn]] void Fail(int error);
    void Discard();

    std::string FFileName; // as the caller named it, for the messages
    std::string FTarget;   // the file replaced: the link's end when the name is a link
    std::string FTemporary;
    int FFd = -1;
    uint64_t FPosition = 0, FSize = 0;
};

// Writes the bytes as the file's whole new content through a TFileReplacement.
void WriteWholeFile(const std::string& fileName, std::string_view bytes);

// Whether both names lead to one existing file (links and other spellings of a path included).
bool SameFile(const std::string& a, const std::string& b);
// Whether the name leads to something that exists and is no regular file (a folder, a device).
bool ExistsAsNonRegularFile(const std::string& fileName);

// The text from the last "." of the file-name part (after the last "/") to the end, or "".
std::string ExtractFileExt(std::string_view fileName);
// The file name with its extension replaced (or appended when it has none).
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);
std::string ExtractFilePath(std::string_view fileName); // up to and including the last "/"
std::string ExtractFileName(std::string_view fileName); // after the last "/"
