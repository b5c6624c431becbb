// The music library on Linux: SDL2_mixer's music stream behind the engine's
// SoundLibrary. One stream plays at a time (the mixer has one music slot);
// files are read through the engine's file-open function into memory and
// decoded from there.
#ifndef ZENDAR_SOUNDDRIVER_SDL_SDLSOUNDLIBRARY_H
#define ZENDAR_SOUNDDRIVER_SDL_SDLSOUNDLIBRARY_H

#include "sounddriver/sounddriver.h"

class SdlSoundLibrary : public SoundLibrary {
public:
    SdlSoundLibrary();
    ~SdlSoundLibrary() override;

    bool Init(int mixRate, int channels, unsigned int flags) override;
    void Close() override;
    int GetError() override { return error; }
    SoundStream* StreamOpenFile(const char* path, int mode, int length) override;
    int StreamPlay(int channel, SoundStream* stream) override;
    int StreamGetLengthMs(SoundStream* stream) override;
    int StreamGetTime(SoundStream* stream) override;
    bool StreamClose(SoundStream* stream) override;

private:
    int error = 0;
    bool audioOpen = false;
    bool subsystemStarted = false;
    SoundStream* playing = nullptr;
};

// The sound driver start-up creates on Linux (logs and does nothing when no
// audio device can be opened).
SoundDriver* CreateSdlSoundDriver();

#endif
