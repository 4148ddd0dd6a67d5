#pragma once

#include <functional>
#include <string>
#include <string_view>

class TPlayerList;
class TwexXMLNode;
class TwexXMLTree;

// The log's end time when the log gives none.
inline constexpr double NoLogEndTime = 1000000.0;

// A player's name as the log writes it, as the roster shows it: "&lt;" and "&gt;" decoded.
std::string DecodePlayerName(std::string_view name);

// Walks a loaded log once: every round worth replaying goes to addRound with its text (map
// and both sides' tickets) and its element, as soon as it is found; every player who joins
// or leaves goes into the roster. A conversion error ends the walk and keeps what was done.
void WalkLog(const TwexXMLTree& document, TPlayerList& roster,
             const std::function<void(const std::string& text, TwexXMLNode* round)>& addRound);
