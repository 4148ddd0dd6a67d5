#pragma once

// Small logs for the replay tests, written event by event.

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

namespace replaylog {

using TParams = std::initializer_list<std::pair<const char*, std::string>>;

// An event of a player at a place, with more parameters after those two.
inline std::string Ev(const std::string& name, const std::string& time, int id, const std::string& location,
                      TParams more = {})
{
    std::string e = "<bf:event name=\"" + name + "\" timestamp=\"" + time + "\">";
    e += "<bf:param type=\"int\" name=\"player_id\">" + std::to_string(id) + "</bf:param>";
    if (!location.empty())
        e += "<bf:param type=\"vec3\" name=\"player_location\">" + location + "</bf:param>";
    for (const auto& [param, value] : more)
        e += "<bf:param name=\"" + std::string(param) + "\">" + value + "</bf:param>";
    return e + "</bf:event>";
}

inline std::string Score(const std::string& time, int id, const std::string& location, const std::string& type,
                         TParams more = {})
{
    std::string e = Ev("scoreEvent", time, id, location, more);
    const std::string param = "<bf:param name=\"score_type\">" + type + "</bf:param>";
    return e.insert(e.size() - std::string("</bf:event>").size(), param);
}

// A round that the round list shows: players 3 Anna, 5 Bert and 7 Carl join before its
// "roundInit"; filler elements that are no events make it long enough to be listed.
inline std::string Round(const std::string& events, const std::string& map = "bay")
{
    std::string round = "<bf:round><bf:server><bf:setting name=\"map\">" + map + "</bf:setting></bf:server>";
    for (const auto& [id, name] : {std::pair{3, "Anna"}, {5, "Bert"}, {7, "Carl"}})
        round += "<bf:event name=\"createPlayer\" timestamp=\"0\"><bf:param name=\"player_id\">" + std::to_string(id) +
                 "</bf:param><bf:param name=\"name\">" + name + "</bf:param></bf:event>";
    round += "<bf:event name=\"roundInit\" timestamp=\"0\"/>" + events;
    for (int i = 0; i < 20; ++i)
        round += "<bf:filler/>";
    return round + "<bf:roundstats><bf:teamtickets team=\"1\">1</bf:teamtickets>"
                   "<bf:teamtickets team=\"2\">2</bf:teamtickets></bf:roundstats></bf:round>";
}

inline std::string Log(const std::string& rounds) { return "<?xml version=\"1.0\"?>\n<bf:log>" + rounds + "</bf:log>"; }

// A map object file of the map "bay": a Jeep, a Tank beside it and a control point of team 1.
inline const char BayObjects[] = "Object.create Jeep\nObject.absolutePosition 1000/0/1000\nObject.setTeam 0\n"
                                 "Object.create Tank\nObject.absolutePosition 1005/0/1000\nObject.setTeam 0\n"
                                 "Object.create controlpoint\nObject.absolutePosition 3000/0/3000\nObject.setTeam 1\n";

// The sliders' start values saved for "bay", whose rounds then replay on them rather than on
// the fit that a map with neither a picture nor a saved calibration takes when selected.
inline const char BayAtStart[] = "bay_SCALE=2000\r\nbay_CORRECTIONY=2000\r\nbay_TOPMARGIN=0\r\nbay_LEFTMARGIN=0\r\n";

// Before any map picture the map is 105 pixels high and both scales stand at 2000.
inline int MapX(double x) { return static_cast<int>(std::lround(2.0 * x)); }
inline int MapY(double z) { return 105 - static_cast<int>(std::lround(2.0 * z)); }
constexpr int HalfMarker = 52; // a marker without picture is 105 x 105
// Once placed with a kit no picture shows, a marker is the built-in plain soldier, 21 x 21.
constexpr int HalfStandIn = 10;

} // namespace replaylog
