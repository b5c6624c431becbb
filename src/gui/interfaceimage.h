// Interface images: named screen sprites (cursor, crosshair, loading
// pictures, inventory icons) placed on the 640 x 480 virtual screen and drawn
// as one textured quad each. Registered images live in one process-wide list
// (newest first) with a name table for lookup.
#ifndef ZENDAR_GUI_INTERFACEIMAGE_H
#define ZENDAR_GUI_INTERFACEIMAGE_H

#include <cstdint>

#include "gfxdriver/gfxdriver.h"

class InterfaceImage {
public:
    // Registers the texture with the driver and builds the quad; without a
    // driver the image is never ready and never drawn.
    InterfaceImage(const char* name, const char* texture, const char* alphaMap, int x, int y, int width,
                   int height, bool shown);
    ~InterfaceImage();
    InterfaceImage(const InterfaceImage&) = delete;
    InterfaceImage& operator=(const InterfaceImage&) = delete;

    // Moves the quad to a new virtual position, same size.
    void Place(int newX, int newY);
    // Binds the texture and draws the quad (nothing when not ready).
    void Draw();

    const char* Name() const { return name; }
    const char* Texture() const { return texture; }

    uint8_t shown = 0;
    uint8_t ready = 0;
    float alpha = 255.0f;
    int32_t x = 0, y = 0, width = 0, height = 0;
    TLVERTEX quad[4];
    InterfaceImage* next = nullptr;

private:
    void BuildQuad();
    char* name;
    char* texture;
};

// The process-wide list. Registering a name that exists does nothing (the
// existing image is returned).
InterfaceImage* RegisterInterfaceImage(const char* name, const char* texture, const char* alphaMap, int x,
                                       int y, int width, int height, bool shown);
InterfaceImage* FindInterfaceImage(const char* name);
// The image, or null when no image has that name.
InterfaceImage* SetInterfaceImageShown(const char* name, bool shown);
void HideAllInterfaceImages();
void PlaceInterfaceImage(InterfaceImage* image, int x, int y);
void DrawInterfaceImage(InterfaceImage* image);
// Alpha blending on, every shown and ready image in list order, blending off.
void DrawInterface();
// The newest registered image (walk on with next).
InterfaceImage* FirstInterfaceImage();
// Frees every registered image (tools and tests; the game keeps them).
void ClearInterfaceImages();

#endif
