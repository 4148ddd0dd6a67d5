#pragma once

// The tokenizer's two ways in: text read from a file, whose line breaks may be CR LF, lone
// CR or lone LF, and text joined from a list of lines, where only CR LF pairs are breaks.

#include "xmltree/wexXMLTree.h"

#include <stdexcept>
#include <string>

enum class TBreakMode {
    CrLfOnly, // only CR LF pairs are line breaks; lone CR and LF are ordinary bytes
    AnyBreak  // CR LF, lone CR and lone LF each are one line break, as lines are read
};

// What a run of the scanner cost, for the tests that hold it to linear time.
struct TTokenizerWork {
    size_t TagEndBytes = 0; // bytes searched for the ">" that ends a tag
};

// Tokens of raw file bytes (cut at the first NUL) into the list, replacing its content.
// Gives exactly the tokens of the bytes' lines joined with CR LF after every line.
void TokenizeFileText(std::string_view bytes, TTokenList& tokens, TTokenizerWork* work = nullptr);

// Takes tokens one at a time: the kind byte ('O', 'E', 'C', 'T', 'D') and the body, which lasts
// only for the call.
class TTokenSink {
public:
    virtual ~TTokenSink() = default;
    // Told of every token first, in order; only when it answers true is the body written out
    // and handed to Token. A sink that skips most of a text spares the tokenizer most copying.
    virtual bool Wants(char kind) = 0;
    virtual void Token(char kind, std::string_view body) = 0;
};

// A piece of text held back for a token longer than the tokenizer was told to allow.
class ETokenTooLong : public std::runtime_error {
public:
    ETokenTooLong() : std::runtime_error("A token of the text is too long to be read in pieces") {}
};

// Tokenizes a text given piece after piece, in bounded memory: the sink gets exactly the tokens
// TokenizeFileText gives for the whole text, as soon as each is whole. A token (or a run of
// text) longer than `longest` bytes raises ETokenTooLong.
class TPieceTokenizer {
public:
    TPieceTokenizer(TTokenSink& sink, size_t longest) : FSink(sink), FLongest(longest) {}
    // The next piece of the text. Nothing after the text's first NUL counts.
    void Add(std::string_view piece);
    // The text has ended: what was held back is tokenized.
    void Finish();
    // Whether the text has ended (Finish, or a NUL).
    bool Ended() const { return FEnded; }

private:
    TTokenSink& FSink;
    size_t FLongest;
    std::string FCarry;   // the start of a token that the pieces so far do not end
    std::string FScratch; // each token's body
    bool FEnded = false;
};

// Tokens of already joined text, one string each.
void TokenizeJoinedText(std::string_view text, std::vector<std::string>& tokens);

// Splits a tag's text into its element name and its attributes.
template <typename OnAttribute>
std::string_view SplitTag(std::string_view tag, OnAttribute&& onAttribute);

// ---------------------------------------------------------------------------------------

std::string_view TrimXml(std::string_view text);

template <typename OnAttribute>
std::string_view SplitTag(std::string_view tag, OnAttribute&& onAttribute)
{
    const size_t space = tag.find(' ');
    if (space == std::string_view::npos)
        return tag;
    const size_t n = tag.size();
    size_t a = space;
    for (;;) {
        const size_t eq = tag.find('=', a);
        if (eq == std::string_view::npos)
            break;
        const std::string_view name = TrimXml(tag.substr(a, eq - a));
        const size_t q1 = tag.find('"', eq);
        if (q1 == std::string_view::npos)
            break;
        const size_t q2 = tag.find('"', q1 + 1);
        if (q2 == std::string_view::npos)
            break;
        onAttribute(name, tag.substr(q1 + 1, q2 - q1 - 1));
        a = q2 + 1;
        if (a >= n)
            break;
    }
    return tag.substr(0, space);
}
