#include "log/LogFile.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/HugePages.h"
#include "base/LoadProgress.h"
#include "base/MemoryMeter.h"
#include "base/MemoryStream.h"
#include "xmltree/wexXMLTree.h"

#include <zlib.h>

#include <climits>
#include <cstdio>
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

struct TOutputBuffer {
    char* data = nullptr;
    size_t capacity = 0;
    ~TOutputBuffer() { MeteredFree(data, capacity); }
    void Resize(size_t bytes)
    {
        data = static_cast<char*>(MeteredRealloc(data, capacity, bytes));
        capacity = bytes;
    }
};

// Gives the stream the next piece of the input once it has taken the last; zlib counts in 32 bits.
void FeedInput(z_stream& zs, std::string_view input, size_t& fed)
{
    if (zs.avail_in != 0 || fed >= input.size())
        return;
    const size_t chunk = std::min<size_t>(input.size() - fed, UINT_MAX);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data() + fed));
    zs.avail_in = static_cast<uInt>(chunk);
    fed += chunk;
}

// Inflates the rest of the stream under way into nowhere: whether it ends as a whole stream.
bool EndsWhole(z_stream& zs, std::string_view input, size_t& fed)
{
    char scratch[65536];
    for (;;) {
        FeedInput(zs, input, fed);
        zs.next_out = reinterpret_cast<Bytef*>(scratch);
        zs.avail_out = sizeof scratch;
        const int result = inflate(&zs, Z_FINISH);
        if (result == Z_STREAM_END)
            return true;
        if (result == Z_OK || (result == Z_BUF_ERROR && (zs.avail_out == 0 || (zs.avail_in == 0 && fed < input.size()))))
            continue;
        return false;
    }
}

} // namespace

TInflateResult InflateStream(TMemoryStream& source, TMemoryStream& dest, size_t ceiling)
{
    const std::string_view input = source.Remaining();
    source.SetPosition(source.Size());
    if (input.empty()) {
        dest.SetPosition(0);
        return {};
    }
    // The first buffer is the compressed size rounded up to 256 bytes; it then grows fourfold
    // at a time, so a file that inflates a thousandfold costs a few reallocations, not a
    // thousand. (Each move of a large buffer costs more than the pages it reserves unused.)
    size_t capacity = (input.size() + 255) / 256 * 256;
    const size_t limit = ceiling + 1; // one byte past the ceiling tells that it was passed
    if (capacity > limit)
        capacity = limit;
    TOutputBuffer out;
    out.Resize(capacity);
    AdviseHugePages(out.data, capacity);

    TInflater inflater;
    if (inflateInit2(&inflater.stream, 15) != Z_OK)
        throw EZDecompressionError();
    inflater.open = true;
    z_stream& zs = inflater.stream;
    size_t fed = 0;
    size_t total = 0;
    size_t streamStart = 0; // where the text of the stream being inflated begins
    bool firstStream = true;
    size_t nextReport = LoadProgressStep;
    TInflateResult result;
    for (;;) {
        FeedInput(zs, input, fed);
        if (total == capacity) {
            if (capacity == limit) {
                // The ceiling holds for all streams together; but a stream after the first
                // that breaks off is ignored however much it gave, as any other such one is.
                if (firstStream || EndsWhole(zs, input, fed))
                    throw EZDecompressionError();
                total = streamStart;
                break;
            }
            capacity = capacity > limit / 4 ? limit : capacity * 4;
            out.Resize(capacity);
            AdviseHugePages(out.data, capacity);
        }
        // Inflate in steps so that a long inflation can tell how far it has come.
        const size_t room = std::min<size_t>(capacity - total, LoadProgressStep);
        zs.next_out = reinterpret_cast<Bytef*>(out.data + total);
        zs.avail_out = static_cast<uInt>(room);
        const int status = inflate(&zs, Z_FINISH);
        total += room - zs.avail_out;
        if (total >= nextReport) {
            ReportLoadProgress(TLoadPhase::Inflating, fed - zs.avail_in, input.size());
            nextReport = total + LoadProgressStep;
        }
        if (status == Z_STREAM_END) {
            // Logs joined after one another are streams one after the other: each one that
            // follows adds its text.
            if (zs.avail_in == 0 && fed == input.size())
                break;
            if (inflateReset(&zs) != Z_OK)
                throw EZDecompressionError();
            streamStart = total;
            firstStream = false;
            continue;
        }
        if (status == Z_OK)
            continue;
        if (status == Z_BUF_ERROR && (zs.avail_out == 0 || (zs.avail_in == 0 && fed < input.size())))
            continue; // out of room or more input to give: go on
        // Corrupt data, a stream cut short (no progress possible), or one that asks for a
        // preset dictionary (a positive code: asking again would never end). After a whole
        // stream, what is no whole stream is ignored, with any text it began to give.
        if (!firstStream) {
            total = streamStart;
            break;
        }
        // A running server's log, or a crashed server's, breaks off mid-stream: the text up to
        // there is the log as far as it goes. A stream that gave nothing is no log at all.
        if ((status == Z_BUF_ERROR || status == Z_DATA_ERROR) && total > 0) {
            result.endsEarly = true;
            break;
        }
        throw EZDecompressionError();
    }
    if (total > ceiling)
        throw EZDecompressionError();
    ReportLoadProgress(TLoadPhase::Inflating, input.size(), input.size());
    if (dest.Size() == 0) {
        const size_t kept = total ? total : 1;
        out.Resize(kept);
        dest.Adopt(out.data, total, kept);
        out.data = nullptr;
        out.capacity = 0;
    } else {
        dest.Write(out.data, total);
    }
    dest.SetPosition(0);
    return result;
}

bool IsCompressedLogName(std::string_view fileName)
{
    return UpperCaseAscii(ExtractFileExt(fileName)) == ".ZXML";
}

std::string TLogReading::Note() const
{
    if (!endsEarly)
        return std::string();
    char megabytes[32];
    std::snprintf(megabytes, sizeof megabytes, "%.1f", static_cast<double>(textSize) / 1e6);
    return "The log ends early: " + std::string(megabytes) + " MB read";
}

TLogReading LoadLogFile(const std::string& fileName, TwexXMLTree& document)
{
    if (!IsCompressedLogName(fileName)) {
        document.LoadFromFile(fileName);
        return {};
    }
    TMemoryStream inflated;
    TLogReading reading;
    {
        TMemoryStream compressed; // gone before the text is parsed
        compressed.LoadFromFile(fileName);
        reading.endsEarly = InflateStream(compressed, inflated).endsEarly;
    }
    reading.textSize = inflated.Size();
    inflated.SetPosition(0);
    document.LoadFromStreamReleasing(inflated);
    return reading;
}

std::string ConvertZxmlLog(const std::string& fileName, TLogReading* reading)
{
    if (!IsCompressedLogName(fileName))
        return std::string();
    TMemoryStream compressed;
    TMemoryStream inflated;
    compressed.LoadFromFile(fileName);
    const TInflateResult inflation = InflateStream(compressed, inflated);
    // An empty text is no log: it must not replace a file of the output's name.
    if (inflated.Size() == 0)
        throw EZDecompressionError();
    const std::string outputName = ChangeFileExt(fileName, ".xml");
    // A .xml name that links to the log itself must not replace it.
    if (SameFile(outputName, fileName))
        throw EFCreateError(outputName, "it is the log being converted");
    inflated.SaveToFile(outputName);
    if (reading)
        *reading = {inflation.endsEarly, inflated.Size()};
    return outputName;
}
