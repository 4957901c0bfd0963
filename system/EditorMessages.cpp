// How each editor message takes its two parameters: numbers, texts, buffers to fill, or addresses the engine refuses.
#include "system/EditorMessages.h"

#include <algorithm>
#include <array>

namespace ruk {

namespace {

using P = EditorParam;

struct Entry {
    uint32_t message;
    EditorMessageKind kind;
};

// Sorted by message number. Every message of the control that takes an
// address is listed; the rest take numbers.
constexpr Entry Table[] = {
    {2001, {P::Number, P::SizedText}},       // add text
    {2002, {P::Number, P::SizedText}},       // add styled text
    {2003, {P::Number, P::Text}},            // insert text
    {2015, {P::Number, P::Refused}},         // get styled text (a structure)
    {2027, {P::Number, P::Output, true}},    // get current line
    {2049, {P::Number, P::Refused}},         // marker pixmap (a picture object)
    {2056, {P::Number, P::Text}},            // style font
    {2073, {P::Number, P::SizedText}},       // set styling
    {2077, {P::Number, P::Text}},            // word characters
    {2100, {P::Number, P::Text}},            // auto-completion list
    {2105, {P::Number, P::Text}},            // auto-completion stops
    {2108, {P::Number, P::Text}},            // auto-completion select
    {2112, {P::Number, P::Text}},            // auto-completion fill-ups
    {2117, {P::Number, P::Text}},            // user list
    {2150, {P::Number, P::Refused}},         // find text (a structure)
    {2151, {P::Refused, P::Refused}},        // format range (a painter and a structure)
    {2153, {P::Number, P::Output}},          // get line
    {2161, {P::Number, P::Output}},          // get selected text
    {2162, {P::Number, P::Refused}},         // get text range (a structure)
    {2170, {P::Number, P::Text}},            // replace selection
    {2181, {P::Number, P::Text}},            // set text
    {2182, {P::Number, P::Output, true}},    // get text
    {2194, {P::Number, P::SizedText}},       // replace target
    {2195, {P::Number, P::SizedText}},       // replace target, regular expression
    {2197, {P::Number, P::SizedText}},       // search in target
    {2200, {P::Number, P::Text}},            // call tip
    {2276, {P::Number, P::Text}},            // text width
    {2282, {P::Number, P::SizedText}},       // append text
    {2358, {P::Number, P::Refused}},         // set document (0 alone is allowed)
    {2367, {P::Number, P::Text}},            // search next
    {2368, {P::Number, P::Text}},            // search previous
    {2376, {P::Number, P::Refused}},         // add a reference to a document
    {2377, {P::Number, P::Refused}},         // release a document
    {2405, {P::Number, P::Refused}},         // register a pixmap
    {2420, {P::Number, P::SizedText}},       // copy text
    {2443, {P::Number, P::Text}},            // whitespace characters
    {2447, {P::Number, P::Output}},          // target as UTF-8
    {2448, {P::Refused, P::Number}},         // length for encode (-1 alone is allowed)
    {2449, {P::Text, P::Output}},            // encoded from UTF-8
    {2486, {P::Number, P::Output}},          // get style font
    {2530, {P::Number, P::Text}},            // margin text
    {2531, {P::Number, P::Output}},
    {2532, {P::Number, P::Styles, false, 2531}}, // margin styles
    {2533, {P::Number, P::Output}},
    {2540, {P::Number, P::Text}},            // annotation text
    {2541, {P::Number, P::Output}},
    {2542, {P::Number, P::Styles, false, 2541}}, // annotation styles
    {2543, {P::Number, P::Output}},
    {2585, {P::Number, P::Text}},            // punctuation characters
    {2610, {P::Number, P::Output}},          // auto-completion current text
    {2616, {P::Number, P::Output}},          // get tag
    {2626, {P::Number, P::Refused}},         // marker image (an image object)
    {2627, {P::Number, P::Refused}},         // register an image
    {2646, {P::Number, P::Output}},          // get word characters
    {2647, {P::Number, P::Output}},
    {2649, {P::Number, P::Output}},
    {2665, {P::Text, P::Text}},              // set representation
    {2666, {P::Text, P::Output}},            // get representation
    {2667, {P::Text, P::Number}},            // clear representation
    {2672, {P::Number, P::SizedText}},       // change insertion
    {2687, {P::Number, P::Output}},          // get target text
    {2700, {P::Number, P::Text}},            // fold show text
    {2722, {P::Number, P::Text}},            // default fold display text
    {2723, {P::Number, P::Output}},
    {2740, {P::Number, P::Text}},            // end-of-line annotation
    {2741, {P::Number, P::Output}},
    {2750, {P::Number, P::Text}},            // invisible representation
    {2751, {P::Number, P::Output}},
    {2760, {P::Number, P::Text}},            // font locale
    {2761, {P::Number, P::Output}},
    {2771, {P::Number, P::SizedText}},       // replace rectangular
    {4004, {P::Text, P::Text}},              // set property
    {4005, {P::Number, P::Text}},            // keywords
    {4006, {P::Number, P::Text}},            // lexer language
    {4007, {P::Number, P::Text}},            // load lexer library
    {4008, {P::Text, P::Output}},            // get property
    {4009, {P::Text, P::Output}},            // get property expanded
    {4010, {P::Text, P::Number}},            // get property as a number
    {4012, {P::Number, P::Output}},          // lexer language
    {4013, {P::Number, P::Refused}},         // private lexer call
    {4014, {P::Number, P::Output}},          // property names
    {4015, {P::Text, P::Number}},            // property type
    {4016, {P::Text, P::Output}},            // describe property
    {4017, {P::Number, P::Output}},          // describe keyword sets
    {4024, {P::Number, P::Text}},            // identifiers
    {4026, {P::Number, P::Output}},          // sub-style bases
    {4030, {P::Number, P::Output}},          // name of style
    {4031, {P::Number, P::Output}},          // tags of style
    {4032, {P::Number, P::Output}},          // description of style
    {4033, {P::Number, P::Refused}},         // set lexer object
};

constexpr bool sorted()
{
    for (size_t i = 1; i < std::size(Table); ++i)
        if (Table[i - 1].message >= Table[i].message)
            return false;
    return true;
}
static_assert(sorted(), "the message table is looked up by halving and must stay sorted");

} // namespace

EditorMessageKind editor_message_kind(uint32_t message)
{
    auto at = std::lower_bound(std::begin(Table), std::end(Table), message,
                               [](const Entry& e, uint32_t m) { return e.message < m; });
    if (at == std::end(Table) || at->message != message)
        return {};
    return at->kind;
}

} // namespace ruk
