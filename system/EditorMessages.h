// How each editor message takes its two parameters: numbers, texts, buffers to fill, or addresses the engine refuses.
#pragma once

#include <cstdint>

namespace ruk {

// The editor control reads or writes memory through some of its message
// parameters. Scripts hold no addresses, so the engine passes every such
// parameter itself: a text it copied, or a buffer it made large enough for
// what the control writes. Parameters that name the control's own objects
// (documents, lexers, structures, pictures) cannot be made from a script's
// text and make the message refused.
enum class EditorParam {
    Number,     // a plain integer
    Text,       // a text the control reads up to its terminating zero
    SizedText,  // a text whose length is the word parameter (clamped to the text)
    Output,     // a buffer the control fills; a null one asks for the size it needs
    Styles,     // style bytes as long as the line's margin or annotation text
    Refused,    // an address of an object no script can make
};

struct EditorMessageKind {
    EditorParam word = EditorParam::Number;
    EditorParam value = EditorParam::Number;
    // For Output: the word parameter is the length the control may write.
    bool word_is_length = false;
    // For Styles: the message that reads the text the styles belong to.
    uint32_t styled_text = 0;
};

// The kinds of a message's word and long parameters; unknown messages take
// two numbers.
EditorMessageKind editor_message_kind(uint32_t message);

} // namespace ruk
