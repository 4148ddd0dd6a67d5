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
#include <cstring>
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

EInflatedTooLarge::EInflatedTooLarge(size_t ceiling) : Ceiling(ceiling)
{
    SetMessage("The text is larger than " + std::to_string(ceiling) + " bytes");
}

TInflateResult InflateStream(TMemoryStream& source, TMemoryStream& dest, size_t ceiling)
{
    const uint64_t origin = source.Position(); // for the byte numbers of the source
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
                    throw EInflatedTooLarge(ceiling);
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
        if (total > 0 && status == Z_BUF_ERROR) {
            result.broken = TStreamBreak::CutOff; // no progress, and no input left to give
            break;
        }
        if (total > 0 && status == Z_DATA_ERROR) {
            // zlib tells the failed check value from other damage only by its message. A check
            // value that fails before the end of the file is damage that ended the stream early.
            const bool atEnd = zs.avail_in == 0 && fed == input.size();
            if (atEnd && zs.msg && std::strcmp(zs.msg, "incorrect data check") == 0) {
                result.broken = TStreamBreak::WrongChecksum;
            } else {
                result.broken = TStreamBreak::Damaged;
                result.damagedAt = origin + (fed - zs.avail_in);
            }
            break;
        }
        throw EZDecompressionError();
    }
    if (total > ceiling)
        throw EInflatedTooLarge(ceiling);
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

size_t LogTextLimit()
{
    const char* value = std::getenv(LogLimitVariable);
    if (!value || !*value)
        return size_t(1) << 30; // a real log inflates to 25 MB at most
    constexpr size_t Most = MaxTextSize >> 20;
    size_t megabytes = 0;
    for (const char* c = value; *c; ++c) {
        if (*c < '0' || *c > '9' || megabytes > Most) {
            megabytes = 0;
            break;
        }
        megabytes = megabytes * 10 + static_cast<size_t>(*c - '0');
    }
    if (megabytes < 1 || megabytes > Most)
        throw EBaseError(std::string(LogLimitVariable) + "=" + value + " is no number of megabytes from 1 to " +
                         std::to_string(Most));
    return megabytes << 20;
}

ELogTooLarge::ELogTooLarge(std::string_view fileName, size_t limit, bool inflated) : ETextTooLarge(fileName, limit)
{
    const std::string size = limit % (size_t(1) << 30) == 0 ? std::to_string(limit >> 30) + " GB"
                                                            : std::to_string(limit >> 20) + " MB";
    SetMessage("Cannot open file " + std::string(fileName) + (inflated ? ": its text is" : ": it is") + " larger than " +
               size + ", the limit of a log (" + LogLimitVariable + ")");
}

std::string SizeText(uint64_t bytes)
{
    if (bytes == 1)
        return "1 byte";
    if (bytes < 1000)
        return std::to_string(bytes) + " bytes";
    char text[32];
    // Below a megabyte as it would round, in kilobytes: "0.0 MB" tells nothing.
    if (bytes < 999950)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1e3);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

std::string TLogReading::Note() const
{
    switch (broken) {
    case TStreamBreak::None:
        return std::string();
    case TStreamBreak::CutOff:
        return "The log is cut off: " + SizeText(textSize) + " read";
    case TStreamBreak::Damaged:
        return "The log is damaged at byte " + std::to_string(damagedAt) + ": " + SizeText(textSize) + " read";
    case TStreamBreak::WrongChecksum:
        return "The log's checksum is wrong: " + SizeText(textSize) + " read";
    }
    return std::string();
}

namespace {

// Reads a compressed log and inflates it, its text at most `limit` bytes.
TInflateResult InflateLog(const std::string& fileName, TMemoryStream& inflated, size_t limit,
                          const TFileBytesView& seeFile = {})
{
    TMemoryStream compressed; // gone before the text is parsed
    compressed.LoadFromFile(fileName);
    if (seeFile)
        seeFile(compressed.View());
    try {
        return InflateStream(compressed, inflated, limit);
    } catch (const EInflatedTooLarge&) {
        throw ELogTooLarge(fileName, limit, true);
    }
}

} // namespace

TLogReading LoadLogFile(const std::string& fileName, TwexXMLTree& document)
{
    const size_t limit = LogTextLimit();
    if (!IsCompressedLogName(fileName)) {
        try {
            document.LoadFromFile(fileName, limit);
        } catch (const ETextTooLarge&) {
            throw ELogTooLarge(fileName, limit, false);
        }
        return {};
    }
    TMemoryStream inflated;
    TLogReading reading;
    static_cast<TInflateResult&>(reading) = InflateLog(fileName, inflated, limit);
    reading.textSize = inflated.Size();
    inflated.SetPosition(0);
    document.LoadFromStreamReleasing(inflated);
    return reading;
}

TLogReading LoadLogFile(const std::string& fileName, TwexXMLTree& document, const TFileBytesView& seeFile)
{
    if (!seeFile)
        return LoadLogFile(fileName, document);
    const size_t limit = LogTextLimit();
    if (!IsCompressedLogName(fileName)) {
        TMemoryStream bytes; // as the tree reads a file, but seen before it is parsed
        try {
            ReadWholeFile(fileName, bytes, limit);
        } catch (const ETextTooLarge&) {
            throw ELogTooLarge(fileName, limit, false);
        }
        seeFile(bytes.View());
        document.LoadFromStreamReleasing(bytes);
        return {};
    }
    TMemoryStream inflated;
    TLogReading reading;
    static_cast<TInflateResult&>(reading) = InflateLog(fileName, inflated, limit, seeFile);
    reading.textSize = inflated.Size();
    inflated.SetPosition(0);
    document.LoadFromStreamReleasing(inflated);
    return reading;
}

std::string ConvertZxmlLog(const std::string& fileName)
{
    if (!IsCompressedLogName(fileName))
        return std::string();
    TMemoryStream inflated;
    TLogReading reading;
    static_cast<TInflateResult&>(reading) = InflateLog(fileName, inflated, LogTextLimit());
    reading.textSize = inflated.Size();
    // An empty text is no log: it must not replace a file of the output's name.
    if (inflated.Size() == 0)
        throw EZDecompressionError();
    const std::string outputName = ChangeFileExt(fileName, ".xml");
    // A part, or a garbled text, must never take the place of a file of the output's name (a
    // whole log converted before, most of all).
    const auto kept = [&] { return EBaseError(reading.Note() + "; " + outputName + " kept as it was, nothing converted"); };
    if (reading.EndsEarly() && FileExists(outputName))
        throw kept();
    // A .xml name that links to the log itself must not replace it.
    if (SameFile(outputName, fileName))
        throw EFCreateError(outputName, "it is the log being converted");
    if (!reading.EndsEarly()) {
        inflated.SaveToFile(outputName);
        return outputName;
    }
    // What a crashed server's log holds is wanted as text all the same: written where no file
    // is, and still a failure, so that nobody takes it for a whole log.
    TFileReplacement file(outputName);
    file.Write(inflated.View());
    if (!file.CommitNew())
        throw kept();
    throw EBaseError(reading.Note() + "; " + outputName + " holds the text read");
}
