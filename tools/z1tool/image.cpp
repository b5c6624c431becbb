// z1tool commands for bitmap textures: what a file's headers say, whether a
// colour/alpha pair loads the way texture generation loads it, and
// conversion of any readable bitmap to a plain 24-bit file.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "gfxdriver/opengldriver/image.h"

namespace {

int BmpInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) return z1tool::Usage("bmp info");
    if (!z1tool::CheckInput(args[0])) return z1tool::kFailed;
    BitmapInfo info;
    const char* message = ReadBitmapInfo(args[0].c_str(), &info);
    if (message && info.width == 0 && info.height == 0 && info.bit_count == 0)
        return z1tool::FailFile(args[0], message);
    std::printf(
        "size %dx%d\nbits %d\ncompression %u\ncolours %u\ndata offset %u\nfile size %u\nimage size %u\n",
        info.width, info.height, info.bit_count, info.compression, info.colors_used, info.data_offset,
        info.file_size, info.image_size);
    if (message) return z1tool::FailFile(args[0], message);
    Image image;
    if (!ReadBitmap24(&image, args[0].c_str()))
        return z1tool::FailFile(args[0], image.error ? image.error : "");
    std::printf("readable yes\n");
    return z1tool::kOk;
}

int BmpCheck(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) return z1tool::Usage("bmp check");
    for (const std::string& file : args)
        if (!z1tool::CheckInput(file)) return z1tool::kFailed;
    Image color;
    if (!LoadImage(&color, args[0].c_str(), 32))
        return z1tool::Fail(args[0] + ": " + (color.error ? color.error : ""));
    if (args.size() == 2) {
        Image alpha;
        if (!LoadImage(&alpha, args[1].c_str(), 32))
            return z1tool::Fail(args[1] + ": " + (alpha.error ? alpha.error : ""));
        if (!MergeAlphaMap(&color, alpha))
            return z1tool::Fail("alpha map " + std::to_string(alpha.width) + "x" +
                                std::to_string(alpha.height) + " does not match colour " +
                                std::to_string(color.width) + "x" + std::to_string(color.height));
    }
    std::printf("%dx%d %s\n", color.width, color.height, args.size() == 2 ? "rgba" : "rgb");
    return z1tool::kOk;
}

int BmpConvert(const std::vector<std::string>& args) {
    if (args.size() != 2) return z1tool::Usage("bmp convert");
    if (!z1tool::CheckInput(args[0])) return z1tool::kFailed;
    Image image;
    if (!LoadImage(&image, args[0].c_str(), 24))
        return z1tool::FailFile(args[0], image.error ? image.error : "");
    if (!WriteBitmap(image, args[1].c_str())) return z1tool::Fail("cannot write " + args[1]);
    return z1tool::kOk;
}

}  // namespace

Z1TOOL_COMMAND("bmp info", "FILE", "show a bitmap's headers and whether the texture reader accepts it",
               BmpInfo);
Z1TOOL_COMMAND("bmp check", "COLOR [ALPHA]",
               "load a texture (and its alpha map) as the OpenGL driver does; prints WxH rgb|rgba", BmpCheck);
Z1TOOL_COMMAND("bmp convert", "IN OUT", "rewrite a readable bitmap as an uncompressed 24-bit file",
               BmpConvert);
