// The "sound" family: wave files in the background and the volume of each channel.
#pragma once

#include <cstdint>

namespace ruk {

class Engine;

// One channel's value for a level of the family's 0 to 100 scale: 650 units
// a step, limited to 0 ... 65535 (so 100 gives 65000, not full scale).
uint16_t channel_from_level(int32_t level);

// Registers "sound". The family owns its player; the sound stops when the
// engine's family table goes (the engine's end) or the family is replaced.
void register_sound_family(Engine& engine);

} // namespace ruk
