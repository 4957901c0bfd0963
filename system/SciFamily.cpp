// The "sci" family: editor controls in script windows, their messages and notifications.
#include "system/SciFamily.h"

#include "core/Engine.h"
#include "graphics/ScriptWindow.h"
#include "graphics/Window.h"
#include "system/EditorHost.h"
#include "system/EditorMessages.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ruk {

namespace {

constexpr const char* MsgBadWindow = "The window index is invalid.";
// A buffer the engine makes for the control to fill stays below this size.
constexpr int64_t MaxBuffer = int64_t{256} << 20;
// Room beyond what the control says it writes: some messages count the
// terminating zero, some do not.
constexpr int64_t Slack = 16;

// A slot number written as word 1 ("sci.7.create"); -1 when the word is not one.
int slot_of(const std::string& word)
{
    int slot = -1;
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), slot);
    if (error != std::errc() || end != word.data() + word.size())
        return -1;
    return slot;
}

// One parameter as the control receives it: a number, or the address of a
// buffer the engine owns for the length of the call.
struct Argument {
    bool refused = false;
    std::vector<char> buffer; // used when `address` is true
    bool address = false;
    int64_t number = 0;

    uintptr_t raw() const
    {
        return address ? reinterpret_cast<uintptr_t>(buffer.data()) : static_cast<uintptr_t>(number);
    }
};

std::vector<char> text_buffer(const std::string& text, size_t at_least = 0)
{
    std::vector<char> buffer(std::max(text.size() + 1, at_least), '\0');
    std::copy(text.begin(), text.end(), buffer.begin());
    return buffer;
}

// Replace target (plain and regular expression) take a length of -1 as
// "up to the terminating zero"; the control treats no other negative length
// so.
bool minus_one_reads_to_zero(uint32_t message)
{
    return message == 2194 || message == 2195;
}

// The word parameter of a message whose long parameter is a text of that
// length, or a buffer of that size, is a count of bytes: always a number
// (whatever word 3 says; an address there would be taken as a count), never
// negative (the control would read or write before the buffer, or fail
// inside), and for a text never beyond `text_size` bytes. Nothing for
// messages whose word is no such count.
std::optional<Argument> length_word(uint32_t message, const EditorMessageKind& kind, int32_t number,
                                    size_t text_size)
{
    Argument a;
    if (kind.value == EditorParam::SizedText) {
        if (number < 0 && minus_one_reads_to_zero(message))
            a.number = -1;
        else
            a.number = std::clamp<int64_t>(number, 0, static_cast<int64_t>(text_size));
        return a;
    }
    if (kind.value == EditorParam::Output && kind.word_is_length) {
        a.number = std::max<int32_t>(number, 0);
        return a;
    }
    return std::nullopt;
}

class SciFamily {
public:
    SciFamily(Engine& engine, EditorHost& editors, WindowHost& windows) : m_editors(editors), m_windows(windows)
    {
        // The host calls this from the event loop, once the control has
        // finished: the event runs at once when no other event runs.
        m_editors.set_notification_sink([this, &engine](const EditorNotification& n) {
            m_last = n;
            engine.run_event("sci:notify", false, n.window, false);
        });
    }
    Result handle(Engine& e);

private:
    Result create(Engine& e, int slot);
    Result send_message(Engine& e, int slot);
    Result get_string(Engine& e, int slot);
    // Makes the long parameter of `message` from the script's text or number.
    Argument value_argument(int slot, uint32_t message, const EditorMessageKind& kind, const Argument& word,
                            bool as_text, const std::string& text, int32_t number);

    EditorHost& m_editors;
    WindowHost& m_windows;
    EditorNotification m_last;
    int m_highest_slot = -1;
};

Result SciFamily::handle(Engine& e)
{
    const std::string& first = e.word(1);
    if (first == "eventauthor")
        return int_to_text(m_last.slot);
    if (first == "messagereceived")
        return int_to_text(m_last.code);
    if (first == "charreceived")
        return int_to_text(m_last.character);
    const int slot = slot_of(first);
    const std::string& op = e.word(2);
    if (slot < 0 || op.empty())
        return e.call_function();
    // Slots beyond the table hold nothing: commands on them do nothing.
    const bool valid = slot < EditorHost::Slots;
    if (op == "sendmessage")
        return valid ? send_message(e, slot) : std::string("0");
    if (op == "pos") {
        if (valid)
            m_editors.place(slot, WindowRect{e.param_int(1, 0), e.param_int(2, 0), e.param_int(3, 100),
                                             e.param_int(4, 100)});
        return std::nullopt;
    }
    if (op == "setfocus") {
        if (valid)
            m_editors.set_focus(slot);
        return std::nullopt;
    }
    if (op == "getstring")
        return valid ? get_string(e, slot) : std::string();
    if (op == "create")
        return valid ? create(e, slot) : std::string("0");
    return e.call_function();
}

// The library first (a missing one answers "0" without an error), then the window.
Result SciFamily::create(Engine& e, int slot)
{
    if (!m_editors.load())
        return std::string("0");
    const int window = resolve_window(m_windows, e.param(1));
    if (window < 0) {
        e.report_error(MsgBadWindow);
        return std::string("0");
    }
    const WindowRect place{e.param_int(2, 0), e.param_int(3, 0), e.param_int(4, 200), e.param_int(5, 200)};
    if (!m_editors.create(slot, window, place))
        return std::string("0");
    m_highest_slot = std::max(m_highest_slot, slot);
    return std::string("1");
}

Argument word_argument(const EditorMessageKind& kind, bool as_text, const std::string& text, int32_t number)
{
    Argument a;
    if (kind.word == EditorParam::Refused) {
        a.refused = true;
        return a;
    }
    // A text the control reads is always the script's text, even when the
    // script did not mark it: a number there would be taken as an address.
    if (kind.word == EditorParam::Text || as_text) {
        a.address = true;
        a.buffer = text_buffer(text);
        return a;
    }
    a.number = number;
    return a;
}

Argument SciFamily::value_argument(int slot, uint32_t message, const EditorMessageKind& kind, const Argument& word,
                                   bool as_text, const std::string& text, int32_t number)
{
    Argument a;
    switch (kind.value) {
    case EditorParam::Number:
        if (as_text) {
            a.address = true;
            a.buffer = text_buffer(text);
        } else {
            a.number = number;
        }
        return a;
    case EditorParam::Text:
    case EditorParam::SizedText:
        a.address = true;
        a.buffer = text_buffer(text);
        return a;
    case EditorParam::Styles: {
        // The control reads as many style bytes as the line's text is long.
        const int64_t needed = m_editors.send(slot, kind.styled_text, word.raw(), 0).value_or(0);
        if (needed < 0 || needed > MaxBuffer) {
            a.refused = true;
            return a;
        }
        a.address = true;
        a.buffer = text_buffer(text, static_cast<size_t>(needed + Slack));
        return a;
    }
    case EditorParam::Output: {
        // The size question itself (a zero number) goes through as it is.
        if (!as_text && number == 0)
            return a;
        int64_t needed = m_editors.send(slot, message, word.raw(), 0).value_or(0);
        if (kind.word_is_length)
            needed = std::max<int64_t>(needed, word.number);
        if (needed < 0 || needed > MaxBuffer) {
            a.refused = true;
            return a;
        }
        a.address = true;
        a.buffer = text_buffer(as_text ? text : std::string(), static_cast<size_t>(needed + Slack));
        return a;
    }
    case EditorParam::Refused:
        break;
    }
    a.refused = true;
    return a;
}

// Word 3 chooses the parameter kinds: its first character "s" passes
// parameter 2 as a text, its second "s" parameter 3. The message's own
// needs come first where they would otherwise hand the control a number
// as an address (see EditorMessages.h).
Result SciFamily::send_message(Engine& e, int slot)
{
    if (!m_editors.exists(slot))
        return std::string("0");
    const std::string& kinds = e.word(3);
    const bool word_text = !kinds.empty() && kinds[0] == 's';
    const bool value_text = kinds.size() > 1 && kinds[1] == 's';
    const uint32_t message = static_cast<uint32_t>(e.param_int(1, 0));
    const EditorMessageKind kind = editor_message_kind(message);
    const int32_t word_number = e.param_int(2, 0), value_number = e.param_int(3, 0);

    // Documents and the encode length take only their harmless values.
    if (message == 2358 && value_number == 0 && !value_text)
        return int_to_text(static_cast<int32_t>(m_editors.send(slot, message, 0, 0).value_or(0)));
    if (message == 2448 && word_number < 0 && !word_text)
        return int_to_text(static_cast<int32_t>(
            m_editors.send(slot, message, static_cast<uintptr_t>(static_cast<intptr_t>(word_number)), 0).value_or(0)));

    Argument word = length_word(message, kind, word_number, e.param(3).size())
                        .value_or(word_argument(kind, word_text, e.param(2), word_number));
    if (word.refused)
        return std::string("0");
    Argument value = value_argument(slot, message, kind, word, value_text, e.param(3), value_number);
    if (value.refused)
        return std::string("0");
    const intptr_t answer =
        m_editors.send(slot, message, word.raw(), static_cast<intptr_t>(value.raw())).value_or(0);
    return int_to_text(static_cast<int32_t>(answer));
}

// The long parameter is a buffer of the asked length + 1 bytes, made larger
// when the control says it writes more; the answer is the buffer cut at the
// length the message returns (and never beyond the asked length), without
// the zero bytes that end it.
Result SciFamily::get_string(Engine& e, int slot)
{
    if (!m_editors.exists(slot))
        return std::string();
    const uint32_t message = static_cast<uint32_t>(e.param_int(1, 0));
    const EditorMessageKind kind = editor_message_kind(message);
    const int32_t length = std::max(0, e.param_int(3, 0));
    // A text the control reads is the buffer itself, zeros of the asked length.
    const Argument word = length_word(message, kind, e.param_int(2, 0), static_cast<size_t>(length))
                              .value_or(word_argument(kind, false, e.param(2), e.param_int(2, 0)));
    if (word.refused || kind.value == EditorParam::Refused || kind.value == EditorParam::Styles ||
        static_cast<int64_t>(length) > MaxBuffer)
        return std::string();
    int64_t needed = length;
    if (kind.value == EditorParam::Output) {
        needed = std::max<int64_t>(needed, m_editors.send(slot, message, word.raw(), 0).value_or(0));
        if (kind.word_is_length)
            needed = std::max<int64_t>(needed, word.number);
        if (needed < 0 || needed > MaxBuffer)
            return std::string();
    }
    std::vector<char> buffer(static_cast<size_t>(needed + Slack), '\0');
    const intptr_t answer =
        m_editors.send(slot, message, word.raw(), reinterpret_cast<intptr_t>(buffer.data())).value_or(0);
    const size_t cut = static_cast<size_t>(std::clamp<int64_t>(answer, 0, length));
    std::string text(buffer.data(), cut);
    // Zero bytes at the end are the buffer, not the text: some messages
    // count the terminating zero, some the whole length asked for.
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

} // namespace

void register_sci_family(Engine& engine, EditorHost& editors, WindowHost& windows)
{
    auto family = std::make_shared<SciFamily>(engine, editors, windows);
    engine.register_family("sci", [family](Engine& e) { return family->handle(e); });
}

} // namespace ruk
