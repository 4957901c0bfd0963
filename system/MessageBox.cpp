// Message-box types and answers.
#include "system/MessageBox.h"

#include <cstddef>

namespace ruk {

uint32_t dialog_type(int buttons, int default_button, int icon, int modality, int foreground, int topmost,
                     int right_to_left)
{
    uint32_t type = 0;
    switch (buttons) {
    case 1: type |= 1; break; // OK, Cancel
    case 2: type |= 5; break; // Retry, Cancel
    case 3: type |= 4; break; // Yes, No
    case 4: type |= 3; break; // Yes, No, Cancel
    case 5: type |= 2; break; // Abort, Retry, Ignore
    default: break;           // OK
    }
    if (default_button >= 2 && default_button <= 4)
        type |= static_cast<uint32_t>(default_button - 1) << 8;
    switch (icon) {
    case 1:
    case 4: type |= 0x30; break; // exclamation
    case 2: type |= 0x20; break; // question
    case 3:
    case 5: type |= 0x40; break; // information
    case 6:
    case 7:
    case 8: type |= 0x10; break; // stop
    default: break;
    }
    if (modality == 2)
        type |= 0x1000;
    else if (modality == 3)
        type |= 0x2000;
    if (foreground == 1)
        type |= 0x10000;
    if (topmost == 1)
        type |= 0x40000;
    if (right_to_left == 1)
        type |= 0x80000 | 0x100000;
    return type;
}

const std::vector<int>& dialog_buttons(uint32_t type)
{
    static const std::vector<int> lists[] = {
        {1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2},
    };
    uint32_t set = type & 0xF;
    return lists[set < 6 ? set : 0];
}

int dialog_default_answer(uint32_t type)
{
    const auto& buttons = dialog_buttons(type);
    std::size_t preferred = (type >> 8) & 0xF;
    return preferred < buttons.size() ? buttons[preferred] : buttons[0];
}

} // namespace ruk
