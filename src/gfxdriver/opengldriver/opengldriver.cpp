// Index of this file:
// [SECTION] Window-system operations that mean nothing to OpenGL
// [SECTION] Frame
// [SECTION] VERTEX
// [SECTION] LVERTEX
// [SECTION] TLVERTEX
// [SECTION] Two layers in one pass
// [SECTION] Cached render state
// [SECTION] Textures
// [SECTION] Lights and material
// [SECTION] Matrices
// [SECTION] Fog
#include "gfxdriver/opengldriver/opengldriver.h"

#ifdef _WIN32
#include <windows.h>  // OpenGL's headers need it there
#endif
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "gfxdriver/texturelist.h"
#include "utility/clock.h"
#include "utility/log.h"

namespace {

const int kMaxGLLights = 8;

void Identity(MATRIX* m) {
    for (int i = 0; i < 16; ++i) m->m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

inline void Color(PackedColor c) {
    glColor4f(ColorRed(c) / 255.0f, ColorGreen(c) / 255.0f, ColorBlue(c) / 255.0f, ColorAlpha(c) / 255.0f);
}

inline bool Empty(const void* v, int count) { return v == nullptr || count <= 0; }

}  // namespace

OpenGLDriver::OpenGLDriver() {
    std::memset(projection.m, 0, sizeof(projection.m));
    Identity(&world);
    Identity(&view);
}

OpenGLDriver::~OpenGLDriver() {}

void OpenGLDriver::CheckError(const char* where) {
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        const GLubyte* text = gluErrorString(error);
        LogLine("OpenGL Error in %s: %s", where,
                text ? reinterpret_cast<const char*>(text) : "unknown error");
    }
}

void OpenGLDriver::InitState(int w, int h) {
    if (h == 0) h = 1;
    width = w;
    height = h;
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLubyte* version = glGetString(GL_VERSION);
    LogLine("OpenGL version %s", version ? reinterpret_cast<const char*>(version) : "");
    CheckError("resize()");

    glFogi(GL_FOG_MODE, GL_LINEAR);
    // The engine's front faces are clockwise, as in Direct3D.
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_FOG_HINT, GL_NICEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    GLint maxLights = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
    LogLine("Lights supported: %i", static_cast<int>(maxLights));
    glEnable(GL_NORMALIZE);

    // Preset the cache to the opposite values so that every setter reaches OpenGL.
    lighting = 0;
    alphaBlending = 1;
    zbufferMode = 1;
    wrapU = 0;
    wrapV = 0;
    SetLighting(true);
    SetAlphaBlending(false);
    SetZBufferMode(ZBUFFER_ON);
    SetTextureWrapU(true);
    SetTextureWrapV(true);
}

// ---------------------------------------------------------------------------
// [SECTION] Window-system operations that mean nothing to OpenGL

void OpenGLDriver::Paint() {}
void OpenGLDriver::Move(int16_t, int16_t) {}
bool OpenGLDriver::RestoreSurfaces() { return true; }
void OpenGLDriver::ToggleFullscreen() {}
void OpenGLDriver::Shutdown() {}
void OpenGLDriver::ChangeEnvironment() {}
void OpenGLDriver::Pause(bool) {}

// ---------------------------------------------------------------------------
// [SECTION] Frame

bool OpenGLDriver::BeginScene() {
    ++frames;
    faces = 0;
    vertices = 0;
    return true;
}

void OpenGLDriver::Clear(PackedColor color) {
    // Errors left by the last operation of the previous frame show up here.
    CheckError("first in Clear");
    glClearColor(ColorRed(color) / 255.0f, ColorGreen(color) / 255.0f, ColorBlue(color) / 255.0f,
                 ColorAlpha(color) / 255.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    CheckError("Clear");
}

bool OpenGLDriver::EndScene() {
    CheckError("EndScene");
    return true;
}

void OpenGLDriver::Count(int vertexCount, int faceCount) {
    vertices += vertexCount;
    faces += faceCount;
}

// ---------------------------------------------------------------------------
// [SECTION] VERTEX
// Lit by the driver's lights.

namespace {

void EmitVertices(GLenum mode, const VERTEX* v, int count) {
    glBegin(mode);
    for (int i = 0; i < count; ++i) {
        glTexCoord2f(v[i].tu, v[i].tv);
        glNormal3f(v[i].nx, v[i].ny, v[i].nz);
        glVertex3f(v[i].x, v[i].y, v[i].z);
    }
    glEnd();
}

void EmitVertices(GLenum mode, const LVERTEX* v, int count) {
    glBegin(mode);
    for (int i = 0; i < count; ++i) {
        glTexCoord2f(v[i].tu, v[i].tv);
        Color(v[i].color);
        glVertex3f(v[i].x, v[i].y, v[i].z);
    }
    glEnd();
}

void EmitVertices(GLenum mode, const TLVERTEX* v, int count, float top) {
    glBegin(mode);
    for (int i = 0; i < count; ++i) {
        glTexCoord2f(v[i].tu, v[i].tv);
        Color(v[i].color);
        glVertex2f(v[i].sx, top - v[i].sy);
    }
    glEnd();
}

// Indices that point past the vertex array are skipped together with the
// rest of their triangle, so a damaged mesh cannot read outside the array.
template <class V, class Emit>
void EmitIndexed(const V* v, int vertexCount, const uint16_t* indices, int indexCount, Emit emit) {
    glBegin(GL_TRIANGLES);
    for (int i = 0; i + 2 < indexCount; i += 3) {
        if (indices[i] >= vertexCount || indices[i + 1] >= vertexCount || indices[i + 2] >= vertexCount)
            continue;
        emit(v[indices[i]]);
        emit(v[indices[i + 1]]);
        emit(v[indices[i + 2]]);
    }
    glEnd();
}

// True when every index of the complete triangles names a vertex of the array.
bool IndicesInRange(const uint16_t* indices, int indexCount, int vertexCount) {
    const int n = indexCount - indexCount % 3;
    // A running maximum without early exit: the compiler vectorises it.
    uint16_t highest = 0;
    for (int i = 0; i < n; ++i) highest = indices[i] > highest ? indices[i] : highest;
    return highest < vertexCount;
}

}  // namespace

void OpenGLDriver::DrawArrays(unsigned int mode, const VERTEX* v, int count, const uint16_t* indices,
                              int indexCount) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(VERTEX), &v->x);
    glNormalPointer(GL_FLOAT, sizeof(VERTEX), &v->nx);
    glTexCoordPointer(2, GL_FLOAT, sizeof(VERTEX), &v->tu);
    if (indices)
        glDrawElements(GL_TRIANGLES, indexCount - indexCount % 3, GL_UNSIGNED_SHORT, indices);
    else
        glDrawArrays(mode, 0, count);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void OpenGLDriver::DrawArrays(unsigned int mode, const LVERTEX* v, int count, const uint16_t* indices,
                              int indexCount) {
    // Packed ARGB is blue, green, red, alpha in memory; OpenGL 1.1 wants red first.
    if (colors.array_size < count) colors.Reserve(count);
    colors.size = count;
    uint8_t* rgba = reinterpret_cast<uint8_t*>(colors.element);
    for (int i = 0; i < count; ++i) {
        const PackedColor c = v[i].color;
        rgba[i * 4 + 0] = static_cast<uint8_t>(ColorRed(c));
        rgba[i * 4 + 1] = static_cast<uint8_t>(ColorGreen(c));
        rgba[i * 4 + 2] = static_cast<uint8_t>(ColorBlue(c));
        rgba[i * 4 + 3] = static_cast<uint8_t>(ColorAlpha(c));
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(LVERTEX), &v->x);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, rgba);
    glTexCoordPointer(2, GL_FLOAT, sizeof(LVERTEX), &v->tu);
    if (indices)
        glDrawElements(GL_TRIANGLES, indexCount - indexCount % 3, GL_UNSIGNED_SHORT, indices);
    else
        glDrawArrays(mode, 0, count);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    // Immediate mode leaves the last vertex's colour current; keep it so.
    Color(v[indices ? indices[indexCount - indexCount % 3 - 1] : count - 1].color);
}

bool OpenGLDriver::DrawStrip(const VERTEX* v, int count) {
    if (Empty(v, count)) return true;
    if (use_vertex_arrays)
        DrawArrays(GL_TRIANGLE_STRIP, v, count, nullptr, 0);
    else
        EmitVertices(GL_TRIANGLE_STRIP, v, count);
    Count(count, count / 3);
    CheckError("drawVERTICES");
    return true;
}

bool OpenGLDriver::DrawList(const VERTEX* v, int count) {
    if (Empty(v, count)) return true;
    if (use_vertex_arrays)
        DrawArrays(GL_TRIANGLES, v, count, nullptr, 0);
    else
        EmitVertices(GL_TRIANGLES, v, count);
    Count(count, count / 3);
    CheckError("drawVERTICES");
    return true;
}

bool OpenGLDriver::DrawLines(const VERTEX* v, int count) {
    if (Empty(v, count)) return true;
    if (use_vertex_arrays)
        DrawArrays(GL_LINES, v, count, nullptr, 0);
    else
        EmitVertices(GL_LINES, v, count);
    Count(count, 0);
    CheckError("drawVERTICES");
    return true;
}

bool OpenGLDriver::DrawIndexedList(const VERTEX* v, int vertexCount, const uint16_t* indices,
                                   int indexCount) {
    if (Empty(v, vertexCount) || Empty(indices, indexCount)) return true;
    if (use_vertex_arrays && indexCount >= 3 && IndicesInRange(indices, indexCount, vertexCount)) {
        DrawArrays(GL_TRIANGLES, v, vertexCount, indices, indexCount);
    } else {
        EmitIndexed(v, vertexCount, indices, indexCount, [](const VERTEX& p) {
            glTexCoord2f(p.tu, p.tv);
            glNormal3f(p.nx, p.ny, p.nz);
            glVertex3f(p.x, p.y, p.z);
        });
    }
    Count(vertexCount, indexCount / 3);
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] LVERTEX
// Own colour, lighting off for the call.

bool OpenGLDriver::DrawStrip(const LVERTEX* v, int count) {
    if (Empty(v, count)) return true;
    bool previous = SetLighting(false);
    if (use_vertex_arrays)
        DrawArrays(GL_TRIANGLE_STRIP, v, count, nullptr, 0);
    else
        EmitVertices(GL_TRIANGLE_STRIP, v, count);
    SetLighting(previous);
    Count(count, count / 3);
    CheckError("drawLVERTICES");
    return true;
}

bool OpenGLDriver::DrawList(const LVERTEX* v, int count) {
    if (Empty(v, count)) return true;
    bool previous = SetLighting(false);
    if (use_vertex_arrays)
        DrawArrays(GL_TRIANGLES, v, count, nullptr, 0);
    else
        EmitVertices(GL_TRIANGLES, v, count);
    SetLighting(previous);
    Count(count, count / 3);
    CheckError("drawLVERTICES");
    return true;
}

bool OpenGLDriver::DrawLines(const LVERTEX* v, int count) {
    if (Empty(v, count)) return true;
    bool previous = SetLighting(false);
    if (use_vertex_arrays)
        DrawArrays(GL_LINES, v, count, nullptr, 0);
    else
        EmitVertices(GL_LINES, v, count);
    SetLighting(previous);
    Count(count, 0);
    CheckError("drawLVERTICES");
    return true;
}

bool OpenGLDriver::DrawIndexedList(const LVERTEX* v, int vertexCount, const uint16_t* indices,
                                   int indexCount) {
    if (Empty(v, vertexCount) || Empty(indices, indexCount)) return true;
    bool previous = SetLighting(false);
    if (use_vertex_arrays && indexCount >= 3 && IndicesInRange(indices, indexCount, vertexCount)) {
        DrawArrays(GL_TRIANGLES, v, vertexCount, indices, indexCount);
    } else {
        EmitIndexed(v, vertexCount, indices, indexCount, [](const LVERTEX& p) {
            glTexCoord2f(p.tu, p.tv);
            Color(p.color);
            glVertex3f(p.x, p.y, p.z);
        });
    }
    SetLighting(previous);
    Count(vertexCount, indexCount / 3);
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] TLVERTEX
// Screen space, y down from the top; the 2D layer sits 20 pixels
// lower than a plain flip would put it.

void OpenGLDriver::BeginScreenSpace(bool* previousLighting) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glDisable(GL_CULL_FACE);
    *previousLighting = SetLighting(false);
}

void OpenGLDriver::EndScreenSpace(bool previousLighting) {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_CULL_FACE);
    SetLighting(previousLighting);
}

bool OpenGLDriver::DrawStrip(const TLVERTEX* v, int count) {
    if (Empty(v, count)) return true;
    bool previous;
    BeginScreenSpace(&previous);
    EmitVertices(GL_TRIANGLE_STRIP, v, count, static_cast<float>(height - 20));
    EndScreenSpace(previous);
    Count(count, count / 3);
    CheckError("drawTLVERTICES");
    return true;
}

bool OpenGLDriver::DrawList(const TLVERTEX* v, int count) {
    if (Empty(v, count)) return true;
    bool previous;
    BeginScreenSpace(&previous);
    EmitVertices(GL_TRIANGLES, v, count, static_cast<float>(height - 20));
    EndScreenSpace(previous);
    Count(count, count / 3);
    CheckError("drawTLVERTICES");
    return true;
}

bool OpenGLDriver::DrawLines(const TLVERTEX* v, int count) {
    if (Empty(v, count)) return true;
    bool previous;
    BeginScreenSpace(&previous);
    EmitVertices(GL_LINES, v, count, static_cast<float>(height - 20));
    EndScreenSpace(previous);
    Count(count, 0);
    CheckError("drawTLVERTICES");
    return true;
}

bool OpenGLDriver::DrawIndexedList(const TLVERTEX* v, int vertexCount, const uint16_t* indices,
                                   int indexCount) {
    if (Empty(v, vertexCount) || Empty(indices, indexCount)) return true;
    bool previous;
    BeginScreenSpace(&previous);
    const float top = static_cast<float>(height - 20);
    EmitIndexed(v, vertexCount, indices, indexCount, [top](const TLVERTEX& p) {
        glTexCoord2f(p.tu, p.tv);
        Color(p.color);
        glVertex2f(p.sx, top - p.sy);
    });
    EndScreenSpace(previous);
    Count(vertexCount, indexCount / 3);
    CheckError("DrawIndexedList(TLVERTEX)");
    return true;
}

bool OpenGLDriver::DrawBox(const float* corners) {
    if (!corners) return true;
    VERTEX lines[24];
    BoxEdgeLines(corners, lines);
    SetTexture(nullptr);
    return DrawLines(lines, 24);
}

// ---------------------------------------------------------------------------
// [SECTION] Two layers in one pass
// Past OpenGL 1.1: the entry points come from the window-system binding.

namespace {

typedef char GLcharacter;
const GLenum kFragmentShader = 0x8B30;
const GLenum kVertexShader = 0x8B31;
const GLenum kCompileStatus = 0x8B81;
const GLenum kLinkStatus = 0x8B82;
const GLenum kTexture0 = 0x84C0;

// Attribute locations; 0 is the position (gl_Vertex, so that ftransform
// places the corners exactly where the fixed-function pipeline does).
enum : GLuint {
    kColor1 = 1,
    kColor2,
    kCoord1,
    kCoord2
};

// The colours arrive as the bytes of PackedColor (blue, green, red, alpha).
// Each layer is fogged as the fixed-function pipeline fogs (linear, from the
// interpolated depth). The second layer over the first comes out with its
// colour already multiplied by its alpha, blended as (one, one minus source
// alpha): what the two passes leave, without a division.
const char kDualVertexShader[] =
    "#version 110\n"
    "attribute vec4 color1;\n"
    "attribute vec4 color2;\n"
    "attribute vec3 coord1;\n"
    "attribute vec4 coord2;\n"
    "varying vec4 layerColor1;\n"
    "varying vec4 layerColor2;\n"
    "varying vec3 layerCoord1;\n"
    "varying vec4 layerCoord2;\n"
    "void main() {\n"
    "    gl_Position = ftransform();\n"
    "    layerColor1 = color1.bgra;\n"
    "    layerColor2 = color2.bgra;\n"
    "    layerCoord1 = coord1;\n"
    "    layerCoord2 = coord2;\n"
    "}\n";

const char kDualFragmentShader[] =
    "#version 110\n"
    "uniform sampler2D texture1;\n"
    "uniform sampler2D texture2;\n"
    "uniform bool fog;\n"
    "varying vec4 layerColor1;\n"
    "varying vec4 layerColor2;\n"
    "varying vec3 layerCoord1;\n"
    "varying vec4 layerCoord2;\n"
    "vec4 Fogged(vec4 c, float depth) {\n"
    "    if (!fog) return c;\n"
    "    float f = clamp((gl_Fog.end - depth) * gl_Fog.scale, 0.0, 1.0);\n"
    "    return vec4(mix(gl_Fog.color.rgb, c.rgb, f), c.a);\n"
    "}\n"
    "void main() {\n"
    "    vec4 a = Fogged(texture2D(texture1, layerCoord1.xy) * layerColor1, layerCoord1.z);\n"
    "    vec4 b = Fogged(texture2D(texture2, layerCoord2.xy / layerCoord2.w) * layerColor2,\n"
    "                    layerCoord2.z / layerCoord2.w);\n"
    "    gl_FragColor = vec4(b.rgb * b.a + a.rgb * (a.a * (1.0 - b.a)), a.a + b.a - a.a * b.a);\n"
    "}\n";

}  // namespace

struct OpenGLDriver::DualLayerProgram {
    GLuint(APIENTRY* CreateShader)(GLenum);
    void(APIENTRY* ShaderSource)(GLuint, GLsizei, const GLcharacter* const*, const GLint*);
    void(APIENTRY* CompileShader)(GLuint);
    void(APIENTRY* GetShaderiv)(GLuint, GLenum, GLint*);
    GLuint(APIENTRY* CreateProgram)();
    void(APIENTRY* AttachShader)(GLuint, GLuint);
    void(APIENTRY* BindAttribLocation)(GLuint, GLuint, const GLcharacter*);
    void(APIENTRY* LinkProgram)(GLuint);
    void(APIENTRY* GetProgramiv)(GLuint, GLenum, GLint*);
    void(APIENTRY* UseProgram)(GLuint);
    GLint(APIENTRY* GetUniformLocation)(GLuint, const GLcharacter*);
    void(APIENTRY* Uniform1i)(GLint, GLint);
    void(APIENTRY* VertexAttribPointer)(GLuint, GLint, GLenum, GLboolean, GLsizei, const void*);
    void(APIENTRY* EnableVertexAttribArray)(GLuint);
    void(APIENTRY* DisableVertexAttribArray)(GLuint);
    void(APIENTRY* ActiveTexture)(GLenum);
    GLuint program = 0;
    GLint fog = -1;
};

void* OpenGLDriver::GLFunction(const char*) { return nullptr; }

bool OpenGLDriver::MakeDualLayerProgram() {
    std::unique_ptr<DualLayerProgram> p(new DualLayerProgram());
    bool found = true;
    auto load = [&](auto& entry, const char* name) {
        void* f = GLFunction(name);
        found = found && f != nullptr;
        std::memcpy(&entry, &f, sizeof f);
    };
    load(p->CreateShader, "glCreateShader");
    load(p->ShaderSource, "glShaderSource");
    load(p->CompileShader, "glCompileShader");
    load(p->GetShaderiv, "glGetShaderiv");
    load(p->CreateProgram, "glCreateProgram");
    load(p->AttachShader, "glAttachShader");
    load(p->BindAttribLocation, "glBindAttribLocation");
    load(p->LinkProgram, "glLinkProgram");
    load(p->GetProgramiv, "glGetProgramiv");
    load(p->UseProgram, "glUseProgram");
    load(p->GetUniformLocation, "glGetUniformLocation");
    load(p->Uniform1i, "glUniform1i");
    load(p->VertexAttribPointer, "glVertexAttribPointer");
    load(p->EnableVertexAttribArray, "glEnableVertexAttribArray");
    load(p->DisableVertexAttribArray, "glDisableVertexAttribArray");
    load(p->ActiveTexture, "glActiveTexture");
    const GLubyte* version = glGetString(GL_VERSION);
    // The entry points can be there while the context is older than 2.0.
    if (!found || !version || version[0] < '2' || version[0] > '9') return false;
    auto compile = [&](GLenum kind, const char* source) {
        GLuint shader = p->CreateShader(kind);
        p->ShaderSource(shader, 1, &source, nullptr);
        p->CompileShader(shader);
        GLint ok = 0;
        p->GetShaderiv(shader, kCompileStatus, &ok);
        return ok ? shader : 0u;
    };
    GLuint vs = compile(kVertexShader, kDualVertexShader);
    GLuint fs = compile(kFragmentShader, kDualFragmentShader);
    if (!vs || !fs) {
        LogLine("OpenGL: the two-layer shaders did not compile; layers are drawn one by one");
        return false;
    }
    p->program = p->CreateProgram();
    p->AttachShader(p->program, vs);
    p->AttachShader(p->program, fs);
    p->BindAttribLocation(p->program, kColor1, "color1");
    p->BindAttribLocation(p->program, kColor2, "color2");
    p->BindAttribLocation(p->program, kCoord1, "coord1");
    p->BindAttribLocation(p->program, kCoord2, "coord2");
    p->LinkProgram(p->program);
    GLint linked = 0;
    p->GetProgramiv(p->program, kLinkStatus, &linked);
    if (!linked) {
        LogLine("OpenGL: the two-layer program did not link; layers are drawn one by one");
        return false;
    }
    p->UseProgram(p->program);
    p->Uniform1i(p->GetUniformLocation(p->program, "texture1"), 0);
    p->Uniform1i(p->GetUniformLocation(p->program, "texture2"), 1);
    p->fog = p->GetUniformLocation(p->program, "fog");
    p->UseProgram(0);
    CheckError("MakeDualLayerProgram");
    dualLayer_ = std::move(p);
    return true;
}

bool OpenGLDriver::DrawIndexedDualLayer(const DUALVERTEX* v, int vertexCount, const uint16_t* indices,
                                        int indexCount, const char* texture1, const char* texture2) {
    if (Empty(v, vertexCount) || Empty(indices, indexCount) || indexCount < 3) return false;
    if (!dualLayerTried_) {
        dualLayerTried_ = true;
        MakeDualLayerProgram();
    }
    DualLayerProgram* p = dualLayer_.get();
    if (!p || wireframe_ || !alphaBlending || blendMode_ != BLEND_ALPHA || glIsEnabled(GL_ALPHA_TEST))
        return false;
    if (!IndicesInRange(indices, indexCount, vertexCount)) return false;
    const unsigned int objects[2] = {texture1 ? BoundObject(texture1) : 0u,
                                     texture2 ? BoundObject(texture2) : 0u};
    // Without an image the fixed-function pass is untextured, which the
    // program does not copy.
    if (!objects[0] || !objects[1]) return false;

    p->UseProgram(p->program);
    p->Uniform1i(p->fog, glIsEnabled(GL_FOG) ? 1 : 0);
    for (int unit = 1; unit >= 0; --unit) {
        p->ActiveTexture(kTexture0 + unit);
        glBindTexture(GL_TEXTURE_2D, objects[unit]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapU ? GL_REPEAT : GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapV ? GL_REPEAT : GL_CLAMP);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(DUALVERTEX), &v->x);
    const GLsizei stride = sizeof(DUALVERTEX);
    p->VertexAttribPointer(kColor1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, &v->color1);
    p->VertexAttribPointer(kColor2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, &v->color2);
    p->VertexAttribPointer(kCoord1, 3, GL_FLOAT, GL_FALSE, stride, &v->tu1);
    p->VertexAttribPointer(kCoord2, 4, GL_FLOAT, GL_FALSE, stride, &v->tu2);
    for (GLuint a : {kColor1, kColor2, kCoord1, kCoord2}) p->EnableVertexAttribArray(a);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDrawElements(GL_TRIANGLES, indexCount - indexCount % 3, GL_UNSIGNED_SHORT, indices);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (GLuint a : {kColor1, kColor2, kCoord1, kCoord2}) p->DisableVertexAttribArray(a);
    glDisableClientState(GL_VERTEX_ARRAY);
    p->UseProgram(0);
    // Texturing is left as the second pass's SetTexture leaves it.
    p->ActiveTexture(kTexture0 + 1);
    glBindTexture(GL_TEXTURE_2D, 0);
    p->ActiveTexture(kTexture0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, objects[1]);
    Color(v[indices[indexCount - indexCount % 3 - 1]].color2);
    CheckError("DrawIndexedDualLayer");
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Cached render state

bool OpenGLDriver::SetAlphaBlending(bool on) {
    bool previous = alphaBlending != 0;
    if (previous == on) return previous;
    alphaBlending = on ? 1 : 0;
    if (on) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        blendMode_ = BLEND_ALPHA;
    } else {
        glDisable(GL_BLEND);
    }
    return previous;
}

bool OpenGLDriver::SetLighting(bool on) {
    bool previous = lighting != 0;
    if (previous == on) return previous;
    lighting = on ? 1 : 0;
    if (on)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
    return previous;
}

uint8_t OpenGLDriver::SetZBufferMode(uint8_t mode) {
    uint8_t previous = zbufferMode;
    if (mode > ZBUFFER_NOWRITE || mode == previous) return previous;
    zbufferMode = mode;
    // The depth test stays on in every mode; only writes change.
    glDepthMask(mode == ZBUFFER_ON ? GL_TRUE : GL_FALSE);
    return previous;
}

bool OpenGLDriver::SetTextureWrapU(bool wrap) {
    bool previous = wrapU != 0;
    if (previous == wrap) return previous;
    wrapU = wrap ? 1 : 0;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap ? GL_REPEAT : GL_CLAMP);
    return previous;
}

bool OpenGLDriver::SetTextureWrapV(bool wrap) {
    bool previous = wrapV != 0;
    if (previous == wrap) return previous;
    wrapV = wrap ? 1 : 0;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap ? GL_REPEAT : GL_CLAMP);
    return previous;
}

bool OpenGLDriver::SetBackgroundDepth(bool on) {
    // Every fragment gets the cleared depth, so the test passes exactly where
    // nothing nearer has been drawn.
    if (on) {
        glDepthRange(1.0, 1.0);
        glDepthFunc(GL_LEQUAL);
    } else {
        glDepthRange(0.0, 1.0);
        glDepthFunc(GL_LESS);
    }
    CheckError("SetBackgroundDepth");
    return true;
}

void OpenGLDriver::SetBlendMode(uint8_t mode) {
    if (mode == BLEND_ALPHA)
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    else if (mode == BLEND_ADDITIVE)
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    else
        return;
    blendMode_ = mode;
}

void OpenGLDriver::SetTextureFilter(uint8_t) {}

void OpenGLDriver::SetCullMode(uint8_t mode) {
    switch (mode) {
    case CULL_NONE: glDisable(GL_CULL_FACE); break;
    case CULL_CW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        break;
    case CULL_CCW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        break;
    default: return;
    }
    CheckError("SetCullMode");
}

void OpenGLDriver::SetAlphaTestMode(uint8_t mode) {
    switch (mode) {
    case ALPHATEST_OPAQUE:
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_EQUAL, 1.0f);
        break;
    case ALPHATEST_NONZERO:
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.0f);
        break;
    case ALPHATEST_OFF: glDisable(GL_ALPHA_TEST); break;
    default: return;
    }
    CheckError("SetAlphaTestMode");
}

void OpenGLDriver::SetRenderMode(uint8_t mode) {
    if (mode == RENDER_WIREFRAME)
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    else if (mode == RENDER_SOLID)
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    else
        return;
    wireframe_ = mode == RENDER_WIREFRAME;
    CheckError("SetRenderMode");
}

void OpenGLDriver::UseTextureFactorAlpha() {}
void OpenGLDriver::UseVertexAlpha() {}
void OpenGLDriver::SetTextureFactor(PackedColor) {}

// ---------------------------------------------------------------------------
// [SECTION] Textures

unsigned int OpenGLDriver::UploadTexture(const char* name, const uint8_t* bgra, int w, int h, bool hasAlpha) {
    if (!name || !bgra || w <= 0 || h <= 0) return 0;
    glEnable(GL_TEXTURE_2D);
    GLuint id = 0;
    glGenTextures(1, &id);
    ++liveTextures_;
    glBindTexture(GL_TEXTURE_2D, id);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gluBuild2DMipmaps(GL_TEXTURE_2D, hasAlpha ? GL_RGBA : GL_RGB, w, h, GL_BGRA_EXT, GL_UNSIGNED_BYTE, bgra);
    textures.Insert(name, reinterpret_cast<void*>(static_cast<uintptr_t>(id)));
    LogLine("Generated texture: %s with ID: %i", name, static_cast<int>(id));
    return id;
}

unsigned int OpenGLDriver::TextureObject(const char* name) const {
    if (!name) return 0;
    return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(textures.Find(name)));
}

unsigned int OpenGLDriver::BoundObject(const char* name) {
    unsigned int object = TextureObject(name);
    if (OpenGLTextureList* list = static_cast<OpenGLTextureList*>(textureLists.Find(name))) {
        list->current = NextTextureListFrame(list->current, static_cast<int>(list->frames.size()),
                                             list->interval, ClockMilliseconds(), &list->lastChange);
        object = list->frames[static_cast<size_t>(list->current)];
    }
    return object;
}

bool OpenGLDriver::SetTexture(const char* name) {
    if (!name) {
        glDisable(GL_TEXTURE_2D);
    } else {
        glEnable(GL_TEXTURE_2D);
        // A name never generated binds object 0, which has no image: untextured.
        glBindTexture(GL_TEXTURE_2D, BoundObject(name));
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapU ? GL_REPEAT : GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapV ? GL_REPEAT : GL_CLAMP);
    }
    CheckError("SetTexture");
    return true;
}

bool OpenGLDriver::SetTextureFrame(const char*, int) {
    LogLine("Warning: called unimplemented funtion SetTexture(char*, int)");
    return true;
}

bool OpenGLDriver::TextureHasBinaryAlpha(const char*) { return false; }

// ---------------------------------------------------------------------------
// [SECTION] Lights and material

void OpenGLDriver::SetAmbientLight(float r, float g, float b) {
    const GLfloat ambient[4] = {r, g, b, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    CheckError("SetAmbientLight");
}

void OpenGLDriver::SetAmbientColor(PackedColor color) {
    SetAmbientLight(ColorRed(color) / 255.0f, ColorGreen(color) / 255.0f, ColorBlue(color) / 255.0f);
}

int OpenGLDriver::CreateLight(LightDesc desc) {
    OpenGLLight entry;
    std::memset(&entry, 0, sizeof(entry));
    lights.Add(entry);
    int index = lights.Size() - 1;
    SetLight(index, desc);
    LogLine("Created light no %i (color %f, %f, %f)", index, desc.r, desc.g, desc.b);
    return index;
}

bool OpenGLDriver::SetLight(int index, LightDesc desc) {
    OpenGLLight& light = lights[index];
    light.diffuse[0] = desc.r;
    light.diffuse[1] = desc.g;
    light.diffuse[2] = desc.b;
    light.diffuse[3] = 1.0f;
    if (desc.type == LIGHT_DIRECTIONAL) {
        light.position[0] = desc.direction.x;
        light.position[1] = desc.direction.y;
        light.position[2] = desc.direction.z;
        light.position[3] = 0.0f;
    } else if (desc.type == LIGHT_POINT) {
        light.position[0] = desc.position.x;
        light.position[1] = desc.position.y;
        light.position[2] = desc.position.z;
        light.position[3] = 1.0f;
    }
    light.range = desc.range;
    light.enabled = 1;
    RenderLights();
    return true;
}

void OpenGLDriver::EnableLight(int index, bool on) {
    lights[index].enabled = on ? 1 : 0;
    RenderLights();
}

bool OpenGLDriver::SetMaterial(const MaterialColors* material) {
    if (!material) return true;
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material->diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material->ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material->specular);
    CheckError("SetMaterial");
    return true;
}

void OpenGLDriver::RenderLights() {
    // Positions and directions are in world space: view transform alone.
    float flipped[16];
    FlippedView(flipped);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixf(flipped);
    int used = 0;
    for (int i = 0; i < lights.Size() && used < kMaxGLLights; ++i) {
        const OpenGLLight& light = lights[i];
        if (!light.enabled) continue;
        GLenum id = GL_LIGHT0 + used;
        glEnable(id);
        glLightfv(id, GL_DIFFUSE, light.diffuse);
        glLightfv(id, GL_POSITION, light.position);
        glLightf(id, GL_CONSTANT_ATTENUATION, 1.0f);
        glLightf(id, GL_LINEAR_ATTENUATION, 0.0f);
        glLightf(id, GL_QUADRATIC_ATTENUATION, 0.0f);
        ++used;
    }
    for (int k = used; k < kMaxGLLights; ++k) glDisable(GL_LIGHT0 + k);
    glPopMatrix();
    CheckError("renderLights");
}

// ---------------------------------------------------------------------------
// [SECTION] Matrices

void OpenGLDriver::FlippedView(float out[16]) const {
    // Negating the third column turns the engine's left-handed camera space
    // into OpenGL's right-handed one.
    std::memcpy(out, view.m, sizeof(view.m));
    out[2] = -out[2];
    out[6] = -out[6];
    out[10] = -out[10];
    out[14] = -out[14];
}

void OpenGLDriver::ApplyModelView() {
    float flipped[16];
    FlippedView(flipped);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(flipped);
    glMultMatrixf(world.m);
    CheckError("SetModelViewMatrix");
    RenderLights();
}

void OpenGLDriver::SetWorldMatrix(const MATRIX* m) {
    if (!m) return;
    world = *m;
    ApplyModelView();
}

void OpenGLDriver::SetViewMatrix(const MATRIX* m) {
    if (!m) return;
    view = *m;
    ApplyModelView();
}

void OpenGLDriver::SetProjection(float fov, float aspect, float nearPlane, float farPlane) {
    const float k = std::cos(fov / 2) / std::sin(fov / 2);
    const float q = farPlane / (farPlane - nearPlane);
    std::memset(projection.m, 0, sizeof(projection.m));
    projection.m[0] = aspect * k;
    projection.m[5] = k;
    projection.m[10] = q;
    projection.m[11] = 1.0f;
    projection.m[14] = -q * nearPlane;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fov * 57.2958, 1.0 / aspect, nearPlane, farPlane);
    CheckError("SetProjection");
}

void OpenGLDriver::GetWorldMatrix(MATRIX* out) {
    if (out) *out = world;
}

void OpenGLDriver::GetViewMatrix(MATRIX* out) {
    if (out) *out = view;
}

void OpenGLDriver::GetProjectionMatrix(MATRIX* out) {
    if (out) *out = projection;
}

// ---------------------------------------------------------------------------
// [SECTION] Fog

void OpenGLDriver::SetFogging(bool on) {
    if (on)
        glEnable(GL_FOG);
    else
        glDisable(GL_FOG);
    CheckError("SetFogging");
}

void OpenGLDriver::SetFogColor(PackedColor color) {
    float rgba[4];
    ColorToFloats(color, rgba);
    glFogfv(GL_FOG_COLOR, rgba);
    CheckError("SetFogColor");
}

void OpenGLDriver::SetFogBegin(float distance) {
    glFogf(GL_FOG_START, distance);
    CheckError("SetFogBegin");
}

void OpenGLDriver::SetFogEnd(float distance) {
    glFogf(GL_FOG_END, distance);
    CheckError("SetFogEnd");
}
