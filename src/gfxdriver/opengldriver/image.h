// Bitmap textures: the image container, the reader of uncompressed Windows
// bitmaps (8-bit palette or 24-bit), conversion to 15, 16, 24 or 32 bits per
// pixel, merging of an alpha map, and a box-filtered mipmap chain.
//
// After a successful load the pixels are top-down and tightly packed:
//   24: blue, green, red              32: blue, green, red, 0
//   15: 16-bit word 0RRRRRGGGGGBBBBB  16: 16-bit word RRRRRGGGGGGBBBBB
#ifndef ZENDAR_GFXDRIVER_OPENGLDRIVER_IMAGE_H
#define ZENDAR_GFXDRIVER_OPENGLDRIVER_IMAGE_H

#include <cstdint>
#include <vector>

// <windows.h> maps LoadImage to LoadImageA/W; the reader's name wins here.
#ifdef LoadImage
#undef LoadImage
#endif

class Image {
public:
    Image() = default;
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Frees the pixels and the error text and zeroes every field.
    void Clear();
    // Frees only the pixels (the image becomes invalid, the error text stays).
    void FreePixels();
    // Stores an owned copy of the message and marks the image invalid.
    void SetError(const char* message);

    int32_t width = 0;
    int32_t height = 0;
    int32_t bpp = 0;          // 8 or 24 while reading; 15, 16, 24 or 32 after a load
    int32_t size = 0;         // bytes of pixel data
    uint8_t* data = nullptr;  // new[]'d, owned
    uint8_t valid = 0;        // 1 after a successful load
    char* error = nullptr;    // new[]'d copy of the last failure's message, or null
};

// Fills the image from a bitmap file converted to depth (15, 16, 24 or 32).
// The file name is used as given (callers prefix the base path). On failure
// the image is invalid, holds no pixels and keeps the message in `error`.
bool LoadImage(Image* image, const char* fileName, int depth);
// The same, the file taken from the joined-file archive by its name (as
// callers write texture names, relative to the base path) and, when the
// archive does not hold it, from the disk under the base path. The DirectX 7
// driver reads its textures this way.
bool LoadImageFromArchive(Image* image, const char* name, int depth);

// What the headers of a bitmap file say, as the reader checks them.
struct BitmapInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bit_count = 0;
    uint32_t compression = 0;
    uint32_t colors_used = 0;  // 0 means 256 for 8-bit files
    uint32_t data_offset = 0;
    uint32_t file_size = 0;
    uint32_t image_size = 0;
};

// Reads and checks the two headers. Returns null when they are usable (the
// pixel data itself is not read), else the reader's message for them.
const char* ReadBitmapInfo(const char* fileName, BitmapInfo* info);

// Reads the bitmap as top-down 24-bit blue-green-red (the first stage of
// LoadImage, exposed for tools and tests).
bool ReadBitmap24(Image* image, const char* fileName);

// Converts a valid 24-bit image in place to depth; a depth other than 15, 16,
// 24 or 32 (or a source that is not 24-bit) fails with "Invalid BPP!".
bool ConvertImage(Image* image, int depth);

// Copies the first byte (blue) of every alpha-map pixel into the fourth byte
// of the matching colour pixel. Both must be valid 32-bit images of the same
// size; returns false (and changes nothing) otherwise.
bool MergeAlphaMap(Image* color, const Image& alpha);

// The image half of the driver's GenerateTexture: loads base path + name at 32
// bits and, when alphaName is given, base path + alphaName, logs and checks
// them exactly as texture generation does, and merges the alpha map. On
// success `color` holds the blue-green-red-alpha pixels to upload and
// *hasAlpha says whether to upload them as RGBA (true) or RGB. On failure the
// message is logged, nothing is left allocated and false is returned.
bool LoadTexturePixels(const char* name, const char* alphaName, Image* color, bool* hasAlpha);

// Writes a valid 24- or 32-bit image as an uncompressed bottom-up 24-bit
// bitmap (the alpha byte of 32-bit pixels is dropped), the form the reader
// takes back unchanged. Texture generators and tools use it.
bool WriteBitmap(const Image& image, const char* fileName);

// One level of a mipmap chain: tightly packed pixels of the source's format.
struct MipLevel {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
};

// The full chain of a valid 24- or 32-bit image, as a mipmapping upload
// builds it: level 0 is the image resampled (box filter) to the largest power
// of two not above each dimension, each further level halves both dimensions
// (never below 1) averaging 2x2 (or 2x1) blocks, down to 1 x 1. Returns false
// for 15/16-bit or invalid images.
bool BuildMipmapChain(const Image& image, std::vector<MipLevel>* levels);

#endif
