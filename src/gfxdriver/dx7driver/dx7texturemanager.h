// Dx7TextureManager: the DirectX 7 driver's textures. Containers are found by
// name through a StringHashTable; each keeps its source pixels (the whole
// mipmap chain) so that its surfaces can be made again for a new device or
// refilled after the surfaces were lost.
//
// Bitmaps are read through the joined-file archive ("textures.jf"), else
// from the disk under the base path, with the engine's bitmap rules. An
// alpha map's grey level (its blue byte) becomes the alpha channel. A name
// ending in "ifl" is a texture list (gfxdriver/texturelist.h), one surface a
// frame; its alpha map may be a list too (one map a frame) or one bitmap for
// every frame.
#ifndef ZENDAR_GFXDRIVER_DX7DRIVER_DX7TEXTUREMANAGER_H
#define ZENDAR_GFXDRIVER_DX7DRIVER_DX7TEXTUREMANAGER_H

#include <ddraw.h>
#include <d3d.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfxdriver/opengldriver/image.h"
#include "utility/stringhashtable.h"

class Dx7TextureManager {
public:
    class TextureContainer {
    public:
        struct Frame {
            std::string file;              // the bitmap it was read from
            std::vector<MipLevel> levels;  // blue, green, red, alpha bytes; level 0 first
            IDirectDrawSurface7* surface = nullptr;
        };

        std::string name;
        std::string alphaName;  // empty without an alpha map
        bool hasAlpha = false;
        // True unless some alpha value lies strictly between 0 and 255, so
        // the texture can be drawn with the alpha test instead of blending.
        bool binaryAlpha = true;
        bool list = false;  // read from a texture list
        std::vector<Frame> frames;
        int current = 0;
        uint32_t interval = 100;  // milliseconds between frames of a list
        uint32_t lastChange = 0;  // milliseconds clock at the last frame change

        // Makes the surface(s) of every frame on dd in the given pixel
        // format and fills them. False after logging.
        bool CreateTextureSurface(IDirectDraw7* dd, const DDPIXELFORMAT& format, bool videoMemory);
        // Refills lost surfaces from the source pixels.
        bool Refresh();
        void ReleaseSurfaces();
        IDirectDrawSurface7* Surface() const {
            return frames.empty() ? nullptr : frames[static_cast<size_t>(current)].surface;
        }
    };

    Dx7TextureManager() = default;
    ~Dx7TextureManager();
    Dx7TextureManager(const Dx7TextureManager&) = delete;
    Dx7TextureManager& operator=(const Dx7TextureManager&) = delete;

    // The device the surfaces are made for. Attach picks the texture formats
    // and makes the surfaces of every container already loaded; Detach
    // releases them all (the containers and their pixels stay).
    bool Attach(IDirectDraw7* dd, IDirect3DDevice7* device, bool videoMemory);
    void Detach();

    // Loads and registers a texture (or a texture list). A name already
    // registered with the same alpha map is kept as it is; with another one
    // (the moon takes a new alpha map for each phase) it is read again and
    // its container takes the new pictures, or keeps the old ones when they
    // cannot be read. False after logging.
    bool Create(const char* name, const char* alphaName);
    TextureContainer* Find(const char* name) const;
    // Refills every lost surface; false when one could not be refilled.
    bool RestoreSurfaces();

    int Count() const { return static_cast<int>(containers_.size()); }
    const DDPIXELFORMAT& AlphaFormat() const { return alphaFormat_; }
    const DDPIXELFORMAT& OpaqueFormat() const { return opaqueFormat_; }

private:
    bool LoadFrames(TextureContainer* c);
    bool MakeSurfaces(TextureContainer* c);

    std::vector<std::unique_ptr<TextureContainer>> containers_;
    StringHashTable table_;
    IDirectDraw7* dd_ = nullptr;
    bool videoMemory_ = false;
    bool haveAlphaFormat_ = false;
    bool haveOpaqueFormat_ = false;
    DDPIXELFORMAT alphaFormat_ = {};
    DDPIXELFORMAT opaqueFormat_ = {};
};

// Packs blue-green-red-alpha bytes into one pixel of an RGB surface format.
uint32_t PackPixel(const DDPIXELFORMAT& format, uint8_t b, uint8_t g, uint8_t r, uint8_t a);

#endif
