#include "gfxdriver/dx7driver/dx7texturemanager.h"

#include <cstdlib>
#include <cstring>

#include "gfxdriver/texturelist.h"
#include "utility/log.h"

namespace {

int Shift(uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

int Bits(uint32_t mask) {
    int n = 0;
    for (; mask; mask &= mask - 1) ++n;
    return n;
}

uint32_t PackChannel(uint8_t value, uint32_t mask) {
    if (!mask) return 0;
    int bits = Bits(mask);
    uint32_t v = bits >= 8 ? static_cast<uint32_t>(value) << (bits - 8) : value >> (8 - bits);
    return (v << Shift(mask)) & mask;
}

bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
    return a.dwFlags == b.dwFlags && a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask &&
           a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask &&
           a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask;
}

bool PlainRgb(const DDPIXELFORMAT& f) {
    const DWORD other = DDPF_PALETTEINDEXED1 | DDPF_PALETTEINDEXED2 | DDPF_PALETTEINDEXED4 |
                        DDPF_PALETTEINDEXED8 | DDPF_FOURCC | DDPF_BUMPDUDV | DDPF_LUMINANCE | DDPF_ALPHA;
    return (f.dwFlags & DDPF_RGB) && !(f.dwFlags & other) && f.dwRGBBitCount >= 16 && f.dwRGBBitCount <= 32;
}

HRESULT CALLBACK CollectFormat(DDPIXELFORMAT* format, void* context) {
    static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*format);
    return D3DENUMRET_OK;
}

// Copies one mipmap level into a locked surface of the given format.
void WriteLevel(const MipLevel& level, const DDSURFACEDESC2& locked, const DDPIXELFORMAT& format) {
    const int bytes = static_cast<int>(format.dwRGBBitCount / 8);
    uint8_t* rows = static_cast<uint8_t*>(locked.lpSurface);
    for (int y = 0; y < level.height; ++y) {
        const uint8_t* src = level.pixels.data() + static_cast<size_t>(y) * level.width * 4;
        uint8_t* dst = rows + static_cast<size_t>(y) * locked.lPitch;
        for (int x = 0; x < level.width; ++x, src += 4, dst += bytes) {
            uint32_t p = PackPixel(format, src[0], src[1], src[2], src[3]);
            std::memcpy(dst, &p, static_cast<size_t>(bytes));
        }
    }
}

bool FillSurface(IDirectDrawSurface7* top, const std::vector<MipLevel>& levels) {
    DDSURFACEDESC2 topDesc;
    std::memset(&topDesc, 0, sizeof topDesc);
    topDesc.dwSize = sizeof topDesc;
    if (FAILED(top->GetSurfaceDesc(&topDesc))) {
        LogLine("MipMap creation : Could not retrieve top surface descr");
        return false;
    }
    IDirectDrawSurface7* surface = top;
    surface->AddRef();
    bool ok = true;
    for (size_t i = 0; i < levels.size() && ok; ++i) {
        if (i > 0) {
            DDSCAPS2 caps;
            std::memset(&caps, 0, sizeof caps);
            caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
            IDirectDrawSurface7* next = nullptr;
            HRESULT hr = surface->GetAttachedSurface(&caps, &next);
            surface->Release();
            surface = nullptr;
            if (FAILED(hr) || !next) {
                LogLine("Error creating mip map..");
                return false;
            }
            surface = next;
            DDSURFACEDESC2 d;
            std::memset(&d, 0, sizeof d);
            d.dwSize = sizeof d;
            if (FAILED(surface->GetSurfaceDesc(&d)) ||
                !SameFormat(d.ddpfPixelFormat, topDesc.ddpfPixelFormat)) {
                LogLine("mipmap surfaces MUST be of same format");
                ok = false;
                break;
            }
        }
        DDSURFACEDESC2 locked;
        std::memset(&locked, 0, sizeof locked);
        locked.dwSize = sizeof locked;
        if (FAILED(surface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) {
            LogLine("Cannot lock surface");
            ok = false;
            break;
        }
        WriteLevel(levels[i], locked, topDesc.ddpfPixelFormat);
        surface->Unlock(nullptr);
    }
    if (surface) surface->Release();
    return ok;
}

}  // namespace

uint32_t PackPixel(const DDPIXELFORMAT& format, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    uint32_t p = PackChannel(r, format.dwRBitMask) | PackChannel(g, format.dwGBitMask) |
                 PackChannel(b, format.dwBBitMask);
    if (format.dwFlags & DDPF_ALPHAPIXELS) p |= PackChannel(a, format.dwRGBAlphaBitMask);
    return p;
}

// --- TextureContainer --------------------------------------------------------

bool Dx7TextureManager::TextureContainer::CreateTextureSurface(IDirectDraw7* dd, const DDPIXELFORMAT& format,
                                                               bool videoMemory) {
    if (!dd) {
        LogLine("Dx7TextureManager::TextureContainer::CreateTextureSurface - pDD is null!!");
        return false;
    }
    for (Frame& f : frames) {
        if (f.surface || f.levels.empty()) continue;
        const MipLevel& top = f.levels[0];
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(top.width);
        d.dwHeight = static_cast<DWORD>(top.height);
        d.ddpfPixelFormat = format;
        d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        if (f.levels.size() > 1) {
            d.dwFlags |= DDSD_MIPMAPCOUNT;
            d.dwMipMapCount = static_cast<DWORD>(f.levels.size());
            d.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
        }
        // A hardware device keeps managed textures in video memory and puts
        // them back itself; the software rasteriser reads system memory.
        if (videoMemory)
            d.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
        else
            d.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
        if (FAILED(dd->CreateSurface(&d, &f.surface, nullptr)) || !f.surface) {
            f.surface = nullptr;
            LogLine("Error creating texture %s", name.c_str());
            return false;
        }
        if (!FillSurface(f.surface, f.levels)) return false;
    }
    return true;
}

bool Dx7TextureManager::TextureContainer::Refresh() {
    bool ok = true;
    for (Frame& f : frames) {
        if (!f.surface || f.surface->IsLost() != DDERR_SURFACELOST) continue;
        if (FAILED(f.surface->Restore()) || !FillSurface(f.surface, f.levels)) {
            LogLine("Error refreshing texture data");
            ok = false;
        }
    }
    return ok;
}

void Dx7TextureManager::TextureContainer::ReleaseSurfaces() {
    for (Frame& f : frames)
        if (f.surface) {
            f.surface->Release();
            f.surface = nullptr;
        }
}

// --- Dx7TextureManager ---------------------------------------------------------

Dx7TextureManager::~Dx7TextureManager() { Detach(); }

bool Dx7TextureManager::Attach(IDirectDraw7* dd, IDirect3DDevice7* device, bool videoMemory) {
    Detach();
    dd_ = dd;
    videoMemory_ = videoMemory;
    std::vector<DDPIXELFORMAT> formats;
    if (device) device->EnumTextureFormats(CollectFormat, &formats);
    haveAlphaFormat_ = haveOpaqueFormat_ = false;
    int bestAlpha = -1, bestOpaque = -1;
    for (const DDPIXELFORMAT& f : formats) {
        if (!PlainRgb(f)) continue;
        if (f.dwFlags & DDPF_ALPHAPIXELS) {
            // The most alpha bits, then the most colour bits.
            int score = Bits(f.dwRGBAlphaBitMask) * 64 + static_cast<int>(f.dwRGBBitCount);
            if (score > bestAlpha) {
                bestAlpha = score;
                alphaFormat_ = f;
                haveAlphaFormat_ = true;
            }
        } else {
            int score =
                Bits(f.dwRBitMask | f.dwGBitMask | f.dwBBitMask) * 64 + static_cast<int>(f.dwRGBBitCount);
            if (score > bestOpaque) {
                bestOpaque = score;
                opaqueFormat_ = f;
                haveOpaqueFormat_ = true;
            }
        }
    }
    bool ok = true;
    for (auto& c : containers_) ok = MakeSurfaces(c.get()) && ok;
    return ok;
}

void Dx7TextureManager::Detach() {
    for (auto& c : containers_) c->ReleaseSurfaces();
    dd_ = nullptr;
}

Dx7TextureManager::TextureContainer* Dx7TextureManager::Find(const char* name) const {
    return name ? static_cast<TextureContainer*>(table_.Find(name)) : nullptr;
}

bool Dx7TextureManager::MakeSurfaces(TextureContainer* c) {
    if (!dd_) return c->CreateTextureSurface(nullptr, alphaFormat_, false);
    if (!haveAlphaFormat_ && !haveOpaqueFormat_) {
        LogLine("No possible texture format, bailing out");
        return false;
    }
    const DDPIXELFORMAT* format = nullptr;
    if (c->hasAlpha) {
        if (!haveAlphaFormat_) {
            LogLine("No possible texture format, bailing out");
            return false;
        }
        format = &alphaFormat_;
    } else if (haveOpaqueFormat_) {
        format = &opaqueFormat_;
    } else {
        LogLine("Could not find texture format without Alpha depth");
        format = &alphaFormat_;
    }
    if (c->CreateTextureSurface(dd_, *format, videoMemory_)) return true;
    c->ReleaseSurfaces();
    return false;
}

bool Dx7TextureManager::LoadFrames(TextureContainer* c) {
    std::vector<std::string> files, alphas;
    if (c->list) {
        TextureList list;
        if (!ReadTextureList(c->name, &list)) {
            LogLine("texture list %s not found", c->name.c_str());
            return false;
        }
        files = list.frames;
        c->interval = list.interval;
        if (IsTextureListName(c->alphaName.c_str())) {
            TextureList alphaList;
            if (!ReadTextureList(c->alphaName, &alphaList)) {
                LogLine("Alpha list not found");
                return false;
            }
            alphas = alphaList.frames;
        }
        if (files.empty()) {
            LogLine("Error loading texture file %s", c->name.c_str());
            return false;
        }
    } else {
        files.push_back(c->name);
    }
    for (size_t i = 0; i < files.size(); ++i) {
        std::string alphaFile = c->alphaName;
        if (!alphas.empty()) alphaFile = i < alphas.size() ? alphas[i] : std::string();
        Image color;
        if (!LoadImageFromArchive(&color, files[i].c_str(), 32)) {
            LogLine("Error loading texture file %s", files[i].c_str());
            return false;
        }
        const int32_t pixels = color.width * color.height;
        if (!alphaFile.empty()) {
            Image alpha;
            if (!LoadImageFromArchive(&alpha, alphaFile.c_str(), 32) || !MergeAlphaMap(&color, alpha)) {
                LogLine("Error creating alpha texture %s", alphaFile.c_str());
                return false;
            }
            for (int32_t p = 0; p < pixels && c->binaryAlpha; ++p) {
                uint8_t a = color.data[static_cast<size_t>(p) * 4 + 3];
                if (a != 0 && a != 255) c->binaryAlpha = false;
            }
        } else {
            for (int32_t p = 0; p < pixels; ++p) color.data[static_cast<size_t>(p) * 4 + 3] = 255;
        }
        TextureContainer::Frame frame;
        frame.file = files[i];
        if (!BuildMipmapChain(color, &frame.levels)) {
            LogLine("Error loading texture file %s", files[i].c_str());
            return false;
        }
        c->frames.push_back(std::move(frame));
    }
    return true;
}

bool Dx7TextureManager::Create(const char* name, const char* alphaName) {
    if (!name || !*name) {
        LogLine("create texture - invalid params..");
        return false;
    }
    const std::string alpha = alphaName ? alphaName : "";
    TextureContainer* known = Find(name);
    if (known && known->alphaName == alpha) return true;
    std::unique_ptr<TextureContainer> c(new TextureContainer());
    c->name = name;
    c->alphaName = alpha;
    c->hasAlpha = !alpha.empty();
    c->list = IsTextureListName(name);
    if (!LoadFrames(c.get())) return false;
    if (!MakeSurfaces(c.get())) return false;
    if (known) {
        // The table and the callers keep the container; its pictures change.
        known->ReleaseSurfaces();
        std::swap(*known, *c);
        return true;
    }
    table_.Insert(c->name.c_str(), c.get());
    containers_.push_back(std::move(c));
    return true;
}

bool Dx7TextureManager::RestoreSurfaces() {
    bool ok = true;
    for (auto& c : containers_) ok = c->Refresh() && ok;
    return ok;
}
