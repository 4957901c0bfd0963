// Servo packets byte for byte, and the "rs232" and "robot" families driving a pseudo-terminal.
#include "system/RobotPackets.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <unistd.h>
#include <vector>

using namespace ruk;
using ruk::test::ScriptHarness;
using Pty = ruk::test::PseudoTerminal;
using Bytes = std::vector<uint8_t>;

namespace {

// Runs lines in "initialize" after opening the pseudo-terminal as the port.
std::string run_with_port(ScriptHarness& h, const Pty& pty, const std::string& body)
{
    EXPECT_TRUE(h.load("event.initialize()\n&r = rs232.open(\"" + pty.path + "\", 9600, 8, \"\", \"\", 1, 1, 100)\n"
                       "system.message(\"open \" &r)\n" + body + "\nevent.end()\n"));
    h.run();
    return h.output();
}

} // namespace

TEST(RobotPackets, ValuesWrapAndChecksumsNeverLookLikeAHeader)
{
    // Speed 4 makes a command byte with the top bit set; the checksum keeps
    // only 7 bits, so it can never be 0xFF.
    EXPECT_EQ(robot::pos_set(31, 4, 0x60), (Bytes {0xFF, 0x9F, 0x60, 0x7F}));
    // Every value goes out as its low 8 bits, negative ones and huge ones too.
    EXPECT_EQ(robot::pos_set(1, 8, -1), (Bytes {0xFF, 0x01, 0xFF, 0x7E}));
    EXPECT_EQ(robot::pos_set(2147483647, 2147483647, 256), (Bytes {0xFF, 0xDF, 0x00, 0x5F}));
    const int32_t none[] = {0};
    EXPECT_EQ(robot::pos_set_all(3, 255, std::span(none, 0)), (Bytes {0xFF, 0x7F, 0x00, 0x00}));
    EXPECT_EQ(robot::checksum(255, 1), 126);
    EXPECT_EQ(robot::checksum(-1, 0), 127);
}

TEST(SerialFamilies, RobotCommandsArriveByteForByte)
{
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    ScriptHarness h;
    const std::string out = run_with_port(h, pty,
        "robot.aimotor.pos.set(3, 2, 100)\n"
        "&p[] = \"10^^20^^30\"\n"
        "robot.aimotor.pos.setfromarray(p, 3, 2)\n"
        "robot.aimotor.powerdown()\n"
        "robot.aimotor.pos.set(1)\n"          // speed 0, position 120
        "robot.aimotor.pos.setfromarray(nosuchvariable)\n" // speed 3, one motor at 120
        "robot.aimotor.setgain(2)\n"          // gains 25 and 50
        "robot.aimotor.setbound(2)\n"         // both bounds 120
        "robot.aimotor.resolution.request(2)\n"
        "robot.aimotor.actdown(2)\n"
        "robot.aimotor.setresolution(2, 1)\n"
        "robot.aimotor.pos.request(2)\n");
    EXPECT_EQ(out, "open 1\n");
    EXPECT_TRUE(h.errors().empty());
    const Bytes expected = {
        0xFF, 0x43, 0x64, 0x27,                       // motor 3, speed 2, position 100
        0xFF, 0x7F, 0x03, 10, 20, 30, 0x00,           // all motors from the array
        0xFF, 0xDF, 0x20, 0x7F,                       // power down
        0xFF, 0x01, 120, 0x79,                        //
        0xFF, 0x7F, 0x01, 120, 120 & 0x7F,            //
        0xFF, 0xE2, 9, 25, 50, (0xE2 ^ 9 ^ 25 ^ 50) & 0x7F,
        0xFF, 0xE2, 17, 120, 120, (0xE2 ^ 17) & 0x7F,
        0xFF, 0xE2, 14, 0, 0, (0xE2 ^ 14) & 0x7F,
        0xFF, 0xC2, 16, (0xC2 ^ 16) & 0x7F,
        0xFF, 0xE2, 13, 1, 1, (0xE2 ^ 13) & 0x7F,
        0xFF, 0xA2, 0, 0x22,
    };
    EXPECT_EQ(pty.drain(), expected);
    // Reading a missing variable did not create it.
    EXPECT_EQ(h.engine().vars().find("nosuchvariable"), -1);
}

TEST(SerialFamilies, SendAndGet)
{
    Pty pty;
    ScriptHarness h;
    ASSERT_TRUE(h.load("event.initialize()\n"
                       "system.message(\"open \" rs232.open(\"" + pty.path + "\", 9600, 8, \"\", \"\", 1, 1, 100))\n"
                       "event.end()\n"
                       "event.talk()\n"
                       "system.message(\"got \" rs232.get() \" \" rs232.get())\n"
                       "system.message(\"nothing \" rs232.get())\n"
                       "system.message(\"send \" rs232.send(321))\n"
                       "event.end()\n"));
    h.run();
    // The device answers once the port is open.
    ASSERT_TRUE(pty.send({0xA5, 0x00}));
    const auto start = std::chrono::steady_clock::now();
    h.run("talk");
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(h.output(), "open 1\ngot 165 0\nnothing -2\nsend 1\n");
    EXPECT_TRUE(h.errors().empty());
    // The one "get" that found nothing waited for it: twice the 100 ms time-out.
    EXPECT_GE(waited, 195);
    EXPECT_EQ(pty.drain(), (Bytes {321 & 0xFF}));
}

TEST(SerialFamilies, OpeningAgainReleasesTheFormerPort)
{
    Pty first;
    Pty second;
    ScriptHarness h;
    const std::string out = run_with_port(h, first,
        "system.message(\"again \" rs232.open(\"" + first.path + "\"))\n"
        "system.message(\"other \" rs232.open(\"" + second.path + "\"))\n"
        "robot.aimotor.powerdown()\n");
    // The same port opens again, and the last one opened takes the packets.
    EXPECT_EQ(out, "open 1\nagain 1\nother 1\n");
    EXPECT_EQ(second.drain(), (Bytes {0xFF, 0xDF, 0x20, 0x7F}));
    EXPECT_TRUE(first.drain().empty());
}
