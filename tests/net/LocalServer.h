// HTTP and HTTPS servers on 127.0.0.1 that tests start and stop, and a server that never answers.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

namespace ruk::test {

// Serves on 127.0.0.1 at a free port from a thread of the test process:
//   /hello    "hello" (text/plain, with Last-Modified)
//   /zero     five bytes with a zero byte in the middle
//   /missing  404 "nope"
//   /chunked  "streamed without a length" in chunks, no Content-Length
//   /big      BigSize bytes of a known pattern (big_byte), made as they are sent
//   /echo     the verb, the referrer, the X-Test header and the body, one per line
class LocalServer {
public:
    static constexpr size_t BigSize = 50u * 1024 * 1024;
    static char big_byte(size_t offset) { return static_cast<char>((offset * 31 + offset / 4096) % 251); }

    // Plain HTTP.
    LocalServer();
    // HTTPS with the certificate and key in these PEM files.
    LocalServer(const std::string& cert_file, const std::string& key_file);
    ~LocalServer();

    int port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    void start();

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
};

// Accepts connections (the system completes them from the listen queue)
// and never says a word.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    int port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    int m_fd = -1;
    int m_port = 0;
};

// A port on 127.0.0.1 where nothing listens.
int closed_port();

// A self-signed certificate made with the openssl tool in `folder`, for the
// subject alternative name `alt_name` ("IP:127.0.0.1", "DNS:other.test");
// false when the tool is missing or fails.
bool make_self_signed_certificate(const std::string& folder, const std::string& alt_name, std::string& cert_file,
                                  std::string& key_file);

} // namespace ruk::test
