#include "gfxdriver/opengldriver/image.h"
#include "gfxdriver/opengldriver/opengldriver.h"

bool OpenGLDriver::GenerateTexture(const char* name, const char* alphaName) {
    if (!name) return false;
    Image color;
    bool hasAlpha = false;
    // Loads, logs failures and merges the alpha map.
    if (!LoadTexturePixels(name, alphaName, &color, &hasAlpha)) return false;
    UploadTexture(name, color.data, color.width, color.height, hasAlpha);
    color.Clear();
    CheckError("GenerateTexture");
    return true;
}
