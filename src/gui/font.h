// The bitmap font: one texture of 16 x 8 glyph cells per skin (a skin is a
// colour variant with the same cell layout), a description file naming the
// skins and the width of every glyph, and text drawn as one screen-space quad
// per glyph on the 640 x 480 virtual screen, scaled to the driver's size.
//
// Description file (tokens and lines of DataFile):
//   ...anything...  [skins]
//   <skin name line> <texture line> <alpha-map line>   (repeated)
//   [data]
//   <char> <width>  (pairs; the n-th pair is glyph cell n; width in 16ths of a cell)
//   [end]
#ifndef ZENDAR_GUI_FONT_H
#define ZENDAR_GUI_FONT_H

#include <cstdint>

// <windows.h> maps DrawText to DrawTextA/W; the font's name wins here.
#ifdef DrawText
#undef DrawText
#endif

// The virtual screen every 2D position is given in.
constexpr int kVirtualWidth = 640;
constexpr int kVirtualHeight = 480;

struct FontSkin {
    char* name;     // owned
    char* texture;  // owned
    FontSkin* next;
};

class Font {
public:
    // Reads fileName as passed, then under the base path.
    explicit Font(const char* fileName);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    void SetSize(int n);
    // False (and the current skin kept) when no skin has that name.
    bool SelectSkin(const char* name);

    // printf-like; x, y: the top-left corner of the first glyph in virtual units.
    void DrawText(int x, int y, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 4, 5)))
#endif
        ;
    // The text as given, without formatting.
    void DrawPlain(int x, int y, const char* text);

    // Tab width for tab, space width for space, else the glyph's width at the
    // current size (0 for a character without a glyph).
    int CharacterAdvance(unsigned char c) const;
    // How far c moves a pen at x when the text started at startX: a tab goes
    // to the next tab stop after x, everything else as CharacterAdvance.
    int AdvanceAt(unsigned char c, int x, int startX) const;
    // Width of the text drawn from startX (tabs included).
    int TextWidth(const char* text, int startX = 0) const;

    bool HasGlyph(unsigned char c) const { return glyphCell[c] >= 0; }
    const FontSkin* CurrentSkin() const { return currentSkin; }
    const FontSkin* Skins() const { return skins; }

    int32_t glyphCell[256];
    int32_t glyphWidth[256];
    FontSkin* skins = nullptr;
    uint8_t loaded = 0;
    FontSkin* currentSkin = nullptr;
    int32_t size = 12;
    int32_t spaceWidth = 4;
    int32_t tabWidth = 20;

private:
    bool Read(const char* fileName);
    void DrawGlyph(unsigned char c, int x, int y);
    int NextTabStop(int x, int startX) const;
};

// The process-wide font; null until start-up creates it.
extern Font* g_font;

#endif
