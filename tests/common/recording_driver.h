// RecordingDriver: a GfxDriver test double that keeps what it is told.
//
// - every call is appended to `calls` as text, e.g. "SetLighting(0)",
//   "SetTexture(textures\\a.bmp)", "SetTexture(null)", "DrawStrip(TLVERTEX,4)",
//   "DrawIndexedList(LVERTEX,8,12)", "SetZBufferMode(2)";
// - every draw is also kept in `draws` with copies of its vertices and
//   indices and the render state in force during the draw;
// - counters (faces, vertices, frames) and the cached setters behave like the
//   real drivers (same previous-value results, same "nothing changes" rule);
//   `device_changes` counts setter calls that changed a cached state;
// - LVERTEX and TLVERTEX draws switch lighting off for the draw and restore
//   it; TLVERTEX draws also switch culling off and leave it on afterwards
//   like the OpenGL driver (a CULL_NONE in force becomes the face culled
//   last, CULL_CCW unless SetCullMode(CULL_CW) was called);
// - lights, material, matrices (projection in the Direct3D form), fog,
//   ambient, texture factor and the texture table are kept as plain state.
//
// Install it as the process-wide driver with `ScopedDriver`.
#ifndef ZENDAR_TESTS_COMMON_RECORDING_DRIVER_H
#define ZENDAR_TESTS_COMMON_RECORDING_DRIVER_H

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "gfxdriver/gfxdriver.h"

enum class VertexFormat {
    kVertex,
    kLVertex,
    kTLVertex
};
enum class Primitive {
    kStrip,
    kList,
    kLines,
    kIndexedList
};

struct RecordedLight {
    LightDesc desc;
    bool enabled;
};

struct DrawRecord {
    VertexFormat format;
    Primitive primitive;
    int vertexCount;                 // the count argument (vertex count for indexed draws)
    std::vector<VERTEX> vertex;      // filled for VERTEX draws (and DrawBox)
    std::vector<LVERTEX> lvertex;    // filled for LVERTEX draws
    std::vector<TLVERTEX> tlvertex;  // filled for TLVERTEX draws
    std::vector<uint16_t> indices;   // indexed draws
    // State during the draw.
    std::string texture;  // "" when texturing is off
    bool lighting;
    bool alphaBlending;
    uint8_t zbufferMode;
    uint8_t blend_mode;
    uint8_t cull_mode;  // CULL_NONE during TLVERTEX draws
    uint8_t alpha_test_mode;
    uint8_t render_mode;
    bool fog;
    bool texture_factor_alpha;
    PackedColor texture_factor;
    MATRIX world;
    MATRIX view;
    int enabled_lights;
    int frame;  // driver `frames` at the time of the draw
};

class RecordingDriver : public GfxDriver {
public:
    // Sets the render area size and the initial state of a freshly initialised
    // driver (lighting on, blending off, depth mode 0, wrap on, CULL_CCW,
    // alpha test off, solid, fog off).
    explicit RecordingDriver(int w = 1024, int h = 768);
    ~RecordingDriver() override;

    void Paint() override;
    void Move(int16_t x, int16_t y) override;
    bool RestoreSurfaces() override;
    void ToggleFullscreen() override;
    void Shutdown() override;
    void ChangeEnvironment() override;
    void Pause(bool pause) override;
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

    // Forget the recorded calls and draws (state is kept).
    void ResetLog();
    // Number of recorded calls that start with prefix (e.g. "DrawStrip(TLVERTEX").
    int CountCalls(const std::string& prefix) const;
    // Index of the first call at or after `from` that equals text exactly, -1 if none.
    int FindCall(const std::string& text, int from = 0) const;
    // Draws of one format.
    std::vector<const DrawRecord*> DrawsOf(VertexFormat format) const;

    // Recorded calls and draws.
    std::vector<std::string> calls;
    std::vector<DrawRecord> draws;
    int device_changes = 0;

    // Textures: names generated (with their alpha names), and names whose
    // generation should fail. GenerateTexture succeeds for any other name.
    std::vector<std::pair<std::string, std::string>> generated;  // name, alpha ("" for none)
    std::set<std::string> failing_textures;
    std::set<std::string> binary_alpha_textures;  // TextureHasBinaryAlpha answers true
    std::string texture;                          // bound texture, "" when off

    // Other state.
    bool init_result = true;
    int pause_count = 0;
    int shown_frames = 0;
    PackedColor clear_color = 0;
    uint8_t blend_mode = BLEND_ALPHA;
    uint8_t texture_filter = FILTER_LINEAR;
    uint8_t cull_mode = CULL_CCW;
    uint8_t alpha_test_mode = ALPHATEST_OFF;
    uint8_t render_mode = RENDER_SOLID;
    bool texture_factor_alpha = false;
    PackedColor texture_factor = 0;
    float ambient[3] = {0, 0, 0};
    std::vector<RecordedLight> lights;
    MaterialColors material = {};
    bool material_set = false;
    MATRIX world;
    MATRIX view;
    MATRIX projection;
    float fov = 0, aspect = 0, near_plane = 0, far_plane = 0;
    bool fog = false;
    PackedColor fog_color = 0;
    float fog_begin = 0, fog_end = 1;

private:
    uint8_t last_cull_face_ = CULL_CCW;
    void Call(const std::string& text);
    DrawRecord& NewDraw(VertexFormat format, Primitive primitive, int count);
    int EnabledLights() const;
    template <class V>
    bool Draw(VertexFormat format, Primitive primitive, const char* name, const V* v, int count,
              const uint16_t* indices, int indexCount);
};

// Publishes a driver as g_gfxdriver for the lifetime of the object and puts
// the previous pointer back afterwards.
class ScopedDriver {
public:
    explicit ScopedDriver(GfxDriver* driver) : previous_(g_gfxdriver) { g_gfxdriver = driver; }
    ~ScopedDriver() { g_gfxdriver = previous_; }
    ScopedDriver(const ScopedDriver&) = delete;
    ScopedDriver& operator=(const ScopedDriver&) = delete;

private:
    GfxDriver* previous_;
};

#endif  // ZENDAR_TESTS_COMMON_RECORDING_DRIVER_H
