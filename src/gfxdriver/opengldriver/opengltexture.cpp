#include <string>

#include "gfxdriver/opengldriver/image.h"
#include "gfxdriver/opengldriver/opengldriver.h"
#include "gfxdriver/texturelist.h"
#include "utility/clock.h"
#include "utility/log.h"

bool OpenGLDriver::GenerateTexture(const char* name, const char* alphaName) {
    if (!name) return false;
    if (IsTextureListName(name)) return GenerateTextureList(name, alphaName);
    Image color;
    bool hasAlpha = false;
    // Loads, logs failures and merges the alpha map.
    if (!LoadTexturePixels(name, alphaName, &color, &hasAlpha)) return false;
    UploadTexture(name, color.data, color.width, color.height, hasAlpha);
    color.Clear();
    CheckError("GenerateTexture");
    return true;
}

// Every frame becomes a texture of its own; the list's name finds the first
// until SetTexture moves it on. An alpha map that is a list too gives each
// frame its own map, any other alpha map serves every frame.
bool OpenGLDriver::GenerateTextureList(const char* name, const char* alphaName) {
    TextureList list, alphas;
    if (!ReadTextureList(name, &list) || list.frames.empty()) {
        LogLine("Error loading texture '%s' Error was '%s'", name, "Couldn't read texture list!");
        return false;
    }
    const bool alphaList = IsTextureListName(alphaName);
    if (alphaList && !ReadTextureList(alphaName, &alphas)) {
        LogLine("Error loading alphatexture '%s' Error was '%s'", alphaName, "Couldn't read texture list!");
        return false;
    }
    std::unique_ptr<OpenGLTextureList> frames(new OpenGLTextureList());
    frames->interval = list.interval;
    frames->lastChange = ClockMilliseconds();
    for (size_t i = 0; i < list.frames.size(); ++i) {
        const char* alpha = alphaName;
        if (alphaList) alpha = i < alphas.frames.size() ? alphas.frames[i].c_str() : nullptr;
        Image color;
        bool hasAlpha = false;
        if (!LoadTexturePixels(list.frames[i].c_str(), alpha, &color, &hasAlpha)) return false;
        frames->frames.push_back(
            UploadTexture(list.frames[i].c_str(), color.data, color.width, color.height, hasAlpha));
    }
    textures.Insert(name, reinterpret_cast<void*>(static_cast<uintptr_t>(frames->frames[0])));
    textureLists.Insert(name, frames.get());
    textureListStore.push_back(std::move(frames));
    CheckError("GenerateTexture");
    return true;
}

const OpenGLTextureList* OpenGLDriver::TextureListNamed(const char* name) const {
    return name ? static_cast<const OpenGLTextureList*>(textureLists.Find(name)) : nullptr;
}
