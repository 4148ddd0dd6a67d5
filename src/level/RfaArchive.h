#pragma once

// The game's level archives (.rfa): a table at the end of the file (its offset in the first four
// bytes), each entry a path, its stored and full sizes and its offset; entries stored as they
// are, or, when the second header word is 1, compressed with LZO1X in segments.
//
// Nothing in the file is trusted: every offset and size is checked against the file's own size
// and a ceiling before any memory is taken, so a damaged archive costs at most what it holds.

#include "base/Errors.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// An archive that cannot be read: the message names the archive and what is wrong.
class EArchiveError : public EBaseError {
public:
    using EBaseError::EBaseError;
};

// The most one entry may hold once unpacked; real entries are a few megabytes.
inline constexpr uint64_t MaxArchiveEntrySize = uint64_t(256) << 20;

struct TRfaEntry {
    std::string Path; // as stored, with "/" separators
    uint32_t StoredSize = 0;
    uint32_t FullSize = 0;
    uint32_t Offset = 0;
};

class TRfaArchive {
public:
    // Reads the table of the archive file; its entries are read when asked.
    static TRfaArchive FromFile(const std::string& fileName);
    // The same over bytes in memory (tests and the fuzz target); name is for messages.
    static TRfaArchive FromBytes(std::string bytes, const std::string& name);

    const std::string& Name() const { return FName; }
    bool Compressed() const { return FCompressed; }
    const std::vector<TRfaEntry>& Entries() const { return FEntries; }
    // An entry's whole content, unpacked; EArchiveError when its bytes are damaged.
    std::string Read(const TRfaEntry& entry) const;

private:
    using TReader = std::function<void(uint64_t offset, size_t size, char* to)>;
    TRfaArchive(std::string name, uint64_t size, TReader reader);
    void ReadTable();
    std::string Bytes(uint64_t offset, uint64_t size) const;
    [[noreturn]] void Fail(const std::string& what) const;

    std::string FName;
    uint64_t FSize = 0;
    TReader FReader;
    bool FCompressed = false;
    std::vector<TRfaEntry> FEntries;
};

// Packs entries into archive bytes, stored or LZO1X-compressed in segments of segmentSize bytes,
// as the game writes them (tests and benchmarks make their levels with it).
struct TRfaFile {
    std::string Path;
    std::string Content;
};
std::string WriteRfaArchive(const std::vector<TRfaFile>& files, bool compressed, size_t segmentSize = 32768);
