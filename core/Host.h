// What the language core asks of its surroundings: boxes, the clock, ending the application.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace ruk {

// Message-box flags the core uses for its own information box: OK button,
// information icon, system-modal, foreground, topmost.
inline constexpr uint32_t InfoBoxFlags = 0x51040;
inline constexpr int ButtonOk = 1;

class Host {
public:
    virtual ~Host() = default;
    // Shows a message box and returns the number of the pressed button.
    virtual int message_box(std::string_view text, std::string_view caption, uint32_t flags, int default_button) = 0;
    // Milliseconds of a monotonic clock (due times of queued events).
    virtual int64_t tick_ms() = 0;
    // The script asked the application to end (or it must end, as at a call
    // depth the engine cannot go on from).
    virtual void terminate_application() = 0;
    // No window may keep following the pointer while a box is up.
    virtual void clear_drag_state() {}
};

// The host without a display: a box writes its text and one line feed to a
// stream, flushes it, and answers with its default button.
class HeadlessHost : public Host {
public:
    explicit HeadlessHost(std::ostream& out);
    int message_box(std::string_view text, std::string_view caption, uint32_t flags, int default_button) override;
    int64_t tick_ms() override;
    void terminate_application() override { m_terminated = true; }
    bool terminated() const { return m_terminated; }

private:
    std::ostream& m_out;
    bool m_terminated = false;
};

} // namespace ruk
