// The headless host.
#include "core/Host.h"

#include <chrono>
#include <ostream>

namespace ruk {

HeadlessHost::HeadlessHost(std::ostream& out) : m_out(out) {}

int HeadlessHost::message_box(std::string_view text, std::string_view, uint32_t, int default_button)
{
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    m_out.put('\n');
    m_out.flush();
    return default_button;
}

int64_t HeadlessHost::tick_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace ruk
