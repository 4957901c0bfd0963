// The "time" family: the tick counter, the stopwatch, local date and time, day numbers.
#pragma once

namespace ruk {

class Engine;
struct HostState;

// The tick counter counts from state.start_time (taken by start-up before the
// first events run) until a script resets it.
void register_time_family(Engine& engine, HostState& state);

} // namespace ruk
