// texgen GAMEFOLDER: draws every texture of the demo game and writes it below
// GAMEFOLDER/textures, in the folders and under the names the engine and the
// demo's models ask for. Everything is computed, so the same build always
// gives the same bytes.
//
// Index of this file:
// [SECTION] Saving and colours
// [SECTION] Materials
// [SECTION] Night lights
// [SECTION] Sky
// [SECTION] Interface
// [SECTION] Editor markers
// [SECTION] Main
#include <cmath>
#include <cstdio>
#include <string>

#include "canvas.h"

// ---------------------------------------------------------------------------
// [SECTION] Saving and colours
namespace {

const float kPi = 3.14159265f;

std::string g_root;
int g_written = 0;
bool g_failed = false;

void Save(const Canvas& c, const std::string& folder, const std::string& name,
          const std::string& alphaName = "") {
    std::string dir = g_root + "/textures" + (folder.empty() ? "" : "/" + folder);
    if (!c.Save(dir, name, alphaName)) {
        std::fprintf(stderr, "texgen: cannot write %s/%s\n", dir.c_str(), name.c_str());
        g_failed = true;
        return;
    }
    g_written += alphaName.empty() ? 1 : 2;
}

Rgb C(int r, int g, int b) { return Rgb{r / 255.0f, g / 255.0f, b / 255.0f}; }

// ---------------------------------------------------------------------------
// [SECTION] Materials
void Grass() {
    Canvas c(128, 128);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float u = x / 128.0f, v = y / 128.0f;
            float n = Fbm(u, v, 4, 5, 11);
            float blade = ValueNoise(u, v, 64, 12);
            Rgb base = Mix(C(52, 92, 34), C(96, 134, 52), n);
            c.At(x, y) = Mix(base, C(120, 150, 70), blade * 0.35f);
        }
    Save(c, "village", "grass.bmp");
}

void Cobbles() {
    Canvas c(128, 128);
    c.Fill(C(70, 66, 60));
    // Stones on a jittered grid; the grid period divides the size so the
    // picture tiles.
    const int cells = 8;
    const float step = 128.0f / cells;
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i) {
            float jx = (ValueNoise(i * 0.37f, j * 0.53f, 16, 21) - 0.5f) * 4;
            float jy = (ValueNoise(i * 0.71f, j * 0.19f, 16, 22) - 0.5f) * 4;
            float cx = (i + 0.5f) * step + jx + (j % 2) * step * 0.5f, cy = (j + 0.5f) * step + jy;
            float shade = ValueNoise(i * 0.5f, j * 0.5f, 8, 23);
            Rgb stone = Mix(C(120, 116, 108), C(160, 152, 138), shade);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    // Draw wrapped copies so stones crossing an edge appear
                    // on the other side too.
                    float ox = cx + dx * 128.0f, oy = cy + dy * 128.0f;
                    c.Disc(ox, oy, step * 0.45f, stone);
                    c.Disc(ox - 1.5f, oy - 1.5f, step * 0.25f, Mix(stone, C(200, 196, 186), 0.3f), 0.5f);
                }
        }
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
            c.At(x, y) = Mix(c.At(x, y), C(40, 38, 34), Fbm(x / 128.0f, y / 128.0f, 8, 3, 24) * 0.3f);
    Save(c, "village", "cobbles.bmp");
}

void Stone() {
    Canvas c(128, 128);
    c.Fill(C(80, 78, 74));
    const int rows = 4;
    for (int r = 0; r < rows; ++r) {
        int y0 = r * 32;
        int offset = (r % 2) * 24;
        for (int b = -1; b < 3; ++b) {
            int x0 = b * 48 + offset;
            float shade = ValueNoise(r * 0.3f, b * 0.3f + 0.1f, 8, 31);
            Rgb block = Mix(C(128, 124, 116), C(168, 160, 146), shade);
            for (int y = y0 + 2; y < y0 + 30; ++y)
                for (int x = x0 + 2; x < x0 + 46; ++x) {
                    float n = Fbm(x / 128.0f, y / 128.0f, 8, 3, 32);
                    int wx = ((x % 128) + 128) % 128;
                    c.At(wx, y) = Mix(block, C(90, 86, 80), n * 0.5f);
                }
        }
    }
    Save(c, "village", "stone.bmp");
}

void Wood() {
    Canvas c(128, 128);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float u = x / 128.0f, v = y / 128.0f;
            float grain = std::sin((u * 40 + Fbm(u, v, 4, 4, 41) * 6) * kPi) * 0.5f + 0.5f;
            Rgb base = Mix(C(92, 60, 34), C(138, 94, 56), grain);
            // Planks 32 pixels wide.
            if (x % 32 < 2) base = C(50, 32, 18);
            c.At(x, y) = base;
        }
    Save(c, "village", "wood.bmp");
}

void Plaster() {
    Canvas c(128, 128);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float n = Fbm(x / 128.0f, y / 128.0f, 4, 5, 51);
            c.At(x, y) = Mix(C(206, 192, 160), C(236, 226, 200), n);
        }
    // A timber frame: top, bottom and side beams.
    c.Rect(0, 0, 128, 8, C(84, 54, 30));
    c.Rect(0, 120, 128, 128, C(84, 54, 30));
    c.Rect(0, 0, 8, 128, C(84, 54, 30));
    Save(c, "village", "plaster.bmp");
}

void Roof() {
    Canvas c(128, 128);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            int row = y / 16;
            int shift = (row % 2) * 8;
            float n = ValueNoise((x + shift) / 16.0f / 8.0f, row / 8.0f, 8, 61);
            Rgb tile = Mix(C(120, 46, 32), C(168, 72, 44), n);
            int ty = y % 16;
            if (ty >= 14 || (x + shift) % 16 == 0)
                tile = Mix(tile, C(40, 18, 12), 0.7f);
            else
                tile = Mix(tile, C(70, 26, 18), ty / 32.0f);
            c.At(x, y) = tile;
        }
    Save(c, "village", "roof.bmp");
}

void Iron() {
    Canvas c(32, 32);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
            c.At(x, y) = Mix(C(30, 30, 34), C(62, 62, 70), Fbm(x / 32.0f, y / 32.0f, 4, 3, 71));
    Save(c, "village", "iron.bmp");
}

// The villagers: cloth in three colours and a face.
void Cloth(const char* name, Rgb a, Rgb b, uint32_t seed) {
    Canvas c(64, 64);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float weave = ((x + y) % 4 < 2) ? 0.1f : 0.0f;
            c.At(x, y) = Mix(a, b, Fbm(x / 64.0f, y / 64.0f, 4, 3, seed) * 0.8f + weave);
        }
    Save(c, "characters", name);
}

// Old bronze: brown metal with green weathering.
void Bronze() {
    Canvas c(64, 64);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float u = x / 64.0f, v = y / 64.0f;
            Rgb metal = Mix(C(120, 84, 40), C(170, 124, 60), Fbm(u, v, 4, 4, 153));
            c.At(x, y) = Mix(metal, C(80, 120, 96), Smooth(0.55f, 0.8f, Fbm(u, v, 4, 3, 154)) * 0.7f);
        }
    Save(c, "village", "bronze.bmp");
}

// Anti-aliased ellipse with half-axes rx, ry.
void Ellipse(Canvas& c, float cx, float cy, float rx, float ry, const Rgb& colour, float t = 1.0f) {
    for (int y = static_cast<int>(cy - ry - 1); y <= static_cast<int>(cy + ry + 1); ++y)
        for (int x = static_cast<int>(cx - rx - 1); x <= static_cast<int>(cx + rx + 1); ++x) {
            float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
            float d = std::sqrt(dx * dx + dy * dy);
            float cover = Clamp01((1.0f - d) * std::fmin(rx, ry) + 0.5f);
            if (cover > 0) c.Blend(x, y, colour, cover * t);
        }
}

// The face plate of the characters (modelgen's figure): the upper three
// quarters span the flat front of the head, 15.8 wide from x = -7.9 and 19
// high from the hairline at y = 176 down to the chin; the bottom quarter
// holds patches of one colour each for the features that morph (eyelids in
// skin, the mouth, the brows).
void Face() {
    Canvas c(64, 64);
    const Rgb skin = C(214, 170, 136);
    c.Fill(skin);
    auto px = [](float x) { return (x + 7.9f) / 15.8f * 64.0f; };
    auto py = [](float y) { return (176.0f - y) * 0.75f / 19.0f * 64.0f; };
    const float sx = 64.0f / 15.8f, sy = 0.75f * 64.0f / 19.0f;  // texels per unit
    for (int y = 0; y < 48; ++y) {  // a little shade towards the chin and the sides
        for (int x = 0; x < 64; ++x) {
            float side = std::fabs(x - 31.5f) / 32.0f;
            c.At(x, y) =
                Mix(skin, C(180, 136, 106), Smooth(0.6f, 1.0f, side) * 0.6f + Smooth(36, 48, y) * 0.3f);
        }
    }
    for (float cheek : {-5.3f, 5.3f})
        Ellipse(c, px(cheek), py(164.5f), 2.2f * sx, 1.6f * sy, C(222, 140, 120), 0.35f);
    for (float ex : {-3.95f, 3.95f}) {
        Ellipse(c, px(ex), py(169.3f), 2.3f * sx, 2.1f * sy, C(176, 130, 100), 0.6f);  // the socket
        Ellipse(c, px(ex), py(169), 1.9f * sx, 1.75f * sy, C(245, 242, 236));
        Ellipse(c, px(ex), py(169), 1.0f * sx, 1.0f * sy, C(70, 90, 60));
        Ellipse(c, px(ex), py(169), 0.45f * sx, 0.45f * sy, C(15, 12, 10));
        Ellipse(c, px(ex) - 1.2f, py(169.4f), 0.25f * sx, 0.25f * sy, C(255, 255, 255), 0.8f);
        c.Line(px(ex - 1.9f), py(170.5f), px(ex + 1.9f), py(170.5f), 1.2f, C(60, 40, 30), 0.8f);  // lashes
    }
    // The nose: a shaded ridge and the nostrils.
    c.Line(px(-0.5f), py(168), px(-0.9f), py(164), 2.0f, C(186, 140, 108), 0.8f);
    Ellipse(c, px(-1.1f), py(163.6f), 0.6f * sx, 0.4f * sy, C(120, 80, 64), 0.7f);
    Ellipse(c, px(1.1f), py(163.6f), 0.6f * sx, 0.4f * sy, C(120, 80, 64), 0.7f);
    // Lips round the mouth (the mouth itself is geometry that opens).
    Ellipse(c, px(0), py(161.3f), 3.7f * sx, 1.0f * sy, C(176, 100, 92));
    // Patches.
    c.Rect(0, 48, 16, 64, skin);
    c.Rect(16, 48, 32, 64, C(58, 16, 18));
    c.Rect(32, 48, 48, 64, C(66, 46, 30));
    c.Rect(48, 48, 64, 64, skin);
    Save(c, "characters", "face.bmp");
}

// The tavern's sign: a golden goose on dark wood, "INN" below.
void Sign() {
    Canvas c(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            c.At(x, y) = Mix(C(54, 34, 20), C(80, 52, 30), Fbm(x / 64.0f, y / 16.0f, 4, 3, 151));
    const Rgb gold = C(226, 180, 60);
    c.Rect(0, 0, 64, 3, gold);
    c.Rect(0, 61, 64, 64, gold);
    c.Rect(0, 0, 3, 64, gold);
    c.Rect(61, 0, 64, 64, gold);
    Ellipse(c, 30, 30, 15, 10, gold);               // body
    c.Line(40, 28, 46, 12, 5, gold);                // neck
    Ellipse(c, 47, 11, 4.5f, 4.5f, gold);           // head
    c.Line(50, 11, 57, 13, 2.5f, C(230, 120, 40));  // beak
    Ellipse(c, 47.5f, 10, 1, 1, C(30, 20, 10));     // eye
    c.Line(18, 26, 30, 32, 2, C(180, 130, 40));     // wing
    c.Text(32 - Canvas::TextWidth("INN", 2) / 2, 45, "INN", 2, gold);
    Save(c, "village", "sign.bmp");
}

// The tower's banner: a golden tower on deep red.
void Banner() {
    Canvas c(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            c.At(x, y) = Mix(C(120, 20, 24), C(150, 34, 36), Fbm(x / 64.0f, y / 64.0f, 4, 2, 152));
    const Rgb gold = C(230, 190, 70);
    c.Rect(0, 0, 64, 4, gold);
    c.Rect(0, 60, 64, 64, gold);
    c.Rect(24, 22, 40, 50, gold);
    c.Rect(21, 18, 43, 23, gold);
    for (int x = 21; x < 43; x += 6) c.Rect(x, 14, x + 3, 18, gold);
    c.Rect(29, 38, 35, 50, C(120, 20, 24));  // the door
    Save(c, "village", "banner.bmp");
}

// ---------------------------------------------------------------------------
// [SECTION] Night lights
void Window(const char* name, bool lit, bool tavern) {
    Canvas c(64, 64);
    c.Fill(C(70, 46, 26));  // the frame
    Rgb glass = lit ? C(255, 208, 110) : C(40, 52, 66);
    int panes = tavern ? 3 : 2;
    int size = (64 - 8 - (panes - 1) * 4) / panes;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < panes; ++i) {
            int x0 = 4 + i * (size + 4), y0 = 4 + j * 30;
            for (int y = y0; y < y0 + 26; ++y)
                for (int x = x0; x < x0 + size; ++x) {
                    float n = ValueNoise(x / 64.0f, y / 64.0f, 8, lit ? 81 : 82);
                    Rgb p =
                        lit ? Mix(glass, C(255, 240, 190), n * 0.6f) : Mix(glass, C(90, 110, 130), n * 0.4f);
                    // A reflection streak on dark glass, a warm centre on lit.
                    if (!lit && (x - y) % 20 == 0) p = Mix(p, C(160, 180, 200), 0.5f);
                    c.At(x, y) = p;
                }
        }
    Save(c, "base_windows", name);
}

void LampGlass(const char* name, bool lit) {
    Canvas c(32, 32);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float d = std::hypot(x - 15.5f, y - 15.5f) / 22.0f;
            c.At(x, y) = lit ? Mix(C(255, 250, 220), C(255, 170, 60), Clamp01(d))
                             : Mix(C(150, 160, 150), C(70, 80, 78), Clamp01(d));
        }
    c.Rect(0, 0, 32, 2, C(30, 30, 34));
    c.Rect(0, 30, 32, 32, C(30, 30, 34));
    c.Rect(15, 0, 17, 32, C(30, 30, 34));
    Save(c, "Items/lamp_post01", name);
}

// ---------------------------------------------------------------------------
// [SECTION] Sky
void Clouds(const char* name, const char* alphaName, uint32_t seed, float cover, float softness, Rgb tint) {
    Canvas c(256, 256);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            // Stretch the noise, which gathers round one half, to the whole range.
            float n = Clamp01((Fbm(x / 256.0f, y / 256.0f, 4, 6, seed) - 0.5f) * 2.6f + 0.5f);
            float density = Smooth(1.0f - cover, 1.0f - cover + softness, n);
            c.At(x, y) = Mix(tint, C(255, 255, 255), n);
            c.AlphaAt(x, y) = density;
        }
    Save(c, "sky", name, alphaName);
}

void Moon() {
    Canvas c(64, 64);
    c.Fill(C(0, 0, 0), 0.0f);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float n = Fbm(x / 64.0f, y / 64.0f, 4, 4, 91);
            c.At(x, y) = Mix(C(170, 170, 164), C(240, 238, 226), n);
        }
    // Maria.
    c.Disc(24, 22, 8, C(140, 140, 136), 0.6f);
    c.Disc(38, 36, 10, C(150, 150, 146), 0.5f);
    c.Disc(26, 42, 5, C(140, 140, 136), 0.5f);
    Save(c, "sky/moon", "moon01.bmp");
    Save(c, "sky/moon", "moon15.bmp");

    // One alpha map per day of the 28-day month: day 1 is new, day 15 full.
    for (int day = 1; day <= 28; ++day) {
        Canvas a(64, 64);
        a.Fill(C(0, 0, 0), 0.0f);
        float theta = 2.0f * kPi * (day - 1) / 28.0f;
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x) {
                float px = (x + 0.5f - 32) / 30.0f, py = (y + 0.5f - 32) / 30.0f;
                float r = std::hypot(px, py);
                float disc = Clamp01((1.0f - r) * 30.0f);
                if (disc <= 0) continue;
                float half = std::sqrt(std::max(0.0f, 1.0f - py * py));
                float edge = std::cos(theta) * half;
                // Waxing: lit right of the terminator; waning: left of it.
                float lit =
                    theta <= kPi ? Clamp01((px - edge) * 20.0f + 0.5f) : Clamp01((-edge - px) * 20.0f + 0.5f);
                float level = disc * (0.12f + 0.88f * lit);  // a faint earthshine on the dark side
                a.At(x, y) = Rgb{level, level, level};
            }
        char name[32];
        std::snprintf(name, sizeof name, "moon%02d_alpha.bmp", day);
        Save(a, "sky/moon", name);
    }
}

void SunAndGlows() {
    Canvas sun(64, 64);
    Canvas white(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            float r = std::hypot(x + 0.5f - 32, y + 0.5f - 32) / 32.0f;
            sun.At(x, y) = Mix(C(255, 255, 240), C(255, 200, 90), Clamp01(r * 1.2f));
            sun.AlphaAt(x, y) = Clamp01((1.0f - r) * 4.0f);
            white.At(x, y) = C(255, 255, 255);
            white.AlphaAt(x, y) = Clamp01((1.0f - r) * 6.0f);
        }
    Save(sun, "sky/sun", "sun.bmp", "sun_a.bmp");
    Save(white, "sky/sun", "sun_white.bmp", "sun_alpha.bmp");

    Canvas glow(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            float r = std::hypot(x + 0.5f - 32, y + 0.5f - 32) / 32.0f;
            glow.At(x, y) = Mix(C(255, 250, 230), C(255, 190, 110), Clamp01(r));
            float a = Clamp01(1.0f - r);
            glow.AlphaAt(x, y) = a * a;
        }
    Save(glow, "lens_fx", "glow01.bmp", "glow01_a.bmp");

    Canvas star(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            float r = std::hypot(x + 0.5f - 8, y + 0.5f - 8) / 8.0f;
            star.At(x, y) = C(255, 255, 255);
            float a = Clamp01(1.0f - r);
            star.AlphaAt(x, y) = a * a * a;
        }
    Save(star, "lens_fx", "star01.bmp", "star01alpha.bmp");
}

void Particles() {
    Canvas fire(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            float r = std::hypot(x + 0.5f - 16, y + 0.5f - 16) / 16.0f;
            fire.At(x, y) = Mix(C(220, 110, 10), C(140, 30, 0),
                                Clamp01(r * 1.3f));  // no blue: many additive quads stay orange
            float a = Clamp01(1.0f - r);
            fire.AlphaAt(x, y) = a * a;
        }
    Save(fire, "effects/particles", "particles01orange.bmp", "particles01orange_a.bmp");

    Canvas smoke(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            float r = std::hypot(x + 0.5f - 32, y + 0.5f - 32) / 32.0f;
            float n = Fbm(x / 64.0f, y / 64.0f, 4, 4, 101);
            smoke.At(x, y) = Mix(C(90, 90, 92), C(170, 170, 172), n);
            smoke.AlphaAt(x, y) = Clamp01(1.0f - r) * Clamp01(n * 1.4f - 0.1f) * 0.8f;
        }
    Save(smoke, "effects/particles", "smoke02.bmp", "smoke02_a.bmp");
}

// The camp fire's bed of embers, a texture list of four frames (the
// DirectX 7 driver and the OpenGL driver both step through it): glowing
// noise whose hot spots drift from frame to frame.
void Embers() {
    const int frames = 4;
    std::string list = "150\n";
    for (int f = 0; f < frames; ++f) {
        Canvas c(64, 64);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                float u = x / 64.0f, v = y / 64.0f;
                float base = Fbm(u, v, 4, 4, 171);
                float flicker = Fbm(u + f * 0.25f, v - f * 0.125f, 8, 3, 172);
                float heat = Clamp01(base * 0.6f + flicker * 0.8f - 0.3f);
                c.At(x, y) = Mix(Mix(C(40, 12, 4), C(200, 60, 10), Clamp01(heat * 1.6f)), C(255, 200, 80),
                                 Clamp01(heat * 2.0f - 1.0f));
            }
        char name[32];
        std::snprintf(name, sizeof name, "embers%02d.bmp", f + 1);
        Save(c, "village", name);
        list += std::string(name) + "\n";
    }
    const std::string path = g_root + "/textures/village/embers.ifl";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(list.data(), 1, list.size(), out) != list.size()) {
        std::fprintf(stderr, "texgen: cannot write %s\n", path.c_str());
        g_failed = true;
    } else {
        ++g_written;
    }
    if (out) std::fclose(out);
}

// ---------------------------------------------------------------------------
// [SECTION] Interface
void Pointer() {
    Canvas c(32, 32);
    c.Fill(C(0, 0, 0), 0.0f);
    // An arrow whose tip is the top-left corner.
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            bool inside = x <= y && x + y / 2 < 30 && y < 30;
            bool edge = inside && (x == 0 || x == y || x + y / 2 >= 28 || y >= 28);
            if (inside) {
                c.At(x, y) = edge ? C(40, 30, 10) : C(250, 230, 160);
                c.AlphaAt(x, y) = 1.0f;
            }
        }
    Save(c, "interface", "pointer01.bmp", "pointer01a.bmp");
}

void Crosshair() {
    Canvas c(32, 32);
    c.Fill(C(255, 255, 255), 0.0f);
    c.Rect(15, 2, 17, 12, C(255, 255, 255), 1.0f, true);
    c.Rect(15, 20, 17, 30, C(255, 255, 255), 1.0f, true);
    c.Rect(2, 15, 12, 17, C(255, 255, 255), 1.0f, true);
    c.Rect(20, 15, 30, 17, C(255, 255, 255), 1.0f, true);
    c.Disc(16, 16, 1.5f, C(255, 255, 255), 1.0f, true);
    Save(c, "interface", "crosshair.bmp", "crosshair_alpha.bmp");
}

// Three tiles that stand side by side on the loading screen (128 virtual
// units apart) and spell the name together.
void Loading() {
    Canvas all(384, 128);
    for (int y = 0; y < all.h; ++y)
        for (int x = 0; x < all.w; ++x) {
            float n = Fbm(x / 384.0f, y / 128.0f, 4, 4, 111);
            all.At(x, y) = Mix(C(20, 16, 30), C(60, 40, 70), n * (1.0f - y / 256.0f));
        }
    const char* title = "ZENDAR";
    int tw = Canvas::TextWidth(title, 9);
    all.Text((384 - tw) / 2 + 3, 27, title, 9, C(30, 18, 8));
    all.Text((384 - tw) / 2, 24, title, 9, C(232, 190, 90));
    const char* sub = "LOADING...";
    int sw = Canvas::TextWidth(sub, 3);
    all.Text((384 - sw) / 2, 96, sub, 3, C(200, 190, 170));
    for (int t = 0; t < 3; ++t) {
        Canvas tile(128, 128);
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) tile.At(x, y) = all.At(t * 128 + x, y);
        char name[32];
        std::snprintf(name, sizeof name, "loading%02d.bmp", t + 1);
        Save(tile, "interface/loading", name);
    }
}

void TextBox() {
    Canvas field(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            float n = Fbm(x / 64.0f, y / 64.0f, 4, 4, 121);
            field.At(x, y) = Mix(C(16, 20, 44), C(34, 40, 76), n);
            field.AlphaAt(x, y) = 0.82f;
        }
    Save(field, "interface/textbox", "field01.bmp", "field01a.bmp");

    // The frame: the outer 16 pixels are the border (the box cuts the
    // picture at 16 and 48), drawn as a gold rope on dark wood.
    Canvas edge(64, 64);
    edge.Fill(C(0, 0, 0), 0.0f);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            int d = std::min(std::min(x, y), std::min(63 - x, 63 - y));  // distance to the outside
            if (d >= 16) continue;
            Rgb c = C(58, 36, 20);
            float a = 1.0f;
            if (d < 2)
                c = C(24, 14, 8);
            else if (d >= 6 && d < 10)
                c = Mix(C(200, 160, 70), C(250, 220, 130), ((x + y) % 6) / 6.0f);
            else if (d >= 13) {
                c = C(24, 14, 8);
                a = 0.9f - (d - 13) * 0.2f;
            }
            edge.At(x, y) = c;
            edge.AlphaAt(x, y) = a;
        }
    // Round the outer corners.
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            float cx = x < 32 ? 8.0f : 55.0f, cy = y < 32 ? 8.0f : 55.0f;
            bool corner = (x < 8 || x > 55) && (y < 8 || y > 55);
            if (corner && std::hypot(x + 0.5f - cx, y + 0.5f - cy) > 8.5f) edge.AlphaAt(x, y) = 0.0f;
        }
    Save(edge, "interface/textbox", "edge01.bmp", "edge01a.bmp");
}

void Icon(const char* name, int kind) {
    Canvas c(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) c.At(x, y) = Mix(C(40, 30, 22), C(70, 54, 38), y / 32.0f);
    c.Rect(0, 0, 32, 1, C(150, 120, 70));
    c.Rect(0, 31, 32, 32, C(150, 120, 70));
    c.Rect(0, 0, 1, 32, C(150, 120, 70));
    c.Rect(31, 0, 32, 32, C(150, 120, 70));
    if (kind == 0 || kind == 1) {  // keys: iron for the gate, brass for a room
        Rgb metal = kind == 0 ? C(170, 174, 180) : C(220, 180, 70);
        c.Disc(10, 16, 6, metal);
        c.Disc(10, 16, 2.5f, C(40, 30, 22));
        c.Rect(15, 15, 28, 18, metal);
        c.Rect(22, 18, 24, 23, metal);
        c.Rect(26, 18, 28, 22, metal);
    } else if (kind == 2) {  // a coin
        c.Disc(16, 16, 10, C(200, 160, 40));
        c.Disc(16, 16, 7, C(240, 200, 80));
    } else if (kind == 4) {  // a charm on a cord
        c.Line(8, 4, 16, 16, 1.5f, C(200, 190, 160));
        c.Line(24, 4, 16, 16, 1.5f, C(200, 190, 160));
        c.Disc(16, 20, 7, C(90, 170, 200));
        c.Disc(14, 18, 2.5f, C(200, 240, 250));
    } else if (kind == 5) {  // a signet ring with a red stone
        c.Disc(16, 19, 9, C(220, 180, 60));
        c.Disc(16, 19, 5.5f, C(40, 30, 22));
        c.Disc(16, 9, 5, C(240, 200, 80));
        c.Disc(16, 9, 3, C(180, 30, 36));
    } else {  // a barrel
        c.Rect(8, 5, 24, 27, C(130, 84, 44));
        c.Rect(7, 9, 25, 11, C(60, 60, 64));
        c.Rect(7, 21, 25, 23, C(60, 60, 64));
    }
    Save(c, "icons", name);
}

// ---------------------------------------------------------------------------
// [SECTION] Editor markers
void Marker(const char* name, Rgb colour) {
    Canvas c(16, 16);
    c.Fill(colour);
    c.Rect(0, 0, 16, 2, Mix(colour, C(0, 0, 0), 0.5f));
    c.Rect(0, 14, 16, 16, Mix(colour, C(0, 0, 0), 0.5f));
    Save(c, "editor", name);
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Main
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: texgen GAMEFOLDER\n");
        return 2;
    }
    g_root = argv[1];

    Grass();
    Cobbles();
    Stone();
    Wood();
    Plaster();
    Roof();
    Iron();
    Cloth("tunic_red.bmp", C(120, 30, 28), C(170, 60, 50), 131);
    Cloth("tunic_green.bmp", C(40, 80, 40), C(80, 120, 60), 132);
    Cloth("tunic_blue.bmp", C(36, 50, 110), C(70, 90, 150), 133);
    Cloth("leather.bmp", C(70, 46, 26), C(110, 76, 44), 134);
    Cloth("robe.bmp", C(58, 58, 78), C(92, 92, 118), 135);
    Face();
    Sign();
    Banner();
    Bronze();

    Window("window03a.bmp", false, false);
    Window("window03c.bmp", true, false);
    Window("window02a.bmp", false, true);
    Window("window02c.bmp", true, true);
    LampGlass("lamp_glass01.bmp", false);
    LampGlass("lamp_glass02.bmp", true);

    Clouds("clouds01.bmp", "clouds01_a.bmp", 141, 0.45f, 0.25f, C(200, 205, 215));
    Clouds("clouds02.bmp", "clouds02_a.bmp", 142, 0.30f, 0.20f, C(215, 215, 225));
    Clouds("clouds03.bmp", "clouds03_a.bmp", 143, 0.85f, 0.40f, C(110, 112, 120));
    Moon();
    SunAndGlows();
    Particles();
    Embers();

    Pointer();
    Crosshair();
    Loading();
    TextBox();
    Icon("gatekey.bmp", 0);
    Icon("roomkey.bmp", 1);
    Icon("coin.bmp", 2);
    Icon("barrel.bmp", 3);
    Icon("charm.bmp", 4);
    Icon("seal.bmp", 5);

    Marker("light.bmp", C(250, 220, 80));
    Marker("camera.bmp", C(80, 160, 250));
    Marker("particle.bmp", C(250, 120, 40));

    if (g_failed) return 1;
    std::printf("texgen: %d files\n", g_written);
    return 0;
}
