// Whether this machine has a network, a way out of it, and whether a host answers.
#include "net/NetworkPresence.h"

#include "host/FileIo.h"
#include "net/CurlSetup.h"

#include <cerrno>
#include <fstream>
#include <ifaddrs.h>
#include <iterator>
#include <memory>
#include <net/if.h>
#include <sstream>
#include <sys/socket.h>

namespace ruk {

namespace {

constexpr unsigned RouteUp = 0x0001;
constexpr unsigned RouteReject = 0x0200;

unsigned hex_value(const std::string& text)
{
    try {
        return static_cast<unsigned>(std::stoul(text, nullptr, 16));
    } catch (...) {
        return 0;
    }
}

struct UrlDeleter {
    const CurlFunctions* curl;
    void operator()(CURLU* url) const { curl->url_cleanup(url); }
};

struct EasyDeleter {
    const CurlFunctions* curl;
    void operator()(CURL* easy) const { curl->easy_cleanup(easy); }
};

} // namespace

bool NetworkPresence::lan_alive()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool alive = false;
    for (ifaddrs* entry = list; entry && !alive; entry = entry->ifa_next) {
        if (!entry->ifa_addr || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        const int family = entry->ifa_addr->sa_family;
        alive = (family == AF_INET || family == AF_INET6) && (entry->ifa_flags & IFF_UP)
            && (entry->ifa_flags & IFF_RUNNING);
    }
    ::freeifaddrs(list);
    return alive;
}

bool NetworkPresence::has_default_route(std::string_view ipv4_table, std::string_view ipv6_table)
{
    // IPv4: "Iface Destination Gateway Flags ...", numbers in hexadecimal.
    std::istringstream v4{std::string(ipv4_table)};
    std::string line;
    std::getline(v4, line); // the heading
    while (std::getline(v4, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags;
        if (!(fields >> iface >> destination >> gateway >> flags))
            continue;
        const unsigned f = hex_value(flags);
        if (destination == "00000000" && iface != "lo" && (f & RouteUp) && !(f & RouteReject))
            return true;
    }
    // IPv6: "destination prefix source prefix next-hop metric refs use flags iface".
    std::istringstream v6{std::string(ipv6_table)};
    while (std::getline(v6, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, source, source_prefix, next_hop, metric, refs, use, flags, iface;
        if (!(fields >> destination >> prefix >> source >> source_prefix >> next_hop >> metric >> refs >> use >> flags
              >> iface))
            continue;
        const unsigned f = hex_value(flags);
        if (destination == std::string(32, '0') && prefix == "00" && iface != "lo" && (f & RouteUp)
            && !(f & RouteReject))
            return true;
    }
    return false;
}

std::optional<bool> NetworkPresence::wan_alive()
{
    std::optional<std::string> v4 = read_whole_file("/proc/net/route");
    std::optional<std::string> v6 = read_whole_file("/proc/net/ipv6_route");
    if (!v4 && !v6)
        return std::nullopt;
    return has_default_route(v4.value_or(std::string()), v6.value_or(std::string()));
}

std::optional<Destination> NetworkPresence::parse_destination(std::string_view text)
{
    if (text.empty() || text.find_first_of(" \t\r\n") != std::string_view::npos)
        return std::nullopt;
    // Without libcurl no URL can be read, as no host could be reached.
    const CurlFunctions* curl = CurlLibrary::shared().functions();
    if (!curl)
        return std::nullopt;
    std::string url(text);
    if (url.find("://") == std::string::npos)
        url = "http://" + url;
    std::unique_ptr<CURLU, UrlDeleter> handle(curl->url(), UrlDeleter{curl});
    if (!handle || curl->url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    char* host = nullptr;
    char* port = nullptr;
    Destination destination;
    bool ok = curl->url_get(handle.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK && host && *host
        && curl->url_get(handle.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK && port;
    if (ok) {
        destination.host = host;
        destination.port = std::atoi(port);
        ok = destination.port > 0 && destination.port < 65536;
    }
    curl->free(host);
    curl->free(port);
    if (!ok)
        return std::nullopt;
    return destination;
}

Probe NetworkPresence::probe(const Destination& destination, int timeout_ms, bool use_proxy)
{
    const CurlFunctions* curl = CurlLibrary::shared().functions();
    if (!curl)
        return {ProbeOutcome::Unreachable, 0};
    std::unique_ptr<CURL, EasyDeleter> easy(curl->easy_init(), EasyDeleter{curl});
    if (!easy)
        return {ProbeOutcome::Failed, ENOMEM};
    const std::string url = "http://" + destination.host + ":" + std::to_string(destination.port) + "/";
    apply_common_options(*curl, easy.get(), false);
    curl->easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl->easy_setopt(easy.get(), CURLOPT_CONNECT_ONLY, 1L);
    curl->easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout_ms > 0 ? timeout_ms : 1));
    curl->easy_setopt(easy.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_ms > 0 ? timeout_ms : 1));
    if (!use_proxy)
        curl->easy_setopt(easy.get(), CURLOPT_NOPROXY, "*");
    const CURLcode code = curl->easy_perform(easy.get());
    long os_error = 0;
    curl->easy_getinfo(easy.get(), CURLINFO_OS_ERRNO, &os_error);
    switch (code) {
    case CURLE_OK:
        return {ProbeOutcome::Connected, 0};
    case CURLE_COULDNT_CONNECT:
        return {os_error == ECONNREFUSED ? ProbeOutcome::Refused : ProbeOutcome::Unreachable, 0};
    case CURLE_OUT_OF_MEMORY:
        return {ProbeOutcome::Failed, ENOMEM};
    case CURLE_FAILED_INIT:
    case CURLE_URL_MALFORMAT:
        return {ProbeOutcome::Failed, EINVAL};
    default:
        return {ProbeOutcome::Unreachable, 0};
    }
}

} // namespace ruk
