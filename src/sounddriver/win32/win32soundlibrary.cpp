#include "sounddriver/win32/win32soundlibrary.h"

#include <windows.h>
// windows.h first: the multimedia headers rely on its types.
#include <mmreg.h>
#include <mmsystem.h>
#include <msacm.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "utility/fileio.h"

struct SoundStream {
    DecodedAudio audio;
    bool loop = false;
    HWAVEOUT device = nullptr;
    WAVEHDR header = {};
    bool started = false;
};

namespace {

const int kBitratesV1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
const int kBitratesV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
const int kSampleRatesV1[3] = {44100, 48000, 32000};

// Parses a layer III header at p; false for anything else.
bool ParseHeader(const unsigned char* p, Mp3FrameInfo* info) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    int version_bits = (p[1] >> 3) & 3;
    int layer_bits = (p[1] >> 1) & 3;
    int bitrate_index = p[2] >> 4;
    int rate_index = (p[2] >> 2) & 3;
    if (version_bits == 1 || layer_bits != 1 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3)
        return false;
    info->version = version_bits == 3 ? 1 : version_bits == 2 ? 2 : 25;
    info->bitrate = info->version == 1 ? kBitratesV1[bitrate_index] : kBitratesV2[bitrate_index];
    int divisor = info->version == 1 ? 1 : info->version == 2 ? 2 : 4;
    info->sampleRate = kSampleRatesV1[rate_index] / divisor;
    info->channels = (p[3] >> 6) == 3 ? 1 : 2;
    int factor = info->version == 1 ? 144 : 72;
    info->frameBytes = factor * info->bitrate * 1000 / info->sampleRate;
    return true;
}

}  // namespace

bool FindMp3Frame(const std::vector<unsigned char>& bytes, Mp3FrameInfo* info) {
    size_t at = 0;
    // An ID3v2 tag: "ID3", version, flags, then a 28-bit syncsafe size.
    if (bytes.size() >= 10 && std::memcmp(bytes.data(), "ID3", 3) == 0) {
        size_t size = (static_cast<size_t>(bytes[6] & 0x7F) << 21) | ((bytes[7] & 0x7F) << 14) |
                      ((bytes[8] & 0x7F) << 7) | (bytes[9] & 0x7F);
        at = 10 + size + ((bytes[5] & 0x10) ? 10 : 0);
    }
    for (; at + 4 <= bytes.size(); ++at) {
        if (ParseHeader(&bytes[at], info)) {
            info->offset = at;
            return true;
        }
    }
    return false;
}

int DecodedAudio::LengthMs() const {
    int frame = channels * 2;
    if (frame == 0 || sampleRate == 0) return 0;
    return static_cast<int>(static_cast<uint64_t>(pcm.size() / frame) * 1000 / sampleRate);
}

bool DecodeMp3(const std::vector<unsigned char>& bytes, DecodedAudio* out, std::string* error) {
    Mp3FrameInfo info;
    if (!FindMp3Frame(bytes, &info)) {
        *error = "no MPEG layer III frame";
        return false;
    }
    MPEGLAYER3WAVEFORMAT mp3 = {};
    mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.wfx.nChannels = static_cast<WORD>(info.channels);
    mp3.wfx.nSamplesPerSec = static_cast<DWORD>(info.sampleRate);
    mp3.wfx.nAvgBytesPerSec = static_cast<DWORD>(info.bitrate * 1000 / 8);
    mp3.wfx.nBlockAlign = 1;
    mp3.wfx.wBitsPerSample = 0;
    mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3.wID = MPEGLAYER3_ID_MPEG;
    mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    mp3.nBlockSize = static_cast<WORD>(info.frameBytes);
    mp3.nFramesPerBlock = 1;
    mp3.nCodecDelay = 0;

    WAVEFORMATEX pcm = {};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = static_cast<WORD>(info.channels);
    pcm.nSamplesPerSec = static_cast<DWORD>(info.sampleRate);
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(info.channels * 2);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;

    HACMSTREAM stream = nullptr;
    MMRESULT result = acmStreamOpen(&stream, nullptr, &mp3.wfx, &pcm, nullptr, 0, 0, 0);
    if (result != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "the MP3 codec refused the stream (%u)",
                      static_cast<unsigned>(result));
        *error = text;
        return false;
    }
    // A few frames at a time; what the codec leaves unused goes first next time.
    const DWORD chunk = static_cast<DWORD>(info.frameBytes + 1) * 16;
    DWORD out_size = 0;
    acmStreamSize(stream, chunk, &out_size, ACM_STREAMSIZEF_SOURCE);
    if (out_size == 0) out_size = 1152 * 2 * 2 * 16;
    std::vector<BYTE> src(chunk), dst(out_size);
    out->sampleRate = info.sampleRate;
    out->channels = info.channels;
    out->pcm.clear();
    size_t at = info.offset;
    DWORD pending = 0;
    bool ok = true;
    for (;;) {
        DWORD take = static_cast<DWORD>(std::min<size_t>(chunk - pending, bytes.size() - at));
        std::memcpy(src.data() + pending, bytes.data() + at, take);
        at += take;
        DWORD have = pending + take;
        bool last = at >= bytes.size();
        ACMSTREAMHEADER header = {};
        header.cbStruct = sizeof header;
        header.pbSrc = src.data();
        header.cbSrcLength = have;
        header.pbDst = dst.data();
        header.cbDstLength = out_size;
        if (acmStreamPrepareHeader(stream, &header, 0) != 0) {
            ok = false;
            break;
        }
        MMRESULT converted =
            acmStreamConvert(stream, &header, last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN);
        acmStreamUnprepareHeader(stream, &header, 0);
        if (converted != 0) {
            ok = false;
            break;
        }
        out->pcm.insert(out->pcm.end(), dst.begin(), dst.begin() + header.cbDstLengthUsed);
        pending = have - header.cbSrcLengthUsed;
        if (pending) std::memmove(src.data(), src.data() + header.cbSrcLengthUsed, pending);
        if (last && (pending == 0 || header.cbSrcLengthUsed == 0)) break;
        if (take == 0 && header.cbSrcLengthUsed == 0 && header.cbDstLengthUsed == 0) break;
    }
    acmStreamClose(stream, 0);
    if (!ok || out->pcm.empty()) {
        *error = "the MP3 codec could not decode the stream";
        return false;
    }
    return true;
}

Win32SoundLibrary::Win32SoundLibrary() {}

Win32SoundLibrary::~Win32SoundLibrary() { Close(); }

// The output is opened per stream, in the stream's own format; Init asks
// whether a device takes the mixing format at all.
bool Win32SoundLibrary::Init(int mixRate, int, unsigned int) {
    if (open_) {
        error_ = SOUND_ERR_INIT_ALREADY;
        return false;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(mixRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = format.nSamplesPerSec * 4;
    if (waveOutOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY) != MMSYSERR_NOERROR) {
        error_ = SOUND_ERR_INIT;
        return false;
    }
    open_ = true;
    error_ = SOUND_ERR_NONE;
    return true;
}

void Win32SoundLibrary::Close() { open_ = false; }

SoundStream* Win32SoundLibrary::StreamOpenFile(const char* path, int mode, int) {
    if (!open_) {
        error_ = SOUND_ERR_UNINITIALIZED;
        return nullptr;
    }
    std::vector<unsigned char> bytes;
    if (!path || !ReadWholeFile(path, &bytes)) {
        error_ = SOUND_ERR_FILE_NOT_FOUND;
        return nullptr;
    }
    SoundStream* stream = new SoundStream;
    std::string reason;
    if (!DecodeMp3(bytes, &stream->audio, &reason)) {
        delete stream;
        error_ = SOUND_ERR_FILE_FORMAT;
        return nullptr;
    }
    stream->loop = (mode & SOUND_STREAM_LOOP) != 0;
    error_ = SOUND_ERR_NONE;
    return stream;
}

int Win32SoundLibrary::StreamPlay(int, SoundStream* stream) {
    if (!open_ || !stream || stream->started) {
        error_ = SOUND_ERR_INVALID_PARAM;
        return -1;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(stream->audio.channels);
    format.nSamplesPerSec = static_cast<DWORD>(stream->audio.sampleRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(stream->audio.channels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    if (waveOutOpen(&stream->device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        stream->device = nullptr;
        error_ = SOUND_ERR_PLAY;
        return -1;
    }
    WAVEHDR& h = stream->header;
    h.lpData = reinterpret_cast<LPSTR>(stream->audio.pcm.data());
    h.dwBufferLength = static_cast<DWORD>(stream->audio.pcm.size());
    if (stream->loop) {
        h.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
        h.dwLoops = 0xFFFFFFFFu;
    }
    if (waveOutPrepareHeader(stream->device, &h, sizeof h) != MMSYSERR_NOERROR ||
        waveOutWrite(stream->device, &h, sizeof h) != MMSYSERR_NOERROR) {
        Halt(stream);
        error_ = SOUND_ERR_PLAY;
        return -1;
    }
    stream->started = true;
    return 0;
}

int Win32SoundLibrary::StreamGetLengthMs(SoundStream* stream) {
    return stream ? stream->audio.LengthMs() : 0;
}

// The device's byte position; a looping stream counts it around its length,
// one played to its end reports the whole length.
int Win32SoundLibrary::StreamGetTime(SoundStream* stream) {
    if (!stream || !stream->started || !stream->device) return 0;
    int length = stream->audio.LengthMs();
    if (!stream->loop && (stream->header.dwFlags & WHDR_DONE)) return length;
    MMTIME time = {};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(stream->device, &time, sizeof time) != MMSYSERR_NOERROR ||
        time.wType != TIME_BYTES)
        return 0;
    uint64_t bytes_per_second = static_cast<uint64_t>(stream->audio.sampleRate) * stream->audio.channels * 2;
    int ms = static_cast<int>(static_cast<uint64_t>(time.u.cb) * 1000 / bytes_per_second);
    if (stream->loop && length > 0) return ms % length;
    return ms < length ? ms : length;
}

void Win32SoundLibrary::Halt(SoundStream* stream) {
    if (!stream->device) return;
    waveOutReset(stream->device);
    if (stream->header.dwFlags & WHDR_PREPARED)
        waveOutUnprepareHeader(stream->device, &stream->header, sizeof stream->header);
    waveOutClose(stream->device);
    stream->device = nullptr;
}

bool Win32SoundLibrary::StreamClose(SoundStream* stream) {
    if (!stream) return false;
    Halt(stream);
    delete stream;
    return true;
}

SoundDriver* CreateWin32SoundDriver() { return new SoundDriver(new Win32SoundLibrary()); }
