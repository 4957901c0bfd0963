// The "rs232" and "robot" families: one serial port for the engine and the servo packets sent over it.
#include "system/Serial.h"

#include "core/Engine.h"
#include "system/RobotPackets.h"
#include "system/SerialPort.h"

#include <memory>
#include <vector>

namespace ruk {

namespace {

Parity parity_from_word(const std::string& word)
{
    if (word == "EVENPARITY")
        return Parity::Even;
    if (word == "MARKPARITY")
        return Parity::Mark;
    if (word == "ODDPARITY")
        return Parity::Odd;
    if (word == "SPACEPARITY")
        return Parity::Space;
    return Parity::None;
}

StopBits stop_bits_from_word(const std::string& word)
{
    if (word == "ONE5STOPBITS")
        return StopBits::OneAndHalf;
    if (word == "TWOSTOPBITS")
        return StopBits::Two;
    return StopBits::One;
}

// Parameters 6 (abort on error) and 7 (raw transfer) have nothing to switch
// on Linux: transfers are always raw and an error never blocks later ones.
Result open_port(Engine& e, SerialPort& port)
{
    const std::string& name = e.param(1);
    SerialSettings settings;
    settings.baud = e.param_int(2, 9600);
    settings.data_bits = e.param_int(3, 8);
    settings.parity = parity_from_word(e.param(4));
    settings.stop_bits = stop_bits_from_word(e.param(5));
    settings.timeout_ms = e.param_int(8, 500);
    if (name.empty()) {
        port.close();
        return int_to_text(static_cast<int>(OpenStatus::NoDevice));
    }
    return int_to_text(static_cast<int>(port.open(SerialPort::device_path(name), settings)));
}

Result rs232(Engine& e, SerialPort& port)
{
    const std::string& op = e.word(1);
    if (op == "open")
        return open_port(e, port);
    if (op == "send")
        return port.write_byte(static_cast<uint8_t>(e.param_int(1, 0) & 0xFF)) ? "1" : "-1";
    if (op == "get")
        return int_to_text(port.read_byte());
    if (op == "close") {
        port.close();
        return std::string();
    }
    if (op == "checksum")
        return int_to_text(robot::checksum(e.param_int(1, 0), e.param_int(2, 0)));
    return e.call_function();
}

// The positions of "pos.setfromarray": every element of the named variable,
// 0 to its highest. A variable that does not exist counts as a new one (one
// empty element) and is not created.
std::vector<int32_t> positions_of(Engine& e, const std::string& name)
{
    const int32_t number = e.vars().find(name);
    if (number < 0)
        return {120};
    std::vector<int32_t> positions;
    for (const auto& element : e.vars().at(number).elements)
        positions.push_back(eval_int(element, 120));
    return positions;
}

// The packet of the current "robot.aimotor" command, or nothing when the
// words name none.
std::optional<robot::Packet> robot_packet(Engine& e)
{
    const std::string& op = e.word(2);
    const std::string& what = e.word(3);
    if (op == "pos") {
        if (what == "set")
            return robot::pos_set(e.param_int(1, 0), e.param_int(2, 0), e.param_int(3, 120));
        if (what == "setfromarray") {
            auto positions = positions_of(e, e.param(1));
            return robot::pos_set_all(e.param_int(2, 3), e.param_int(3, 0), positions);
        }
        if (what == "request")
            return robot::pos_request(e.param_int(1, 0));
        return std::nullopt;
    }
    if (op == "resolution")
        return what == "request" ? std::optional(robot::resolution_request(e.param_int(1, 0))) : std::nullopt;
    if (op == "actdown")
        return robot::act_down(e.param_int(1, 0));
    if (op == "setgain")
        return robot::set_gain(e.param_int(1, 0), e.param_int(2, 25), e.param_int(3, 50));
    if (op == "powerdown")
        return robot::power_down();
    if (op == "setbound")
        return robot::set_bound(e.param_int(1, 0), e.param_int(2, 120), e.param_int(3, 120));
    if (op == "setresolution")
        return robot::set_resolution(e.param_int(1, 0), e.param_int(2, 0));
    return std::nullopt;
}

// Each byte goes out with its own write. Failures are not reported; after a
// byte that could not be written the rest of the packet is dropped rather
// than waiting out the time-out once more for every byte.
Result robot_command(Engine& e, SerialPort& port)
{
    if (e.word(1) != "aimotor")
        return e.call_function();
    auto packet = robot_packet(e);
    if (!packet)
        return e.call_function();
    for (uint8_t byte : *packet) {
        if (!port.write_byte(byte))
            break;
    }
    return std::string();
}

} // namespace

void register_serial_families(Engine& engine)
{
    auto port = std::make_shared<SerialPort>();
    port->set_cancel_check([&engine] { return engine.abort_requested(); });
    engine.register_family("rs232", [port](Engine& e) { return rs232(e, *port); });
    engine.register_family("robot", [port](Engine& e) { return robot_command(e, *port); });
}

} // namespace ruk
