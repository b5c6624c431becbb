// OpenGLDriver: the graphics driver on OpenGL 1.1 + GLU. Everything here is
// plain OpenGL; a window-system binding derives from it and adds Init and
// ShowFrame (SDL on Linux: sdl/opengldriversdl.h). The binding makes a
// context current and then calls InitState once.
#ifndef ZENDAR_GFXDRIVER_OPENGLDRIVER_OPENGLDRIVER_H
#define ZENDAR_GFXDRIVER_OPENGLDRIVER_OPENGLDRIVER_H

#include <memory>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "utility/list.h"
#include "utility/stringhashtable.h"

// One entry of the driver's light list (40 bytes).
struct OpenGLLight {
    float diffuse[4];   // r, g, b, 1.0
    float position[4];  // position (w = 1) or direction (w = 0)
    float range;        // kept, not used by OpenGL
    uint8_t enabled;
};

// A texture list's frames (gfxdriver/texturelist.h), shown one after the
// other as SetTexture of the list's name comes round.
struct OpenGLTextureList {
    std::vector<unsigned int> frames;  // texture objects
    uint32_t interval = 100;           // milliseconds between frames
    int current = 0;
    uint32_t lastChange = 0;
};

class OpenGLDriver : public GfxDriver {
public:
    OpenGLDriver();
    ~OpenGLDriver() override;

    void Paint() override;
    void Move(int16_t x, int16_t y) override;
    bool RestoreSurfaces() override;
    void ToggleFullscreen() override;
    void Shutdown() override;
    void ChangeEnvironment() override;
    void Pause(bool pause) override;
    bool BeginScene() override;
    void Clear(PackedColor color) override;
    bool EndScene() override;

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
    bool SetBackgroundDepth(bool on) override;
    // One pass of a small shader program (OpenGL 2.0) where the context has
    // one; false otherwise, in wireframe, with the alpha test on, with a blend
    // other than BLEND_ALPHA, or when a texture was never generated.
    bool DrawIndexedDualLayer(const DUALVERTEX* v, int vertexCount, const uint16_t* indices, int indexCount,
                              const char* texture1, const char* texture2) override;

    // Uploads tightly packed, top-down blue-green-red-alpha pixels as a
    // mipmapped texture (RGBA when hasAlpha, else RGB) and registers it under
    // name. Returns the texture object, 0 on bad input.
    unsigned int UploadTexture(const char* name, const uint8_t* bgra, int w, int h, bool hasAlpha);
    // The texture object registered under name, 0 when absent or name is null.
    unsigned int TextureObject(const char* name) const;
    // The texture list generated under name, or null.
    const OpenGLTextureList* TextureListNamed(const char* name) const;

    const List<OpenGLLight>& Lights() const { return lights; }
    // Texture objects made by UploadTexture and alive (none is deleted
    // before the context goes): a soak reads it to see that it stays level.
    int LiveTextures() const { return liveTextures_; }

    // Logs "OpenGL Error in %s: %s" when OpenGL reports an error.
    static void CheckError(const char* where);

    // VERTEX and LVERTEX draws hand their arrays to OpenGL in one call
    // (vertex arrays) instead of one call per attribute; the pictures are the
    // same. Off: the plain immediate-mode path (kept for comparison).
    bool use_vertex_arrays = true;

protected:
    // An OpenGL function beyond 1.1 by name, from the window-system binding;
    // null when there is none (then nothing past 1.1 is used).
    virtual void* GLFunction(const char* name);

    // The window-independent part of initialisation; needs a current context.
    // Sets the viewport to w x h (h 0 becomes 1), logs the version and the
    // number of lights, and puts every render state in its initial value.
    void InitState(int w, int h);

    MATRIX projection;
    MATRIX world;
    MATRIX view;
    StringHashTable textures;
    List<OpenGLLight> lights;
    StringHashTable textureLists;
    std::vector<std::unique_ptr<OpenGLTextureList>> textureListStore;

private:
    struct DualLayerProgram;
    int liveTextures_ = 0;
    uint8_t blendMode_ = BLEND_ALPHA;
    bool wireframe_ = false;
    std::unique_ptr<DualLayerProgram> dualLayer_;  // made on first use
    bool dualLayerTried_ = false;
    bool MakeDualLayerProgram();
    // The object SetTexture binds for name (a texture list's current frame).
    unsigned int BoundObject(const char* name);
    bool GenerateTextureList(const char* name, const char* alphaName);
    void ApplyModelView();
    void RenderLights();
    void FlippedView(float out[16]) const;
    void BeginScreenSpace(bool* previousLighting);
    void EndScreenSpace(bool previousLighting);
    void Count(int vertexCount, int faceCount);
    void DrawArrays(unsigned int mode, const VERTEX* v, int count, const uint16_t* indices, int indexCount);
    void DrawArrays(unsigned int mode, const LVERTEX* v, int count, const uint16_t* indices, int indexCount);

    // LVERTEX colours rearranged for OpenGL (red, green, blue, alpha bytes).
    List<uint32_t> colors;
};

#endif  // ZENDAR_GFXDRIVER_OPENGLDRIVER_OPENGLDRIVER_H
