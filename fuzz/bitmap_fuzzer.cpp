// Bitmaps: a texture and its alpha map read as texture generation reads
// them, each depth the drivers ask for, and the mipmap chain an upload
// builds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_common.h"
#include "gfxdriver/opengldriver/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    std::string path = fuzz::WriteFile("textures/fuzz.bmp", data, size);
    Image color;
    bool hasAlpha = false;
    if (LoadTexturePixels("textures\\fuzz.bmp", nullptr, &color, &hasAlpha)) {
        std::vector<MipLevel> levels;
        BuildMipmapChain(color, &levels);
    }
    Image withAlpha;
    LoadTexturePixels("textures\\fuzz.bmp", "textures\\fuzz.bmp", &withAlpha, &hasAlpha);
    for (int depth : {15, 16, 24}) {
        Image image;
        if (LoadImage(&image, path.c_str(), depth) && depth == 24) {
            std::vector<MipLevel> levels;
            BuildMipmapChain(image, &levels);
        }
    }
    BitmapInfo info;
    ReadBitmapInfo(path.c_str(), &info);
    return 0;
}
