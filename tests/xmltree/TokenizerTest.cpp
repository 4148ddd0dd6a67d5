#include "base/TextList.h"
#include "xmltree/XMLTokenizer.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>

#include <random>

using Lines = std::vector<std::string>;

namespace {
Lines TokensOfLines(Lines lines)
{
    TokenizeXML(lines);
    return lines;
}

Lines TokensOfFile(std::string_view bytes)
{
    TTokenList tokens;
    TokenizeFileText(bytes, tokens);
    return tokens.ToVector();
}
} // namespace

TEST(TextRoutines, PosFromAndTheWhitespaceForms)
{
    EXPECT_EQ(PosFrom("<", "a<b<c", 1), 2);
    EXPECT_EQ(PosFrom("<", "a<b<c", 3), 4);
    EXPECT_EQ(PosFrom("<", "a<b<c", 5), 0);
    EXPECT_EQ(PosFrom("", "abc", 1), 0);
    EXPECT_EQ(PosFrom("a", "", 1), 0);
    EXPECT_EQ(PosFrom("]]>", "x]]>", 0), 2);

    EXPECT_EQ(FlattenWhitespace(" \r\n a\r\nb\t\tc  d \t"), "a b  c  d");
    EXPECT_EQ(FlattenWhitespace("a\nb"), "a\nb"); // only CR LF pairs are breaks here
    EXPECT_EQ(EscapeCData(" a\r\n\tb "), " a\\n \\t b ");
}

TEST(Tokenizer, KindsOfTokens)
{
    EXPECT_EQ(TokensOfLines({"<?xml version=\"1.0\"?><log>", "  <a x=\"1\" />text <b/>", "</log >"}),
              (Lines{"OT:?xml version=\"1.0\"?", "OT:log", "ET:a x=\"1\" /", "TX:text", "ET:b/", "CT:log"}));
    // The kind is decided on the raw tag text: a blank before the "/" makes an opening tag.
    EXPECT_EQ(TokensOfLines({"<>< / a></\ta >"}), (Lines{"OT:", "OT:/ a", "CT:a"}));
    EXPECT_EQ(TokensOfLines({}), Lines{});
    EXPECT_EQ(TokensOfLines({"   ", ""}), Lines{});
}

TEST(Tokenizer, TextRunsOverLinesAndKeepsInnerSpaces)
{
    EXPECT_EQ(TokensOfLines({"<a>  first", "second  two\t</a>"}),
              (Lines{"OT:a", "TX:first second  two", "CT:a"}));
}

TEST(Tokenizer, CDataInAnyLetterCase)
{
    EXPECT_EQ(TokensOfLines({"<a><![cdata[ x", "\ty ]]></a>"}), (Lines{"OT:a", "CD: x\\n \\t y ", "CT:a"}));
    EXPECT_EQ(TokensOfLines({"<a><![CDATA[]]></a>"}), (Lines{"OT:a", "CD:", "CT:a"}));
    // A tag inside the section is content, and the first "]]>" ends it.
    EXPECT_EQ(TokensOfLines({"<![CDaTa[<b>]]>]]>"}), (Lines{"CD:<b>", "TX:]]>"}));
}

TEST(Tokenizer, UnclosedConstructsEndTheScan)
{
    // A section that never ends takes the rest of the text, line break included.
    EXPECT_EQ(TokensOfLines({"<a><![CDATA[ tail", "more"}), (Lines{"OT:a", "CD: tail\\n more\\n "}));
    EXPECT_EQ(TokensOfFile("<a><![CDATA[ tail"), (Lines{"OT:a", "CD: tail\\n "}));
    // A "<" with no ">" after it is dropped; the text around it becomes two text tokens.
    EXPECT_EQ(TokensOfLines({"<a>before < after"}), (Lines{"OT:a", "TX:before", "TX:after"}));
    EXPECT_EQ(TokensOfLines({"x<<<<"}), (Lines{"TX:x"}));
    // A tag ends at the first ">", even inside quotes.
    EXPECT_EQ(TokensOfLines({"<a t=\"1>2\">"}), (Lines{"OT:a t=\"1", "TX:2\">"}));
}

TEST(Tokenizer, StrayOpeningBracketsStayLinear)
{
    // A "<" without a ">" after it must not make every later "<" search the rest of the text
    // again: no byte is searched twice. The work is counted, not timed, since the quadratic
    // scan is fast enough at test sizes to pass a timing.
    auto tagEndBytes = [](const std::string& text, const Lines& expected) {
        TTokenList tokens;
        TTokenizerWork work;
        TokenizeFileText(text, tokens, &work);
        EXPECT_EQ(tokens.ToVector(), expected);
        return work.TagEndBytes;
    };
    const std::string stray(20000, '<');
    EXPECT_LE(tagEndBytes(stray + "end", {"TX:end"}), stray.size() + 3);
    // Tags first, then the stray ones.
    std::string tagged;
    Lines tokens;
    for (int i = 0; i < 5000; ++i) {
        tagged += "<a>x";
        tokens.insert(tokens.end(), {"OT:a", "TX:x"});
    }
    tokens.push_back("TX:end");
    EXPECT_LE(tagEndBytes(tagged + stray + "end", tokens), tagged.size() + stray.size() + 3);
}

TEST(Tokenizer, FileTextMatchesItsLinesJoinedAgain)
{
    // Reading a file splits it into lines at CR LF, lone CR and lone LF and joins them with
    // CR LF; the tokenizer reads the raw bytes directly and must give the same tokens.
    const std::string alphabet = "<<>>//!![[]]CDATAcdata a=\"\r\n\t.x";
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
            text += alphabet[random() % alphabet.size()];
        if (round % 7 == 0)
            text.insert(text.size() / 2, "<![CDATA[");
        EXPECT_EQ(TokensOfFile(text), TokensOfLines(SplitLines(text))) << "text: " << text;
    }
}

TEST(Tokenizer, NulEndsTheFileText)
{
    EXPECT_EQ(TokensOfFile(std::string("<a>x\0<b>", 8)), (Lines{"OT:a", "TX:x"}));
}

namespace {

struct TCollect : TTokenSink {
    Lines tokens;
    bool Wants(char) override { return true; }
    void Token(char kind, std::string_view body) override
    {
        tokens.push_back(std::string(TTokenList::KindText(kind)) + std::string(body));
    }
};

// The tokens of the text given in pieces cut at `cuts`.
Lines TokensOfPieces(std::string_view text, const std::vector<size_t>& cuts, size_t longest = 1 << 20)
{
    TCollect collect;
    TPieceTokenizer tokenizer(collect, longest);
    size_t from = 0;
    for (const size_t cut : cuts) {
        tokenizer.Add(text.substr(from, cut - from));
        from = cut;
    }
    tokenizer.Add(text.substr(from));
    tokenizer.Finish();
    return collect.tokens;
}

} // namespace

TEST(Tokenizer, PiecesGiveTheTokensOfTheWholeText)
{
    // Every construct cut everywhere: tags, texts, CDATA sections (closed and not), stray
    // brackets, line breaks of every kind, a NUL, an unclosed tag at the end.
    const std::vector<std::string> texts = {
        "<?xml version=\"1.0\"?>\r\n<a x=\"1\">\n\t<b>text\r\n more</b><c/><![CDATA[x\r\ny]]></a>\r\n",
        "a < b <c>d</c> e > f <![cdata[ one ]]> <g",
        "<r><![CDATA[never closed <x> \n",
        std::string("<r>one<s/>two</r>\0<after>hidden</after>", 39),
        "<<<<<>>> <a><b",
        "<x>1.5</x><y>  </y><z> 2.25 </z>\r",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const Lines whole = TokensOfFile(text);
        for (size_t a = 0; a <= text.size(); ++a) {
            ASSERT_EQ(TokensOfPieces(text, {a}), whole) << "cut at " << a;
            for (size_t b = a; b <= text.size(); b += 3)
                ASSERT_EQ(TokensOfPieces(text, {a, b}), whole) << "cut at " << a << " and " << b;
        }
        std::vector<size_t> bytes(text.size());
        for (size_t i = 0; i < text.size(); ++i)
            bytes[i] = i + 1;
        EXPECT_EQ(TokensOfPieces(text, bytes), whole) << "a byte at a time";
    }

    // A log of random bytes among tags, in random pieces.
    std::mt19937 random(11);
    const char* parts[] = {"<", ">", "/", "a", " ", "\r", "\n", "<![CDATA[", "]]>", "\"", "=", "<e/>", "</e>", "x"};
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i)
            text += parts[random() % std::size(parts)];
        std::vector<size_t> cuts;
        for (size_t at = 0; at < text.size(); at += 1 + random() % 7)
            cuts.push_back(at);
        ASSERT_EQ(TokensOfPieces(text, cuts), TokensOfFile(text)) << text;
    }
}

TEST(Tokenizer, ATokenLongerThanAllowedIsRefused)
{
    TCollect collect;
    TPieceTokenizer tokenizer(collect, 16);
    tokenizer.Add("<a>short</a><b attribute=\"");
    EXPECT_THROW(tokenizer.Add("and more than sixteen bytes without its end"), ETokenTooLong);
}
