// The generator's random numbers: xoshiro256** seeded through splitmix64, with our own
// mapping to ranges, so that a seed gives the same log with every compiler and library.
#pragma once

#include <cstdint>

namespace loggen {

class Rng {
public:
    explicit Rng(std::uint64_t seed)
    {
        std::uint64_t x = seed;
        for (auto& word : m_state)
            word = splitmix(x);
    }

    std::uint64_t next()
    {
        const std::uint64_t result = rotl(m_state[1] * 5, 7) * 9;
        const std::uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    // Uniform in [0, n) for n > 0, by multiplying the high 32 bits; the bias is far too small
    // to matter for the small ranges used here.
    std::uint32_t below(std::uint32_t n)
    {
        return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32);
    }

    // Uniform in [lo, hi], both included; lo <= hi.
    std::int64_t range(std::int64_t lo, std::int64_t hi)
    {
        return lo + static_cast<std::int64_t>(below(static_cast<std::uint32_t>(hi - lo + 1)));
    }

    // True with a probability of perMille / 1000.
    bool chance(int perMille) { return static_cast<int>(below(1000)) < perMille; }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static std::uint64_t splitmix(std::uint64_t& x)
    {
        std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    std::uint64_t m_state[4];
};

} // namespace loggen
