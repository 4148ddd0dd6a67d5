// Deterministic randomness for the picture tool: every picture must come out byte for byte the
// same on every run, so nothing here reads the clock or the standard library's engines (whose
// distributions differ between library versions).
#pragma once

#include <cmath>
#include <cstdint>

namespace mkimages {

inline std::uint64_t mix64(std::uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// Hash of a lattice point to [0, 1).
inline double hash01(std::int64_t x, std::int64_t y, std::uint64_t seed)
{
    std::uint64_t h = mix64(static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ULL ^
                            mix64(static_cast<std::uint64_t>(y) + seed * 0xD1B54A32D192ED03ULL));
    return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() { return mix64(m_state += 0x9E3779B97F4A7C15ULL); }
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return static_cast<int>(uniform() * n); }
    bool chance(double p) { return uniform() < p; }

private:
    std::uint64_t m_state;
};

inline double smooth(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }
inline double lerp(double a, double b, double t) { return a + (b - a) * t; }
inline double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline double smoothstep(double e0, double e1, double v)
{
    double t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Value noise in [0, 1] with a lattice spacing of one unit.
inline double valueNoise(double x, double y, std::uint64_t seed)
{
    double fx = std::floor(x), fy = std::floor(y);
    auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    double tx = smooth(x - fx), ty = smooth(y - fy);
    double a = hash01(ix, iy, seed), b = hash01(ix + 1, iy, seed);
    double c = hash01(ix, iy + 1, seed), d = hash01(ix + 1, iy + 1, seed);
    return lerp(lerp(a, b, tx), lerp(c, d, tx), ty);
}

// Fractal sum of value noise, roughly in [0, 1]; `scale` is the size of the coarsest feature.
inline double fbm(double x, double y, double scale, int octaves, std::uint64_t seed)
{
    double sum = 0, amp = 1, norm = 0, f = 1.0 / scale;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * valueNoise(x * f, y * f, seed + 1013 * i);
        norm += amp;
        amp *= 0.5;
        f *= 2.03;
    }
    return sum / norm;
}

} // namespace mkimages
