// Whether a key is really down on the X server (to tell auto-repeat from a release).
#pragma once

struct _XDisplay;

namespace ruk {

// True when the key with this X keycode is held down now. False without a
// display or a keycode.
bool x11_key_is_down(_XDisplay* display, unsigned keycode);

} // namespace ruk
