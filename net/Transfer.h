// One streamed HTTP request or URL download: headers first, then the body in pieces on demand.
#pragma once

#include "net/CurlLibrary.h"
#include "net/DownloadBuffer.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ruk {

// What to send.
struct TransferPlan {
    std::string url;
    std::string verb;                 // empty: GET
    std::string referrer;
    std::vector<std::string> headers; // one "Name: value" each
    std::string body;                 // sent when not empty
    std::string agent;                // User-Agent; empty sends none
    std::string user;                 // credentials offered when the server asks; empty offers none
    std::string password;
    bool allow_self_signed = false;
};

// How long to wait, and when to give up early.
struct TransferLimits {
    int connect_timeout_ms = 30000;
    int idle_timeout_ms = 60000;     // longest silence of the server before the transfer fails
    std::function<bool()> cancelled; // asked between waits; true ends the wait as a failure
};

// A transfer runs on the caller's multi handle and moves only while the
// caller waits in one of its methods: nothing happens in the background.
//
// Flow control: received body bytes wait in a small pending store until
// read() takes them. When the store holds PauseAt bytes the transfer is
// paused (the server is then held back by TCP itself) and resumed when
// read() has drained it, so memory stays at one piece however large the body.
//
// Headers: each response's header lines are collected; a new status line
// starts a new block, so the headers kept are those of the last response
// (after redirects and interim responses), with CR LF line ends.
class Transfer {
public:
    static constexpr size_t PauseAt = 256 * 1024;

    // Sets the transfer up and adds it to `multi`; nothing when libcurl
    // refuses the handle or the URL.
    static std::unique_ptr<Transfer> start(const CurlFunctions& curl, CURLM* multi, const TransferPlan& plan, const TransferLimits& limits);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Waits until the final response's headers are in, the body begins, or
    // the transfer ends. False when it failed before any response came.
    bool wait_for_response();

    // Appends at most `max` body bytes to `out`, waiting until that many are
    // in or the body ends. The count (0 at the end of the body); nothing when
    // the transfer failed (or `out` could not grow) before a byte was taken.
    std::optional<size_t> read(DownloadBuffer& out, size_t max);
    // Body bytes that read() can take now without waiting.
    size_t available();

    bool has_response() const { return m_status_code != 0; }
    int status_code() const { return m_status_code; }
    const std::string& status_text() const { return m_status_text; }
    // The last response's header block, status line first, each line ended
    // by CR LF, the block ended by an empty line.
    const std::string& raw_headers() const { return m_raw_headers; }
    // A header of the last response (name compared without case), its value
    // without surrounding blanks; nothing when absent.
    std::optional<std::string> header(std::string_view name) const;

private:
    Transfer(const CurlFunctions& curl, CURLM* multi, CURL* easy, TransferLimits limits);
    static size_t on_header(char* data, size_t size, size_t count, void* self);
    static size_t on_body(char* data, size_t size, size_t count, void* self);
    void header_line(std::string_view line);
    // Lets libcurl work for at most `wait_ms`; marks the transfer done when
    // it ends or fails, or when the server stayed silent too long.
    void pump(int wait_ms);
    void resume_if_drained();
    size_t pending() const { return m_pending.size() - m_pending_pos; }

    const CurlFunctions& m_curl;
    CURLM* m_multi;
    CURL* m_easy;
    curl_slist* m_header_list = nullptr;
    TransferLimits m_limits;
    bool m_credentials = false;

    std::string m_pending;     // received body bytes; read() takes from m_pending_pos
    size_t m_pending_pos = 0;
    bool m_paused = false;
    bool m_body_started = false;
    bool m_done = false;
    CURLcode m_result = CURLE_OK;
    std::chrono::steady_clock::time_point m_last_activity;

    int m_status_code = 0;
    std::string m_status_text;
    std::string m_raw_headers;
    std::vector<std::pair<std::string, std::string>> m_headers;
    bool m_headers_final = false;
};

} // namespace ruk
