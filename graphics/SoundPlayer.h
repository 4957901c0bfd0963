// Plays one wave file at a time through SDL audio, with a gain per channel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ruk {

class SdlLibrary;
struct SdlFunctions;

// One sound at a time: a new `play` replaces the sound that is playing. The
// file is decoded by SDL and converted to signed 16-bit stereo at its own
// sample rate; the device is opened for exactly that format, so the samples
// reach the device unchanged apart from the gain.
//
// Volume. Both channels are kept as one 32-bit value, the low 16 bits the
// left channel and the high 16 bits the right, each 0 (silent) to 65535
// (full). Every sample is multiplied by its channel's value / 65535 as it is
// handed to the device, so a change of volume is heard at once.
//
// Device. SDL_AUDIODRIVER chooses the driver when it is set. When it is not
// and no sound device opens (a server, a CI machine), the player falls back
// to SDL's "dummy" driver, which consumes the sound at its real pace and
// discards it; scripts see no difference.
//
// Threads. SDL pulls samples on its own audio thread; every change of the
// playing sound or of the volume is made with that thread locked out.
// The destructor stops the sound and closes the device.
//
// SDL itself is opened on the first `play`, not before: a player that never
// plays maps nothing. Without SDL every `play` fails as it does without a
// sound device.
class SoundPlayer {
public:
    SoundPlayer();
    explicit SoundPlayer(SdlLibrary& library);
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Starts playing a wave file, repeating it until stopped when `loop`.
    // False (and the playing sound stopped) when the file cannot be decoded
    // or no audio driver at all can be opened.
    bool play(const std::string& path, bool loop);
    // Stops the sound and closes the device; nothing happens when none plays.
    void stop();
    // True while a sound is being handed to the device.
    bool playing() const;

    uint32_t volume() const { return m_volume; }
    void set_volume(uint32_t volume);
    uint16_t left() const { return static_cast<uint16_t>(m_volume & 0xFFFF); }
    uint16_t right() const { return static_cast<uint16_t>(m_volume >> 16); }

    // Fills `out` (interleaved left/right) from `samples` starting at
    // `position`, wrapping round when `loop`, with the gains of `volume`;
    // returns the new position (samples.size() once a sound without loop
    // has ended, after which the rest of `out` is silence). Plain and
    // stateless so that it can be checked without a device.
    static size_t mix(const std::vector<int16_t>& samples, size_t position, bool loop, uint32_t volume,
                      int16_t* out, size_t out_count);

private:
    static void callback(void* self, uint8_t* stream, int length);
    bool load_sdl();
    bool open_audio();
    bool open_device(int frequency);
    void close_device();

    SdlLibrary& m_library;
    const SdlFunctions* m_sdl = nullptr; // set once SDL is loaded
    bool m_audio_ready = false;
    uint32_t m_device = 0;
    int m_device_frequency = 0;
    std::vector<int16_t> m_samples; // interleaved stereo
    size_t m_position = 0;
    bool m_loop = false;
    uint32_t m_volume = 0xFFFFFFFFu;
};

} // namespace ruk
