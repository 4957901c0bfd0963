// The command packets of daisy-chained servo motors, built as the bytes that go on the wire.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ruk::robot {

// Every packet is: the header 0xFF, a command byte (command code * 32 +
// motor id, id 31 meaning every motor), the data bytes, and a checksum that
// keeps the low 7 bits of an exclusive-or, so that it can never be taken for
// a header. Every value is reduced to its low 8 bits.
using Packet = std::vector<uint8_t>;

inline constexpr uint8_t Header = 0xFF;
inline constexpr int32_t AllMotors = 31;

// (a exclusive-or b), low 7 bits.
int32_t checksum(int32_t a, int32_t b);

// Moves one motor: command byte speed * 32 + id, the position, and the
// checksum of the command byte and the position.
Packet pos_set(int32_t id, int32_t speed, int32_t position);
// Moves motors 0 to highest_id at once: command byte speed * 32 + 31, the
// count highest_id + 1, one byte per position, and the checksum of the
// positions alone.
Packet pos_set_all(int32_t speed, int32_t highest_id, std::span<const int32_t> positions);
// Asks one motor for its position.
Packet pos_request(int32_t id);
// Asks one motor for its resolution.
Packet resolution_request(int32_t id);
// Lets one motor go limp.
Packet act_down(int32_t id);
Packet set_gain(int32_t id, int32_t first, int32_t second);
// Lets every motor go limp.
Packet power_down();
Packet set_bound(int32_t id, int32_t lower, int32_t upper);
Packet set_resolution(int32_t id, int32_t resolution);

} // namespace ruk::robot
