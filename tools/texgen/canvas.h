// A small floating-point RGBA canvas for drawing textures in code, with the
// few primitives the demo's pictures need (tileable noise, discs, boxes,
// lines, a blocky 5 x 7 alphabet) and a writer that turns it into the
// engine's colour bitmap plus, optionally, its grey alpha map.
#ifndef ZENDAR_TOOLS_TEXGEN_CANVAS_H
#define ZENDAR_TOOLS_TEXGEN_CANVAS_H

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    float r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, float t);
float Clamp01(float v);
float Smooth(float edge0, float edge1, float v);

class Canvas {
public:
    Canvas(int w, int h);

    int w, h;
    std::vector<Rgb> colour;   // 0..1
    std::vector<float> alpha;  // 0..1

    Rgb& At(int x, int y) { return colour[static_cast<size_t>(Wrap(y, h)) * w + Wrap(x, w)]; }
    float& AlphaAt(int x, int y) { return alpha[static_cast<size_t>(Wrap(y, h)) * w + Wrap(x, w)]; }

    void Fill(const Rgb& c, float a = 1.0f);
    // Blends c over the pixel with coverage t (0..1); the alpha becomes the
    // larger of the two when raiseAlpha is set.
    void Blend(int x, int y, const Rgb& c, float t, bool raiseAlpha = false);
    void Rect(int x0, int y0, int x1, int y1, const Rgb& c, float t = 1.0f, bool raiseAlpha = false);
    void Disc(float cx, float cy, float r, const Rgb& c, float t = 1.0f, bool raiseAlpha = false);
    void Line(float x0, float y0, float x1, float y1, float width, const Rgb& c, float t = 1.0f,
              bool raiseAlpha = false);
    // Draws text in the blocky alphabet (capitals, digits, a few signs) with
    // cells of scale pixels.
    void Text(int x, int y, const char* text, int scale, const Rgb& c, bool raiseAlpha = false);
    static int TextWidth(const char* text, int scale);

    // Writes folder/name as the colour bitmap; with alphaName also the alpha
    // map (grey levels) beside it. Returns false when a file cannot be written.
    bool Save(const std::string& folder, const std::string& name, const std::string& alphaName = "") const;

private:
    static int Wrap(int v, int n) { return ((v % n) + n) % n; }
};

// Tileable value noise: period cells across the unit square, seed picks the
// lattice. fbm sums octaves, each twice the frequency at half the weight.
float ValueNoise(float u, float v, int period, uint32_t seed);
float Fbm(float u, float v, int period, int octaves, uint32_t seed);

// Makes every folder of path (with '/' separators) that does not exist.
bool MakeFolders(const std::string& path);

#endif
