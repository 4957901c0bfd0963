// The Internet session, connection parameters and network presence as plain classes.
#include "net/InternetSession.h"
#include "net/InternetSettings.h"
#include "net/NetworkPresence.h"
#include "tests/net/LocalServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

using namespace ruk;
using ruk::test::LocalServer;

namespace {

// A figure of /proc/self/status in bytes ("VmRSS", "VmHWM").
size_t status_bytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stoull(line.substr(field.size() + 1)) * 1024;
    return 0;
}

ConnectParams params(const std::string& server, Service service = Service::Http)
{
    return make_connect_params(server, "", "", service).value();
}

} // namespace

TEST(ConnectParamsTest, PortsBlanksAndServerTexts)
{
    ConnectParams http = params("example.org");
    EXPECT_EQ(http.port, 80);
    EXPECT_EQ(http.user, " ");
    EXPECT_EQ(http.password, " ");
    EXPECT_EQ(params("example.org", Service::Https).port, 443);
    EXPECT_EQ(params("example.org", Service::Ftp).port, 21);

    ConnectParams named = make_connect_params("host:8080", "me", "secret", Service::Https).value();
    EXPECT_EQ(named.host, "host");
    EXPECT_EQ(named.port, 8080);
    EXPECT_EQ(named.user, "me");
    EXPECT_EQ(named.password, "secret");
    EXPECT_EQ(params("[::1]:81").host, "[::1]");
    EXPECT_EQ(params("[::1]:81").port, 81);
    EXPECT_EQ(params("fe80::1").host, "[fe80::1]");

    for (const char* bad : {"", "host:0", "host:70000", "host:x", "a b", "evil.org/x@host", "[::1", "[::1]x"})
        EXPECT_FALSE(make_connect_params(bad, "", "", Service::Http)) << bad;
}

TEST(InternetSessionTest, StreamsALargeBodyInPiecesWithinTwiceItsSize)
{
    LocalServer server;
    InternetSession session;
    ASSERT_TRUE(session.open("ruk test"));
    std::ofstream("/proc/self/clear_refs") << "5"; // starts the peak figure afresh, where allowed
    const size_t before = status_bytes("VmRSS");

    ASSERT_EQ(session.request_url("http://" + server.address() + "/big"), std::to_string(LocalServer::BigSize));
    // The headers are in, but the body waits for the reads.
    EXPECT_LT(session.data_available(), 1024u * 1024);
    size_t total = 0;
    while (std::optional<size_t> count = session.read(65536)) {
        if (*count == 0)
            break;
        total += *count;
    }
    const size_t peak = status_bytes("VmHWM");
    ASSERT_EQ(total, LocalServer::BigSize);
    ASSERT_EQ(session.buffer()->size(), LocalServer::BigSize);
    std::string_view bytes = session.buffer()->bytes();
    size_t wrong = 0;
    for (size_t i = 0; i < bytes.size(); i += 4093)
        wrong += bytes[i] != LocalServer::big_byte(i);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(bytes.data()[bytes.size()], '\0');
    EXPECT_LT(peak - before, 2 * LocalServer::BigSize) << "peak growth " << (peak - before) / 1024 << " KB";
    std::printf("50 MB download: peak memory grew by %zu KB\n", (peak - before) / 1024);
}

TEST(InternetSessionTest, AServerThatNeverAnswersEndsTheRequestInTime)
{
    test::SilentServer silent;
    InternetSession session;
    TransferLimits limits;
    limits.idle_timeout_ms = 400;
    session.set_limits(limits);
    ASSERT_TRUE(session.open(""));
    const auto started = std::chrono::steady_clock::now();
    // For plain HTTP the connection itself is made: the silence starts after it.
    ASSERT_TRUE(session.connect(params(silent.address()), 2000));
    EXPECT_FALSE(session.request(RequestPlan{}));
    EXPECT_FALSE(session.query_info(InfoItem::Status));
    EXPECT_FALSE(session.read(10));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));

    // Asked to stop, a wait ends at once.
    limits.idle_timeout_ms = 60000;
    limits.cancelled = [] { return true; };
    session.set_limits(limits);
    ASSERT_TRUE(session.connect(params(silent.address()), 2000));
    EXPECT_FALSE(session.request(RequestPlan{}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
}

// Without libcurl the engine is simply never connected; nothing reaches a null function.
TEST(InternetSessionTest, WithoutLibcurlTheSessionNeverOpens)
{
    test::SilentServer silent;
    CurlLibrary missing("libruk-no-such-curl.so.4");
    InternetSession session(nullptr, missing);
    EXPECT_FALSE(session.open("agent"));
    EXPECT_FALSE(session.is_open());
    EXPECT_FALSE(session.connect(params(silent.address()), 500));
    EXPECT_FALSE(session.request_url("http://127.0.0.1:1/"));
    EXPECT_FALSE(session.read(10));
    EXPECT_EQ(session.data_available(), 0u);
    session.close();
}

TEST(InternetSettingsTest, TrustedHostListsAndOfflineWithoutAStore)
{
    InternetSettings settings(nullptr);
    EXPECT_FALSE(settings.offline());
    settings.set_offline(true);
    EXPECT_TRUE(settings.offline());
    settings.set_self_signed_hosts("Router.Local; [::1],10.0.0.2");
    EXPECT_TRUE(settings.self_signed_allowed("router.local"));
    EXPECT_TRUE(settings.self_signed_allowed("[::1]"));
    EXPECT_TRUE(settings.self_signed_allowed("10.0.0.2"));
    EXPECT_FALSE(settings.self_signed_allowed("10.0.0.20"));
    EXPECT_FALSE(settings.self_signed_allowed("local"));
    EXPECT_FALSE(settings.self_signed_allowed(""));
}

TEST(NetworkPresenceTest, DefaultRoutesAndDestinations)
{
    const std::string v4_head = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n";
    EXPECT_TRUE(NetworkPresence::has_default_route(v4_head + "eth0\t00000000\t0102A8C0\t0003\t0\t0\t0\t00000000\n", ""));
    EXPECT_FALSE(NetworkPresence::has_default_route(v4_head + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n", ""));
    // The kernel's "unreachable" IPv6 default on loopback is no way out.
    const std::string zero(32, '0');
    EXPECT_FALSE(NetworkPresence::has_default_route(
        v4_head, zero + " 00 " + zero + " 00 " + zero + " ffffffff 00000001 00000000 00200200 lo\n"));
    EXPECT_TRUE(NetworkPresence::has_default_route(
        v4_head, zero + " 00 " + zero + " 00 fe800000000000000000000000000001 00000400 00000001 00000000 00000003 wlan0\n"));

    EXPECT_EQ(NetworkPresence::parse_destination("https://example.org/x")->port, 443);
    EXPECT_EQ(NetworkPresence::parse_destination("example.org")->port, 80);
    EXPECT_EQ(NetworkPresence::parse_destination("example.org:8080")->host, "example.org");
    EXPECT_EQ(NetworkPresence::parse_destination("ftp://[::1]")->port, 21);
    EXPECT_FALSE(NetworkPresence::parse_destination(""));
    EXPECT_FALSE(NetworkPresence::parse_destination("a host"));
}
