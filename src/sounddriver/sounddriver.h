// Music: one streamed MP3 file at a time, played once or looped. The engine
// side keeps the stream state and the error texts; the platform supplies the
// audio library behind SoundLibrary (SDL2_mixer on Linux, see
// sounddriver/sdl/sdlsoundlibrary.h). No sound effects, positional audio or
// volume control.
#ifndef ZENDAR_SOUNDDRIVER_SOUNDDRIVER_H
#define ZENDAR_SOUNDDRIVER_SOUNDDRIVER_H

#include <cstdint>

// A stream handle of the library.
struct SoundStream;

// Stream open modes.
enum : int {
    SOUND_STREAM_ONCE = 0,
    SOUND_STREAM_LOOP = 2,  // loop normally
};

// Error codes of the library, see SoundErrorText.
enum : int {
    SOUND_ERR_NONE = 0,
    SOUND_ERR_INIT_ALREADY = 1,
    SOUND_ERR_UNINITIALIZED = 2,
    SOUND_ERR_INIT = 3,
    SOUND_ERR_ALLOCATED = 4,
    SOUND_ERR_PLAY = 5,
    SOUND_ERR_OUTPUT_FORMAT = 6,
    SOUND_ERR_COOPERATIVE_LEVEL = 7,
    SOUND_ERR_CREATE_BUFFER = 8,
    SOUND_ERR_FILE_NOT_FOUND = 9,
    SOUND_ERR_FILE_FORMAT = 10,
    SOUND_ERR_FILE_BAD = 11,
    SOUND_ERR_MEMORY = 12,
    SOUND_ERR_VERSION = 13,
    SOUND_ERR_INVALID_PARAM = 14,
    SOUND_ERR_NO_EAX = 15,
    SOUND_ERR_NO_EAX2 = 16,
    SOUND_ERR_CHANNEL_ALLOC = 17,
    SOUND_ERR_RECORD = 18,
    SOUND_ERR_MEDIAPLAYER = 19,
};

// The text the log shows for a library error code ("Unknown error" for codes
// outside the table).
const char* SoundErrorText(int code);

// The handful of streaming calls the driver needs, shaped after the vendor
// library the engine was designed for.
class SoundLibrary {
public:
    virtual ~SoundLibrary() {}
    // mixing rate, software channels, flags; true on success.
    virtual bool Init(int mixRate, int channels, unsigned int flags) = 0;
    virtual void Close() = 0;
    // The code of the last failure.
    virtual int GetError() = 0;
    // mode: SOUND_STREAM_ONCE or SOUND_STREAM_LOOP; null on failure.
    virtual SoundStream* StreamOpenFile(const char* path, int mode, int length) = 0;
    // channel -1: any free channel.
    virtual int StreamPlay(int channel, SoundStream* stream) = 0;
    virtual int StreamGetLengthMs(SoundStream* stream) = 0;
    // The play position in milliseconds.
    virtual int StreamGetTime(SoundStream* stream) = 0;
    virtual bool StreamClose(SoundStream* stream) = 0;
};

class SoundDriver {
public:
    // Takes ownership of the library and initialises it (44100 Hz, 32
    // channels); a failure is logged and leaves the driver doing nothing.
    explicit SoundDriver(SoundLibrary* library);
    ~SoundDriver();
    SoundDriver(const SoundDriver&) = delete;
    SoundDriver& operator=(const SoundDriver&) = delete;

    // Opens and plays path once or looping (a stream still open is closed
    // first); a file that does not open is logged.
    void Play(const char* path, bool loop);
    // Closes the current stream.
    void Stop();
    // True while the position lies strictly inside the stream's length.
    bool IsPlaying();

    bool Ok() const { return ok != 0; }
    SoundStream* Stream() const { return stream; }
    int32_t Length() const { return length; }

private:
    SoundLibrary* library;
    uint8_t ok = 0;
    SoundStream* stream = nullptr;
    int32_t length = 0;
};

// The process-wide sound driver; null until start-up creates it.
extern SoundDriver* g_sounddriver;

#endif
