// Marks the engine window on the X server, so that other engines and tools can find it.
#pragma once

#include <cstdint>

struct _XDisplay;

namespace ruk {

// Sets the property RUK_ENGINE_WINDOW (CARDINAL, 32 bits, value 1) on the
// window. Does nothing without a display.
void mark_engine_window(_XDisplay* display, uint32_t window);

} // namespace ruk
