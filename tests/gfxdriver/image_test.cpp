#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gfxdriver/opengldriver/image.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/log.h"

namespace {

// A fresh folder per test under the harness's temp dir.
std::string MakeTempDir() {
    static int counter = 0;
    std::string dir =
        ::testing::TempDir() + "zendar_image_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
    EXPECT_EQ(0, std::system(cmd.c_str()));
    return dir + "/";
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
}

struct Rgb {
    uint8_t r, g, b;
};

// Writes a bottom-up bitmap field by field. pixels are given top-down.
// For 8 bits, `indices` holds one palette index per pixel and `palette`
// the colours; colorsUsed is written as given (0 means 256).
struct BmpBuilder {
    int width = 0, height = 0, bits = 24;
    std::vector<Rgb> pixels;       // 24-bit, top-down
    std::vector<uint8_t> indices;  // 8-bit, top-down
    std::vector<Rgb> palette;      // 8-bit
    uint32_t colorsUsed = 0;
    uint32_t compression = 0;
    uint8_t padByte = 0xEE;  // row padding filler, must never show up

    std::vector<uint8_t> Build() const {
        int stride = bits == 8 ? ((width + 3) & ~3) : ((width * 3 + 3) & ~3);
        size_t paletteBytes = bits == 8 ? palette.size() * 4 : 0;
        size_t offset = 54 + paletteBytes;
        size_t dataSize = (size_t)stride * height;
        std::vector<uint8_t> b(offset + dataSize, 0);
        b[0] = 'B';
        b[1] = 'M';
        Put32(b, 2, (uint32_t)b.size());
        Put32(b, 10, (uint32_t)offset);
        Put32(b, 14, 40);
        Put32(b, 18, (uint32_t)width);
        Put32(b, 22, (uint32_t)height);
        Put16(b, 26, 1);
        Put16(b, 28, (uint32_t)bits);
        Put32(b, 30, compression);
        Put32(b, 34, (uint32_t)dataSize);
        Put32(b, 46, colorsUsed);
        for (size_t i = 0; i < palette.size() && bits == 8; ++i) {
            b[54 + i * 4] = palette[i].b;
            b[54 + i * 4 + 1] = palette[i].g;
            b[54 + i * 4 + 2] = palette[i].r;
        }
        for (int row = 0; row < height; ++row) {
            int srcRow = height - 1 - row;  // bottom-up in the file
            uint8_t* dst = &b[offset + (size_t)row * stride];
            std::memset(dst, padByte, (size_t)stride);
            for (int x = 0; x < width; ++x) {
                if (bits == 8) {
                    dst[x] = indices[(size_t)srcRow * width + x];
                } else {
                    const Rgb& p = pixels[(size_t)srcRow * width + x];
                    dst[x * 3] = p.b;
                    dst[x * 3 + 1] = p.g;
                    dst[x * 3 + 2] = p.r;
                }
            }
        }
        return b;
    }
};

BmpBuilder Small24() {
    BmpBuilder b;
    b.width = 3;
    b.height = 2;
    b.pixels = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}, {200, 100, 50}, {255, 255, 255}};
    return b;
}

void ExpectBgr(const Image& img, int x, int y, Rgb c) {
    ASSERT_EQ(img.bpp, 24);
    const uint8_t* p = img.data + ((size_t)y * img.width + x) * 3;
    EXPECT_EQ(p[0], c.b) << "blue at " << x << "," << y;
    EXPECT_EQ(p[1], c.g) << "green at " << x << "," << y;
    EXPECT_EQ(p[2], c.r) << "red at " << x << "," << y;
}

std::string LoadError(const std::string& path, int depth = 24) {
    Image img;
    EXPECT_FALSE(LoadImage(&img, path.c_str(), depth));
    EXPECT_EQ(img.valid, 0);
    EXPECT_EQ(img.data, nullptr);
    return img.error ? img.error : "<no error>";
}

bool HaveConvert() { return std::system("convert -version >/dev/null 2>&1") == 0; }

}  // namespace

// --- reader: good files ---------------------------------------------------

TEST(BitmapReader, Reads24BitWithPaddedRowsTopDown) {
    std::string dir = MakeTempDir();
    BmpBuilder b = Small24();  // width 3: 9 bytes per row, stored in 12
    WriteFile(dir + "small.bmp", b.Build());
    Image img;
    ASSERT_TRUE(LoadImage(&img, (dir + "small.bmp").c_str(), 24)) << img.error;
    EXPECT_EQ(img.valid, 1);
    EXPECT_EQ(img.width, 3);
    EXPECT_EQ(img.height, 2);
    EXPECT_EQ(img.size, 18);
    EXPECT_EQ(img.error, nullptr);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) ExpectBgr(img, x, y, b.pixels[(size_t)y * 3 + x]);
}

TEST(BitmapReader, Reads8BitThroughPalette) {
    std::string dir = MakeTempDir();
    BmpBuilder b;
    b.bits = 8;
    b.width = 5;  // stride 8
    b.height = 2;
    b.palette = {{1, 2, 3}, {250, 0, 7}, {0, 128, 255}};
    b.colorsUsed = 3;
    b.indices = {0, 1, 2, 1, 0, 2, 2, 1, 0, 0};
    WriteFile(dir + "pal.bmp", b.Build());
    Image img;
    ASSERT_TRUE(LoadImage(&img, (dir + "pal.bmp").c_str(), 24)) << img.error;
    EXPECT_EQ(img.width, 5);
    EXPECT_EQ(img.size, 30);
    for (int i = 0; i < 10; ++i) ExpectBgr(img, i % 5, i / 5, b.palette[b.indices[(size_t)i]]);
}

TEST(BitmapReader, ColourCountZeroMeans256Entries) {
    std::string dir = MakeTempDir();
    BmpBuilder b;
    b.bits = 8;
    b.width = 4;
    b.height = 1;
    b.colorsUsed = 0;
    for (int i = 0; i < 256; ++i) b.palette.push_back({(uint8_t)i, (uint8_t)(255 - i), (uint8_t)(i / 2)});
    b.indices = {0, 17, 200, 255};
    WriteFile(dir + "full.bmp", b.Build());
    Image img;
    ASSERT_TRUE(LoadImage(&img, (dir + "full.bmp").c_str(), 24)) << img.error;
    for (int x = 0; x < 4; ++x) ExpectBgr(img, x, 0, b.palette[b.indices[(size_t)x]]);
}

TEST(BitmapReader, ImageMagickFiles) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick convert not installed";
    std::string dir = MakeTempDir();
    // A vertical gradient has more than 16 colours, so the palette file is 8-bit.
    std::string cmd =
        "cd '" + dir +
        "' && convert -size 5x20 gradient:red-blue -type Palette -compress None BMP3:pal8.bmp"
        " && convert -size 5x20 gradient:red-blue -type Palette BMP3:rle8.bmp"
        " && convert -size 5x20 gradient:red-blue -type TrueColor BMP3:true24.bmp"
        " && convert -size 3x2 xc:blue -fill lime -draw 'point 0,0' -type TrueColor BMP3:corner.bmp";
    ASSERT_EQ(0, std::system(cmd.c_str()));

    Image pal, rgb;
    ASSERT_TRUE(LoadImage(&pal, (dir + "pal8.bmp").c_str(), 24)) << pal.error;
    ASSERT_TRUE(LoadImage(&rgb, (dir + "true24.bmp").c_str(), 24)) << rgb.error;
    {
        std::ifstream f(dir + "pal8.bmp", std::ios::binary);
        char h[30];
        f.read(h, 30);
        ASSERT_EQ(h[28], 8) << "convert did not write an 8-bit file";
    }
    ASSERT_EQ(pal.width, 5);
    ASSERT_EQ(pal.height, 20);
    ASSERT_EQ(pal.size, rgb.size);
    EXPECT_EQ(0, std::memcmp(pal.data, rgb.data, (size_t)pal.size));
    ExpectBgr(pal, 0, 0, {255, 0, 0});   // top row red
    ExpectBgr(pal, 4, 19, {0, 0, 255});  // bottom row blue

    // Left to itself convert run-length encodes 8-bit files.
    EXPECT_EQ(LoadError(dir + "rle8.bmp"), "ERROR: Cannot read compressed bmp!");

    Image corner;
    ASSERT_TRUE(LoadImage(&corner, (dir + "corner.bmp").c_str(), 32)) << corner.error;
    const uint8_t* p = corner.data;
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 255);  // lime in the top-left corner
    EXPECT_EQ(p[2], 0);
    EXPECT_EQ(p[3], 0);
    p = corner.data + 4 * 5;  // bottom right
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 0);
}

TEST(BitmapReader, ImageMagickTwoColourFileIsUnsupported) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick convert not installed";
    std::string dir = MakeTempDir();
    // One colour: convert writes a 1-bit palette file, which is not read.
    std::string cmd = "cd '" + dir + "' && convert -size 4x4 xc:red -type Palette BMP3:mono.bmp";
    ASSERT_EQ(0, std::system(cmd.c_str()));
    EXPECT_EQ(LoadError(dir + "mono.bmp"), "ERROR: Unsupported bit-depth!");
}

// --- reader: every failure, in order --------------------------------------

TEST(BitmapReaderErrors, ArgumentChecksComeFirst) {
    EXPECT_FALSE(LoadImage(nullptr, "x.bmp", 24));  // no container
    Image img;
    EXPECT_FALSE(LoadImage(&img, nullptr, 24));
    EXPECT_STREQ(img.error, "Invalid filename");
    EXPECT_FALSE(LoadImage(&img, "missing.BMP", 8));  // depth before name
    EXPECT_STREQ(img.error, "Invalid bpp");
    for (int bad : {0, 1, 8, 17, 31, 33}) EXPECT_EQ(LoadError("missing.bmp", bad), "Invalid bpp") << bad;
}

TEST(BitmapReaderErrors, ExtensionTestIsCaseSensitive) {
    std::string dir = MakeTempDir();
    WriteFile(dir + "CAPS.BMP", Small24().Build());
    EXPECT_EQ(LoadError(dir + "CAPS.BMP"), "Unindentified or unsupported fileformat");
    EXPECT_EQ(LoadError(dir + "picture.tga"), "Unindentified or unsupported fileformat");
    // The test is a substring test, not a suffix test.
    WriteFile(dir + "odd.bmp.dat", Small24().Build());
    Image img;
    EXPECT_TRUE(LoadImage(&img, (dir + "odd.bmp.dat").c_str(), 24)) << img.error;
}

TEST(BitmapReaderErrors, OneFileForEveryMessage) {
    std::string dir = MakeTempDir();
    std::vector<uint8_t> good = Small24().Build();

    EXPECT_EQ(LoadError(dir + "absent.bmp"), "Couldn't open bitmap!");

    WriteFile(dir + "short.bmp", std::vector<uint8_t>(good.begin(), good.begin() + 13));
    EXPECT_EQ(LoadError(dir + "short.bmp"), "ERROR: Couldn't read bitmap file-header!");

    std::vector<uint8_t> b = good;
    b[1] = 'A';
    WriteFile(dir + "magic.bmp", b);
    EXPECT_EQ(LoadError(dir + "magic.bmp"), "ERROR: Wrong bmp-format!");

    WriteFile(dir + "info.bmp", std::vector<uint8_t>(good.begin(), good.begin() + 53));
    EXPECT_EQ(LoadError(dir + "info.bmp"), "Couldn't read bitmap info-header!");

    BmpBuilder rle = Small24();
    rle.compression = 1;
    WriteFile(dir + "rle.bmp", rle.Build());
    EXPECT_EQ(LoadError(dir + "rle.bmp"), "ERROR: Cannot read compressed bmp!");

    BmpBuilder pal;
    pal.bits = 8;
    pal.width = 2;
    pal.height = 2;
    pal.colorsUsed = 4;
    pal.palette = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
    pal.indices = {0, 1, 2, 3};
    b = pal.Build();
    WriteFile(dir + "palcut.bmp", std::vector<uint8_t>(b.begin(), b.begin() + 54 + 10));
    EXPECT_EQ(LoadError(dir + "palcut.bmp"), "ERROR: Couldn't find the pallette data!");
    // More entries than an 8-bit index can reach.
    b = pal.Build();
    Put32(b, 46, 300);
    WriteFile(dir + "palbig.bmp", b);
    EXPECT_EQ(LoadError(dir + "palbig.bmp"), "ERROR: Couldn't find the pallette data!");

    // Pixel data beyond the end: the seek itself succeeds, the read comes up short.
    b = good;
    Put32(b, 10, (uint32_t)good.size() + 100);
    WriteFile(dir + "offset.bmp", b);
    EXPECT_EQ(LoadError(dir + "offset.bmp"), "Couldn't load bitmap-data!");
    // An offset no seek can reach.
    b = good;
    Put32(b, 10, 0x90000000u);
    WriteFile(dir + "faroffset.bmp", b);
    EXPECT_EQ(LoadError(dir + "faroffset.bmp"), "ERROR: Couldn't find the image data!");

    b = good;
    Put32(b, 34, 0x7FFFFFF0);  // image size far beyond the file: refused, not allocated
    WriteFile(dir + "huge.bmp", b);
    EXPECT_EQ(LoadError(dir + "huge.bmp"), "Couldn't load bitmap-data!");

    WriteFile(dir + "cut.bmp", std::vector<uint8_t>(good.begin(), good.end() - 1));
    EXPECT_EQ(LoadError(dir + "cut.bmp"), "Couldn't load bitmap-data!");

    b = good;
    Put16(b, 28, 16);
    WriteFile(dir + "depth16.bmp", b);
    EXPECT_EQ(LoadError(dir + "depth16.bmp"), "ERROR: Unsupported bit-depth!");
}

TEST(BitmapReaderErrors, BrokenSizesNeverOverrun) {
    std::string dir = MakeTempDir();
    std::vector<uint8_t> good = Small24().Build();

    // Top-down and empty pictures are refused.
    std::vector<uint8_t> b = good;
    Put32(b, 22, (uint32_t)-2);
    WriteFile(dir + "topdown.bmp", b);
    EXPECT_EQ(LoadError(dir + "topdown.bmp"), "ERROR: Wrong bmp-format!");
    b = good;
    Put32(b, 18, 0);
    WriteFile(dir + "empty.bmp", b);
    EXPECT_EQ(LoadError(dir + "empty.bmp"), "ERROR: Wrong bmp-format!");
    b = good;
    Put32(b, 18, 100000);
    Put32(b, 22, 100000);
    WriteFile(dir + "giant.bmp", b);
    EXPECT_EQ(LoadError(dir + "giant.bmp"), "ERROR: Wrong bmp-format!");

    // Header claims a taller picture than the data holds.
    b = good;
    Put32(b, 22, 3);
    WriteFile(dir + "tall.bmp", b);
    EXPECT_EQ(LoadError(dir + "tall.bmp"), "Couldn't load bitmap-data!");

    // No size anywhere in the headers: the padded rows are read.
    b = good;
    Put32(b, 2, 0);
    Put32(b, 34, 0);
    WriteFile(dir + "nosize.bmp", b);
    Image img;
    ASSERT_TRUE(LoadImage(&img, (dir + "nosize.bmp").c_str(), 24)) << img.error;
    ExpectBgr(img, 2, 1, {255, 255, 255});
}

TEST(BitmapReaderErrors, FailureAfterSuccessLeavesNoPixels) {
    std::string dir = MakeTempDir();
    WriteFile(dir + "ok.bmp", Small24().Build());
    Image img;
    ASSERT_TRUE(LoadImage(&img, (dir + "ok.bmp").c_str(), 32));
    EXPECT_FALSE(LoadImage(&img, (dir + "nope.bmp").c_str(), 32));
    EXPECT_EQ(img.valid, 0);
    EXPECT_EQ(img.data, nullptr);
    EXPECT_EQ(img.size, 0);
    EXPECT_STREQ(img.error, "Couldn't open bitmap!");
    ASSERT_TRUE(LoadImage(&img, (dir + "ok.bmp").c_str(), 32));
    EXPECT_EQ(img.error, nullptr);
}

// --- conversions ----------------------------------------------------------

TEST(ImageConversion, EveryDepthPerPixel) {
    std::string dir = MakeTempDir();
    BmpBuilder b = Small24();
    WriteFile(dir + "c.bmp", b.Build());
    std::string path = dir + "c.bmp";

    Image i32;
    ASSERT_TRUE(LoadImage(&i32, path.c_str(), 32));
    EXPECT_EQ(i32.bpp, 32);
    EXPECT_EQ(i32.size, 3 * 2 * 4);
    for (size_t i = 0; i < b.pixels.size(); ++i) {
        const uint8_t* p = i32.data + i * 4;
        EXPECT_EQ(p[0], b.pixels[i].b);
        EXPECT_EQ(p[1], b.pixels[i].g);
        EXPECT_EQ(p[2], b.pixels[i].r);
        EXPECT_EQ(p[3], 0);
    }

    Image i16, i15;
    ASSERT_TRUE(LoadImage(&i16, path.c_str(), 16));
    ASSERT_TRUE(LoadImage(&i15, path.c_str(), 15));
    EXPECT_EQ(i16.bpp, 16);
    EXPECT_EQ(i15.bpp, 15);
    EXPECT_EQ(i16.size, 12);
    EXPECT_EQ(i15.size, 12);
    // Expected words for the six pixels, written out by hand.
    const uint16_t want16[6] = {0xF800, 0x07E0, 0x001F, (1 << 11) | (5 << 5) | 3, (25 << 11) | (25 << 5) | 6,
                                0xFFFF};
    const uint16_t want15[6] = {0x7C00, 0x03E0, 0x001F, (1 << 10) | (2 << 5) | 3, (25 << 10) | (12 << 5) | 6,
                                0x7FFF};
    for (int i = 0; i < 6; ++i) {
        uint16_t w16 = (uint16_t)(i16.data[i * 2] | (i16.data[i * 2 + 1] << 8));
        uint16_t w15 = (uint16_t)(i15.data[i * 2] | (i15.data[i * 2 + 1] << 8));
        EXPECT_EQ(w16, want16[i]) << "pixel " << i;
        EXPECT_EQ(w15, want15[i]) << "pixel " << i;
        EXPECT_EQ(w15 & 0x8000, 0);
    }
}

TEST(ImageConversion, ConverterRefusesOtherDepths) {
    std::string dir = MakeTempDir();
    WriteFile(dir + "c.bmp", Small24().Build());
    Image img;
    ASSERT_TRUE(ReadBitmap24(&img, (dir + "c.bmp").c_str()));
    EXPECT_EQ(img.bpp, 24);
    EXPECT_FALSE(ConvertImage(&img, 8));
    EXPECT_STREQ(img.error, "Invalid BPP!");
    EXPECT_EQ(img.valid, 0);
    EXPECT_EQ(img.data, nullptr);
    // Already converted data is not converted again.
    ASSERT_TRUE(LoadImage(&img, (dir + "c.bmp").c_str(), 16));
    EXPECT_FALSE(ConvertImage(&img, 32));
    EXPECT_STREQ(img.error, "Invalid BPP!");
}

// --- texture pixels: alpha maps and the log -------------------------------

class TexturePixels : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTempDir();
        saved_settings = g_settings;
        saved_log = g_log;
        saved_base = GetBasePath();
        settings = new Settings();
        g_settings = settings;
        settings->write_log = 1;
        log_path = dir + "log.txt";
        g_log = new Log(log_path.c_str());
        SetBasePath(dir.c_str());
        ASSERT_EQ(0, std::system(("mkdir -p '" + dir + "textures'").c_str()));
    }
    void TearDown() override {
        delete g_log;
        g_log = saved_log;
        SetBasePath(saved_base.c_str());
        g_settings = saved_settings;
        delete settings;
    }
    std::string LogText() {
        delete g_log;
        g_log = nullptr;
        // Only the lines written between the log's own start and end banners.
        std::ifstream f(log_path);
        std::string line, text;
        while (std::getline(f, line))
            if (line.compare(0, 4, "--**") != 0) text += line + "\n";
        return text;
    }
    void Write(const std::string& rel, const BmpBuilder& b) { WriteFile(dir + rel, b.Build()); }

    std::string dir, log_path, saved_base;
    Settings* settings = nullptr;
    Settings* saved_settings = nullptr;
    Log* saved_log = nullptr;
};

TEST_F(TexturePixels, AlphaMapBlueBecomesAlpha) {
    BmpBuilder color = Small24();
    BmpBuilder alpha = Small24();
    alpha.pixels = {{0, 0, 0}, {9, 9, 128}, {0, 0, 255}, {1, 2, 3}, {50, 60, 70}, {255, 255, 255}};
    Write("textures/smoke.bmp", color);
    Write("textures/smoke_a.bmp", alpha);
    Image img;
    bool hasAlpha = false;
    ASSERT_TRUE(LoadTexturePixels("textures\\smoke.bmp", "textures\\smoke_a.bmp", &img, &hasAlpha));
    EXPECT_TRUE(hasAlpha);
    EXPECT_EQ(img.bpp, 32);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(img.data[i * 4 + 3], alpha.pixels[i].b) << i;
        EXPECT_EQ(img.data[i * 4 + 2], color.pixels[i].r) << i;
    }
    std::string log = LogText();
    EXPECT_NE(log.find("Trying to load alpha texture from file: " + dir + "textures\\smoke_a.bmp\n"),
              std::string::npos)
        << log;
}

TEST_F(TexturePixels, WithoutAlphaMapAlphaIsZeroAndUploadIsRgb) {
    Write("textures/wall.bmp", Small24());
    Image img;
    bool hasAlpha = true;
    ASSERT_TRUE(LoadTexturePixels("textures\\wall.bmp", nullptr, &img, &hasAlpha));
    EXPECT_FALSE(hasAlpha);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(img.data[i * 4 + 3], 0);
    EXPECT_EQ(LogText(), "");
}

TEST_F(TexturePixels, FailuresAreLogged) {
    Write("textures/c.bmp", Small24());
    BmpBuilder other = Small24();
    other.width = 2;
    other.height = 3;
    Write("textures/c_a.bmp", other);

    Image img;
    bool hasAlpha = true;
    EXPECT_FALSE(LoadTexturePixels("textures\\missing.bmp", nullptr, &img, &hasAlpha));
    EXPECT_FALSE(hasAlpha);
    EXPECT_FALSE(LoadTexturePixels("textures\\c.bmp", "textures\\gone_alpha.bmp", &img, &hasAlpha));
    EXPECT_EQ(img.data, nullptr);
    EXPECT_FALSE(LoadTexturePixels("textures\\c.bmp", "textures\\c_a.bmp", &img, &hasAlpha));
    EXPECT_EQ(img.data, nullptr);
    EXPECT_EQ(img.valid, 0);

    std::string want =
        "Error loading texture 'textures\\missing.bmp' Error was 'Couldn't open bitmap!'\n"
        "Trying to load alpha texture from file: " +
        dir +
        "textures\\gone_alpha.bmp\n"
        "Error loading alphatexture 'textures\\gone_alpha.bmp' Error was 'Couldn't open bitmap!'\n"
        "Trying to load alpha texture from file: " +
        dir +
        "textures\\c_a.bmp\n"
        "Error: Images for alpha and color have different dimension in texture 'textures\\c.bmp'\n";
    EXPECT_EQ(LogText(), want);
}

TEST(AlphaMerge, RefusesMismatchedImages) {
    std::string dir = MakeTempDir();
    WriteFile(dir + "a.bmp", Small24().Build());
    BmpBuilder other = Small24();
    other.width = 2;
    other.height = 3;
    WriteFile(dir + "b.bmp", other.Build());
    Image a, b, a24;
    ASSERT_TRUE(LoadImage(&a, (dir + "a.bmp").c_str(), 32));
    ASSERT_TRUE(LoadImage(&b, (dir + "b.bmp").c_str(), 32));
    ASSERT_TRUE(LoadImage(&a24, (dir + "a.bmp").c_str(), 24));
    EXPECT_FALSE(MergeAlphaMap(&a, b));
    EXPECT_FALSE(MergeAlphaMap(&a, a24));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a.data[i * 4 + 3], 0);
    Image copy;
    ASSERT_TRUE(LoadImage(&copy, (dir + "a.bmp").c_str(), 32));
    EXPECT_TRUE(MergeAlphaMap(&a, copy));
    EXPECT_EQ(a.data[3], 0);     // red pixel: blue 0
    EXPECT_EQ(a.data[11], 255);  // blue pixel
}

// --- mipmaps --------------------------------------------------------------

TEST(Mipmaps, PowerOfTwoChain) {
    std::string dir = MakeTempDir();
    BmpBuilder b;
    b.width = 4;
    b.height = 2;
    for (int i = 0; i < 8; ++i) b.pixels.push_back({(uint8_t)(i * 30), (uint8_t)(i % 2 ? 255 : 0), 7});
    WriteFile(dir + "m.bmp", b.Build());
    Image img;
    ASSERT_TRUE(LoadImage(&img, (dir + "m.bmp").c_str(), 32));
    std::vector<MipLevel> levels;
    ASSERT_TRUE(BuildMipmapChain(img, &levels));
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[0].width, 4);
    EXPECT_EQ(levels[0].height, 2);
    EXPECT_EQ(0, std::memcmp(levels[0].pixels.data(), img.data, (size_t)img.size));
    EXPECT_EQ(levels[1].width, 2);
    EXPECT_EQ(levels[1].height, 1);
    EXPECT_EQ(levels[2].width, 1);
    EXPECT_EQ(levels[2].height, 1);
    ASSERT_EQ(levels[1].pixels.size(), 8u);
    // Level 1, left pixel: red of pixels 0, 1, 4, 5 = 0, 30, 120, 150 -> 75.
    EXPECT_EQ(levels[1].pixels[2], 75);
    EXPECT_EQ(levels[1].pixels[1], 128);  // green 0, 255, 0, 255 -> 127.5 rounds up
    EXPECT_EQ(levels[1].pixels[0], 7);
    // Right pixel: 60, 90, 180, 210 -> 135.
    EXPECT_EQ(levels[1].pixels[6], 135);
    // Level 2 averages the two level-1 pixels: (75 + 135) / 2.
    EXPECT_EQ(levels[2].pixels[2], 105);
}

TEST(Mipmaps, OddSizesScaleDownToPowerOfTwo) {
    std::string dir = MakeTempDir();
    BmpBuilder b;
    b.width = 5;
    b.height = 3;
    for (int i = 0; i < 15; ++i) b.pixels.push_back({100, 100, 100});
    b.pixels[0] = {200, 200, 200};
    WriteFile(dir + "odd.bmp", b.Build());
    Image img;
    ASSERT_TRUE(LoadImage(&img, (dir + "odd.bmp").c_str(), 24));
    std::vector<MipLevel> levels;
    ASSERT_TRUE(BuildMipmapChain(img, &levels));
    const int sizes[][2] = {{4, 2}, {2, 1}, {1, 1}};
    ASSERT_EQ(levels.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(levels[(size_t)i].width, sizes[i][0]);
        EXPECT_EQ(levels[(size_t)i].height, sizes[i][1]);
        EXPECT_EQ(levels[(size_t)i].pixels.size(), (size_t)sizes[i][0] * sizes[i][1] * 3);
    }
    // Level 0 pixel (0,0) covers source x 0..0, y 0..0 (5/4 and 3/2 blocks).
    EXPECT_EQ(levels[0].pixels[0], 200);
    // Pixel (1,0) covers x 1..1, y 0..0: plain grey.
    EXPECT_EQ(levels[0].pixels[3], 100);

    Image i16;
    ASSERT_TRUE(LoadImage(&i16, (dir + "odd.bmp").c_str(), 16));
    EXPECT_FALSE(BuildMipmapChain(i16, &levels));
    EXPECT_TRUE(levels.empty());
}

TEST(BitmapWriter, RoundTripAndImageMagickAgrees) {
    std::string dir = MakeTempDir();
    BmpBuilder b = Small24();
    WriteFile(dir + "src.bmp", b.Build());
    Image img;
    ASSERT_TRUE(LoadImage(&img, (dir + "src.bmp").c_str(), 32));
    ASSERT_TRUE(WriteBitmap(img, (dir + "out.bmp").c_str()));
    // The writer produces exactly the bytes of a plain 24-bit file except the
    // resolution fields.
    std::ifstream f(dir + "out.bmp", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> want = b.Build();
    ASSERT_EQ(bytes.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        if (i >= 38 && i < 46) continue;              // pixels per metre
        if (i >= 54 && (i - 54) % 12 >= 9) continue;  // row padding
        EXPECT_EQ(bytes[i], want[i]) << "byte " << i;
    }
    Image back;
    ASSERT_TRUE(LoadImage(&back, (dir + "out.bmp").c_str(), 24));
    for (int i = 0; i < 6; ++i) ExpectBgr(back, i % 3, i / 3, b.pixels[(size_t)i]);

    Image none;
    EXPECT_FALSE(WriteBitmap(none, (dir + "none.bmp").c_str()));

    if (!HaveConvert()) return;
    // ImageMagick reads our file as the same picture: top-left is red.
    std::string cmd = "convert '" + dir + "out.bmp' -format '%[pixel:p{0,0}]' info:- > '" + dir + "px.txt'";
    ASSERT_EQ(0, std::system(cmd.c_str()));
    std::ifstream px(dir + "px.txt");
    std::string text;
    std::getline(px, text);
    EXPECT_TRUE(text == "red" || text == "srgb(255,0,0)") << text;
}
