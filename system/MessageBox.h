// Message boxes as the system family describes them: the box type from its choices and the answers of its buttons.
#pragma once

#include <cstdint>
#include <vector>

namespace ruk {

// The box type of a "dialog" from its numeric choices (buttons 0..5,
// default button 1..4, icon 1..8, modality 1..3, and the three switches,
// each taken when exactly 1). Values outside the lists add nothing.
uint32_t dialog_type(int buttons, int default_button, int icon, int modality, int foreground, int topmost,
                     int right_to_left);
// The answers of a box type's buttons, in the order the box shows them
// (1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No).
const std::vector<int>& dialog_buttons(uint32_t type);
// The answer of the type's default button; a default beyond the last button
// falls back to the first, as the box itself does.
int dialog_default_answer(uint32_t type);

} // namespace ruk
