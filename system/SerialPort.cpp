// One serial device opened for exclusive use: line settings through termios, single-byte reads and writes.
#include "system/SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ruk {

namespace {

struct BaudEntry {
    int32_t rate;
    speed_t code;
};

// Every rate Linux has a constant for; 0 (hang up) is left out on purpose.
constexpr BaudEntry BaudRates[] = {
    {50, B50},         {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},       {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},     {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},   {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

std::optional<speed_t> baud_code(int32_t rate)
{
    for (const auto& entry : BaudRates)
        if (entry.rate == rate)
            return entry.code;
    return std::nullopt;
}

// A wait is taken in slices of this length so that a cancel check is asked
// often enough to end the engine promptly.
constexpr int64_t WaitSliceMs = 100;

} // namespace

SerialPort::~SerialPort()
{
    close();
}

std::string SerialPort::device_path(std::string_view name)
{
    if (name.starts_with("//./") || name.starts_with("\\\\.\\"))
        name.remove_prefix(4);
    if (name.starts_with("/"))
        return std::string(name);
    if (name.size() > 3 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o')
        && (name[2] == 'M' || name[2] == 'm')) {
        std::string_view digits = name.substr(3);
        if (digits.size() <= 6 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            long number = std::stol(std::string(digits));
            if (number >= 1)
                return "/dev/ttyS" + std::to_string(number - 1);
        }
    }
    return "/dev/" + std::string(name);
}

bool SerialPort::apply_settings(termios& tio, const SerialSettings& settings)
{
    auto speed = baud_code(settings.baud);
    if (!speed)
        return false;
    tcflag_t size = 0;
    switch (settings.data_bits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
    }

    // Raw transfer: no line editing, no signals, no echo, no translation of
    // carriage returns or new lines, nothing stripped, no output processing.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF
                                          | IXANY | IGNPAR | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    // One byte at a time; with the descriptor non-blocking an empty buffer
    // then reads as EAGAIN instead of an end of file.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    // No hardware flow control; the modem lines do not gate the receiver.
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= size | CREAD | CLOCAL;

    switch (settings.parity) {
    case Parity::None: break;
    case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: tio.c_cflag |= PARENB; break;
    case Parity::Mark: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    // Received parity is checked for odd and mark parity only; a byte that
    // fails the check reads as 0.
    if (settings.parity == Parity::Odd || settings.parity == Parity::Mark)
        tio.c_iflag |= INPCK;

    // Linux has no one-and-a-half stop bits: CSTOPB asks for two, which a
    // 16550-style UART sends as one and a half on 5-bit words.
    if (settings.stop_bits != StopBits::One)
        tio.c_cflag |= CSTOPB;

    cfsetispeed(&tio, *speed);
    cfsetospeed(&tio, *speed);
    return true;
}

OpenStatus SerialPort::open(const std::string& path, const SerialSettings& settings)
{
    close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENODEV || errno == ENXIO || errno == ENOTDIR)
            return OpenStatus::NoDevice;
        return OpenStatus::Refused;
    }
    auto refuse = [fd](OpenStatus status) {
        ::close(fd);
        return status;
    };

    // Only character devices: a regular file or a pipe named by mistake is
    // never written to.
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return refuse(OpenStatus::Refused);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return refuse(OpenStatus::Refused);

    termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return refuse(OpenStatus::Unreadable);
    if (ioctl(fd, TIOCEXCL) != 0)
        return refuse(OpenStatus::Refused);
    auto release = [fd](OpenStatus status) {
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        return status;
    };
    if (!apply_settings(tio, settings) || tcsetattr(fd, TCSANOW, &tio) != 0)
        return release(OpenStatus::Refused);

    // DTR and RTS are lowered. A device without modem-control lines (a
    // pseudo-terminal, some USB adapters) refuses this; it has none to lower.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);
    tcflush(fd, TCIOFLUSH);

    m_fd = fd;
    int64_t timeout = std::max<int64_t>(settings.timeout_ms, 0);
    m_wait_ms = 2 * timeout;
    return OpenStatus::Opened;
}

void SerialPort::close()
{
    if (m_fd < 0)
        return;
    ioctl(m_fd, TIOCNXCL);
    ::close(m_fd); // drops the flock() as well
    m_fd = -1;
}

int SerialPort::wait_for(short events, int64_t ms)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const int64_t left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p {m_fd, events, 0};
        int n = poll(&p, 1, static_cast<int>(std::clamp<int64_t>(left, 0, WaitSliceMs)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n > 0)
            return p.revents;
        if (left <= WaitSliceMs || (m_cancel && m_cancel()))
            return 0;
    }
}

int SerialPort::read_byte()
{
    if (m_fd < 0)
        return ReadFailed;
    for (;;) {
        uint8_t byte = 0;
        ssize_t n = ::read(m_fd, &byte, 1);
        if (n == 1)
            return byte;
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return ReadFailed;
        int events = wait_for(POLLIN, m_wait_ms);
        if (events == 0)
            return ReadTimedOut;
        if (events < 0 || !(events & POLLIN))
            return ReadFailed;
    }
}

bool SerialPort::write_byte(uint8_t byte)
{
    if (m_fd < 0)
        return false;
    for (;;) {
        ssize_t n = ::write(m_fd, &byte, 1);
        if (n == 1)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
        int events = wait_for(POLLOUT, m_wait_ms);
        if (events <= 0 || !(events & POLLOUT))
            return false;
    }
}

} // namespace ruk
