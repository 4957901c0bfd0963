// SDL's audio functions, opened from libSDL2 the first time a sound plays.
#include "graphics/SdlLibrary.h"

namespace ruk {

SdlLibrary::SdlLibrary(const char* soname) : m_library(soname, "sound")
{
}

SdlLibrary& SdlLibrary::shared()
{
    static SdlLibrary library;
    return library;
}

const SdlFunctions* SdlLibrary::functions()
{
    const bool ok = m_library.open([this](DynamicLibrary& lib) {
        SdlFunctions& f = m_functions;
        lib.symbol(f.init_subsystem, "SDL_InitSubSystem");
        lib.symbol(f.quit_subsystem, "SDL_QuitSubSystem");
        lib.symbol(f.set_hint, "SDL_SetHint");
        lib.symbol(f.open_audio_device, "SDL_OpenAudioDevice");
        lib.symbol(f.close_audio_device, "SDL_CloseAudioDevice");
        lib.symbol(f.pause_audio_device, "SDL_PauseAudioDevice");
        lib.symbol(f.lock_audio_device, "SDL_LockAudioDevice");
        lib.symbol(f.unlock_audio_device, "SDL_UnlockAudioDevice");
        lib.symbol(f.rw_from_file, "SDL_RWFromFile");
        lib.symbol(f.load_wav_rw, "SDL_LoadWAV_RW");
        lib.symbol(f.free_wav, "SDL_FreeWAV");
        lib.symbol(f.build_audio_cvt, "SDL_BuildAudioCVT");
        lib.symbol(f.convert_audio, "SDL_ConvertAudio");
    });
    return ok ? &m_functions : nullptr;
}

} // namespace ruk
