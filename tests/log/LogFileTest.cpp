#include "TestUtil.h"
#include "base/Errors.h"
#include "base/MemoryStream.h"
#include "log/LogFile.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

namespace {

// Deflates text as one zlib stream; windowBits 31 makes a gzip file instead.
std::string Deflate(std::string_view text, int windowBits = 15, std::string_view dictionary = {})
{
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
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

TEST(Inflate, EveryFailureIsTheErrorError)
{
    const std::string good = Deflate(std::string(100000, 'a') + Log);
    EXPECT_EQ(MessageOf([] { Inflate(Log); }), "error");                        // plain text
    EXPECT_EQ(MessageOf([&] { Inflate(good.substr(0, 2)); }), "error"); // cut before any text
    EXPECT_EQ(MessageOf([] { Inflate(Deflate(Log, 31)); }), "error");            // gzip framing
    EXPECT_EQ(MessageOf([] { Inflate(Deflate(Log, 15, "dictionary")); }), "error");
    // A stream that inflates past the ceiling stops; one that reaches it exactly is whole.
    EXPECT_EQ(MessageOf([] { Inflate(Deflate(std::string(5000, 'q')), 4999); }), "error");
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
        const bool endsEarly = InflateStream(source, dest).endsEarly;
        return std::pair(endsEarly, std::string(dest.View()));
    };
    EXPECT_EQ(inflate(good), std::pair(false, text));
    const auto [cutEarly, cutText] = inflate(good.substr(0, good.size() - 5)); // the check value lost
    EXPECT_TRUE(cutEarly);
    EXPECT_GT(cutText.size(), 100000u);
    EXPECT_TRUE(text.starts_with(cutText));
    std::string corrupt = good;
    corrupt[corrupt.size() - 1] ^= 0x55; // Adler-32 check fails after the whole text
    const auto [corruptEarly, corruptText] = inflate(corrupt);
    EXPECT_TRUE(corruptEarly);
    EXPECT_TRUE(corruptText == text);
    // Damage in the middle keeps the text before the damaged block.
    const std::string mixed = Deflate(std::string(200000, 'b') + std::string(200000, 'c'), 15);
    std::string damaged = mixed;
    damaged[damaged.size() / 2] ^= 0xFF;
    const auto [damagedEarly, damagedText] = inflate(damaged);
    EXPECT_TRUE(damagedEarly);
    EXPECT_LT(damagedText.size(), 400000u);
    EXPECT_TRUE(damagedText.substr(0, 1000) == std::string(1000, 'b'));
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
    EXPECT_EQ(MessageOf([&] { Inflate(q + q, 5999); }), "error");
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
        ASSERT_TRUE(reading.endsEarly) << cut;
        ASSERT_GT(reading.textSize, 0u);
        ASSERT_LT(reading.textSize, text.size());
        // What it read is the start of the log, parsed as the same cut .xml would be.
        TwexXMLTree plain("ROOT", "", nullptr);
        LoadLogFile(dir.Write("cut.xml", text.substr(0, reading.textSize)), plain);
        EXPECT_EQ(Shape(document), Shape(plain)) << cut;
        EXPECT_EQ(reading.Note().rfind("The log ends early: ", 0), 0u);
        ++early;
    }
    EXPECT_GT(early, 30);
    TwexXMLTree whole("ROOT", "", nullptr);
    const TLogReading reading = LoadLogFile(dir.Write("whole.zxml", packed), whole);
    EXPECT_FALSE(reading.endsEarly);
    EXPECT_EQ(reading.Note(), "");
    EXPECT_EQ((TLogReading{true, 9123456}.Note()), "The log ends early: 9.1 MB read");
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

    // A log that breaks off is written as far as it goes, and says so.
    const std::string packed = Deflate(std::string(50000, 'x') + Log);
    TLogReading reading;
    EXPECT_EQ(ConvertZxmlLog(dir.Write("cut.zxml", packed.substr(0, packed.size() / 2)), &reading), dir.Path("cut.xml"));
    EXPECT_TRUE(reading.endsEarly);
    EXPECT_EQ(ReadFileBytes(dir.Path("cut.xml")).size(), reading.textSize);
    EXPECT_EQ(ReadFileBytes(dir.Path("cut.xml")), std::string(reading.textSize, 'x'));

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
