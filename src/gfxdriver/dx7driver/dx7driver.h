// Dx7Driver: the graphics driver on DirectDraw 7 and Direct3D 7 (Windows
// only), the renderer start-up creates unless "*renderer" is 1.
//
//   Dx7Driver* d = new Dx7Driver();
//   if (!d->Init(instance, hwnd)) ...  // false: the driver showed its message
//
// Init lists the devices, asks the "Select Device" dialog (dx7devices.h) and
// builds the environment: DirectDraw on the window, the front and back
// buffers (a flipping chain full-screen; windowed, a primary surface with a
// clipper and a back buffer blitted into the client area), the Direct3D
// device and its depth buffer. ChangeEnvironment asks again and rebuilds,
// ToggleFullscreen rebuilds the other way; when a choice cannot be built the
// driver falls back to a window on the same device.
//
// Windowed the render area is 1024 x 768, the window sized as for the OpenGL
// driver (its menu bar makes the client area 19 pixels lower, and the blit
// fits the whole back buffer into it). Full-screen it is the chosen mode.
//
// Render state, lights, material, transforms and textures are kept by the
// driver and put back on every new device.
#ifndef ZENDAR_GFXDRIVER_DX7DRIVER_DX7DRIVER_H
#define ZENDAR_GFXDRIVER_DX7DRIVER_DX7DRIVER_H

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gfxdriver/dx7driver/dx7devices.h"
#include "gfxdriver/dx7driver/dx7texturemanager.h"
#include "gfxdriver/gfxdriver.h"

class Dx7Driver : public GfxDriver {
public:
    Dx7Driver();
    ~Dx7Driver() override;

    void Paint() override;
    void Move(int16_t x, int16_t y) override;
    bool RestoreSurfaces() override;
    void ToggleFullscreen() override;
    void Shutdown() override;
    void ChangeEnvironment() override;
    void Pause(bool pause) override;
    // instance: the HINSTANCE holding the dialog resource; window: the HWND.
    bool Init(void* instance, void* window) override;
    bool BeginScene() override;
    void Clear(PackedColor color) override;
    bool EndScene() override;
    bool ShowFrame() override;

    bool DrawStrip(const VERTEX* v, int count) override;
    bool DrawList(const VERTEX* v, int count) override;
    bool DrawLines(const VERTEX* v, int count) override;
    bool DrawIndexedList(const VERTEX* v, int vertexCount, const uint16_t* indices, int indexCount) override;
    bool DrawStrip(const LVERTEX* v, int count) override;
    bool DrawList(const LVERTEX* v, int count) override;
    bool DrawLines(const LVERTEX* v, int count) override;
    bool DrawIndexedList(const LVERTEX* v, int vertexCount, const uint16_t* indices, int indexCount) override;
    bool DrawStrip(const TLVERTEX* v, int count) override;
    bool DrawList(const TLVERTEX* v, int count) override;
    bool DrawLines(const TLVERTEX* v, int count) override;
    bool DrawIndexedList(const TLVERTEX* v, int vertexCount, const uint16_t* indices,
                         int indexCount) override;
    bool DrawBox(const float* corners) override;

    bool SetAlphaBlending(bool on) override;
    bool SetLighting(bool on) override;
    uint8_t SetZBufferMode(uint8_t mode) override;
    bool SetTextureWrapU(bool wrap) override;
    bool SetTextureWrapV(bool wrap) override;
    void SetBlendMode(uint8_t mode) override;
    void SetTextureFilter(uint8_t mode) override;
    void SetCullMode(uint8_t mode) override;
    void SetAlphaTestMode(uint8_t mode) override;
    void SetRenderMode(uint8_t mode) override;
    void UseTextureFactorAlpha() override;
    void UseVertexAlpha() override;
    void SetTextureFactor(PackedColor color) override;

    bool GenerateTexture(const char* name, const char* alphaName) override;
    bool SetTexture(const char* name) override;
    bool SetTextureFrame(const char* name, int frame) override;
    bool TextureHasBinaryAlpha(const char* name) override;

    void SetAmbientLight(float r, float g, float b) override;
    void SetAmbientColor(PackedColor color) override;
    int CreateLight(LightDesc desc) override;
    bool SetLight(int index, LightDesc desc) override;
    void EnableLight(int index, bool on) override;
    bool SetMaterial(const MaterialColors* material) override;

    void SetWorldMatrix(const MATRIX* m) override;
    void SetViewMatrix(const MATRIX* m) override;
    void SetProjection(float fov, float aspect, float nearPlane, float farPlane) override;
    void GetWorldMatrix(MATRIX* out) override;
    void GetViewMatrix(MATRIX* out) override;
    void GetProjectionMatrix(MATRIX* out) override;

    void SetFogging(bool on) override;
    void SetFogColor(PackedColor color) override;
    void SetFogBegin(float distance) override;
    void SetFogEnd(float distance) override;

    // The back buffer as tightly packed RGB rows, top row first (screenshots
    // and tests). False without a back buffer or when it cannot be locked.
    bool ReadBackBuffer(std::vector<uint8_t>* rgb, int* w, int* h);

    enum ZBufferKind {
        ZBUFFER_KIND_Z = 1,  // ordinary z-buffer
        ZBUFFER_KIND_W = 2,  // W-buffer
    };
    int ZBufferKindInUse() const { return zkind_; }
    const Dx7DeviceList& DeviceList() const { return list_; }
    // The list the dialog offers, for tests that offer a mode the display lacks.
    Dx7DeviceList& DeviceList() { return list_; }
    const Dx7DeviceChoice& Choice() const { return choice_; }
    Dx7TextureManager& Textures() { return textures_; }
    bool Paused() const { return pauseCount_ != 0; }
    IDirectDraw7* DirectDraw() const { return dd_; }
    IDirect3DDevice7* Device() const { return device_; }
    // The surfaces, for tests that need to see them lost and restored.
    IDirectDrawSurface7* FrontBuffer() const { return front_; }
    IDirectDrawSurface7* BackBuffer() const { return back_; }

private:
    struct Light {
        D3DLIGHT7 light;
        bool enabled;
    };

    // Builds the environment for choice_ (logs the step that fails).
    bool BuildEnvironment();
    bool CreateDirectDraw();
    bool CreateFullscreenBuffers();
    bool CreateWindowedBuffers();
    bool CreateDirect3D();
    bool CreateZBuffer();
    void ReleaseEnvironment();
    // Release, build; on failure a full-screen choice falls back to a
    // window. failureLine is logged when the choice itself cannot be built.
    bool Rebuild(const char* failureLine);
    void PlaceWindow();
    void UpdateBlitRect();
    // The initial device state, then everything the driver keeps.
    void ApplyDeviceState();
    void SetState(D3DRENDERSTATETYPE state, DWORD value);
    void SetStage(D3DTEXTURESTAGESTATETYPE state, DWORD value);
    void ApplyTextureStage();
    void ApplyZBufferMode();
    void Bind(IDirectDrawSurface7* surface);
    bool ApplyLight(int index);
    void Count(int vertexCount, int faceCount);
    template <class V>
    bool Draw(D3DPRIMITIVETYPE type, DWORD fvf, const V* v, int count, int faces);
    template <class V>
    bool DrawIndexed(DWORD fvf, const V* v, int vertexCount, const uint16_t* indices, int indexCount);
    bool BeginScreenSpace(bool* lighting);
    void EndScreenSpace(bool lighting);
    void SetNotPausedFlag();

    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    Dx7DeviceList list_;
    Dx7DeviceChoice choice_;
    IDirectDraw7* dd_ = nullptr;
    IDirect3D7* d3d_ = nullptr;
    IDirect3DDevice7* device_ = nullptr;
    IDirectDrawSurface7* front_ = nullptr;
    IDirectDrawSurface7* back_ = nullptr;
    IDirectDrawSurface7* zbuffer_ = nullptr;
    IDirectDrawClipper* clipper_ = nullptr;
    RECT blit_ = {};
    int zkind_ = ZBUFFER_KIND_Z;
    int pauseCount_ = 0;
    int nextLight_ = 0;
    std::vector<Light> lights_;
    MATRIX world_;
    MATRIX view_;
    MATRIX projection_;
    D3DMATERIAL7 material_ = {};
    Dx7TextureManager textures_;
    IDirectDrawSurface7* bound_ = nullptr;

    // State that is not one of the interface's cached bytes.
    uint8_t blendMode_ = 0;
    uint8_t filter_ = 1;
    uint8_t cullMode_ = 2;
    uint8_t alphaTest_ = 2;
    uint8_t renderMode_ = 1;
    bool factorAlpha_ = false;
    PackedColor textureFactor_ = 0xFFFFFFFF;
    PackedColor ambient_ = 0;
    bool fog_ = false;
    PackedColor fogColor_ = 0;
    float fogBegin_ = 0.0f;
    float fogEnd_ = 1.0f;
};

#endif
