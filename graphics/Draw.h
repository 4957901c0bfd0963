// The "draw" family: painting into window backing bitmaps and the off-screen bitmaps.
#pragma once

#include <memory>

namespace ruk {

class Engine;
class BitmapHost;
class NamedBitmaps;

// Registers "draw". Window bitmaps are reached through `bitmaps`, which
// outlives the engine's table; null gives the family a host of its own that
// knows only the engine window's bitmap. The off-screen table, the effect
// and deform settings and the last difference position live with the family.
// The answer names the family's bitmaps for other families ("main", a
// window index, -1 to -256) as the family resolves them.
std::shared_ptr<NamedBitmaps> register_draw_family(Engine& engine, BitmapHost* bitmaps);

} // namespace ruk
