// The user's Internet settings: offline mode and the hosts trusted with self-signed certificates.
#pragma once

#include <string>
#include <string_view>

namespace ruk {

class Registry;

// Where the settings live: under HKEY_CURRENT_USER of the settings store, key
// `Software\rukreader\[Internet]`, so that every engine of the user sees the
// same values and a change holds for the engines already running:
//
// - `Offline`: "1" while the user's Internet connection is switched off for
//   the engine (every request fails until it is switched back);
// - `SelfSignedHosts`: host names (or addresses) separated by blanks, commas
//   or semicolons, compared without regard to letter case; HTTPS to these
//   hosts accepts a certificate that signs itself. Every other host must show
//   a certificate the system trusts, for its own name and within its dates.
//
// Without a store (tests, a store that cannot be opened) the values are kept
// in this object only.
class InternetSettings {
public:
    static constexpr const char* Key = "Software\\rukreader\\[Internet]";
    static constexpr const char* OfflineValue = "Offline";
    static constexpr const char* SelfSignedValue = "SelfSignedHosts";

    explicit InternetSettings(Registry* store) : m_store(store) {}

    bool offline() const;
    // False when the store refused the change.
    bool set_offline(bool offline);

    bool self_signed_allowed(std::string_view host) const;
    // Replaces the list of trusted hosts (text as stored, see above).
    bool set_self_signed_hosts(std::string_view hosts);

private:
    std::string read(const char* name, const std::string& memory) const;
    bool write(const char* name, std::string_view text, std::string& memory);

    Registry* m_store;
    std::string m_offline;
    std::string m_self_signed;
};

} // namespace ruk
