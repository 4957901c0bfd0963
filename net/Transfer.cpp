// One streamed HTTP request or URL download: headers first, then the body in pieces on demand.
#include "net/Transfer.h"

#include "core/Text.h"
#include "net/CurlSetup.h"

#include <algorithm>

namespace ruk {

namespace {

// A response whose header lines pass this many bytes is refused, so that a
// server cannot fill the engine's memory with headers.
constexpr size_t MaxHeaderBytes = 256 * 1024;
constexpr int WaitSliceMs = 100;

bool is_token(std::string_view text)
{
    if (text.empty())
        return false;
    for (unsigned char c : text) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
            || std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
        if (!ok)
            return false;
    }
    return true;
}

bool has_line_break(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool is_blank(std::string_view text)
{
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

Transfer::Transfer(const CurlFunctions& curl, CURLM* multi, CURL* easy, TransferLimits limits)
    : m_curl(curl), m_multi(multi), m_easy(easy), m_limits(std::move(limits)), m_last_activity(std::chrono::steady_clock::now())
{
}

Transfer::~Transfer()
{
    m_curl.multi_remove_handle(m_multi, m_easy);
    m_curl.easy_cleanup(m_easy);
    m_curl.slist_free_all(m_header_list);
}

std::unique_ptr<Transfer> Transfer::start(const CurlFunctions& curl, CURLM* multi, const TransferPlan& plan, const TransferLimits& limits)
{
    const std::string verb = plan.verb.empty() ? std::string("GET") : plan.verb;
    // A verb or referrer that could start a header line of its own is refused.
    if (!is_token(verb) || has_line_break(plan.referrer) || has_line_break(plan.agent) || has_line_break(plan.url))
        return nullptr;
    CURL* easy = curl.easy_init();
    if (!easy)
        return nullptr;
    std::unique_ptr<Transfer> transfer(new Transfer(curl, multi, easy, limits));
    apply_common_options(curl, easy, plan.allow_self_signed);
    bool ok = curl.easy_setopt(easy, CURLOPT_URL, plan.url.c_str()) == CURLE_OK;
    curl.easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl.easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl.easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max(1, limits.connect_timeout_ms)));
    curl.easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::on_header);
    curl.easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());
    curl.easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::on_body);
    curl.easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());

    if (verb == "HEAD") {
        curl.easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (!plan.body.empty() || verb == "POST") {
        curl.easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(plan.body.size()));
        curl.easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, plan.body.c_str());
        if (verb != "POST")
            curl.easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb.c_str());
    } else if (verb != "GET") {
        curl.easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb.c_str());
    }
    if (!plan.referrer.empty())
        curl.easy_setopt(easy, CURLOPT_REFERER, plan.referrer.c_str());
    if (!plan.agent.empty())
        curl.easy_setopt(easy, CURLOPT_USERAGENT, plan.agent.c_str());
    for (const std::string& line : plan.headers) {
        if (line.find(':') == std::string::npos || has_line_break(line))
            continue;
        curl_slist* grown = curl.slist_append(transfer->m_header_list, line.c_str());
        if (!grown)
            return nullptr;
        transfer->m_header_list = grown;
    }
    if (transfer->m_header_list)
        curl.easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->m_header_list);
    if (!is_blank(plan.user)) {
        // Offered only when the server asks (and never to another host after
        // a redirect).
        curl.easy_setopt(easy, CURLOPT_USERNAME, plan.user.c_str());
        curl.easy_setopt(easy, CURLOPT_PASSWORD, plan.password.c_str());
        curl.easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
        transfer->m_credentials = true;
    }
    if (!ok || curl.multi_add_handle(multi, easy) != CURLM_OK) {
        // Not added: the destructor's removal is then a harmless no-op.
        return nullptr;
    }
    return transfer;
}

size_t Transfer::on_header(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<Transfer*>(self);
    const size_t bytes = size * count;
    if (transfer->m_raw_headers.size() + bytes > MaxHeaderBytes)
        return 0; // ends the transfer as failed
    transfer->m_last_activity = std::chrono::steady_clock::now();
    transfer->header_line(std::string_view(data, bytes));
    return bytes;
}

size_t Transfer::on_body(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<Transfer*>(self);
    const size_t bytes = size * count;
    if (transfer->pending() >= PauseAt) {
        // libcurl keeps these bytes and offers them again once resumed.
        transfer->m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    transfer->m_pending.append(data, bytes);
    transfer->m_body_started = true;
    transfer->m_last_activity = std::chrono::steady_clock::now();
    return bytes;
}

void Transfer::header_line(std::string_view line)
{
    if (line.substr(0, 5) == "HTTP/") {
        m_raw_headers.clear();
        m_headers.clear();
        m_headers_final = false;
        m_status_code = 0;
        m_status_text.clear();
        std::string_view rest = trim(line);
        const size_t code_at = rest.find(' ');
        if (code_at != std::string_view::npos) {
            rest = trim(rest.substr(code_at + 1));
            const size_t text_at = rest.find(' ');
            m_status_code = std::atoi(std::string(rest.substr(0, text_at)).c_str());
            if (text_at != std::string_view::npos)
                m_status_text = std::string(trim(rest.substr(text_at + 1)));
        }
    }
    const std::string_view content = trim(line.substr(0, line.find_first_of("\r\n")));
    m_raw_headers.append(content);
    m_raw_headers += "\r\n";
    if (!content.empty()) {
        const size_t colon = content.find(':');
        if (colon != std::string_view::npos && content.substr(0, 5) != "HTTP/")
            m_headers.emplace_back(std::string(trim(content.substr(0, colon))),
                                   std::string(trim(content.substr(colon + 1))));
        return;
    }
    // The block has ended. It is the last one unless it is an interim
    // response, a redirect the transfer follows, or a request for the
    // credentials it holds: libcurl then sends the next request itself.
    const int code = m_status_code;
    const bool interim = code >= 100 && code < 200;
    const bool redirect = code >= 300 && code < 400 && code != 304 && header("Location").has_value();
    const bool challenge = code == 401 && m_credentials;
    m_headers_final = !interim && !redirect && !challenge;
}

std::optional<std::string> Transfer::header(std::string_view name) const
{
    for (auto it = m_headers.rbegin(); it != m_headers.rend(); ++it)
        if (equal_ignoring_case(it->first, name))
            return it->second;
    return std::nullopt;
}

void Transfer::pump(int wait_ms)
{
    auto collect = [this] {
        int running = 0;
        m_curl.multi_perform(m_multi, &running);
        int left = 0;
        while (CURLMsg* message = m_curl.multi_info_read(m_multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy) {
                m_done = true;
                m_result = message->data.result;
            }
        }
    };
    // Bytes that came in (or a pause, which nothing but read() ends) mean
    // there is no reason to wait.
    const size_t before = pending();
    collect();
    if (m_done || wait_ms <= 0 || m_paused || pending() > before)
        return;
    m_curl.multi_poll(m_multi, nullptr, 0, wait_ms, nullptr);
    collect();
    if (m_done || m_paused)
        return;
    const auto silent = std::chrono::steady_clock::now() - m_last_activity;
    if (silent > std::chrono::milliseconds(m_limits.idle_timeout_ms)) {
        m_done = true;
        m_result = CURLE_OPERATION_TIMEDOUT;
    }
}

void Transfer::resume_if_drained()
{
    if (!m_paused || pending() >= PauseAt / 2)
        return;
    m_paused = false;
    m_last_activity = std::chrono::steady_clock::now();
    m_curl.easy_pause(m_easy, CURLPAUSE_CONT);
}

bool Transfer::wait_for_response()
{
    while (!m_headers_final && !m_body_started && !m_done) {
        if (m_limits.cancelled && m_limits.cancelled()) {
            m_done = true;
            m_result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        pump(WaitSliceMs);
    }
    return has_response() || m_body_started || (m_done && m_result == CURLE_OK);
}

std::optional<size_t> Transfer::read(DownloadBuffer& out, size_t max)
{
    size_t taken = 0;
    bool out_of_memory = false;
    while (taken < max) {
        if (pending() > 0) {
            const size_t piece = std::min(max - taken, pending());
            if (!out.append(m_pending.data() + m_pending_pos, piece)) {
                out_of_memory = true;
                break;
            }
            m_pending_pos += piece;
            taken += piece;
            continue;
        }
        m_pending.clear();
        m_pending_pos = 0;
        if (m_done)
            break;
        resume_if_drained();
        if (m_limits.cancelled && m_limits.cancelled()) {
            m_done = true;
            m_result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        pump(WaitSliceMs);
    }
    // Drop what was taken, so the pending store never holds more than one
    // pause threshold and one piece.
    if (m_pending_pos == m_pending.size()) {
        m_pending.clear();
        m_pending_pos = 0;
    } else if (m_pending_pos >= PauseAt / 2) {
        m_pending.erase(0, m_pending_pos);
        m_pending_pos = 0;
    }
    resume_if_drained();
    if (taken == 0 && (out_of_memory || (m_done && m_result != CURLE_OK)))
        return std::nullopt;
    return taken;
}

size_t Transfer::available()
{
    resume_if_drained();
    if (!m_done)
        pump(0);
    return pending();
}

} // namespace ruk
