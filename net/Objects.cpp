// The "inet" and "http" families: Internet sessions, requests, downloads and connection state for scripts.
#include "net/Objects.h"

#include "core/Engine.h"
#include "net/InternetSession.h"
#include "net/InternetSettings.h"
#include "net/NetworkPresence.h"
#include "system/Disk.h"

#include <memory>

namespace ruk {

namespace {

constexpr int DefaultConnectTimeoutMs = 5000;
constexpr int DefaultReadSize = 40;
constexpr int MaxReadSize = 65536;

// The family's state: one per engine, which is one per process.
struct InetState {
    explicit InetState(Registry* store) : settings(store), session(&settings) {}
    InternetSettings settings;
    InternetSession session;
};

Result connection_state(Engine& e, InetState& state)
{
    const std::string& op = e.word(1);
    if (op == "isglobaloffline")
        return flag_to_text(state.settings.offline());
    if (op == "setglobaloffline") {
        state.settings.set_offline(starts_with_1(e.param(1)));
        return std::string();
    }
    if (op == "islanalive")
        return flag_to_text(NetworkPresence::lan_alive());
    if (op == "isinternetalive") {
        std::optional<bool> alive = NetworkPresence::wan_alive();
        return alive ? flag_to_text(*alive) : std::string();
    }
    if (op == "isdestinationreachable") {
        std::optional<Destination> target = NetworkPresence::parse_destination(e.param(1));
        if (!target)
            return flag_to_text(false);
        Probe probe = NetworkPresence::probe(*target, NetworkPresence::ProbeTimeoutMs, false);
        if (probe.outcome == ProbeOutcome::Failed)
            return int_to_text(probe.error);
        // A refusal is an answer: the host is there.
        return flag_to_text(probe.outcome != ProbeOutcome::Unreachable);
    }
    if (op == "isconnected")
        return flag_to_text(!state.settings.offline() && NetworkPresence::lan_alive());
    if (op == "checkconnection") {
        if (state.settings.offline())
            return flag_to_text(false);
        std::optional<Destination> target = NetworkPresence::parse_destination(e.param(1));
        if (!target)
            return flag_to_text(false);
        Probe probe = NetworkPresence::probe(*target, NetworkPresence::ProbeTimeoutMs, true);
        return flag_to_text(probe.outcome == ProbeOutcome::Connected);
    }
    return std::nullopt;
}

Result request_command(Engine& e, InternetSession& session)
{
    // Without a session every "request" answers empty.
    if (!session.is_open())
        return std::string();
    const std::string& mode = e.word(2);
    if (mode == "close") {
        session.close_request();
        return std::string();
    }
    if (mode == "url") {
        std::optional<std::string> length = session.request_url(e.param(1));
        if (!length)
            return std::string("-1");
        return length->empty() ? std::string("0") : *length;
    }
    if (mode.empty() || mode == "https") {
        RequestPlan plan;
        plan.verb = e.param(1);
        plan.object = e.param(2);
        plan.referrer = e.param(3);
        plan.headers = e.param(4);
        plan.body = e.param(5);
        plan.secure = mode == "https";
        std::optional<std::string> length = session.request(plan);
        return length && !length->empty() ? *length : std::string("0");
    }
    return e.call_function();
}

Result data_command(Engine& e, InternetSession& session)
{
    const DownloadBuffer* buffer = session.buffer();
    const std::string& mode = e.word(2);
    if (mode == "get")
        return buffer ? std::string(buffer->text()) : std::string();
    if (mode == "save") {
        if (!buffer)
            return std::string();
        // Written whole through a temporary file, so a failed save never
        // leaves half a file where a good one stood; a failure says "0".
        std::optional<std::string> path = disk::resolve_path(e.param(1));
        return flag_to_text(path && disk::write_file(*path, buffer->bytes()));
    }
    if (mode == "size")
        return int_to_text(buffer ? static_cast<int64_t>(buffer->size()) : 0);
    return e.call_function();
}

std::optional<InfoItem> info_item(const std::string& word)
{
    if (word == "lastmodified")
        return InfoItem::LastModified;
    if (word == "status")
        return InfoItem::Status;
    if (word == "type")
        return InfoItem::Type;
    if (word == "headers")
        return InfoItem::Headers;
    return std::nullopt;
}

Result inet_family(Engine& e, InetState& state)
{
    if (Result answer = connection_state(e, state))
        return answer;
    InternetSession& session = state.session;
    const std::string& op = e.word(1);
    if (op == "close") {
        session.close();
        return std::string();
    }
    if (op == "open")
        return flag_to_text(session.open(e.param(1)));
    if (op == "connect") {
        if (!session.is_open())
            return e.call_function();
        const std::string& kind = e.word(2);
        const Service service = kind == "https" ? Service::Https : kind == "ftp" ? Service::Ftp : Service::Http;
        int timeout = e.param_int(5, DefaultConnectTimeoutMs);
        if (timeout < 0)
            timeout = DefaultConnectTimeoutMs;
        std::optional<ConnectParams> params = make_connect_params(e.param(1), e.param(3), e.param(4), service);
        if (!params) {
            // A server text no connection can be made to still ends the old one.
            session.disconnect();
            return flag_to_text(false);
        }
        return flag_to_text(session.connect(*params, timeout));
    }
    if (op == "queryinfo") {
        std::optional<InfoItem> item = info_item(e.word(2));
        std::optional<std::string> value = item ? session.query_info(*item) : std::nullopt;
        return value.value_or(std::string());
    }
    if (op == "request")
        return request_command(e, session);
    if (op == "querydataavailable")
        return int_to_text(static_cast<int64_t>(session.data_available()));
    if (op == "read") {
        int max = e.param_int(1, DefaultReadSize);
        if (max > MaxReadSize)
            max = MaxReadSize;
        std::optional<size_t> count = session.read(max > 0 ? static_cast<size_t>(max) : 0);
        return count ? int_to_text(static_cast<int64_t>(*count)) : std::string();
    }
    if (op == "data")
        return data_command(e, session);
    return e.call_function();
}

} // namespace

void register_inet_families(Engine& engine, Registry* settings)
{
    auto state = std::make_shared<InetState>(settings);
    // A script asked to stop (the engine is ending) stops waiting for a server.
    TransferLimits limits;
    limits.cancelled = [&engine] { return engine.abort_requested(); };
    state->session.set_limits(std::move(limits));
    engine.register_family("inet", [state](Engine& e) { return inet_family(e, *state); });
    // Accepted, and does nothing.
    engine.register_family("http", [](Engine&) -> Result { return std::string(); });
}

} // namespace ruk
