// The music library of the Windows build: an MP3 file is decoded to PCM with
// the system's ACM codec when its stream is opened and played from memory
// through waveOut, once or looping. Without an audio device (waveOut cannot
// be opened) Init fails, the driver logs it and the game goes on silently.
#ifndef ZENDAR_SOUNDDRIVER_WIN32_WIN32SOUNDLIBRARY_H
#define ZENDAR_SOUNDDRIVER_WIN32_WIN32SOUNDLIBRARY_H

#include <cstdint>
#include <string>
#include <vector>

#include "sounddriver/sounddriver.h"

// The first MPEG audio layer III frame of a file (after an ID3v2 tag).
struct Mp3FrameInfo {
    size_t offset = 0;  // of the frame header
    int version = 0;    // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
    int bitrate = 0;    // kbit/s
    int sampleRate = 0;
    int channels = 0;
    int frameBytes = 0;  // without padding
};

// False when no layer III frame header is found.
bool FindMp3Frame(const std::vector<unsigned char>& bytes, Mp3FrameInfo* info);

// Decodes a whole MP3 file with ACM into 16-bit PCM. False with a one-line
// reason when the codec refuses the data.
struct DecodedAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<unsigned char> pcm;  // 16-bit little-endian, interleaved
    int LengthMs() const;
};
bool DecodeMp3(const std::vector<unsigned char>& bytes, DecodedAudio* out, std::string* error);

class Win32SoundLibrary : public SoundLibrary {
public:
    Win32SoundLibrary();
    ~Win32SoundLibrary() override;

    bool Init(int mixRate, int channels, unsigned int flags) override;
    void Close() override;
    int GetError() override { return error_; }
    SoundStream* StreamOpenFile(const char* path, int mode, int length) override;
    int StreamPlay(int channel, SoundStream* stream) override;
    int StreamGetLengthMs(SoundStream* stream) override;
    int StreamGetTime(SoundStream* stream) override;
    bool StreamClose(SoundStream* stream) override;

private:
    void Halt(SoundStream* stream);

    int error_ = SOUND_ERR_NONE;
    bool open_ = false;
};

// The sound driver start-up creates on Windows.
SoundDriver* CreateWin32SoundDriver();

#endif
