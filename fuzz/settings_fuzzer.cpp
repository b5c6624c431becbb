// The settings file: parsed as start-up parses "z1.ini" under the base path,
// then used as the game uses it first: the player camera from the field of
// view and the two back planes.
#include <cstddef>
#include <cstdint>

#include "camera/playercamera.h"
#include "fuzz_common.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    fuzz::WriteFile("z1.ini", data, size);
    Settings* shared = g_settings;
    Settings settings;
    settings.Parse("z1.ini");
    settings.write_log = 1;
    g_settings = &settings;
    {
        PlayerCamera camera(settings.fovRadians, settings.back_plane);
        camera.LookAt(VECTOR(0, 100, 0), VECTOR(100, 100, 100), 0.0f);
        camera.UpdateFrustum();
        camera.SetFarPlane(settings.dungeon_back_plane);
        camera.UpdateFrustum();
    }
    g_settings = shared;
    return 0;
}
