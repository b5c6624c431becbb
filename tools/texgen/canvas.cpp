#include "canvas.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "gfxdriver/opengldriver/image.h"

Rgb Mix(const Rgb& a, const Rgb& b, float t) {
    return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float Smooth(float edge0, float edge1, float v) {
    float t = Clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

Canvas::Canvas(int width, int height)
    : w(width),
      h(height),
      colour(static_cast<size_t>(width) * height, Rgb{0, 0, 0}),
      alpha(static_cast<size_t>(width) * height, 1.0f) {}

void Canvas::Fill(const Rgb& c, float a) {
    std::fill(colour.begin(), colour.end(), c);
    std::fill(alpha.begin(), alpha.end(), a);
}

void Canvas::Blend(int x, int y, const Rgb& c, float t, bool raiseAlpha) {
    if (x < 0 || y < 0 || x >= w || y >= h || t <= 0.0f) return;
    t = Clamp01(t);
    Rgb& p = At(x, y);
    p = Mix(p, c, t);
    if (raiseAlpha) {
        float& a = AlphaAt(x, y);
        a = std::max(a, t);
    }
}

void Canvas::Rect(int x0, int y0, int x1, int y1, const Rgb& c, float t, bool raiseAlpha) {
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(w, x1); ++x) Blend(x, y, c, t, raiseAlpha);
}

void Canvas::Disc(float cx, float cy, float r, const Rgb& c, float t, bool raiseAlpha) {
    int x0 = static_cast<int>(std::floor(cx - r - 1)), x1 = static_cast<int>(std::ceil(cx + r + 1));
    int y0 = static_cast<int>(std::floor(cy - r - 1)), y1 = static_cast<int>(std::ceil(cy + r + 1));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            Blend(x, y, c, t * Clamp01(r - d + 0.5f), raiseAlpha);
        }
}

void Canvas::Line(float x0, float y0, float x1, float y1, float width, const Rgb& c, float t,
                  bool raiseAlpha) {
    float dx = x1 - x0, dy = y1 - y0;
    float len2 = dx * dx + dy * dy;
    int bx0 = static_cast<int>(std::floor(std::min(x0, x1) - width - 1));
    int bx1 = static_cast<int>(std::ceil(std::max(x0, x1) + width + 1));
    int by0 = static_cast<int>(std::floor(std::min(y0, y1) - width - 1));
    int by1 = static_cast<int>(std::ceil(std::max(y0, y1) + width + 1));
    for (int y = by0; y <= by1; ++y)
        for (int x = bx0; x <= bx1; ++x) {
            float px = x + 0.5f - x0, py = y + 0.5f - y0;
            float s = len2 > 0 ? Clamp01((px * dx + py * dy) / len2) : 0.0f;
            float d = std::hypot(px - s * dx, py - s * dy);
            Blend(x, y, c, t * Clamp01(width * 0.5f - d + 0.5f), raiseAlpha);
        }
}

namespace {

struct Glyph {
    char c;
    const char* rows[7];
};

// Capitals and a few signs, 5 x 7 cells ('#' is ink).
const Glyph kGlyphs[] = {
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'D', {"#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'G', {" ####", "#    ", "#    ", "#  ##", "#   #", "#   #", " ### "}},
    {'I', {" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'N', {"#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"}},
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'Z', {"#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"}},
    {'.', {"     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "}},
};

const Glyph* FindGlyph(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.c == c) return &g;
    return nullptr;
}

}  // namespace

int Canvas::TextWidth(const char* text, int scale) {
    int n = static_cast<int>(std::strlen(text));
    return n > 0 ? (n * 6 - 1) * scale : 0;
}

void Canvas::Text(int x, int y, const char* text, int scale, const Rgb& c, bool raiseAlpha) {
    for (int i = 0; text[i]; ++i) {
        const Glyph* g = FindGlyph(text[i]);
        if (g)
            for (int r = 0; r < 7; ++r)
                for (int k = 0; k < 5; ++k)
                    if (g->rows[r][k] == '#')
                        Rect(x + k * scale, y + r * scale, x + (k + 1) * scale, y + (r + 1) * scale, c, 1.0f,
                             raiseAlpha);
        x += 6 * scale;
    }
}

namespace {

uint8_t Byte(float v) { return static_cast<uint8_t>(std::lround(Clamp01(v) * 255.0f)); }

bool WritePixels(const std::string& path, int w, int h, const std::vector<uint8_t>& bgr) {
    Image image;
    image.width = w;
    image.height = h;
    image.bpp = 24;
    image.size = w * h * 3;
    image.data = new uint8_t[bgr.size()];
    std::memcpy(image.data, bgr.data(), bgr.size());
    image.valid = 1;
    return WriteBitmap(image, path.c_str());
}

}  // namespace

bool Canvas::Save(const std::string& folder, const std::string& name, const std::string& alphaName) const {
    if (!MakeFolders(folder)) return false;
    std::vector<uint8_t> bgr(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < colour.size(); ++i) {
        bgr[i * 3] = Byte(colour[i].b);
        bgr[i * 3 + 1] = Byte(colour[i].g);
        bgr[i * 3 + 2] = Byte(colour[i].r);
    }
    if (!WritePixels(folder + "/" + name, w, h, bgr)) return false;
    if (alphaName.empty()) return true;
    for (size_t i = 0; i < alpha.size(); ++i) bgr[i * 3] = bgr[i * 3 + 1] = bgr[i * 3 + 2] = Byte(alpha[i]);
    return WritePixels(folder + "/" + alphaName, w, h, bgr);
}

namespace {

uint32_t Hash(int x, int y, uint32_t seed) {
    uint32_t h =
        static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

float Lattice(int x, int y, int period, uint32_t seed) {
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
    return (Hash(x, y, seed) & 0xFFFF) / 65535.0f;
}

}  // namespace

float ValueNoise(float u, float v, int period, uint32_t seed) {
    float x = u * period, y = v * period;
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    float fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    float a = Lattice(ix, iy, period, seed), b = Lattice(ix + 1, iy, period, seed);
    float c = Lattice(ix, iy + 1, period, seed), d = Lattice(ix + 1, iy + 1, period, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

float Fbm(float u, float v, int period, int octaves, uint32_t seed) {
    float sum = 0, weight = 0.5f, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += ValueNoise(u, v, period << o, seed + static_cast<uint32_t>(o) * 101u) * weight;
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

bool MakeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}
