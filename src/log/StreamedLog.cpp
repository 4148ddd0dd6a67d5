#include "log/StreamedLog.h"

#include "base/Errors.h"
#include "base/Files.h"
#include "log/RoundIndex.h"
#include "xmltree/XMLTokenizer.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

namespace {

constexpr size_t PieceBytes = size_t(1) << 20;

// The text of a log piece after piece: the same bytes, the same note and the same failures as
// LoadLogFile reading it whole.
class TLogPieces {
public:
    TLogPieces(const std::string& fileName, const TFileBytesView& seeFile)
        : FFileName(fileName), FFile(fileName), FCompressed(IsCompressedLogName(fileName)), FLimit(LogTextLimit()),
          FSeeFile(seeFile), FIn(PieceBytes), FOut(PieceBytes)
    {
        if (!FCompressed && FFile.Size() > FLimit)
            throw ELogTooLarge(fileName, FLimit, false);
        if (FCompressed) {
            if (inflateInit2(&FStream, 15) != Z_OK)
                throw EZDecompressionError();
            FInflating = true;
        }
    }
    ~TLogPieces()
    {
        if (FInflating)
            inflateEnd(&FStream);
    }
    TLogPieces(const TLogPieces&) = delete;
    TLogPieces& operator=(const TLogPieces&) = delete;

    // The next piece of the text; false once the text has ended.
    bool Next(std::string_view& piece) { return FCompressed ? NextInflated(piece) : NextRead(piece); }
    // Shows the file's bytes that the text did not need to whoever sees them.
    void SeeRest()
    {
        if (FSeeFile)
            while (Read(FIn.data()) > 0) {
            }
    }
    // How the reading ended, once Next has said so.
    TLogReading Reading() const
    {
        if (!FCompressed)
            return {};
        TLogReading reading;
        static_cast<TInflateResult&>(reading) = FReading;
        reading.textSize = FText;
        return reading;
    }

private:
    // Up to a piece of the file's bytes from where the reading stands; 0 at its end.
    size_t Read(char* to)
    {
        const size_t got = FFile.ReadAt(FRead, PieceBytes, to);
        if (got > 0 && FSeeFile)
            FSeeFile(std::string_view(to, got));
        FRead += got;
        return got;
    }

    bool NextRead(std::string_view& piece)
    {
        if (FDone)
            return false;
        const size_t got = Read(FIn.data());
        if (got == 0) {
            FDone = true;
            return false;
        }
        FText += got;
        if (FText > FLimit) // a file that grew past the limit while it was read
            throw ELogTooLarge(FFileName, FLimit, false);
        piece = std::string_view(FIn.data(), got);
        return true;
    }

    // Gives the inflater more of the file when it has taken all it had; false at the file's end.
    bool Feed()
    {
        if (FStream.avail_in != 0)
            return true;
        if (FInputEnded)
            return false;
        const size_t got = Read(FIn.data());
        if (got == 0) {
            FInputEnded = true;
            return false;
        }
        FStream.next_in = reinterpret_cast<Bytef*>(FIn.data());
        FStream.avail_in = static_cast<uInt>(got);
        return true;
    }

    bool NextInflated(std::string_view& piece)
    {
        while (!FDone) {
            Feed();
            if (FRead == 0 && FInputEnded) {
                FDone = true; // an empty file is an empty text
                return false;
            }
            FStream.next_out = reinterpret_cast<Bytef*>(FOut.data());
            FStream.avail_out = static_cast<uInt>(PieceBytes);
            const int status = inflate(&FStream, Z_NO_FLUSH);
            const size_t produced = PieceBytes - FStream.avail_out;
            FText += produced;
            if (FText > FLimit)
                throw ELogTooLarge(FFileName, FLimit, true);
            if (status == Z_STREAM_END) {
                // Logs joined after one another are streams one after another: such a file
                // is read whole.
                if (Feed())
                    throw ELogNotStreamable("The log holds more than one stream");
                FDone = true;
            } else if (status == Z_OK) {
            } else if (status == Z_BUF_ERROR && !FInputEnded && FStream.avail_in == 0) {
            } else if (status == Z_BUF_ERROR && FText > 0) {
                FReading.broken = TStreamBreak::CutOff; // a running server's log breaks off mid-stream
                FDone = true;
            } else if (status == Z_DATA_ERROR && FText > 0) {
                const uint64_t at = FRead - FStream.avail_in;
                const bool atEnd = !Feed();
                if (atEnd && FStream.msg && std::strcmp(FStream.msg, "incorrect data check") == 0) {
                    FReading.broken = TStreamBreak::WrongChecksum;
                } else {
                    FReading.broken = TStreamBreak::Damaged;
                    FReading.damagedAt = at;
                }
                FDone = true;
            } else {
                throw EZDecompressionError(); // a stream that gave nothing is no log at all
            }
            if (produced > 0) {
                piece = std::string_view(FOut.data(), produced);
                return true;
            }
        }
        return false;
    }

    std::string FFileName;
    TInputFile FFile;
    bool FCompressed;
    size_t FLimit;
    TFileBytesView FSeeFile;
    std::vector<char> FIn, FOut;
    z_stream FStream{};
    bool FInflating = false;
    bool FInputEnded = false;
    bool FDone = false;
    uint64_t FRead = 0; // bytes of the file read
    uint64_t FText = 0; // bytes of text given
    TInflateResult FReading;
};

// Where a token stands in the log, as the tree builder places it: the declaration encloses the
// document, so the log element is the tree's grandchild (the first child of its first child),
// and the log's elements are the level below.
class TLogShape {
public:
    enum TRole {
        Outside,      // no part of the log's elements
        Top,          // the tree's first child, opening
        Log,          // the log element, opening
        Element,      // one of the log's elements, opening (or empty)
        Inside,       // within one of the log's elements
        ElementEnd,   // the close of one of the log's elements
        LogEnd,       // the close of the log element
        TopEnd        // the close of the tree's first child
    };

    TRole Take(char kind)
    {
        if (kind == TTokenList::OpeningTag || kind == TTokenList::EmptyTag) {
            const bool opens = kind == TTokenList::OpeningTag;
            const int level = FDepth + 1;
            TRole role = Outside;
            if (level == 1 && !FSeenTop) {
                FSeenTop = true;
                FTopOpen = opens;
                role = Top;
            } else if (level == 2 && FTopOpen && !FSeenLog) {
                FSeenLog = true;
                FLogOpen = opens;
                role = Log;
            } else if (level == 3 && FLogOpen) {
                ++FOrdinal;
                role = Element;
            } else if (level >= 4 && FLogOpen) {
                role = Inside;
            }
            if (opens)
                ++FDepth;
            return role;
        }
        if (kind == TTokenList::ClosingTag) {
            if (FDepth == 0)
                return Outside; // closes nothing
            TRole role = Outside;
            if (FDepth == 1 && FTopOpen) {
                FTopOpen = false;
                role = TopEnd;
            } else if (FDepth == 2 && FLogOpen) {
                FLogOpen = false;
                role = LogEnd;
            } else if (FDepth == 3 && FLogOpen) {
                role = ElementEnd;
            } else if (FDepth >= 4 && FLogOpen) {
                role = Inside;
            }
            --FDepth;
            return role;
        }
        return FLogOpen && FDepth >= 3 ? Inside : Outside;
    }
    // Open elements, the tree not counted.
    int Depth() const { return FDepth; }
    // The place among the log's elements of the last one opened, 0 the first.
    uint64_t Ordinal() const { return FOrdinal; }

private:
    int FDepth = 0;
    bool FSeenTop = false, FTopOpen = false, FSeenLog = false, FLogOpen = false;
    uint64_t FOrdinal = uint64_t(-1);
};

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool ContainsAnyCase(std::string_view text, std::string_view lowerPart)
{
    if (text.size() < lowerPart.size())
        return false;
    for (size_t i = 0; i + lowerPart.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < lowerPart.size() && (text[i + k] | 0x20) == lowerPart[k])
            ++k;
        if (k == lowerPart.size())
            return true;
    }
    return false;
}

// Whether an element is one whose whole content the roster, the identities or the round list
// read: the player events ("createPlayer", "destroyPlayer", "playerKeyHash",
// "changePlayerName"). Any tag that could name one passes; more kept only costs memory.
bool PlayerEventTag(std::string_view tag) { return Contains(tag, "layer"); }
// The same for a round's children: its player events, its server settings and its table.
bool KeptChildTag(std::string_view tag)
{
    return PlayerEventTag(tag) || Contains(tag, "server") || ContainsAnyCase(tag, "roundstats");
}

// Whether the opening tag is a round's ("bf:round", then the attributes or nothing).
bool RoundTag(std::string_view tag)
{
    return tag.substr(0, 8) == "bf:round" && (tag.size() == 8 || tag[8] == ' ');
}

// The node memory a round's tree keeps for the next round's: rounds are alike in size.
constexpr size_t KeptNodeBytes = size_t(64) << 20;

// A round's first children kept as tags: the round list counts a round of more than 20.
constexpr uint64_t FewChildren = 21;

// The first reading: the tokens of what is kept of the log, in order; and while they take no
// more than `roundBytes`, each round's own tokens, as the second reading would take them, so
// that a log of a usual size is tokenized once.
class TKeptTokens : public TTokenSink {
public:
    explicit TKeptTokens(size_t roundBytes) : FRoundBytes(roundBytes), FRoundsWhole(roundBytes > 0) {}

    bool Wants(char kind) override
    {
        FDepth = FShape.Depth();
        FRole = FShape.Take(kind);
        FForRound = FRoundsWhole && (FRole == TLogShape::Element || (FRound && (FRole == TLogShape::Inside ||
                                                                                 FRole == TLogShape::ElementEnd)));
        switch (FRole) {
        case TLogShape::Outside:
            FForKept = false;
            break;
        case TLogShape::Inside:
            // The element's own tokens, its children's tags, and what a child kept whole holds.
            FForKept = FWhole || FDepth == 3 || FChildWhole;
            break;
        default:
            FForKept = true;
            break;
        }
        return FForKept || FForRound;
    }

    void Token(char kind, std::string_view body) override
    {
        if (FForRound)
            RoundToken(kind, body);
        if (!FForKept)
            return;
        switch (FRole) {
        case TLogShape::Outside:
            break;
        case TLogShape::Top:
        case TLogShape::Log:
        case TLogShape::TopEnd:
        case TLogShape::LogEnd:
            Keep(kind, body);
            break;
        case TLogShape::Element:
            Keep(kind, body);
            if (RoundTag(body))
                Openings.emplace(FShape.Ordinal(), std::string(body));
            FWhole = PlayerEventTag(body);
            FChildren = 0;
            FPending.reset();
            FChildWhole = false;
            break;
        case TLogShape::ElementEnd:
            KeepPending();
            Keep(kind, body);
            FWhole = false;
            break;
        case TLogShape::Inside:
            if (FWhole) {
                Keep(kind, body);
            } else if (FDepth == 3 && (kind == TTokenList::OpeningTag || kind == TTokenList::EmptyTag)) {
                Child(kind, body);
            } else if (FDepth == 4 && kind == TTokenList::ClosingTag) {
                Keep(kind, body); // only asked for when the child is kept whole
                FChildWhole = false;
            } else {
                Keep(kind, body); // the element's own text, or within a child kept whole
            }
            break;
        }
    }

    // The text has ended: the last child of an element left open is kept too, and a round
    // left open ends with it.
    void Finish() { KeepPending(); }

    TTokenList Tokens;
    std::unordered_map<uint64_t, std::string> Openings; // the rounds' opening tags by place
    // Each round's tokens by its place, when every round's are here.
    std::unordered_map<uint64_t, std::unique_ptr<TTokenList>> Rounds;
    bool RoundsWhole() const { return FRoundsWhole; }

private:
    void RoundToken(char kind, std::string_view body)
    {
        if (FRole == TLogShape::Element) {
            FRound = nullptr;
            if (!RoundTag(body))
                return;
            auto& tokens = Rounds[FShape.Ordinal()];
            tokens = std::make_unique<TTokenList>();
            FRound = tokens.get();
        }
        FRound->Append(kind, body);
        // An empty round element is whole at once; else its close ends it.
        if (FRole == TLogShape::ElementEnd || (kind == TTokenList::EmptyTag && FRole == TLogShape::Element))
            FRound = nullptr;
        FRoundsTaken += body.size() + 2;
        if (FRoundsTaken > FRoundBytes) {
            // Too many to hold: the second reading reads them all.
            FRoundsWhole = false;
            FRound = nullptr;
            Rounds.clear();
        }
    }

    void Keep(char kind, std::string_view body) { Tokens.Append(kind, body); }

    // One of the element's children: kept whole when it is read, else as its tag alone when it
    // is among the first (the round list counts them) or the last (the log's end time is its).
    void Child(char kind, std::string_view body)
    {
        FPending.reset(); // not the last after all
        const bool first = FChildren++ < FewChildren;
        if (KeptChildTag(body)) {
            Keep(kind, body);
            FChildWhole = kind == TTokenList::OpeningTag;
            return;
        }
        FChildWhole = false;
        if (first)
            KeepTag(kind, body);
        else
            FPending.emplace(kind, std::string(body));
    }

    // A child as its tag alone: the same node, without what it holds.
    void KeepTag(char kind, std::string_view body)
    {
        Keep(kind, body);
        if (kind == TTokenList::OpeningTag)
            Keep(TTokenList::ClosingTag, {});
    }

    void KeepPending()
    {
        if (FPending)
            KeepTag(FPending->first, FPending->second);
        FPending.reset();
    }

    TLogShape FShape;
    TLogShape::TRole FRole = TLogShape::Outside; // the token's, told before it comes
    bool FForKept = false, FForRound = false;    // and who wants it
    const size_t FRoundBytes;
    bool FRoundsWhole;               // every round's tokens are held so far
    size_t FRoundsTaken = 0;         // the bytes they take
    TTokenList* FRound = nullptr;    // those of the round open now
    int FDepth = 0;           // the open elements before it
    bool FWhole = false;      // the open element is kept whole
    bool FChildWhole = false; // the open child of the element is kept whole
    uint64_t FChildren = 0;   // the open element's children so far
    std::optional<std::pair<char, std::string>> FPending; // its last child but one kept by its tag
};

// The second reading: the tokens of each wanted element, handed on as each closes.
class TRoundTokens : public TTokenSink {
public:
    using TTake = std::function<void(size_t wanted, TTokenList& tokens)>;

    TRoundTokens(const std::vector<uint64_t>& ordinals, TTake take) : FOrdinals(ordinals), FTake(std::move(take)) {}

    bool Wants(char kind) override
    {
        switch (FShape.Take(kind)) {
        case TLogShape::Element:
            if (FNext < FOrdinals.size() && FShape.Ordinal() == FOrdinals[FNext]) {
                FTaking = true;
                return true;
            }
            return false;
        case TLogShape::Inside:
            return FTaking;
        case TLogShape::ElementEnd:
            if (!FTaking)
                return false;
            FEnds = true;
            return true;
        default:
            return false;
        }
    }

    void Token(char kind, std::string_view body) override
    {
        FTokens.Append(kind, body);
        if (FEnds || (kind == TTokenList::EmptyTag && FTokens.Count() == 1))
            Hand();
    }

    // The text has ended: a round left open ends with it.
    void Finish()
    {
        if (FTaking)
            Hand();
    }

    bool Done() const { return FNext >= FOrdinals.size(); }

private:
    void Hand()
    {
        FTaking = false;
        FEnds = false;
        // A round the list names more than once, once for each of its server elements, is
        // handed on each time.
        for (;;) {
            const size_t wanted = FNext++;
            if (FNext < FOrdinals.size() && FOrdinals[FNext] == FOrdinals[wanted]) {
                TTokenList copy;
                copy.CopyFrom(FTokens);
                FTake(wanted, copy);
                continue;
            }
            FTake(wanted, FTokens);
            break;
        }
        FTokens.Clear();
    }

    const std::vector<uint64_t>& FOrdinals;
    TTake FTake;
    TLogShape FShape;
    size_t FNext = 0;
    bool FTaking = false;
    bool FEnds = false; // the token told of closes the element taken
    TTokenList FTokens;
};

// Reads the text through the tokenizer into the sink until the text ends or `enough` says so;
// returns the bytes of text read.
template <typename Sink>
uint64_t Tokenize(TLogPieces& pieces, Sink& sink, const std::function<bool()>& enough, uint64_t most)
{
    TPieceTokenizer tokenizer(sink, TStreamedLog::LongestToken);
    uint64_t read = 0;
    std::string_view piece;
    try {
        while (!tokenizer.Ended() && !enough() && read < most && pieces.Next(piece)) {
            if (piece.size() > most - read)
                piece = piece.substr(0, most - read);
            read += piece.size();
            tokenizer.Add(piece);
        }
        if (enough())
            return read;
        tokenizer.Finish();
    } catch (const ETokenTooLong& error) {
        throw ELogNotStreamable(error.what());
    }
    sink.Finish();
    // The rest of the file is still read, for those who see its bytes and for how it ends.
    while (pieces.Next(piece)) {
    }
    pieces.SeeRest();
    return read;
}

} // namespace

TStreamedLog::TStreamedLog(size_t keptRoundBytes)
    : FKept(std::make_unique<TwexXMLTree>("ROOT", "", nullptr)), FKeptRoundBytes(keptRoundBytes)
{
}

TStreamedLog::~TStreamedLog() = default;

void TStreamedLog::Open(const std::string& fileName, const TFileBytesView& seeFile)
{
    FFileName = fileName;
    FRounds.clear();
    FOrdinals.clear();
    FOpenings.clear();
    FRoster.ClearPlayers();
    FReading = {};
    FRoundTokens.clear();

    TKeptTokens kept(FKeptRoundBytes);
    {
        TLogPieces pieces(fileName, seeFile);
        FTextSize = Tokenize(pieces, kept, [] { return false; }, UINT64_MAX);
        FReading = pieces.Reading();
    }
    FKept->LoadFromTokens(kept.Tokens);

    // The kept document has every one of the log's elements, in order: a round's place among
    // them is its place in the log.
    std::unordered_map<const TwexXMLNode*, uint64_t> places;
    const TwexXMLNode* top = FKept->FirstChild();
    if (const TwexXMLNode* log = top ? top->FirstChild() : nullptr) {
        uint64_t place = 0;
        for (const TwexXMLNode* element : log->Children())
            places.emplace(element, place++);
    }
    WalkLog(*FKept, FRoster, [&](const std::string& text, TwexXMLNode* round) {
        const uint64_t place = places.at(round);
        FRounds.push_back({text, round});
        FOrdinals.push_back(place);
        FOpenings.push_back(kept.Openings[place]);
    });
    // The listed rounds' tokens, when the first reading held every one of them; a round listed
    // again right after itself has them from its first listing.
    if (kept.RoundsWhole()) {
        for (size_t i = 0; i < FOrdinals.size(); ++i) {
            if (i > 0 && FOrdinals[i] == FOrdinals[i - 1]) {
                FRoundTokens.emplace_back();
                continue;
            }
            const auto found = kept.Rounds.find(FOrdinals[i]);
            if (found == kept.Rounds.end() || !found->second) {
                FRoundTokens.clear();
                break;
            }
            FRoundTokens.push_back(std::move(found->second));
        }
    }
}

void TStreamedLog::ForEachRound(
    const std::function<bool(int index, const TwexXMLTree& tree, const TwexXMLNode& round)>& visit)
{
    if (FOrdinals.empty())
        return;
    bool enough = false;
    TwexXMLTree tree("ROOT", "", nullptr);
    tree.KeepNodeMemory(KeptNodeBytes);
    if (!FRoundTokens.empty()) {
        // Held since the first reading: each is handed on once, and let go.
        std::vector<std::unique_ptr<TTokenList>> held = std::move(FRoundTokens);
        FRoundTokens.clear();
        std::unique_ptr<TTokenList> tokens;
        for (size_t wanted = 0; wanted < held.size() && !enough; ++wanted) {
            if (held[wanted])
                tokens = std::move(held[wanted]);
            if (wanted + 1 < held.size() && !held[wanted + 1]) {
                // Listed again next: loaded from a copy, one at a time.
                TTokenList copy;
                copy.CopyFrom(*tokens);
                tree.LoadFromTokens(copy);
            } else {
                tree.LoadFromTokens(*tokens);
                tokens.reset();
            }
            const TwexXMLNode* round = tree.FirstChild();
            enough = !round || !visit(static_cast<int>(wanted), tree, *round);
        }
        return;
    }
    TRoundTokens rounds(FOrdinals, [&](size_t wanted, TTokenList& tokens) {
        if (enough)
            return;
        const std::string_view seen(tokens.Buffer().substr(1, tokens.Buffer().find('\n') - 1));
        if (seen != FOpenings[wanted])
            throw EBaseError("The log changed while it was read: " + FFileName);
        tree.LoadFromTokens(tokens);
        const TwexXMLNode* round = tree.FirstChild();
        if (!round || !visit(static_cast<int>(wanted), tree, *round))
            enough = true;
    });
    TLogPieces pieces(FFileName, {});
    Tokenize(pieces, rounds, [&] { return enough || rounds.Done(); }, FTextSize);
    if (!enough && !rounds.Done())
        throw EBaseError("The log changed while it was read: " + FFileName);
}
