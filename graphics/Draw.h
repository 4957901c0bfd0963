// The "draw" family: painting into window backing bitmaps and the off-screen bitmaps.
#pragma once

#include <memory>

namespace ruk {

class Engine;
class BitmapReferences;

// Registers "draw". Every bitmap reference is resolved through `bitmaps`,
// the table the other families share, which outlives the engine's table.
// The effect and deform settings and the last difference position live with
// the family.
void register_draw_family(Engine& engine, BitmapReferences& bitmaps);

} // namespace ruk
