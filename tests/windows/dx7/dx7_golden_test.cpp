// The frames of the OpenGL driver's reference pictures drawn by Dx7Driver
// under Wine, compared with those pictures. Both drivers end in the same
// rasteriser here (Wine draws Direct3D with OpenGL), so what differs is what
// the drivers do differently: Direct3D's point lights fall off where
// OpenGL's do not, its texel centres and clamping differ by half a texel, and
// the OpenGL driver draws the whole screen-space layer 20 rows lower.
#include <gtest/gtest.h>

#include <string>

#include "common/log_capture.h"
#include "common/test_files.h"
#include "dx7_fixture.h"
#include "gfxdriver/golden_scenes.h"
#include "models/models_scene.h"
#include "utility/basepath.h"
#include "world/sky_scene.h"

namespace {

using dx7_test::CompareBackBuffer;
using dx7_test::MakeDriver;
using dx7_test::Reference;
using dx7_test::Tolerance;

// The screen-space layer of the OpenGL driver sits this many rows lower.
const int kLayerShift = 20;
const Tolerance kTolerance = {32, 0.002};

class StillClock : public ClockSource {
public:
    float Seconds() override { return 1.0f; }
    uint32_t Milliseconds() override { return 1000; }
};

}  // namespace

TEST(Dx7Golden, LitFoggedVertexGeometry) {
    test_common::LogCapture log;
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    golden_scenes::LitFog(d.get());
    CompareBackBuffer(d.get(), Reference("gfx/lit_fog.png"), "lit_fog", kTolerance);
}

TEST(Dx7Golden, LVertexCullDepthAndWireframeModes) {
    test_common::LogCapture log;
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    golden_scenes::LVertexModes(d.get());
    CompareBackBuffer(d.get(), Reference("gfx/lvertex_modes.png"), "lvertex_modes", kTolerance);
}

TEST(Dx7Golden, TLVertexWithAlphaMappedTexture) {
    test_common::LogCapture log;
    test_common::TempDir folder("dx7gold", true);
    golden_scenes::WriteStripes(folder.path() + "/");
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    golden_scenes::TLVertexAlpha(d.get());
    CompareBackBuffer(d.get(), Reference("gfx/tlvertex_alpha.png"), "tlvertex_alpha", kTolerance, 0,
                      kLayerShift, 768 - kLayerShift);
}

TEST(Dx7Golden, ModelsFrame) {
    test_common::TempDir dir("dx7models", true);
    test_common::LogCapture log;
    models_scene::WriteFiles(dir.path());
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    StillClock clock;
    SetClockSource(&clock);
    GfxDriver* saved = g_gfxdriver;
    g_gfxdriver = d.get();
    models_scene::Draw(d.get());
    g_gfxdriver = saved;
    SetClockSource(nullptr);
    CompareBackBuffer(d.get(), Reference("models/models.png"), "models", kTolerance);
    EXPECT_FALSE(log.Has("ERROR")) << log.Text();
}

class Dx7SkyGolden : public ::testing::TestWithParam<int> {};

TEST_P(Dx7SkyGolden, Sky) {
    test_common::TempDir dir("dx7sky");
    const std::string base = dir.path() + "/";
    sky_scene::MakeGameFolder(base);
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    sky_scene::Draw(d.get(), base, GetParam());
    const std::string name = GetParam() == 0 ? "midnight" : "noon";
    CompareBackBuffer(d.get(), Reference("sky/" + name + ".png"), "sky_" + name, kTolerance);
}

INSTANTIATE_TEST_SUITE_P(TimesOfDay, Dx7SkyGolden, ::testing::Values(12000, 0),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 0 ? "Midnight" : "Noon");
                         });
