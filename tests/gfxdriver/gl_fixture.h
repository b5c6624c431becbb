// Shared helpers of the graphics driver tests: a captured log, an OpenGL
// driver on one hidden SDL window per process, pixel reads and tiny BMP files.
#ifndef ZENDAR_TESTS_GFXDRIVER_GL_FIXTURE_H
#define ZENDAR_TESTS_GFXDRIVER_GL_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "common/test_files.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "math/zmath.h"
#include "settings/settings.h"
#include "utility/log.h"

// Installs a log on a temporary file with the write gate on; Lines() reads it.
class CapturedLog {
public:
    std::vector<std::string> Lines() const;
    bool Contains(const std::string& line) const;
    int Count(const std::string& prefix) const;

private:
    test_common::LogCapture capture_;
};

// The test window (created hidden once; Init shows it).
SDL_Window* TestWindow();

// A fresh OpenGL driver initialised on the test window with its own context.
// Null (and a test failure) when no display is available.
std::unique_ptr<OpenGLDriverSDL> MakeGLDriver();

// RGB of the pixel at (x, y) from the top-left corner of the back buffer.
struct Rgb {
    int r, g, b;
};
Rgb PixelAt(int x, int y);

// Writes a 24-bit uncompressed bitmap (rows bottom-up, padded to 4 bytes).
// pixel(x, y) returns 0xRRGGBB for row y from the top.
template <class F>
void WriteBmp24(const std::string& path, int w, int h, F pixel);
void WriteBmpBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A unique folder under the test temp dir (path ends with '/'), removed
// with everything in it when the object goes.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag);
    const std::string& path() const { return path_; }

private:
    test_common::TempDir dir_;
    std::string path_;
};

MATRIX Identity();
MATRIX Translation(float x, float y, float z);

// ---------------------------------------------------------------------------

template <class F>
void WriteBmp24(const std::string& path, int w, int h, F pixel) {
    const int stride = (w * 3 + 3) & ~3;
    const uint32_t dataSize = stride * h;
    std::vector<uint8_t> b(54 + dataSize, 0);
    auto put16 = [&](int at, uint32_t v) {
        b[at] = v & 0xFF;
        b[at + 1] = (v >> 8) & 0xFF;
    };
    auto put32 = [&](int at, uint32_t v) {
        for (int k = 0; k < 4; ++k) b[at + k] = (v >> (8 * k)) & 0xFF;
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, 54 + dataSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    put16(26, 1);
    put16(28, 24);
    put32(34, dataSize);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = &b[54 + (h - 1 - y) * stride];
        for (int x = 0; x < w; ++x) {
            uint32_t c = pixel(x, y);
            row[x * 3 + 0] = c & 0xFF;
            row[x * 3 + 1] = (c >> 8) & 0xFF;
            row[x * 3 + 2] = (c >> 16) & 0xFF;
        }
    }
    WriteBmpBytes(path, b);
}

#endif  // ZENDAR_TESTS_GFXDRIVER_GL_FIXTURE_H
