// Index of this file:
// [SECTION] Constants and conversions
// [SECTION] Construction
// [SECTION] Environment
// [SECTION] Device state
// [SECTION] Frames
// [SECTION] Drawing
// [SECTION] Textures
// [SECTION] Lights, material, transforms and fog
#include "gfxdriver/dx7driver/dx7driver.h"

#include <cmath>
#include <cstring>

#include "os/dialogs.h"
#include "gfxdriver/dx7driver/dx7errors.h"
#include "gfxdriver/texturelist.h"
#include "utility/clock.h"
#include "utility/log.h"

// ---------------------------------------------------------------------------
// [SECTION] Constants and conversions
namespace {

// The windowed render area, as the OpenGL driver's.
const int kWindowedWidth = 1024;
const int kWindowedHeight = 768;

// Point lights reach three times their range and fall off linearly from full
// strength at the light (never above it, as with the OpenGL driver, whose
// lights do not fall off) to a third at the end of their reach.
const float kRangeScale = 3.0f;
const float kLinearAttenuation = 2.0f;

MATRIX IdentityMatrix() {
    MATRIX m;
    std::memset(m.m, 0, sizeof m.m);
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
    return m;
}

DWORD FloatBits(float f) {
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

D3DCOLORVALUE ColorValue(float r, float g, float b, float a) {
    D3DCOLORVALUE c;
    c.r = r;
    c.g = g;
    c.b = b;
    c.a = a;
    return c;
}

void ReleaseInterface(IUnknown* p) {
    if (p) p->Release();
}

void InitDesc(DDSURFACEDESC2* d) {
    std::memset(d, 0, sizeof *d);
    d->dwSize = sizeof *d;
}

HRESULT CALLBACK CollectZFormat(DDPIXELFORMAT* format, void* context) {
    if (format->dwFlags & DDPF_ZBUFFER) static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*format);
    return D3DENUMRET_OK;
}

// The z-buffer format to use: 24 bits as the OpenGL driver gets, else the
// deepest; without stencil when there is the choice.
bool ChooseZFormat(const std::vector<DDPIXELFORMAT>& formats, DDPIXELFORMAT* out) {
    int best = -1;
    for (const DDPIXELFORMAT& f : formats) {
        int bits = static_cast<int>(f.dwZBufferBitDepth);
        int score = (bits == 24 ? 1000 : bits * 10) + ((f.dwFlags & DDPF_STENCILBUFFER) ? 0 : 1);
        if (score > best) {
            best = score;
            *out = f;
        }
    }
    return best >= 0;
}

int MaskShift(uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

uint8_t Channel(uint32_t pixel, uint32_t mask) {
    if (!mask) return 0;
    uint32_t max = mask >> MaskShift(mask);
    uint32_t v = (pixel & mask) >> MaskShift(mask);
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Construction
Dx7Driver::Dx7Driver() : world_(IdentityMatrix()), view_(IdentityMatrix()), projection_(IdentityMatrix()) {
    SetNotPausedFlag();
    material_.dcvDiffuse = ColorValue(1, 1, 1, 1);
    material_.dcvAmbient = ColorValue(1, 1, 1, 1);
}

Dx7Driver::~Dx7Driver() { ReleaseEnvironment(); }

void Dx7Driver::SetNotPausedFlag() { privateFlags[1] = pauseCount_ == 0 ? 1 : 0; }

// ---------------------------------------------------------------------------
// [SECTION] Environment
bool Dx7Driver::Init(void* instance, void* window) {
    instance_ = static_cast<HINSTANCE>(instance);
    window_ = static_cast<HWND>(window);
    if (!list_.Enumerate()) {
        ErrorBox("Error", "Error - could not enumerate d3d devices");
        return false;
    }
    if (!list_.PickDefault(&choice_)) {
        ErrorBox("Error", "Error - could not find a default device");
        return false;
    }
    if (AskDevice(instance_, window_, list_, &choice_) == DX7_DIALOG_FAILED) {
        LogLine("FAILED initializing dialog - exiting");
        if (window_) SendMessageA(window_, WM_CLOSE, 0, 0);
        return false;
    }
    lighting = 1;
    alphaBlending = 0;
    zbufferMode = ZBUFFER_ON;
    wrapU = wrapV = 1;
    return Rebuild("FAILED changing evironment");
}

void Dx7Driver::PlaceWindow() {
    if (!window_) return;
    if (choice_.windowed) {
        const DWORD style = WS_OVERLAPPEDWINDOW;
        const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        RECT rect = {0, 0, kWindowedWidth, kWindowedHeight};
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
        SetWindowLongA(window_, GWL_STYLE, static_cast<LONG>(style));
        SetWindowLongA(window_, GWL_EXSTYLE, static_cast<LONG>(exStyle));
        SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                     SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
        SetFocus(window_);
    } else {
        SetWindowLongA(window_, GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_SYSMENU | WS_VISIBLE));
        SetWindowLongA(window_, GWL_EXSTYLE, 0);
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
        SetFocus(window_);
    }
}

void Dx7Driver::UpdateBlitRect() {
    if (!window_) return;
    GetClientRect(window_, &blit_);
    POINT a = {blit_.left, blit_.top}, b = {blit_.right, blit_.bottom};
    ClientToScreen(window_, &a);
    ClientToScreen(window_, &b);
    blit_ = RECT{a.x, a.y, b.x, b.y};
}

bool Dx7Driver::Rebuild(const char* failureLine) {
    ReleaseEnvironment();
    PlaceWindow();
    if (BuildEnvironment()) return true;
    LogLine("%s", failureLine);
    ReleaseEnvironment();
    if (!choice_.windowed) {
        // The mode could not be had: stay in a window on the same device.
        choice_.windowed = true;
        PlaceWindow();
        if (BuildEnvironment()) return true;
        ReleaseEnvironment();
    }
    ErrorBox("Error", "Error - could not initialize d3d devices");
    return false;
}

bool Dx7Driver::BuildEnvironment() {
    if (choice_.device < 0 || choice_.device >= static_cast<int>(list_.devices.size())) return false;
    if (!choice_.windowed && (choice_.mode < 0 || choice_.mode >= static_cast<int>(list_.modes.size())))
        choice_.windowed = true;
    fullscreen = choice_.windowed ? 0 : 1;
    if (choice_.windowed) {
        width = kWindowedWidth;
        height = kWindowedHeight;
    } else {
        width = static_cast<int32_t>(list_.modes[static_cast<size_t>(choice_.mode)].width);
        height = static_cast<int32_t>(list_.modes[static_cast<size_t>(choice_.mode)].height);
    }
    if (!CreateDirectDraw()) return false;
    if (fullscreen ? !CreateFullscreenBuffers() : !CreateWindowedBuffers()) return false;
    if (!CreateDirect3D()) return false;
    if (!CreateZBuffer()) return false;
    UpdateBlitRect();
    ApplyDeviceState();
    const Dx7Device& dev = list_.devices[static_cast<size_t>(choice_.device)];
    textures_.Attach(dd_, device_, dev.hardware);
    LogLine("Direct3D device: %s, %s", dev.name.c_str(),
            choice_.windowed ? "windowed" : ModeText(list_.modes[static_cast<size_t>(choice_.mode)]).c_str());
    return true;
}

bool Dx7Driver::CreateDirectDraw() {
    if (FAILED(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd_), IID_IDirectDraw7, nullptr)) ||
        !dd_) {
        dd_ = nullptr;
        LogLine("CreateDirectDraw :: Couldn't create DirectDraw Interface");
        return false;
    }
    // The engine's arithmetic keeps the precision it was written for.
    DWORD level = (choice_.windowed ? DDSCL_NORMAL : DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) | DDSCL_FPUPRESERVE;
    HRESULT hr = dd_->SetCooperativeLevel(window_, level);
    if (FAILED(hr)) {
        LogLine("CreateDirectDraw :: Couldn't set coop level");
        LogLine("%s", DDErrorText(hr).c_str());
        return false;
    }
    if (choice_.windowed) {
        DDSURFACEDESC2 desktop;
        InitDesc(&desktop);
        if (SUCCEEDED(dd_->GetDisplayMode(&desktop)) && desktop.ddpfPixelFormat.dwRGBBitCount <= 8) {
            LogLine("CreateDirectDraw :: Pallette mode not supported");
            return false;
        }
    }
    return true;
}

bool Dx7Driver::CreateFullscreenBuffers() {
    const Dx7DisplayMode& mode = list_.modes[static_cast<size_t>(choice_.mode)];
    HRESULT hr = dd_->SetDisplayMode(static_cast<DWORD>(mode.width), static_cast<DWORD>(mode.height),
                                     static_cast<DWORD>(mode.bpp), 0, 0);
    if (FAILED(hr)) {
        LogLine("CreateFullscreenBuffers :: Couldn't set screen mode");
        LogLine("%s", DDErrorText(hr).c_str());
        return false;
    }
    DDSURFACEDESC2 d;
    InitDesc(&d);
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    d.dwBackBufferCount = 1;
    hr = dd_->CreateSurface(&d, &front_, nullptr);
    if (FAILED(hr)) {
        front_ = nullptr;
        LogLine(hr == DDERR_OUTOFVIDEOMEMORY ? "CreateFullscreenBuffers :: Out of video-mem"
                                             : "CreateFullscreenBuffers :: Couldn't create front buffer");
        return false;
    }
    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FAILED(front_->GetAttachedSurface(&caps, &back_))) {
        back_ = nullptr;
        LogLine("CreateFullscreenBuffers :: Couldn't retrieve backbuffer");
        return false;
    }
    return true;
}

bool Dx7Driver::CreateWindowedBuffers() {
    DDSURFACEDESC2 d;
    InitDesc(&d);
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    HRESULT hr = dd_->CreateSurface(&d, &front_, nullptr);
    if (FAILED(hr)) {
        front_ = nullptr;
        LogLine(hr == DDERR_OUTOFVIDEOMEMORY ? "CreateWindowedBuffers :: Out of video-mem"
                                             : "CreateWindowedBuffers :: Couldn't create front buffer");
        return false;
    }
    if (FAILED(dd_->CreateClipper(0, &clipper_, nullptr)) || FAILED(clipper_->SetHWnd(0, window_)) ||
        FAILED(front_->SetClipper(clipper_))) {
        LogLine("CreateFullscreenBuffers :: Couldn't create clipper");
        return false;
    }
    InitDesc(&d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = static_cast<DWORD>(width);
    d.dwHeight = static_cast<DWORD>(height);
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    if (!list_.devices[static_cast<size_t>(choice_.device)].hardware)
        d.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    hr = dd_->CreateSurface(&d, &back_, nullptr);
    if (FAILED(hr)) {
        back_ = nullptr;
        LogLine(hr == DDERR_OUTOFVIDEOMEMORY ? "CreateWindowedBuffers :: Out of video-mem"
                                             : "CreateFullscreenBuffers :: Couldn't create back buffer");
        return false;
    }
    return true;
}

bool Dx7Driver::CreateDirect3D() {
    if (FAILED(dd_->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&d3d_))) || !d3d_) {
        d3d_ = nullptr;
        LogLine("CreateDirect3D :: Couldn't get Direct3d interface");
        return false;
    }
    const Dx7Device& dev = list_.devices[static_cast<size_t>(choice_.device)];
    HRESULT hr = d3d_->CreateDevice(dev.guid, back_, &device_);
    if (FAILED(hr) || !device_) {
        device_ = nullptr;
        LogLine("CreateDirect3D :: Couldn't create the d3dDevice");
        LogLine("%s", DDErrorText(hr).c_str());
        return false;
    }
    D3DVIEWPORT7 vp = {0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0.0f, 1.0f};
    if (FAILED(device_->SetViewport(&vp))) {
        LogLine("CreateDirect3D :: Couldn't set viewport to device");
        return false;
    }
    return true;
}

bool Dx7Driver::CreateZBuffer() {
    const Dx7Device& dev = list_.devices[static_cast<size_t>(choice_.device)];
    std::vector<DDPIXELFORMAT> formats;
    d3d_->EnumZBufferFormats(dev.guid, CollectZFormat, &formats);
    DDPIXELFORMAT format;
    if (!ChooseZFormat(formats, &format)) {
        LogLine("CreateZBuffer :: Couldn't find a z-buffer");
        return false;
    }
    if (dev.desc.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_WBUFFER) {
        LogLine("Using W-buffer");
        zkind_ = ZBUFFER_KIND_W;
    } else {
        LogLine("using normal z-buffer");
        zkind_ = ZBUFFER_KIND_Z;
    }
    DDSURFACEDESC2 d;
    InitDesc(&d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = static_cast<DWORD>(width);
    d.dwHeight = static_cast<DWORD>(height);
    d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (dev.hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    d.ddpfPixelFormat = format;
    HRESULT hr = dd_->CreateSurface(&d, &zbuffer_, nullptr);
    if (FAILED(hr)) {
        zbuffer_ = nullptr;
        LogLine(hr == DDERR_OUTOFVIDEOMEMORY ? "CreateZBuffer :: Out of video-mem"
                                             : "CreateZBuffer :: Couldn't create Z-buffer surface");
        return false;
    }
    if (FAILED(back_->AddAttachedSurface(zbuffer_))) {
        LogLine("CreateZBuffer :: Couldn't attach z-buffer to render surface");
        return false;
    }
    if (FAILED(device_->SetRenderTarget(back_, 0))) {
        LogLine("CreateZBuffer :: SetRendertarget failed after attaching z-buffer");
        return false;
    }
    return true;
}

void Dx7Driver::ReleaseEnvironment() {
    textures_.Detach();
    bound_ = nullptr;
    if (device_) {
        device_->SetTexture(0, nullptr);
        ULONG left = device_->Release();
        device_ = nullptr;
        if (left != 0) LogLine("Error - could not release d3d devices. Nonzero refcount");
    }
    if (zbuffer_ && back_) back_->DeleteAttachedSurface(0, zbuffer_);
    ReleaseInterface(zbuffer_);
    zbuffer_ = nullptr;
    ReleaseInterface(back_);
    back_ = nullptr;
    if (front_) front_->SetClipper(nullptr);
    ReleaseInterface(clipper_);
    clipper_ = nullptr;
    ReleaseInterface(front_);
    front_ = nullptr;
    if (dd_) {
        if (fullscreen) dd_->RestoreDisplayMode();
        dd_->SetCooperativeLevel(window_, DDSCL_NORMAL);
    }
    // Direct3D is an interface of the DirectDraw object: its count is the
    // DirectDraw object's while that is held, and both end at 0.
    ULONG d3dLeft = d3d_ ? d3d_->Release() : 0;
    ULONG ddLeft = dd_ ? dd_->Release() : 0;
    d3d_ = nullptr;
    dd_ = nullptr;
    if (ddLeft != 0)
        LogLine("non zero count: D3D %i, DDraw %i", static_cast<int>(d3dLeft), static_cast<int>(ddLeft));
}

void Dx7Driver::Shutdown() {
    ReleaseEnvironment();
    fullscreen = 0;
}

void Dx7Driver::ChangeEnvironment() {
    Pause(true);
    Dx7DeviceChoice choice = choice_;
    Dx7DialogResult r = AskDevice(instance_, window_, list_, &choice);
    Pause(false);
    if (r == DX7_DIALOG_CANCEL) return;
    if (r == DX7_DIALOG_FAILED) {
        LogLine("Error changing environment");
        return;
    }
    choice_ = choice;
    Rebuild("Error changing environment");
}

void Dx7Driver::ToggleFullscreen() {
    if (!dd_) return;
    choice_.windowed = !choice_.windowed;
    Rebuild("Error changing environment");
}

void Dx7Driver::Pause(bool pause) {
    pauseCount_ += pause ? 1 : -1;
    if (pauseCount_ < 0) pauseCount_ = 0;
    SetNotPausedFlag();
    // Full-screen, Windows draws its boxes and menus on the desktop surface.
    if (pause && pauseCount_ == 1 && fullscreen && dd_) {
        dd_->FlipToGDISurface();
        if (window_) DrawMenuBar(window_);
    }
}

void Dx7Driver::Paint() {
    if (!Paused()) return;
    if (!fullscreen) {
        ShowFrame();
    } else if (dd_) {
        dd_->FlipToGDISurface();
        if (window_) DrawMenuBar(window_);
    }
}

void Dx7Driver::Move(int16_t, int16_t) { UpdateBlitRect(); }

bool Dx7Driver::RestoreSurfaces() {
    if (!dd_) return false;
    if (!fullscreen) {
        // A window's surfaces go when the desktop changes: make them again.
        LogLine("updating windowed...");
        return Rebuild("Error changing environment");
    }
    HRESULT hr = dd_->RestoreAllSurfaces();
    // The chain and the depth buffer by name too, for a DirectDraw whose
    // RestoreAllSurfaces leaves them as they were.
    if (SUCCEEDED(hr) && front_->IsLost() == DDERR_SURFACELOST) hr = front_->Restore();
    if (SUCCEEDED(hr) && zbuffer_ && zbuffer_->IsLost() == DDERR_SURFACELOST) hr = zbuffer_->Restore();
    if (FAILED(hr)) {
        LogLine("ERROR - cannot restore surfaces : %s", DDErrorText(hr).c_str());
        return false;
    }
    textures_.RestoreSurfaces();
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Device state
void Dx7Driver::SetState(D3DRENDERSTATETYPE state, DWORD value) {
    if (device_) device_->SetRenderState(state, value);
}

void Dx7Driver::SetStage(D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    if (device_) device_->SetTextureStageState(0, state, value);
}

void Dx7Driver::ApplyTextureStage() {
    const DWORD alphaSource = factorAlpha_ ? D3DTA_TFACTOR : D3DTA_DIFFUSE;
    // Without a texture the vertex colour passes alone, as it does in OpenGL.
    SetStage(D3DTSS_COLOROP, bound_ ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
    SetStage(D3DTSS_COLORARG1, D3DTA_TEXTURE);
    SetStage(D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    SetStage(D3DTSS_ALPHAOP, bound_ ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
    SetStage(D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    SetStage(D3DTSS_ALPHAARG2, alphaSource);
}

void Dx7Driver::ApplyDeviceState() {
    if (!device_) return;
    // The initial device state.
    SetState(D3DRENDERSTATE_DITHERENABLE, TRUE);
    SetState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    SetState(D3DRENDERSTATE_LOCALVIEWER, FALSE);
    SetState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    // Scaled models keep their shading, as with the OpenGL driver.
    SetState(D3DRENDERSTATE_NORMALIZENORMALS, TRUE);
    // Fog by the eye distance of each vertex, in world units.
    SetState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
    SetState(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_NONE);
    // What the driver keeps, put back on a new device.
    SetState(D3DRENDERSTATE_LIGHTING, lighting ? TRUE : FALSE);
    SetState(D3DRENDERSTATE_ALPHABLENDENABLE, alphaBlending ? TRUE : FALSE);
    ApplyZBufferMode();
    SetStage(D3DTSS_ADDRESSU, wrapU ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
    SetStage(D3DTSS_ADDRESSV, wrapV ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
    SetBlendMode(blendMode_);
    SetTextureFilter(filter_);
    SetCullMode(cullMode_);
    SetAlphaTestMode(alphaTest_);
    SetRenderMode(renderMode_);
    SetState(D3DRENDERSTATE_TEXTUREFACTOR, textureFactor_);
    SetState(D3DRENDERSTATE_AMBIENT, ambient_);
    SetState(D3DRENDERSTATE_FOGENABLE, fog_ ? TRUE : FALSE);
    SetState(D3DRENDERSTATE_FOGCOLOR, fogColor_);
    SetState(D3DRENDERSTATE_FOGSTART, FloatBits(fogBegin_));
    SetState(D3DRENDERSTATE_FOGEND, FloatBits(fogEnd_));
    device_->SetMaterial(&material_);
    device_->SetTransform(D3DTRANSFORMSTATE_WORLD, reinterpret_cast<D3DMATRIX*>(world_.m));
    device_->SetTransform(D3DTRANSFORMSTATE_VIEW, reinterpret_cast<D3DMATRIX*>(view_.m));
    device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, reinterpret_cast<D3DMATRIX*>(projection_.m));
    for (size_t i = 0; i < lights_.size(); ++i) ApplyLight(static_cast<int>(i));
    device_->SetTexture(0, nullptr);
    bound_ = nullptr;
    ApplyTextureStage();
}

bool Dx7Driver::SetAlphaBlending(bool on) {
    const bool previous = alphaBlending != 0;
    if (previous == on) return previous;
    alphaBlending = on ? 1 : 0;
    SetState(D3DRENDERSTATE_ALPHABLENDENABLE, on ? TRUE : FALSE);
    if (on) {
        SetBlendMode(BLEND_ALPHA);
        factorAlpha_ = false;
        ApplyTextureStage();
    }
    return previous;
}

bool Dx7Driver::SetLighting(bool on) {
    const bool previous = lighting != 0;
    if (previous == on) return previous;
    lighting = on ? 1 : 0;
    SetState(D3DRENDERSTATE_LIGHTING, on ? TRUE : FALSE);
    return previous;
}

uint8_t Dx7Driver::SetZBufferMode(uint8_t mode) {
    const uint8_t previous = zbufferMode;
    if (mode == previous || mode > ZBUFFER_NOWRITE) return previous;
    zbufferMode = mode;
    ApplyZBufferMode();
    return previous;
}

void Dx7Driver::ApplyZBufferMode() {
    const DWORD enable = zkind_ == ZBUFFER_KIND_W ? D3DZB_USEW : D3DZB_TRUE;
    switch (zbufferMode) {
    case ZBUFFER_ON:
        SetState(D3DRENDERSTATE_ZENABLE, enable);
        SetState(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
        break;
    case ZBUFFER_OFF: SetState(D3DRENDERSTATE_ZENABLE, D3DZB_FALSE); break;
    case ZBUFFER_NOWRITE:
        SetState(D3DRENDERSTATE_ZENABLE, enable);
        SetState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
        break;
    default: break;
    }
}

bool Dx7Driver::SetTextureWrapU(bool wrap) {
    const bool previous = wrapU != 0;
    if (previous == wrap) return previous;
    wrapU = wrap ? 1 : 0;
    SetStage(D3DTSS_ADDRESSU, wrap ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
    return previous;
}

bool Dx7Driver::SetTextureWrapV(bool wrap) {
    const bool previous = wrapV != 0;
    if (previous == wrap) return previous;
    wrapV = wrap ? 1 : 0;
    SetStage(D3DTSS_ADDRESSV, wrap ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
    return previous;
}

void Dx7Driver::SetBlendMode(uint8_t mode) {
    if (mode > BLEND_ADDITIVE) return;
    blendMode_ = mode;
    SetState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    SetState(D3DRENDERSTATE_DESTBLEND, mode == BLEND_ALPHA ? D3DBLEND_INVSRCALPHA : D3DBLEND_ONE);
}

void Dx7Driver::SetTextureFilter(uint8_t mode) {
    if (mode > FILTER_LINEAR) return;
    filter_ = mode;
    const bool linear = mode == FILTER_LINEAR;
    SetStage(D3DTSS_MINFILTER, linear ? D3DTFN_LINEAR : D3DTFN_POINT);
    SetStage(D3DTSS_MAGFILTER, linear ? D3DTFG_LINEAR : D3DTFG_POINT);
    SetStage(D3DTSS_MIPFILTER, linear ? D3DTFP_LINEAR : D3DTFP_POINT);
}

void Dx7Driver::SetCullMode(uint8_t mode) {
    static const DWORD kCull[3] = {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW};
    if (mode > CULL_CCW) return;
    cullMode_ = mode;
    SetState(D3DRENDERSTATE_CULLMODE, kCull[mode]);
}

void Dx7Driver::SetAlphaTestMode(uint8_t mode) {
    switch (mode) {
    case ALPHATEST_OPAQUE:
        SetState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
        SetState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_EQUAL);
        SetState(D3DRENDERSTATE_ALPHAREF, 0xFF);
        break;
    case ALPHATEST_NONZERO:
        SetState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
        SetState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER);
        SetState(D3DRENDERSTATE_ALPHAREF, 0);
        break;
    case ALPHATEST_OFF: SetState(D3DRENDERSTATE_ALPHATESTENABLE, FALSE); break;
    default: return;
    }
    alphaTest_ = mode;
}

void Dx7Driver::SetRenderMode(uint8_t mode) {
    if (mode > RENDER_SOLID) return;
    renderMode_ = mode;
    SetState(D3DRENDERSTATE_FILLMODE, mode == RENDER_WIREFRAME ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
}

void Dx7Driver::UseTextureFactorAlpha() {
    factorAlpha_ = true;
    ApplyTextureStage();
}

void Dx7Driver::UseVertexAlpha() {
    factorAlpha_ = false;
    ApplyTextureStage();
}

void Dx7Driver::SetTextureFactor(PackedColor color) {
    textureFactor_ = color;
    SetState(D3DRENDERSTATE_TEXTUREFACTOR, color);
}

// ---------------------------------------------------------------------------
// [SECTION] Frames
bool Dx7Driver::BeginScene() {
    ++frames;
    faces = 0;
    vertices = 0;
    if (!device_) return false;
    bool lost = front_->IsLost() == DDERR_SURFACELOST || back_->IsLost() == DDERR_SURFACELOST;
    HRESULT hr = lost ? DDERR_SURFACELOST : device_->BeginScene();
    if (hr == DDERR_SURFACELOST) {
        if (!RestoreSurfaces() || !device_) return false;
        hr = device_->BeginScene();
    }
    return SUCCEEDED(hr);
}

void Dx7Driver::Clear(PackedColor color) {
    if (device_) device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0);
}

bool Dx7Driver::EndScene() { return device_ && SUCCEEDED(device_->EndScene()); }

bool Dx7Driver::ShowFrame() {
    if (!front_ || !back_) return false;
    HRESULT hr;
    if (fullscreen) {
        // While paused the desktop surface is the one shown.
        if (Paused()) return true;
        hr = front_->Flip(nullptr, DDFLIP_WAIT);
    } else {
        UpdateBlitRect();
        hr = front_->Blt(&blit_, back_, nullptr, DDBLT_WAIT, nullptr);
    }
    if (hr == DDERR_SURFACELOST) RestoreSurfaces();
    return SUCCEEDED(hr);
}

bool Dx7Driver::ReadBackBuffer(std::vector<uint8_t>* rgb, int* w, int* h) {
    if (!back_ || !rgb) return false;
    DDSURFACEDESC2 d;
    InitDesc(&d);
    if (FAILED(back_->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return false;
    const DDPIXELFORMAT& f = d.ddpfPixelFormat;
    const int bytes = static_cast<int>(f.dwRGBBitCount / 8);
    const int cols = static_cast<int>(d.dwWidth), rows = static_cast<int>(d.dwHeight);
    rgb->resize(static_cast<size_t>(cols) * rows * 3);
    for (int y = 0; y < rows; ++y) {
        const uint8_t* src = static_cast<const uint8_t*>(d.lpSurface) + static_cast<size_t>(y) * d.lPitch;
        uint8_t* dst = rgb->data() + static_cast<size_t>(y) * cols * 3;
        for (int x = 0; x < cols; ++x, src += bytes, dst += 3) {
            uint32_t p = 0;
            std::memcpy(&p, src, static_cast<size_t>(bytes));
            dst[0] = Channel(p, f.dwRBitMask);
            dst[1] = Channel(p, f.dwGBitMask);
            dst[2] = Channel(p, f.dwBBitMask);
        }
    }
    back_->Unlock(nullptr);
    if (w) *w = cols;
    if (h) *h = rows;
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Drawing
void Dx7Driver::Count(int vertexCount, int faceCount) {
    vertices += vertexCount;
    faces += faceCount;
}

template <class V>
bool Dx7Driver::Draw(D3DPRIMITIVETYPE type, DWORD fvf, const V* v, int count, int faceCount) {
    if (!v || count <= 0) return true;
    if (device_) device_->DrawPrimitive(type, fvf, const_cast<V*>(v), static_cast<DWORD>(count), 0);
    Count(count, faceCount);
    return true;
}

template <class V>
bool Dx7Driver::DrawIndexed(DWORD fvf, const V* v, int vertexCount, const uint16_t* indices, int indexCount) {
    if (!v || !indices || vertexCount <= 0 || indexCount <= 0) return true;
    if (device_)
        device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, fvf, const_cast<V*>(v),
                                      static_cast<DWORD>(vertexCount), const_cast<WORD*>(indices),
                                      static_cast<DWORD>(indexCount), 0);
    Count(vertexCount, indexCount / 3);
    return true;
}

bool Dx7Driver::DrawStrip(const VERTEX* v, int count) {
    return Draw(D3DPT_TRIANGLESTRIP, D3DFVF_VERTEX, v, count, count / 3);
}
bool Dx7Driver::DrawList(const VERTEX* v, int count) {
    return Draw(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, v, count, count / 3);
}
bool Dx7Driver::DrawLines(const VERTEX* v, int count) {
    return Draw(D3DPT_LINELIST, D3DFVF_VERTEX, v, count, 0);
}
bool Dx7Driver::DrawIndexedList(const VERTEX* v, int vertexCount, const uint16_t* indices, int indexCount) {
    return DrawIndexed(D3DFVF_VERTEX, v, vertexCount, indices, indexCount);
}

bool Dx7Driver::DrawStrip(const LVERTEX* v, int count) {
    bool previous = SetLighting(false);
    Draw(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, v, count, count / 3);
    SetLighting(previous);
    return true;
}
bool Dx7Driver::DrawList(const LVERTEX* v, int count) {
    bool previous = SetLighting(false);
    Draw(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, v, count, count / 3);
    SetLighting(previous);
    return true;
}
bool Dx7Driver::DrawLines(const LVERTEX* v, int count) {
    bool previous = SetLighting(false);
    Draw(D3DPT_LINELIST, D3DFVF_LVERTEX, v, count, 0);
    SetLighting(previous);
    return true;
}
bool Dx7Driver::DrawIndexedList(const LVERTEX* v, int vertexCount, const uint16_t* indices, int indexCount) {
    bool previous = SetLighting(false);
    DrawIndexed(D3DFVF_LVERTEX, v, vertexCount, indices, indexCount);
    SetLighting(previous);
    return true;
}

// Screen-space vertices are drawn unlit, from both sides and without fog
// (Direct3D would take their fog from the specular alpha, which is 0).
bool Dx7Driver::BeginScreenSpace(bool* previousLighting) {
    *previousLighting = SetLighting(false);
    SetState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    if (fog_) SetState(D3DRENDERSTATE_FOGENABLE, FALSE);
    return true;
}

void Dx7Driver::EndScreenSpace(bool previousLighting) {
    static const DWORD kCull[3] = {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW};
    SetState(D3DRENDERSTATE_CULLMODE, kCull[cullMode_]);
    if (fog_) SetState(D3DRENDERSTATE_FOGENABLE, TRUE);
    SetLighting(previousLighting);
}

bool Dx7Driver::DrawStrip(const TLVERTEX* v, int count) {
    bool previous;
    BeginScreenSpace(&previous);
    Draw(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, v, count, count / 3);
    EndScreenSpace(previous);
    return true;
}
bool Dx7Driver::DrawList(const TLVERTEX* v, int count) {
    bool previous;
    BeginScreenSpace(&previous);
    Draw(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v, count, count / 3);
    EndScreenSpace(previous);
    return true;
}
bool Dx7Driver::DrawLines(const TLVERTEX* v, int count) {
    bool previous;
    BeginScreenSpace(&previous);
    Draw(D3DPT_LINELIST, D3DFVF_TLVERTEX, v, count, 0);
    EndScreenSpace(previous);
    return true;
}
bool Dx7Driver::DrawIndexedList(const TLVERTEX* v, int vertexCount, const uint16_t* indices, int indexCount) {
    bool previous;
    BeginScreenSpace(&previous);
    DrawIndexed(D3DFVF_TLVERTEX, v, vertexCount, indices, indexCount);
    EndScreenSpace(previous);
    return true;
}

bool Dx7Driver::DrawBox(const float* corners) {
    if (!corners) return false;
    VERTEX lines[24];
    BoxEdgeLines(corners, lines);
    SetTexture(nullptr);
    return DrawLines(lines, 24);
}

// ---------------------------------------------------------------------------
// [SECTION] Textures
void Dx7Driver::Bind(IDirectDrawSurface7* surface) {
    const bool had = bound_ != nullptr;
    if (surface != bound_ && device_) device_->SetTexture(0, surface);
    bound_ = surface;
    if (had != (surface != nullptr)) ApplyTextureStage();
}

bool Dx7Driver::GenerateTexture(const char* name, const char* alphaName) {
    if (!textures_.Create(name, alphaName)) return false;
    Dx7TextureManager::TextureContainer* c = textures_.Find(name);
    if (c && c->list) c->lastChange = ClockMilliseconds();
    return true;
}

bool Dx7Driver::SetTexture(const char* name) {
    if (!name) {
        Bind(nullptr);
        return true;
    }
    Dx7TextureManager::TextureContainer* c = textures_.Find(name);
    if (!c && GenerateTexture(name, nullptr)) c = textures_.Find(name);
    if (!c) {
        Bind(nullptr);
        return false;
    }
    c->current = NextTextureListFrame(c->current, static_cast<int>(c->frames.size()), c->interval,
                                      ClockMilliseconds(), &c->lastChange);
    Bind(c->Surface());
    return c->Surface() != nullptr;
}

bool Dx7Driver::SetTextureFrame(const char* name, int frame) {
    Dx7TextureManager::TextureContainer* c = textures_.Find(name);
    if (!c && GenerateTexture(name, nullptr)) c = textures_.Find(name);
    if (!c || frame < 0 || frame >= static_cast<int>(c->frames.size())) return false;
    c->current = frame;
    Bind(c->Surface());
    return c->Surface() != nullptr;
}

bool Dx7Driver::TextureHasBinaryAlpha(const char* name) {
    Dx7TextureManager::TextureContainer* c = textures_.Find(name);
    return c && c->binaryAlpha;
}

// ---------------------------------------------------------------------------
// [SECTION] Lights, material, transforms and fog
void Dx7Driver::SetAmbientLight(float r, float g, float b) {
    ambient_ = PackColorF(r, g, b, 1.0f);
    SetState(D3DRENDERSTATE_AMBIENT, ambient_);
}

void Dx7Driver::SetAmbientColor(PackedColor color) {
    SetAmbientLight(ColorRed(color) / 255.0f, ColorGreen(color) / 255.0f, ColorBlue(color) / 255.0f);
}

bool Dx7Driver::ApplyLight(int index) {
    if (!device_) return true;
    Light& l = lights_[static_cast<size_t>(index)];
    if (FAILED(device_->SetLight(static_cast<DWORD>(index), &l.light))) {
        LogLine("Invalid params to set light at index %i", index);
        return false;
    }
    device_->LightEnable(static_cast<DWORD>(index), l.enabled ? TRUE : FALSE);
    return true;
}

int Dx7Driver::CreateLight(LightDesc desc) {
    const int index = nextLight_++;
    SetLight(index, desc);
    LogLine("Created light no %i (color %f, %f, %f)", index, desc.r, desc.g, desc.b);
    return index;
}

bool Dx7Driver::SetLight(int index, LightDesc desc) {
    if (index < 0) {
        LogLine("Invalid params to set light at index %i", index);
        return false;
    }
    if (static_cast<size_t>(index) >= lights_.size()) {
        Light fresh;
        std::memset(&fresh, 0, sizeof fresh);
        lights_.resize(static_cast<size_t>(index) + 1, fresh);
    }
    D3DLIGHT7& l = lights_[static_cast<size_t>(index)].light;
    l.dcvDiffuse = ColorValue(desc.r, desc.g, desc.b, 1.0f);
    l.dcvSpecular = ColorValue(0, 0, 0, 1.0f);
    l.dcvAmbient = ColorValue(0, 0, 0, 1.0f);
    if (desc.type == LIGHT_POINT) {
        l.dltType = D3DLIGHT_POINT;
        l.dvPosition.x = desc.position.x;
        l.dvPosition.y = desc.position.y;
        l.dvPosition.z = desc.position.z;
        l.dvRange = kRangeScale * desc.range;
        l.dvAttenuation0 = 1.0f;
        l.dvAttenuation1 = l.dvRange > 0.0f ? kLinearAttenuation / l.dvRange : 0.0f;
        l.dvAttenuation2 = 0.0f;
    } else if (desc.type == LIGHT_DIRECTIONAL) {
        // The description points towards the light; Direct3D wants the
        // direction the light travels.
        l.dltType = D3DLIGHT_DIRECTIONAL;
        l.dvDirection.x = -desc.direction.x;
        l.dvDirection.y = -desc.direction.y;
        l.dvDirection.z = -desc.direction.z;
        l.dvRange = D3DLIGHT_RANGE_MAX;
    }
    lights_[static_cast<size_t>(index)].enabled = true;
    return ApplyLight(index);
}

void Dx7Driver::EnableLight(int index, bool on) {
    if (index < 0 || static_cast<size_t>(index) >= lights_.size()) return;
    lights_[static_cast<size_t>(index)].enabled = on;
    if (device_) device_->LightEnable(static_cast<DWORD>(index), on ? TRUE : FALSE);
}

bool Dx7Driver::SetMaterial(const MaterialColors* m) {
    if (!m) return false;
    std::memset(&material_, 0, sizeof material_);
    material_.dcvDiffuse = ColorValue(m->diffuse[0], m->diffuse[1], m->diffuse[2], m->diffuse[3]);
    material_.dcvAmbient = ColorValue(m->ambient[0], m->ambient[1], m->ambient[2], m->ambient[3]);
    material_.dcvSpecular = ColorValue(m->specular[0], m->specular[1], m->specular[2], m->specular[3]);
    material_.dcvEmissive = ColorValue(0, 0, 0, 0);
    material_.dvPower = 0.0f;
    return !device_ || SUCCEEDED(device_->SetMaterial(&material_));
}

void Dx7Driver::SetWorldMatrix(const MATRIX* m) {
    if (!m) return;
    world_ = *m;
    if (device_) device_->SetTransform(D3DTRANSFORMSTATE_WORLD, reinterpret_cast<D3DMATRIX*>(world_.m));
}

void Dx7Driver::SetViewMatrix(const MATRIX* m) {
    if (!m) return;
    view_ = *m;
    if (device_) device_->SetTransform(D3DTRANSFORMSTATE_VIEW, reinterpret_cast<D3DMATRIX*>(view_.m));
}

void Dx7Driver::SetProjection(float fov, float aspect, float nearPlane, float farPlane) {
    const float k = std::cos(fov / 2) / std::sin(fov / 2);
    const float q = farPlane / (farPlane - nearPlane);
    std::memset(projection_.m, 0, sizeof projection_.m);
    projection_.m[0] = aspect * k;
    projection_.m[5] = k;
    projection_.m[10] = q;
    projection_.m[11] = 1.0f;
    projection_.m[14] = -q * nearPlane;
    if (device_)
        device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, reinterpret_cast<D3DMATRIX*>(projection_.m));
}

void Dx7Driver::GetWorldMatrix(MATRIX* out) {
    if (out) *out = world_;
}
void Dx7Driver::GetViewMatrix(MATRIX* out) {
    if (out) *out = view_;
}
void Dx7Driver::GetProjectionMatrix(MATRIX* out) {
    if (out) *out = projection_;
}

void Dx7Driver::SetFogging(bool on) {
    fog_ = on;
    SetState(D3DRENDERSTATE_FOGENABLE, on ? TRUE : FALSE);
}

void Dx7Driver::SetFogColor(PackedColor color) {
    fogColor_ = color;
    SetState(D3DRENDERSTATE_FOGCOLOR, color);
}

void Dx7Driver::SetFogBegin(float distance) {
    fogBegin_ = distance;
    SetState(D3DRENDERSTATE_FOGSTART, FloatBits(distance));
}

void Dx7Driver::SetFogEnd(float distance) {
    fogEnd_ = distance;
    SetState(D3DRENDERSTATE_FOGEND, FloatBits(distance));
}
