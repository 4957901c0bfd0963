// The wave player on SDL audio.
#include "graphics/SoundPlayer.h"

#include "graphics/SdlLibrary.h"

#include <cstdlib>
#include <cstring>

namespace ruk {

SoundPlayer::SoundPlayer() : SoundPlayer(SdlLibrary::shared())
{
}

SoundPlayer::SoundPlayer(SdlLibrary& library) : m_library(library)
{
}

SoundPlayer::~SoundPlayer()
{
    close_device();
    if (m_audio_ready)
        m_sdl->quit_subsystem(SDL_INIT_AUDIO);
}

size_t SoundPlayer::mix(const std::vector<int16_t>& samples, size_t position, bool loop, uint32_t volume,
                        int16_t* out, size_t out_count)
{
    const int64_t gain[2] = {static_cast<int64_t>(volume & 0xFFFF), static_cast<int64_t>(volume >> 16)};
    const size_t total = samples.size();
    for (size_t i = 0; i < out_count; ++i) {
        if (position >= total) {
            if (!loop || total == 0) {
                std::memset(out + i, 0, (out_count - i) * sizeof(int16_t));
                return total;
            }
            position = 0;
        }
        // Interleaved stereo: even places are left, odd places right.
        out[i] = static_cast<int16_t>(samples[position] * gain[position & 1] / 65535);
        ++position;
    }
    return position;
}

void SoundPlayer::callback(void* self, uint8_t* stream, int length)
{
    auto* player = static_cast<SoundPlayer*>(self);
    player->m_position = mix(player->m_samples, player->m_position, player->m_loop, player->m_volume,
                             reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / sizeof(int16_t));
}

bool SoundPlayer::load_sdl()
{
    if (!m_sdl)
        m_sdl = m_library.functions();
    return m_sdl != nullptr;
}

bool SoundPlayer::open_audio()
{
    if (m_audio_ready)
        return true;
    m_audio_ready = m_sdl->init_subsystem(SDL_INIT_AUDIO) == 0;
    return m_audio_ready;
}

// Opens the device for 16-bit stereo at `frequency`. Without a chosen driver
// and without a device that opens, the dummy driver takes the sound.
bool SoundPlayer::open_device(int frequency)
{
    SDL_AudioSpec wanted{};
    wanted.freq = frequency;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = &SoundPlayer::callback;
    wanted.userdata = this;
    const bool driver_chosen = std::getenv("SDL_AUDIODRIVER") != nullptr;
    if (!open_audio() && driver_chosen)
        return false;
    if (m_audio_ready)
        m_device = m_sdl->open_audio_device(nullptr, 0, &wanted, nullptr, 0);
    if (m_device == 0 && !driver_chosen) {
        if (m_audio_ready)
            m_sdl->quit_subsystem(SDL_INIT_AUDIO);
        m_sdl->set_hint(SDL_HINT_AUDIODRIVER, "dummy");
        m_audio_ready = m_sdl->init_subsystem(SDL_INIT_AUDIO) == 0;
        if (m_audio_ready)
            m_device = m_sdl->open_audio_device(nullptr, 0, &wanted, nullptr, 0);
    }
    m_device_frequency = m_device ? frequency : 0;
    return m_device != 0;
}

void SoundPlayer::close_device()
{
    if (m_device == 0)
        return;
    m_sdl->close_audio_device(m_device); // waits for the audio thread to end
    m_device = 0;
    m_device_frequency = 0;
}

bool SoundPlayer::play(const std::string& path, bool loop)
{
    stop();
    if (!load_sdl())
        return false;
    if (!open_audio() && std::getenv("SDL_AUDIODRIVER") != nullptr)
        return false;
    SDL_AudioSpec loaded{};
    Uint8* data = nullptr;
    Uint32 length = 0;
    SDL_RWops* file = m_sdl->rw_from_file(path.c_str(), "rb");
    if (!file || !m_sdl->load_wav_rw(file, 1, &loaded, &data, &length))
        return false;
    // Whatever the file holds becomes 16-bit stereo at the file's own rate.
    SDL_AudioCVT convert;
    if (m_sdl->build_audio_cvt(&convert, loaded.format, loaded.channels, loaded.freq, AUDIO_S16SYS, 2, loaded.freq) < 0) {
        m_sdl->free_wav(data);
        return false;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(length) * static_cast<size_t>(convert.len_mult));
    std::memcpy(buffer.data(), data, length);
    m_sdl->free_wav(data);
    convert.buf = buffer.data();
    convert.len = static_cast<int>(length);
    if (convert.needed && m_sdl->convert_audio(&convert) != 0)
        return false;
    const size_t bytes = convert.needed ? static_cast<size_t>(convert.len_cvt) : length;
    std::vector<int16_t> samples(bytes / sizeof(int16_t) / 2 * 2);
    std::memcpy(samples.data(), buffer.data(), samples.size() * sizeof(int16_t));
    // No device is open here, so no audio thread reads these yet.
    m_samples = std::move(samples);
    m_position = 0;
    m_loop = loop;
    if (!open_device(loaded.freq)) {
        m_samples.clear();
        return false;
    }
    m_sdl->pause_audio_device(m_device, 0);
    return true;
}

void SoundPlayer::stop()
{
    close_device();
    m_samples.clear();
    m_position = 0;
    m_loop = false;
}

bool SoundPlayer::playing() const
{
    if (m_device == 0)
        return false;
    m_sdl->lock_audio_device(m_device);
    const bool more = m_loop ? !m_samples.empty() : m_position < m_samples.size();
    m_sdl->unlock_audio_device(m_device);
    return more;
}

void SoundPlayer::set_volume(uint32_t volume)
{
    if (m_device)
        m_sdl->lock_audio_device(m_device);
    m_volume = volume;
    if (m_device)
        m_sdl->unlock_audio_device(m_device);
}

} // namespace ruk
