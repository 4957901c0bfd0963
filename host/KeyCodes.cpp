// The virtual-key table.
#include "host/KeyCodes.h"

#include <X11/keysym.h>

#include <iterator>

namespace ruk {

namespace {

struct KeyPair {
    int qt;
    int vk;
};

constexpr KeyPair key_table[] = {
    {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9}, {Qt::Key_Backtab, 9}, {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13}, {Qt::Key_Enter, 13}, {Qt::Key_Shift, 16}, {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18}, {Qt::Key_Pause, 19}, {Qt::Key_CapsLock, 20}, {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32}, {Qt::Key_PageUp, 33}, {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},
    {Qt::Key_Home, 36}, {Qt::Key_Left, 37}, {Qt::Key_Up, 38}, {Qt::Key_Right, 39},
    {Qt::Key_Down, 40}, {Qt::Key_Select, 41}, {Qt::Key_Print, 44}, {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46}, {Qt::Key_Help, 47}, {Qt::Key_Meta, 91}, {Qt::Key_Super_L, 91},
    {Qt::Key_Super_R, 92}, {Qt::Key_Menu, 93}, {Qt::Key_Sleep, 95}, {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145}, {Qt::Key_Semicolon, 186}, {Qt::Key_Colon, 186},
    {Qt::Key_Equal, 187}, {Qt::Key_Plus, 187}, {Qt::Key_Comma, 188}, {Qt::Key_Less, 188},
    {Qt::Key_Minus, 189}, {Qt::Key_Underscore, 189}, {Qt::Key_Period, 190},
    {Qt::Key_Greater, 190}, {Qt::Key_Slash, 191}, {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192}, {Qt::Key_AsciiTilde, 192}, {Qt::Key_BracketLeft, 219},
    {Qt::Key_BraceLeft, 219}, {Qt::Key_Backslash, 220}, {Qt::Key_Bar, 220},
    {Qt::Key_BracketRight, 221}, {Qt::Key_BraceRight, 221}, {Qt::Key_Apostrophe, 222},
    {Qt::Key_QuoteDbl, 222}, {Qt::Key_VolumeMute, 173}, {Qt::Key_VolumeDown, 174},
    {Qt::Key_VolumeUp, 175}, {Qt::Key_MediaNext, 176}, {Qt::Key_MediaPrevious, 177},
    {Qt::Key_MediaStop, 178}, {Qt::Key_MediaPlay, 179},
    // Shifted digits on a US layout reach the digit's key.
    {Qt::Key_Exclam, 49}, {Qt::Key_At, 50}, {Qt::Key_NumberSign, 51}, {Qt::Key_Dollar, 52},
    {Qt::Key_Percent, 53}, {Qt::Key_AsciiCircum, 54}, {Qt::Key_Ampersand, 55},
    {Qt::Key_Asterisk, 56}, {Qt::Key_ParenLeft, 57}, {Qt::Key_ParenRight, 48},
};

constexpr KeyPair keypad_table[] = {
    {Qt::Key_Asterisk, 106}, {Qt::Key_Plus, 107}, {Qt::Key_Minus, 109},
    {Qt::Key_Period, 110}, {Qt::Key_Comma, 110}, {Qt::Key_Slash, 111},
    {Qt::Key_Enter, 13}, {Qt::Key_Insert, 96}, {Qt::Key_End, 97}, {Qt::Key_Down, 98},
    {Qt::Key_PageDown, 99}, {Qt::Key_Left, 100}, {Qt::Key_Clear, 101}, {Qt::Key_Right, 102},
    {Qt::Key_Home, 103}, {Qt::Key_Up, 104}, {Qt::Key_PageUp, 105}, {Qt::Key_Delete, 110},
};

// Qt's own keys beyond Latin-1 and the keysyms the X server knows them by.
struct QtKeysym {
    int qt;
    unsigned long first;
    unsigned long second;
};

constexpr QtKeysym keysym_table[] = {
    {Qt::Key_Backspace, XK_BackSpace, 0}, {Qt::Key_Tab, XK_Tab, 0}, {Qt::Key_Clear, XK_Clear, 0},
    {Qt::Key_Return, XK_Return, 0}, {Qt::Key_Enter, XK_KP_Enter, 0}, {Qt::Key_Shift, XK_Shift_L, XK_Shift_R},
    {Qt::Key_Control, XK_Control_L, XK_Control_R}, {Qt::Key_Alt, XK_Alt_L, XK_Alt_R},
    {Qt::Key_Pause, XK_Pause, 0}, {Qt::Key_CapsLock, XK_Caps_Lock, 0}, {Qt::Key_Escape, XK_Escape, 0},
    {Qt::Key_PageUp, XK_Prior, 0}, {Qt::Key_PageDown, XK_Next, 0}, {Qt::Key_End, XK_End, 0},
    {Qt::Key_Home, XK_Home, 0}, {Qt::Key_Left, XK_Left, 0}, {Qt::Key_Up, XK_Up, 0},
    {Qt::Key_Right, XK_Right, 0}, {Qt::Key_Down, XK_Down, 0}, {Qt::Key_Select, XK_Select, 0},
    {Qt::Key_Print, XK_Print, 0}, {Qt::Key_Insert, XK_Insert, 0}, {Qt::Key_Delete, XK_Delete, 0},
    {Qt::Key_Help, XK_Help, 0}, {Qt::Key_Meta, XK_Super_L, XK_Super_R}, {Qt::Key_Super_L, XK_Super_L, 0},
    {Qt::Key_Super_R, XK_Super_R, 0}, {Qt::Key_Menu, XK_Menu, 0}, {Qt::Key_NumLock, XK_Num_Lock, 0},
    {Qt::Key_ScrollLock, XK_Scroll_Lock, 0},
};

// Keypad keys by virtual-key number: digits 96 to 105, operators 106 to 111.
constexpr unsigned long keypad_keysyms[] = {
    XK_KP_0, XK_KP_1, XK_KP_2, XK_KP_3, XK_KP_4, XK_KP_5, XK_KP_6, XK_KP_7, XK_KP_8, XK_KP_9,
    XK_KP_Multiply, XK_KP_Add, XK_KP_Separator, XK_KP_Subtract, XK_KP_Decimal, XK_KP_Divide,
};

} // namespace

int virtual_key_from_qt(int qt_key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier) {
        if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)
            return 96 + (qt_key - Qt::Key_0);
        for (const auto& k : keypad_table)
            if (k.qt == qt_key)
                return k.vk;
    }
    if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) || (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9))
        return qt_key; // the same numbers
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24)
        return 112 + (qt_key - Qt::Key_F1);
    for (const auto& k : key_table)
        if (k.qt == qt_key)
            return k.vk;
    return 0;
}

int qt_key_from_virtual(int virtual_key)
{
    if ((virtual_key >= 'A' && virtual_key <= 'Z') || (virtual_key >= '0' && virtual_key <= '9'))
        return virtual_key;
    if (virtual_key >= 112 && virtual_key <= 135)
        return Qt::Key_F1 + (virtual_key - 112);
    if (virtual_key >= 96 && virtual_key <= 105)
        return Qt::Key_0 + (virtual_key - 96);
    for (const auto& k : key_table)
        if (k.vk == virtual_key)
            return k.qt;
    return 0;
}

std::vector<unsigned long> x11_keysyms_from_virtual(int virtual_key)
{
    if (virtual_key >= 96 && virtual_key <= 111)
        return {keypad_keysyms[virtual_key - 96]};
    if (virtual_key >= 112 && virtual_key <= 135)
        return {static_cast<unsigned long>(XK_F1 + (virtual_key - 112))};
    const int qt = qt_key_from_virtual(virtual_key);
    if (qt == 0)
        return {};
    // Below Qt's own range a Qt key is its Latin-1 keysym; letters are
    // asked for in lower case, as the key types them unshifted.
    if (qt < 0x01000000) {
        if (qt >= Qt::Key_A && qt <= Qt::Key_Z)
            return {static_cast<unsigned long>(qt - Qt::Key_A + XK_a)};
        return {static_cast<unsigned long>(qt)};
    }
    for (const auto& k : keysym_table)
        if (k.qt == qt)
            return k.second ? std::vector<unsigned long>{k.first, k.second} : std::vector<unsigned long>{k.first};
    return {};
}

} // namespace ruk
