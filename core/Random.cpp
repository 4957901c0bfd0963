// Clock seeding and random ids.
#include "core/Random.h"

#include <chrono>

namespace ruk {

void Random::seed_from_clock()
{
    auto now = std::chrono::system_clock::now().time_since_epoch();
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    m_state = static_cast<uint32_t>(ns ^ (ns >> 32));
}

std::string Random::random_id()
{
    std::string id(16, ' ');
    auto digit = [this] { return static_cast<char>('0' + next() % 10); };
    auto letter = [this] { return static_cast<char>('A' + next() % 26); };
    for (int i = 0; i < 16; ++i) {
        bool is_digit = i < 2 || (i >= 6 && i < 10) || i >= 14;
        id[static_cast<size_t>(i)] = is_digit ? digit() : letter();
    }
    return id;
}

} // namespace ruk
