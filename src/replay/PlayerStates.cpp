#include "replay/PlayerStates.h"

#include "base/Convert.h"
#include "base/Errors.h"

TInfoClass* TPlayerStateList::State(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    return FItems[static_cast<size_t>(index)].second.get();
}

const std::string& TPlayerStateList::Key(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    return FItems[static_cast<size_t>(index)].first;
}

int TPlayerStateList::IndexOfKey(std::string_view key) const
{
    const auto it = FIndexOfKey.find(std::string(key));
    return it == FIndexOfKey.end() ? -1 : it->second;
}

TInfoClass* TPlayerStateList::Find(std::string_view key) const
{
    const int index = IndexOfKey(key);
    return index < 0 ? nullptr : FItems[static_cast<size_t>(index)].second.get();
}

TInfoClass* TPlayerStateList::Add(std::string key, std::unique_ptr<TInfoClass> state)
{
    FIndexOfKey.try_emplace(key, Count());
    FItems.emplace_back(std::move(key), std::move(state));
    return FItems.back().second.get();
}

void TPlayerStateList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    FItems.erase(FItems.begin() + index);
    FIndexOfKey.clear();
    for (int i = 0; i < Count(); ++i)
        FIndexOfKey.try_emplace(FItems[static_cast<size_t>(i)].first, i);
}

void TPlayerStateList::Clear()
{
    FItems.clear();
    FIndexOfKey.clear();
    FPictures.Clear();
}

std::string PlayerKey(int32_t playerID) { return IntToStr(playerID); }

std::string ScoreCellText(const TInfoClass& state, int column)
{
    switch (column) {
    case 1: return state.PlayerName;
    case 2: return state.Dead ? "X" : "";
    case 4: return IntToStr(state.Kills);
    case 5: return IntToStr(state.Deaths);
    case 6: return IntToStr(state.Flags);
    case 7: return IntToStr(state.TKs);
    default: return ""; // the marker picture
    }
}
