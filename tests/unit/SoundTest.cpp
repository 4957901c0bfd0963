// Sound: the mixer's gains and loops, the player on SDL's disk driver, the family's volume scale.
#include "graphics/SoundPlayer.h"
#include "graphics/Wave.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace ruk {
namespace {

namespace fs = std::filesystem;

TEST(SoundMix, GainPerChannelLoopAndSilenceAfterTheEnd)
{
    const std::vector<int16_t> sound = {1000, -1000, 32767, -32768};
    int16_t out[10];
    // Left at 32500 of 65535, right at 65000 of 65535, truncated toward zero.
    size_t at = SoundPlayer::mix(sound, 0, false, 32500u | (65000u << 16), out, 4);
    EXPECT_EQ(at, 4u);
    EXPECT_EQ(out[0], 1000 * 32500 / 65535);
    EXPECT_EQ(out[1], -1000 * 65000 / 65535);
    EXPECT_EQ(out[2], 32767 * 32500 / 65535);
    EXPECT_EQ(out[3], -32768 * 65000 / 65535);

    // Without a loop the rest is silence; with one it starts again.
    std::fill(std::begin(out), std::end(out), 7);
    EXPECT_EQ(SoundPlayer::mix(sound, 2, false, 0xFFFFFFFFu, out, 6), sound.size());
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[5], 0);
    EXPECT_EQ(SoundPlayer::mix(sound, 2, true, 0xFFFFFFFFu, out, 6), 4u);
    EXPECT_EQ(out[2], 1000);
    EXPECT_EQ(out[5], -32768);
    // Silent channels and an empty sound.
    SoundPlayer::mix(sound, 0, true, 0, out, 4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(SoundPlayer::mix({}, 0, true, 0xFFFFFFFFu, out, 4), 0u);
}

TEST(SoundMix, LevelsBecomeChannelValues)
{
    EXPECT_EQ(channel_from_level(100), 65000);
    EXPECT_EQ(channel_from_level(50), 32500);
    EXPECT_EQ(channel_from_level(101), 65535);
    EXPECT_EQ(channel_from_level(-3), 0);
    EXPECT_EQ(channel_from_level(2000000000), 65535);
}

// A 16-bit stereo wave file of `frames` frames at 8000 Hz: left i*10, right -i*10.
std::vector<int16_t> write_wave(const std::string& path, int frames)
{
    std::vector<int16_t> samples;
    for (int i = 0; i < frames; ++i) {
        samples.push_back(static_cast<int16_t>(100 + i * 10));
        samples.push_back(static_cast<int16_t>(-100 - i * 10));
    }
    auto u32 = [](std::ofstream& f, uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::ofstream& f, uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    std::ofstream f(path, std::ios::binary);
    const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
    f.write("RIFF", 4);
    u32(f, 36 + data_bytes);
    f.write("WAVEfmt ", 8);
    u32(f, 16);
    u16(f, 1);
    u16(f, 2);
    u32(f, 8000);
    u32(f, 8000 * 4);
    u16(f, 4);
    u16(f, 16);
    f.write("data", 4);
    u32(f, data_bytes);
    f.write(reinterpret_cast<const char*>(samples.data()), data_bytes);
    return samples;
}

std::vector<int16_t> read_samples(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty())
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The player writes through SDL's disk driver into a file of its own.
class SoundDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("ruk-sound-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        output = (folder / "out.raw").string();
        wave = (folder / "tone.wav").string();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    // Waits (bounded) until the output holds at least `samples` samples.
    // Waits until `samples` samples follow the silence the device may write
    // before the sound starts.
    bool wait_for_output(size_t samples)
    {
        for (int i = 0; i < 500; ++i) {
            const std::vector<int16_t> written = read_samples(output);
            const auto first = std::find_if(written.begin(), written.end(), [](int16_t s) { return s != 0; });
            if (static_cast<size_t>(written.end() - first) >= samples)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    fs::path folder;
    std::string output;
    std::string wave;
};

TEST_F(SoundDisk, SamplesReachTheDeviceScaledByTheirChannelsGain)
{
    const std::vector<int16_t> sound = write_wave(wave, 1500);
    {
        SoundPlayer player;
        player.set_volume(channel_from_level(50) | (uint32_t(channel_from_level(100)) << 16));
        ASSERT_TRUE(player.play(wave, false));
        ASSERT_TRUE(wait_for_output(sound.size()));
        for (int i = 0; i < 300 && player.playing(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(player.playing());
    }
    // The device may write silence before the sound starts.
    std::vector<int16_t> written = read_samples(output);
    const auto first = std::find_if(written.begin(), written.end(), [](int16_t s) { return s != 0; });
    written.erase(written.begin(), first);
    ASSERT_GE(written.size(), sound.size());
    for (size_t i = 0; i < sound.size(); i += 2) {
        ASSERT_EQ(written[i], sound[i] * 32500 / 65535) << "left sample " << i;
        ASSERT_EQ(written[i + 1], sound[i + 1] * 65000 / 65535) << "right sample " << i;
    }
    // After the sound only silence follows.
    for (size_t i = sound.size(); i < written.size(); ++i)
        ASSERT_EQ(written[i], 0) << i;
}

TEST_F(SoundDisk, LoopRepeatsUntilStopAndStopEndsTheOutput)
{
    const std::vector<int16_t> sound = write_wave(wave, 700);
    SoundPlayer player;
    ASSERT_TRUE(player.play(wave, true));
    ASSERT_TRUE(wait_for_output(sound.size() * 4));
    EXPECT_TRUE(player.playing());
    player.stop();
    EXPECT_FALSE(player.playing());
    // A buffer the device had in hand when the sound stopped may still reach
    // the file; after that nothing more may come.
    auto size = fs::file_size(output);
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto now = fs::file_size(output);
        if (now == size)
            break;
        size = now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(fs::file_size(output), size);

    std::vector<int16_t> written = read_samples(output);
    const auto first = std::find_if(written.begin(), written.end(), [](int16_t s) { return s != 0; });
    written.erase(written.begin(), first);
    ASSERT_GE(written.size(), sound.size() * 3);
    for (size_t i = 0; i < sound.size() * 2; ++i)
        ASSERT_EQ(written[i + sound.size()], written[i]) << i;
    EXPECT_EQ(written[sound.size()], sound[0] * 65535 / 65535);
}

TEST_F(SoundDisk, UnreadableFilesPlayNothing)
{
    std::ofstream(wave) << "not a wave";
    SoundPlayer player;
    EXPECT_FALSE(player.play(wave, true));
    EXPECT_FALSE(player.play((folder / "missing.wav").string(), false));
    EXPECT_FALSE(player.playing());
}

TEST(SoundFamily, VolumeScaleAndChannels)
{
    test::ScriptHarness h;
    ASSERT_TRUE(h.load("event.initialize()\n"
                       "&full = sound.volume()\n"
                       "sound.volume(100)\n"
                       "&a = sound.volume() \" \" sound.volume.left() \" \" sound.volume.right()\n"
                       "sound.volume.left(0)\n"
                       "&b = sound.volume() \" \" sound.volume.left() \" \" sound.volume.right()\n"
                       "sound.volume.right(250)\n"
                       "&c = sound.volume.right()\n"
                       "sound.volume.middle(20)\n"
                       "sound.volume(-4)\n"
                       "&d = sound.volume() \" \" sound.volume.right()\n"
                       "&e = sound.play(\"no such file.wav\") sound.stop() sound.other()\n"
                       "event.end()\n"));
    h.run();
    EXPECT_EQ(h.var("full"), "100");
    EXPECT_EQ(h.var("a"), "100 100 100");
    EXPECT_EQ(h.var("b"), "100 0 100");
    EXPECT_EQ(h.var("c"), "100"); // 65535 / 650
    EXPECT_EQ(h.var("d"), "0 0");
    EXPECT_EQ(h.var("e"), "");
    EXPECT_TRUE(h.errors().empty());
}

} // namespace
} // namespace ruk
