#pragma once

// A log opened as the window opens it, for work without the window: the tree, the round list
// with each item's element, and the roster.

#include "log/LogFile.h"
#include "log/LogLoader.h"
#include "log/PlayerList.h"

#include <string>
#include <vector>

class TEventInfoList;
class TwexXMLNode;
class TwexXMLTree;

struct TLogRound {
    std::string Text;  // the round list's item
    TwexXMLNode* Node; // the round's element in the tree
};

class TOpenedLog {
public:
    // Loads the file and walks the tree with the window's own steps (LoadLogFile, WalkLog). A
    // failure of the walk raises, keeping the rounds and players found before it.
    void Open(const std::string& fileName);
    // The same, showing `seeFile` the file's bytes as they are read (LoadLogFile).
    void Open(const std::string& fileName, const TFileBytesView& seeFile);

    const TwexXMLTree& Document() const { return FDocument; }
    const std::vector<TLogRound>& Rounds() const { return FRounds; }
    const TPlayerList& Roster() const { return FRoster; }
    // Whether the log ended early, and how much of it was read.
    const TLogReading& Reading() const { return FReading; }
    // The element of round list item `index` ("List index out of bounds (%d)").
    TwexXMLNode* Round(int index) const;
    // The event records of item `index`, built as selecting the round builds them; a failure
    // keeps the records made before it.
    void BuildRoundEvents(int index, TEventInfoList& events) const;

private:
    TDocumentSlot FDocument;
    std::vector<TLogRound> FRounds;
    TPlayerList FRoster;
    TLogReading FReading;
};
