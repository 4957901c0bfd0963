// The decoded form of the code store's lines: groups, words, parameters and variable slots found once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Command.h"
#include "core/VarStore.h"

namespace ruk {

struct CodeLine;

// A plain variable name inside a stored text, with the slot that remembers
// its number.
struct DecodedVar {
    Span name;
    VarSlot slot;
};

// A command whose words are fixed by the stored text: no group stands before
// its parameter list. Its parameters are fixed too when no group stands in
// them; otherwise they are split again from the rebuilt line, starting at
// `list_start`, which no group can move. The handler is looked up once per
// generation of the dispatcher's table.
struct DecodedCommand {
    uint32_t first_span = 0;   // words, then (when fixed) parameters
    uint32_t list_start = 0;
    uint32_t handler_generation = 0;
    int32_t handler = -1;      // entry in the dispatcher's table, -1: the function call
    uint8_t word_count = 0;
    uint8_t param_count = 0;
    bool params_fixed = false;
};

enum class GroupKind : uint8_t {
    Text,     // evaluated from the rebuilt text, as any group
    Variable, // "&" and a plain name
    Command,  // a command with no group inside
};

// A group in the order the engine evaluates groups (innermost, leftmost
// first). Positions are those of the stored text; the groups nested in group
// k are the ones numbered first_inner to k - 1, so the runner can tell how
// far earlier results have moved each group.
struct DecodedGroup {
    uint32_t open = 0;
    uint32_t close = 0;
    uint32_t first_inner = 0; // counted within the line
    uint32_t ref = 0;         // Variable: a DecodedVar; Command: a DecodedCommand
    GroupKind kind = GroupKind::Text;
};

struct DecodedLine {
    uint32_t first_group = 0;
    uint32_t group_count = 0;
    int32_t command = -1; // the line's own command, -1: split the rebuilt text
    int32_t target = -1;  // a plain assignment target, -1: expand the target as text
    bool decoded = false; // false: the line always runs as text
};

// Built by the code store when code is loaded and rebuilt with it. Lines too
// long for the decoded positions, and lines whose own command does not split
// cleanly, stay undecoded and run as text.
class LineCode {
public:
    void build(const std::vector<CodeLine>& lines);
    void clear();

    const DecodedLine& line(int32_t n) const { return m_lines[static_cast<size_t>(n)]; }
    const DecodedGroup& group(uint32_t i) const { return m_groups[i]; }
    DecodedCommand& command(int32_t i) { return m_commands[static_cast<size_t>(i)]; }
    DecodedVar& var(uint32_t i) { return m_vars[i]; }
    const Span* spans(uint32_t first) const { return m_spans.data() + first; }

    // Bytes the decoded form takes, tables and their spare room included.
    size_t memory_bytes() const;

private:
    DecodedLine decode(const CodeLine& line);
    bool find_groups(std::string_view text, DecodedLine& out);
    int32_t decode_command(std::string_view text, size_t offset, bool words_only);
    int32_t plain_target(std::string_view target);

    std::vector<DecodedLine> m_lines;
    std::vector<DecodedGroup> m_groups;
    std::vector<DecodedCommand> m_commands;
    std::vector<DecodedVar> m_vars;
    std::vector<Span> m_spans;
};

} // namespace ruk
