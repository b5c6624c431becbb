#include "common/recording_driver.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

void Identity(MATRIX* m) {
    for (int i = 0; i < 16; ++i) m->m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

std::string Str(const char* s) { return s ? std::string(s) : std::string("null"); }

std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return buffer;
}

const char* FormatName(VertexFormat f) {
    switch (f) {
    case VertexFormat::kVertex: return "VERTEX";
    case VertexFormat::kLVertex: return "LVERTEX";
    default: return "TLVERTEX";
    }
}

void Store(DrawRecord& d, const VERTEX* v, int n) { d.vertex.assign(v, v + n); }
void Store(DrawRecord& d, const LVERTEX* v, int n) { d.lvertex.assign(v, v + n); }
void Store(DrawRecord& d, const TLVERTEX* v, int n) { d.tlvertex.assign(v, v + n); }

}  // namespace

RecordingDriver::RecordingDriver(int w, int h) {
    width = w;
    height = h;
    lighting = 1;
    alphaBlending = 0;
    zbufferMode = ZBUFFER_ON;
    wrapU = 1;
    wrapV = 1;
    Identity(&world);
    Identity(&view);
    std::memset(projection.m, 0, sizeof(projection.m));
}

RecordingDriver::~RecordingDriver() {}

void RecordingDriver::Call(const std::string& text) { calls.push_back(text); }

void RecordingDriver::ResetLog() {
    calls.clear();
    draws.clear();
    device_changes = 0;
}

int RecordingDriver::CountCalls(const std::string& prefix) const {
    int n = 0;
    for (const std::string& c : calls)
        if (c.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

int RecordingDriver::FindCall(const std::string& text, int from) const {
    for (int i = from < 0 ? 0 : from; i < static_cast<int>(calls.size()); ++i)
        if (calls[i] == text) return i;
    return -1;
}

std::vector<const DrawRecord*> RecordingDriver::DrawsOf(VertexFormat format) const {
    std::vector<const DrawRecord*> out;
    for (const DrawRecord& d : draws)
        if (d.format == format) out.push_back(&d);
    return out;
}

int RecordingDriver::EnabledLights() const {
    int n = 0;
    for (const RecordedLight& l : lights)
        if (l.enabled) ++n;
    return n;
}

// ---------------------------------------------------------------------------

void RecordingDriver::Paint() { Call("Paint()"); }
void RecordingDriver::Move(int16_t x, int16_t y) { Call(Fmt("Move(%d,%d)", x, y)); }
bool RecordingDriver::RestoreSurfaces() {
    Call("RestoreSurfaces()");
    return true;
}
void RecordingDriver::ToggleFullscreen() { Call("ToggleFullscreen()"); }
void RecordingDriver::Shutdown() { Call("Shutdown()"); }
void RecordingDriver::ChangeEnvironment() { Call("ChangeEnvironment()"); }
void RecordingDriver::Pause(bool pause) {
    Call(Fmt("Pause(%d)", pause ? 1 : 0));
    pause_count += pause ? 1 : -1;
}
bool RecordingDriver::Init(void*, void*) {
    Call("Init()");
    return init_result;
}
bool RecordingDriver::BeginScene() {
    Call("BeginScene()");
    ++frames;
    faces = 0;
    vertices = 0;
    return true;
}
void RecordingDriver::Clear(PackedColor color) {
    Call(Fmt("Clear(%08X)", color));
    clear_color = color;
}
bool RecordingDriver::EndScene() {
    Call("EndScene()");
    return true;
}
bool RecordingDriver::ShowFrame() {
    Call("ShowFrame()");
    ++shown_frames;
    return true;
}

// ---------------------------------------------------------------------------

template <class V>
bool RecordingDriver::Draw(VertexFormat format, Primitive primitive, const char* name, const V* v, int count,
                           const uint16_t* indices, int indexCount) {
    if (primitive == Primitive::kIndexedList)
        Call(Fmt("%s(%s,%d,%d)", name, FormatName(format), count, indexCount));
    else
        Call(Fmt("%s(%s,%d)", name, FormatName(format), count));
    if (!v || count <= 0) return true;
    if (primitive == Primitive::kIndexedList && (!indices || indexCount <= 0)) return true;

    bool previousLighting = lighting != 0;
    uint8_t previousCull = cull_mode;
    if (format != VertexFormat::kVertex) lighting = 0;
    if (format == VertexFormat::kTLVertex) cull_mode = CULL_NONE;

    DrawRecord d;
    d.format = format;
    d.primitive = primitive;
    d.vertexCount = count;
    Store(d, v, count);
    if (primitive == Primitive::kIndexedList) d.indices.assign(indices, indices + indexCount);
    d.texture = texture;
    d.lighting = lighting != 0;
    d.alphaBlending = alphaBlending != 0;
    d.zbufferMode = zbufferMode;
    d.blend_mode = blend_mode;
    d.cull_mode = cull_mode;
    d.alpha_test_mode = alpha_test_mode;
    d.render_mode = render_mode;
    d.fog = fog;
    d.texture_factor_alpha = texture_factor_alpha;
    d.texture_factor = texture_factor;
    d.world = world;
    d.view = view;
    d.enabled_lights = EnabledLights();
    d.frame = frames;
    draws.push_back(d);

    lighting = previousLighting ? 1 : 0;
    if (format == VertexFormat::kTLVertex)
        cull_mode = previousCull == CULL_NONE ? last_cull_face_ : previousCull;

    if (primitive == Primitive::kIndexedList) {
        vertices += count;
        faces += indexCount / 3;
    } else {
        vertices += count;
        if (primitive != Primitive::kLines) faces += count / 3;
    }
    return true;
}

bool RecordingDriver::DrawStrip(const VERTEX* v, int count) {
    return Draw(VertexFormat::kVertex, Primitive::kStrip, "DrawStrip", v, count, nullptr, 0);
}
bool RecordingDriver::DrawList(const VERTEX* v, int count) {
    return Draw(VertexFormat::kVertex, Primitive::kList, "DrawList", v, count, nullptr, 0);
}
bool RecordingDriver::DrawLines(const VERTEX* v, int count) {
    return Draw(VertexFormat::kVertex, Primitive::kLines, "DrawLines", v, count, nullptr, 0);
}
bool RecordingDriver::DrawIndexedList(const VERTEX* v, int vertexCount, const uint16_t* indices,
                                      int indexCount) {
    return Draw(VertexFormat::kVertex, Primitive::kIndexedList, "DrawIndexedList", v, vertexCount, indices,
                indexCount);
}
bool RecordingDriver::DrawStrip(const LVERTEX* v, int count) {
    return Draw(VertexFormat::kLVertex, Primitive::kStrip, "DrawStrip", v, count, nullptr, 0);
}
bool RecordingDriver::DrawList(const LVERTEX* v, int count) {
    return Draw(VertexFormat::kLVertex, Primitive::kList, "DrawList", v, count, nullptr, 0);
}
bool RecordingDriver::DrawLines(const LVERTEX* v, int count) {
    return Draw(VertexFormat::kLVertex, Primitive::kLines, "DrawLines", v, count, nullptr, 0);
}
bool RecordingDriver::DrawIndexedList(const LVERTEX* v, int vertexCount, const uint16_t* indices,
                                      int indexCount) {
    return Draw(VertexFormat::kLVertex, Primitive::kIndexedList, "DrawIndexedList", v, vertexCount, indices,
                indexCount);
}
bool RecordingDriver::DrawStrip(const TLVERTEX* v, int count) {
    return Draw(VertexFormat::kTLVertex, Primitive::kStrip, "DrawStrip", v, count, nullptr, 0);
}
bool RecordingDriver::DrawList(const TLVERTEX* v, int count) {
    return Draw(VertexFormat::kTLVertex, Primitive::kList, "DrawList", v, count, nullptr, 0);
}
bool RecordingDriver::DrawLines(const TLVERTEX* v, int count) {
    return Draw(VertexFormat::kTLVertex, Primitive::kLines, "DrawLines", v, count, nullptr, 0);
}
bool RecordingDriver::DrawIndexedList(const TLVERTEX* v, int vertexCount, const uint16_t* indices,
                                      int indexCount) {
    return Draw(VertexFormat::kTLVertex, Primitive::kIndexedList, "DrawIndexedList", v, vertexCount, indices,
                indexCount);
}

bool RecordingDriver::DrawBox(const float* corners) {
    if (!corners) {
        Call("DrawBox(null)");
        return true;
    }
    Call(Fmt("DrawBox(%g,%g,%g,%g,%g,%g)", corners[0], corners[1], corners[2], corners[3], corners[4],
             corners[5]));
    VERTEX lines[24];
    BoxEdgeLines(corners, lines);
    texture.clear();
    return Draw(VertexFormat::kVertex, Primitive::kLines, "DrawLines", lines, 24, nullptr, 0);
}

// ---------------------------------------------------------------------------

bool RecordingDriver::SetAlphaBlending(bool on) {
    Call(Fmt("SetAlphaBlending(%d)", on ? 1 : 0));
    bool previous = alphaBlending != 0;
    if (previous == on) return previous;
    alphaBlending = on ? 1 : 0;
    if (on) blend_mode = BLEND_ALPHA;
    ++device_changes;
    return previous;
}

bool RecordingDriver::SetLighting(bool on) {
    Call(Fmt("SetLighting(%d)", on ? 1 : 0));
    bool previous = lighting != 0;
    if (previous == on) return previous;
    lighting = on ? 1 : 0;
    ++device_changes;
    return previous;
}

uint8_t RecordingDriver::SetZBufferMode(uint8_t mode) {
    Call(Fmt("SetZBufferMode(%d)", mode));
    uint8_t previous = zbufferMode;
    if (mode > ZBUFFER_NOWRITE || mode == previous) return previous;
    zbufferMode = mode;
    ++device_changes;
    return previous;
}

bool RecordingDriver::SetTextureWrapU(bool wrap) {
    Call(Fmt("SetTextureWrapU(%d)", wrap ? 1 : 0));
    bool previous = wrapU != 0;
    if (previous == wrap) return previous;
    wrapU = wrap ? 1 : 0;
    ++device_changes;
    return previous;
}

bool RecordingDriver::SetTextureWrapV(bool wrap) {
    Call(Fmt("SetTextureWrapV(%d)", wrap ? 1 : 0));
    bool previous = wrapV != 0;
    if (previous == wrap) return previous;
    wrapV = wrap ? 1 : 0;
    ++device_changes;
    return previous;
}

void RecordingDriver::SetBlendMode(uint8_t mode) {
    Call(Fmt("SetBlendMode(%d)", mode));
    if (mode <= BLEND_ADDITIVE) blend_mode = mode;
}

void RecordingDriver::SetTextureFilter(uint8_t mode) {
    Call(Fmt("SetTextureFilter(%d)", mode));
    if (mode <= FILTER_LINEAR) texture_filter = mode;
}

void RecordingDriver::SetCullMode(uint8_t mode) {
    Call(Fmt("SetCullMode(%d)", mode));
    if (mode > CULL_CCW) return;
    cull_mode = mode;
    if (mode != CULL_NONE) last_cull_face_ = mode;
}

void RecordingDriver::SetAlphaTestMode(uint8_t mode) {
    Call(Fmt("SetAlphaTestMode(%d)", mode));
    if (mode <= ALPHATEST_OFF) alpha_test_mode = mode;
}

void RecordingDriver::SetRenderMode(uint8_t mode) {
    Call(Fmt("SetRenderMode(%d)", mode));
    if (mode <= RENDER_SOLID) render_mode = mode;
}

void RecordingDriver::UseTextureFactorAlpha() {
    Call("UseTextureFactorAlpha()");
    texture_factor_alpha = true;
}

void RecordingDriver::UseVertexAlpha() {
    Call("UseVertexAlpha()");
    texture_factor_alpha = false;
}

void RecordingDriver::SetTextureFactor(PackedColor color) {
    Call(Fmt("SetTextureFactor(%08X)", color));
    texture_factor = color;
}

// ---------------------------------------------------------------------------

bool RecordingDriver::GenerateTexture(const char* name, const char* alphaName) {
    Call("GenerateTexture(" + Str(name) + "," + Str(alphaName) + ")");
    if (!name || failing_textures.count(name)) return false;
    generated.emplace_back(name, alphaName ? alphaName : "");
    return true;
}

bool RecordingDriver::SetTexture(const char* name) {
    Call("SetTexture(" + Str(name) + ")");
    texture = name ? name : "";
    return true;
}

bool RecordingDriver::SetTextureFrame(const char* name, int frame) {
    Call(Fmt("SetTextureFrame(%s,%d)", Str(name).c_str(), frame));
    texture = name ? name : "";
    return true;
}

bool RecordingDriver::TextureHasBinaryAlpha(const char* name) {
    Call("TextureHasBinaryAlpha(" + Str(name) + ")");
    return name && binary_alpha_textures.count(name) != 0;
}

// ---------------------------------------------------------------------------

void RecordingDriver::SetAmbientLight(float r, float g, float b) {
    Call(Fmt("SetAmbientLight(%g,%g,%g)", r, g, b));
    ambient[0] = r;
    ambient[1] = g;
    ambient[2] = b;
}

void RecordingDriver::SetAmbientColor(PackedColor color) {
    Call(Fmt("SetAmbientColor(%08X)", color));
    ambient[0] = ColorRed(color) / 255.0f;
    ambient[1] = ColorGreen(color) / 255.0f;
    ambient[2] = ColorBlue(color) / 255.0f;
}

int RecordingDriver::CreateLight(LightDesc desc) {
    Call(Fmt("CreateLight(%d)", desc.type));
    lights.push_back(RecordedLight{desc, true});
    return static_cast<int>(lights.size()) - 1;
}

bool RecordingDriver::SetLight(int index, LightDesc desc) {
    Call(Fmt("SetLight(%d)", index));
    if (index < 0 || index >= static_cast<int>(lights.size())) return false;
    lights[index].desc = desc;
    lights[index].enabled = true;
    return true;
}

void RecordingDriver::EnableLight(int index, bool on) {
    Call(Fmt("EnableLight(%d,%d)", index, on ? 1 : 0));
    if (index >= 0 && index < static_cast<int>(lights.size())) lights[index].enabled = on;
}

bool RecordingDriver::SetMaterial(const MaterialColors* m) {
    Call("SetMaterial()");
    if (m) {
        material = *m;
        material_set = true;
    }
    return true;
}

// ---------------------------------------------------------------------------

void RecordingDriver::SetWorldMatrix(const MATRIX* m) {
    Call("SetWorldMatrix()");
    if (m) world = *m;
}

void RecordingDriver::SetViewMatrix(const MATRIX* m) {
    Call("SetViewMatrix()");
    if (m) view = *m;
}

void RecordingDriver::SetProjection(float f, float a, float n, float fr) {
    Call(Fmt("SetProjection(%g,%g,%g,%g)", f, a, n, fr));
    fov = f;
    aspect = a;
    near_plane = n;
    far_plane = fr;
    const float k = std::cos(f / 2) / std::sin(f / 2);
    const float q = fr / (fr - n);
    std::memset(projection.m, 0, sizeof(projection.m));
    projection.m[0] = a * k;
    projection.m[5] = k;
    projection.m[10] = q;
    projection.m[11] = 1.0f;
    projection.m[14] = -q * n;
}

void RecordingDriver::GetWorldMatrix(MATRIX* out) {
    Call("GetWorldMatrix()");
    if (out) *out = world;
}

void RecordingDriver::GetViewMatrix(MATRIX* out) {
    Call("GetViewMatrix()");
    if (out) *out = view;
}

void RecordingDriver::GetProjectionMatrix(MATRIX* out) {
    Call("GetProjectionMatrix()");
    if (out) *out = projection;
}

void RecordingDriver::SetFogging(bool on) {
    Call(Fmt("SetFogging(%d)", on ? 1 : 0));
    fog = on;
}

void RecordingDriver::SetFogColor(PackedColor color) {
    Call(Fmt("SetFogColor(%08X)", color));
    fog_color = color;
}

void RecordingDriver::SetFogBegin(float distance) {
    Call(Fmt("SetFogBegin(%g)", distance));
    fog_begin = distance;
}

void RecordingDriver::SetFogEnd(float distance) {
    Call(Fmt("SetFogEnd(%g)", distance));
    fog_end = distance;
}
