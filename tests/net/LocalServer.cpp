// HTTP and HTTPS servers on 127.0.0.1 that tests start and stop, and a server that never answers.
#include "tests/net/LocalServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ruk::test {

namespace {

int bind_loopback(int fd)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return 0;
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

void add_routes(httplib::Server& server)
{
    server.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", "Wed, 21 Oct 2015 07:28:00 GMT");
        res.set_content("hello", "text/plain");
    });
    server.Get("/zero", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string("ab\0cd", 5), "application/octet-stream");
    });
    server.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("nope", "text/plain");
    });
    server.Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
            static const std::string pieces[] = {"streamed ", "without ", "a length"};
            size_t index = 0;
            for (size_t at = 0; index < 3 && at < offset; ++index)
                at += pieces[index].size();
            if (index < 3)
                sink.write(pieces[index].data(), pieces[index].size());
            else
                sink.done();
            return true;
        });
    });
    server.Get("/big", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(LocalServer::BigSize, "application/octet-stream",
                                 [](size_t offset, size_t length, httplib::DataSink& sink) {
                                     char piece[65536];
                                     const size_t size = length < sizeof piece ? length : sizeof piece;
                                     for (size_t i = 0; i < size; ++i)
                                         piece[i] = LocalServer::big_byte(offset + i);
                                     sink.write(piece, size);
                                     return true;
                                 });
    });
    auto echo = [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.method + "\n" + req.get_header_value("Referer") + "\n" + req.get_header_value("X-Test")
                            + "\n" + req.body,
                        "text/plain");
    };
    server.Get("/echo", echo);
    server.Post("/echo", echo);
    server.Put("/echo", echo);
}

} // namespace

LocalServer::LocalServer() : m_server(std::make_unique<httplib::Server>())
{
    start();
}

LocalServer::LocalServer(const std::string& cert_file, const std::string& key_file)
    : m_server(std::make_unique<httplib::SSLServer>(cert_file.c_str(), key_file.c_str()))
{
    start();
}

void LocalServer::start()
{
    // The tests talk to 127.0.0.1 directly whatever proxy the machine names.
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    add_routes(*m_server);
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    for (int i = 0; i < 500 && !m_server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

LocalServer::~LocalServer()
{
    m_server->stop();
    m_thread.join();
}

SilentServer::SilentServer()
{
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    m_port = bind_loopback(m_fd);
    ::listen(m_fd, 16);
}

SilentServer::~SilentServer()
{
    ::close(m_fd);
}

int closed_port()
{
    // Bound but not listening: connections to it are refused.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = bind_loopback(fd);
    ::close(fd);
    return port;
}

bool make_self_signed_certificate(const std::string& folder, const std::string& alt_name, std::string& cert_file,
                                  std::string& key_file)
{
    const std::string stem = folder + "/" + alt_name.substr(alt_name.find(':') + 1);
    cert_file = stem + ".cert.pem";
    key_file = stem + ".key.pem";
    const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=test"
                                " -addext subjectAltName="
        + alt_name + " -keyout '" + key_file + "' -out '" + cert_file + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

} // namespace ruk::test
