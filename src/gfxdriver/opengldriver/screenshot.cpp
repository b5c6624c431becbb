#include "gfxdriver/opengldriver/screenshot.h"

#ifdef _WIN32
#include <windows.h>  // OpenGL's headers need it there
#endif
#include <GL/gl.h>

#include <cstring>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
// Debian puts stb under stb/; a cross build may point at that folder itself.
#if __has_include(<stb/stb_image.h>)
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#else
#include <stb_image.h>
#include <stb_image_write.h>
#endif
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

bool ReadFrameRGB(int width, int height, bool front, std::vector<uint8_t>* rgb) {
    if (!rgb || width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    const size_t stride = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> bottomUp(stride * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(front ? GL_FRONT : GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    rgb->resize(bottomUp.size());
    for (int r = 0; r < height; ++r)
        std::memcpy(rgb->data() + stride * r, bottomUp.data() + stride * (height - 1 - r), stride);
    // Errors are left pending for the driver's own checks to report.
    return true;
}

bool WritePNG(const char* path, int width, int height, const uint8_t* rgb) {
    if (!path || !rgb || width <= 0 || height <= 0) return false;
    return stbi_write_png(path, width, height, 3, rgb, width * 3) != 0;
}

bool ReadPNG(const char* path, int* width, int* height, std::vector<uint8_t>* rgb) {
    if (!path || !width || !height || !rgb) return false;
    int w = 0, h = 0, channels = 0;
    unsigned char* data = stbi_load(path, &w, &h, &channels, 3);
    if (!data) return false;
    rgb->assign(data, data + static_cast<size_t>(w) * h * 3);
    stbi_image_free(data);
    *width = w;
    *height = h;
    return true;
}

bool SaveScreenshot(const char* path, int width, int height, bool front) {
    std::vector<uint8_t> rgb;
    if (!ReadFrameRGB(width, height, front, &rgb)) return false;
    return WritePNG(path, width, height, rgb.data());
}
