// The user's Internet settings: offline mode and the hosts trusted with self-signed certificates.
#include "net/InternetSettings.h"

#include "core/Text.h"
#include "system/Registry.h"

namespace ruk {

std::string InternetSettings::read(const char* name, const std::string& memory) const
{
    if (!m_store)
        return memory;
    return m_store->read_value(RegRoot::CurrentUser, Key, name).value_or(std::string());
}

bool InternetSettings::write(const char* name, std::string_view text, std::string& memory)
{
    if (!m_store) {
        memory.assign(text);
        return true;
    }
    return m_store->write_value(RegRoot::CurrentUser, Key, name, text);
}

bool InternetSettings::offline() const
{
    return starts_with_1(read(OfflineValue, m_offline));
}

bool InternetSettings::set_offline(bool offline)
{
    return write(OfflineValue, offline ? "1" : "0", m_offline);
}

bool InternetSettings::self_signed_allowed(std::string_view host) const
{
    if (host.empty())
        return false;
    // Host names compare without case; a bracketed IPv6 address matches
    // with or without its brackets.
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const std::string list = read(SelfSignedValue, m_self_signed);
    size_t pos = 0;
    while (pos < list.size()) {
        size_t end = list.find_first_of(" \t,;", pos);
        if (end == std::string::npos)
            end = list.size();
        std::string_view entry(list.data() + pos, end - pos);
        if (entry.size() > 2 && entry.front() == '[' && entry.back() == ']')
            entry = entry.substr(1, entry.size() - 2);
        if (!entry.empty() && equal_ignoring_case(entry, host))
            return true;
        pos = end + 1;
    }
    return false;
}

bool InternetSettings::set_self_signed_hosts(std::string_view hosts)
{
    return write(SelfSignedValue, hosts, m_self_signed);
}

} // namespace ruk
