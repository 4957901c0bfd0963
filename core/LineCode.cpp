// Decoding the code store's lines once: where their groups stand, what their commands split into.
#include "core/LineCode.h"

#include "core/CodeStore.h"
#include "core/Text.h"

#include <algorithm>

namespace ruk {

namespace {

constexpr size_t MaxDecodedLength = 0xFFFF;
// Bounds of the table of word lists: a script of many different ones
// copies the words of those past it.
constexpr size_t MaxPieces = 4096;
constexpr size_t MaxPiecesBytes = 256 << 10;

struct FoundGroup {
    uint32_t open;
    uint32_t close;
    uint32_t first_inner;
};

// Lists the groups in the order the engine evaluates them: each closing byte
// belongs to the last opening byte before it that no earlier group took. At a
// closing byte without one, the engine stops looking for groups, and so does
// the list.
void find_groups(std::string_view text, std::vector<FoundGroup>& out)
{
    out.clear();
    std::vector<std::pair<uint32_t, uint32_t>> opens; // position, groups found before it
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == tok::GroupOpen) {
            opens.emplace_back(static_cast<uint32_t>(i), static_cast<uint32_t>(out.size()));
        } else if (text[i] == tok::GroupClose) {
            if (opens.empty())
                break;
            out.push_back({opens.back().first, static_cast<uint32_t>(i), opens.back().second});
            opens.pop_back();
        }
    }
}

// A variable reference that names element 0 of a variable directly: no
// group, no index, no dynamic name.
bool is_plain_name(std::string_view name)
{
    if (name.empty())
        return true;
    if (name[0] == '_')
        return false;
    for (char c : name)
        if (c == tok::GroupOpen || c == tok::GroupClose)
            return false;
    return name.size() < 2 || name.find('[', 1) == std::string_view::npos;
}

// A function declaration whose parameter names a call can assign straight
// to their slots: plain names of at most 60 characters, and a list that
// ends at its first closing byte, so that the names are exactly the split
// parameters.
bool has_plain_parameters(std::string_view text, const SplitSpans& spans)
{
    if (spans.word_count < 2 || text.substr(spans.words[0].pos, spans.words[0].len) != "function")
        return false;
    if (text.find(tok::Close, spans.list_start) != text.size() - 1)
        return false;
    bool any = false;
    for (int i = 0; i < spans.param_count; ++i) {
        const std::string_view name = text.substr(spans.params[static_cast<size_t>(i)].pos, spans.params[static_cast<size_t>(i)].len);
        if (name.size() > 60 || !is_plain_name(name))
            return false;
        any = any || !name.empty();
    }
    return any;
}

} // namespace

void LineCode::clear()
{
    m_index.clear();
    m_stream.clear();
    m_heads.clear();
}

void LineCode::build(const std::vector<CodeLine>& lines)
{
    clear();
    m_index.reserve(lines.size());
    for (const CodeLine& line : lines) {
        const size_t mark = m_stream.size();
        if (mark < NotDecoded && decode(line)) {
            m_index.push_back(static_cast<uint32_t>(mark));
        } else {
            m_stream.resize(mark);
            m_index.push_back(NotDecoded);
        }
    }
    m_stream.shrink_to_fit();
    m_heads.shrink_to_fit();
}

size_t LineCode::memory_bytes() const
{
    size_t bytes = sizeof(*this) + m_index.capacity() * sizeof(uint32_t) + m_stream.capacity() * sizeof(uint16_t)
        + m_heads.capacity() * sizeof(Head) + m_pieces.capacity() * sizeof(Pieces) + m_pieces_bytes;
    for (const Head& h : m_heads)
        if (h.word.capacity() > std::string().capacity())
            bytes += h.word.capacity() + 1;
    return bytes;
}

uint16_t LineCode::head_id(std::string_view word)
{
    // Few distinct words 0 exist in a script; the newest are the likeliest.
    for (size_t i = m_heads.size(); i-- > 0;)
        if (m_heads[i].word == word)
            return static_cast<uint16_t>(i);
    m_heads.push_back({std::string(word), 0, -1});
    return static_cast<uint16_t>(m_heads.size() - 1);
}

const uint16_t* LineCode::command_of(const uint16_t* record)
{
    const uint16_t header = *record++;
    if (header & rec::HasTarget)
        record += rec::SlotUnits;
    CommandRecord skipped;
    for (uint32_t k = 0, count = header & 0xFF; k < count; ++k) {
        const GroupKind kind = static_cast<GroupKind>(record[0] >> 8);
        record += 3;
        if (kind == GroupKind::Variable)
            record += rec::SlotUnits;
        else if (kind == GroupKind::Command)
            record = read_command(record, skipped);
    }
    return record;
}

// The entry of a command's words, made on first sight. Scripts use few
// different word lists, so the table stays small.
uint16_t LineCode::pieces_id(std::string_view text, const SplitSpans& spans)
{
    const std::string_view key = text.substr(0, spans.list_start);
    if (auto it = m_pieces_index.find(key); it != m_pieces_index.end())
        return it->second;
    // Each entry costs its strings, their spilled bytes and the key kept in the index.
    size_t bytes = spans.word_count * sizeof(std::string) + key.size() + sizeof(std::string) + 32;
    for (int i = 0; i < spans.word_count; ++i)
        bytes += spans.words[static_cast<size_t>(i)].len > 15 ? spans.words[static_cast<size_t>(i)].len + 1 : 0;
    if (m_pieces.size() >= MaxPieces || m_pieces_bytes + bytes > MaxPiecesBytes)
        return rec::NoPieces;
    Pieces p;
    p.words = std::make_unique<std::string[]>(spans.word_count);
    p.count = spans.word_count;
    for (int i = 0; i < spans.word_count; ++i)
        p.words[static_cast<size_t>(i)].assign(text.substr(spans.words[static_cast<size_t>(i)].pos, spans.words[static_cast<size_t>(i)].len));
    m_pieces.push_back(std::move(p));
    m_pieces_bytes += bytes;
    const auto id = static_cast<uint16_t>(m_pieces.size() - 1);
    m_pieces_index.emplace(std::string(key), id);
    return id;
}

// Appends the record of one line. Returns false when the line must run as
// text; the caller then drops what was appended.
bool LineCode::decode(const CodeLine& line)
{
    const std::string_view text = line.command;
    if (text.size() >= MaxDecodedLength)
        return false;
    std::vector<FoundGroup> groups;
    find_groups(text, groups);
    if (groups.size() > rec::MaxGroups)
        return false;

    const size_t header_at = m_stream.size();
    uint16_t header = static_cast<uint16_t>(groups.size());
    m_stream.push_back(0);
    if (!line.target.empty() && is_plain_name(line.target)) {
        header |= rec::HasTarget;
        m_stream.insert(m_stream.end(), rec::SlotUnits, 0);
    }

    for (size_t k = 0; k < groups.size(); ++k) {
        const FoundGroup& g = groups[k];
        const std::string_view inner = text.substr(g.open + 1, g.close - g.open - 1);
        const bool nested = g.first_inner != k;
        const size_t info_at = m_stream.size();
        m_stream.push_back(static_cast<uint16_t>(g.first_inner));
        m_stream.push_back(static_cast<uint16_t>(g.open));
        m_stream.push_back(static_cast<uint16_t>(g.close));
        GroupKind kind = GroupKind::Text;
        if (inner.empty() || inner[0] == tok::Condition || inner[0] == tok::GroupOpen) {
            // conditions are evaluated from the text
        } else if (inner[0] == '&') {
            if (!nested && is_plain_name(inner.substr(1))) {
                kind = GroupKind::Variable;
                m_stream.insert(m_stream.end(), rec::SlotUnits, 0);
            }
        } else {
            SplitSpans spans;
            Command::split_spans(inner, spans);
            bool words_fixed = spans.list_start < inner.size();
            for (size_t j = g.first_inner; j < k; ++j)
                if (groups[j].open < g.open + 1 + spans.list_start)
                    words_fixed = false;
            if (words_fixed && (nested || spans.ok) && decode_command(inner, g.open + 1, nested))
                kind = GroupKind::Command;
        }
        m_stream[info_at] |= static_cast<uint16_t>(static_cast<uint16_t>(kind) << 8);
    }

    // The line's own command: its words are fixed when every group stands
    // inside the parameter list; without groups its parameters are too.
    SplitSpans spans;
    Command::split_spans(text, spans);
    bool words_fixed = spans.list_start < text.size();
    for (const FoundGroup& g : groups)
        if (g.open < spans.list_start)
            words_fixed = false;
    if (words_fixed && (!groups.empty() || spans.ok) && decode_command(text, 0, !groups.empty())) {
        header |= rec::HasCommand;
        if (groups.empty() && has_plain_parameters(text, spans)) {
            header |= rec::HasParamSlots;
            m_stream.insert(m_stream.end(), rec::SlotUnits * spans.param_count, 0);
        }
    }
    m_stream[header_at] = header;
    return true;
}

// Appends the record of a command that stands at `offset` in a stored text.
// Without `words_only`, the split must be clean (a command that reports the
// syntax error is split again each time, so that the error is reported as it
// happens). Returns false when no record was written.
bool LineCode::decode_command(std::string_view text, uint32_t offset, bool words_only)
{
    SplitSpans spans;
    Command::split_spans(text, spans);
    if (!words_only && !spans.ok)
        return false;
    if (m_heads.size() >= 0xFFFF)
        return false;
    const Span w0 = spans.words[0];
    const uint16_t head = head_id(text.substr(w0.pos, w0.len));
    uint16_t counts = spans.word_count;
    if (!words_only)
        counts |= static_cast<uint16_t>((spans.param_count << 3) | rec::ParamsFixed);
    m_stream.push_back(head);
    m_stream.push_back(counts);
    m_stream.push_back(static_cast<uint16_t>(offset + spans.list_start));
    m_stream.push_back(pieces_id(text, spans));
    for (int i = 0; i < spans.word_count; ++i) {
        // The word's whole length, not the part that is kept: the next word
        // starts after it.
        size_t end = spans.words[static_cast<size_t>(i)].pos;
        while (end < text.size() && text[end] != tok::Sep && text[end] != tok::Open)
            ++end;
        m_stream.push_back(static_cast<uint16_t>(offset + end));
    }
    if (!words_only)
        for (int i = 0; i < spans.param_count; ++i) {
            const Span p = spans.params[static_cast<size_t>(i)];
            m_stream.push_back(static_cast<uint16_t>(offset + p.pos + p.len));
        }
    return true;
}

} // namespace ruk
