// The sky drawn by the OpenGL driver at noon and at midnight, compared with
// reference pictures in tests/data/sky (a small per-channel tolerance absorbs
// rasteriser rounding). ZENDAR_UPDATE_GOLDEN=1 rewrites the references.
// The scene is in sky_scene.h, shared with the DirectX 7 driver's test.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "common/golden_image.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "sky_scene.h"

namespace {

void RenderSkyAt(int timeOfDay, const char* name) {
    std::string base = ::testing::TempDir() + "zendar_skygold_" + std::to_string(::getpid()) + "/";
    ::mkdir(base.c_str(), 0755);
    sky_scene::MakeGameFolder(base);
    static SDL_Window* window = OpenGLDriverSDLCreateWindow("sky tests", true);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    std::unique_ptr<OpenGLDriverSDL> driver(new OpenGLDriverSDL());
    ASSERT_TRUE(driver->Init(nullptr, window));
    sky_scene::Draw(driver.get(), base, timeOfDay);
    test_common::CompareFrameWithReference(
        std::string(ZENDAR_SOURCE_DIR) + "/tests/data/sky/" + name + ".png", name,
        std::string("sky_") + name + "_actual.png", driver->width, driver->height);
    driver->Shutdown();
    std::string cmd = "rm -rf '" + base + "'";
    (void)std::system(cmd.c_str());
}

}  // namespace

TEST(SkyGolden, Noon) { RenderSkyAt(12000, "noon"); }
TEST(SkyGolden, Midnight) { RenderSkyAt(0, "midnight"); }
