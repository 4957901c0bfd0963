// Running events and lines: group evaluation, dispatch, the pending queue and error reports.
#include "core/Engine.h"

#include "core/Condition.h"
#include "core/TextCopy.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <stdexcept>
#include <vector>
#include <memory>

namespace ruk {

namespace {

// Immediate events run inside the event they interrupt, on the native stack;
// past this depth a further immediate event is refused instead of risking the
// stack (an "error" event whose code raises errors raises no new one anyway).
constexpr int MaxNativeDepth = 64;

// Replaces `count` bytes at `pos` by `value`, which does not point into
// `text`: the cheap form of std::string::replace for the line buffer.
void splice(std::string& text, size_t pos, size_t count, std::string_view value)
{
    const size_t old_size = text.size();
    const size_t tail = old_size - pos - count;
    if (value.size() > count)
        text.resize(old_size + value.size() - count);
    char* d = text.data();
    if (value.size() != count && tail)
        std::memmove(d + pos + value.size(), d + pos + count, tail);
    copy_bytes(d + pos, value.data(), value.size());
    if (value.size() < count)
        text.resize(old_size - count + value.size());
}

bool has_group_bytes(std::string_view value)
{
    static_assert((tok::GroupOpen & ~1) == (tok::GroupClose & ~1));
    if (value.size() < 32) {
        for (char c : value)
            if ((c & ~1) == tok::GroupOpen)
                return true;
        return false;
    }
    return std::memchr(value.data(), tok::GroupOpen, value.size()) || std::memchr(value.data(), tok::GroupClose, value.size());
}

} // namespace

// The parts of the execution state an immediate event may overwrite while it
// interrupts a line; they are put back so that the interrupted line can finish.
struct Engine::SavedLine {
    std::string line;
    int32_t group_start, group_end;
    bool abort, rerun;
};

Engine::Engine(Host* host)
{
    if (!host) {
        m_own_host = std::make_unique<HeadlessHost>(std::cout);
        host = m_own_host.get();
    }
    m_host = host;
    m_vars.set_error_sink([this](const char* message) { report_error(message); });
    m_line.reserve(4096);
    m_fallback = [](Engine& e) -> Result {
        e.report_error(MsgUnknown);
        e.set_abort();
        return std::nullopt;
    };
    m_random.seed_from_clock();
    const char* plain = std::getenv("RUK_NO_DECODE");
    m_decode = !(plain && plain[0] == '1');
}

Engine::~Engine() = default;

void Engine::set_host(Host* host)
{
    m_host = host ? host : m_own_host.get();
}

void Engine::register_family(std::string_view word, Handler handler)
{
    ++m_table_generation;
    auto it = m_table_index.find(word);
    if (it != m_table_index.end()) {
        m_table[it->second].handler = std::move(handler);
        return;
    }
    m_table_index.emplace(std::string(word), m_table.size());
    m_table.push_back({std::string(word), std::move(handler)});
}

void Engine::unregister_family(std::string_view word)
{
    ++m_table_generation;
    auto it = m_table_index.find(word);
    if (it != m_table_index.end())
        m_table[it->second].handler = nullptr;
}

bool Engine::has_family(std::string_view word) const
{
    auto it = m_table_index.find(word);
    return it != m_table_index.end() && m_table[it->second].handler;
}

std::vector<std::string> Engine::family_words() const
{
    std::vector<std::string> words;
    for (const Entry& entry : m_table)
        if (entry.handler)
            words.push_back(entry.word);
    return words;
}

std::optional<int64_t> Engine::next_due(int64_t after) const
{
    std::optional<int64_t> next;
    for (const PendingEvent& p : m_pending)
        if (p.due > after && (!next || p.due < *next))
            next = p.due;
    return next;
}

Result Engine::call_function()
{
    return m_fallback(*this);
}

Result Engine::dispatch_command()
{
    if (m_stop)
        return std::nullopt;
    auto it = m_table_index.find(std::string_view(m_cmd.word(0)));
    if (it != m_table_index.end() && m_table[it->second].handler)
        return m_table[it->second].handler(*this);
    return m_fallback(*this);
}

Result Engine::split_command(std::string_view text)
{
    if (!m_cmd.split(text)) {
        // The "error" event may split commands of its own: run what was read.
        Command read = m_cmd;
        report_error(MsgSyntax);
        m_cmd = std::move(read);
    }
    return dispatch_command();
}

Result Engine::eval_group(std::string_view inner, size_t open, size_t close)
{
    if (!inner.empty() && inner[0] == tok::Condition)
        return flag_to_text(eval_condition(*this, inner.substr(1)));
    if (!inner.empty() && inner[0] == '&')
        return var_read(inner.substr(1)).value_or(std::string());
    m_group_start = static_cast<int32_t>(open);
    m_group_end = static_cast<int32_t>(close);
    return split_command(inner);
}

Result Engine::run_line(std::string& buffer, bool execute)
{
    // Innermost, leftmost group first. Nothing before `from` holds a group
    // end, so each search resumes where the last group stood.
    size_t from = 0;
    for (;;) {
        m_group_start = m_group_end = -1;
        size_t close = buffer.find(tok::GroupClose, from);
        if (close == std::string::npos)
            break;
        size_t open = buffer.rfind(tok::GroupOpen, close);
        if (open == std::string::npos)
            break;
        std::string_view inner(buffer.data() + open + 1, close - open - 1);
        Result value = eval_group(inner, open, close);
        if (m_abort) {
            // A function call took over the line (or a return ended it).
            m_abort = false;
            return std::nullopt;
        }
        if (open > buffer.size() || close >= buffer.size())
            return std::nullopt; // the buffer was replaced under us
        // A line never grows past the text ceiling: the value that would
        // take it there is an error and stands as an empty text.
        std::string_view text;
        if (value) {
            if (buffer.size() - (close - open + 1) + value->size() > MaxTextLength)
                report_error(MsgTextTooLong);
            else
                text = *value;
        }
        buffer.replace(open, close - open + 1, text);
        from = open;
    }
    if (!execute)
        return buffer;
    return split_command(buffer);
}

// Runs a line's own command, read from its record, once no group is left in
// the line buffer: words from the decoded form, parameters as it says.
// Inlined: it is the last step of every decoded line.
[[gnu::always_inline]] inline Result Engine::run_own_command(CommandRecord& c, const std::string& stored)
{
    m_group_start = m_group_end = -1;
    c.word_start = 0;
    if (!assign_decoded(c, stored, m_line.size(), 0))
        return split_command(m_line); // reports the syntax error as it stands
    return dispatch_decoded(c.head);
}

// Runs line n from its decoded form; the line buffer holds its stored text.
// Groups are evaluated in the same order and replaced in the buffer in the
// same way as run_line does, so that a function called from a group saves
// and later rebuilds exactly the same text; only the searching, splitting
// and name lookups are skipped. Whenever the decoded form stops describing
// the buffer (a result holding group bytes, code loaded meanwhile, a buffer
// changed under the line), the rest of the line runs as text.
Result Engine::run_decoded(int32_t n)
{
    const uint32_t version = m_code.version();
    LineCode& code = m_code.decoded();
    const uint16_t* at = code.line(n);
    const std::string& stored = m_code.line(n).command;
    const uint16_t header = *at++;
    const uint32_t group_count = header & 0xFF;
    if (header & rec::HasTarget)
        at += rec::SlotUnits;
    // How far each group's result moved what follows it. Kept on the stack:
    // an event or a script function run inside one of the line's commands
    // runs lines of its own before this one goes on.
    std::array<int32_t, rec::MaxGroups + 1> group_shift;
    group_shift[0] = 0;
    int32_t shift = 0; // how far earlier results have moved what follows them
    CommandRecord c;
    for (uint32_t k = 0; k < group_count; ++k) {
        m_group_start = m_group_end = -1;
        const GroupKind kind = static_cast<GroupKind>(at[0] >> 8);
        const int32_t before = group_shift[at[0] & 0xFF]; // how far this group's opening byte moved
        const uint32_t stored_open = at[1];
        const uint32_t stored_close = at[2];
        const size_t open = static_cast<size_t>(static_cast<int64_t>(stored_open) + before);
        const size_t close = static_cast<size_t>(static_cast<int64_t>(stored_close) + shift);
        at += 3;
        if (close >= m_line.size() || m_line[open] != tok::GroupOpen || m_line[close] != tok::GroupClose)
            return run_line(m_line, true);
        if (kind == GroupKind::Variable) {
            // A variable's value goes into the buffer without a copy of its own.
            uint16_t* slot_at = const_cast<uint16_t*>(at);
            at += rec::SlotUnits;
            VarSlot slot = load_slot(slot_at);
            const std::string_view name = std::string_view(stored).substr(stored_open + 2, stored_close - stored_open - 2);
            const int32_t number = m_vars.find(name, slot);
            store_slot(slot_at, slot);
            std::string_view value;
            if (number >= 0 && !m_vars.at(number).elements.empty())
                value = m_vars.at(number).elements[0];
            if (m_line.size() - (close - open + 1) + value.size() > MaxTextLength)
                return run_line(m_line, true); // reports the overlong line as text does
            splice(m_line, open, close - open + 1, value);
            shift += static_cast<int32_t>(value.size()) - static_cast<int32_t>(close - open + 1);
            group_shift[k + 1] = shift;
            if (has_group_bytes(value))
                return run_line(m_line, true); // the value brought groups of its own
            continue;
        }
        Result value;
        bool split = false;
        if (kind == GroupKind::Command) {
            at = read_command(at, c);
            c.word_start = stored_open + 1;
            split = assign_decoded(c, stored, close, before);
        }
        if (split) {
            m_group_start = static_cast<int32_t>(open);
            m_group_end = static_cast<int32_t>(close);
            value = dispatch_decoded(c.head);
        } else {
            value = eval_group(std::string_view(m_line).substr(open + 1, close - open - 1), open, close);
        }
        if (m_abort) {
            // A function call took over the line (or a return ended it).
            m_abort = false;
            return std::nullopt;
        }
        if (open > m_line.size() || close >= m_line.size())
            return std::nullopt; // the buffer was replaced under us
        const size_t old_size = close - open + 1;
        std::string_view text;
        if (value) {
            if (m_line.size() - old_size + value->size() > MaxTextLength)
                report_error(MsgTextTooLong);
            else
                text = *value;
        }
        splice(m_line, open, old_size, text);
        shift += static_cast<int32_t>(text.size()) - static_cast<int32_t>(old_size);
        group_shift[k + 1] = shift;
        if (m_code.version() != version)
            return run_line(m_line, true);
        if (has_group_bytes(text))
            return run_line(m_line, true); // the result brought groups of its own
    }
    m_group_start = m_group_end = -1;
    if (!(header & rec::HasCommand))
        return split_command(m_line);
    read_command(at, c);
    return run_own_command(c, stored);
}

// Runs a line rebuilt after a function call returned into one of its groups
// when no group is left in it and its own command's words still stand as
// stored: the command's decoded words and handler serve, its parameters are
// split from the rebuilt text. Returns false (nothing done) when the line
// must run as text.
bool Engine::run_rebuilt_command(int32_t n, const uint16_t* record, Result& result)
{
    const uint16_t header = record[0];
    if (!(header & rec::HasCommand))
        return false;
    const uint16_t* at = LineCode::command_of(record);
    CommandRecord c;
    read_command(at, c);
    const std::string& stored = m_code.line(n).command;
    if (c.list_start > m_line.size() || std::memcmp(m_line.data(), stored.data(), c.list_start) != 0
        || has_group_bytes(m_line))
        return false;
    result = run_own_command(c, stored);
    return true;
}

// Makes a decoded command the current one: its words from the stored text,
// its parameters from there too when they are fixed, otherwise split from the
// line buffer up to `end`, where the list start has moved by `moved`. Returns
// false when that split reports the syntax error; the caller then splits the
// text as it stands, so that the error is reported as it always is.
bool Engine::assign_decoded(const CommandRecord& c, const std::string& stored, size_t end, int32_t moved)
{
    if (c.pieces != rec::NoPieces) {
        const Pieces& p = m_code.decoded().pieces(c.pieces);
        m_cmd.use_words(p.words.get(), p.count);
    } else {
        m_cmd.assign_words(stored, c.word_start, c.word_ends, c.word_count);
    }
    if (c.params_fixed) {
        m_cmd.assign_params(stored, c.list_start, c.param_ends, c.param_count);
        return true;
    }
    const size_t list_start = static_cast<size_t>(static_cast<int64_t>(c.list_start) + moved);
    return m_cmd.assign_param_list(std::string_view(m_line.data(), end), list_start);
}

// dispatch_command for a decoded command: the handler found for its word 0
// is kept until the dispatcher's table changes.
Result Engine::dispatch_decoded(uint16_t head_id)
{
    if (m_stop)
        return std::nullopt;
    Head& head = m_code.decoded().head(head_id);
    if (head.generation != m_table_generation) {
        auto it = m_table_index.find(std::string_view(head.word));
        head.handler = it == m_table_index.end() ? -1 : static_cast<int32_t>(it->second);
        head.generation = m_table_generation;
    }
    const int32_t handler = head.handler;
    if (handler >= 0 && m_table[static_cast<size_t>(handler)].handler)
        return m_table[static_cast<size_t>(handler)].handler(*this);
    return m_fallback(*this);
}

// Assigns a line's result to its assignment target (the line at the program
// counter has one). A plain target goes straight to its variable's slot.
void Engine::assign_result(const std::string& value)
{
    const CodeLine& line = m_code.line(m_pc);
    uint16_t* record = m_decode ? m_code.decoded().line(m_pc) : nullptr;
    if (record && (record[0] & rec::HasTarget)) {
        m_group_start = m_group_end = -1;
        VarSlot slot = load_slot(record + 1);
        const int32_t number = m_vars.index(line.target, slot);
        store_slot(record + 1, slot);
        m_vars.set_element(number, 0, value);
        return;
    }
    std::string target = line.target;
    Result reference = run_line(target, false);
    if (reference)
        var_assign(*reference, value);
}

void Engine::run_lines()
{
    run_lines_impl(std::nullopt);
}

void Engine::run_lines_until_return(size_t depth)
{
    run_lines_impl(depth);
}

void Engine::run_lines_impl(std::optional<size_t> until_depth)
{
    while (m_pc != -1 && m_pc < m_code.line_count()) {
        if (m_aborting
            || (m_abort_request.load(std::memory_order_relaxed) && m_abort_request.exchange(false, std::memory_order_relaxed))) {
            m_aborting = true;
            m_pc = -1;
            m_event_name.clear();
            return;
        }
        copy_text(m_line, m_code.line(m_pc).command);
        Result result;
        bool stored_text = true; // the buffer holds the stored line
        do {
            m_rerun = false;
            // A line re-run after a function call took over is usually
            // rebuilt text; when it is still exactly the stored line (the
            // first line of the function, say) it runs decoded too.
            const uint16_t* record = m_decode && m_pc >= 0 && m_pc < m_code.line_count() ? m_code.decoded().line(m_pc) : nullptr;
            if (record && (stored_text || m_line == m_code.line(m_pc).command))
                result = run_decoded(m_pc);
            else if (!record || !run_rebuilt_command(m_pc, record, result))
                result = run_line(m_line, true);
            m_abort = false;
            stored_text = false;
        } while (m_rerun);

        if (result && m_pc >= 0 && m_pc < m_code.line_count() && !m_code.line(m_pc).target.empty())
            assign_result(*result);
        if (m_pc == -1)
            return;
        if (until_depth && m_flow.calls.size() <= *until_depth)
            return;
        if (m_quit) {
            // The quit flag ends the running event once; a cancelled close
            // leaves the engine running with the flag cleared.
            m_quit = false;
            m_pc = -1;
            return;
        }
        ++m_pc;
        if (m_pc > m_code.line_count())
            report_error(MsgCodeEnd);
    }
    m_pc = -1;
}

bool Engine::run_event(std::string_view name, bool immediate, int window, bool use_group)
{
    if (m_stop)
        return false;
    std::string full(name.substr(0, 255));
    if (use_group && window >= 0 && window < WindowSlots && m_group_names[static_cast<size_t>(window)]) {
        full += ':';
        full += *m_group_names[static_cast<size_t>(window)];
    }
    if (m_code.event_list().find(full) == std::string::npos)
        return false;
    if (full == m_event_name && name != "load")
        return false;

    if (!immediate && m_pc != -1) {
        queue_event(full, m_host->tick_ms(), window);
        return false;
    }
    if (m_native_depth >= MaxNativeDepth)
        return false;

    // An event that interrupts a line gets the line buffer back afterwards.
    const bool nested = m_native_depth > 0;
    if (!nested) {
        // A new, outermost event starts afresh: a stop asked for while
        // nothing ran has nothing left to stop.
        m_aborting = false;
        m_abort_request.store(false, std::memory_order_relaxed);
        m_quit = false;
    }
    std::optional<SavedLine> saved;
    if (nested)
        saved = SavedLine{m_line, m_group_start, m_group_end, m_abort, m_rerun};
    ++m_native_depth;
    if (const auto* lines = m_code.event_lines(full)) {
        const std::vector<int32_t> starts = *lines;
        for (int32_t start : starts) {
            if (m_stop || m_aborting)
                break;
            m_event_name = full;
            m_pc = start + 1;
            m_event_author = window;
            m_abort = m_rerun = false;
            try {
                run_lines();
            } catch (const std::bad_alloc&) {
                out_of_memory();
            } catch (const std::length_error&) {
                out_of_memory();
            }
        }
    }
    --m_native_depth;
    if (m_native_depth == 0)
        m_aborting = false; // the whole chain of interrupted events has ended
    if (saved) {
        m_line = std::move(saved->line);
        m_group_start = saved->group_start;
        m_group_end = saved->group_end;
        m_abort = saved->abort;
        m_rerun = saved->rerun;
    }
    if (m_pc == -1)
        m_event_name.clear();
    if (!nested && m_pending_exception) {
        std::string message = std::move(*m_pending_exception);
        m_pending_exception.reset();
        if (m_exception_handler)
            m_exception_handler(message);
        else
            handle_exception(message);
    }
    return true;
}

// A failed allocation ends the running line and every event it interrupts;
// the outermost event then raises the "exception" event, as any exception
// that reaches the application does.
void Engine::out_of_memory()
{
    std::string().swap(m_line);
    m_pc = -1;
    raise_exception(MsgOutOfMemory);
}

void Engine::raise_exception(std::string message)
{
    if (m_native_depth == 0) {
        // Nothing runs that could be unwound: handle it at once.
        if (m_exception_handler)
            m_exception_handler(message);
        else
            handle_exception(message);
        return;
    }
    m_pending_exception = std::move(message);
    m_aborting = true;
}

void Engine::handle_exception(const std::string& message)
{
    m_last_error = message;
    if (!run_event("exception", false, 0, false))
        m_host->terminate_application();
}

bool Engine::queue_event(std::string_view name, int64_t due, int window)
{
    if (m_pending.size() >= MaxPendingEvents)
        return false;
    int same = 0;
    for (const auto& p : m_pending)
        if (p.name == name && ++same >= 2)
            return false;
    m_pending.push_back({std::string(name), due, static_cast<int16_t>(window), m_next_pending_id++});
    return true;
}

bool Engine::run_pending()
{
    const int64_t now = m_host->tick_ms();
    for (size_t i = 0; i < m_pending.size(); ++i) {
        if (m_pending[i].due > now)
            continue;
        if (m_pc != -1 || m_stop)
            return false;
        PendingEvent entry = m_pending[i];
        if (run_event(entry.name, true, entry.window, false)) {
            // The event may have queued or run other entries meanwhile.
            for (size_t k = 0; k < m_pending.size(); ++k) {
                if (m_pending[k].id == entry.id) {
                    m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(k));
                    break;
                }
            }
            return true;
        }
    }
    return false;
}

std::string_view Engine::function_name() const
{
    return m_flow.calls.empty() ? std::string_view() : std::string_view(m_flow.calls.back().name);
}

void Engine::append_error_field(std::string& out, std::string_view field)
{
    out += field;
    out += ErrorFieldEnd;
}

std::string Engine::readable_error(std::string_view text)
{
    std::vector<std::string_view> fields;
    while (!text.empty()) {
        size_t end = text.find(ErrorFieldEnd);
        fields.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + ErrorFieldEnd.size());
    }
    // where, code line, message, the command as written, the line's tokens
    if (fields.size() < 3)
        return fields.empty() ? std::string() : std::string(fields[0]);
    std::string out = fields[0].empty() ? std::string("code line ") : std::string(fields[0]) + ", code line ";
    out += fields[1];
    out += ": ";
    out += fields[2];
    std::string_view command = fields.size() > 3 ? fields[3] : std::string_view();
    if (command.empty() && fields.size() > 4)
        command = fields[4];
    if (!command.empty()) {
        out += ": ";
        out += command;
    }
    return out;
}

void Engine::report_error(std::string_view message)
{
    if (m_event_name == "_initialize")
        return;
    std::string text;
    if (!m_event_name.empty())
        append_error_field(text, "event." + m_event_name);
    else if (!m_flow.calls.empty())
        append_error_field(text, "function." + std::string(function_name()));
    else
        append_error_field(text, "");
    append_error_field(text, int_to_text(m_pc));
    append_error_field(text, message);
    append_error_field(text, m_cmd.describe());
    std::string line_text;
    if (m_pc >= 0 && m_pc < m_code.line_count()) {
        const CodeLine& line = m_code.line(m_pc);
        if (!line.target.empty()) {
            line_text = line.target;
            line_text += '=';
        }
        line_text += line.command;
    }
    append_error_field(text, show_tokens(line_text));
    m_last_error = std::move(text);
    if (m_error_observer)
        m_error_observer(m_last_error);
    run_event("error", true, 0, false);
}

int Engine::info_box(std::string text)
{
    for (char& c : text)
        if (c == '#')
            c = '\n';
    m_host->clear_drag_state();
    return m_host->message_box(text, m_caption, InfoBoxFlags, ButtonOk);
}

const std::optional<std::string>& Engine::group_name(int window) const
{
    static const std::optional<std::string> none;
    if (window < 0 || window >= WindowSlots)
        return none;
    return m_group_names[static_cast<size_t>(window)];
}

void Engine::set_group_name(int window, std::optional<std::string> name)
{
    if (window >= 0 && window < WindowSlots)
        m_group_names[static_cast<size_t>(window)] = std::move(name);
}

void register_core_words(Engine& engine)
{
    engine.register_family("s", [](Engine& e) -> Result {
        const std::string& p = e.param(1);
        if (is_canonical_number(p))
            return p; // already the decimal text its value would give
        if (is_int_expression(p))
            return int_to_text(eval_int(p, 0));
        return p;
    });
    engine.register_family("?", [](Engine& e) -> Result {
        if (!e.param(2).empty() || !e.param(3).empty())
            return starts_with_1(e.param(1)) ? e.param(2) : e.param(3);
        return e.param(1);
    });
}

} // namespace ruk
