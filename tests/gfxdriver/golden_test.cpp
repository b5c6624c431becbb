// Whole frames rendered by the OpenGL driver compared with reference
// pictures in tests/data/gfx (a small per-channel tolerance absorbs
// rasteriser rounding). ZENDAR_UPDATE_GOLDEN=1 rewrites the references.
// The scenes are in golden_scenes.h, shared with the DirectX 7 driver's test.
#include <gtest/gtest.h>

#include <string>

#include "common/golden_image.h"
#include "gl_fixture.h"
#include "golden_scenes.h"

namespace {

void CompareWithReference(const std::string& name, int width, int height) {
    test_common::CompareFrameWithReference(
        std::string(ZENDAR_SOURCE_DIR) + "/tests/data/gfx/" + name + ".png", name, name + "_actual.png",
        width, height);
}

class GoldenImage : public ::testing::TestWithParam<bool> {
protected:
    // Both drawing paths of the driver must give the same pictures.
    std::unique_ptr<OpenGLDriverSDL> Driver() {
        auto d = MakeGLDriver();
        if (d) d->use_vertex_arrays = GetParam();
        return d;
    }
};

}  // namespace

TEST_P(GoldenImage, LitFoggedVertexGeometry) {
    auto d = Driver();
    ASSERT_TRUE(d);
    golden_scenes::LitFog(d.get());
    CompareWithReference("lit_fog", 1024, 768);
}

TEST_P(GoldenImage, LVertexCullDepthAndWireframeModes) {
    auto d = Driver();
    ASSERT_TRUE(d);
    golden_scenes::LVertexModes(d.get());
    CompareWithReference("lvertex_modes", 1024, 768);
}

TEST_P(GoldenImage, TLVertexWithAlphaMappedTexture) {
    TempFolder folder("golden");
    SetBasePath(folder.path().c_str());
    golden_scenes::WriteStripes(folder.path());
    auto d = Driver();
    ASSERT_TRUE(d);
    golden_scenes::TLVertexAlpha(d.get());
    CompareWithReference("tlvertex_alpha", 1024, 768);
    SetBasePath(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Paths, GoldenImage, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "VertexArrays" : "Immediate");
                         });
