// Libraries opened on first use: a missing library or function, the one notice, a player without SDL.
#include "graphics/SdlLibrary.h"
#include "graphics/SoundPlayer.h"
#include "system/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace ruk;

namespace {

// Collects the notices said while it lives.
struct NoticeLog {
    std::vector<std::string> lines;
    NoticeLog()
    {
        DynamicLibrary::set_notice_sink([this](const std::string& text) { lines.push_back(text); });
    }
    ~NoticeLog() { DynamicLibrary::set_notice_sink(nullptr); }
};

} // namespace

TEST(DynamicLibrary, AMissingLibraryIsUnavailableAndSaidOnce)
{
    NoticeLog log;
    DynamicLibrary library("libruk-no-such-library.so.7", "testing");
    int resolved = 0;
    auto resolve = [&](DynamicLibrary&) { ++resolved; };
    EXPECT_FALSE(library.open(resolve));
    EXPECT_FALSE(library.open(resolve));
    EXPECT_EQ(resolved, 0);
    EXPECT_NE(library.failure().find("libruk-no-such-library.so.7"), std::string::npos);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("testing"), std::string::npos);
}

TEST(DynamicLibrary, AMissingFunctionMakesTheWholeLibraryUnavailable)
{
    NoticeLog log;
    DynamicLibrary library("libc.so.6", "testing");
    decltype(&std::puts) found = nullptr;
    decltype(&std::puts) missing = nullptr;
    EXPECT_FALSE(library.open([&](DynamicLibrary& lib) {
        lib.symbol(found, "puts");
        lib.symbol(missing, "ruk_no_such_function");
    }));
    EXPECT_NE(found, nullptr);
    EXPECT_NE(library.failure().find("ruk_no_such_function"), std::string::npos);
    EXPECT_EQ(log.lines.size(), 1u);

    DynamicLibrary present("libc.so.6", "testing");
    EXPECT_TRUE(present.open([&](DynamicLibrary& lib) { lib.symbol(found, "puts"); }));
    EXPECT_TRUE(present.failure().empty());
    EXPECT_EQ(log.lines.size(), 1u);
}

// Without SDL the player behaves as on a machine without a sound device.
TEST(DynamicLibrary, APlayerWithoutSdlRefusesToPlayAndKeepsItsVolume)
{
    NoticeLog log;
    SdlLibrary missing("libruk-no-such-sdl.so.0");
    {
        SoundPlayer player(missing);
        EXPECT_FALSE(player.play(RUK_SOURCE_DIR "/CMakeLists.txt", false));
        EXPECT_FALSE(player.play(RUK_SOURCE_DIR "/CMakeLists.txt", true));
        EXPECT_FALSE(player.playing());
        player.set_volume(0x12345678u);
        EXPECT_EQ(player.volume(), 0x12345678u);
        player.stop();
    }
    EXPECT_EQ(log.lines.size(), 1u);
}
