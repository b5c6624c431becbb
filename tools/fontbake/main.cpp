// fontbake: bakes a TrueType font into the engine's bitmap font.
//
//   fontbake --ttf FILE --out DIR [--ini NAME] [--prefix PATH] [--cell PX]
//            [--outline PX] [--skin NAME=R,G,B]... [--preview PNG] [--text TEXT]
//
// Writes, below DIR:
//   NAME (default font_herald.ini)       the description file
//   PREFIX_<skin>.bmp                    one 24-bit colour texture per skin
//   PREFIX_alpha.bmp                     the alpha map all skins share
// PREFIX is a data path with backslashes (default textures\font\herald); the
// description names the textures by it. The texture holds 16 x 8 cells of
// PX x PX pixels (default 32); characters 33 to 126 take cells 0 to 93 in
// order, each drawn at its left edge with its advance (plus the outline)
// rounded up to sixteenths of a cell as its width. Glyphs get a dark outline of --outline
// pixels (default 2, 0 for none) so text stays readable over any scene.
// Without --skin the skins are white (255,255,255) and yellow (255,214,64).
//
// --preview draws a sample page through the OpenGL driver (a display is
// needed; Xvfb will do) and writes it as PNG.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "gfxdriver/opengldriver/image.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "gui/font.h"
#include "settings/settings.h"
#include "utility/basepath.h"

namespace {

constexpr int kColumns = 16;
constexpr int kRows = 8;
constexpr int kFirstChar = 33;
constexpr int kLastChar = 126;

struct Skin {
    std::string name;
    int r, g, b;
};

struct Options {
    std::string ttf;
    std::string out;
    std::string ini = "font_herald.ini";
    std::string prefix = "textures\\font\\herald";
    int cell = 32;
    int outline = 2;
    std::vector<Skin> skins;
    std::string preview;
    std::string text;
};

[[noreturn]] void Usage(const char* message) {
    if (message) std::fprintf(stderr, "fontbake: %s\n", message);
    std::fprintf(
        stderr,
        "usage: fontbake --ttf FILE --out DIR [--ini NAME] [--prefix PATH] [--cell PX] [--outline PX]\n"
        "                [--skin NAME=R,G,B]... [--preview PNG] [--text TEXT]\n");
    std::exit(2);
}

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "fontbake: %s\n", message.c_str());
    std::exit(1);
}

int Number(const char* text, int low, int high, const char* what) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high) Usage((std::string("bad ") + what + ": " + text).c_str());
    return static_cast<int>(v);
}

Skin ParseSkin(const char* text) {
    Skin skin;
    const char* eq = std::strchr(text, '=');
    if (!eq || eq == text) Usage("--skin takes NAME=R,G,B");
    skin.name.assign(text, eq - text);
    if (skin.name.find_first_of(" \t\r\n") != std::string::npos) Usage("a skin name cannot hold blanks");
    if (std::sscanf(eq + 1, "%d,%d,%d", &skin.r, &skin.g, &skin.b) != 3) Usage("--skin takes NAME=R,G,B");
    for (int c : {skin.r, skin.g, skin.b})
        if (c < 0 || c > 255) Usage("skin colours are 0 to 255");
    return skin;
}

Options ParseArguments(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) Usage((arg + " needs a value").c_str());
            return argv[++i];
        };
        if (arg == "--ttf")
            o.ttf = value();
        else if (arg == "--out")
            o.out = value();
        else if (arg == "--ini")
            o.ini = value();
        else if (arg == "--prefix")
            o.prefix = value();
        else if (arg == "--cell")
            o.cell = Number(value(), 8, 256, "cell size");
        else if (arg == "--outline")
            o.outline = Number(value(), 0, 8, "outline");
        else if (arg == "--skin")
            o.skins.push_back(ParseSkin(value()));
        else if (arg == "--preview")
            o.preview = value();
        else if (arg == "--text")
            o.text = value();
        else if (arg == "--help" || arg == "-h")
            Usage(nullptr);
        else
            Usage(("unknown option " + arg).c_str());
    }
    if (o.ttf.empty() || o.out.empty()) Usage("--ttf and --out are needed");
    if (o.prefix.empty() || o.ini.empty()) Usage("empty --prefix or --ini");
    if (o.outline * 2 + 4 >= o.cell) Usage("the outline leaves no room in the cell");
    if (o.skins.empty()) o.skins = {{"white", 255, 255, 255}, {"yellow", 255, 214, 64}};
    return o;
}

// A data path (backslashes) as a file below out.
std::string FilePath(const std::string& out, const std::string& dataPath) {
    std::string path = out;
    if (!path.empty() && path.back() != '/') path += '/';
    for (char c : dataPath) path += c == '\\' ? '/' : c;
    return path;
}

void MakeParents(const std::string& path) {
    for (size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1))
        mkdir(path.substr(0, p).c_str(), 0755);
}

// Coverage of the whole texture, 0..1, one float per pixel.
struct Sheet {
    int width, height, cell;
    std::vector<float> coverage;
    std::vector<float> outline;
    int widths[256] = {};
};

void BakeGlyphs(const Options& o, Sheet* sheet) {
    FT_Library library;
    if (FT_Init_FreeType(&library)) Fail("cannot start FreeType");
    FT_Face face;
    if (FT_New_Face(library, o.ttf.c_str(), 0, &face)) Fail("cannot read the font " + o.ttf);

    // The largest size whose ascent and descent fit the cell inside the outline.
    const int room = o.cell - 2 * o.outline - 2;
    int ppem = o.cell;
    int ascent = 0;
    for (; ppem > 4; --ppem) {
        if (FT_Set_Pixel_Sizes(face, 0, ppem)) Fail("the font cannot be scaled");
        ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
        int descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
        if (ascent + descent <= room) break;
    }

    sheet->cell = o.cell;
    sheet->width = kColumns * o.cell;
    sheet->height = kRows * o.cell;
    sheet->coverage.assign(static_cast<size_t>(sheet->width) * sheet->height, 0.0f);
    sheet->outline.assign(sheet->coverage.size(), 0.0f);

    for (int c = kFirstChar; c <= kLastChar; ++c) {
        int index = c - kFirstChar;
        int cellX = (index % kColumns) * o.cell;
        int cellY = (index / kColumns) * o.cell;
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER)) Fail("cannot draw a glyph");
        FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        int advance = static_cast<int>((slot->advance.x + 63) >> 6);
        int shift = std::max(0, -slot->bitmap_left);
        // The left outline is inside the advance's start; the right one may
        // run into the next glyph's room (the quad clips it there).
        int needed =
            std::max(advance, shift + slot->bitmap_left + static_cast<int>(bitmap.width)) + o.outline;
        int width = (needed * 16 + o.cell - 1) / o.cell;
        sheet->widths[c] = std::min(16, std::max(1, width));

        int originX = cellX + o.outline + shift;
        int baseline = cellY + o.outline + 1 + ascent;
        for (unsigned int row = 0; row < bitmap.rows; ++row) {
            for (unsigned int col = 0; col < bitmap.width; ++col) {
                int x = originX + slot->bitmap_left + static_cast<int>(col);
                int y = baseline - slot->bitmap_top + static_cast<int>(row);
                if (x < cellX || x >= cellX + o.cell || y < cellY || y >= cellY + o.cell) continue;
                unsigned char value = bitmap.buffer[row * bitmap.pitch + col];
                sheet->coverage[static_cast<size_t>(y) * sheet->width + x] = value / 255.0f;
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    // The outline: the glyph grown by a disc, never across its cell's edges.
    const int r = o.outline;
    for (int y = 0; y < sheet->height; ++y) {
        for (int x = 0; x < sheet->width; ++x) {
            int cx0 = x / o.cell * o.cell, cy0 = y / o.cell * o.cell;
            float best = 0.0f;
            for (int dy = -r; dy <= r; ++dy) {
                for (int dx = -r; dx <= r; ++dx) {
                    float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
                    if (d > r + 0.5f) continue;
                    int sx = x + dx, sy = y + dy;
                    if (sx < cx0 || sx >= cx0 + o.cell || sy < cy0 || sy >= cy0 + o.cell) continue;
                    float weight = std::min(1.0f, r + 0.5f - d + 0.5f);
                    best =
                        std::max(best, sheet->coverage[static_cast<size_t>(sy) * sheet->width + sx] * weight);
                }
            }
            sheet->outline[static_cast<size_t>(y) * sheet->width + x] = best;
        }
    }
}

void WriteImage(const std::string& path, int width, int height, const std::vector<unsigned char>& bgr) {
    Image image;
    image.width = width;
    image.height = height;
    image.bpp = 24;
    image.size = static_cast<int32_t>(bgr.size());
    image.data = new uint8_t[bgr.size()];
    std::memcpy(image.data, bgr.data(), bgr.size());
    image.valid = 1;
    MakeParents(path);
    if (!WriteBitmap(image, path.c_str())) Fail("cannot write " + path);
}

void WriteFont(const Options& o, const Sheet& sheet) {
    const size_t pixels = static_cast<size_t>(sheet.width) * sheet.height;
    std::string alphaName = o.prefix + "_alpha.bmp";
    std::vector<unsigned char> bgr(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        float a = std::max(sheet.coverage[i], o.outline > 0 ? sheet.outline[i] * 0.85f : 0.0f);
        unsigned char v = static_cast<unsigned char>(std::lround(a * 255.0f));
        bgr[i * 3] = bgr[i * 3 + 1] = bgr[i * 3 + 2] = v;
    }
    WriteImage(FilePath(o.out, alphaName), sheet.width, sheet.height, bgr);

    for (const Skin& skin : o.skins) {
        for (size_t i = 0; i < pixels; ++i) {
            // Without an outline the whole cell carries the colour; with one
            // the colour fades to black where the glyph ends.
            float k = o.outline > 0 ? sheet.coverage[i] : 1.0f;
            bgr[i * 3] = static_cast<unsigned char>(std::lround(skin.b * k));
            bgr[i * 3 + 1] = static_cast<unsigned char>(std::lround(skin.g * k));
            bgr[i * 3 + 2] = static_cast<unsigned char>(std::lround(skin.r * k));
        }
        WriteImage(FilePath(o.out, o.prefix + "_" + skin.name + ".bmp"), sheet.width, sheet.height, bgr);
    }

    std::string iniPath = FilePath(o.out, o.ini);
    MakeParents(iniPath);
    FILE* f = std::fopen(iniPath.c_str(), "wb");
    if (!f) Fail("cannot write " + iniPath);
    const char* base = std::strrchr(o.ttf.c_str(), '/');
    std::fprintf(f, "Bitmap font baked by fontbake from %s, %d pixel cells\r\n",
                 base ? base + 1 : o.ttf.c_str(), o.cell);
    std::fprintf(f, "[skins]\r\n");
    for (const Skin& skin : o.skins)
        std::fprintf(f, "%s\r\n%s_%s.bmp\r\n%s\r\n", skin.name.c_str(), o.prefix.c_str(), skin.name.c_str(),
                     alphaName.c_str());
    std::fprintf(f, "[data]\r\n");
    for (int c = kFirstChar; c <= kLastChar; ++c) std::fprintf(f, "%c %d\r\n", c, sheet.widths[c]);
    std::fprintf(f, "[end]\r\n");
    if (std::fclose(f) != 0) Fail("cannot write " + iniPath);
}

// A sample page: both skins, several sizes, tabs, the whole character set.
int Preview(const Options& o) {
    static Settings settings;
    g_settings = &settings;
    SetBasePath(o.out.c_str());
    SDL_Window* window = OpenGLDriverSDLCreateWindow("fontbake", false);
    if (!window) Fail(std::string("no window: ") + SDL_GetError());
    GfxDriver* driver = CreateOpenGLDriverSDL();
    if (!driver->Init(nullptr, window)) Fail("the OpenGL driver did not start");
    g_gfxdriver = driver;

    Font font(o.ini.c_str());
    if (!font.loaded) Fail("the baked description did not load");
    std::string all;
    for (int c = kFirstChar; c <= kLastChar; ++c) all += static_cast<char>(c);

    driver->BeginScene();
    driver->Clear(PackColor(255, 40, 70, 110));
    font.SetSize(12);
    font.SelectSkin("white");
    font.DrawText(25, 5, "%s", o.text.empty() ? "Your quest log has been updated.." : o.text.c_str());
    font.DrawText(20, 30, "%s", all.substr(0, 47).c_str());
    font.DrawText(20, 45, "%s", all.substr(47).c_str());
    font.DrawText(20, 65, "%s", "Tabs:\tone\ttwo\tthree");
    font.DrawText(20, 80, "%s", "\tname\tvalue\t42");
    if (!font.SelectSkin("yellow")) font.SelectSkin(o.skins.back().name.c_str());
    font.DrawText(50, 110, "%s", "Innkeeper to Player:");
    font.SelectSkin("white");
    font.DrawText(50, 123, "%s", "Welcome to the Golden Goose, traveller. The miller lost his cart again!");
    for (int i = 0; i < 4; ++i) {
        int size = 16 + i * 8;
        font.SetSize(size);
        font.SelectSkin(i % 2 ? "yellow" : "white");
        font.DrawText(20, 160 + i * 60 + (i * i * 4), "Zendar %d: The quick brown fox jumps.", size);
    }
    driver->EndScene();
    OpenGLDriverSDLRequestScreenshot(o.preview.c_str());
    driver->ShowFrame();
    if (!OpenGLDriverSDLScreenshotWritten()) Fail("cannot write " + o.preview);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o = ParseArguments(argc, argv);
    Sheet sheet;
    BakeGlyphs(o, &sheet);
    WriteFont(o, sheet);
    std::printf("%s: %d glyphs in %d x %d cells of %d px, skins:", FilePath(o.out, o.ini).c_str(),
                kLastChar - kFirstChar + 1, kColumns, kRows, o.cell);
    for (const Skin& skin : o.skins) std::printf(" %s", skin.name.c_str());
    std::printf("\n");
    if (!o.preview.empty()) return Preview(o);
    return 0;
}
