// The process-wide Internet state: the opened session, one server connection, one request, the download buffer.
#pragma once

#include "net/CurlLibrary.h"
#include "net/DownloadBuffer.h"
#include "net/Transfer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ruk {

class InternetSettings;

enum class Service { Http, Https, Ftp };

// Where "connect" goes and as whom.
struct ConnectParams {
    std::string host; // a name or address; an IPv6 address in brackets
    int port = 80;
    std::string user;
    std::string password;
    Service service = Service::Http;
};

// The connection parameters for a server text: "name", "name:port",
// "[v6-address]" or "[v6-address]:port". The port is 443 for HTTPS, 21 for
// FTP, else 80, unless the server text names one. An empty user name or
// password becomes a single space. Nothing for a server text that is empty,
// holds blanks, control bytes or URL punctuation, or names a bad port.
std::optional<ConnectParams> make_connect_params(std::string_view server, std::string_view user,
                                                 std::string_view password, Service service);

// What "request" sends on the connection.
struct RequestPlan {
    std::string verb;    // empty: GET
    std::string object;  // the path (and query) on the server
    std::string referrer;
    std::string headers; // extra header lines, separated by CR LF (or LF)
    std::string body;
    bool secure = false; // TLS on the connection's port
};

enum class InfoItem { LastModified, Status, Type, Headers };

// One Internet session as the engine's scripts see it.
//
// State: the session is open from open() to close(); a connection (server,
// port, service, credentials) exists only while the session is open and after
// a connect() that succeeded; the request (a Transfer) lives from request()
// or request_url() until close_request(), the next request, or close(); the
// download buffer exists from the start of a request until close_request()
// or close(), and read() appends to it. Closing the session ends the
// connection, the request and the buffer, since they all belong to it.
//
// Offline mode (InternetSettings) is read at every connect and request, so
// a switch made by another engine holds from the next one on.
class InternetSession {
public:
    // libcurl is opened by the first open(), from `curl` (the process's own
    // unless a test names another).
    explicit InternetSession(InternetSettings* settings = nullptr, CurlLibrary& curl = CurlLibrary::shared());
    ~InternetSession();
    InternetSession(const InternetSession&) = delete;
    InternetSession& operator=(const InternetSession&) = delete;

    // Opens the session with the agent name sent as User-Agent; proxies come
    // from the usual environment variables. Opening an open session only
    // changes the agent name. False for an agent name with a line break, and
    // when libcurl cannot be loaded: the engine is then never connected.
    bool open(std::string_view agent);
    bool is_open() const { return m_multi != nullptr; }
    void close();

    // Drops the connection and the request, then connects on a worker
    // thread and waits at most `timeout_ms` for it. An attempt that does not
    // finish in time is abandoned: the worker is told to stop, gives up its
    // half-made connection and ends before this returns, so nothing is left
    // behind. For HTTP and HTTPS the connection is made (with the TLS
    // handshake for HTTPS) and closed again to prove the server is there; for
    // FTP the user also logs in. False when closed, offline, refused or late.
    bool connect(const ConnectParams& params, int timeout_ms);
    bool connected() const { return m_connection.has_value(); }
    // Drops the connection and the request, as connect() does first.
    void disconnect();

    // Empties the download buffer, sends an HTTP request on the connection
    // and waits for the response's headers. The buffer is emptied also when
    // no request can be sent (no connection, offline). The Content-Length the server sent ("" when it sent none);
    // nothing when there is no HTTP connection, the engine is offline, the
    // request is malformed or no response came.
    std::optional<std::string> request(const RequestPlan& plan);
    // Fetches a URL (http, https or ftp) directly on the session, without a
    // connection. The Content-Length as for request(); nothing when the URL
    // cannot be opened.
    std::optional<std::string> request_url(std::string_view url);
    bool has_request() const { return m_request != nullptr; }
    void close_request();

    // An item of the request's last response; nothing when there is none, the
    // response lacks it, or it is longer than 1023 characters.
    std::optional<std::string> query_info(InfoItem item) const;
    // Bytes read() can take now without waiting; 0 without a request.
    size_t data_available();
    // Reads up to `max` body bytes into the download buffer; the count, 0 at
    // the end. Nothing without a session or request, or when the read fails.
    std::optional<size_t> read(size_t max);
    // The download buffer; nothing before the first request and after it is closed.
    const DownloadBuffer* buffer() const { return m_buffer.get(); }

    bool offline() const;
    // Time-outs of requests (connecting and the server's silence) and the
    // question asked while waiting whether to give up.
    void set_limits(TransferLimits limits) { m_limits = std::move(limits); }
    const TransferLimits& limits() const { return m_limits; }

private:
    bool allow_self_signed(const std::string& host) const;
    // Starts the transfer and waits for its headers; the buffer is already fresh.
    std::optional<std::string> start(const TransferPlan& plan);

    InternetSettings* m_settings;
    CurlLibrary& m_library;
    const CurlFunctions* m_curl = nullptr; // set by the first open() that finds libcurl
    CURLM* m_multi = nullptr;
    std::string m_agent;
    std::optional<ConnectParams> m_connection;
    std::unique_ptr<Transfer> m_request;
    std::unique_ptr<DownloadBuffer> m_buffer;
    TransferLimits m_limits;
};

} // namespace ruk
