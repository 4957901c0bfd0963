// The decoded form of the code store's lines: groups, words, parameters and variable slots found once.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Command.h"
#include "core/StringMap.h"
#include "core/VarStore.h"

namespace ruk {

struct CodeLine;

// Each decoded line is one record of 16-bit units in a shared stream, so that
// the decoded form stays smaller than twice the code text. Positions are byte
// offsets into the line's stored command text; lines of 65,535 bytes or more,
// and lines with more than 255 groups, stay undecoded and run as text.
//
//   line:     header (group count | HasCommand | HasTarget), [target slot],
//             the groups in evaluation order, [the line's own command]
//   group:    kind << 8 | first inner group, open, close,
//             then a slot (Variable) or a command record (Command)
//   command:  head, word count | parameter count << 3 | ParamsFixed,
//             list start, pieces, the end of each word, the end of each
//             parameter (only when the parameters are fixed)
//
// Groups are listed innermost, leftmost first, the order the engine
// evaluates them; the groups nested in group k are the ones numbered
// first_inner to k - 1 (within the line), so the runner can tell how far
// earlier results have moved each group. A word starts after the end of the
// word before it (word 0 at the command's start), a parameter after the end
// of the one before it (parameter 1 at the list start). A command's words are
// fixed when no group stands before its parameter list; its parameters are
// fixed too when no group stands in them, otherwise they are split again from
// the rebuilt text, from the list start, which no group can move.
//
// "pieces" names the command's words as ready texts in a table kept for the
// engine's life, so that running the command copies no word: equal word
// lists share one entry, and code loaded later finds the entries made
// before. The table is bounded; a command that finds it full has NoPieces
// and copies its words each time.
//
// A function declaration whose parameters are all plain names (at most 60
// characters) is followed by a slot for each of them (HasParamSlots), so
// that calls assign their values without looking the names up.
//
// A slot (four units) remembers the number a plain variable name was last
// found under (see VarSlot); the name itself is read from the stored text:
// the group's text after "&", or the whole assignment target.
namespace rec {
inline constexpr uint16_t HasCommand = 0x100;
inline constexpr uint16_t HasTarget = 0x200;
inline constexpr uint16_t HasParamSlots = 0x400;
inline constexpr uint16_t ParamsFixed = 0x80;
inline constexpr size_t SlotUnits = 4;
inline constexpr uint16_t NoPieces = 0xFFFF;
inline constexpr size_t MaxGroups = 0xFF; // a line with more runs as text
} // namespace rec

enum class GroupKind : uint8_t {
    Text,     // evaluated from the rebuilt text, as any group
    Variable, // "&" and a plain name
    Command,  // a command whose words are fixed
};

inline VarSlot load_slot(const uint16_t* at)
{
    VarSlot slot;
    std::memcpy(static_cast<void*>(&slot), at, sizeof slot);
    return slot;
}

inline void store_slot(uint16_t* at, const VarSlot& slot)
{
    std::memcpy(at, &slot, sizeof slot);
}

// A command record read back: its word 0's entry in the head table, where
// its words end and, when fixed, where its parameters end.
struct CommandRecord {
    uint16_t head = 0;
    uint16_t pieces = rec::NoPieces;
    uint32_t list_start = 0;
    uint32_t word_start = 0; // where the command starts in the stored text
    bool params_fixed = false;
    uint8_t word_count = 0;
    uint8_t param_count = 0;
    const uint16_t* word_ends = nullptr;
    const uint16_t* param_ends = nullptr;
};

// Reads the command record at `at`. Returns the unit after the record.
inline const uint16_t* read_command(const uint16_t* at, CommandRecord& out)
{
    out.head = at[0];
    const uint16_t counts = at[1];
    out.list_start = at[2];
    out.pieces = at[3];
    out.word_count = static_cast<uint8_t>(counts & 0x7);
    out.param_count = static_cast<uint8_t>((counts >> 3) & 0xF);
    out.params_fixed = (counts & rec::ParamsFixed) != 0;
    out.word_ends = at + 4;
    out.param_ends = out.word_ends + out.word_count;
    return out.param_ends + (out.params_fixed ? out.param_count : 0);
}

// The distinct words 0 of the decoded commands; each remembers the
// dispatcher's entry for its word until the dispatcher's table changes.
struct Head {
    std::string word;
    uint32_t generation = 0;
    int32_t handler = -1; // entry in the dispatcher's table, -1: the function call
};

// A command's words.
struct Pieces {
    std::unique_ptr<std::string[]> words;
    int count = 0;
};

// Built by the code store when code is loaded and rebuilt with it; the
// pieces stay (see above).
class LineCode {
public:
    static constexpr uint32_t NotDecoded = UINT32_MAX;

    void build(const std::vector<CodeLine>& lines);
    void clear();

    // The record of line n, or nullptr when the line runs as text.
    uint16_t* line(int32_t n)
    {
        const uint32_t at = m_index[static_cast<size_t>(n)];
        return at == NotDecoded ? nullptr : m_stream.data() + at;
    }
    Head& head(uint16_t id) { return m_heads[id]; }
    // Where the line's own command record starts in a line record that
    // has one (HasCommand): past the target slot and the groups.
    static const uint16_t* command_of(const uint16_t* record);
    const Pieces& pieces(uint16_t id) const { return m_pieces[id]; }

    // Bytes the decoded form takes, tables and their spare room included.
    size_t memory_bytes() const;

private:
    bool decode(const CodeLine& line);
    bool decode_command(std::string_view text, uint32_t offset, bool words_only);
    uint16_t head_id(std::string_view word);
    uint16_t pieces_id(std::string_view text, const SplitSpans& spans);

    std::vector<uint32_t> m_index; // per line: where its record starts, or NotDecoded
    std::vector<uint16_t> m_stream;
    std::vector<Head> m_heads;
    std::vector<Pieces> m_pieces;             // never shrinks: commands running may point into it
    StringMap<uint16_t> m_pieces_index;
    size_t m_pieces_bytes = 0;
};

} // namespace ruk
