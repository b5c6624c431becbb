// The sound driver: its stream state over a scripted library, the error
// texts, the intro-then-loop check the game frame makes once a second, and
// the SDL2_mixer library on the dummy audio driver.
#include "sounddriver/sounddriver.h"

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "gui/gui_helpers.h"
#include "sounddriver/sdl/sdlsoundlibrary.h"

using guitest::LogCapture;

struct SoundStream {
    std::string path;
    int mode;
};

namespace {

// A library that plays nothing: it records the calls and answers as told.
class FakeLibrary : public SoundLibrary {
public:
    bool Init(int rate, int channels, unsigned int flags) override {
        calls.push_back("Init(" + std::to_string(rate) + "," + std::to_string(channels) + "," +
                        std::to_string(flags) + ")");
        if (!initOk) error = SOUND_ERR_INIT;
        return initOk;
    }
    void Close() override { calls.push_back("Close()"); }
    int GetError() override { return error; }
    SoundStream* StreamOpenFile(const char* path, int mode, int length) override {
        calls.push_back(std::string("Open(") + path + "," + std::to_string(mode) + "," +
                        std::to_string(length) + ")");
        if (openError) {
            error = openError;
            return nullptr;
        }
        streams.push_back(std::unique_ptr<SoundStream>(new SoundStream{path, mode}));
        return streams.back().get();
    }
    int StreamPlay(int channel, SoundStream* s) override {
        calls.push_back("Play(" + std::to_string(channel) + "," + s->path + ")");
        return 0;
    }
    int StreamGetLengthMs(SoundStream* s) override {
        calls.push_back("Length(" + s->path + ")");
        return lengthMs;
    }
    int StreamGetTime(SoundStream* s) override {
        calls.push_back("Time(" + s->path + ")");
        return timeMs;
    }
    bool StreamClose(SoundStream* s) override {
        calls.push_back("CloseStream(" + s->path + ")");
        return true;
    }

    bool initOk = true;
    int error = 0;
    int openError = 0;
    int lengthMs = 60000;
    int timeMs = 0;
    std::vector<std::string> calls;
    std::vector<std::unique_ptr<SoundStream>> streams;
};

TEST(SoundErrors, EveryCodeHasItsText) {
    EXPECT_STREQ(SoundErrorText(0), "No errors");
    EXPECT_STREQ(SoundErrorText(1), "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
    EXPECT_STREQ(SoundErrorText(2), "This command failed because FSOUND_Init was not called");
    EXPECT_STREQ(SoundErrorText(3), "Error initializing output device.");
    EXPECT_STREQ(SoundErrorText(4), "The output device is already in use and cannot be reused.");
    EXPECT_STREQ(SoundErrorText(5), "Playing the sound failed.");
    EXPECT_STREQ(SoundErrorText(6),
                 "Soundcard does not support the features needed for this soundsystem (16bit stereo output)");
    EXPECT_STREQ(SoundErrorText(7), "Error setting cooperative level for hardware.");
    EXPECT_STREQ(SoundErrorText(8), "Error creating hardware sound buffer.");
    EXPECT_STREQ(SoundErrorText(9), "File not found");
    EXPECT_STREQ(SoundErrorText(10), "Unknown file format");
    EXPECT_STREQ(SoundErrorText(11), "Error loading file");
    EXPECT_STREQ(SoundErrorText(12), "Not enough memory ");
    EXPECT_STREQ(SoundErrorText(13), "The version number of this file format is not supported");
    EXPECT_STREQ(SoundErrorText(14), "An invalid parameter was passed to this function");
    EXPECT_STREQ(SoundErrorText(15), "Tried to use an EAX command on a non EAX enabled channel or output.");
    EXPECT_STREQ(SoundErrorText(16),
                 "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.");
    EXPECT_STREQ(SoundErrorText(17), "Failed to allocate a new channel");
    EXPECT_STREQ(SoundErrorText(18), "Recording not supported on this device");
    EXPECT_STREQ(SoundErrorText(19), "Required Mediaplayer codec is not installed");
    EXPECT_STREQ(SoundErrorText(20), "Unknown error");
    EXPECT_STREQ(SoundErrorText(-1), "Unknown error");
    EXPECT_STREQ(SoundErrorText(1000000), "Unknown error");
}

TEST(SoundDriverState, AFailedStartIsLoggedAndEverythingElseDoesNothing) {
    LogCapture log;
    FakeLibrary* library = new FakeLibrary;
    library->initOk = false;
    {
        SoundDriver driver(library);
        EXPECT_FALSE(driver.Ok());
        EXPECT_TRUE(log.Has("FMOD error 'Error initializing output device.'\n"));
        driver.Play("music/intro.mp3", false);
        EXPECT_FALSE(driver.IsPlaying());
        driver.Stop();
        EXPECT_EQ(library->calls, (std::vector<std::string>{"Init(44100,32,2)"}));
    }
    SoundDriver none(nullptr);  // no library at all: logged the same way
    EXPECT_FALSE(none.Ok());
    EXPECT_EQ(log.Count("FMOD error 'Error initializing output device.'"), 2);
}

TEST(SoundDriverState, PlayOnceOrLoopAndThePlayingWindow) {
    LogCapture log;
    FakeLibrary* library = new FakeLibrary;
    SoundDriver driver(library);
    ASSERT_TRUE(driver.Ok());
    driver.Play("intro.mp3", false);
    EXPECT_EQ(library->calls, (std::vector<std::string>{"Init(44100,32,2)", "Open(intro.mp3,0,0)",
                                                        "Play(-1,intro.mp3)", "Length(intro.mp3)"}));
    EXPECT_EQ(driver.Length(), 60000);
    library->timeMs = 0;  // not started yet
    EXPECT_FALSE(driver.IsPlaying());
    library->timeMs = 1;
    EXPECT_TRUE(driver.IsPlaying());
    library->timeMs = 59999;
    EXPECT_TRUE(driver.IsPlaying());
    library->timeMs = 60000;  // at the end
    EXPECT_FALSE(driver.IsPlaying());

    library->calls.clear();
    driver.Stop();
    EXPECT_EQ(library->calls, (std::vector<std::string>{"CloseStream(intro.mp3)"}));
    EXPECT_FALSE(driver.IsPlaying());  // a closed stream is not asked again
    EXPECT_EQ(driver.Stream(), nullptr);
    driver.Stop();
    EXPECT_EQ(library->calls.size(), 1u);

    driver.Play("loop.mp3", true);
    EXPECT_EQ(library->calls[1], "Open(loop.mp3,2,0)");
    // Playing over an open stream closes it first.
    library->calls.clear();
    driver.Play("loop.mp3", true);
    EXPECT_EQ(library->calls.front(), "CloseStream(loop.mp3)");
}

TEST(SoundDriverState, AFileThatDoesNotOpenLogsTheErrorText) {
    LogCapture log;
    FakeLibrary* library = new FakeLibrary;
    SoundDriver driver(library);
    library->openError = SOUND_ERR_FILE_NOT_FOUND;
    driver.Play("/nowhere/intro.mp3", false);
    EXPECT_TRUE(log.Has("Error - FMOD could not load mp3: 'File not found'\n"));
    EXPECT_FALSE(log.Has("/nowhere"));  // the text, not the file name
    EXPECT_EQ(driver.Stream(), nullptr);
    EXPECT_EQ(driver.Length(), 0);
    EXPECT_FALSE(driver.IsPlaying());
    library->openError = 42;
    driver.Play("x.mp3", true);
    EXPECT_TRUE(log.Has("Error - FMOD could not load mp3: 'Unknown error'"));
}

// The driver owns its library: the destructor closes the open stream, shuts
// the library down and frees it (the fake hands its calls out as it goes).
struct WatchedLibrary : FakeLibrary {
    std::vector<std::string>* out = nullptr;
    ~WatchedLibrary() override { *out = calls; }
};

TEST(SoundDriverState, TheDestructorShutsTheLibraryDown) {
    std::vector<std::string> seen;
    WatchedLibrary* library = new WatchedLibrary;
    library->out = &seen;
    {
        SoundDriver driver(library);
        driver.Play("b.mp3", false);
    }
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2], "CloseStream(b.mp3)");
    EXPECT_EQ(seen.back(), "Close()");
}

// The game frame's music: the intro once, then once a second the loop when
// nothing plays; a loop that plays is left alone.
TEST(SoundDriverState, TheIntroPlaysOnceThenTheLoopFollows) {
    LogCapture log;
    FakeLibrary* library = new FakeLibrary;
    SoundDriver driver(library);
    driver.Play("music/intro.mp3", false);
    auto checkOnce = [&]() {
        if (!driver.IsPlaying()) {
            driver.Stop();
            driver.Play("music/loop.mp3", true);
        }
    };
    library->timeMs = 1000;
    checkOnce();
    EXPECT_EQ(library->streams.size(), 1u);
    library->timeMs = 60000;  // the intro ended
    checkOnce();
    ASSERT_EQ(library->streams.size(), 2u);
    EXPECT_EQ(library->streams[1]->path, "music/loop.mp3");
    EXPECT_EQ(library->streams[1]->mode, SOUND_STREAM_LOOP);
    library->timeMs = 30000;
    for (int second = 0; second < 5; ++second) checkOnce();
    EXPECT_EQ(library->streams.size(), 2u);
    // A missing loop file is tried again every second.
    library->openError = SOUND_ERR_FILE_NOT_FOUND;
    library->timeMs = 60000;
    checkOnce();
    checkOnce();
    EXPECT_EQ(log.Count("Error - FMOD could not load mp3: 'File not found'"), 2);
}

// A short mono 16-bit WAV the mixer's music stream can play.
std::string WriteWav(double seconds) {
    const int rate = 22050;
    int samples = static_cast<int>(rate * seconds);
    std::string data;
    for (int i = 0; i < samples; ++i) {
        int16_t s = static_cast<int16_t>(3000 * std::sin(i * 0.05));
        data += static_cast<char>(s & 0xFF);
        data += static_cast<char>((s >> 8) & 0xFF);
    }
    auto u32 = [](uint32_t v) {
        std::string b;
        for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
        return b;
    };
    auto u16 = [](uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; };
    std::string wav = "RIFF" + u32(36 + static_cast<uint32_t>(data.size())) + "WAVEfmt " + u32(16) + u16(1) +
                      u16(1) + u32(rate) + u32(rate * 2) + u16(2) + u16(16) + "data" +
                      u32(static_cast<uint32_t>(data.size())) + data;
    std::string path = guitest::TempPath("tone.wav");
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(wav.data(), 1, wav.size(), f);
        std::fclose(f);
    }
    return path;
}

TEST(SdlSound, PlaysAStreamToItsEndOnTheDummyDevice) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    LogCapture log;
    std::unique_ptr<SoundDriver> driver(CreateSdlSoundDriver());
    ASSERT_TRUE(driver->Ok()) << log.Text();

    driver->Play(guitest::TempPath("missing.mp3").c_str(), false);
    EXPECT_TRUE(log.Has("Error - FMOD could not load mp3: 'File not found'"));
    std::string garbage = guitest::TempPath("garbage.mp3");
    FILE* f = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("this is no music at all", f);
    std::fclose(f);
    driver->Play(garbage.c_str(), false);
    EXPECT_TRUE(log.Has("Error - FMOD could not load mp3: 'Unknown file format'"));
    std::remove(garbage.c_str());

    std::string wav = WriteWav(0.4);
    driver->Play(wav.c_str(), false);
    ASSERT_NE(driver->Stream(), nullptr);
    EXPECT_NEAR(driver->Length(), 400, 5);
    bool wasPlaying = false;
    Uint32 start = SDL_GetTicks();
    while (SDL_GetTicks() - start < 3000) {
        if (driver->IsPlaying())
            wasPlaying = true;
        else if (wasPlaying)
            break;
        SDL_Delay(10);
    }
    EXPECT_TRUE(wasPlaying);
    EXPECT_FALSE(driver->IsPlaying());  // played once, to its end

    // Looping keeps it inside its length.
    driver->Stop();
    driver->Play(wav.c_str(), true);
    SDL_Delay(700);
    EXPECT_TRUE(driver->IsPlaying());
    driver->Stop();
    EXPECT_FALSE(driver->IsPlaying());
    std::remove(wav.c_str());
}

TEST(SdlSound, NoAudioDeviceIsLoggedAndTheGameGoesOn) {
    setenv("SDL_AUDIODRIVER", "no_such_audio_driver", 1);
    LogCapture log;
    std::unique_ptr<SoundDriver> driver(CreateSdlSoundDriver());
    EXPECT_FALSE(driver->Ok());
    EXPECT_TRUE(log.Has("FMOD error 'Error initializing output device.'"));
    driver->Play("music/intro.mp3", false);
    EXPECT_FALSE(driver->IsPlaying());
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
