// Control flow: the keyword handlers, forward scans and the call frames.
#include "core/Struct.h"

#include "core/Engine.h"
#include "core/TextCopy.h"

#include <climits>

namespace ruk {

namespace {

enum class Scan { While, For, If, IfElse };

bool has_prefix(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// "word", any one byte, then "tail": the closing forms such as while.end.
bool is_closing(std::string_view text, std::string_view word, std::string_view tail)
{
    return text.size() >= word.size() + 1 + tail.size() && has_prefix(text, word)
        && text.compare(word.size() + 1, tail.size(), tail) == 0;
}

bool is_opening(std::string_view text, std::string_view word)
{
    return text.size() > word.size() && has_prefix(text, word) && text[word.size()] == tok::Open;
}

// Moves the program counter forward to the line that closes the construct
// opened on the current line, counting nesting by the first bytes of the
// command texts. Stops on the second-to-last line of the code at the latest,
// so that the last line still runs after a scan that found nothing. Returns
// whether the closing line was found.
bool scan_forward(Engine& e, Scan kind)
{
    const CodeStore& code = e.code();
    const int32_t last = code.line_count() - 2;
    int count = 1;
    int32_t pc = e.pc();
    while (pc < last) {
        ++pc;
        e.set_pc(pc);
        std::string_view text = code.line(pc).command;
        switch (kind) {
        case Scan::While:
            if (is_opening(text, "while"))
                ++count;
            else if (is_closing(text, "while", "end"))
                --count;
            break;
        case Scan::For:
            if (is_opening(text, "for"))
                ++count;
            else if (is_closing(text, "for", "next"))
                --count;
            break;
        case Scan::If:
        case Scan::IfElse:
            if (!has_prefix(text, "if"))
                break;
            if (is_closing(text, "if", "end"))
                --count;
            else if (is_closing(text, "if", "else")) {
                if (kind == Scan::IfElse && count == 1)
                    return true;
            } else
                ++count;
            break;
        }
        if (count == 0)
            return true;
    }
    return false;
}

Result keyword_while(Engine& e)
{
    FlowState& flow = e.flow();
    const std::string_view w1 = e.word(1);
    if (w1.empty()) {
        if (starts_with_1(e.param(1))) {
            if (flow.whiles.size() >= FlowState::MaxWhiles) {
                // No slot is left: the loop is not entered, so that every
                // later while.end finds the loop it belongs to.
                e.report_error(MsgTooManyWhiles);
                scan_forward(e, Scan::While);
            } else {
                flow.whiles.push_back(e.pc());
            }
        } else if (!scan_forward(e, Scan::While)) {
            e.report_error(MsgWhileEnd);
        }
        return std::nullopt;
    }
    if (w1 == "end") {
        if (flow.whiles.empty()) {
            e.report_error(MsgWhileEnd);
            return std::nullopt;
        }
        e.set_pc(flow.whiles.back() - 1);
        flow.whiles.pop_back();
        return std::nullopt;
    }
    if (w1 == "exit") {
        if (!scan_forward(e, Scan::While))
            e.report_error(MsgWhileEnd);
        if (!flow.whiles.empty())
            flow.whiles.pop_back();
        return std::nullopt;
    }
    return e.call_function();
}

bool for_continues(int32_t step, int32_t current, int32_t end)
{
    return step >= 1 ? current < end : current > end;
}

Result keyword_for(Engine& e)
{
    FlowState& flow = e.flow();
    const std::string_view w1 = e.word(1);
    if (w1.empty()) {
        if (flow.fors.size() >= FlowState::MaxFors) {
            e.report_error(MsgTooManyFors);
            scan_forward(e, Scan::For);
            return std::nullopt;
        }
        // The parameters are read before the assignment, which may report an
        // error and run other code.
        const std::string reference = e.param(1);
        const std::string start = e.param(2);
        const int32_t current = e.param_int(2, 0);
        const int32_t end = e.param_int(3, 0);
        const int32_t step = e.param_int(4, 1);
        const int32_t line = e.pc();
        int32_t variable = e.var_assign(reference, start);
        if (variable < 0) {
            // A refused loop variable: the loop is skipped, not run blind.
            if (e.pc() == line && !scan_forward(e, Scan::For))
                e.report_error(MsgForNext);
            return std::nullopt;
        }
        e.vars().set_element(variable, 0, int_to_text(current));
        if (for_continues(step, current, end)) {
            flow.fors.push_back({line, end, step, current, variable});
        } else if (!scan_forward(e, Scan::For)) {
            e.report_error(MsgForNext);
        }
        return std::nullopt;
    }
    if (w1 == "next") {
        if (flow.fors.empty()) {
            e.report_error(MsgForNext);
            return std::nullopt;
        }
        ForLoop& loop = flow.fors.back();
        loop.current = static_cast<int32_t>(static_cast<uint32_t>(loop.current) + static_cast<uint32_t>(loop.step));
        if (for_continues(loop.step, loop.current, loop.end)) {
            if (loop.variable < e.vars().count())
                e.vars().set_element(loop.variable, 0, int_to_text(loop.current));
            e.set_pc(loop.line);
        } else {
            flow.fors.pop_back();
        }
        return std::nullopt;
    }
    if (w1 == "exit") {
        if (!scan_forward(e, Scan::For))
            e.report_error(MsgForNext);
        if (!flow.fors.empty())
            flow.fors.pop_back();
        return std::nullopt;
    }
    return e.call_function();
}

Result keyword_if(Engine& e)
{
    const std::string_view w1 = e.word(1);
    if (w1 == "end")
        return std::nullopt;
    if (w1 == "else") {
        scan_forward(e, Scan::If);
        return std::nullopt;
    }
    const std::string& condition = e.param(1);
    if (!condition.empty() && condition[0] == '0')
        scan_forward(e, Scan::IfElse);
    return std::nullopt;
}

Result keyword_event(Engine& e)
{
    const std::string_view w1 = e.word(1);
    if (w1 == "end" || w1 == "exit") {
        e.set_pc(-1);
        e.set_event_name(std::string());
        return std::nullopt;
    }
    return e.call_function();
}

Result keyword_doevent(Engine& e)
{
    const std::string& name = e.word(1);
    e.queue_event(name, e.host().tick_ms() + e.param_int(1, 0), e.param_int(2, -1));
    return std::nullopt;
}

// Depth checks shared by both kinds of call. Returns false when the call must
// not be made.
bool call_allowed(Engine& e)
{
    const int32_t depth = e.flow().call_depth();
    if (depth > FlowState::TerminateDepth) {
        e.set_quit(true);
        e.host().terminate_application();
        return false;
    }
    if (depth + 1 >= FlowState::MemoryFullDepth) {
        e.run_event("memoryfull", false, 0, false);
        return false;
    }
    return true;
}

// Assigns the call's values to the parameter names of the declaration line:
// the k-th non-empty name (cut to 60 characters) receives the k-th value.
void assign_parameters(Engine& e, int32_t declaration, const std::vector<std::string>& values)
{
    std::string_view text = e.code().line(declaration).command;
    size_t open = text.find(tok::Open);
    if (open == std::string_view::npos)
        return;
    text.remove_prefix(open + 1);
    size_t close = text.find(tok::Close);
    if (close != std::string_view::npos)
        text = text.substr(0, close);
    size_t k = 0;
    while (!text.empty() || k == 0) {
        size_t sep = text.find(tok::Sep);
        std::string_view name = text.substr(0, sep);
        if (!name.empty()) {
            if (k >= values.size())
                break;
            e.var_assign(name.substr(0, 60), values[k]);
            ++k;
        }
        if (sep == std::string_view::npos)
            break;
        text.remove_prefix(sep + 1);
    }
}

// The common case of a call: the declaration was decoded with a slot for
// each of its parameter names, all plain names. Such assignments can report
// no error and run no code, so the values are taken from the current
// command without copying them first. Returns false, having assigned
// nothing, when the declaration is not of this kind.
bool assign_plain_parameters(Engine& e, int32_t declaration)
{
    if (!e.decoding())
        return false;
    uint16_t* record = e.code().decoded().line(declaration);
    if (!record || !(record[0] & rec::HasParamSlots))
        return false;
    for (int n = 1; n <= Command::ParamCount; ++n)
        if (e.param(n).size() > MaxTextLength)
            return false;
    const std::string& text = e.code().line(declaration).command;
    CommandRecord c;
    uint16_t* slots = const_cast<uint16_t*>(read_command(record + 1, c));
    uint32_t from = c.list_start;
    int k = 1;
    VarStore& vars = e.vars();
    for (int i = 0; i < c.param_count && k <= Command::ParamCount; ++i, slots += rec::SlotUnits) {
        const uint32_t end = c.param_ends[i];
        const std::string_view name(text.data() + from, end - from);
        from = end + 1;
        if (name.empty())
            continue;
        VarSlot slot = load_slot(slots);
        const int32_t number = vars.index(name, slot);
        store_slot(slots, slot);
        vars.set_element(number, 0, e.param(k++));
    }
    return true;
}

Result keyword_return(Engine& e)
{
    if (e.word(0) == "function" && e.word(1) != "end") {
        e.report_error(MsgIncomplete);
        return std::nullopt;
    }
    FlowState& flow = e.flow();
    if (flow.calls.empty()) {
        e.report_error(MsgMisplacedEnd);
        return std::nullopt;
    }
    const std::string& p1 = e.param(1);
    std::string value = is_int_expression(p1) ? int_to_text(eval_int(p1, 0)) : p1;

    CallFrame& frame = flow.calls.back();
    flow.calls.pop();
    // Loops the function opened and did not close end with it.
    if (flow.whiles.size() > frame.open_whiles)
        flow.whiles.resize(frame.open_whiles);
    if (flow.fors.size() > frame.open_fors)
        flow.fors.resize(frame.open_fors);
    // Copied, not moved: the line buffer and the frame both keep their room.
    std::string& line = e.line_buffer();
    copy_text(line, frame.saved_line);
    if (frame.group_start < 0 || frame.group_end < frame.group_start
        || static_cast<size_t>(frame.group_end) >= line.size()) {
        copy_text(line, value); // a statement-level call drops its value
    } else {
        line.replace(static_cast<size_t>(frame.group_start),
                     static_cast<size_t>(frame.group_end - frame.group_start + 1), value);
        e.set_rerun();
    }
    e.set_pc(frame.return_line);
    // Whatever line was running has been replaced: stop evaluating it.
    e.set_abort();
    return std::nullopt;
}

} // namespace

Result call_script_function(Engine& e)
{
    std::string name = e.word(0);
    for (int i = 1; i <= 3 && !e.word(i).empty(); ++i) {
        name += ':';
        name += e.word(i);
    }
    if (!name.empty() && name[0] == '_')
        name.erase(0, 1);
    const int32_t start = e.code().function_line(name);
    if (start < 0) {
        e.set_last_error(name);
        e.report_error(MsgUnknown);
        e.set_abort();
        return std::nullopt;
    }
    if (!call_allowed(e)) {
        e.set_abort();
        return std::nullopt;
    }
    FlowState& flow = e.flow();
    CallFrame& frame = flow.calls.push();
    copy_text(frame.name, name);
    frame.return_line = e.pc();
    copy_text(frame.saved_line, e.line_buffer());
    frame.group_start = e.group_start();
    frame.group_end = e.group_end();
    frame.open_whiles = flow.whiles.size();
    frame.open_fors = flow.fors.size();
    if (!assign_plain_parameters(e, start)) {
        // Assigning may report errors, whose "error" event splits commands
        // of its own: the values are copied first.
        // The list is borrowed from the flow state, so that it keeps its
        // room; a call made meanwhile finds none there and makes its own.
        std::vector<std::string> values = std::move(flow.parameter_values);
        values.resize(Command::ParamCount);
        for (int n = 1; n <= Command::ParamCount; ++n)
            copy_text(values[static_cast<size_t>(n - 1)], e.param(n));
        assign_parameters(e, start, values);
        flow.parameter_values = std::move(values);
    }
    e.set_pc(start + 1);
    e.set_abort();
    if (start + 1 < e.code().line_count()) {
        copy_text(e.line_buffer(), e.code().line(start + 1).command);
        e.set_rerun();
    }
    return std::nullopt;
}

bool call_function_external(Engine& e, std::string_view name, const std::vector<std::string>& values)
{
    const int32_t start = e.code().function_line(name);
    if (start < 0 || !call_allowed(e))
        return false;
    std::vector<std::string> given(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(values.size(), 12)));
    const size_t depth = e.flow().calls.size();
    const int32_t return_line = e.pc();
    std::string saved_line = e.line_buffer();
    FlowState& flow = e.flow();
    CallFrame& frame = flow.calls.push();
    frame.name.assign(name);
    frame.return_line = return_line;
    frame.saved_line.clear();
    frame.group_start = frame.group_end = -1;
    frame.open_whiles = flow.whiles.size();
    frame.open_fors = flow.fors.size();
    assign_parameters(e, start, given);
    e.set_pc(start + 1);
    e.run_lines_until_return(depth);
    // A function that ended the event ("event" "end") ends the caller's too.
    if (e.pc() != -1)
        e.set_pc(return_line);
    e.line_buffer() = std::move(saved_line);
    return true;
}

void register_control_flow(Engine& engine)
{
    engine.register_family("for", keyword_for);
    engine.register_family("if", keyword_if);
    engine.register_family("doevent", keyword_doevent);
    engine.register_family("event", keyword_event);
    engine.register_family("function", keyword_return);
    engine.register_family("return", keyword_return);
    engine.register_family("while", keyword_while);
    engine.set_fallback(call_script_function);
}

} // namespace ruk
