// The process-wide Internet state: the opened session, one server connection, one request, the download buffer.
#include "net/InternetSession.h"

#include "core/Text.h"
#include "net/CurlSetup.h"
#include "net/InternetSettings.h"
#include "net/NetworkPresence.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ruk {

namespace {

constexpr size_t MaxInfoLength = 1023;

bool valid_host(std::string_view host)
{
    if (host.empty())
        return false;
    for (unsigned char c : host)
        if (c <= ' ' || c == 0x7F || std::string_view("/\\@?#%\"<>`{}|^").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    return true;
}

std::optional<int> parse_port(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

// The object name as a URL path: a leading "/" added, blanks, control bytes
// and bytes above 127 percent-encoded; everything else is sent as written.
std::string encode_object(std::string_view object)
{
    static const char* Hex = "0123456789ABCDEF";
    std::string out;
    if (object.empty() || object.front() != '/')
        out += '/';
    for (unsigned char c : object) {
        if (c <= ' ' || c >= 0x7F) {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::vector<std::string> header_lines(std::string_view text)
{
    std::vector<std::string> lines;
    for (std::string_view line : split_words(text, "\r\n"))
        lines.emplace_back(line);
    return lines;
}

// One connection attempt, shared by the waiting engine thread and the worker.
// The worker drives its own multi handle; the engine thread only sets
// `abandon` and wakes the multi handle, which libcurl allows from any thread.
struct ConnectAttempt {
    const CurlFunctions* curl = nullptr;
    std::string url;
    ConnectParams params;
    bool allow_self_signed = false;
    long backstop_ms = 0;
    CURLM* multi = nullptr;
    std::atomic<bool> abandon{false};

    std::mutex mutex;
    std::condition_variable finished_signal;
    bool finished = false;
    int exit_code = 1;

    // The worker: 0 when the connection was made, 1 when not.
    void run()
    {
        const int code = attempt();
        std::lock_guard<std::mutex> lock(mutex);
        exit_code = code;
        finished = true;
        finished_signal.notify_all();
    }

    int attempt()
    {
        CURL* easy = curl->easy_init();
        if (!easy)
            return 1;
        apply_common_options(*curl, easy, allow_self_signed);
        curl->easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl->easy_setopt(easy, CURLOPT_CONNECT_ONLY, 1L);
        curl->easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, backstop_ms);
        curl->easy_setopt(easy, CURLOPT_TIMEOUT_MS, backstop_ms);
        if (params.service == Service::Ftp) {
            curl->easy_setopt(easy, CURLOPT_USERNAME, params.user.c_str());
            curl->easy_setopt(easy, CURLOPT_PASSWORD, params.password.c_str());
        }
        int code = 1;
        if (curl->multi_add_handle(multi, easy) == CURLM_OK) {
            bool done = false;
            while (!done && !abandon.load()) {
                int running = 0;
                curl->multi_perform(multi, &running);
                int left = 0;
                while (CURLMsg* message = curl->multi_info_read(multi, &left)) {
                    if (message->msg == CURLMSG_DONE) {
                        done = true;
                        code = message->data.result == CURLE_OK ? 0 : 1;
                    }
                }
                if (!done && !abandon.load())
                    curl->multi_poll(multi, nullptr, 0, 1000, nullptr);
            }
            curl->multi_remove_handle(multi, easy);
        }
        // Closes the connection made (or half made): "connect" keeps only the
        // knowledge that the server can be reached.
        curl->easy_cleanup(easy);
        return abandon.load() ? 1 : code;
    }
};

} // namespace

std::optional<ConnectParams> make_connect_params(std::string_view server, std::string_view user,
                                                 std::string_view password, Service service)
{
    ConnectParams params;
    params.service = service;
    params.port = service == Service::Https ? 443 : service == Service::Ftp ? 21 : 80;
    params.user = user.empty() ? std::string(" ") : std::string(user);
    params.password = password.empty() ? std::string(" ") : std::string(password);
    if (!server.empty() && server.front() == '[') {
        const size_t close = server.find(']');
        if (close == std::string_view::npos || close < 2)
            return std::nullopt;
        params.host = std::string(server.substr(0, close + 1));
        std::string_view rest = server.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            std::optional<int> port = parse_port(rest.substr(1));
            if (!port)
                return std::nullopt;
            params.port = *port;
        }
        return valid_host(params.host.substr(1, params.host.size() - 2)) ? std::optional(params) : std::nullopt;
    }
    const size_t colon = server.find(':');
    if (colon != std::string_view::npos && server.find(':', colon + 1) != std::string_view::npos) {
        // A bare IPv6 address: no port can follow it.
        params.host = "[" + std::string(server) + "]";
        return valid_host(server) ? std::optional(params) : std::nullopt;
    }
    params.host = std::string(server.substr(0, colon));
    if (colon != std::string_view::npos) {
        std::optional<int> port = parse_port(server.substr(colon + 1));
        if (!port)
            return std::nullopt;
        params.port = *port;
    }
    return valid_host(params.host) ? std::optional(params) : std::nullopt;
}

InternetSession::InternetSession(InternetSettings* settings, CurlLibrary& curl) : m_settings(settings), m_library(curl)
{
}

InternetSession::~InternetSession()
{
    close();
}

bool InternetSession::offline() const
{
    return m_settings && m_settings->offline();
}

bool InternetSession::allow_self_signed(const std::string& host) const
{
    return m_settings && m_settings->self_signed_allowed(host);
}

bool InternetSession::open(std::string_view agent)
{
    if (agent.find_first_of("\r\n") != std::string_view::npos)
        return false;
    m_agent = std::string(agent);
    if (m_multi)
        return true;
    if (!m_curl)
        m_curl = m_library.functions();
    if (!m_curl)
        return false;
    m_multi = m_curl->multi_init();
    return m_multi != nullptr;
}

void InternetSession::close()
{
    // The request leaves the multi handle before the handle goes.
    m_request.reset();
    m_buffer.reset();
    m_connection.reset();
    if (m_multi) {
        m_curl->multi_cleanup(m_multi);
        m_multi = nullptr;
    }
}

void InternetSession::disconnect()
{
    m_connection.reset();
    m_request.reset();
}

bool InternetSession::connect(const ConnectParams& params, int timeout_ms)
{
    disconnect();
    if (!m_multi || offline())
        return false;
    auto attempt = std::make_shared<ConnectAttempt>();
    attempt->curl = m_curl;
    attempt->params = params;
    const char* scheme = params.service == Service::Https ? "https" : params.service == Service::Ftp ? "ftp" : "http";
    attempt->url = std::string(scheme) + "://" + params.host + ":" + std::to_string(params.port) + "/";
    attempt->allow_self_signed = allow_self_signed(params.host);
    // libcurl's own limit only backs up the abandonment below.
    timeout_ms = timeout_ms < 0 ? 0 : timeout_ms;
    attempt->backstop_ms = static_cast<long>(timeout_ms) + 1000;
    attempt->multi = m_curl->multi_init();
    if (!attempt->multi)
        return false;

    std::thread worker([attempt] { attempt->run(); });
    bool in_time;
    {
        std::unique_lock<std::mutex> lock(attempt->mutex);
        in_time = attempt->finished_signal.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                                    [&] { return attempt->finished; });
    }
    if (!in_time) {
        attempt->abandon.store(true);
        m_curl->multi_wakeup(attempt->multi);
    }
    worker.join();
    m_curl->multi_cleanup(attempt->multi);
    if (!in_time || attempt->exit_code != 0)
        return false;
    m_connection = params;
    return true;
}

std::optional<std::string> InternetSession::start(const TransferPlan& plan)
{
    m_request = Transfer::start(*m_curl, m_multi, plan, m_limits);
    if (!m_request)
        return std::nullopt;
    if (!m_request->wait_for_response())
        return std::nullopt;
    return m_request->header("Content-Length").value_or(std::string());
}

std::optional<std::string> InternetSession::request(const RequestPlan& plan)
{
    m_request.reset();
    if (!m_multi)
        return std::nullopt;
    // Every request starts a fresh download, also one that goes nowhere:
    // the bytes of an earlier response are never taken for its answer.
    m_buffer = std::make_unique<DownloadBuffer>();
    if (!m_connection || m_connection->service == Service::Ftp || offline())
        return std::nullopt;
    TransferPlan transfer;
    transfer.url = std::string(plan.secure ? "https" : "http") + "://" + m_connection->host + ":"
        + std::to_string(m_connection->port) + encode_object(plan.object);
    transfer.verb = plan.verb;
    transfer.referrer = plan.referrer;
    transfer.headers = header_lines(plan.headers);
    transfer.body = plan.body;
    transfer.agent = m_agent;
    transfer.user = m_connection->user;
    transfer.password = m_connection->password;
    transfer.allow_self_signed = plan.secure && allow_self_signed(m_connection->host);
    return start(transfer);
}

std::optional<std::string> InternetSession::request_url(std::string_view url)
{
    m_request.reset();
    if (!m_multi)
        return std::nullopt;
    m_buffer = std::make_unique<DownloadBuffer>();
    if (offline() || url.find_first_of(" \t\r\n") != std::string_view::npos)
        return std::nullopt;
    TransferPlan transfer;
    transfer.url = std::string(url);
    transfer.agent = m_agent;
    if (std::optional<Destination> target = NetworkPresence::parse_destination(url))
        transfer.allow_self_signed = allow_self_signed(target->host);
    return start(transfer);
}

void InternetSession::close_request()
{
    m_request.reset();
    m_buffer.reset();
}

std::optional<std::string> InternetSession::query_info(InfoItem item) const
{
    if (!m_request || !m_request->has_response())
        return std::nullopt;
    std::optional<std::string> value;
    switch (item) {
    case InfoItem::LastModified:
        value = m_request->header("Last-Modified");
        break;
    case InfoItem::Status:
        value = m_request->status_text();
        break;
    case InfoItem::Type:
        value = m_request->header("Content-Type");
        break;
    case InfoItem::Headers:
        value = m_request->raw_headers();
        break;
    }
    if (value && value->size() > MaxInfoLength)
        return std::nullopt;
    return value;
}

size_t InternetSession::data_available()
{
    return m_request ? m_request->available() : 0;
}

std::optional<size_t> InternetSession::read(size_t max)
{
    if (!m_multi || !m_request)
        return std::nullopt;
    if (!m_buffer)
        m_buffer = std::make_unique<DownloadBuffer>();
    return m_request->read(*m_buffer, max);
}

} // namespace ruk
