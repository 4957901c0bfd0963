// The loop and call stacks that control flow keeps for the engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ruk {

struct ForLoop {
    int32_t line;
    int32_t end;
    int32_t step;
    int32_t current;
    int32_t variable; // number in the variable store
};

// A call frame remembers where the calling line stood: its line number, the
// line buffer as it was when the call took over, and the group the call was
// written in (-1 when the call was the line's own command). A return puts the
// value into that group and re-runs the line from there.
//
// It also remembers how many while and for loops were open when the call
// was made. A function that returns from inside its own loops leaves them
// open; the return closes exactly those, so that the caller's "while.end"
// and "for.next" find the caller's loops again. Loops the caller had open
// are never touched by this.
struct CallFrame {
    std::string name;
    int32_t return_line = -1;
    std::string saved_line;
    int32_t group_start = -1;
    int32_t group_end = -1;
    size_t open_whiles = 0;
    size_t open_fors = 0;
};

// The call frames in use, innermost last. A frame that is popped stays in
// store with its texts' room, so that the next call at that depth fills it
// without allocating; a reference to a frame holds until the next push.
class CallStack {
public:
    bool empty() const { return m_size == 0; }
    size_t size() const { return m_size; }
    CallFrame& back() { return m_frames[m_size - 1]; }
    const CallFrame& back() const { return m_frames[m_size - 1]; }
    // Opens a frame; its fields hold whatever the last frame at this depth
    // left and are all set by the caller.
    CallFrame& push()
    {
        if (m_size == m_frames.size())
            m_frames.emplace_back();
        return m_frames[m_size++];
    }
    void pop() { --m_size; }

private:
    std::vector<CallFrame> m_frames;
    size_t m_size = 0;
};

// Stacks live for the whole run: ending an event does not unwind them, and a
// later unmatched "while" "end", "for" "next" or return pops what was left.
struct FlowState {
    std::vector<int32_t> whiles;
    std::vector<ForLoop> fors;
    CallStack calls;
    std::vector<std::string> parameter_values; // reused by calls whose parameters are not plain names

    static constexpr size_t MaxWhiles = 2999;
    static constexpr size_t MaxFors = 3000;
    static constexpr int32_t MemoryFullDepth = 19000;
    static constexpr int32_t TerminateDepth = 19899;

    int32_t call_depth() const { return static_cast<int32_t>(calls.size()) - 1; }
};

} // namespace ruk
