#include "TestUtil.h"
#include "base/Errors.h"
#include "base/MemoryStream.h"
#include "log/LogFile.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>

namespace {

// Deflates text as one zlib stream; windowBits 31 makes a gzip file instead.
std::string Deflate(std::string_view text, int windowBits = 15, std::string_view dictionary = {}, int level = 9)
{
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    if (!dictionary.empty())
        deflateSetDictionary(&zs, reinterpret_cast<const Bytef*>(dictionary.data()), static_cast<uInt>(dictionary.size()));
    std::string out(deflateBound(&zs, text.size()) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string Inflate(std::string_view bytes, size_t ceiling = MaxInflatedSize)
{
    TMemoryStream source, dest;
    source.Write(bytes.data(), bytes.size());
    source.SetPosition(0);
    InflateStream(source, dest, ceiling);
    EXPECT_EQ(dest.Position(), 0u);
    return std::string(dest.View());
}

const char Log[] = "<?xml version=\"1.0\"?>\n<bf:log><bf:round/></bf:log>\n";

} // namespace

TEST(Inflate, WholeStreamsOfAnySize)
{
    EXPECT_EQ(Inflate(Deflate(Log)), Log);
    // A thousandfold ratio: the output buffer grows far past its first size.
    const std::string zeros(3000000, 'z');
    EXPECT_EQ(Inflate(Deflate(zeros)), zeros);
    EXPECT_EQ(Inflate(""), "");

    // From the source's position on, appended after what dest holds.
    TMemoryStream source, dest;
    const std::string packed = "junk" + Deflate("abc");
    source.Write(packed.data(), packed.size());
    source.SetPosition(4);
    dest.Write("x", 1);
    InflateStream(source, dest);
    EXPECT_EQ(dest.View(), "xabc");
}

TEST(Inflate, EveryFailureButTheCeilingIsTheErrorError)
{
    const std::string good = Deflate(std::string(100000, 'a') + Log);
    EXPECT_EQ(MessageOf([] { Inflate(Log); }), "error");                        // plain text
    EXPECT_EQ(MessageOf([&] { Inflate(good.substr(0, 2)); }), "error"); // cut before any text
    EXPECT_EQ(MessageOf([] { Inflate(Deflate(Log, 31)); }), "error");            // gzip framing
    EXPECT_EQ(MessageOf([] { Inflate(Deflate(Log, 15, "dictionary")); }), "error");
    // A stream that inflates past the ceiling stops, and says where the ceiling is; one that
    // reaches it exactly is whole.
    EXPECT_EQ(MessageOf([] { Inflate(Deflate(std::string(5000, 'q')), 4999); }), "The text is larger than 4999 bytes");
    EXPECT_EQ(Inflate(Deflate(std::string(5000, 'q')), 5000).size(), 5000u);
}

// What a running server's copy or a crashed server's log holds: the stream breaks off.
TEST(Inflate, AFirstStreamThatBreaksOffGivesItsTextUpToThere)
{
    const std::string text = std::string(100000, 'a') + Log;
    const std::string good = Deflate(text);
    const auto inflate = [](std::string_view bytes) {
        TMemoryStream source, dest;
        source.Write(bytes.data(), bytes.size());
        source.SetPosition(0);
        const TInflateResult result = InflateStream(source, dest);
        return std::pair(result, std::string(dest.View()));
    };
    EXPECT_FALSE(inflate(good).first.EndsEarly());
    EXPECT_EQ(inflate(good).second, text);
    const auto [cut, cutText] = inflate(good.substr(0, good.size() - 5)); // the check value lost
    EXPECT_EQ(cut.broken, TStreamBreak::CutOff);
    EXPECT_GT(cutText.size(), 100000u);
    EXPECT_TRUE(text.starts_with(cutText));
    std::string corrupt = good;
    corrupt[corrupt.size() - 1] ^= 0x55; // Adler-32 check fails after the whole text
    const auto [corrupted, corruptText] = inflate(corrupt);
    EXPECT_EQ(corrupted.broken, TStreamBreak::WrongChecksum);
    EXPECT_TRUE(corruptText == text);
    // Damage in the middle keeps the text before the damaged block. Whether it shows as damage
    // or only in the check value depends on the codes it hits; where it shows, it is placed at or
    // after the damaged byte.
    const std::string mixed = Deflate(std::string(200000, 'b') + std::string(200000, 'c'), 15);
    std::string damaged = mixed;
    damaged[damaged.size() / 2] ^= 0xFF;
    const auto [broken, damagedText] = inflate(damaged);
    EXPECT_TRUE(broken.EndsEarly());
    EXPECT_LT(damagedText.size(), 400000u);
    EXPECT_TRUE(damagedText.substr(0, 1000) == std::string(1000, 'b'));
    int placed = 0;
    for (size_t at = good.size() / 3; at < good.size() - 4; ++at) {
        std::string hit = good;
        hit[at] ^= 0xFF;
        const TInflateResult result = inflate(hit).first;
        EXPECT_TRUE(result.EndsEarly()) << at;
        if (result.broken == TStreamBreak::Damaged) {
            EXPECT_GT(result.damagedAt, at) << at;
            EXPECT_LE(result.damagedAt, hit.size()) << at;
            ++placed;
        }
    }
    EXPECT_GT(placed, 0);
}

TEST(Inflate, StreamsOneAfterTheOtherAddTheirTexts)
{
    const std::string first = Deflate("<a>one</a>");
    const std::string second = Deflate("<b>two</b>");
    EXPECT_EQ(Inflate(first + second + Deflate("") + Deflate("3")), "<a>one</a><b>two</b>3");
    // What follows the last whole stream and is none is ignored, with any text it began to give.
    EXPECT_EQ(Inflate(first + "trailing junk"), "<a>one</a>");
    EXPECT_EQ(Inflate(first + second.substr(0, second.size() - 4)), "<a>one</a>");
    EXPECT_EQ(Inflate(first + second + "x" + second), "<a>one</a><b>two</b>");
    EXPECT_EQ(Inflate(first + Deflate(Log, 15, "dictionary") + second), "<a>one</a>");
    // The ceiling holds for all the texts together.
    const std::string q = Deflate(std::string(3000, 'q'));
    EXPECT_EQ(Inflate(q + q, 6000).size(), 6000u);
    EXPECT_EQ(MessageOf([&] { Inflate(q + q, 5999); }), "The text is larger than 5999 bytes");
    // Many tiny streams are each one step, not one scan of the rest.
    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += Deflate("x");
    EXPECT_EQ(Inflate(many), std::string(20000, 'x'));
}

TEST(LoadLogFile, TheExtensionDecidesAndAFailedInflationKeepsTheDocument)
{
    TTempDir dir;
    TwexXMLTree document("ROOT", "", nullptr);
    for (const char* name : {"round.zxml", "round.ZXML", "round.Zxml"}) {
        LoadLogFile(dir.Write(name, Deflate(Log)), document);
        EXPECT_EQ(document.FirstChild()->Name(), "?xml") << name;
    }
    for (const char* name : {"round.xml.gz", "noextension", "dotted.dir/plain"}) {
        if (std::string(name).find('/') != std::string::npos)
            std::filesystem::create_directory(dir.Path("dotted.dir"));
        LoadLogFile(dir.Write(name, "<plain/>"), document);
        EXPECT_EQ(document.FirstChild()->Name(), "plain/") << name;
    }
    LoadLogFile(dir.Write("empty.zxml", ""), document);
    EXPECT_EQ(document.ChildCount(), 0);
    LoadLogFile(dir.Write("joined.zxml", Deflate("<?xml v=\"1\"?><log>") + Deflate("<round/></log>")), document);
    EXPECT_EQ(document.FirstChild()->FirstChild()->FirstChild()->Name(), "round/");

    LoadLogFile(dir.Write("good.zxml", Deflate(Log)), document);
    EXPECT_EQ(MessageOf([&] { LoadLogFile(dir.Write("bad.zxml", Log), document); }), "error");
    EXPECT_EQ(document.FirstChild()->Name(), "?xml"); // the previous log is still there
    const std::string missing = dir.Path("missing.zxml");
    EXPECT_EQ(MessageOf([&] { LoadLogFile(missing, document); }), "Cannot open file " + missing);
}

namespace {

std::string Shape(const TwexXMLNode& node)
{
    std::string shape = "<" + std::string(node.Name()) + "=" + std::string(node.Value());
    for (const TwexXMLNode* child : node.Children())
        shape += Shape(*child);
    return shape + ">";
}

} // namespace

// A log cut off anywhere opens as the plain text up to the cut opens, and says that it ends early.
TEST(LoadLogFile, ACompressedLogCutOffAnywhereOpensAsFarAsItGoes)
{
    TTempDir dir;
    std::string text;
    for (int round = 0; round < 4; ++round) {
        text += "<bf:round timestamp=\"" + std::to_string(round * 100) + "\">";
        for (int i = 0; i < 400; ++i)
            text += "<bf:event name=\"spawnEvent\" timestamp=\"" + std::to_string(round * 100 + i) +
                    "\"><bf:param type=\"int\" name=\"player_id\">" + std::to_string(i % 23) + "</bf:param></bf:event>\n";
        text += "</bf:round>\n";
    }
    text = "<?xml version=\"1.0\"?>\n<bf:log>" + text + "</bf:log>\n";
    const std::string packed = Deflate(text);
    int early = 0;
    for (size_t cut = packed.size() / 37; cut < packed.size(); cut += packed.size() / 37) {
        TwexXMLTree document("ROOT", "", nullptr);
        const TLogReading reading = LoadLogFile(dir.Write("cut.zxml", packed.substr(0, cut)), document);
        ASSERT_EQ(reading.broken, TStreamBreak::CutOff) << cut;
        ASSERT_GT(reading.textSize, 0u);
        ASSERT_LT(reading.textSize, text.size());
        // What it read is the start of the log, parsed as the same cut .xml would be.
        TwexXMLTree plain("ROOT", "", nullptr);
        LoadLogFile(dir.Write("cut.xml", text.substr(0, reading.textSize)), plain);
        EXPECT_EQ(Shape(document), Shape(plain)) << cut;
        EXPECT_EQ(reading.Note(), "The log is cut off: " + SizeText(reading.textSize) + " read");
        ++early;
    }
    EXPECT_GT(early, 30);
    TwexXMLTree whole("ROOT", "", nullptr);
    const TLogReading reading = LoadLogFile(dir.Write("whole.zxml", packed), whole);
    EXPECT_FALSE(reading.EndsEarly());
    EXPECT_EQ(reading.Note(), "");
}

// How a log broke off, in words a user reads, with a size that is one: never "0.0 MB".
TEST(LoadLogFile, TheNoteSaysHowTheLogBrokeOffAndHowMuchWasRead)
{
    const auto note = [](TStreamBreak broken, size_t textSize, uint64_t damagedAt = 0) {
        TLogReading reading;
        reading.broken = broken;
        reading.damagedAt = damagedAt;
        reading.textSize = textSize;
        return reading.Note();
    };
    EXPECT_EQ(note(TStreamBreak::None, 17), "");
    EXPECT_EQ(note(TStreamBreak::CutOff, 17), "The log is cut off: 17 bytes read");
    EXPECT_EQ(note(TStreamBreak::CutOff, 1), "The log is cut off: 1 byte read");
    EXPECT_EQ(note(TStreamBreak::Damaged, 145, 5120), "The log is damaged at byte 5120: 145 bytes read");
    EXPECT_EQ(note(TStreamBreak::WrongChecksum, 2961547), "The log's checksum is wrong: 3.0 MB read");
    EXPECT_EQ(note(TStreamBreak::CutOff, 9123456), "The log is cut off: 9.1 MB read");
    EXPECT_EQ(SizeText(999), "999 bytes");
    EXPECT_EQ(SizeText(1000), "1.0 KB");
    EXPECT_EQ(SizeText(45678), "45.7 KB");
    EXPECT_EQ(SizeText(999949), "999.9 KB");
    EXPECT_EQ(SizeText(999950), "1.0 MB");

    // Each from a real stream.
    TTempDir dir;
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "<bf:event name=\"scoreEvent\" timestamp=\"" + std::to_string(i * 7 % 1013) + "\"/>\n";
    const std::string packed = Deflate(text);
    TwexXMLTree document("ROOT", "", nullptr);
    std::string checksum = packed;
    checksum.back() ^= 1;
    EXPECT_EQ(LoadLogFile(dir.Write("sum.zxml", checksum), document).Note(),
              "The log's checksum is wrong: " + SizeText(text.size()) + " read");
    // Stored blocks: the second one's length check (NLEN, bytes 3 and 4 of its header) damaged
    // shows as damage at once, with the first block's text read.
    const std::string stored = Deflate(text, 15, {}, 0);
    const size_t firstLength = static_cast<uint8_t>(stored[3]) | static_cast<uint8_t>(stored[4]) << 8;
    const size_t at = 2 + 5 + firstLength + 3; // zlib header, first block, second header's NLEN
    ASSERT_LT(at, stored.size() - 10);
    std::string damaged = stored;
    damaged[at] ^= 0xFF;
    const TLogReading reading = LoadLogFile(dir.Write("damaged.zxml", damaged), document);
    EXPECT_EQ(reading.textSize, firstLength);
    EXPECT_EQ(reading.Note(), "The log is damaged at byte " + std::to_string(at + 2) + ": " + SizeText(firstLength) + " read");
}

TEST(ConvertZxmlLog, WritesTheInflatedTextBesideTheLog)
{
    TTempDir dir;
    EXPECT_EQ(ConvertZxmlLog(dir.Write("a.b.zxml", Deflate(Log))), dir.Path("a.b.xml"));
    EXPECT_EQ(ReadFileBytes(dir.Path("a.b.xml")), Log);
    EXPECT_EQ(ConvertZxmlLog(dir.Write("log.xml", "<x/>")), "");
    EXPECT_EQ(ReadFileBytes(dir.Path("log.xml")), "<x/>");

    // A failed inflation leaves an existing file of the output's name as it was.
    dir.Write("broken.xml", "keep me");
    EXPECT_EQ(MessageOf([&] { ConvertZxmlLog(dir.Write("broken.zxml", "not zlib")); }), "error");
    EXPECT_EQ(ReadFileBytes(dir.Path("broken.xml")), "keep me");
    EXPECT_FALSE(PathExists(dir.Path("never.xml")));
    // Both streams of a log joined to another reach the converted file.
    EXPECT_EQ(ConvertZxmlLog(dir.Write("joined.zxml", Deflate("<a/>") + Deflate("<b/>"))), dir.Path("joined.xml"));
    EXPECT_EQ(ReadFileBytes(dir.Path("joined.xml")), "<a/><b/>");

    // No text is no log: nothing replaces a file of that name, and the command fails.
    for (const std::string& empty : {std::string(), Deflate("")}) {
        dir.Write("empty.xml", "keep me");
        EXPECT_EQ(MessageOf([&] { ConvertZxmlLog(dir.Write("empty.zxml", empty)); }), "error");
        EXPECT_EQ(ReadFileBytes(dir.Path("empty.xml")), "keep me");
        std::filesystem::remove(dir.Path("empty.xml"));
        EXPECT_EQ(MessageOf([&] { ConvertZxmlLog(dir.Path("empty.zxml")); }), "error");
        EXPECT_FALSE(PathExists(dir.Path("empty.xml")));
    }

    std::filesystem::create_directory(dir.Path("taken.xml")); // the output name is a folder
    EXPECT_EQ(MessageOf([&] { ConvertZxmlLog(dir.Write("taken.zxml", Deflate(Log))); }),
              "Cannot create file " + dir.Path("taken.xml") + ": it is not a regular file");
    // A .xml name that links to the compressed log: the log stays as it was.
    const std::string packedLog = dir.Write("linked.zxml", Deflate(Log));
    std::filesystem::create_symlink(packedLog, dir.Path("linked.xml"));
    EXPECT_EQ(MessageOf([&] { ConvertZxmlLog(packedLog); }),
              "Cannot create file " + dir.Path("linked.xml") + ": it is the log being converted");
    EXPECT_EQ(ReadFileBytes(packedLog), Deflate(Log));
}

namespace {

// A log's text, varied enough that its stream is not one long repetition.
std::string EventText(int events)
{
    std::string text = "<?xml version=\"1.0\"?>\n<bf:log>\n";
    for (int i = 0; i < events; ++i)
        text += "<bf:event name=\"killEvent\" timestamp=\"" + std::to_string(i * 37 % 9973) + ".5\"><bf:param>" +
                std::to_string(i * i % 131) + "</bf:param></bf:event>\n";
    return text + "</bf:log>\n";
}

} // namespace

// A log cut off, damaged or with a wrong check value never replaces a file of the output's name:
// a whole log converted before stays as it was, the message says what broke and names the file
// kept. Where no such file is, the text read is written, and the message says so.
TEST(ConvertZxmlLog, ALogThatBrokeOffNeverReplacesTheConvertedOne)
{
    TTempDir dir;
    const std::string text = EventText(4000);
    const std::string packed = Deflate(text);
    const std::string log = dir.Write("a.zxml", packed);
    const std::string xml = dir.Path("a.xml");
    ASSERT_EQ(ConvertZxmlLog(log), xml);
    ASSERT_EQ(ReadFileBytes(xml), text);

    std::string damaged = packed;
    damaged[packed.size() / 2] ^= 0x10; // one bit
    std::string checksum = packed;
    checksum[packed.size() - 2] ^= 0x01;
    for (const std::string& broken : {packed.substr(0, 99), packed.substr(0, packed.size() / 2), damaged, checksum}) {
        dir.Write("a.zxml", broken);
        TwexXMLTree document("ROOT", "", nullptr);
        const std::string note = LoadLogFile(log, document).Note();
        ASSERT_NE(note, "");
        EXPECT_EQ(MessageOf([&] { ConvertZxmlLog(log); }), note + "; " + xml + " kept as it was, nothing converted");
        EXPECT_EQ(ReadFileBytes(xml), text);
    }
    // Without a file of that name, what inflated is written: the text the window reads.
    for (const bool cut : {true, false}) {
        const std::string broken = cut ? packed.substr(0, packed.size() / 2) : damaged;
        std::filesystem::remove(xml);
        dir.Write("a.zxml", broken);
        TwexXMLTree document("ROOT", "", nullptr);
        const TLogReading reading = LoadLogFile(log, document);
        ASSERT_NE(reading.Note(), "");
        EXPECT_EQ(MessageOf([&] { ConvertZxmlLog(log); }), reading.Note() + "; " + xml + " holds the text read");
        const std::string written = ReadFileBytes(xml);
        EXPECT_EQ(written.size(), reading.textSize);
        EXPECT_GT(written.size(), 0u);
        if (cut) // a damaged stream may garble the last bytes before zlib finds it out
            EXPECT_EQ(written, text.substr(0, written.size()));
        // Converted again, the part written stays as it is.
        EXPECT_EQ(MessageOf([&] { ConvertZxmlLog(log); }), reading.Note() + "; " + xml + " kept as it was, nothing converted");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path("")), {}), 2); // no temporary left
    // A whole log converts as before.
    dir.Write("a.zxml", packed);
    EXPECT_EQ(ConvertZxmlLog(log), xml);
    EXPECT_EQ(ReadFileBytes(xml), text);
}

namespace {

// Sets the log limit for one test; unset again after it.
struct TLogLimit {
    explicit TLogLimit(const char* value) { ::setenv(LogLimitVariable, value, 1); }
    ~TLogLimit() { ::unsetenv(LogLimitVariable); }
};

} // namespace

// A small file that inflates beyond the limit stops at the limit with a message that names the
// limit and the log, in the reading and in the conversion; a plain log is measured before it
// is read.
TEST(LoadLogFile, ALogWhoseTextPassesTheLimitIsRefused)
{
    TTempDir dir;
    TwexXMLTree document("ROOT", "", nullptr);
    LoadLogFile(dir.Write("good.zxml", Deflate(Log)), document);
    {
        const TLogLimit limit("1");
        EXPECT_EQ(LogTextLimit(), size_t(1) << 20);
        const std::string bomb = dir.Write("bomb.zxml", Deflate(std::string((size_t(1) << 20) + 1, ' ')));
        const std::string tooLarge =
            "Cannot open file " + bomb + ": its text is larger than 1 MB, the limit of a log (ORNWICK_MAX_LOG_MB)";
        EXPECT_EQ(MessageOf([&] { LoadLogFile(bomb, document); }), tooLarge);
        EXPECT_EQ(document.FirstChild()->Name(), "?xml"); // the previous log is still there
        dir.Write("bomb.xml", "keep me");
        EXPECT_EQ(MessageOf([&] { ConvertZxmlLog(bomb); }), tooLarge);
        EXPECT_EQ(ReadFileBytes(dir.Path("bomb.xml")), "keep me");
        // Exactly the limit is still a log.
        LoadLogFile(dir.Write("full.zxml", Deflate(std::string(size_t(1) << 20, ' '))), document);

        const std::string plain = dir.Write("big.xml", std::string((size_t(1) << 20) + 1, ' '));
        EXPECT_EQ(MessageOf([&] { LoadLogFile(plain, document); }),
                  "Cannot open file " + plain + ": it is larger than 1 MB, the limit of a log (ORNWICK_MAX_LOG_MB)");
    }
    // 1 GB unless told otherwise; a file beyond it is refused by its size alone (this one is
    // sparse: read, it would take a gigabyte).
    EXPECT_EQ(LogTextLimit(), size_t(1) << 30);
    const std::string huge = dir.Path("huge.xml");
    std::filesystem::resize_file(dir.Write("huge.xml", ""), (uintmax_t(1) << 30) + 1);
    EXPECT_EQ(MessageOf([&] { LoadLogFile(huge, document); }),
              "Cannot open file " + huge + ": it is larger than 1 GB, the limit of a log (ORNWICK_MAX_LOG_MB)");

    for (const char* wrong : {"0", "2049", "12abc", "-5", "99999999999999999999"}) {
        const TLogLimit limit(wrong);
        EXPECT_EQ(MessageOf([&] { LoadLogFile(dir.Path("good.zxml"), document); }),
                  std::string("ORNWICK_MAX_LOG_MB=") + wrong + " is no number of megabytes from 1 to 2048");
    }
    const TLogLimit most("2048");
    EXPECT_EQ(LogTextLimit(), MaxTextSize);
}
