// Decoding the code store's lines once: where their groups stand, what their commands split into.
#include "core/LineCode.h"

#include "core/CodeStore.h"
#include "core/Text.h"

namespace ruk {

void LineCode::clear()
{
    m_lines.clear();
    m_groups.clear();
    m_commands.clear();
    m_vars.clear();
    m_spans.clear();
}

void LineCode::build(const std::vector<CodeLine>& lines)
{
    clear();
    m_lines.reserve(lines.size());
    for (const CodeLine& line : lines)
        m_lines.push_back(decode(line));
    m_lines.shrink_to_fit();
    m_groups.shrink_to_fit();
    m_commands.shrink_to_fit();
    m_vars.shrink_to_fit();
    m_spans.shrink_to_fit();
}

size_t LineCode::memory_bytes() const
{
    return sizeof(*this) + m_lines.capacity() * sizeof(DecodedLine) + m_groups.capacity() * sizeof(DecodedGroup)
        + m_commands.capacity() * sizeof(DecodedCommand) + m_vars.capacity() * sizeof(DecodedVar)
        + m_spans.capacity() * sizeof(Span);
}

DecodedLine LineCode::decode(const CodeLine& line)
{
    DecodedLine out;
    const std::string_view text = line.command;
    if (text.size() >= UINT32_MAX / 2)
        return out;
    find_groups(text, out);

    SplitSpans spans;
    Command::split_spans(text, spans);
    if (out.group_count == 0) {
        // A line without groups splits to the same words and parameters on
        // every pass.
        if (spans.ok)
            out.command = decode_command(text, 0, false);
    } else if (spans.list_start < text.size()) {
        // Words stay fixed when every group stands inside the parameter list.
        bool words_fixed = true;
        for (uint32_t k = 0; k < out.group_count; ++k)
            if (m_groups[out.first_group + k].open < spans.list_start)
                words_fixed = false;
        if (words_fixed)
            out.command = decode_command(text, 0, true);
    }
    if (!line.target.empty())
        out.target = plain_target(line.target);
    out.decoded = true;
    return out;
}

// Lists the groups in the order the engine evaluates them: each closing byte
// belongs to the last opening byte before it that no earlier group took. At a
// closing byte without one, the engine stops looking for groups, and so does
// the list.
bool LineCode::find_groups(std::string_view text, DecodedLine& out)
{
    out.first_group = static_cast<uint32_t>(m_groups.size());
    struct Open {
        uint32_t pos;
        uint32_t groups_before;
    };
    std::vector<Open> opens;
    uint32_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == tok::GroupOpen) {
            opens.push_back({static_cast<uint32_t>(i), count});
            continue;
        }
        if (text[i] != tok::GroupClose)
            continue;
        if (opens.empty())
            break;
        Open open = opens.back();
        opens.pop_back();
        DecodedGroup g;
        g.open = open.pos;
        g.close = static_cast<uint32_t>(i);
        g.first_inner = open.groups_before;
        const std::string_view inner = text.substr(g.open + 1, g.close - g.open - 1);
        if (g.first_inner == count && !inner.empty()) {
            // Nothing nested: the group's text is known now.
            if (inner[0] == '&') {
                std::string_view name = inner.substr(1);
                if (name.empty() || (name[0] != '_' && name.back() != ']')) {
                    g.kind = GroupKind::Variable;
                    g.ref = static_cast<uint32_t>(m_vars.size());
                    m_vars.push_back({{g.open + 2, static_cast<uint32_t>(name.size())}, {}});
                }
            } else if (inner[0] != tok::Condition) {
                int32_t command = decode_command(inner, g.open + 1, false);
                if (command >= 0) {
                    g.kind = GroupKind::Command;
                    g.ref = static_cast<uint32_t>(command);
                }
            }
        }
        m_groups.push_back(g);
        ++count;
    }
    out.group_count = count;
    return true;
}

// Splits a command that stands at `offset` in a stored text. Returns its
// index, or -1 when the split reports the syntax error (such commands are
// split again each time, so that the error is reported as it happens).
int32_t LineCode::decode_command(std::string_view text, size_t offset, bool words_only)
{
    SplitSpans spans;
    Command::split_spans(text, spans);
    if (!words_only && !spans.ok)
        return -1;
    DecodedCommand c;
    c.first_span = static_cast<uint32_t>(m_spans.size());
    c.word_count = spans.word_count;
    c.list_start = static_cast<uint32_t>(offset + spans.list_start);
    const uint32_t shift = static_cast<uint32_t>(offset);
    for (int i = 0; i < spans.word_count; ++i)
        m_spans.push_back({spans.words[static_cast<size_t>(i)].pos + shift, spans.words[static_cast<size_t>(i)].len});
    if (!words_only) {
        c.params_fixed = true;
        c.param_count = spans.param_count;
        for (int i = 0; i < spans.param_count; ++i)
            m_spans.push_back({spans.params[static_cast<size_t>(i)].pos + shift, spans.params[static_cast<size_t>(i)].len});
    }
    m_commands.push_back(c);
    return static_cast<int32_t>(m_commands.size() - 1);
}

// An assignment target that names element 0 of a variable directly: no
// group, no index, no dynamic name.
int32_t LineCode::plain_target(std::string_view target)
{
    for (char c : target)
        if (c == tok::GroupOpen || c == tok::GroupClose)
            return -1;
    if (target[0] == '_' || (target.size() > 1 && target.find('[', 1) != std::string_view::npos))
        return -1;
    m_vars.push_back({{0, static_cast<uint32_t>(target.size())}, {}});
    return static_cast<int32_t>(m_vars.size() - 1);
}

} // namespace ruk
