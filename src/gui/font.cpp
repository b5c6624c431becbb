#include "gui/font.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "gfxdriver/gfxdriver.h"
#include "settings/settings.h"
#include "utility/datafile.h"

Font* g_font = nullptr;

namespace {

constexpr int kCellCount = 128;  // 16 columns by 8 rows
constexpr int kFullCell = 16;    // widths are in sixteenths of a cell
constexpr int kTextBuffer = 1024;

// Lines keep no trailing blanks: a name typed with a space after it still
// matches what the program selects.
char* TrimmedLine(DataFile& file) {
    char* line = file.ReadLine();
    if (!line) return nullptr;
    size_t n = std::strlen(line);
    while (n > 0 && (line[n - 1] == ' ' || line[n - 1] == '\t')) line[--n] = 0;
    return line;
}

}  // namespace

Font::Font(const char* fileName) {
    for (int i = 0; i < 256; ++i) {
        glyphCell[i] = -1;
        glyphWidth[i] = 0;
    }
    loaded = fileName && Read(fileName) ? 1 : 0;
    SetSize(12);
}

Font::~Font() {
    while (skins) {
        FontSkin* next = skins->next;
        delete[] skins->name;
        delete[] skins->texture;
        delete skins;
        skins = next;
    }
}

bool Font::Read(const char* fileName) {
    DataFile file;
    if (!file.Open(fileName)) return false;

    for (;;) {
        char* token = file.ReadToken();
        if (!token) return false;
        bool found = std::strcmp(token, "[skins]") == 0;
        delete[] token;
        if (found) break;
    }

    for (;;) {
        char* name = TrimmedLine(file);
        if (!name) return true;  // no data section: skins only
        if (std::strcmp(name, "[data]") == 0) {
            delete[] name;
            break;
        }
        char* texture = TrimmedLine(file);
        char* alpha = texture ? TrimmedLine(file) : nullptr;
        if (!texture || !alpha) {
            delete[] name;
            delete[] texture;
            return true;
        }
        if (g_gfxdriver) g_gfxdriver->GenerateTexture(texture, alpha);
        FontSkin* skin = new FontSkin;
        skin->name = name;
        skin->texture = texture;
        skin->next = skins;
        skins = skin;
        delete[] alpha;
    }

    for (int pair = 0;; ++pair) {
        char* character = file.ReadToken();
        if (!character) break;
        if (std::strcmp(character, "[end]") == 0) {
            delete[] character;
            break;
        }
        char* width = file.ReadToken();
        if (!width) {
            delete[] character;
            break;
        }
        unsigned char c = static_cast<unsigned char>(character[0]);
        int w = SettingsInteger(width);
        // A glyph's area must stay inside its own cell, and only 128 cells exist.
        if (w < 0) w = 0;
        if (w > kFullCell) w = kFullCell;
        if (pair < kCellCount) {
            glyphCell[c] = pair;
            glyphWidth[c] = w;
        }
        delete[] character;
        delete[] width;
    }
    return true;
}

void Font::SetSize(int n) {
    size = n;
    spaceWidth = n / 3;
    tabWidth = 5 * (n / 3);
}

bool Font::SelectSkin(const char* name) {
    if (!name) return false;
    if (currentSkin && std::strcmp(currentSkin->name, name) == 0) return true;
    for (FontSkin* skin = skins; skin; skin = skin->next) {
        if (std::strcmp(skin->name, name) == 0) {
            currentSkin = skin;
            return true;
        }
    }
    return false;
}

int Font::CharacterAdvance(unsigned char c) const {
    if (c == '\t') return tabWidth;
    if (c == ' ') return spaceWidth;
    if (glyphCell[c] < 0) return 0;
    return static_cast<int>(glyphWidth[c] * size * 0.0625f);
}

// Tab stops lie every tab width from where the text started; a tab always
// moves on to the next one (a font without a tab width leaves tabs in place).
int Font::NextTabStop(int x, int startX) const {
    if (tabWidth <= 0) return x;
    int offset = x - startX;
    int stops = offset >= 0 ? offset / tabWidth + 1 : 0;
    return startX + stops * tabWidth;
}

int Font::AdvanceAt(unsigned char c, int x, int startX) const {
    if (c == '\t') return NextTabStop(x, startX) - x;
    return CharacterAdvance(c);
}

int Font::TextWidth(const char* text, int startX) const {
    if (!text) return 0;
    int x = startX;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        x += AdvanceAt(*p, x, startX);
    return x - startX;
}

void Font::DrawText(int x, int y, const char* format, ...) {
    if (!format || !g_gfxdriver) return;
    char text[kTextBuffer];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);  // cut at 1023 characters
    va_end(args);
    DrawPlain(x, y, text);
}

void Font::DrawPlain(int x, int y, const char* text) {
    if (!text || !g_gfxdriver) return;
    GfxDriver* driver = g_gfxdriver;
    bool lighting = driver->SetLighting(false);
    bool blending = driver->SetAlphaBlending(true);
    uint8_t depth = driver->SetZBufferMode(ZBUFFER_OFF);
    if (currentSkin) driver->SetTexture(currentSkin->texture);

    int startX = x;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        unsigned char c = *p;
        if (glyphCell[c] >= 0) {
            DrawGlyph(c, x, y);
            x += CharacterAdvance(c);
        } else if (c == ' ') {
            x += spaceWidth;
        } else if (c == '\t') {
            x = NextTabStop(x, startX);
        }
    }

    driver->SetAlphaBlending(blending);
    driver->SetLighting(lighting);
    driver->SetZBufferMode(depth);
}

void Font::DrawGlyph(unsigned char c, int x, int y) {
    GfxDriver* driver = g_gfxdriver;
    int k = glyphCell[c];
    float a = glyphWidth[c] / 256.0f;
    float uLeft = (k % 16) * 0.0625f + 0.025f * a;
    float vTop = (k / 16) * 0.125f + 0.025f * 0.125f;
    float uSpan = 0.95f * a;
    float vSpan = 0.95f * 0.125f;
    int p = CharacterAdvance(c);
    float W = static_cast<float>(driver->width);
    float H = static_cast<float>(driver->height);
    float left = x / 640.0f * W;
    float top = y / 480.0f * H;
    float right = (x + p) / 640.0f * W;
    float bottom = (y + size) / 480.0f * H;

    TLVERTEX v[4];
    const float sx[4] = {left, right, left, right};
    const float sy[4] = {top, top, bottom, bottom};
    const float tu[4] = {uLeft, uLeft + uSpan, uLeft, uLeft + uSpan};
    const float tv[4] = {vTop, vTop, vTop + vSpan, vTop + vSpan};
    for (int i = 0; i < 4; ++i) {
        v[i].sx = sx[i];
        v[i].sy = sy[i];
        v[i].sz = 0.1f;
        v[i].rhw = 0.1f;
        v[i].color = 0xFFFFFFFFu;
        v[i].specular = 0;
        v[i].tu = tu[i];
        v[i].tv = tv[i];
    }
    driver->DrawStrip(v, 4);
}
