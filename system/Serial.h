// The "rs232" and "robot" families: one serial port for the engine and the servo packets sent over it.
#pragma once

namespace ruk {

class Engine;

// Registers "rs232" and "robot". Both share one port, held by the families
// for as long as the engine keeps their handlers; "robot" writes to the port
// "rs232" opened last. A wait for a byte ends early when the engine is asked
// to stop.
void register_serial_families(Engine& engine);

} // namespace ruk
