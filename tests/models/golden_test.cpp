// Three models written by the model writer, loaded as the game loads them and
// drawn by the OpenGL driver in one frame, compared with a reference picture
// in tests/data/models (a small per-channel tolerance absorbs rasteriser
// rounding). ZENDAR_UPDATE_GOLDEN=1 rewrites the reference. The scene is in
// models_scene.h, shared with the DirectX 7 driver's test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "common/golden_image.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "model_helpers.h"
#include "models_scene.h"
#include "utility/clock.h"

namespace {

using model_test::LogCapture;
using model_test::TempDir;

class ManualClock : public ClockSource {
public:
    float Seconds() override { return 1.0f; }
    uint32_t Milliseconds() override { return 1000; }
};

void CompareWithReference(const std::string& name, int width, int height) {
    test_common::CompareFrameWithReference(
        std::string(ZENDAR_SOURCE_DIR) + "/tests/data/models/" + name + ".png", name,
        "models_" + name + "_actual.png", width, height);
}

}  // namespace

TEST(ModelGolden, TexturedTransparentAndEnvironmentMapped) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display (the suite runs under xvfb-run)";
    static SDL_Window* window = OpenGLDriverSDLCreateWindow("model tests", true);
    ASSERT_NE(window, nullptr) << SDL_GetError();

    TempDir dir;
    LogCapture log(dir / "log.txt");
    models_scene::WriteFiles(dir.path());

    ManualClock clock;
    std::unique_ptr<OpenGLDriverSDL> driver(new OpenGLDriverSDL());
    ASSERT_TRUE(driver->Init(nullptr, window));
    // Put back on every way out, a failed assertion included.
    struct Restore {
        GfxDriver* driver = g_gfxdriver;
        OpenGLDriverSDL* own;
        ~Restore() {
            g_gfxdriver = driver;
            SetClockSource(nullptr);
            own->Shutdown();
        }
    } restore{g_gfxdriver, driver.get()};
    SetClockSource(&clock);
    g_gfxdriver = driver.get();
    models_scene::Draw(driver.get());
    CompareWithReference("models", driver->width, driver->height);
    EXPECT_FALSE(log.Has("ERROR")) << log.Text();
}
