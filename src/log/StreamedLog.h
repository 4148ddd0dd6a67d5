#pragma once

// A log read in pieces, for work over many logs in bounded memory (the match library). A first
// reading keeps only what the roster, the identities and the round list read: the log's own
// elements, the player events, each round's server settings and table, and enough of the rest
// for the round list's rules. The roster and round list are walked from that with the window's
// own steps. Each listed round is then given as a tree of its own, one at a time: from the
// rounds' tokens the first reading also held, when they were few enough (a log of a usual size,
// read and inflated once), else from a second reading. Both readings tokenize the text exactly
// as a whole load does, so every element handed on is the element a whole load builds.

#include "log/LogFile.h"
#include "log/OpenedLog.h"
#include "log/PlayerList.h"
#include "xmltree/wexXMLTree.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A log that cannot be read in pieces as a whole load reads it: a compressed log with more
// after its first stream, or a token longer than a reading in pieces holds. Read it whole.
class ELogNotStreamable : public EBaseError {
public:
    explicit ELogNotStreamable(std::string why) : EBaseError(std::move(why)) {}
};

class TStreamedLog {
public:
    // A log whose rounds' tokens take up to `keptRoundBytes` has them held by the first reading,
    // and is not read a second time; a larger one is.
    explicit TStreamedLog(size_t keptRoundBytes = DefaultKeptRoundBytes);
    static constexpr size_t DefaultKeptRoundBytes = size_t(16) << 20;
    ~TStreamedLog();
    TStreamedLog(const TStreamedLog&) = delete;
    TStreamedLog& operator=(const TStreamedLog&) = delete;

    // The first reading; `seeFile` is shown the file's bytes as they are read, piece by piece.
    // Raises as a whole load does (a file that cannot be read, a log too large), and
    // ELogNotStreamable. A failure of the walk raises afterwards, keeping the rounds and
    // players found before it, as TOpenedLog::Open does.
    void Open(const std::string& fileName, const TFileBytesView& seeFile = {});

    // What was kept of the log: the document the roster, the identities, the round list and
    // the servers' settings read the same as from the whole log. Its rounds hold no more than
    // those elements: their events are not there.
    const TwexXMLTree& Kept() const { return *FKept; }
    // The round list, each item's element in Kept().
    const std::vector<TLogRound>& Rounds() const { return FRounds; }
    const TPlayerList& Roster() const { return FRoster; }
    const TLogReading& Reading() const { return FReading; }

    // Each listed round in order, whole, as the only element of a tree of its own, until `visit`
    // answers false: as the first reading held them, else from a second reading, which raises
    // EBaseError when the file no longer gives the text the first reading read. What was held
    // is handed on once: a call after that reads the file again.
    void ForEachRound(const std::function<bool(int index, const TwexXMLTree& tree, const TwexXMLNode& round)>& visit);

    // The most bytes one token may take in a reading in pieces.
    static constexpr size_t LongestToken = size_t(64) << 20;

private:
    std::string FFileName;
    std::unique_ptr<TwexXMLTree> FKept;
    std::vector<TLogRound> FRounds;
    std::vector<uint64_t> FOrdinals; // each listed round's place among the log's elements
    std::vector<std::string> FOpenings; // and its opening tag, to know it again
    TPlayerList FRoster;
    TLogReading FReading;
    uint64_t FTextSize = 0; // the text the first reading took
    size_t FKeptRoundBytes;
    std::vector<std::unique_ptr<TTokenList>> FRoundTokens; // each listed round's, when held
};
