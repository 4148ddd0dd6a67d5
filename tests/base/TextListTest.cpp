#include "TestUtil.h"
#include "base/ErrorReporting.h"
#include "base/Errors.h"
#include "base/Json.h"
#include "base/TextList.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

TEST(SplitLines, EveryKindOfBreakEndsALineAndNulEndsTheText)
{
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n"), Lines{"a"});
    EXPECT_EQ(SplitLines("\n\n"), (Lines{"", ""}));
    EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"})); // LF CR is two breaks
    EXPECT_EQ(SplitLines(std::string("a\nb\0c\nd", 7)), (Lines{"a", "b"}));
}

TEST(TextList, NameValueLookupsIgnoreLetterCase)
{
    TTextList list;
    list.SetText("; a comment\r\nAdmin=true\r\nadmin=false\r\nnoequals\r\nZOOM=1000\r\n");
    EXPECT_EQ(list.Values("admin"), "true"); // the first line of that name wins
    EXPECT_EQ(list.Values("zoom"), "1000");
    EXPECT_EQ(list.Values("noequals"), "");
    EXPECT_EQ(list.Values("missing"), "");
    EXPECT_EQ(list.IndexOfName("ADMIN"), 1);

    list.SetValue("zoom", "1200"); // replaced in place, the name keeps its spelling
    list.SetValue("LastOpen1", "/logs/a b.zxml");
    EXPECT_EQ(list.Text(), "; a comment\r\nAdmin=true\r\nadmin=false\r\nnoequals\r\nZOOM=1200\r\n"
                           "LastOpen1=/logs/a b.zxml\r\n");
    EXPECT_EQ(MessageOf([&] { (void)list[6]; }), "List index out of bounds (6)");
}

TEST(TextList, FilesRoundTripAndFailuresKeepTheOldFile)
{
    TTempDir dir;
    const std::string path = dir.Write("Tarvel.ini", "x=1\nunknown line\r\ny=2");
    TTextList list;
    list.LoadFromFile(path);
    list.SetValue("y", "3");
    list.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path), "x=1\r\nunknown line\r\ny=3\r\n");

    const std::string missing = dir.Path("missing.ini");
    EXPECT_EQ(MessageOf([&] { list.LoadFromFile(missing); }), "Cannot open file " + missing);
    const std::string unwritable = dir.Path("no/such/folder.ini");
    EXPECT_EQ(MessageOf([&] { list.SaveToFile(unwritable); }),
              "Cannot create file " + unwritable + ": No such file or directory");
    EXPECT_EQ(MessageOf([&] { list.LoadFromFile(dir.Path("")); }), "Cannot open file " + dir.Path(""));
}

// Odd bytes in the settings: a NUL byte is a byte of its line, and whatever a save writes reads
// back, so that it is not appended again at the next save.
TEST(TextList, OddBytesSurviveASaveAndEveryKeyWrittenReadsBack)
{
    using namespace std::string_literals;
    TTempDir dir;
    const std::string old = "ZOOM=1000\r\nodd\0line=\xff\x01 \r\nLastOpen1=/logs/a.zxml\r\nkessel_SCALE=2000\r\n"s;
    const std::string path = dir.Write("Tarvel.ini", old);
    TTextList list;
    list.LoadFromFile(path);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Values("LastOpen1"), "/logs/a.zxml");
    list.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path), old);

    // Names with "=" or line breaks, and values with line breaks, would not read back.
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"a=b_SCALE", "2000"}, {"a\nb_SCALE", "1"}, {"a\rb", "1"}, {"LastOpen1", "/logs/x\ny.xml"}}) {
        EXPECT_FALSE(TTextList::Storable(name, value)) << name;
        EXPECT_NE(MessageOf([&] { list.SetValue(name, value); }), "") << name;
    }
    EXPECT_EQ(MessageOf([&] { list.SetValue("a=b_SCALE", "2000"); }),
              "The setting a=b_SCALE cannot be kept in the settings file: its name holds \"=\"");
    EXPECT_EQ(list.Text(), old); // nothing changed
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"a b_SCALE", "x=y"}, {"caf\xe9", std::string("n\0ul", 4)}, {"ZOOM", "=1"}}) {
        list.SetValue(name, value);
        TTextList again;
        again.SetText(list.Text());
        EXPECT_EQ(again.Values(name), value) << name;
    }
}

TEST(ErrorReporting, AnEscapingExceptionReachesTheSinkAndTheProgramGoesOn)
{
    std::vector<std::string> seen;
    TErrorSink previous = SetErrorSink([&](const std::string& m) { seen.push_back(m); });
    EXPECT_FALSE(RunHandler([] { throw EZDecompressionError(); }));
    EXPECT_FALSE(RunHandler([] { throw std::runtime_error("other"); }));
    EXPECT_TRUE(RunHandler([] {}));
    SetErrorSink(previous);
    EXPECT_EQ(seen, (Lines{"error", "other"}));
}

TEST(Json, BytesAreLatin1AndNumbersShortest)
{
    EXPECT_EQ(JsonString("a\"b\\c\n\x01\xE9"), "\"a\\\"b\\\\c\\n\\u0001\xC3\xA9\"");
    EXPECT_EQ(JsonNumber(0.1), "0.1");
    EXPECT_EQ(JsonNumber(1000000.0), "1000000");
    EXPECT_EQ(JsonNumber(-12.5), "-12.5");
    EXPECT_EQ(JsonNumber(1e21), "1e+21");
    EXPECT_EQ(JsonNumber(1.5e-7), "1.5e-7");
    EXPECT_EQ(JsonNumber(0.000001), "0.000001");
    EXPECT_EQ(JsonNumber(123456.789), "123456.789");
}
