// z1tool model import at the game's size: the size it wrote is said, --scale
// multiplies every length and --height makes the model's largest extent that
// many units, checked on the vertices of the file written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/run_program.h"
#include "model_helpers.h"
#include "models/z1model/z1file.h"

namespace {

const std::string kWuson = "/usr/share/assimp/models/OBJ/WusonOBJ.obj";

class ImportScale : public test_common::Z1toolTest<model_test::TempDir> {};

// The extents of every vertex of the written model, in x, y and z.
bool WrittenSize(const std::string& path, float size[3]) {
    Z1Scene s;
    if (Z1ReadPath(path.c_str(), s) != Z1_READ_OK) return false;
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (const Z1GeomObject& o : s.objects)
        for (const Z1MeshList& l : o.meshLists)
            for (const Z1Mesh& m : l.meshes)
                for (const VERTEX& v : m.vertices) {
                    const float p[3] = {v.x, v.y, v.z};
                    for (int i = 0; i < 3; ++i) {
                        lo[i] = std::min(lo[i], p[i]);
                        hi[i] = std::max(hi[i], p[i]);
                    }
                }
    for (int i = 0; i < 3; ++i) size[i] = hi[i] - lo[i];
    return true;
}

TEST_F(ImportScale, SaysTheSizeAndScalesByFactorOrHeight) {
    if (!test_common::FileExists(kWuson)) GTEST_SKIP() << "assimp-testmodels is not installed";
    struct Case {
        std::string options;
        float factor;  // against the model as it comes
    };
    float plain[3] = {0, 0, 0};
    for (const Case& c : {Case{"", 1.0f}, Case{"--scale 100", 100.0f}, Case{"--height 180", 0.0f}}) {
        SCOPED_TRACE(c.options);
        test_common::ProgramRun r =
            test_common::RunZ1tool("model import " + c.options + " " + kWuson + " z1/wuson.z1", dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        float size[3];
        ASSERT_TRUE(WrittenSize(dir / "z1/wuson.z1", size));
        if (c.options.empty()) std::copy(size, size + 3, plain);
        const float factor = c.factor > 0.0f ? c.factor : 180.0f / *std::max_element(plain, plain + 3);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(size[i], plain[i] * factor, plain[i] * factor * 1e-4f) << i;
        // The line that says it, in the numbers of the file.
        char said[160];
        std::snprintf(said, sizeof said, "z1/wuson.z1: %.1f x %.1f x %.1f units (x, y, z), scaled by %g\n",
                      size[0], size[1], size[2], factor);
        EXPECT_NE(r.out.find(said), std::string::npos) << r.out;
    }
    EXPECT_NEAR(plain[1], 1.5f, 0.05f) << "the figure is 1.5 units tall as it comes";

    for (const char* bad :
         {"--scale 2 --height 3", "--scale 1 --height 3", "--scale -1", "--height x", "--scale"}) {
        test_common::ProgramRun r = test_common::RunZ1tool(
            std::string("model import ") + bad + " " + kWuson + " z1/bad.z1", dir.path());
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_FALSE(test_common::FileExists(dir / "z1/bad.z1")) << bad;
    }
}

}  // namespace
