#include "gfxdriver/opengldriver/image.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "utility/basepath.h"
#include "utility/fileio.h"
#include "utility/jf.h"
#include "utility/log.h"

namespace {

const uint16_t kBitmapMagic = 0x4D42;  // "BM"
const long kPaletteOffset = 54;        // 14-byte file header + 40-byte info header
// Large enough for any texture, small enough that width x height x 4 fits an int32.
const int32_t kMaxDimension = 32768;
const int64_t kMaxPixels = (int64_t)INT32_MAX / 4;

uint16_t U16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

int32_t RoundUp4(int64_t n) { return (int32_t)((n + 3) & ~(int64_t)3); }

struct BitmapHeader {
    uint32_t file_size = 0;
    uint32_t data_offset = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bit_count = 0;
    uint32_t compression = 0;
    uint32_t image_size = 0;
    uint32_t colors_used = 0;
};

// A bitmap opened from the disk by its path, or (archive) from the joined-file
// archive by its name and else from the disk under the base path; reads,
// seeks and tells stay inside an archived file's bytes.
class File {
public:
    File(const char* path, bool archive) : archive_(archive) {
        if (!archive) {
            f = OpenFile(path, "rb");
            return;
        }
        f = JfOpen(path, "rb");
        if (!f) {
            const char* base = GetBasePath();
            f = OpenFile((std::string(base ? base : "") + path).c_str(), "rb");
        }
    }
    ~File() {
        if (f) archive_ ? (void)FileClose(f) : (void)std::fclose(f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    size_t Read(void* buffer, size_t count) {
        return archive_ ? FileRead(buffer, 1, count, f) : std::fread(buffer, 1, count, f);
    }
    int Seek(long offset, int origin) {
        return archive_ ? FileSeek(f, offset, origin) : std::fseek(f, offset, origin);
    }
    long Tell() { return archive_ ? FileTell(f) : std::ftell(f); }
    FILE* f;

private:
    bool archive_;
};

// The header pass. Returns null when the headers are usable, else the message.
const char* ReadHeaders(const char* fileName, BitmapHeader* h, bool archive = false) {
    File file(fileName, archive);
    if (!file.f) return "Couldn't open bitmap!";
    uint8_t fh[14];
    if (file.Read(fh, sizeof fh) != sizeof fh) return "ERROR: Couldn't read bitmap file-header!";
    if (U16(fh) != kBitmapMagic) return "ERROR: Wrong bmp-format!";
    h->file_size = U32(fh + 2);
    h->data_offset = U32(fh + 10);
    uint8_t ih[40];
    if (file.Read(ih, sizeof ih) != sizeof ih) return "Couldn't read bitmap info-header!";
    h->width = (int32_t)U32(ih + 4);
    h->height = (int32_t)U32(ih + 8);
    h->bit_count = U16(ih + 14);
    h->compression = U32(ih + 16);
    h->image_size = U32(ih + 20);
    h->colors_used = U32(ih + 32);
    if (h->compression != 0) return "ERROR: Cannot read compressed bmp!";
    // Top-down (negative height), empty or absurdly large pictures are not
    // read: their sizes would overflow or run the row copy off the buffer.
    if (h->width <= 0 || h->height <= 0 || h->width > kMaxDimension || h->height > kMaxDimension ||
        (int64_t)h->width * h->height > kMaxPixels)
        return "ERROR: Wrong bmp-format!";
    return nullptr;
}

// Bytes of one stored row in the file, 0 for bit counts the reader lacks.
int32_t SourceStride(const BitmapHeader& h) {
    if (h.bit_count == 8) return RoundUp4(h.width);
    if (h.bit_count == 24) return RoundUp4((int64_t)h.width * 3);
    return 0;
}

char* CopyText(const char* text) {
    size_t n = std::strlen(text) + 1;
    char* copy = new char[n];
    std::memcpy(copy, text, n);
    return copy;
}

bool Fail(Image* image, const char* message) {
    image->FreePixels();
    image->SetError(message);
    return false;
}

// Resamples w x h pixels of bpp bytes to dw x dh (dw <= w, dh <= h) by
// averaging the block of source pixels each destination pixel covers.
void BoxResample(const uint8_t* src, int32_t w, int32_t h, int bytes, uint8_t* dst, int32_t dw, int32_t dh) {
    for (int32_t dy = 0; dy < dh; ++dy) {
        int32_t y0 = (int32_t)((int64_t)dy * h / dh);
        int32_t y1 = (int32_t)((int64_t)(dy + 1) * h / dh);
        for (int32_t dx = 0; dx < dw; ++dx) {
            int32_t x0 = (int32_t)((int64_t)dx * w / dw);
            int32_t x1 = (int32_t)((int64_t)(dx + 1) * w / dw);
            uint32_t count = (uint32_t)((x1 - x0) * (y1 - y0));
            for (int c = 0; c < bytes; ++c) {
                uint32_t sum = 0;
                for (int32_t y = y0; y < y1; ++y)
                    for (int32_t x = x0; x < x1; ++x) sum += src[((size_t)y * w + x) * bytes + c];
                dst[((size_t)dy * dw + dx) * bytes + c] = (uint8_t)((sum + count / 2) / count);
            }
        }
    }
}

int32_t FloorPowerOfTwo(int32_t n) {
    int32_t p = 1;
    while (p <= n / 2) p *= 2;
    return p;
}

}  // namespace

// --- Image -----------------------------------------------------------------

Image::~Image() { Clear(); }

void Image::Clear() {
    FreePixels();
    delete[] error;
    error = nullptr;
}

void Image::FreePixels() {
    delete[] data;
    data = nullptr;
    width = height = bpp = size = 0;
    valid = 0;
}

void Image::SetError(const char* message) {
    delete[] error;
    error = message ? CopyText(message) : nullptr;
    valid = 0;
}

// --- reader ----------------------------------------------------------------

const char* ReadBitmapInfo(const char* fileName, BitmapInfo* info) {
    if (!fileName) return "Invalid filename";
    BitmapHeader h;
    const char* message = ReadHeaders(fileName, &h);
    if (info) {
        info->width = h.width;
        info->height = h.height;
        info->bit_count = h.bit_count;
        info->compression = h.compression;
        info->colors_used = h.colors_used;
        info->data_offset = h.data_offset;
        info->file_size = h.file_size;
        info->image_size = h.image_size;
    }
    return message;
}

namespace {

bool ReadBitmap24From(Image* image, const char* fileName, bool archive) {
    if (!image) return false;
    image->Clear();
    if (!fileName) return Fail(image, "Invalid filename");

    BitmapHeader h;
    if (const char* message = ReadHeaders(fileName, &h, archive)) return Fail(image, message);

    const int32_t stride = SourceStride(h);
    int64_t size = (int64_t)h.file_size - (int64_t)h.data_offset;
    if ((int64_t)h.image_size > size) size = h.image_size;
    if (size <= 0) {
        // Headers that state no data size: the stored rows are padded to four
        // bytes, so the padded size is what the row copy below reads.
        size = stride ? (int64_t)stride * h.height : (int64_t)h.width * h.height;
    }
    const int colorCount = h.colors_used == 0 ? 256 : (int)(h.colors_used > 1024 ? 1024 : h.colors_used);

    File file(fileName, archive);
    if (!file.f) return Fail(image, "Couldn't open bitmap!");

    uint8_t palette[256][3];  // blue, green, red
    std::memset(palette, 0, sizeof palette);
    if (h.bit_count == 8) {
        // An 8-bit index can name at most 256 entries; a longer table is a broken file.
        if (colorCount > 256 || file.Seek(kPaletteOffset, SEEK_SET) != 0)
            return Fail(image, "ERROR: Couldn't find the pallette data!");
        for (int i = 0; i < colorCount; ++i) {
            uint8_t entry[4];
            if (file.Read(entry, 4) != 4) return Fail(image, "ERROR: Couldn't find the pallette data!");
            palette[i][0] = entry[0];
            palette[i][1] = entry[1];
            palette[i][2] = entry[2];
        }
    }

    // Never allocate more than the file can deliver: a lying size field would
    // otherwise ask for gigabytes before the short read is noticed.
    if (file.Seek(0, SEEK_END) != 0) return Fail(image, "ERROR: Couldn't find the image data!");
    long fileLength = file.Tell();
    // A seek past the end succeeds and only the read comes up short; an offset
    // beyond what a 32-bit seek can reach is the one that cannot be found, on
    // every platform alike.
    if (fileLength < 0 || h.data_offset > (uint32_t)INT32_MAX ||
        file.Seek((long)h.data_offset, SEEK_SET) != 0)
        return Fail(image, "ERROR: Couldn't find the image data!");
    if (size > (int64_t)fileLength - (int64_t)h.data_offset) return Fail(image, "Couldn't load bitmap-data!");

    std::vector<uint8_t> raw((size_t)size);
    if (file.Read(raw.data(), raw.size()) != raw.size()) return Fail(image, "Couldn't load bitmap-data!");

    if (stride == 0) return Fail(image, "ERROR: Unsupported bit-depth!");
    // The stated size can be smaller than the rows really need.
    if ((int64_t)stride * h.height > size) return Fail(image, "Couldn't load bitmap-data!");

    const int32_t rowBytes = h.width * 3;
    const int32_t outSize = rowBytes * h.height;
    uint8_t* out = new uint8_t[(size_t)outSize];
    for (int32_t r = 0; r < h.height; ++r) {
        const uint8_t* src = raw.data() + (size_t)(h.height - 1 - r) * stride;
        uint8_t* dst = out + (size_t)r * rowBytes;
        if (h.bit_count == 24) {
            std::memcpy(dst, src, (size_t)rowBytes);
        } else {
            for (int32_t x = 0; x < h.width; ++x) std::memcpy(dst + x * 3, palette[src[x]], 3);
        }
    }

    image->data = out;
    image->width = h.width;
    image->height = h.height;
    image->bpp = 24;
    image->size = outSize;
    image->valid = 1;
    return true;
}

}  // namespace

bool ReadBitmap24(Image* image, const char* fileName) { return ReadBitmap24From(image, fileName, false); }

bool ConvertImage(Image* image, int depth) {
    if (!image) return false;
    if (!image->valid || image->bpp != 24 || !image->data ||
        (depth != 15 && depth != 16 && depth != 24 && depth != 32))
        return Fail(image, "Invalid BPP!");
    if (depth == 24) return true;

    const int32_t pixels = image->width * image->height;
    const int bytes = depth == 32 ? 4 : 2;
    uint8_t* out = new uint8_t[(size_t)pixels * bytes];
    const uint8_t* src = image->data;
    for (int32_t i = 0; i < pixels; ++i, src += 3) {
        uint8_t b = src[0], g = src[1], r = src[2];
        if (depth == 32) {
            uint8_t* d = out + (size_t)i * 4;
            d[0] = b;
            d[1] = g;
            d[2] = r;
            d[3] = 0;
            continue;
        }
        uint16_t word;
        if (depth == 16)
            word = (uint16_t)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        else
            word = (uint16_t)(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        out[(size_t)i * 2] = (uint8_t)(word & 0xFF);
        out[(size_t)i * 2 + 1] = (uint8_t)(word >> 8);
    }
    delete[] image->data;
    image->data = out;
    image->bpp = depth;
    image->size = pixels * bytes;
    return true;
}

namespace {

bool LoadImageFrom(Image* image, const char* fileName, int depth, bool archive) {
    if (!image) return false;  // "Invalid container": there is nowhere to store it
    image->Clear();
    if (!fileName) return Fail(image, "Invalid filename");
    if (depth != 15 && depth != 16 && depth != 24 && depth != 32) return Fail(image, "Invalid bpp");
    if (!std::strstr(fileName, ".bmp")) return Fail(image, "Unindentified or unsupported fileformat");
    if (!ReadBitmap24From(image, fileName, archive)) return false;
    return ConvertImage(image, depth);
}

}  // namespace

bool LoadImage(Image* image, const char* fileName, int depth) {
    return LoadImageFrom(image, fileName, depth, false);
}

bool LoadImageFromArchive(Image* image, const char* name, int depth) {
    return LoadImageFrom(image, name, depth, true);
}

bool MergeAlphaMap(Image* color, const Image& alpha) {
    if (!color || !color->valid || !alpha.valid || color->bpp != 32 || alpha.bpp != 32 || !color->data ||
        !alpha.data || color->width != alpha.width || color->height != alpha.height)
        return false;
    const int32_t pixels = color->width * color->height;
    for (int32_t i = 0; i < pixels; ++i) color->data[(size_t)i * 4 + 3] = alpha.data[(size_t)i * 4];
    return true;
}

bool LoadTexturePixels(const char* name, const char* alphaName, Image* color, bool* hasAlpha) {
    if (hasAlpha) *hasAlpha = false;
    if (!color) return false;
    const char* base = GetBasePath();
    if (!base) base = "";
    std::string colorPath = name ? std::string(base) + name : std::string();
    if (!LoadImage(color, name ? colorPath.c_str() : nullptr, 32)) {
        LogLine("Error loading texture '%s' Error was '%s'", name ? name : "",
                color->error ? color->error : "");
        return false;
    }
    if (!alphaName) return true;

    std::string alphaPath = std::string(base) + alphaName;
    LogLine("Trying to load alpha texture from file: %s", alphaPath.c_str());
    Image alpha;
    if (!LoadImage(&alpha, alphaPath.c_str(), 32)) {
        LogLine("Error loading alphatexture '%s' Error was '%s'", alphaName, alpha.error ? alpha.error : "");
        color->FreePixels();
        return false;
    }
    if (alpha.width != color->width || alpha.height != color->height) {
        LogLine("Error: Images for alpha and color have different dimension in texture '%s'", name);
        color->FreePixels();
        return false;
    }
    MergeAlphaMap(color, alpha);
    if (hasAlpha) *hasAlpha = true;
    return true;
}

bool WriteBitmap(const Image& image, const char* fileName) {
    if (!fileName || !image.valid || !image.data || (image.bpp != 24 && image.bpp != 32) ||
        image.width <= 0 || image.height <= 0)
        return false;
    const int bytes = image.bpp / 8;
    const int32_t stride = RoundUp4((int64_t)image.width * 3);
    const uint32_t dataSize = (uint32_t)stride * (uint32_t)image.height;
    std::vector<uint8_t> out(54 + (size_t)dataSize, 0);
    auto put16 = [&](size_t at, uint32_t v) {
        out[at] = (uint8_t)v;
        out[at + 1] = (uint8_t)(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = (uint8_t)(v >> (8 * i));
    };
    put16(0, kBitmapMagic);
    put32(2, (uint32_t)out.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, (uint32_t)image.width);
    put32(22, (uint32_t)image.height);
    put16(26, 1);
    put16(28, 24);
    put32(34, dataSize);
    put32(38, 2835);  // 72 dpi
    put32(42, 2835);
    for (int32_t r = 0; r < image.height; ++r) {
        const uint8_t* src = image.data + (size_t)(image.height - 1 - r) * image.width * bytes;
        uint8_t* dst = out.data() + 54 + (size_t)r * stride;
        for (int32_t x = 0; x < image.width; ++x) std::memcpy(dst + x * 3, src + (size_t)x * bytes, 3);
    }
    FILE* f = OpenFile(fileName, "wb");
    if (!f) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

bool BuildMipmapChain(const Image& image, std::vector<MipLevel>* levels) {
    if (!levels) return false;
    levels->clear();
    if (!image.valid || !image.data || (image.bpp != 24 && image.bpp != 32) || image.width <= 0 ||
        image.height <= 0)
        return false;
    const int bytes = image.bpp / 8;

    MipLevel level;
    level.width = FloorPowerOfTwo(image.width);
    level.height = FloorPowerOfTwo(image.height);
    level.pixels.resize((size_t)level.width * level.height * bytes);
    BoxResample(image.data, image.width, image.height, bytes, level.pixels.data(), level.width, level.height);
    levels->push_back(std::move(level));

    while (levels->back().width > 1 || levels->back().height > 1) {
        const MipLevel& prev = levels->back();
        MipLevel next;
        next.width = prev.width > 1 ? prev.width / 2 : 1;
        next.height = prev.height > 1 ? prev.height / 2 : 1;
        next.pixels.resize((size_t)next.width * next.height * bytes);
        BoxResample(prev.pixels.data(), prev.width, prev.height, bytes, next.pixels.data(), next.width,
                    next.height);
        levels->push_back(std::move(next));
    }
    return true;
}
