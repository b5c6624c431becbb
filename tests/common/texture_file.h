// Textures drawn by code and written as 24-bit bitmaps the engine reads.
// Header-only: the bitmap writer belongs to the graphics driver module, which
// the common test library does not link.
#ifndef ZENDAR_TESTS_COMMON_TEXTURE_FILE_H
#define ZENDAR_TESTS_COMMON_TEXTURE_FILE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "gfxdriver/opengldriver/image.h"

namespace test_common {

// pixel(x, y) -> 0xRRGGBB, y from the top.
inline void WriteTexture(const std::string& path, int w, int h,
                         const std::function<uint32_t(int, int)>& pixel) {
    Image image;
    image.width = w;
    image.height = h;
    image.bpp = 24;
    image.size = w * h * 3;
    image.data = new uint8_t[image.size];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t c = pixel(x, y);
            uint8_t* p = image.data + (y * w + x) * 3;
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    image.valid = 1;
    ASSERT_TRUE(WriteBitmap(image, path.c_str())) << path;
}

}  // namespace test_common

#endif
