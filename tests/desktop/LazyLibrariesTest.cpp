// The engine and rukc map their audio, Internet, editor and painting libraries only once a script uses them.
#include "tests/desktop/EngineProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace ruk::test;

namespace {

// Uses the sound or the Internet family when asked to, then says "ready" and
// waits, so that its memory map can be read while it runs.
const char* waiting_script = R"(
event.initialize()
    if (app.getparam(1) = inet)
        inet.open("lazy")
    if.end()
    if (app.getparam(1) = sound)
        sound.play(app.getparam(2))
    if.end()
    if (app.getparam(1) = sci)
        window.create(1, "", 0)
        sci.1.create(1)
    if.end()
    if (app.getparam(1) = text)
        draw.-19.rect(0, 0, 60, 40, 16777215)
        draw.-19.text(0, 0, , , "Hello", 255)
        &red = 0
        for (&y, 0, 39)
            for (&x, 0, 59)
                if (draw.-19.getpixel(&x, &y) = 255)
                    &red = &red + 1
                if.end()
            for.next()
        for.next()
        system.message("width " draw.-19.text.getwidth("Hello") " red " ?(&red > 10, many, few))
    if.end()
    system.message("ready")
    doevent.never(600000)
event.end()
)";

// A short 8-bit mono wave file of silence.
void write_silence(const std::string& path)
{
    auto u32 = [](std::ofstream& f, uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::ofstream& f, uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    const std::string samples(800, '\x80');
    std::ofstream f(path, std::ios::binary);
    f.write("RIFF", 4);
    u32(f, 36 + static_cast<uint32_t>(samples.size()));
    f.write("WAVEfmt ", 8);
    u32(f, 16);
    u16(f, 1);
    u16(f, 1);
    u32(f, 8000);
    u32(f, 8000);
    u16(f, 1);
    u16(f, 8);
    f.write("data", 4);
    u32(f, static_cast<uint32_t>(samples.size()));
    f.write(samples.data(), static_cast<std::streamsize>(samples.size()));
}

struct LazyLibraries : ::testing::Test {
    TempRoot root;
    std::string script;
    void SetUp() override { script = root.write("lazy/lazy.rks", waiting_script); }

    // What the script printed before "ready".
    std::string said;

    // The engine's memory map once the script has said "ready"; the engine
    // is ended afterwards.
    std::string maps_of_run(const std::vector<std::string>& params)
    {
        return maps_of({"--headless", "--timeout", "30", script}, params, "");
    }
    // The same for "rukc run" (the program at `rukc`, the built one when empty).
    std::string maps_of_rukc_run(const std::vector<std::string>& params, const std::string& rukc = "")
    {
        return maps_of({"run", "--timeout", "30", script}, params, rukc.empty() ? built_program("rukc") : rukc);
    }

    std::string maps_of(std::vector<std::string> args, const std::vector<std::string>& params,
                        const std::string& program)
    {
        args.insert(args.end(), params.begin(), params.end());
        EngineProcess engine(args, root.path(), "", program);
        if (!engine.wait_for_line("ready", 20)) {
            ADD_FAILURE() << "the program never got ready: " << engine.out() << engine.err();
            return std::string();
        }
        said = engine.out();
        std::ifstream file("/proc/" + std::to_string(engine.pid()) + "/maps");
        std::string maps((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        engine.signal(SIGTERM);
        engine.wait(20);
        return maps;
    }
};

bool maps_library(const std::string& maps, const std::string& name)
{
    return maps.find("/" + name) != std::string::npos;
}

} // namespace

TEST_F(LazyLibraries, APackageThatNeitherPlaysNorFetchesMapsNeitherLibrary)
{
    const std::string maps = maps_of_run({});
    ASSERT_FALSE(maps.empty());
    EXPECT_TRUE(maps_library(maps, "libc.so")) << "the map cannot be read";
    EXPECT_FALSE(maps_library(maps, "libSDL2"));
    EXPECT_FALSE(maps_library(maps, "libcurl"));
    EXPECT_FALSE(maps_library(maps, "libssl"));
    EXPECT_FALSE(maps_library(maps, "libqscintilla2"));
    EXPECT_FALSE(maps_library(maps, "librukcanvas.so"));
}

TEST_F(LazyLibraries, EachFamilyLoadsOnlyItsOwnLibraryOnFirstUse)
{
    const std::string fetched = maps_of_run({"inet"});
    EXPECT_TRUE(maps_library(fetched, "libcurl"));
    EXPECT_FALSE(maps_library(fetched, "libSDL2"));

    const std::string wave = root.write("lazy/silence.wav", "");
    write_silence(wave);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string played = maps_of_run({"sound", wave});
    ::unsetenv("SDL_AUDIODRIVER");
    EXPECT_TRUE(maps_library(played, "libSDL2"));
    EXPECT_FALSE(maps_library(played, "libcurl"));

    const std::string edited = maps_of_run({"sci"});
    EXPECT_TRUE(maps_library(edited, "librukscintilla.so"));
    EXPECT_TRUE(maps_library(edited, "libqscintilla2"));
    EXPECT_FALSE(maps_library(edited, "libcurl"));
}

TEST_F(LazyLibraries, RukcRunsWithoutTheToolkitUntilAScriptPaints)
{
    const std::string plain = maps_of_rukc_run({});
    ASSERT_FALSE(plain.empty());
    EXPECT_TRUE(maps_library(plain, "libc.so")) << "the map cannot be read";
    EXPECT_FALSE(maps_library(plain, "libQt6")) << plain;
    EXPECT_FALSE(maps_library(plain, "librukcanvas.so"));

    // Text opens the painting module, and the toolkit with it.
    const std::string painted = maps_of_rukc_run({"text"});
    EXPECT_TRUE(maps_library(painted, "librukcanvas.so"));
    EXPECT_TRUE(maps_library(painted, "libQt6Gui"));
    EXPECT_NE(said.find("width "), std::string::npos) << said;
    EXPECT_EQ(said.find("width 0 "), std::string::npos) << said;
    EXPECT_NE(said.find(" red many\n"), std::string::npos) << said;
}

TEST_F(LazyLibraries, RukcWithoutItsPaintingModuleDrawsNothingAndCarriesOn)
{
    // A copy of rukc in a folder of its own has no module beside it.
    const std::filesystem::path alone = std::filesystem::path(root.path()) / "alone";
    std::filesystem::create_directories(alone);
    std::filesystem::copy_file(built_program("rukc"), alone / "rukc");
    const std::string maps = maps_of_rukc_run({"text"}, (alone / "rukc").string());
    ASSERT_FALSE(maps.empty());
    EXPECT_FALSE(maps_library(maps, "libQt6"));
    // Neither the box nor the text is painted, and text measures nothing.
    EXPECT_NE(said.find("width 0 red few\n"), std::string::npos) << said;
}
