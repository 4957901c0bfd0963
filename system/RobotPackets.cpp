// The command packets of daisy-chained servo motors, built as the bytes that go on the wire.
#include "system/RobotPackets.h"

#include <initializer_list>

namespace ruk::robot {

namespace {

uint8_t low8(uint32_t value)
{
    return static_cast<uint8_t>(value & 0xFF);
}

// Command bytes are sums of script numbers: reckoned without sign, so that
// any number wraps instead of overflowing.
uint32_t command_byte(uint32_t code_times_32, int32_t id)
{
    return code_times_32 + static_cast<uint32_t>(id);
}

uint32_t speed_part(int32_t speed)
{
    return static_cast<uint32_t>(speed) * 32u;
}

// Header, command byte, data bytes, and the checksum of the command byte
// with every data byte.
Packet command_packet(uint32_t command, std::initializer_list<int32_t> data)
{
    Packet packet {Header, low8(command)};
    uint8_t sum = packet[1];
    for (int32_t value : data) {
        packet.push_back(low8(static_cast<uint32_t>(value)));
        sum ^= packet.back();
    }
    packet.push_back(sum & 0x7F);
    return packet;
}

// Command code 7 addresses one motor's settings; the first data byte says which.
constexpr uint32_t SettingsCode = 7 * 32;

} // namespace

int32_t checksum(int32_t a, int32_t b)
{
    return (a ^ b) & 0x7F;
}

Packet pos_set(int32_t id, int32_t speed, int32_t position)
{
    return command_packet(command_byte(speed_part(speed), id), {position});
}

Packet pos_set_all(int32_t speed, int32_t highest_id, std::span<const int32_t> positions)
{
    Packet packet {Header, low8(command_byte(speed_part(speed), AllMotors)), low8(static_cast<uint32_t>(highest_id) + 1u)};
    uint8_t sum = 0;
    for (int32_t position : positions) {
        packet.push_back(low8(static_cast<uint32_t>(position)));
        sum ^= packet.back();
    }
    packet.push_back(sum & 0x7F);
    return packet;
}

Packet pos_request(int32_t id)
{
    return command_packet(command_byte(5 * 32, id), {0});
}

Packet resolution_request(int32_t id)
{
    return command_packet(command_byte(SettingsCode, id), {14, 0, 0});
}

Packet act_down(int32_t id)
{
    return command_packet(command_byte(6 * 32, id), {16});
}

Packet set_gain(int32_t id, int32_t first, int32_t second)
{
    return command_packet(command_byte(SettingsCode, id), {9, first, second});
}

Packet power_down()
{
    return command_packet(command_byte(6 * 32, AllMotors), {32});
}

Packet set_bound(int32_t id, int32_t lower, int32_t upper)
{
    return command_packet(command_byte(SettingsCode, id), {17, lower, upper});
}

Packet set_resolution(int32_t id, int32_t resolution)
{
    return command_packet(command_byte(SettingsCode, id), {13, resolution, resolution});
}

} // namespace ruk::robot
