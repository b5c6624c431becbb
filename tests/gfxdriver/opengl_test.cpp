// OpenGL driver behaviour read back from OpenGL itself: state, matrices,
// lights, log lines, the 2D layer's offset, textures and Init failures.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfxdriver/opengldriver/screenshot.h"
#include "gl_fixture.h"
#include "utility/clock.h"

namespace {

bool Enabled(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }

GLboolean DepthWrites() {
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    return mask;
}

LightDesc Light(int type, float r, float g, float b) {
    LightDesc d{};
    d.type = type;
    d.position = VECTOR{1, 2, 3};
    d.direction = VECTOR{0, 0, 1};
    d.r = r;
    d.g = g;
    d.b = b;
    d.range = 50;
    return d;
}

TLVERTEX TL(float x, float y, PackedColor c, float u = 0, float v = 0) {
    return TLVERTEX{x, y, 0.1f, 0.1f, c, 0, u, v};
}

// A screen-space rectangle as a strip: top-left, top-right, bottom-left, bottom-right.
void Rect(GfxDriver* d, float x0, float y0, float x1, float y1, PackedColor c) {
    TLVERTEX q[4] = {TL(x0, y0, c, 0, 0), TL(x1, y0, c, 1, 0), TL(x0, y1, c, 0, 1), TL(x1, y1, c, 1, 1)};
    d->DrawStrip(q, 4);
}

// A unit-ish quad facing the camera at depth z (clockwise as seen from the
// camera, so the default culling keeps it).
void FacingQuad(GfxDriver* d, float half, float z) {
    VERTEX q[6] = {
        {-half, half, z, 0, 0, -1, 0, 0}, {half, half, z, 0, 0, -1, 1, 0},  {-half, -half, z, 0, 0, -1, 0, 1},
        {half, half, z, 0, 0, -1, 1, 0},  {half, -half, z, 0, 0, -1, 1, 1}, {-half, -half, z, 0, 0, -1, 0, 1},
    };
    d->DrawList(q, 6);
}

void Camera(GfxDriver* d) {
    MATRIX id = Identity();
    d->SetViewMatrix(&id);
    d->SetWorldMatrix(&id);
    d->SetProjection(1.0f, 0.75f, 1.0f, 100.0f);
}

const MaterialColors kWhite = {{1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, 0, 1}};

}  // namespace

TEST(OpenGLDriver, InitLogsVersionAndLightsAndSetsTheInitialState) {
    CapturedLog log;
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    EXPECT_TRUE(log.Contains(std::string("OpenGL version ") + version));
    GLint maxLights = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
    EXPECT_TRUE(log.Contains("Lights supported: " + std::to_string(maxLights)));
    EXPECT_EQ(log.Count("OpenGL Error"), 0);

    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2], 1024);
    EXPECT_EQ(v[3], 768);
    glGetIntegerv(GL_FRONT_FACE, v);
    EXPECT_EQ(v[0], GL_CW);
    glGetIntegerv(GL_CULL_FACE_MODE, v);
    EXPECT_EQ(v[0], GL_BACK);
    glGetIntegerv(GL_FOG_MODE, v);
    EXPECT_EQ(v[0], GL_LINEAR);
    EXPECT_TRUE(Enabled(GL_CULL_FACE));
    EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
    EXPECT_TRUE(Enabled(GL_NORMALIZE));
    EXPECT_TRUE(Enabled(GL_LIGHTING));
    EXPECT_FALSE(Enabled(GL_BLEND));
    EXPECT_FALSE(Enabled(GL_FOG));
    EXPECT_EQ(DepthWrites(), GL_TRUE);
    int w = 0, h = 0;
    SDL_GetWindowSize(d->Window(), &w, &h);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
}

TEST(OpenGLDriver, InitFailuresShowTheirBoxAndReturnFalse) {
    static std::vector<std::string> boxes;
    boxes.clear();
    SetOpenGLDriverMessageBox(
        [](const char* caption, const char* text) { boxes.push_back(std::string(caption) + "|" + text); });
    OpenGLDriverSDL noWindow;
    EXPECT_FALSE(noWindow.Init(nullptr, nullptr));
    // A window created without OpenGL support has no pixel format to offer.
    ASSERT_TRUE(TestWindow());
    SDL_Window* plain = SDL_CreateWindow("plain", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    ASSERT_NE(plain, nullptr);
    OpenGLDriverSDL plainWindow;
    EXPECT_FALSE(plainWindow.Init(nullptr, plain));
    SDL_DestroyWindow(plain);
    SetOpenGLDriverMessageBox(nullptr);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "ERROR|Can't Create A GL Device Context.");
    EXPECT_EQ(boxes[1], "ERROR|Can't Find A Suitable PixelFormat.");
}

TEST(OpenGLDriver, DepthModesOnlyChangeDepthWrites) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    d->SetZBufferMode(ZBUFFER_OFF);
    EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
    EXPECT_EQ(DepthWrites(), GL_FALSE);
    d->SetZBufferMode(ZBUFFER_ON);
    EXPECT_EQ(DepthWrites(), GL_TRUE);
    d->SetZBufferMode(ZBUFFER_NOWRITE);
    EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
    EXPECT_EQ(DepthWrites(), GL_FALSE);
}

TEST(OpenGLDriver, BackgroundDepthDrawsOnlyWhereNothingIsYet) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    Camera(d.get());
    d->SetTexture(nullptr);
    auto quad = [&](float half, float z, PackedColor c) {
        LVERTEX q[4] = {{-half, half, z, 0, c, 0, 0, 0},
                        {half, half, z, 0, c, 0, 0, 0},
                        {-half, -half, z, 0, c, 0, 0, 0},
                        {half, -half, z, 0, c, 0, 0, 0}};
        d->DrawStrip(q, 4);
    };
    d->BeginScene();
    d->Clear(0xFF000000);
    quad(1, 5, 0xFFFF0000);
    // Nearer than the red quad, yet behind it; no depth written.
    EXPECT_TRUE(d->SetBackgroundDepth(true));
    d->SetZBufferMode(ZBUFFER_OFF);
    quad(3, 3, 0xFF00FF00);
    EXPECT_TRUE(d->SetBackgroundDepth(false));
    EXPECT_EQ(PixelAt(512, 384).r, 255);
    EXPECT_EQ(PixelAt(512, 150).g, 255);
    // Depth testing is back to normal: a far quad stays behind the red one
    // and covers the background.
    d->SetZBufferMode(ZBUFFER_ON);
    quad(3, 8, 0xFF0000FF);
    EXPECT_EQ(PixelAt(512, 384).r, 255);
    EXPECT_EQ(PixelAt(512, 150).b, 255);
    EXPECT_EQ(PixelAt(512, 150).g, 0);
}

// Two textured, fogged layers seen through each other, one at depth 5 and
// one at depth 8 in the same cone: one pass gives the two passes' pixels
// (blend rounding apart), and wireframe falls back to the caller.
TEST(OpenGLDriver, DualLayerDrawsWhatTwoBlendedPassesDraw) {
    CapturedLog log;
    TempFolder folder("dual");
    const std::string& base = folder.path();
    SetBasePath(base.c_str());
    WriteBmp24(base + "a.bmp", 32, 32, [](int x, int) { return 0x200000u * (x % 8) + 0x0000FFu; });
    WriteBmp24(base + "a_a.bmp", 32, 32, [](int x, int y) { return 0x070707u * ((x + y) % 32); });
    WriteBmp24(base + "b.bmp", 32, 32, [](int, int y) { return 0x002000u * (y % 8) + 0xFF0000u; });
    WriteBmp24(base + "b_a.bmp", 32, 32, [](int x, int) { return 0x080808u * (31 - x); });
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->GenerateTexture("a.bmp", "a_a.bmp"));
    ASSERT_TRUE(d->GenerateTexture("b.bmp", "b_a.bmp"));
    Camera(d.get());
    d->SetFogging(true);
    d->SetFogColor(0xFF406080);
    d->SetFogBegin(4.0f);
    d->SetFogEnd(10.0f);
    d->SetAlphaBlending(true);
    const uint16_t indices[6] = {0, 1, 2, 1, 3, 2};
    const float corner[4][2] = {{-2, 2}, {2, 2}, {-2, -2}, {2, -2}};
    const PackedColor color1 = 0xE0FFFFFF, color2 = 0xC0FFE0C0;
    LVERTEX near[4], far[4];
    DUALVERTEX dual[4];
    const float q = 5.0f / 8.0f;
    for (int i = 0; i < 4; ++i) {
        const float u1 = corner[i][0] * 0.4f + 0.3f, v1 = corner[i][1] * 0.3f;
        const float u2 = corner[i][0] * -0.7f, v2 = corner[i][1] * 0.5f + 0.2f;
        near[i] = LVERTEX{corner[i][0], corner[i][1], 5.0f, 0, color1, 0, u1, v1};
        far[i] = LVERTEX{corner[i][0] / q, corner[i][1] / q, 8.0f, 0, color2, 0, u2, v2};
        dual[i] = DUALVERTEX{corner[i][0], corner[i][1], 5.0f,   color1, color2,   u1,
                             v1,           5.0f,         u2 * q, v2 * q, 8.0f * q, q};
    }
    auto frame = [&](bool onePass) {
        d->BeginScene();
        d->SetZBufferMode(ZBUFFER_ON);  // the clear writes depth only then
        d->Clear(0xFF203040);
        d->SetZBufferMode(ZBUFFER_OFF);
        if (onePass) {
            EXPECT_TRUE(d->DrawIndexedDualLayer(dual, 4, indices, 6, "a.bmp", "b.bmp"));
        } else {
            d->SetTexture("a.bmp");
            d->DrawIndexedList(near, 4, indices, 6);
            d->SetTexture("b.bmp");
            d->DrawIndexedList(far, 4, indices, 6);
        }
        std::vector<uint8_t> pixels(static_cast<size_t>(d->width) * d->height * 4);
        glReadPixels(0, 0, d->width, d->height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    const std::vector<uint8_t> twoPasses = frame(false), onePass = frame(true);
    int worst = 0;
    for (size_t i = 0; i < onePass.size(); ++i)
        if (i % 4 != 3) worst = std::max(worst, std::abs(onePass[i] - twoPasses[i]));
    EXPECT_LE(worst, 2);
    Rgb middle = PixelAt(d->width / 2, d->height / 2);
    EXPECT_FALSE(middle.r == 0x20 && middle.g == 0x30 && middle.b == 0x40) << "nothing drawn";
    d->SetRenderMode(RENDER_WIREFRAME);
    EXPECT_FALSE(d->DrawIndexedDualLayer(dual, 4, indices, 6, "a.bmp", "b.bmp"));
    d->SetRenderMode(RENDER_SOLID);
    EXPECT_FALSE(d->DrawIndexedDualLayer(dual, 4, indices, 6, "a.bmp", "never.bmp"));
    EXPECT_EQ(log.Count("OpenGL Error"), 0);
    SetBasePath(nullptr);
}

TEST(OpenGLDriver, CachedSetterSkipsOpenGLWhenNothingChanges) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    // Change OpenGL behind the driver's back: a redundant call must not repair it.
    glDisable(GL_LIGHTING);
    EXPECT_TRUE(d->SetLighting(true));
    EXPECT_FALSE(Enabled(GL_LIGHTING));
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    EXPECT_FALSE(d->SetAlphaBlending(false));
    EXPECT_TRUE(d->SetLighting(false));
    EXPECT_FALSE(Enabled(GL_LIGHTING));
}

TEST(OpenGLDriver, ModesMapToOpenGLState) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    GLint v[2];
    d->SetCullMode(CULL_CW);
    glGetIntegerv(GL_CULL_FACE_MODE, v);
    EXPECT_EQ(v[0], GL_FRONT);
    d->SetCullMode(CULL_NONE);
    EXPECT_FALSE(Enabled(GL_CULL_FACE));
    d->SetCullMode(3);  // out of range: nothing changes
    EXPECT_FALSE(Enabled(GL_CULL_FACE));
    d->SetCullMode(CULL_CCW);
    EXPECT_TRUE(Enabled(GL_CULL_FACE));
    glGetIntegerv(GL_CULL_FACE_MODE, v);
    EXPECT_EQ(v[0], GL_BACK);

    GLfloat ref = -1;
    d->SetAlphaTestMode(ALPHATEST_OPAQUE);
    EXPECT_TRUE(Enabled(GL_ALPHA_TEST));
    glGetIntegerv(GL_ALPHA_TEST_FUNC, v);
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_EQ(v[0], GL_EQUAL);
    EXPECT_FLOAT_EQ(ref, 1.0f);
    d->SetAlphaTestMode(ALPHATEST_NONZERO);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, v);
    EXPECT_EQ(v[0], GL_GREATER);
    d->SetAlphaTestMode(7);  // out of range
    EXPECT_TRUE(Enabled(GL_ALPHA_TEST));
    glGetIntegerv(GL_ALPHA_TEST_FUNC, v);
    EXPECT_EQ(v[0], GL_GREATER);
    d->SetAlphaTestMode(ALPHATEST_OFF);
    EXPECT_FALSE(Enabled(GL_ALPHA_TEST));

    d->SetRenderMode(RENDER_WIREFRAME);
    glGetIntegerv(GL_POLYGON_MODE, v);
    EXPECT_EQ(v[0], GL_LINE);
    d->SetRenderMode(2);
    glGetIntegerv(GL_POLYGON_MODE, v);
    EXPECT_EQ(v[0], GL_LINE);
    d->SetRenderMode(RENDER_SOLID);
    glGetIntegerv(GL_POLYGON_MODE, v);
    EXPECT_EQ(v[0], GL_FILL);

    d->SetAlphaBlending(true);
    d->SetBlendMode(BLEND_ADDITIVE);
    glGetIntegerv(GL_BLEND_DST, v);
    EXPECT_EQ(v[0], GL_ONE);
    // Switching blending off and on again resets the function.
    d->SetAlphaBlending(false);
    d->SetAlphaBlending(true);
    glGetIntegerv(GL_BLEND_DST, v);
    EXPECT_EQ(v[0], GL_ONE_MINUS_SRC_ALPHA);
    d->SetBlendMode(5);
    glGetIntegerv(GL_BLEND_DST, v);
    EXPECT_EQ(v[0], GL_ONE_MINUS_SRC_ALPHA);

    d->SetFogging(true);
    EXPECT_TRUE(Enabled(GL_FOG));
    d->SetFogColor(0x80FF0000);
    d->SetFogBegin(10);
    d->SetFogEnd(90);
    GLfloat fog[4];
    glGetFloatv(GL_FOG_COLOR, fog);
    EXPECT_FLOAT_EQ(fog[0], 1.0f);
    EXPECT_FLOAT_EQ(fog[1], 0.0f);
    EXPECT_NEAR(fog[3], 128 / 255.0f, 1e-6);
    glGetFloatv(GL_FOG_START, fog);
    EXPECT_FLOAT_EQ(fog[0], 10);
    glGetFloatv(GL_FOG_END, fog);
    EXPECT_FLOAT_EQ(fog[0], 90);

    d->SetAmbientColor(0xFF336699);
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, fog);
    EXPECT_FLOAT_EQ(fog[0], 0x33 / 255.0f);
    EXPECT_FLOAT_EQ(fog[2], 0x99 / 255.0f);
    EXPECT_FLOAT_EQ(fog[3], 1.0f);

    d->SetMaterial(&kWhite);
    glGetMaterialfv(GL_BACK, GL_DIFFUSE, fog);
    EXPECT_FLOAT_EQ(fog[1], 1.0f);
}

TEST(OpenGLDriver, ModelViewIsTheFlippedViewTimesTheWorld) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    MATRIX view = Translation(0, 0, 5);
    MATRIX world = Translation(1, 2, 3);
    d->SetViewMatrix(&view);
    d->SetWorldMatrix(&world);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    // The point (0,0,0) goes to world (1,2,3), camera (1,2,8), OpenGL eye (1,2,-8).
    EXPECT_FLOAT_EQ(m[12], 1);
    EXPECT_FLOAT_EQ(m[13], 2);
    EXPECT_FLOAT_EQ(m[14], -8);
    EXPECT_FLOAT_EQ(m[10], -1);
    EXPECT_FLOAT_EQ(m[0], 1);
    d->SetProjection(1.0f, 0.75f, 1.0f, 100.0f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_NEAR(m[5], 1.0 / std::tan(0.5), 1e-4);
    EXPECT_NEAR(m[0], m[5] * 0.75, 1e-4);
}

TEST(OpenGLDriver, LightsAreAppliedInWorldSpaceAndLogged) {
    CapturedLog log;
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    MATRIX view = Translation(0, 0, 5);
    d->SetViewMatrix(&view);
    EXPECT_EQ(d->CreateLight(Light(LIGHT_POINT, 1, 0.5f, 0.25f)), 0);
    EXPECT_TRUE(log.Contains("Created light no 0 (color 1.000000, 0.500000, 0.250000)"));
    GLfloat p[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, p);
    EXPECT_FLOAT_EQ(p[0], 1);
    EXPECT_FLOAT_EQ(p[1], 2);
    EXPECT_FLOAT_EQ(p[2], -8);
    EXPECT_FLOAT_EQ(p[3], 1);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, p);
    EXPECT_FLOAT_EQ(p[1], 0.5f);
    EXPECT_FLOAT_EQ(p[3], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_CONSTANT_ATTENUATION, p);
    EXPECT_FLOAT_EQ(p[0], 1);
    // A directional light: w = 0, the direction only rotated (here flipped in z).
    EXPECT_TRUE(d->SetLight(0, Light(LIGHT_DIRECTIONAL, 1, 1, 1)));
    glGetLightfv(GL_LIGHT0, GL_POSITION, p);
    EXPECT_FLOAT_EQ(p[2], -1);
    EXPECT_FLOAT_EQ(p[3], 0);
    // Another type leaves position and direction as they were.
    EXPECT_TRUE(d->SetLight(0, Light(5, 0, 1, 0)));
    glGetLightfv(GL_LIGHT0, GL_POSITION, p);
    EXPECT_FLOAT_EQ(p[3], 0);
    EXPECT_FLOAT_EQ(d->Lights()[0].range, 50);
    // The model-view matrix is left as it was.
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[14], -5);
    d->EnableLight(0, false);
    EXPECT_FALSE(Enabled(GL_LIGHT0));
    EXPECT_EQ(log.Count("OpenGL Error"), 0);
}

TEST(OpenGLDriver, OnlyTheFirstEightEnabledLightsAreUsed) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    for (int i = 0; i < 9; ++i) d->CreateLight(Light(LIGHT_DIRECTIONAL, i / 10.0f, 0, 0));
    GLfloat c[4];
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(Enabled(GL_LIGHT0 + i));
        glGetLightfv(GL_LIGHT0 + i, GL_DIFFUSE, c);
        EXPECT_FLOAT_EQ(c[0], i / 10.0f) << "light " << i;
    }
    // With entry 2 off, the OpenGL lights move up: entry 8 is now the eighth.
    d->EnableLight(2, false);
    glGetLightfv(GL_LIGHT2, GL_DIFFUSE, c);
    EXPECT_FLOAT_EQ(c[0], 0.3f);
    glGetLightfv(GL_LIGHT7, GL_DIFFUSE, c);
    EXPECT_FLOAT_EQ(c[0], 0.8f);
    for (int i = 0; i < 9; ++i) d->EnableLight(i, false);
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(Enabled(GL_LIGHT0 + i));
}

TEST(OpenGLDriver, NinthLightDoesNotLightTheScene) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    Camera(d.get());
    d->SetAmbientLight(0, 0, 0);
    d->SetMaterial(&kWhite);
    // Eight black lights, then a red one that faces the quad.
    for (int i = 0; i < 8; ++i) d->CreateLight(Light(LIGHT_DIRECTIONAL, 0, 0, 0));
    LightDesc red = Light(LIGHT_DIRECTIONAL, 1, 0, 0);
    red.direction = VECTOR{0, 0, -1};
    d->CreateLight(red);
    d->BeginScene();
    d->Clear(0xFF0000FF);
    FacingQuad(d.get(), 1, 5);
    Rgb dark = PixelAt(512, 384);
    EXPECT_EQ(dark.r, 0);
    EXPECT_EQ(dark.b, 0);
    // Switching the first light off lets the ninth in.
    d->EnableLight(0, false);
    d->Clear(0xFF0000FF);
    FacingQuad(d.get(), 1, 5);
    Rgb lit = PixelAt(512, 384);
    EXPECT_GT(lit.r, 250);
    EXPECT_EQ(lit.g, 0);
}

TEST(OpenGLDriver, TLVertexLayerSits20PixelsLower) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    d->BeginScene();
    d->Clear(0xFF000000);
    d->SetTexture(nullptr);
    Rect(d.get(), 100, 0, 200, 10, 0xFFFF0000);
    EXPECT_EQ(PixelAt(150, 19).r, 0);
    EXPECT_EQ(PixelAt(150, 20).r, 255);
    EXPECT_EQ(PixelAt(150, 29).r, 255);
    EXPECT_EQ(PixelAt(150, 30).r, 0);
    EXPECT_EQ(PixelAt(99, 25).r, 0);
    EXPECT_EQ(PixelAt(100, 25).r, 255);
    EXPECT_EQ(PixelAt(199, 25).r, 255);
    EXPECT_EQ(PixelAt(200, 25).r, 0);
}

TEST(OpenGLDriver, TLVertexDrawsLeaveCullingOnAndMatricesAlone) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    Camera(d.get());
    d->SetCullMode(CULL_NONE);
    uint16_t idx[3] = {0, 1, 2};
    TLVERTEX t[3] = {TL(0, 0, 0xFFFFFFFF), TL(10, 0, 0xFFFFFFFF), TL(0, 10, 0xFFFFFFFF)};
    GLfloat before[16], after[16];
    glMatrixMode(GL_MODELVIEW);
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    d->DrawIndexedList(t, 3, idx, 3);
    EXPECT_TRUE(Enabled(GL_CULL_FACE));
    EXPECT_TRUE(Enabled(GL_LIGHTING));
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], after[i]);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST(OpenGLDriver, IndicesOutsideTheVertexArrayAreSkipped) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    d->BeginScene();
    d->Clear(0xFF000000);
    TLVERTEX t[4] = {TL(0, 0, 0xFFFFFFFF), TL(100, 0, 0xFFFFFFFF), TL(0, 100, 0xFFFFFFFF),
                     TL(100, 100, 0xFFFFFFFF)};
    // The second triangle names vertex 40000: it is dropped, the first is drawn.
    uint16_t idx[6] = {0, 1, 2, 1, 40000, 2};
    EXPECT_TRUE(d->DrawIndexedList(t, 4, idx, 6));
    EXPECT_EQ(PixelAt(10, 30).g, 255);
    EXPECT_EQ(PixelAt(90, 110).g, 0);
    EXPECT_EQ(d->faces, 2);
}

TEST(OpenGLDriver, BadIndicesFallBackToSkippingTheirTriangleInEveryFormat) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->use_vertex_arrays);
    Camera(d.get());
    d->SetCullMode(CULL_NONE);
    d->BeginScene();
    d->Clear(0xFF000000);
    // Left square at x < 0, right square at x > 0, both at depth 10.
    LVERTEX l[8] = {{-4, 2, 10, 0, 0xFFFF0000, 0, 0, 0},  {-1, 2, 10, 0, 0xFFFF0000, 0, 0, 0},
                    {-4, -2, 10, 0, 0xFFFF0000, 0, 0, 0}, {-1, -2, 10, 0, 0xFFFF0000, 0, 0, 0},
                    {1, 2, 10, 0, 0xFF00FF00, 0, 0, 0},   {4, 2, 10, 0, 0xFF00FF00, 0, 0, 0},
                    {1, -2, 10, 0, 0xFF00FF00, 0, 0, 0},  {4, -2, 10, 0, 0xFF00FF00, 0, 0, 0}};
    // The red square's second triangle names a vertex past the array: only it
    // is dropped, the green square stays whole; the trailing lone index is no
    // triangle at all.
    uint16_t idx[13] = {0, 1, 2, 1, 3, 900, 4, 5, 6, 5, 7, 6, 3};
    EXPECT_TRUE(d->DrawIndexedList(l, 8, idx, 13));
    EXPECT_EQ(d->faces, 4);
    // Upper-left half of each square is drawn, the lower-right half is not.
    EXPECT_EQ(PixelAt(512 - 200, 384 - 60).r, 255);
    EXPECT_EQ(PixelAt(512 - 90, 384 + 90).r, 0);
    EXPECT_EQ(PixelAt(512 + 90, 384 - 60).g, 255);
    EXPECT_EQ(PixelAt(512 + 200, 384 + 90).g, 255);
    // The same on the array path with good indices draws both squares whole.
    d->Clear(0xFF000000);
    uint16_t good[12] = {0, 1, 2, 1, 3, 2, 4, 5, 6, 5, 7, 6};
    EXPECT_TRUE(d->DrawIndexedList(l, 8, good, 12));
    EXPECT_EQ(PixelAt(512 - 90, 384 + 90).r, 255);
    EXPECT_EQ(PixelAt(512 + 200, 384 + 90).g, 255);
    VERTEX v[3] = {{-1, 1, 10, 0, 0, -1, 0, 0}, {1, 1, 10, 0, 0, -1, 0, 0}, {-1, -1, 10, 0, 0, -1, 0, 0}};
    uint16_t bad[3] = {0, 1, 3};
    EXPECT_TRUE(d->DrawIndexedList(v, 3, bad, 3));
}

TEST(OpenGLDriver, ErrorsAreLoggedWithTheOperationName) {
    CapturedLog log;
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    glEnable(0x7FFF);  // an error left behind by someone else
    d->Clear(0xFF000000);
    EXPECT_TRUE(log.Contains("OpenGL Error in first in Clear: invalid enumerant"));
    EXPECT_EQ(log.Count("OpenGL Error"), 1);
    d->SetTextureFrame("textures\\a.bmp", 2);
    EXPECT_TRUE(log.Contains("Warning: called unimplemented funtion SetTexture(char*, int)"));
    EXPECT_FALSE(d->TextureHasBinaryAlpha("textures\\a.bmp"));
    EXPECT_TRUE(d->RestoreSurfaces());
}

TEST(OpenGLDriver, TexturesLoadBindAndFallBackToUntextured) {
    CapturedLog log;
    TempFolder folder("tex");
    const std::string& base = folder.path();
    SetBasePath(base.c_str());
    // Left half red, right half green; an alpha map that is black at the top.
    WriteBmp24(base + "rg.bmp", 8, 8, [](int x, int) { return x < 4 ? 0xFF0000u : 0x00FF00u; });
    WriteBmp24(base + "rg_a.bmp", 8, 8, [](int, int y) { return y < 4 ? 0x000000u : 0xFFFFFFu; });
    WriteBmp24(base + "small_a.bmp", 4, 4, [](int, int) { return 0xFFFFFFu; });
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->GenerateTexture("rg.bmp", nullptr));
    unsigned int first = d->TextureObject("rg.bmp");
    EXPECT_NE(first, 0u);
    EXPECT_TRUE(log.Contains("Generated texture: rg.bmp with ID: " + std::to_string(first)));
    EXPECT_TRUE(d->GenerateTexture("rg.bmp", "rg_a.bmp"));
    EXPECT_TRUE(log.Contains("Trying to load alpha texture from file: " + base + "rg_a.bmp"));
    // Generating a name twice shadows the first object.
    EXPECT_NE(d->TextureObject("rg.bmp"), first);
    EXPECT_FALSE(d->GenerateTexture("missing.bmp", nullptr));
    EXPECT_TRUE(log.Contains("Error loading texture 'missing.bmp' Error was 'Couldn't open bitmap!'"));
    EXPECT_FALSE(d->GenerateTexture("rg2.bmp", "small_a.bmp"));
    EXPECT_EQ(d->TextureObject("rg2.bmp"), 0u);

    d->BeginScene();
    d->Clear(0xFF0000FF);
    d->SetAlphaBlending(true);
    EXPECT_TRUE(d->SetTexture("rg.bmp"));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned int>(bound), d->TextureObject("rg.bmp"));
    Rect(d.get(), 0, 0, 200, 200, 0xFFFFFFFF);
    // Bottom half of the picture is opaque: red on the left, green on the right.
    Rgb left = PixelAt(40, 20 + 170);
    Rgb right = PixelAt(160, 20 + 170);
    EXPECT_GT(left.r, 240);
    EXPECT_LT(left.b, 15);
    EXPECT_GT(right.g, 240);
    // Top half is transparent: the clear colour shows.
    Rgb top = PixelAt(40, 20 + 20);
    EXPECT_GT(top.b, 240);
    EXPECT_LT(top.r, 15);
    // A name never generated binds object 0 and draws untextured.
    EXPECT_TRUE(d->SetTexture("rg2.bmp"));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    Rect(d.get(), 300, 0, 400, 100, 0xFFFFFF00);
    Rgb plain = PixelAt(350, 70);
    EXPECT_EQ(plain.r, 255);
    EXPECT_EQ(plain.g, 255);
    EXPECT_EQ(plain.b, 0);
    // Texturing off.
    EXPECT_TRUE(d->SetTexture(nullptr));
    EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
    EXPECT_EQ(log.Count("OpenGL Error"), 0);
    SetBasePath(nullptr);
}

// A texture list steps through its frames on the milliseconds clock, each
// frame a texture object of its own, as the DirectX 7 driver shows lists.
TEST(OpenGLDriver, TextureListsStepThroughTheirFramesOnTheClock) {
    CapturedLog log;
    TempFolder folder("ifl");
    const std::string& base = folder.path();
    SetBasePath(base.c_str());
    WriteBmp24(base + "a.bmp", 4, 4, [](int, int) { return 0xFF0000u; });
    WriteBmp24(base + "b.bmp", 4, 4, [](int, int) { return 0x00FF00u; });
    test_common::WriteFile(base + "ab.ifl", "a.bmp 300 b.bmp\n");
    UseFixedClock(100, 5000);
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->GenerateTexture("ab.ifl", nullptr));
    const OpenGLTextureList* list = d->TextureListNamed("ab.ifl");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->frames.size(), 2u);
    EXPECT_EQ(list->interval, 300u);
    EXPECT_EQ(d->TextureObject("ab.ifl"), list->frames[0]);
    EXPECT_EQ(list->frames[1], d->TextureObject("b.bmp"));
    // Frames by the clock (100 ms a step): 5000 a, 5200 a, 5300 b, 5500 b, 5600 a.
    const int expected[] = {0, 0, 0, 1, 1, 1, 0};
    for (int step = 0; step < 7; ++step) {
        d->SetTexture("ab.ifl");
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<unsigned int>(bound), list->frames[expected[step]]) << step;
        AdvanceFixedClock();
    }
    EXPECT_FALSE(d->GenerateTexture("none.ifl", nullptr));
    EXPECT_TRUE(log.Contains("Error loading texture 'none.ifl' Error was 'Couldn't read texture list!'"));
    EXPECT_EQ(d->TextureListNamed("none.ifl"), nullptr);
    UseRealTimeClock();
    SetBasePath(nullptr);
}

TEST(OpenGLDriver, WrapFlagsFollowTheBoundTexture) {
    TempFolder folder("wrap");
    const std::string& base = folder.path();
    SetBasePath(base.c_str());
    WriteBmp24(base + "w.bmp", 4, 4, [](int, int) { return 0x808080u; });
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->GenerateTexture("w.bmp", nullptr));
    d->SetTextureWrapU(false);
    d->SetTexture("w.bmp");  // re-applies the cached flags to the new binding
    GLint s = 0, t = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &s);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &t);
    EXPECT_EQ(s, GL_CLAMP);
    EXPECT_EQ(t, GL_REPEAT);
    d->SetTextureWrapV(false);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &t);
    EXPECT_EQ(t, GL_CLAMP);
    SetBasePath(nullptr);
}

TEST(OpenGLDriver, ScreenshotRequestWritesTheFinishedFrame) {
    auto d = MakeGLDriver();
    ASSERT_TRUE(d);
    TempFolder folder("shot");
    std::string path = folder.path() + "frame.png";
    d->BeginScene();
    d->Clear(0xFF204060);
    Rect(d.get(), 0, 0, 10, 10, 0xFFFFFFFF);
    d->EndScene();
    OpenGLDriverSDLRequestScreenshot(path.c_str());
    EXPECT_TRUE(d->ShowFrame());
    EXPECT_TRUE(OpenGLDriverSDLScreenshotWritten());
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPNG(path.c_str(), &w, &h, &rgb));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_EQ(rgb[0], 0x20);
    EXPECT_EQ(rgb[1], 0x40);
    EXPECT_EQ(rgb[2], 0x60);
    const size_t white = (25 * 1024 + 5) * 3;
    EXPECT_EQ(rgb[white], 255);
    EXPECT_EQ(rgb[white + 2], 255);
    // One request, one picture.
    std::remove(path.c_str());
    d->ShowFrame();
    EXPECT_FALSE(ReadPNG(path.c_str(), &w, &h, &rgb));
}
