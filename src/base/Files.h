#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// File names are 8-bit text in the system's own encoding, passed to the OS unchanged.

bool FileExists(const std::string& fileName); // a file, not a folder
// The file of that name, or else the one in its folder whose name differs only in the letter
// case of A to Z (the first in the folder's order), as the game's own platform finds files;
// "" when there is none.
std::string FindFileNoCase(const std::string& fileName);

class TMemoryStream;

// A file the user or a folder named, opened for reading. Only a regular file is opened: a pipe,
// a device or a socket is refused before it is opened, and the opening itself never waits, so
// that no name can make the program wait forever or read without end. Every file the program
// reads goes through here. A failure raises "Cannot open file %s" with the reason after a
// colon (the system's own words), except for a missing file and a folder, whose message is
// the bare one the program always gave.
class TInputFile {
public:
    explicit TInputFile(std::string fileName);
    ~TInputFile();
    TInputFile(const TInputFile&) = delete;
    TInputFile& operator=(const TInputFile&) = delete;

    const std::string& FileName() const { return FFileName; }
    int Handle() const { return FFd; }
    uint64_t Size() const { return FSize; } // as the file was opened
    // Up to n bytes from the offset into `to`; fewer only at the file's end. A failed read
    // raises with the system's reason.
    size_t ReadAt(uint64_t offset, size_t n, char* to) const;
    // The handle is the caller's from now on (to be closed by it).
    int Release();

private:
    std::string FFileName;
    int FFd = -1;
    uint64_t FSize = 0;
};

// Names of the game's and the log's (a map, a picture's name) are 8-bit text, one byte a
// character as the log gives them (Latin-1); the system names files in UTF-8. The file of such a
// name is named by the same characters in UTF-8: "b\xE9rlin" is the file "b\xC3\xA9rlin". ASCII
// names are their own file names.
std::string FileNameOfText(std::string_view text);
// The reverse, for a name taken from a file's name (an archive's, a folder's): a name in UTF-8
// whose characters are all Latin-1 becomes that text; any other name stays as its bytes.
std::string TextOfFileName(std::string_view fileName);

// The running program's own path, as bytes in the system's file-name encoding.
std::string ExecutablePath();
// The file names a name of the game may have on the disk, in the order to try them: its UTF-8
// form, then (when different) the bytes as they stand, which older imports and pictures
// copied from elsewhere have.
std::vector<std::string> FileNamesOfText(std::string_view text);

// The most text the program takes in from one file, read or inflated: beyond it a hostile
// file (or a device that never ends) could make it take all the machine's memory.
inline constexpr size_t MaxTextSize = size_t(1) << 31;

// The whole file (a regular file only, TInputFile); raises "Cannot open file %s" when it cannot
// be opened or read.
std::string ReadWholeFile(const std::string& fileName);
// The same into a stream (replacing its content, position 0), for files too big to copy.
// More than ceiling bytes raise ETextTooLarge.
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
    // As Commit, but only where no file has the name yet: when one has, it stays as it was,
    // the new content goes and the result is false.
    bool CommitNew();

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
