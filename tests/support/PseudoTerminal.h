// A pseudo-terminal pair for serial tests: the port opens the slave by its path, the test plays the device on the master.
#pragma once

#include <cstdint>
#include <poll.h>
#include <pty.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace ruk::test {

struct PseudoTerminal {
    int master = -1;
    int slave = -1;
    std::string path; // empty when no pair could be made

    PseudoTerminal()
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = name;
    }
    ~PseudoTerminal()
    {
        if (master >= 0)
            close(master);
        if (slave >= 0)
            close(slave);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool send(std::vector<uint8_t> bytes) const
    {
        return write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Everything the port has written, gathered until nothing more comes for
    // `quiet_ms`.
    std::vector<uint8_t> drain(int quiet_ms = 200) const
    {
        std::vector<uint8_t> out;
        pollfd p {master, POLLIN, 0};
        while (poll(&p, 1, quiet_ms) == 1 && (p.revents & POLLIN)) {
            uint8_t buffer[256];
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }
};

} // namespace ruk::test
