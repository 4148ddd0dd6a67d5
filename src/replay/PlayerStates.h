#pragma once

#include "replay/InfoClass.h"
#include "replay/MarkerPictures.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The replay states of a round, in the order they were created, each under its key: the
// player id in decimal. Keys are found by hashing, not by walking the list: a tick looks up
// several keys per event.
class TPlayerStateList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TInfoClass* State(int index) const;             // "List index out of bounds (%d)"
    const std::string& Key(int index) const;         // "List index out of bounds (%d)"
    int IndexOfKey(std::string_view key) const;      // -1 when no entry has the key
    TInfoClass* Find(std::string_view key) const;    // nothing when no entry has the key
    // Appends the state under the key; the list owns it from now on.
    TInfoClass* Add(std::string key, std::unique_ptr<TInfoClass> state);
    void Delete(int index); // frees the state
    void Clear();           // and the pictures
    // The pictures the states' markers name; what a frame keeps of them (painted) is no part
    // of the states.
    TMarkerPictures& Pictures() const { return FPictures; }

private:
    std::vector<std::pair<std::string, std::unique_ptr<TInfoClass>>> FItems;
    // The first entry of each key. Indices after a deleted entry are renumbered; deletes are
    // rare (a player leaving), lookups are not.
    std::unordered_map<std::string, int> FIndexOfKey;
    mutable TMarkerPictures FPictures;
};

// The key of a player id.
std::string PlayerKey(int32_t playerID);

// The text of a scoreboard cell of the state's row, columns 1 to 7 (the marker's is empty).
std::string ScoreCellText(const TInfoClass& state, int column);
