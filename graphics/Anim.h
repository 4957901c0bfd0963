// The "anim" family: the heading, speed, friction and sensibility of a window, and turtle moves.
#pragma once

namespace ruk {

class Engine;
class WindowHost;

// Registers "anim". Word 1 names a window ("main" or an index); word 2 is
// "turn" (with "left" or "right"), "move", "direction", "sensibility",
// "friction" or "speed". Setting a speed starts the window's animation
// timer through the host, which then ticks the window every 20 ms.
void register_anim_family(Engine& engine, WindowHost& windows);

} // namespace ruk
