// The day cycle: "daycycle.ini" read as the world reads it when it starts,
// then a day and a night of the world's frames with a weather fade, the sky
// drawn around the camera with its sun glow and lens flare.
#include <cstddef>
#include <cstdint>
#include <string>

#include "camera/playercamera.h"
#include "fuzz_common.h"
#include "world/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    static PlayerCamera* camera = nullptr;
    if (!camera) camera = new PlayerCamera(1.5707964f, 5000);
    std::string path = fuzz::WriteFile("daycycle.ini", data, size);
    World world;
    world.Initialise(path.c_str());
    world.FadeWeather(100, 6000);
    const VECTOR eye(0.0f, 80.0f, 0.0f);
    fuzz::FuzzDriver& driver = fuzz::Driver();
    for (int step = 0; step < 8; ++step) {
        world.AddTime(3000);
        const VECTOR dir = step % 2 ? world.sky.sunDirection : VECTOR(1.0f, 0.2f, 0.0f);
        camera->LookAt(eye, eye + dir, 0.0f);
        camera->UpdateFrustum();
        driver.SetViewMatrix(&camera->view);
        driver.BeginScene();
        world.RenderWorld(eye, dir, camera->frustum);
        world.sky.DrawSunGlow(eye);
        world.sky.DrawLensFlare(eye, dir);
        driver.EndScene();
        fuzz::NextFrame();
    }
    return 0;
}
