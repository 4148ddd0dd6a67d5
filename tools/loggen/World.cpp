#include "World.h"

#include <cmath>
#include <cstring>

namespace loggen {

std::int64_t isqrt(std::int64_t value)
{
    if (value <= 0)
        return 0;
    // The floating-point guess is corrected to the exact floor, so the result never depends on
    // the platform's sqrt.
    auto r = static_cast<std::int64_t>(std::sqrt(static_cast<double>(value)));
    while (r > 0 && r * r > value)
        --r;
    while ((r + 1) * (r + 1) <= value)
        ++r;
    return r;
}

int vehicleKindIndex(const char* name)
{
    for (int i = 0; i < static_cast<int>(std::size(VehicleKinds)); ++i)
        if (std::strcmp(VehicleKinds[i].name, name) == 0)
            return i;
    return -1;
}

std::int64_t toFixed(double worldUnits)
{
    return std::llround(worldUnits * static_cast<double>(Unit));
}

MapWorld::MapWorld(const demoworld::Map& m) : map(&m), size(toFixed(m.worldSize))
{
    for (const auto& p : m.controlPoints) {
        points.push_back({toFixed(p.x), toFixed(p.y), toFixed(p.z)});
        pointTeam.push_back(p.team);
        capturable.push_back(!p.base);
        m_heightSamples.push_back(points.back());
    }
    for (const auto& v : m.vehicles)
        m_heightSamples.push_back({toFixed(v.x), toFixed(v.y), toFixed(v.z)});
}

std::int64_t MapWorld::heightAt(std::int64_t x, std::int64_t z) const
{
    // Inverse squared distance weights; the constant keeps the ground flat near each place.
    std::int64_t weighted = 0, total = 0;
    for (const Pos& s : m_heightSamples) {
        const std::int64_t dx = (x - s.x) / Unit, dz = (z - s.z) / Unit;
        const std::int64_t w = (std::int64_t{1} << 40) / (dx * dx + dz * dz + 400);
        weighted += w * s.y;
        total += w;
    }
    return total > 0 ? weighted / total : 0;
}

int MapWorld::baseOf(int team) const
{
    for (std::size_t i = 0; i < points.size(); ++i)
        if (!capturable[i] && pointTeam[i] == team)
            return static_cast<int>(i);
    return -1;
}

} // namespace loggen
