// The driver contract, checked on the OpenGL driver and on the recording
// test double that other tests stand in for it: counters, cached state with
// previous values, lighting around LVERTEX/TLVERTEX draws, light indices,
// out-of-range modes, the projection matrix.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "common/recording_driver.h"
#include "gl_fixture.h"

namespace {

struct DriverKind {
    const char* name;
    std::function<std::unique_ptr<GfxDriver>()> make;
};

void PrintTo(const DriverKind& kind, std::ostream* os) { *os << kind.name; }

std::unique_ptr<GfxDriver> MakeRecording() { return std::make_unique<RecordingDriver>(); }
std::unique_ptr<GfxDriver> MakeOpenGL() { return MakeGLDriver(); }

class DriverContract : public ::testing::TestWithParam<DriverKind> {
protected:
    void SetUp() override {
        driver = GetParam().make();
        ASSERT_NE(driver, nullptr);
    }
    std::unique_ptr<GfxDriver> driver;
};

VERTEX V(float x, float y, float z) { return VERTEX{x, y, z, 0, 0, -1, 0, 0}; }
LVERTEX L(float x, float y, float z) { return LVERTEX{x, y, z, 0, 0xFFFFFFFF, 0, 0, 0}; }
TLVERTEX T(float x, float y) { return TLVERTEX{x, y, 0.1f, 0.1f, 0xFFFFFFFF, 0, 0, 0}; }

LightDesc Directional(float r, float g, float b) {
    LightDesc d{};
    d.type = LIGHT_DIRECTIONAL;
    d.direction = VECTOR{0, 0, 1};
    d.r = r;
    d.g = g;
    d.b = b;
    d.range = 100;
    return d;
}

}  // namespace

TEST_P(DriverContract, InitialStateAfterInit) {
    EXPECT_EQ(driver->width, 1024);
    EXPECT_EQ(driver->height, 768);
    EXPECT_EQ(driver->lighting, 1);
    EXPECT_EQ(driver->alphaBlending, 0);
    EXPECT_EQ(driver->zbufferMode, ZBUFFER_ON);
    EXPECT_EQ(driver->wrapU, 1);
    EXPECT_EQ(driver->wrapV, 1);
    EXPECT_EQ(driver->fullscreen, 0);
}

TEST_P(DriverContract, BeginSceneCountsFramesAndResetsCounters) {
    VERTEX tri[6] = {V(0, 0, 5), V(1, 0, 5), V(0, 1, 5), V(0, 0, 5), V(1, 0, 5), V(0, 1, 5)};
    int frames = driver->frames;
    EXPECT_TRUE(driver->BeginScene());
    EXPECT_EQ(driver->frames, frames + 1);
    driver->DrawList(tri, 6);
    EXPECT_EQ(driver->vertices, 6);
    EXPECT_EQ(driver->faces, 2);
    EXPECT_TRUE(driver->EndScene());
    EXPECT_TRUE(driver->BeginScene());
    EXPECT_EQ(driver->frames, frames + 2);
    EXPECT_EQ(driver->vertices, 0);
    EXPECT_EQ(driver->faces, 0);
}

TEST_P(DriverContract, DrawCountersForEveryForm) {
    VERTEX v[7] = {V(0, 0, 5), V(1, 0, 5), V(0, 1, 5), V(1, 1, 5), V(2, 0, 5), V(2, 1, 5), V(3, 0, 5)};
    LVERTEX l[5] = {L(0, 0, 5), L(1, 0, 5), L(0, 1, 5), L(1, 1, 5), L(2, 2, 5)};
    TLVERTEX t[4] = {T(0, 0), T(10, 0), T(0, 10), T(10, 10)};
    uint16_t idx[8] = {0, 1, 2, 1, 3, 2, 0, 1};
    driver->BeginScene();
    // A strip of n vertices counts n / 3 faces, the same as a list.
    EXPECT_TRUE(driver->DrawStrip(v, 7));
    EXPECT_EQ(driver->vertices, 7);
    EXPECT_EQ(driver->faces, 2);
    // Lines add no faces.
    EXPECT_TRUE(driver->DrawLines(v, 6));
    EXPECT_EQ(driver->vertices, 13);
    EXPECT_EQ(driver->faces, 2);
    // Indexed: vertex count and index count / 3 (8 / 3 = 2).
    EXPECT_TRUE(driver->DrawIndexedList(l, 4, idx, 8));
    EXPECT_EQ(driver->vertices, 17);
    EXPECT_EQ(driver->faces, 4);
    EXPECT_TRUE(driver->DrawList(l, 5));
    EXPECT_EQ(driver->vertices, 22);
    EXPECT_EQ(driver->faces, 5);
    EXPECT_TRUE(driver->DrawStrip(t, 4));
    EXPECT_TRUE(driver->DrawIndexedList(t, 4, idx, 6));
    EXPECT_TRUE(driver->DrawLines(t, 4));
    EXPECT_EQ(driver->vertices, 34);
    EXPECT_EQ(driver->faces, 8);
}

TEST_P(DriverContract, EmptyDrawsChangeNothing) {
    VERTEX v[3] = {V(0, 0, 5), V(1, 0, 5), V(0, 1, 5)};
    uint16_t idx[3] = {0, 1, 2};
    driver->BeginScene();
    EXPECT_TRUE(driver->DrawList(v, 0));
    EXPECT_TRUE(driver->DrawStrip(static_cast<const VERTEX*>(nullptr), 3));
    EXPECT_TRUE(driver->DrawIndexedList(v, 3, idx, 0));
    EXPECT_TRUE(driver->DrawList(static_cast<const TLVERTEX*>(nullptr), 0));
    EXPECT_TRUE(driver->DrawLines(static_cast<const LVERTEX*>(nullptr), 0));
    EXPECT_EQ(driver->vertices, 0);
    EXPECT_EQ(driver->faces, 0);
}

TEST_P(DriverContract, CachedSettersReturnThePreviousState) {
    EXPECT_TRUE(driver->SetLighting(true));  // already on
    EXPECT_TRUE(driver->SetLighting(false));
    EXPECT_FALSE(driver->SetLighting(false));
    EXPECT_EQ(driver->lighting, 0);
    EXPECT_FALSE(driver->SetAlphaBlending(true));
    EXPECT_TRUE(driver->SetAlphaBlending(true));
    EXPECT_EQ(driver->alphaBlending, 1);
    EXPECT_EQ(driver->SetZBufferMode(ZBUFFER_NOWRITE), ZBUFFER_ON);
    EXPECT_EQ(driver->SetZBufferMode(ZBUFFER_OFF), ZBUFFER_NOWRITE);
    EXPECT_EQ(driver->SetZBufferMode(ZBUFFER_ON), ZBUFFER_OFF);
    EXPECT_TRUE(driver->SetTextureWrapU(false));
    EXPECT_FALSE(driver->SetTextureWrapU(true));
    EXPECT_TRUE(driver->SetTextureWrapV(false));
    EXPECT_EQ(driver->wrapV, 0);
}

TEST_P(DriverContract, OutOfRangeDepthModeChangesNothing) {
    driver->SetZBufferMode(ZBUFFER_NOWRITE);
    EXPECT_EQ(driver->SetZBufferMode(3), ZBUFFER_NOWRITE);
    EXPECT_EQ(driver->zbufferMode, ZBUFFER_NOWRITE);
}

TEST_P(DriverContract, LVertexAndTLVertexDrawsRestoreLighting) {
    LVERTEX l[3] = {L(0, 0, 5), L(1, 0, 5), L(0, 1, 5)};
    TLVERTEX t[3] = {T(0, 0), T(10, 0), T(0, 10)};
    uint16_t idx[3] = {0, 1, 2};
    driver->DrawList(l, 3);
    EXPECT_EQ(driver->lighting, 1);
    driver->DrawIndexedList(t, 3, idx, 3);
    EXPECT_EQ(driver->lighting, 1);
    // While lighting is off it stays off: the draw must not switch it on.
    EXPECT_TRUE(driver->SetLighting(false));
    driver->DrawStrip(l, 3);
    driver->DrawLines(t, 2);
    EXPECT_EQ(driver->lighting, 0);
    EXPECT_FALSE(driver->SetLighting(true));
}

TEST_P(DriverContract, CreateLightReturnsConsecutiveIndices) {
    int first = driver->CreateLight(Directional(1, 1, 1));
    int second = driver->CreateLight(Directional(0.5f, 0, 0));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(driver->SetLight(first, Directional(0, 1, 0)));
    driver->EnableLight(second, false);
}

TEST_P(DriverContract, ProjectionMatrixIsTheDirect3DForm) {
    const float fov = 1.2f, aspect = 0.75f, zn = 2.0f, zf = 500.0f;
    driver->SetProjection(fov, aspect, zn, zf);
    MATRIX p;
    driver->GetProjectionMatrix(&p);
    const float k = std::cos(fov / 2) / std::sin(fov / 2);
    const float q = zf / (zf - zn);
    for (int i = 0; i < 16; ++i) {
        float expected = 0;
        if (i == 0) expected = aspect * k;
        if (i == 5) expected = k;
        if (i == 10) expected = q;
        if (i == 11) expected = 1;
        if (i == 14) expected = -q * zn;
        EXPECT_FLOAT_EQ(p.m[i], expected) << "element " << i;
    }
}

TEST_P(DriverContract, MatricesAreCopiedInAndOut) {
    MATRIX world = Translation(1, 2, 3);
    MATRIX view = Translation(-4, 5, 6);
    driver->SetWorldMatrix(&world);
    driver->SetViewMatrix(&view);
    world.m[12] = 99;  // the driver keeps its own copy
    MATRIX out;
    driver->GetWorldMatrix(&out);
    EXPECT_FLOAT_EQ(out.m[12], 1);
    EXPECT_FLOAT_EQ(out.m[14], 3);
    driver->GetViewMatrix(&out);
    EXPECT_FLOAT_EQ(out.m[12], -4);
    EXPECT_FLOAT_EQ(out.m[15], 1);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverContract,
                         ::testing::Values(DriverKind{"Recording", MakeRecording},
                                           DriverKind{"OpenGL", MakeOpenGL}),
                         [](const ::testing::TestParamInfo<DriverKind>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// What the test double adds: the call log and draw records other tests read.

TEST(RecordingDriver, RecordsCallsAndTheStateOfEachDraw) {
    RecordingDriver d;
    TLVERTEX t[4] = {T(0, 0), T(10, 0), T(0, 10), T(10, 10)};
    d.SetTexture("textures\\interface\\pointer01.bmp");
    d.SetCullMode(CULL_NONE);
    d.SetAlphaBlending(true);
    d.SetBlendMode(BLEND_ADDITIVE);
    d.DrawStrip(t, 4);
    ASSERT_EQ(d.draws.size(), 1u);
    const DrawRecord& r = d.draws[0];
    EXPECT_EQ(r.format, VertexFormat::kTLVertex);
    EXPECT_EQ(r.primitive, Primitive::kStrip);
    EXPECT_EQ(r.tlvertex.size(), 4u);
    EXPECT_EQ(r.texture, "textures\\interface\\pointer01.bmp");
    EXPECT_FALSE(r.lighting);
    EXPECT_TRUE(r.alphaBlending);
    EXPECT_EQ(r.blend_mode, BLEND_ADDITIVE);
    // Like the OpenGL driver, culling is back on after a TLVERTEX draw.
    EXPECT_EQ(d.cull_mode, CULL_CCW);
    EXPECT_EQ(d.FindCall("DrawStrip(TLVERTEX,4)"), 4);
    EXPECT_EQ(d.CountCalls("Set"), 4);
    // Switching blending on resets the blend function.
    d.SetAlphaBlending(false);
    d.SetAlphaBlending(true);
    EXPECT_EQ(d.blend_mode, BLEND_ALPHA);
    EXPECT_EQ(d.device_changes, 3);
}

TEST(RecordingDriver, DrawBoxIsAnUntexturedLineListOf24) {
    RecordingDriver d;
    d.SetTexture("a.bmp");
    const float box[6] = {-1, -2, -3, 1, 2, 3};
    EXPECT_TRUE(d.DrawBox(box));
    ASSERT_EQ(d.draws.size(), 1u);
    EXPECT_EQ(d.draws[0].primitive, Primitive::kLines);
    EXPECT_EQ(d.draws[0].vertex.size(), 24u);
    EXPECT_EQ(d.draws[0].texture, "");
    // Every corner appears in exactly three edges.
    int corner = 0;
    for (const VERTEX& v : d.draws[0].vertex)
        if (v.x == 1 && v.y == 2 && v.z == 3) ++corner;
    EXPECT_EQ(corner, 3);
}

TEST(RecordingDriver, TexturesCanBeMadeToFail) {
    RecordingDriver d;
    d.failing_textures.insert("bad.bmp");
    EXPECT_FALSE(d.GenerateTexture("bad.bmp", nullptr));
    EXPECT_TRUE(d.GenerateTexture("good.bmp", "good_a.bmp"));
    ASSERT_EQ(d.generated.size(), 1u);
    EXPECT_EQ(d.generated[0].second, "good_a.bmp");
    EXPECT_EQ(d.calls[0], "GenerateTexture(bad.bmp,null)");
}
