// The engine's shared pseudo-random generator.
#pragma once

#include <cstdint>
#include <string>

namespace ruk {

// Linear congruential generator: state = state * 22695477 + 1 (mod 2^32);
// each draw yields bits 16 to 30 of the new state. One instance serves the
// whole engine ("num" "random", random ids, working-folder names).
class Random {
public:
    explicit Random(uint32_t seed = 0) : m_state(seed) {}
    void seed(uint32_t seed) { m_state = seed; }
    // Seeds from the clock, as the engine does at start-up.
    void seed_from_clock();

    uint32_t next()
    {
        m_state = m_state * 22695477u + 1u;
        return (m_state >> 16) & 0x7FFFu;
    }

    // 16 characters: two digits, four capital letters, four digits, four
    // capital letters, two digits.
    std::string random_id();

private:
    uint32_t m_state;
};

} // namespace ruk
