// The conversation text box: a framed panel of word-wrapped paragraphs
// ("entries") on the 640 x 480 virtual screen. Selectable entries are the
// answers of a choice; they light up under the mouse and a click picks one.
// A box without answers is dismissed by a click anywhere inside it.
//
// Lines wrap against the virtual x = 420 whatever the box's x, so a box
// further right is narrower.
#ifndef ZENDAR_GUI_TEXTBOX_H
#define ZENDAR_GUI_TEXTBOX_H

#include <cstdint>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "utility/zstring.h"

class Font;

// Words wrap before this virtual x.
constexpr int kTextWrapX = 420;
constexpr int kMaxTextEntries = 100;
constexpr int kMaxEntryLines = 512;
constexpr int kMinTextBoxWidth = 100;
// The frame's width outside the box, in virtual units.
constexpr int kTextFrameWidth = 8;
constexpr int kTextFrameIndexCount = 48;

extern const char* const kTextBoxBackground;
extern const char* const kTextBoxBackgroundAlpha;
extern const char* const kTextBoxFrame;
extern const char* const kTextBoxFrameAlpha;

struct TextEntry {
    bool selectable = false;
    int32_t top = 0;  // relative to the box's y
    int32_t bottom = 0;
    int32_t lineCount = 0;
    String skin;
    std::vector<String> lines;
};

class TextBox {
public:
    // Registers the background and frame textures with the driver the first
    // box meets; later boxes reuse them.
    TextBox(Font* font, int x, int y);
    // The next box registers the textures again (the driver lost them).
    static void ForgetTextures();
    virtual ~TextBox();
    TextBox(const TextBox&) = delete;
    TextBox& operator=(const TextBox&) = delete;

    // Wraps text into lines and appends it as one entry; false when the box
    // already holds kMaxTextEntries entries.
    bool AddEntry(const char* text, const char* skin, bool selectable);
    void Hover(int mouseX, int mouseY);
    void Click(int mouseX, int mouseY);
    // The keyboard's answers: the n-th answer (1 for the first) is chosen,
    // false when there is none; going on (Enter, Space) dismisses a box
    // without answers and takes the highlighted answer of one with them.
    bool ChooseAnswer(int n);
    void GoOn();
    // -1 while waiting for a click.
    int Chosen() const { return chosen; }
    int Highlighted() const { return highlighted; }
    void Draw();

    // Breaks text into lines as AddEntry does (exposed for tools and tests).
    static void WrapText(const Font* font, int startX, int availableWidth, const char* text,
                         std::vector<String>* lines, int* widest);

    Font* font;
    int32_t x, y;
    int32_t width = kMinTextBoxWidth;
    int32_t height = 0;
    int32_t entryCount = 0;
    TextEntry entries[kMaxTextEntries];
    int32_t highlighted = -1;
    int32_t chosen = -1;
    bool hasChoices = false;
    float alpha = 255.0f;
    TLVERTEX background[4];
    TLVERTEX frame[16];
    uint16_t frameIndices[kTextFrameIndexCount];

private:
    void BuildGeometry();
    bool Inside(int mouseX, int mouseY) const;
    int EntryAt(int mouseY) const;
};

#endif
