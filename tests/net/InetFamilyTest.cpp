// The "inet" and "http" families as scripts use them, against servers on 127.0.0.1.
#include "net/InternetSettings.h"
#include "tests/net/LocalServer.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace ruk;
using ruk::test::LocalServer;
using ruk::test::ScriptHarness;
namespace fs = std::filesystem;

namespace {

std::string run(ScriptHarness& h, const std::string& body)
{
    h.clear_output();
    EXPECT_TRUE(h.load("event.initialize()\n" + body + "\nevent.end()\n")) << h.compile_errors().front();
    h.run();
    return h.output();
}

// A fresh folder for files a test writes, removed with the fixture.
struct InetFamily : ::testing::Test {
    ScriptHarness h;
    fs::path folder = fs::temp_directory_path() / ("ruk-inet-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }
};

} // namespace

TEST_F(InetFamily, DownloadsReadsAndTakesTheBody)
{
    LocalServer server;
    std::string out = run(h, R"(
    system.message("open " inet.open("ruk test"))
    system.message("connect " inet.connect(")" + server.address() + R"("))
    system.message("length " inet.request("GET", "/hello"))
    system.message("status " inet.queryinfo.status() " type " inet.queryinfo.type())
    system.message("modified " inet.queryinfo.lastmodified() " bogus [" inet.queryinfo.bogus() "]")
    system.message("read " inet.read(3) " " inet.data.get())
    system.message("read " inet.read(65536) " " inet.read(65536) " " inet.data.get() " " inet.data.size())
    system.message("length " inet.request("GET", "/zero"))
    &n = inet.read(100000)
    system.message("zero " &n " [" inet.data.get() "] " inet.data.size() " " inet.data.save(")" + (folder / "zero.bin").string() + R"("))
    system.message("length " inet.request("GET", "/missing") " " inet.queryinfo.status())
    system.message("length " inet.request("GET", "/chunked"))
    &n = inet.read(4)
    while (&n > 0)
        &n = inet.read(4)
    while.end()
    system.message(inet.data.get() " " inet.data.size())
    inet.request.close()
    system.message("closed [" inet.data.get() "] " inet.data.size() " [" inet.read(10) "] [" inet.queryinfo.status() "]")
    inet.close()
)");
    EXPECT_EQ(out, "open 1\nconnect 1\nlength 5\nstatus OK type text/plain\n"
                   "modified Wed, 21 Oct 2015 07:28:00 GMT bogus []\n"
                   "read 3 hel\nread 2 0 hello 5\nlength 5\nzero 5 [ab] 5 1\n"
                   "length 4 Not Found\nlength 0\nstreamed without a length 25\n"
                   "closed [] 0 [] []\n");
    std::ifstream saved(folder / "zero.bin", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), std::string("ab\0cd", 5));
    EXPECT_TRUE(h.errors().empty());
}

TEST_F(InetFamily, SendsVerbReferrerHeadersAndBodyAndShowsRawHeaders)
{
    LocalServer server;
    std::string out = run(h, R"(
    inet.open("ruk test")
    inet.connect(")" + server.address() + R"(")
    inet.request("PUT", "/echo", "http://here/", "X-Test: yes", "the body")
    inet.read(1000)
    system.message(inet.data.get())
    &raw = inet.queryinfo.headers()
    inet.close()
)");
    EXPECT_EQ(out, "PUT\nhttp://here/\nyes\nthe body\n");
    const std::string raw = h.var("raw");
    EXPECT_EQ(raw.substr(0, 17), "HTTP/1.1 200 OK\r\n");
    EXPECT_NE(raw.find("\r\nContent-Length: 29\r\n"), std::string::npos);
    EXPECT_EQ(raw.substr(raw.size() - 4), "\r\n\r\n");
}

TEST_F(InetFamily, OpensUrlsDirectly)
{
    LocalServer server;
    std::string out = run(h, R"(
    inet.open("ruk test")
    system.message(inet.request.url("http://)" + server.address() + R"(/hello") " " inet.read(10) " " inet.data.get())
    system.message(inet.request.url("http://)" + server.address() + R"(/chunked"))
    system.message(inet.request.url("http://127.0.0.1:)" + std::to_string(test::closed_port()) + R"(/") " [" inet.data.get() "]")
    system.message(inet.request.url("file:///etc/passwd") " " inet.request.url("not a url"))
    // A request with no connection to go on still starts a fresh download.
    inet.request.url("http://)" + server.address() + R"(/hello")
    inet.read(10)
    system.message(inet.request("GET", "/hello") " [" inet.data.get() "] " inet.data.size())
)");
    EXPECT_EQ(out, "5 5 hello\n0\n-1 []\n-1 -1\n0 [] 0\n");
}

TEST_F(InetFamily, CommandsWithoutASessionAndHttp)
{
    LocalServer server;
    // "connect" without a session is not the family's: it becomes a call of
    // a script function of that name, which does not exist.
    std::string out = run(h, R"(
    system.message("[" inet.request("GET", "/hello") "][" inet.read(10) "][" inet.data.get() "][" inet.data.size() "]")
    inet.connect(")" + server.address() + R"(")
    system.message("[" http.anything(1, 2) "][" http.get("x") "]")
    inet.open("x")
    inet.bogus()
    inet.data.bogus()
    inet.request.bogus()
)");
    EXPECT_EQ(out, "[][][][0]\n[][]\n");
    EXPECT_EQ(h.errors().size(), 4u);
}

TEST_F(InetFamily, OfflineModeHoldsForEveryEngineOfTheUser)
{
    LocalServer server;
    // Another engine of the user: its own connection to the same store.
    Registry second_store(h.registry().path());
    InternetSettings shared(&second_store);
    std::string out = run(h, R"(
    inet.open("ruk test")
    inet.setglobaloffline(1)
    system.message(inet.isglobaloffline() inet.isconnected() " " inet.connect(")" + server.address() + R"(") " " inet.request.url("http://)" + server.address() + R"(/hello") " " inet.checkconnection("http://)" + server.address() + R"(/"))
)");
    EXPECT_EQ(out, "10 0 -1 0\n");
    EXPECT_TRUE(shared.offline());
    shared.set_offline(false);
    out = run(h, R"(
    system.message(inet.isglobaloffline() " " inet.connect(")" + server.address() + R"(") " " inet.request.url("http://)" + server.address() + R"(/hello") " " inet.checkconnection("http://)" + server.address() + R"(/"))
    inet.close()
)");
    EXPECT_EQ(out, "0 1 5 1\n");
}

TEST_F(InetFamily, ConnectGivesUpOnTimeAndReachabilityAnswersPromptly)
{
    test::SilentServer silent;
    const int refused = test::closed_port();
    const auto started = std::chrono::steady_clock::now();
    // The TLS handshake with a server that never answers cannot finish.
    std::string out = run(h, R"(
    inet.open("ruk test")
    system.message(inet.connect.https(")" + silent.address() + R"(", "", "", "", 300) inet.connect.ftp(")" + silent.address() + R"(", "", "", "", 300))
    system.message(inet.connect("127.0.0.1:)" + std::to_string(refused) + R"(", "", "", "", 300))
    system.message(inet.isdestinationreachable("127.0.0.1:)" + std::to_string(refused) + R"(") inet.checkconnection("http://127.0.0.1:)" + std::to_string(refused) + R"(/"))
)");
    EXPECT_EQ(out, "00\n0\n10\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

TEST_F(InetFamily, HttpsRefusesSelfSignedCertificatesUntilTheHostIsAllowed)
{
    std::string cert, key, other_cert, other_key;
    if (!test::make_self_signed_certificate(folder.string(), "IP:127.0.0.1", cert, key)
        || !test::make_self_signed_certificate(folder.string(), "DNS:other.test", other_cert, other_key))
        GTEST_SKIP() << "the openssl tool is needed to make certificates";
    LocalServer server(cert, key);
    LocalServer misnamed(other_cert, other_key);
    auto script = [](const LocalServer& s) {
        return R"(
    inet.open("ruk test")
    system.message(inet.connect.https(")" + s.address() + R"(") " " inet.request.https("GET", "/hello") " " inet.request.url("https://)" + s.address() + R"(/hello"))
    inet.close()
)";
    };
    EXPECT_EQ(run(h, script(server)), "0 0 -1\n");
    h.registry().write_value(RegRoot::CurrentUser, InternetSettings::Key, InternetSettings::SelfSignedValue,
                             "example.org, 127.0.0.1");
    EXPECT_EQ(run(h, script(server)), "1 5 5\n");
    // Trusting the host does not excuse a certificate made out to another name.
    EXPECT_EQ(run(h, script(misnamed)), "0 0 -1\n");
}
