#include "log/OpenedLog.h"

#include "base/Errors.h"
#include "log/EventInfo.h"
#include "log/LogFile.h"
#include "log/RoundIndex.h"

void TOpenedLog::Open(const std::string& fileName) { Open(fileName, {}); }

void TOpenedLog::Open(const std::string& fileName, const TFileBytesView& seeFile)
{
    FRounds.clear();
    FRoster.ClearPlayers();
    FReading = {};
    FReading = LoadLogFile(fileName, FDocument, seeFile);
    WalkLog(FDocument, FRoster, [this](const std::string& text, TwexXMLNode* round) { FRounds.push_back({text, round}); });
}

TwexXMLNode* TOpenedLog::Round(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= FRounds.size())
        throw EListError(index);
    return FRounds[static_cast<size_t>(index)].Node;
}

void TOpenedLog::BuildRoundEvents(int index, TEventInfoList& events) const { BuildEventList(*Round(index), events); }
