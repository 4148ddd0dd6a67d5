#include "level/RfaArchive.h"

#include "base/Files.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <memory>

namespace {

constexpr uint64_t TableHeaderSize = 4;
constexpr uint64_t EntryFieldsSize = 24; // stored size, full size, offset and three words
constexpr uint32_t MaxPathLength = 4096;
// A segment of a compressed entry unpacks to at most this; the game's hold 32 KB.
constexpr uint32_t MaxSegmentSize = 16u << 20;
// LZO1X writes at most 255 bytes for each byte it reads (a run's length byte), so a segment that
// claims more is damaged; this keeps an entry's memory within a multiple of the file's size.
constexpr uint64_t MaxLzoRatio = 256;

uint32_t Le32(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void PutLe32(std::string& out, uint64_t value)
{
    if (value > 0xFFFFFFFFu)
        throw EArchiveError("The archive would exceed 4 GB");
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void InitLzo()
{
    static const bool ready = lzo_init() == LZO_E_OK;
    if (!ready)
        throw EArchiveError("The LZO library could not be initialised");
}

} // namespace

TRfaArchive::TRfaArchive(std::string name, uint64_t size, TReader reader)
    : FName(std::move(name)), FSize(size), FReader(std::move(reader))
{
}

TRfaArchive TRfaArchive::FromFile(const std::string& fileName)
{
    auto file = std::make_shared<const TInputFile>(fileName);
    TRfaArchive archive(fileName, file->Size(), [file](uint64_t offset, size_t n, char* to) {
        if (file->ReadAt(offset, n, to) != n)
            throw EArchiveError("Cannot read the archive " + file->FileName() + ": it ended early");
    });
    archive.ReadTable();
    return archive;
}

TRfaArchive TRfaArchive::FromBytes(std::string bytes, const std::string& name)
{
    auto held = std::make_shared<const std::string>(std::move(bytes));
    TRfaArchive archive(name, held->size(), [held](uint64_t offset, size_t n, char* to) {
        held->copy(to, n, static_cast<size_t>(offset));
    });
    archive.ReadTable();
    return archive;
}

void TRfaArchive::Fail(const std::string& what) const
{
    throw EArchiveError(FName + " is no readable level archive: " + what);
}

std::string TRfaArchive::Bytes(uint64_t offset, uint64_t size) const
{
    if (offset > FSize || size > FSize - offset)
        Fail("a part lies beyond the end of the file");
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size)
        FReader(offset, static_cast<size_t>(size), bytes.data());
    return bytes;
}

void TRfaArchive::ReadTable()
{
    if (FSize < 8)
        Fail("the file is too short");
    const std::string header = Bytes(0, 8);
    const uint64_t tableOffset = Le32(header.data());
    const uint32_t kind = Le32(header.data() + 4);
    if (kind > 1)
        Fail("unknown compression " + std::to_string(kind));
    FCompressed = kind == 1;
    // An offset within the header points at no table: the archive was never finished.
    if (tableOffset < 8)
        Fail("its table is missing (the header gives the offset " + std::to_string(tableOffset) + ")");
    if (tableOffset + TableHeaderSize > FSize)
        Fail("the table offset lies outside the file");
    // The table runs to the end of the file (a few bytes of padding may follow it); a real one
    // is a few hundred kilobytes.
    if (FSize - tableOffset > (uint64_t(64) << 20))
        Fail("the table is larger than 64 MB");
    const std::string table = Bytes(tableOffset, FSize - tableOffset);
    const uint32_t count = Le32(table.data());
    // Each entry takes at least its fields and a length: more than the table holds is damage.
    if (count > (table.size() - TableHeaderSize) / (4 + EntryFieldsSize))
        Fail("the table lists more entries than it holds");
    FEntries.reserve(count);
    size_t at = TableHeaderSize;
    for (uint32_t i = 0; i < count; ++i) {
        if (table.size() - at < 4)
            Fail("the table ends inside an entry");
        const uint32_t length = Le32(table.data() + at);
        at += 4;
        if (length == 0 || length > MaxPathLength || table.size() - at < length + EntryFieldsSize)
            Fail("entry " + std::to_string(i) + " has a bad path length");
        TRfaEntry entry;
        entry.Path.assign(table.data() + at, length);
        at += length;
        for (char& c : entry.Path)
            if (c == '\\')
                c = '/';
        entry.StoredSize = Le32(table.data() + at);
        entry.FullSize = Le32(table.data() + at + 4);
        entry.Offset = Le32(table.data() + at + 8);
        at += EntryFieldsSize;
        if (uint64_t(entry.Offset) + entry.StoredSize > tableOffset)
            Fail(entry.Path + " lies outside the data");
        if (entry.FullSize > MaxArchiveEntrySize)
            Fail(entry.Path + " is larger than " + std::to_string(MaxArchiveEntrySize >> 20) + " MB");
        if (!FCompressed && entry.FullSize != entry.StoredSize)
            Fail(entry.Path + " has different stored and full sizes in an uncompressed archive");
        FEntries.push_back(std::move(entry));
    }
}

std::string TRfaArchive::Read(const TRfaEntry& entry) const
{
    const std::string stored = Bytes(entry.Offset, entry.StoredSize);
    if (!FCompressed)
        return stored;
    // Segments: a count, then for each its stored size, full size and offset after the headers.
    const auto bad = [&](const std::string& what) { Fail(entry.Path + ": " + what); };
    if (stored.size() < 4)
        bad("the segment count is missing");
    const uint32_t segments = Le32(stored.data());
    if (segments > (stored.size() - 4) / 12)
        bad("more segments than the entry holds");
    const size_t dataStart = 4 + size_t(segments) * 12;
    InitLzo();
    std::string full;
    full.reserve(static_cast<size_t>(std::min<uint64_t>(entry.FullSize, stored.size() * MaxLzoRatio)));
    for (uint32_t s = 0; s < segments; ++s) {
        const char* h = stored.data() + 4 + size_t(s) * 12;
        const uint32_t packed = Le32(h), unpacked = Le32(h + 4), offset = Le32(h + 8);
        if (offset > stored.size() - dataStart || packed > stored.size() - dataStart - offset)
            bad("segment " + std::to_string(s) + " lies outside the entry");
        if (unpacked > MaxSegmentSize || full.size() + unpacked > entry.FullSize ||
            unpacked > uint64_t(packed) * MaxLzoRatio + 64)
            bad("segment " + std::to_string(s) + " claims more bytes than it can hold");
        const size_t before = full.size();
        full.resize(before + unpacked);
        lzo_uint got = unpacked;
        const int result = lzo1x_decompress_safe(reinterpret_cast<const unsigned char*>(stored.data() + dataStart + offset),
                                                 packed, reinterpret_cast<unsigned char*>(full.data() + before), &got,
                                                 nullptr);
        if (result != LZO_E_OK || got != unpacked)
            bad("segment " + std::to_string(s) + " is damaged");
    }
    if (full.size() != entry.FullSize)
        bad("the segments unpack to less than the entry's size");
    return full;
}

std::string WriteRfaArchive(const std::vector<TRfaFile>& files, bool compressed, size_t segmentSize)
{
    InitLzo();
    std::string out;
    out.resize(8, '\0');
    struct TPlaced {
        uint64_t stored, full, offset;
    };
    std::vector<TPlaced> placed;
    std::vector<unsigned char> work(LZO1X_1_MEM_COMPRESS);
    for (const TRfaFile& file : files) {
        const uint64_t offset = out.size();
        if (!compressed) {
            out += file.Content;
        } else {
            std::string headers, data;
            size_t count = 0;
            for (size_t at = 0; at < file.Content.size() || (count == 0 && at == 0); at += segmentSize) {
                const size_t n = std::min(segmentSize, file.Content.size() - at);
                std::string packed(n + n / 16 + 64 + 3, '\0');
                lzo_uint packedSize = packed.size();
                lzo1x_1_compress(reinterpret_cast<const unsigned char*>(file.Content.data() + at), n,
                                 reinterpret_cast<unsigned char*>(packed.data()), &packedSize, work.data());
                PutLe32(headers, packedSize);
                PutLe32(headers, n);
                PutLe32(headers, data.size());
                data.append(packed.data(), packedSize);
                ++count;
                if (n == 0)
                    break;
            }
            PutLe32(out, count);
            out += headers;
            out += data;
        }
        placed.push_back({out.size() - offset, file.Content.size(), offset});
    }
    const uint64_t tableOffset = out.size();
    PutLe32(out, files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        PutLe32(out, files[i].Path.size());
        out += files[i].Path;
        PutLe32(out, placed[i].stored);
        PutLe32(out, placed[i].full);
        PutLe32(out, placed[i].offset);
        PutLe32(out, 0);
        PutLe32(out, 0);
        PutLe32(out, 0);
    }
    std::string head;
    PutLe32(head, tableOffset);
    PutLe32(head, compressed ? 1 : 0);
    out.replace(0, 8, head);
    return out;
}
