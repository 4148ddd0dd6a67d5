#include "xmltree/XMLTokenizer.h"

#include "base/Convert.h"
#include "base/HugePages.h"
#include "base/LoadProgress.h"
#include "base/MemoryMeter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

std::string_view TrimXml(std::string_view text) { return TrimView(text); }

namespace {

inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// Writes the flattened form of [b, e): trimmed, TABs and line breaks as single spaces.
// Trimming the raw bytes first gives the same result, since breaks and TABs are blanks.
template <TBreakMode Mode>
char* WriteFlat(char* dst, const char* b, const char* e)
{
    while (b < e && IsBlank(*b))
        ++b;
    while (e > b && IsBlank(e[-1]))
        --e;
    while (b < e) {
        // Eight bytes at once while none of them is below 14, so neither a TAB nor a line
        // break: most of a log's text.
        while (e - b >= 8) {
            uint64_t word;
            std::memcpy(&word, b, 8);
            if ((word - 0x0E0E0E0E0E0E0E0EULL) & ~word & 0x8080808080808080ULL)
                break;
            std::memcpy(dst, b, 8);
            dst += 8;
            b += 8;
        }
        if (b == e)
            break;
        const char c = *b++;
        if (static_cast<unsigned char>(c) > '\r' || (c != '\t' && c != '\r' && c != '\n')) {
            *dst++ = c;
        } else if (c == '\t') {
            *dst++ = ' ';
        } else if (c == '\r' && b < e && *b == '\n') {
            ++b;
            *dst++ = ' ';
        } else {
            *dst++ = Mode == TBreakMode::AnyBreak ? ' ' : c;
        }
    }
    return dst;
}

// Writes the escaped form of [b, e): line breaks as "\n ", TABs as "\t ", nothing trimmed.
template <TBreakMode Mode>
char* WriteEscaped(char* dst, const char* b, const char* e)
{
    while (b < e) {
        const char c = *b++;
        bool lineBreak = false;
        if (c == '\t') {
            *dst++ = '\\';
            *dst++ = 't';
            *dst++ = ' ';
            continue;
        }
        if (c == '\r' && b < e && *b == '\n') {
            ++b;
            lineBreak = true;
        } else if (Mode == TBreakMode::AnyBreak && (c == '\r' || c == '\n')) {
            lineBreak = true;
        }
        if (lineBreak) {
            *dst++ = '\\';
            *dst++ = 'n';
            *dst++ = ' ';
        } else {
            *dst++ = c;
        }
    }
    return dst;
}

bool IsCDataMarker(const char* p)
{
    static const char marker[] = "<![CDATA[";
    for (int i = 0; i < 9; ++i) {
        char c = p[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
        if (c != marker[i])
            return false;
    }
    return true;
}

} // namespace

// Appends tokens straight into the token list's buffer: no allocation per token.
struct TTokenBufferSink {
    TTokenList& list;

    // Room for a token of kind and up to bodyBytes bytes; returns where its body goes.
    char* Begin(char kind, size_t bodyBytes)
    {
        const size_t need = list.FSize + 1 + bodyBytes + 1;
        if (need > list.FCapacity) {
            size_t capacity = list.FCapacity ? list.FCapacity : 4096;
            while (capacity < need)
                capacity += capacity / 2;
            Grow(capacity);
        }
        char* at = list.FData + list.FSize;
        *at = kind;
        return at + 1;
    }
    void Grow(size_t capacity)
    {
        list.FData = static_cast<char*>(MeteredRealloc(list.FData, list.FCapacity, capacity));
        AdviseHugePages(list.FData, capacity);
        list.FCapacity = capacity;
    }
    static bool Wants(char) { return true; }
    void Commit(char* end)
    {
        *end++ = '\n';
        list.FSize = static_cast<size_t>(end - list.FData);
        ++list.FCount;
    }
};

namespace {

struct TLinesSink {
    std::vector<std::string>& out;
    std::string scratch;

    static bool Wants(char) { return true; }
    char* Begin(char kind, size_t bodyBytes)
    {
        scratch.resize(3 + bodyBytes);
        std::memcpy(scratch.data(), TTokenList::KindText(kind).data(), 3);
        return scratch.data() + 3;
    }
    void Commit(char* end) { out.emplace_back(scratch.data(), static_cast<size_t>(end - scratch.data())); }
};

template <TBreakMode Mode, typename Sink>
void Emit(Sink& sink, char kind, const char* b, const char* e, bool escape, bool appendBreak = false)
{
    if (!sink.Wants(kind))
        return;
    const size_t raw = static_cast<size_t>(e - b);
    char* dst = sink.Begin(kind, escape ? 3 * raw + 3 : raw);
    if (escape) {
        dst = WriteEscaped<Mode>(dst, b, e);
        if (appendBreak) {
            *dst++ = '\\';
            *dst++ = 'n';
            *dst++ = ' ';
        }
    } else {
        dst = WriteFlat<Mode>(dst, b, e);
    }
    sink.Commit(dst);
}

template <TBreakMode Mode, typename Sink>
void EmitText(Sink& sink, const char* b, const char* e)
{
    const char* p = b;
    while (p < e && IsBlank(*p))
        ++p;
    if (p < e)
        Emit<Mode>(sink, 'T', p, e, false);
}

// The scanner. Text positions are pointers into the text; the rules are those of a scanner
// that looks for "<", then for the end of a CDATA section or for the ">" of the tag.
// With `whole` false the text is a piece of a longer one: the scan stops before the first token
// whose end the piece does not hold, and returns where; the rest must come again with more.
template <TBreakMode Mode, typename Sink>
size_t Scan(std::string_view text, Sink& sink, TTokenizerWork* work = nullptr, bool whole = true)
{
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    // Once a search for ">" fails, no later "<" can find one: remembering that keeps a text
    // full of stray "<" linear instead of quadratic.
    const char* noCloseFrom = nullptr; // none yet
    size_t tagEndBytes = 0;
    const char* p = begin;
    // Offsets, not pointers: a pointer past the text's end is undefined, even unread.
    size_t nextReport = LoadProgressStep;
    while (p < end) {
        if (whole && static_cast<size_t>(p - begin) >= nextReport) {
            ReportLoadProgress(TLoadPhase::Tokenizing, static_cast<uint64_t>(p - begin), text.size());
            nextReport = static_cast<size_t>(p - begin) + LoadProgressStep;
        }
        const char* q = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
        if (!q) {
            if (!whole)
                return static_cast<size_t>(p - begin); // the text may go on
            EmitText<Mode>(sink, p, end);
            break;
        }
        EmitText<Mode>(sink, p, q);
        if (!whole && end - q < 9)
            return static_cast<size_t>(q - begin); // too little to tell a CDATA section from a tag
        if (end - q >= 9 && IsCDataMarker(q)) {
            const char* close = static_cast<const char*>(memmem(q, static_cast<size_t>(end - q), "]]>", 3));
            if (!close && !whole)
                return static_cast<size_t>(q - begin);
            if (close) {
                Emit<Mode>(sink, 'D', q + 9, close, true);
                p = close + 3;
            } else {
                // No end marker: the section takes the rest of the text, which as lines
                // joined again ends with a line break.
                const bool endsWithBreak = end[-1] == '\r' || end[-1] == '\n';
                Emit<Mode>(sink, 'D', q + 9, end, true, Mode == TBreakMode::AnyBreak && !endsWithBreak);
                p = end;
            }
            continue;
        }
        const char* g = nullptr;
        if (!noCloseFrom || q < noCloseFrom) {
            g = static_cast<const char*>(std::memchr(q, '>', static_cast<size_t>(end - q)));
            tagEndBytes += static_cast<size_t>((g ? g + 1 : end) - q);
        }
        if (!g && !whole)
            return static_cast<size_t>(q - begin);
        if (!g) {
            noCloseFrom = q;
            p = q + 1; // the "<" is dropped and what follows is text again
            continue;
        }
        const char* tb = q + 1;
        p = g + 1;
        if (tb < g && *tb == '/')
            Emit<Mode>(sink, 'C', tb + 1, g, false);
        else if (tb < g && g[-1] == '/')
            Emit<Mode>(sink, 'E', tb, g, false);
        else
            Emit<Mode>(sink, 'O', tb, g, false);
    }
    if (work)
        work->TagEndBytes = tagEndBytes;
    return text.size();
}

// Hands each token to a sink of the caller's, its body kept only for the call.
struct TPieceSink {
    TTokenSink& sink;
    std::string& scratch;
    char kind = 0;

    bool Wants(char tokenKind) { return sink.Wants(tokenKind); }
    char* Begin(char tokenKind, size_t bodyBytes)
    {
        kind = tokenKind;
        if (scratch.size() < bodyBytes)
            scratch.resize(bodyBytes + bodyBytes / 2);
        return scratch.data();
    }
    void Commit(char* end) { sink.Token(kind, std::string_view(scratch.data(), static_cast<size_t>(end - scratch.data()))); }
};

} // namespace

void TPieceTokenizer::Add(std::string_view piece)
{
    if (FEnded)
        return;
    // The text ends at its first NUL, as when it is tokenized whole.
    const size_t nul = piece.find('\0');
    const bool last = nul != std::string_view::npos;
    if (last)
        piece = piece.substr(0, nul);
    TPieceSink sink{FSink, FScratch};
    if (FCarry.empty() && !last) {
        const size_t used = Scan<TBreakMode::AnyBreak>(piece, sink, nullptr, false);
        FCarry.assign(piece.substr(used));
    } else {
        FCarry.append(piece);
        if (last) {
            Finish();
            return;
        }
        const size_t used = Scan<TBreakMode::AnyBreak>(FCarry, sink, nullptr, false);
        FCarry.erase(0, used);
    }
    if (FCarry.size() > FLongest)
        throw ETokenTooLong();
}

void TPieceTokenizer::Finish()
{
    if (FEnded)
        return;
    FEnded = true;
    TPieceSink sink{FSink, FScratch};
    Scan<TBreakMode::AnyBreak>(FCarry, sink);
    FCarry.clear();
    FCarry.shrink_to_fit();
}

void TokenizeFileText(std::string_view bytes, TTokenList& tokens, TTokenizerWork* work)
{
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    tokens.Clear();
    TTokenBufferSink sink{tokens};
    // Tokens are about as long as the text; start there to grow rarely.
    if (!bytes.empty())
        sink.Grow(bytes.size() + bytes.size() / 8 + 4096);
    Scan<TBreakMode::AnyBreak>(bytes, sink, work);
}

void TokenizeJoinedText(std::string_view text, std::vector<std::string>& tokens)
{
    tokens.clear();
    TLinesSink sink{tokens, {}};
    Scan<TBreakMode::CrLfOnly>(text, sink);
}

int PosFrom(std::string_view sub, std::string_view s, int start)
{
    if (sub.empty() || s.empty())
        return 0;
    const size_t from = start > 1 ? static_cast<size_t>(start - 1) : 0;
    if (from >= s.size())
        return 0;
    const size_t hit = s.find(sub, from);
    return hit == std::string_view::npos ? 0 : static_cast<int>(hit + 1);
}

std::string FlattenWhitespace(std::string_view s)
{
    std::string out(s.size(), '\0');
    char* end = WriteFlat<TBreakMode::CrLfOnly>(out.data(), s.data(), s.data() + s.size());
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

std::string EscapeCData(std::string_view s)
{
    std::string out(3 * s.size(), '\0');
    char* end = WriteEscaped<TBreakMode::CrLfOnly>(out.data(), s.data(), s.data() + s.size());
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

void TokenizeXML(std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    std::vector<std::string> tokens;
    TokenizeJoinedText(text, tokens);
    lines = std::move(tokens);
}

void LocalizeNumber(std::string& text)
{
    int points = 0;
    for (const char c : text) {
        if (c == '.')
            ++points;
        else if (c != '-' && c != 'E' && (c < '0' || c > '9'))
            return;
    }
    if (points == 1)
        text[text.find('.')] = DecimalSeparator();
}
