// The graphics driver contract: every pixel the engine draws goes through one
// GfxDriver. The interface is immediate-mode: callers set render state,
// textures, matrices and lights, then hand over arrays of vertices in one of
// the three fixed vertex formats below.
//
// Start-up creates one concrete driver, calls Init on the main window and
// publishes it in g_gfxdriver. On Linux the OpenGL driver is bound to an SDL
// window, see gfxdriver/opengldriver/sdl/opengldriversdl.h.
//
// Frame order: BeginScene, Clear, state/matrix/texture calls and draws in any
// order, EndScene, ShowFrame. GenerateTexture may be called any time after Init.
#ifndef ZENDAR_GFXDRIVER_GFXDRIVER_H
#define ZENDAR_GFXDRIVER_GFXDRIVER_H

#include <cstddef>
#include <cstdint>

#include "math/zmath.h"

// ---------------------------------------------------------------------------
// Packed colour: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
typedef uint32_t PackedColor;

inline PackedColor PackColor(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
// Float components 0..1 (clamped), each truncated to a byte after scaling by 255.
inline PackedColor PackColorF(float r, float g, float b, float a = 1.0f) {
    auto byte = [](float v) -> uint32_t {
        if (!(v > 0.0f)) return 0;
        if (v >= 1.0f) return 255;
        return static_cast<uint32_t>(v * 255.0f);
    };
    return PackColor(byte(a), byte(r), byte(g), byte(b));
}
inline uint32_t ColorAlpha(PackedColor c) { return (c >> 24) & 0xFF; }
inline uint32_t ColorRed(PackedColor c) { return (c >> 16) & 0xFF; }
inline uint32_t ColorGreen(PackedColor c) { return (c >> 8) & 0xFF; }
inline uint32_t ColorBlue(PackedColor c) { return c & 0xFF; }
// Each byte divided by 255.0, written as r, g, b, a.
inline void ColorToFloats(PackedColor c, float out[4]) {
    out[0] = ColorRed(c) / 255.0f;
    out[1] = ColorGreen(c) / 255.0f;
    out[2] = ColorBlue(c) / 255.0f;
    out[3] = ColorAlpha(c) / 255.0f;
}

// ---------------------------------------------------------------------------
// Vertex records: 32 bytes each, laid out like the Direct3D 7 flexible vertex
// formats 0x112 (VERTEX), 0x1E2 (LVERTEX) and 0x1C4 (TLVERTEX).

// Untransformed, unlit: lit by the driver's lights and material.
struct VERTEX {
    float x, y, z;     // model space
    float nx, ny, nz;  // normal
    float tu, tv;
};

// Untransformed, lit: carries its own colour; drawn with lighting off.
struct LVERTEX {
    float x, y, z;      // model space
    uint32_t reserved;  // ignored
    PackedColor color;
    PackedColor specular;  // ignored by the OpenGL driver
    float tu, tv;
};

// Transformed, lit: sx, sy in pixels from the top-left corner of the render
// area; drawn with lighting and face culling off.
struct TLVERTEX {
    float sx, sy, sz;
    float rhw;  // ignored by the OpenGL driver
    PackedColor color;
    PackedColor specular;  // ignored by the OpenGL driver
    float tu, tv;
};

// Beyond the Direct3D formats: a point of two layers of one surface seen
// through each other, for DrawIndexedDualLayer. x, y, z and the first layer's
// colour and coordinates are as in LVERTEX; the second layer is the surface
// that the line from the eye through the point meets further on. tq2 is the
// point's distance along the view direction divided by the second point's;
// the second layer's coordinates and fog depth come multiplied by it. fog1
// and fog2 are the depths each layer is fogged at (the fixed-function fog
// coordinate).
struct DUALVERTEX {
    float x, y, z;
    PackedColor color1;
    PackedColor color2;
    float tu1, tv1, fog1;
    float tu2, tv2, fog2, tq2;
};

// The Direct3D flexible vertex formats the records are handed to as they are:
// 0x112 (position, normal, texture), 0x1E2 (position, reserved, diffuse,
// specular, texture) and 0x1C4 (transformed position with rhw, diffuse,
// specular, texture).
static_assert(sizeof(VERTEX) == 32, "VERTEX is 32 bytes");
static_assert(offsetof(VERTEX, nx) == 12 && offsetof(VERTEX, tu) == 24, "VERTEX is format 0x112");
static_assert(sizeof(LVERTEX) == 32, "LVERTEX is 32 bytes");
static_assert(offsetof(LVERTEX, color) == 16 && offsetof(LVERTEX, specular) == 20 &&
                  offsetof(LVERTEX, tu) == 24,
              "LVERTEX is format 0x1E2");
static_assert(sizeof(TLVERTEX) == 32, "TLVERTEX is 32 bytes");
static_assert(offsetof(TLVERTEX, rhw) == 12 && offsetof(TLVERTEX, color) == 16 &&
                  offsetof(TLVERTEX, tu) == 24,
              "TLVERTEX is format 0x1C4");

// ---------------------------------------------------------------------------
// Light description, passed by value: eleven 32-bit fields.
enum : int32_t {
    LIGHT_POINT = 0,
    LIGHT_DIRECTIONAL = 1,
};

struct LightDesc {
    int32_t type;      // LIGHT_POINT or LIGHT_DIRECTIONAL; other values leave position/direction alone
    VECTOR position;   // point lights
    VECTOR direction;  // directional lights
    float r, g, b;     // colour, 0..1
    float range;       // world units
};

static_assert(sizeof(LightDesc) == 44, "LightDesc is eleven 32-bit fields");
static_assert(offsetof(LightDesc, position) == 4 && offsetof(LightDesc, direction) == 16 &&
                  offsetof(LightDesc, r) == 28 && offsetof(LightDesc, range) == 40,
              "LightDesc fields in the order the drivers read them");

// Material for lit (VERTEX) drawing. Emission is always black, specular power 0.
struct MaterialColors {
    float diffuse[4];   // r, g, b, a
    float ambient[4];   // r, g, b, a
    float specular[4];  // r, g, b, a
};

static_assert(sizeof(MaterialColors) == 48, "MaterialColors is twelve floats");

// ---------------------------------------------------------------------------
// Mode values, each passed as one byte. A value outside a row changes nothing.
enum : uint8_t {
    // SetZBufferMode
    ZBUFFER_ON = 0,       // depth test and depth writes
    ZBUFFER_OFF = 1,      // no depth buffering
    ZBUFFER_NOWRITE = 2,  // depth test without writes
    // SetBlendMode
    BLEND_ALPHA = 0,     // source alpha / one minus source alpha
    BLEND_ADDITIVE = 1,  // source alpha / one
    // SetTextureFilter
    FILTER_NEAREST = 0,  // nearest texel, nearest mipmap
    FILTER_LINEAR = 1,   // bilinear, blended between mipmaps
    // SetCullMode
    CULL_NONE = 0,
    CULL_CW = 1,   // cull clockwise faces
    CULL_CCW = 2,  // cull counter-clockwise faces (the initial state)
    // SetAlphaTestMode
    ALPHATEST_OPAQUE = 0,   // pass only alpha = 1.0
    ALPHATEST_NONZERO = 1,  // pass alpha > 0
    ALPHATEST_OFF = 2,
    // SetRenderMode
    RENDER_WIREFRAME = 0,
    RENDER_SOLID = 1,
};

// ---------------------------------------------------------------------------
// The driver. 59 virtual operations in a fixed slot order (the comments give
// the slot). Only the destructor, SetBackgroundDepth and DrawIndexedDualLayer have a
// body here.
class GfxDriver {
public:
    GfxDriver();
    virtual ~GfxDriver();  // 0

    virtual void Paint() = 0;                     // 1
    virtual void Move(int16_t x, int16_t y) = 0;  // 2
    virtual bool RestoreSurfaces() = 0;           // 3
    virtual void ToggleFullscreen() = 0;          // 4
    virtual void Shutdown() = 0;                  // 5
    virtual void ChangeEnvironment() = 0;         // 6
    // Nests: true adds one, false takes one; paused while the count is not 0.
    virtual void Pause(bool pause) = 0;  // 7
    // instance: the program instance (unused by OpenGL); window: the platform
    // window (HWND on Windows, SDL_Window* on Linux). False after the driver
    // has shown its own message box.
    virtual bool Init(void* instance, void* window) = 0;  // 8
    virtual bool BeginScene() = 0;                        // 9
    virtual void Clear(PackedColor color) = 0;            // 10
    virtual bool EndScene() = 0;                          // 11
    virtual bool ShowFrame() = 0;                         // 12

    // vertices += count, faces += count / 3 (lines add no faces).
    virtual bool DrawStrip(const VERTEX* v, int count) = 0;  // 13
    virtual bool DrawList(const VERTEX* v, int count) = 0;   // 14
    virtual bool DrawLines(const VERTEX* v, int count) = 0;  // 15
    // vertices += vertexCount, faces += indexCount / 3.
    virtual bool DrawIndexedList(const VERTEX* v, int vertexCount, const uint16_t* indices,
                                 int indexCount) = 0;         // 16
    virtual bool DrawStrip(const LVERTEX* v, int count) = 0;  // 17
    virtual bool DrawList(const LVERTEX* v, int count) = 0;   // 18
    virtual bool DrawLines(const LVERTEX* v, int count) = 0;  // 19
    virtual bool DrawIndexedList(const LVERTEX* v, int vertexCount, const uint16_t* indices,
                                 int indexCount) = 0;          // 20
    virtual bool DrawStrip(const TLVERTEX* v, int count) = 0;  // 21
    virtual bool DrawList(const TLVERTEX* v, int count) = 0;   // 22
    virtual bool DrawLines(const TLVERTEX* v, int count) = 0;  // 23
    virtual bool DrawIndexedList(const TLVERTEX* v, int vertexCount, const uint16_t* indices,
                                 int indexCount) = 0;  // 24
    // corners: x, y, z of the first corner, then of the second.
    virtual bool DrawBox(const float* corners) = 0;  // 25

    // Cached setters: each returns the state in force before the call.
    virtual bool SetAlphaBlending(bool on) = 0;        // 26
    virtual bool SetLighting(bool on) = 0;             // 27
    virtual uint8_t SetZBufferMode(uint8_t mode) = 0;  // 28
    virtual bool SetTextureWrapU(bool wrap) = 0;       // 29
    virtual bool SetTextureWrapV(bool wrap) = 0;       // 30

    virtual void SetBlendMode(uint8_t mode) = 0;           // 31
    virtual void SetTextureFilter(uint8_t mode) = 0;       // 32
    virtual void SetCullMode(uint8_t mode) = 0;            // 33
    virtual void SetAlphaTestMode(uint8_t mode) = 0;       // 34
    virtual void SetRenderMode(uint8_t mode) = 0;          // 35
    virtual void UseTextureFactorAlpha() = 0;              // 36
    virtual void UseVertexAlpha() = 0;                     // 37
    virtual void SetTextureFactor(PackedColor color) = 0;  // 38

    virtual bool GenerateTexture(const char* name, const char* alphaName) = 0;  // 39
    virtual bool SetTexture(const char* name) = 0;                              // 40
    virtual bool SetTextureFrame(const char* name, int frame) = 0;              // 41
    virtual bool TextureHasBinaryAlpha(const char* name) = 0;                   // 42

    virtual void SetAmbientLight(float r, float g, float b) = 0;   // 43
    virtual void SetAmbientColor(PackedColor color) = 0;           // 44
    virtual int CreateLight(LightDesc desc) = 0;                   // 45
    virtual bool SetLight(int index, LightDesc desc) = 0;          // 46
    virtual void EnableLight(int index, bool on) = 0;              // 47
    virtual bool SetMaterial(const MaterialColors* material) = 0;  // 48

    virtual void SetWorldMatrix(const MATRIX* m) = 0;  // 49
    virtual void SetViewMatrix(const MATRIX* m) = 0;   // 50
    // fov in radians; aspect = height / width.
    virtual void SetProjection(float fov, float aspect, float nearPlane,
                               float farPlane) = 0;     // 51
    virtual void GetWorldMatrix(MATRIX* out) = 0;       // 52
    virtual void GetViewMatrix(MATRIX* out) = 0;        // 53
    virtual void GetProjectionMatrix(MATRIX* out) = 0;  // 54

    virtual void SetFogging(bool on) = 0;             // 55
    virtual void SetFogColor(PackedColor color) = 0;  // 56
    virtual void SetFogBegin(float distance) = 0;     // 57
    virtual void SetFogEnd(float distance) = 0;       // 58
    // Beyond the original operations, with a body that does nothing: while on,
    // what is drawn lands on the far plane and shows only where nothing has
    // been drawn since the clear (depth writes follow SetZBufferMode). Lets a
    // background such as the sky be drawn after the opaque world, shading only
    // what stays visible. False when the driver cannot; then nothing changes.
    virtual bool SetBackgroundDepth(bool on);  // 59
    // Also beyond them, with a body that draws nothing and returns false:
    // the pixels of two alpha-blended (BLEND_ALPHA) passes over the triangles,
    // the first with texture1, color1, tu1, tv1 and fog1, then the second with
    // texture2, color2 and tu2, tv2, fog2 divided by tq2, in one pass. The
    // caller cuts both layers so that each triangle lies in one triangle of
    // either as seen from the eye; coordinates and fog are then exact at
    // every pixel, and so is a colour that is the same over its layer's
    // triangle. Like the second pass, leaves color2 of the last index as the
    // current colour (what an LVERTEX draw leaves; a VERTEX draw with lighting
    // off takes it). Counts nothing in vertices and faces: the caller counts
    // the two passes the draw stands for. False when the driver cannot in its
    // current state: then nothing is drawn and the caller draws the two
    // layers itself.
    virtual bool DrawIndexedDualLayer(const DUALVERTEX* v, int vertexCount, const uint16_t* indices,
                                      int indexCount, const char* texture1, const char* texture2);  // 60

    // Fields, in declaration order; all cleared by the constructor.
    // Driver-private flags. The model renderer reads privateFlags[0] when it
    // decides between drawing a piece at once and queueing it in the alpha
    // list; the DirectX 7 driver keeps "not paused" in privateFlags[1].
    uint8_t privateFlags[3];
    uint8_t fullscreen;  // non-zero while the driver owns the whole screen
    int32_t width;       // render area in pixels
    int32_t height;
    int32_t faces;         // triangles since the last BeginScene
    int32_t vertices;      // vertices since the last BeginScene
    int32_t privateValue;  // driver-private
    // Cached render state, compared by the setters.
    uint8_t lighting;       // lighting on
    uint8_t alphaBlending;  // alpha blending on
    uint8_t zbufferMode;    // see SetZBufferMode
    uint8_t wrapU;          // texture wrap in U
    uint8_t wrapV;          // texture wrap in V
    int32_t frames;         // incremented by every BeginScene
    // Low byte: the world renderer's indoor-lighting flag, copied into
    // alpha-list items. The drivers do not use it.
    int32_t worldFlag;

private:
    GfxDriver(const GfxDriver&) = delete;
    GfxDriver& operator=(const GfxDriver&) = delete;
};

// The twelve edges of an axis-aligned box (min x, y, z then max x, y, z) as
// a line list of 24 positions, the geometry every driver's DrawBox draws.
void BoxEdgeLines(const float* corners, VERTEX lines[24]);

// The process-wide driver, published by start-up; null until then.
extern GfxDriver* g_gfxdriver;

#endif  // ZENDAR_GFXDRIVER_GFXDRIVER_H
