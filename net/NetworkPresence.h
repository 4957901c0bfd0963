// Whether this machine has a network, a way out of it, and whether a host answers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ruk {

// A host and port taken from a URL or a bare host name.
struct Destination {
    std::string host; // bracketed when an IPv6 address
    int port = 80;
};

enum class ProbeOutcome {
    Connected, // the TCP connection was made
    Refused,   // the host answered, but nothing listens on the port
    Unreachable, // no answer in time, no route, or the name does not resolve
    Failed,    // a fault on this machine (no memory, no sockets): see `error`
};

struct Probe {
    ProbeOutcome outcome = ProbeOutcome::Unreachable;
    int error = 0; // errno-style code with ProbeOutcome::Failed
};

// The network-presence queries. Every one of them answers within a few
// seconds at most: name resolution and the TCP connection share one bounded
// wait, so an unplugged cable or a silent server never holds the engine.
class NetworkPresence {
public:
    static constexpr int ProbeTimeoutMs = 3000;

    // True when an interface other than loopback is up and running and holds
    // an IPv4 or IPv6 address.
    static bool lan_alive();
    // Whether a default route leaves this machine over an interface that is
    // up; nothing when the routing tables cannot be read.
    static std::optional<bool> wan_alive();
    // The decision of wan_alive() for the texts of /proc/net/route and
    // /proc/net/ipv6_route.
    static bool has_default_route(std::string_view ipv4_table, std::string_view ipv6_table);

    // "http://host:port/path", "ftp://host", "host:port" or a bare host name
    // or address. The port is the scheme's own (80 without a scheme) unless
    // one is given. Nothing when no host can be read.
    static std::optional<Destination> parse_destination(std::string_view text);

    // Resolves the host and opens (then closes) a TCP connection to the port
    // within `timeout_ms`. With `use_proxy`, the proxy named by the usual
    // environment variables is the one tried when one is set.
    static Probe probe(const Destination& destination, int timeout_ms, bool use_proxy);
};

} // namespace ruk
