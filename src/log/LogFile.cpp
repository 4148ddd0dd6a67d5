#include "log/LogFile.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/HugePages.h"
#include "base/LoadProgress.h"
#include "base/MemoryStream.h"
#include "xmltree/wexXMLTree.h"

#include <zlib.h>

#include <climits>
#include <cstdlib>
#include <new>

namespace {

struct TInflater {
    z_stream stream{};
    bool open = false;
    ~TInflater()
    {
        if (open)
            inflateEnd(&stream);
    }
};

struct TMallocBuffer {
    char* data = nullptr;
    ~TMallocBuffer() { std::free(data); }
    char* Release()
    {
        char* p = data;
        data = nullptr;
        return p;
    }
};

} // namespace

void InflateStream(TMemoryStream& source, TMemoryStream& dest, size_t ceiling)
{
    const std::string_view input = source.Remaining();
    source.SetPosition(source.Size());
    if (input.empty()) {
        dest.SetPosition(0);
        return;
    }
    // The first buffer is the compressed size rounded up to 256 bytes; it then grows fourfold
    // at a time, so a file that inflates a thousandfold costs a few reallocations, not a
    // thousand. (Each move of a large buffer costs more than the pages it reserves unused.)
    size_t capacity = (input.size() + 255) / 256 * 256;
    const size_t limit = ceiling + 1; // one byte past the ceiling tells that it was passed
    if (capacity > limit)
        capacity = limit;
    TMallocBuffer out;
    out.data = static_cast<char*>(std::malloc(capacity));
    if (!out.data)
        throw std::bad_alloc();
    AdviseHugePages(out.data, capacity);

    TInflater inflater;
    if (inflateInit2(&inflater.stream, 15) != Z_OK)
        throw EZDecompressionError();
    inflater.open = true;
    z_stream& zs = inflater.stream;
    size_t fed = 0;
    size_t total = 0;
    for (;;) {
        if (zs.avail_in == 0 && fed < input.size()) {
            const size_t chunk = std::min<size_t>(input.size() - fed, UINT_MAX);
            zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data() + fed));
            zs.avail_in = static_cast<uInt>(chunk);
            fed += chunk;
        }
        if (total == capacity) {
            if (capacity == limit)
                throw EZDecompressionError();
            capacity = capacity > limit / 4 ? limit : capacity * 4;
            char* grown = static_cast<char*>(std::realloc(out.data, capacity));
            if (!grown)
                throw std::bad_alloc();
            out.data = grown;
            AdviseHugePages(out.data, capacity);
        }
        // Inflate in steps so that a long inflation can tell how far it has come.
        const size_t room = std::min<size_t>(capacity - total, LoadProgressStep);
        zs.next_out = reinterpret_cast<Bytef*>(out.data + total);
        zs.avail_out = static_cast<uInt>(room);
        const int result = inflate(&zs, Z_FINISH);
        total += room - zs.avail_out;
        ReportLoadProgress(TLoadPhase::Inflating, fed - zs.avail_in, input.size());
        if (result == Z_STREAM_END)
            break;
        if (result == Z_OK)
            continue;
        if (result == Z_BUF_ERROR && (zs.avail_out == 0 || (zs.avail_in == 0 && fed < input.size())))
            continue; // out of room or more input to give: go on
        // Corrupt data, a stream cut short (no progress possible), or one that asks for a
        // preset dictionary (a positive code: asking again would never end).
        throw EZDecompressionError();
    }
    if (total > ceiling)
        throw EZDecompressionError();
    if (char* trimmed = static_cast<char*>(std::realloc(out.data, total ? total : 1)))
        out.data = trimmed;
    if (dest.Size() == 0) {
        dest.Adopt(out.Release(), total, total);
    } else {
        dest.Write(out.data, total);
    }
    dest.SetPosition(0);
}

bool IsCompressedLogName(std::string_view fileName)
{
    return UpperCaseAscii(ExtractFileExt(fileName)) == ".ZXML";
}

void LoadLogFile(const std::string& fileName, TwexXMLTree& document)
{
    if (!IsCompressedLogName(fileName)) {
        document.LoadFromFile(fileName);
        return;
    }
    TMemoryStream compressed;
    TMemoryStream inflated;
    compressed.LoadFromFile(fileName);
    InflateStream(compressed, inflated);
    inflated.SetPosition(0);
    document.LoadFromStream(inflated);
}

std::string ConvertZxmlLog(const std::string& fileName)
{
    if (!IsCompressedLogName(fileName))
        return std::string();
    TMemoryStream compressed;
    TMemoryStream inflated;
    compressed.LoadFromFile(fileName);
    InflateStream(compressed, inflated);
    const std::string outputName = ChangeFileExt(fileName, ".xml");
    inflated.SaveToFile(outputName);
    return outputName;
}
