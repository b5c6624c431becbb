#include "gui/textbox.h"

#include <string>

#include "gui/font.h"

const char* const kTextBoxBackground = "textures\\interface\\textbox\\field01.bmp";
const char* const kTextBoxBackgroundAlpha = "textures\\interface\\textbox\\field01a.bmp";
const char* const kTextBoxFrame = "textures\\interface\\textbox\\edge01.bmp";
const char* const kTextBoxFrameAlpha = "textures\\interface\\textbox\\edge01a.bmp";

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool EndsWord(char c) { return c == 0 || c == ' ' || c == '\t' || c == '\n'; }

void SetVertex(TLVERTEX* v, float sx, float sy, PackedColor colour, float tu, float tv) {
    v->sx = sx;
    v->sy = sy;
    v->sz = 0.1f;
    v->rhw = 0.1f;
    v->color = colour;
    v->specular = 0;
    v->tu = tu;
    v->tv = tv;
}

}  // namespace

namespace {
// The driver the panel's two textures were registered with: every box after
// the first reuses them (each registration would load them again).
const GfxDriver* s_texturesDriver = nullptr;
}  // namespace

TextBox::TextBox(Font* f, int px, int py) : font(f), x(px), y(py) {
    if (g_gfxdriver && g_gfxdriver != s_texturesDriver) {
        g_gfxdriver->GenerateTexture(kTextBoxBackground, kTextBoxBackgroundAlpha);
        g_gfxdriver->GenerateTexture(kTextBoxFrame, kTextBoxFrameAlpha);
        s_texturesDriver = g_gfxdriver;
    }
    BuildGeometry();
}

void TextBox::ForgetTextures() { s_texturesDriver = nullptr; }

TextBox::~TextBox() {}

void TextBox::WrapText(const Font* font, int startX, int availableWidth, const char* text,
                       std::vector<String>* lines, int* widest) {
    std::string line;
    int lineWidth = 0;
    bool hasWord = false;
    int widestLine = 0;
    auto endLine = [&]() {
        if (static_cast<int>(lines->size()) < kMaxEntryLines) lines->push_back(String(line.c_str()));
        if (lineWidth > widestLine) widestLine = lineWidth;
        line.clear();
        lineWidth = 0;
        hasWord = false;
    };

    const char* p = text ? text : "";
    while (*p) {
        char c = *p;
        if (c == '\n') {
            endLine();
            ++p;
            continue;
        }
        if (IsBlank(c)) {
            line += c;
            if (font) lineWidth += font->AdvanceAt(static_cast<unsigned char>(c), startX + lineWidth, startX);
            ++p;
            continue;
        }
        const char* end = p;
        int wordWidth = 0;
        while (!EndsWord(*end)) {
            if (font) wordWidth += font->CharacterAdvance(static_cast<unsigned char>(*end));
            ++end;
        }
        // A word never splits: one wider than the whole line stands alone.
        if (hasWord && lineWidth + wordWidth > availableWidth) endLine();
        line.append(p, end - p);
        lineWidth += wordWidth;
        hasWord = true;
        p = end;
    }
    if (!line.empty() || lines->empty()) endLine();
    if (widest) *widest = widestLine;
}

bool TextBox::AddEntry(const char* text, const char* skin, bool selectable) {
    if (entryCount >= kMaxTextEntries) return false;
    TextEntry& entry = entries[entryCount];
    if (selectable) hasChoices = true;
    entry.selectable = selectable;
    entry.top = entryCount > 0 ? entries[entryCount - 1].bottom : 0;
    entry.skin = skin ? skin : "";
    entry.lines.clear();
    int widest = 0;
    WrapText(font, x, kTextWrapX - x, text, &entry.lines, &widest);
    entry.lineCount = static_cast<int32_t>(entry.lines.size());
    int lineHeight = font ? font->size : 0;
    height += lineHeight * entry.lineCount;
    entry.bottom = height;
    if (widest > width) width = widest;
    if (width < kMinTextBoxWidth) width = kMinTextBoxWidth;
    ++entryCount;
    BuildGeometry();
    return true;
}

bool TextBox::Inside(int mouseX, int mouseY) const {
    return mouseX >= x && mouseX < x + width && mouseY >= y && mouseY < y + height;
}

// The last selectable entry whose band holds the point, -1 for none.
int TextBox::EntryAt(int mouseY) const {
    int relative = mouseY - y;
    int found = -1;
    for (int i = 0; i < entryCount; ++i)
        if (entries[i].selectable && entries[i].top < relative && relative < entries[i].bottom) found = i;
    return found;
}

void TextBox::Hover(int mouseX, int mouseY) {
    if (chosen != -1) return;
    highlighted = -1;
    if (Inside(mouseX, mouseY)) highlighted = EntryAt(mouseY);
}

void TextBox::Click(int mouseX, int mouseY) {
    if (chosen != -1 || !Inside(mouseX, mouseY)) return;
    if (!hasChoices) chosen = 0;
    int hit = EntryAt(mouseY);
    if (hit >= 0) chosen = hit;
}

bool TextBox::ChooseAnswer(int n) {
    if (chosen != -1 || n < 1) return false;
    for (int i = 0; i < entryCount; ++i) {
        if (!entries[i].selectable || --n > 0) continue;
        chosen = i;
        return true;
    }
    return false;
}

void TextBox::GoOn() {
    if (chosen != -1) return;
    if (!hasChoices)
        chosen = 0;
    else if (highlighted >= 0)
        chosen = highlighted;
}

void TextBox::BuildGeometry() {
    float W = g_gfxdriver ? static_cast<float>(g_gfxdriver->width) : static_cast<float>(kVirtualWidth);
    float H = g_gfxdriver ? static_cast<float>(g_gfxdriver->height) : static_cast<float>(kVirtualHeight);
    auto sx = [&](int vx) { return vx / static_cast<float>(kVirtualWidth) * W; };
    auto sy = [&](int vy) { return vy / static_cast<float>(kVirtualHeight) * H; };
    PackedColor colour = (static_cast<uint32_t>(static_cast<int>(alpha)) << 24) | 0x00FFFFFFu;

    SetVertex(&background[0], sx(x), sy(y), colour, 0, 0);
    SetVertex(&background[1], sx(x + width), sy(y), colour, 1, 0);
    SetVertex(&background[2], sx(x), sy(y + height), colour, 0, 1);
    SetVertex(&background[3], sx(x + width), sy(y + height), colour, 1, 1);

    // The edge texture is cut into a 3 x 3 grid at 16/64 and 48/64: its
    // corners go to the frame's corners, its sides are stretched along the
    // box's sides, its middle is not used.
    const int b = kTextFrameWidth;
    const int gx[4] = {x - b, x, x + width, x + width + b};
    const int gy[4] = {y - b, y, y + height, y + height + b};
    const float gt[4] = {0.0f, 16.0f / 64.0f, 48.0f / 64.0f, 1.0f};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            SetVertex(&frame[row * 4 + col], sx(gx[col]), sy(gy[row]), colour, gt[col], gt[row]);
    int n = 0;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (row == 1 && col == 1) continue;
            uint16_t tl = static_cast<uint16_t>(row * 4 + col);
            uint16_t tr = static_cast<uint16_t>(tl + 1);
            uint16_t bl = static_cast<uint16_t>(tl + 4);
            uint16_t br = static_cast<uint16_t>(tl + 5);
            const uint16_t quad[6] = {tl, tr, bl, tr, br, bl};
            for (uint16_t index : quad) frameIndices[n++] = index;
        }
    }
}

void TextBox::Draw() {
    if (!g_gfxdriver) return;
    // The panel's alpha maps only count with blending on, and the panel lies
    // over the whole scene, so it is drawn as the font draws: blended,
    // without depth test, with the previous state put back.
    bool blending = g_gfxdriver->SetAlphaBlending(true);
    uint8_t depth = g_gfxdriver->SetZBufferMode(ZBUFFER_OFF);
    g_gfxdriver->SetTexture(kTextBoxBackground);
    g_gfxdriver->DrawStrip(background, 4);
    g_gfxdriver->SetTexture(kTextBoxFrame);
    g_gfxdriver->DrawIndexedList(frame, 16, frameIndices, kTextFrameIndexCount);
    g_gfxdriver->SetZBufferMode(depth);
    g_gfxdriver->SetAlphaBlending(blending);
    if (!font) return;
    int line = 0;
    for (int i = 0; i < entryCount; ++i) {
        font->SelectSkin(i == highlighted ? "white" : entries[i].skin.c_str());
        for (const String& text : entries[i].lines) {
            font->DrawText(x, y + line * font->size, "%s", text.c_str());
            ++line;
        }
    }
}
