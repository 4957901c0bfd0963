// The "system" family: questions about the machine and the engine, programs and message boxes.
#pragma once

namespace ruk {

class Engine;

void register_system_family(Engine& engine);

} // namespace ruk
