#include "sounddriver/sounddriver.h"

#include "utility/log.h"

SoundDriver* g_sounddriver = nullptr;

namespace {

const char* const kErrorTexts[] = {
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
    "Required Mediaplayer codec is not installed",
};

constexpr int kErrorTextCount = static_cast<int>(sizeof kErrorTexts / sizeof kErrorTexts[0]);

}  // namespace

const char* SoundErrorText(int code) {
    if (code < 0 || code >= kErrorTextCount) return "Unknown error";
    return kErrorTexts[code];
}

SoundDriver::SoundDriver(SoundLibrary* lib) : library(lib) {
    ok = 1;
    length = 0;
    if (!library || !library->Init(44100, 32, 2)) {
        LogLine("FMOD error '%s'", SoundErrorText(library ? library->GetError() : SOUND_ERR_INIT));
        ok = 0;
    }
}

SoundDriver::~SoundDriver() {
    if (library) {
        if (ok && stream) library->StreamClose(stream);
        library->Close();
    }
    delete library;
}

void SoundDriver::Play(const char* path, bool loop) {
    if (!ok) return;
    // The game stops a stream before playing the next; one left open would
    // keep its decoder (and, with some libraries, its channel) for good.
    if (stream) library->StreamClose(stream);
    stream = nullptr;
    length = 0;
    stream = library->StreamOpenFile(path ? path : "", loop ? SOUND_STREAM_LOOP : SOUND_STREAM_ONCE, 0);
    if (!stream) {
        LogLine("Error - FMOD could not load mp3: '%s'", SoundErrorText(library->GetError()));
        return;
    }
    library->StreamPlay(-1, stream);
    length = library->StreamGetLengthMs(stream);
}

void SoundDriver::Stop() {
    if (!ok || !stream) return;
    library->StreamClose(stream);
    // A closed handle must not be asked for its position again.
    stream = nullptr;
    length = 0;
}

bool SoundDriver::IsPlaying() {
    if (!ok || !stream) return false;
    int time = library->StreamGetTime(stream);
    return time > 0 && time < length;
}
