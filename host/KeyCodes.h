// One table between the virtual-key numbers scripts use and Qt's key codes.
#pragma once

#include <Qt>

#include <vector>

namespace ruk {

// The virtual-key number of a Qt key (65 = A, 13 = Enter, 27 = Escape, ...);
// keypad digits and operators map to their own numbers. 0 when unknown.
int virtual_key_from_qt(int qt_key, Qt::KeyboardModifiers modifiers);

// The Qt key of a virtual-key number, or 0.
int qt_key_from_virtual(int virtual_key);

// The X keysyms of a virtual-key number, through its Qt key: keys that exist
// on both sides (Shift, Control, Alt, the Windows key) give both. Empty when
// the number names no key.
std::vector<unsigned long> x11_keysyms_from_virtual(int virtual_key);

} // namespace ruk
