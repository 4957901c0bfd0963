// The virtual-key table.
#include "host/KeyCodes.h"

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

} // namespace ruk
