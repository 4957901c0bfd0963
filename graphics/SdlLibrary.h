// SDL's audio functions, opened from libSDL2 the first time a sound plays.
#pragma once

#include "system/DynamicLibrary.h"

#include <SDL.h>

namespace ruk {

// The SDL functions the sound player calls, each with SDL's own signature.
struct SdlFunctions {
    decltype(&SDL_InitSubSystem) init_subsystem = nullptr;
    decltype(&SDL_QuitSubSystem) quit_subsystem = nullptr;
    decltype(&SDL_SetHint) set_hint = nullptr;
    decltype(&SDL_OpenAudioDevice) open_audio_device = nullptr;
    decltype(&SDL_CloseAudioDevice) close_audio_device = nullptr;
    decltype(&SDL_PauseAudioDevice) pause_audio_device = nullptr;
    decltype(&SDL_LockAudioDevice) lock_audio_device = nullptr;
    decltype(&SDL_UnlockAudioDevice) unlock_audio_device = nullptr;
    decltype(&SDL_RWFromFile) rw_from_file = nullptr;
    decltype(&SDL_LoadWAV_RW) load_wav_rw = nullptr;
    decltype(&SDL_FreeWAV) free_wav = nullptr;
    decltype(&SDL_BuildAudioCVT) build_audio_cvt = nullptr;
    decltype(&SDL_ConvertAudio) convert_audio = nullptr;
};

// libSDL2, opened on the first call of functions().
class SdlLibrary {
public:
    static constexpr const char* DefaultName = "libSDL2-2.0.so.0";

    explicit SdlLibrary(const char* soname = DefaultName);
    // The process's one SDL, not yet opened until someone asks.
    static SdlLibrary& shared();

    // The function table, or nullptr when SDL cannot be loaded (said once).
    const SdlFunctions* functions();

private:
    DynamicLibrary m_library;
    SdlFunctions m_functions;
};

} // namespace ruk
