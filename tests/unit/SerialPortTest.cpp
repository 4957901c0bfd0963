// The serial port class against pseudo-terminals: bytes both ways, time-outs, exclusive use, line settings.
#include "system/SerialPort.h"
#include "tests/support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace ruk;
using Pty = ruk::test::PseudoTerminal;

namespace {

using Clock = std::chrono::steady_clock;

int64_t ms_since(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

SerialSettings quick(int32_t timeout_ms = 50)
{
    SerialSettings settings;
    settings.timeout_ms = timeout_ms;
    return settings;
}

} // namespace

TEST(SerialPort, DevicePathsFollowThePortNames)
{
    EXPECT_EQ(SerialPort::device_path("COM1"), "/dev/ttyS0");
    EXPECT_EQ(SerialPort::device_path("com12"), "/dev/ttyS11");
    EXPECT_EQ(SerialPort::device_path("\\\\.\\COM3"), "/dev/ttyS2");
    EXPECT_EQ(SerialPort::device_path("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(SerialPort::device_path("ttyUSB0"), "/dev/ttyUSB0");
    // Not a numbered COM port: looked up under /dev as it stands.
    EXPECT_EQ(SerialPort::device_path("COM0"), "/dev/COM0");
}

TEST(SerialPort, BytesPassBothWaysUntranslated)
{
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    SerialPort port;
    ASSERT_EQ(port.open(pty.path, quick()), OpenStatus::Opened);

    // Carriage return, ^C, ^S, ^D, a null and bytes with the top bit set
    // arrive as they are: no line discipline, no flow control, no signals.
    const std::vector<uint8_t> bytes = {0x41, 0x0D, 0x03, 0x13, 0x04, 0x00, 0x7F, 0x80, 0xFF};
    ASSERT_TRUE(pty.send(bytes));
    for (uint8_t b : bytes)
        EXPECT_EQ(port.read_byte(), b);
    EXPECT_EQ(port.read_byte(), ReadTimedOut);

    for (uint8_t b : bytes)
        EXPECT_TRUE(port.write_byte(b));
    EXPECT_EQ(pty.drain(), bytes);
}

TEST(SerialPort, ReadWaitsTheTimeOutAndNoLonger)
{
    Pty pty;
    SerialPort port;
    ASSERT_EQ(port.open(pty.path, quick(100)), OpenStatus::Opened);
    auto start = Clock::now();
    EXPECT_EQ(port.read_byte(), ReadTimedOut);
    const int64_t waited = ms_since(start);
    // The per-byte part and the constant part: twice the time-out.
    EXPECT_GE(waited, 195);
    EXPECT_LT(waited, 2000);

    // A time-out of 0 does not wait at all.
    ASSERT_EQ(port.open(pty.path, quick(0)), OpenStatus::Opened);
    start = Clock::now();
    EXPECT_EQ(port.read_byte(), ReadTimedOut);
    EXPECT_LT(ms_since(start), 100);

    // A cancel check ends a long wait early.
    ASSERT_EQ(port.open(pty.path, quick(60000)), OpenStatus::Opened);
    port.set_cancel_check([] { return true; });
    start = Clock::now();
    EXPECT_EQ(port.read_byte(), ReadTimedOut);
    EXPECT_LT(ms_since(start), 1000);
}

TEST(SerialPort, FailuresAreTold)
{
    SerialPort port;
    // A plain file is never taken for a port, nor written to.
    auto file = std::filesystem::temp_directory_path() / ("ruk-serial-" + std::to_string(getpid()));
    std::ofstream(file) << "keep";
    EXPECT_EQ(port.open(file.string(), quick()), OpenStatus::Refused);
    EXPECT_EQ(std::filesystem::file_size(file), 4u);
    std::filesystem::remove(file);

    // Settings Linux cannot make refuse the open and leave nothing open.
    Pty pty;
    SerialSettings odd_rate = quick();
    odd_rate.baud = 14400;
    EXPECT_EQ(port.open(pty.path, odd_rate), OpenStatus::Refused);
    SerialSettings wide = quick();
    wide.data_bits = 9;
    EXPECT_EQ(port.open(pty.path, wide), OpenStatus::Refused);
    EXPECT_FALSE(port.is_open());
    // ... and leave the device free for the next open.
    EXPECT_EQ(port.open(pty.path, quick()), OpenStatus::Opened);
}

TEST(SerialPort, PeerHangUpIsAFailureNotATimeOut)
{
    Pty pty;
    SerialPort port;
    ASSERT_EQ(port.open(pty.path, quick(5000)), OpenStatus::Opened);
    close(pty.slave);
    pty.slave = -1;
    close(pty.master);
    pty.master = -1;
    const auto start = Clock::now();
    EXPECT_EQ(port.read_byte(), ReadFailed);
    EXPECT_LT(ms_since(start), 1000);
}

TEST(SerialPort, AnotherProcessCannotShareThePort)
{
    Pty pty;
    SerialPort port;
    ASSERT_EQ(port.open(pty.path, quick()), OpenStatus::Opened);

    // The other engine is a child process trying the same device.
    auto try_in_child = [&pty] {
        pid_t child = fork();
        if (child == 0) {
            SerialPort other;
            _exit(static_cast<int>(other.open(pty.path, quick())) + 10);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) - 10 : 99;
    };
    EXPECT_EQ(try_in_child(), static_cast<int>(OpenStatus::Refused));
    // A second port object of the same process is refused as well.
    SerialPort second;
    EXPECT_EQ(second.open(pty.path, quick()), OpenStatus::Refused);

    port.close();
    EXPECT_EQ(try_in_child(), static_cast<int>(OpenStatus::Opened));
}

TEST(SerialPort, LineSettingsReachTheTerminal)
{
    Pty pty;
    SerialPort port;
    SerialSettings settings = quick();
    settings.baud = 19200;
    settings.parity = Parity::Even;
    settings.stop_bits = StopBits::Two;
    ASSERT_EQ(port.open(pty.path, settings), OpenStatus::Opened);

    termios tio {};
    ASSERT_EQ(tcgetattr(pty.slave, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B19200);
    EXPECT_EQ(cfgetispeed(&tio), B19200);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_FALSE(tio.c_cflag & (CRTSCTS | PARODD | CMSPAR));
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF | INPCK));
    // A pseudo-terminal has no wire: the kernel clears its parity bit and
    // forces 8 data bits, so those are checked on the settings asked for.
}

TEST(SerialPort, ParityAndWordSizeFlags)
{
    struct Case {
        Parity parity;
        tcflag_t cflag;
        bool checked;
    };
    const Case cases[] = {
        {Parity::None, 0, false},
        {Parity::Odd, PARENB | PARODD, true},
        {Parity::Even, PARENB, false},
        {Parity::Mark, PARENB | PARODD | CMSPAR, true},
        {Parity::Space, PARENB | CMSPAR, false},
    };
    for (const auto& c : cases) {
        termios tio {};
        // Leftovers of an earlier user must not survive.
        tio.c_cflag = PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CS5;
        tio.c_iflag = INPCK | IXON;
        SerialSettings settings;
        settings.parity = c.parity;
        settings.data_bits = 7;
        ASSERT_TRUE(SerialPort::apply_settings(tio, settings));
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), c.cflag) << static_cast<int>(c.parity);
        EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.checked) << static_cast<int>(c.parity);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
        EXPECT_FALSE(tio.c_cflag & (CSTOPB | CRTSCTS));
        EXPECT_FALSE(tio.c_iflag & IXON);
    }
    termios tio {};
    SerialSettings half;
    half.data_bits = 5;
    half.stop_bits = StopBits::OneAndHalf;
    ASSERT_TRUE(SerialPort::apply_settings(tio, half));
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
}
