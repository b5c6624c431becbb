#include "gui/interfaceimage.h"

#include <cstring>

#include "gui/font.h"
#include "utility/stringhashtable.h"

namespace {

char* CopyText(const char* text) {
    if (!text) text = "";
    size_t n = std::strlen(text);
    char* copy = new char[n + 1];
    std::memcpy(copy, text, n + 1);
    return copy;
}

InterfaceImage* g_images = nullptr;

StringHashTable& ImageTable() {
    static StringHashTable table;
    return table;
}

}  // namespace

InterfaceImage::InterfaceImage(const char* imageName, const char* textureName, const char* alphaMap, int px,
                               int py, int w, int h, bool show)
    : x(px), y(py), width(w), height(h), name(CopyText(imageName)), texture(CopyText(textureName)) {
    shown = show ? 1 : 0;
    std::memset(quad, 0, sizeof quad);
    if (g_gfxdriver) {
        g_gfxdriver->GenerateTexture(texture, alphaMap);
        ready = 1;
        BuildQuad();
    }
}

InterfaceImage::~InterfaceImage() {
    delete[] name;
    delete[] texture;
}

void InterfaceImage::BuildQuad() {
    if (!g_gfxdriver) return;
    float W = static_cast<float>(g_gfxdriver->width);
    float H = static_cast<float>(g_gfxdriver->height);
    float left = x / static_cast<float>(kVirtualWidth) * W;
    float top = y / static_cast<float>(kVirtualHeight) * H;
    float right = (x + width) / static_cast<float>(kVirtualWidth) * W;
    float bottom = (y + height) / static_cast<float>(kVirtualHeight) * H;
    PackedColor colour = (static_cast<uint32_t>(static_cast<int>(alpha)) << 24) | 0x00FFFFFFu;
    const float sx[4] = {left, right, left, right};
    const float sy[4] = {top, top, bottom, bottom};
    const float tu[4] = {0, 1, 0, 1};
    const float tv[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        quad[i].sx = sx[i];
        quad[i].sy = sy[i];
        quad[i].sz = 0.1f;
        quad[i].rhw = 0.1f;
        quad[i].color = colour;
        quad[i].specular = 0;
        quad[i].tu = tu[i];
        quad[i].tv = tv[i];
    }
}

void InterfaceImage::Place(int newX, int newY) {
    x = newX;
    y = newY;
    BuildQuad();
}

void InterfaceImage::Draw() {
    if (!ready || !g_gfxdriver) return;
    g_gfxdriver->SetTexture(texture);
    g_gfxdriver->DrawStrip(quad, 4);
}

InterfaceImage* RegisterInterfaceImage(const char* name, const char* texture, const char* alphaMap, int x,
                                       int y, int width, int height, bool shown) {
    if (!name) return nullptr;
    if (InterfaceImage* existing = FindInterfaceImage(name)) return existing;
    InterfaceImage* image = new InterfaceImage(name, texture, alphaMap, x, y, width, height, shown);
    image->next = g_images;
    g_images = image;
    ImageTable().Insert(image->Name(), image);
    return image;
}

InterfaceImage* FindInterfaceImage(const char* name) {
    if (!name) return nullptr;
    return static_cast<InterfaceImage*>(ImageTable().Find(name));
}

InterfaceImage* SetInterfaceImageShown(const char* name, bool shown) {
    InterfaceImage* image = FindInterfaceImage(name);
    if (image) image->shown = shown ? 1 : 0;
    return image;
}

void HideAllInterfaceImages() {
    for (InterfaceImage* image = g_images; image; image = image->next) image->shown = 0;
}

void PlaceInterfaceImage(InterfaceImage* image, int x, int y) {
    if (image) image->Place(x, y);
}

void DrawInterfaceImage(InterfaceImage* image) {
    if (image) image->Draw();
}

void DrawInterface() {
    if (!g_gfxdriver) return;
    g_gfxdriver->SetAlphaBlending(true);
    for (InterfaceImage* image = g_images; image; image = image->next)
        if (image->shown && image->ready) image->Draw();
    g_gfxdriver->SetAlphaBlending(false);
}

InterfaceImage* FirstInterfaceImage() { return g_images; }

void ClearInterfaceImages() {
    while (g_images) {
        InterfaceImage* next = g_images->next;
        ImageTable().Remove(g_images->Name(), g_images);
        delete g_images;
        g_images = next;
    }
}
