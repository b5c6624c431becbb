// The Windows music library's MP3 side: finding the first frame and decoding
// a whole file with the system's ACM codec.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "sounddriver/win32/win32soundlibrary.h"

namespace {

std::vector<unsigned char> Bytes(std::initializer_list<int> list, size_t padTo = 0) {
    std::vector<unsigned char> b;
    for (int v : list) b.push_back(static_cast<unsigned char>(v));
    if (b.size() < padTo) b.resize(padTo, 0);
    return b;
}

TEST(Mp3Frames, HeadersAreReadAndOthersPassedOver) {
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        bool found;
        size_t offset;
        int version, bitrate, rate, channels, frameBytes;
    };
    const Case cases[] = {
        {"MPEG-1 128 kbit/s 44.1 kHz stereo", Bytes({0xFF, 0xFB, 0x90, 0x00}), true, 0, 1, 128, 44100, 2,
         417},
        {"MPEG-2 64 kbit/s 22.05 kHz mono", Bytes({0xFF, 0xF3, 0x80, 0xC0}), true, 0, 2, 64, 22050, 1, 208},
        {"MPEG-2.5 8 kbit/s 8 kHz", Bytes({0xFF, 0xE3, 0x18, 0x00}), true, 0, 25, 8, 8000, 2, 72},
        {"after junk", Bytes({0x00, 0xFF, 0x00, 0xFF, 0xFB, 0x90, 0x00}), true, 3, 1, 128, 44100, 2, 417},
        {"after an ID3v2 tag of 5 bytes",
         Bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 0, 5, 0xFF, 0xFB, 0x90, 0x00, 0x00, 0xFF, 0xFB, 0x90, 0x00}),
         true, 15, 1, 128, 44100, 2, 417},
        {"layer II", Bytes({0xFF, 0xFD, 0x90, 0x00}), false, 0, 0, 0, 0, 0, 0},
        {"free bitrate", Bytes({0xFF, 0xFB, 0x00, 0x00}), false, 0, 0, 0, 0, 0, 0},
        {"bad bitrate", Bytes({0xFF, 0xFB, 0xF0, 0x00}), false, 0, 0, 0, 0, 0, 0},
        {"reserved rate", Bytes({0xFF, 0xFB, 0x9C, 0x00}), false, 0, 0, 0, 0, 0, 0},
        {"reserved version", Bytes({0xFF, 0xEB, 0x90, 0x00}), false, 0, 0, 0, 0, 0, 0},
        {"cut short", Bytes({0xFF, 0xFB, 0x90}), false, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Mp3FrameInfo info;
        ASSERT_EQ(FindMp3Frame(c.bytes, &info), c.found) << c.what;
        if (!c.found) continue;
        EXPECT_EQ(info.offset, c.offset) << c.what;
        EXPECT_EQ(info.version, c.version) << c.what;
        EXPECT_EQ(info.bitrate, c.bitrate) << c.what;
        EXPECT_EQ(info.sampleRate, c.rate) << c.what;
        EXPECT_EQ(info.channels, c.channels) << c.what;
        EXPECT_EQ(info.frameBytes, c.frameBytes) << c.what;
    }
}

std::vector<unsigned char> ReadAll(const char* path) {
    std::vector<unsigned char> bytes;
    FILE* f = std::fopen(path, "rb");
    if (!f) return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
    return bytes;
}

TEST(Mp3Decoding, TheGamesMusicDecodesToItsWholeLength) {
    for (const char* name : {"/music/intro.mp3", "/music/loop.mp3"}) {
        std::vector<unsigned char> bytes = ReadAll((std::string(ZENDAR_BIN_DIR) + name).c_str());
        ASSERT_FALSE(bytes.empty()) << name << " is not in the game folder";
        Mp3FrameInfo info;
        ASSERT_TRUE(FindMp3Frame(bytes, &info)) << name;
        DecodedAudio audio;
        std::string error;
        ASSERT_TRUE(DecodeMp3(bytes, &audio, &error)) << name << ": " << error;
        EXPECT_EQ(audio.sampleRate, info.sampleRate);
        EXPECT_EQ(audio.channels, info.channels);
        EXPECT_EQ(audio.pcm.size() % (2 * audio.channels), 0u);
        // The files are encoded at a constant bitrate: their length follows from the size.
        double expected = (bytes.size() - info.offset) * 8.0 / info.bitrate;
        EXPECT_NEAR(audio.LengthMs(), expected, expected * 0.03) << name;
        // Not silence.
        int loud = 0;
        for (size_t i = 0; i + 1 < audio.pcm.size(); i += 2)
            loud += std::abs(static_cast<int16_t>(audio.pcm[i] | (audio.pcm[i + 1] << 8))) > 1000;
        EXPECT_GT(loud, 1000) << name;
    }
}

TEST(Mp3Decoding, DataWithoutFramesIsRefused) {
    DecodedAudio audio;
    std::string error;
    EXPECT_FALSE(DecodeMp3(Bytes({'R', 'I', 'F', 'F'}, 4096), &audio, &error));
    EXPECT_EQ(error, "no MPEG layer III frame");
}

}  // namespace
