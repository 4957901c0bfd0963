// The execution engine: running events and lines, groups, dispatch and error reports.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/CodeStore.h"
#include "core/Command.h"
#include "core/Frames.h"
#include "core/Host.h"
#include "core/Random.h"
#include "core/StringMap.h"
#include "core/Text.h"
#include "core/VarStore.h"

namespace ruk {

class Engine;
using Handler = std::function<Result(Engine&)>;

inline constexpr const char* MsgSyntax = "An error has occured. Check syntaxe for the following line : ";
inline constexpr const char* MsgCodeEnd = "Code structure error : end of code found before end of event.";
inline constexpr const char* MsgUnknown = "Syntax Error or Unknown keyword or function";
// The message of the exception a failed allocation becomes.
inline constexpr const char* MsgOutOfMemory = "Out of memory";
// Separator that follows each field of the last error text.
inline constexpr std::string_view ErrorFieldEnd = "\x5E\xA8\x7E\x5E\x7E";

inline constexpr int WindowSlots = 255;
inline constexpr size_t MaxPendingEvents = 200;

struct PendingEvent {
    std::string name;
    int64_t due;
    int16_t window;
    uint64_t id;
};

// One engine: the code store, the variables, the current command, the
// execution state and the dispatcher's table. Everything runs on one thread;
// only request_abort() may be called from another.
//
// Execution state. The program counter is -1 while no event runs. An event
// raised while another runs is queued (at most 200 entries, at most two per
// name) unless it is immediate; an immediate event interrupts the running one,
// which then ends after its current line, because the program counter,
// event name and author are not restored. The line being run is kept in the
// line buffer and its groups are replaced in place; while a group's command
// runs, group start and end say where it stands, so that a function called
// there can later put its value back.
class Engine {
public:
    explicit Engine(Host* host = nullptr);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // --- tables ---
    CodeStore& code() { return m_code; }
    VarStore& vars() { return m_vars; }
    Command& cmd() { return m_cmd; }
    Random& random() { return m_random; }
    FlowState& flow() { return m_flow; }
    Host& host() { return *m_host; }
    void set_host(Host* host);

    // --- the dispatcher's table ---
    // Registers (or replaces) the handler of a keyword or family word.
    void register_family(std::string_view word, Handler handler);
    void unregister_family(std::string_view word);
    bool has_family(std::string_view word) const;
    // Every registered keyword and family word, in registration order.
    std::vector<std::string> family_words() const;
    // The handler of commands no entry takes (the script function call).
    void set_fallback(Handler handler) { m_fallback = std::move(handler); }
    // Passes the current command to the fallback: families call this for a
    // sub-command they do not know.
    Result call_function();

    // --- running code ---
    // Lines run from their decoded form (words, parameters, handler and
    // variable slots found once) unless this is off; the environment
    // variable RUK_NO_DECODE=1 turns it off, so that tests can run the same
    // code both ways and compare. What scripts observe is the same either way.
    bool decoding() const { return m_decode; }
    void set_decoding(bool on) { m_decode = on; }
    bool run_event(std::string_view name, bool immediate = false, int window = -1, bool use_group = false);
    void run_lines();
    // Runs lines until the call stack is back to `depth` frames (the function
    // called from outside has returned) or the code ends.
    void run_lines_until_return(size_t depth);
    Result run_line(std::string& buffer, bool execute);
    Result split_command(std::string_view text);
    Result dispatch_command();
    // Runs the first due entry of the pending queue whose event runs, when no
    // event runs. Returns true when an entry ran.
    bool run_pending();
    // Appends to the pending queue unless it is full or holds two entries of
    // this name. Returns whether it was queued.
    bool queue_event(std::string_view name, int64_t due, int window);
    const std::vector<PendingEvent>& pending() const { return m_pending; }
    // The earliest due time among the queued entries due later than
    // `after`; nothing when there is none. Runners sleep, or move their
    // clock, until then.
    std::optional<int64_t> next_due(int64_t after = INT64_MIN) const;

    // Asks running code to stop: checked between lines, it ends the running
    // event (and every event it interrupted). A request made while nothing
    // runs is dropped when the next event starts. Safe from any thread and
    // from signal handlers.
    void request_abort() { m_abort_request.store(true, std::memory_order_relaxed); }
    // Whether running code was asked to stop: long waits inside a command
    // (a started program, say) give up when it is.
    bool abort_requested() const { return m_aborting || m_abort_request.load(std::memory_order_relaxed); }

    // --- errors and messages ---
    // An exception of the engine's own (a failed date encoding, say): the
    // running code stops after its current line, as if the exception had
    // unwound it, and then the exception handler runs with the message. The
    // default handler stores the message as the last error text and raises
    // "exception"; when no such event runs, the application is asked to end.
    void raise_exception(std::string message);
    // A failed allocation while a line ran: the exception "Out of memory".
    void out_of_memory();
    void set_exception_handler(std::function<void(const std::string&)> handler) { m_exception_handler = std::move(handler); }
    // What the default handler does, for hosts that handle exceptions of
    // their own the same way.
    void handle_exception(const std::string& message);
    void report_error(std::string_view message);
    const std::string& last_error() const { return m_last_error; }
    void set_last_error(std::string text) { m_last_error = std::move(text); }
    // An error text as one line for people (logs, --verbose): "WHERE, code
    // line N: MESSAGE: LINE", the separators gone.
    static std::string readable_error(std::string_view text);
    // Called with the last error text each time an error is reported.
    void set_error_observer(std::function<void(const std::string&)> observer) { m_error_observer = std::move(observer); }
    // Shows one of the engine's own messages; "#" becomes a line break.
    int info_box(std::string text);
    void set_caption(std::string caption) { m_caption = std::move(caption); }
    const std::string& caption() const { return m_caption; }

    // --- current command, for handlers ---
    const std::string& word(int i) const { return m_cmd.word(i); }
    const std::string& param(int n) const { return m_cmd.param(n); }
    int32_t param_int(int n, int32_t fallback) const { return m_cmd.param_int(n, fallback); }

    // --- variables, reporting their errors ---
    Result var_read(std::string_view reference) { return m_vars.read(reference); }
    int32_t var_assign(std::string_view reference, std::string_view value) { return m_vars.assign(reference, value); }

    // --- execution state ---
    int32_t pc() const { return m_pc; }
    void set_pc(int32_t pc) { m_pc = pc; }
    const std::string& event_name() const { return m_event_name; }
    void set_event_name(std::string name) { m_event_name = std::move(name); }
    std::string_view function_name() const;
    int32_t event_author() const { return m_event_author; }
    void set_event_author(int32_t window) { m_event_author = window; }
    std::string& line_buffer() { return m_line; }
    int32_t group_start() const { return m_group_start; }
    int32_t group_end() const { return m_group_end; }
    void set_abort() { m_abort = true; }
    void set_rerun() { m_rerun = true; }
    // Set when the application is asked to end: the running event ends after
    // its current line, which clears the flag again.
    bool quit() const { return m_quit; }
    void set_quit(bool quit) { m_quit = quit; }
    bool stopped() const { return m_stop; }
    void set_stop(bool stop) { m_stop = stop; }
    const std::optional<std::string>& group_name(int window) const;
    void set_group_name(int window, std::optional<std::string> name);

private:
    struct SavedLine;
    void run_lines_impl(std::optional<size_t> until_depth);
    Result eval_group(std::string_view inner, size_t open, size_t close);
    Result run_decoded(int32_t n);
    Result dispatch_decoded(uint16_t head);
    bool run_rebuilt_command(int32_t n, const uint16_t* record, Result& result);
    Result run_own_command(CommandRecord& c, const std::string& stored);
    bool assign_decoded(const CommandRecord& c, const std::string& stored, size_t end, int32_t moved);
    void assign_result(const std::string& value);
    void append_error_field(std::string& out, std::string_view field);

    Host* m_host;
    std::unique_ptr<Host> m_own_host;
    CodeStore m_code;
    VarStore m_vars;
    Command m_cmd;
    Random m_random;
    FlowState m_flow;

    struct Entry {
        std::string word;
        Handler handler;
    };
    std::vector<Entry> m_table;
    StringMap<size_t> m_table_index;
    uint32_t m_table_generation = 1; // changes with every change of the table
    Handler m_fallback;
    bool m_decode = true;

    int32_t m_pc = -1;
    std::string m_event_name;
    int32_t m_event_author = -1;
    std::string m_line;
    int32_t m_group_start = -1;
    int32_t m_group_end = -1;
    bool m_abort = false;
    bool m_rerun = false;
    bool m_quit = false;
    bool m_stop = false;
    int m_native_depth = 0;
    bool m_aborting = false; // an abort request is ending every running event
    std::atomic<bool> m_abort_request{false};
    std::array<std::optional<std::string>, WindowSlots> m_group_names;

    std::vector<PendingEvent> m_pending;
    uint64_t m_next_pending_id = 1;

    std::string m_last_error;
    std::string m_caption;
    std::function<void(const std::string&)> m_error_observer;
    std::function<void(const std::string&)> m_exception_handler;
    std::optional<std::string> m_pending_exception;
};

// Registers the core keywords ("s", "?") in the dispatcher's table.
void register_core_words(Engine& engine);

} // namespace ruk
