// One serial device opened for exclusive use: line settings through termios, single-byte reads and writes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <termios.h>

namespace ruk {

enum class Parity { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits { One = 0, OneAndHalf = 1, Two = 2 };

// The line settings applied when a port opens. Everything else the device
// already had (modem hang-up on close, the control characters) is kept.
struct SerialSettings {
    int32_t baud = 9600;
    int32_t data_bits = 8;
    Parity parity = Parity::None;
    StopBits stop_bits = StopBits::One;
    // Milliseconds. A read or a write of one byte waits at most twice this
    // long: the per-byte part and the constant part of the time-out.
    int32_t timeout_ms = 500;
};

// What opening a port came to. The numbers are the ones scripts see.
enum class OpenStatus {
    Opened = 1,
    NoDevice = -1,    // nothing by that name
    Refused = -2,     // busy, not a character device, or the settings do not apply
    Unreadable = -3,  // the device has no line settings to read (not a terminal)
};

// Result of read_byte(): 0..255 a byte; these two otherwise.
inline constexpr int ReadTimedOut = -2;
inline constexpr int ReadFailed = -1;

// A serial port held by one owner at a time.
//
// Exclusive use is made of two locks: TIOCEXCL keeps other users' opens out
// at the terminal layer (it does not stop the super-user), and an advisory
// flock() on the device keeps out every other program that asks for the same
// lock, another engine included, whoever runs it. Both are dropped on close.
//
// The descriptor is non-blocking; every wait is a poll() bounded by the
// time-out, taken in slices so that a cancel check can end it early.
class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // The device path for a port name: "COMn" (any letter case) is
    // /dev/ttyS(n-1), a name beginning with "/" stands as it is, any other
    // name is looked up under /dev. A leading "//./" or "\\.\" is dropped.
    static std::string device_path(std::string_view name);

    // Changes `tio` to the given settings: raw transfer, no flow control of
    // any kind, the receiver on, modem lines ignored, parity checking on for
    // odd and mark parity. Fails (nothing) for a baud rate Linux has no
    // constant for or a word size other than 5 to 8 bits.
    static bool apply_settings(termios& tio, const SerialSettings& settings);

    // Opens a device path (see device_path) and applies the settings. A port
    // already open in this object is closed first.
    OpenStatus open(const std::string& path, const SerialSettings& settings);
    void close();
    bool is_open() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // One byte 0..255, ReadTimedOut when none arrives in time, ReadFailed when
    // the port is not open, was hung up or reports an error.
    int read_byte();
    // Writes one byte, waiting for room in the output buffer within the
    // time-out. False when it could not be written.
    bool write_byte(uint8_t byte);

    // Asked between slices of a wait; returning true ends the wait as if the
    // time-out had passed.
    void set_cancel_check(std::function<bool()> check) { m_cancel = std::move(check); }

private:
    // Waits for `events` on the descriptor for up to `ms` milliseconds.
    // Returns the events that came, 0 on time-out or cancel, -1 on error.
    int wait_for(short events, int64_t ms);

    int m_fd = -1;
    int64_t m_wait_ms = 1000;
    std::function<bool()> m_cancel;
};

} // namespace ruk
