#include "sounddriver/sdl/sdlsoundlibrary.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <cstdio>
#include <vector>

#include "utility/fileio.h"

struct SoundStream {
    std::vector<unsigned char> bytes;  // the file; the decoder reads from it
    Mix_Music* music = nullptr;
    bool loop = false;
    bool started = false;
    Uint32 startTicks = 0;
    int lengthMs = 0;
};

namespace {

// ALSA writes every failure of its own to standard error, a screenful for
// a machine without a sound card, while the driver's one log line says all
// there is to say. SDL loads ALSA itself; the handler is set in the same
// library beforehand (it stays loaded, so SDL's load finds it as it is).
void QuietAlsaHandler(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
    static bool done = false;
    if (done) return;
    done = true;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa) return;
    typedef void (*Handler)(const char*, int, const char*, int, const char*, ...);
    typedef int (*SetHandler)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(QuietAlsaHandler);
}

}  // namespace

SdlSoundLibrary::SdlSoundLibrary() {}

SdlSoundLibrary::~SdlSoundLibrary() { Close(); }

bool SdlSoundLibrary::Init(int mixRate, int channels, unsigned int) {
    if (audioOpen) {
        error = SOUND_ERR_INIT_ALREADY;
        return false;
    }
    SilenceAlsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SOUND_ERR_INIT;
        return false;
    }
    subsystemStarted = true;
    Mix_Init(MIX_INIT_MP3);
    if (Mix_OpenAudio(mixRate, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted = false;
        error = SOUND_ERR_INIT;
        return false;
    }
    Mix_AllocateChannels(channels);
    audioOpen = true;
    error = SOUND_ERR_NONE;
    return true;
}

void SdlSoundLibrary::Close() {
    if (audioOpen) {
        Mix_HaltMusic();
        Mix_CloseAudio();
        Mix_Quit();
        audioOpen = false;
    }
    if (subsystemStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted = false;
    }
    playing = nullptr;
}

SoundStream* SdlSoundLibrary::StreamOpenFile(const char* path, int mode, int) {
    if (!audioOpen) {
        error = SOUND_ERR_UNINITIALIZED;
        return nullptr;
    }
    SoundStream* stream = new SoundStream;
    if (!path || !ReadWholeFile(path, &stream->bytes)) {
        delete stream;
        error = SOUND_ERR_FILE_NOT_FOUND;
        return nullptr;
    }
    SDL_RWops* rw = stream->bytes.empty()
                        ? nullptr
                        : SDL_RWFromConstMem(stream->bytes.data(), static_cast<int>(stream->bytes.size()));
    stream->music = rw ? Mix_LoadMUS_RW(rw, 1) : nullptr;
    if (!stream->music) {
        delete stream;
        error = SOUND_ERR_FILE_FORMAT;
        return nullptr;
    }
    stream->loop = (mode & SOUND_STREAM_LOOP) != 0;
    double seconds = Mix_MusicDuration(stream->music);
    stream->lengthMs = seconds > 0 ? static_cast<int>(seconds * 1000.0) : 0;
    error = SOUND_ERR_NONE;
    return stream;
}

int SdlSoundLibrary::StreamPlay(int, SoundStream* stream) {
    if (!audioOpen || !stream) {
        error = SOUND_ERR_INVALID_PARAM;
        return -1;
    }
    if (Mix_PlayMusic(stream->music, stream->loop ? -1 : 1) != 0) {
        error = SOUND_ERR_PLAY;
        return -1;
    }
    stream->started = true;
    stream->startTicks = SDL_GetTicks();
    playing = stream;
    return 0;
}

int SdlSoundLibrary::StreamGetLengthMs(SoundStream* stream) { return stream ? stream->lengthMs : 0; }

// The mixer reports the decoder's position; a stream that played to its end
// (or lost the music slot) reports its full length, one never played 0.
int SdlSoundLibrary::StreamGetTime(SoundStream* stream) {
    if (!stream || !stream->started) return 0;
    if (stream != playing || !Mix_PlayingMusic()) return stream->lengthMs;
    double position = Mix_GetMusicPosition(stream->music);
    if (position >= 0) return static_cast<int>(position * 1000.0);
    // No position from this decoder: count time since the start.
    Uint32 elapsed = SDL_GetTicks() - stream->startTicks;
    if (stream->lengthMs <= 0) return static_cast<int>(elapsed);
    if (stream->loop) return static_cast<int>(elapsed % static_cast<Uint32>(stream->lengthMs));
    return elapsed < static_cast<Uint32>(stream->lengthMs) ? static_cast<int>(elapsed) : stream->lengthMs;
}

bool SdlSoundLibrary::StreamClose(SoundStream* stream) {
    if (!stream) return false;
    if (stream == playing) {
        Mix_HaltMusic();
        playing = nullptr;
    }
    Mix_FreeMusic(stream->music);
    delete stream;
    return true;
}

SoundDriver* CreateSdlSoundDriver() { return new SoundDriver(new SdlSoundLibrary()); }
