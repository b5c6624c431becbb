#include "camera/mousemode.h"

#include <cstdint>

#include "input/inputdriver.h"
#include "settings/settings.h"
#include "world/world.h"

namespace {

constexpr double kLookLimit = 3.14159265;
constexpr double kScreenWidth = 640.0;
constexpr double kScreenHeight = 480.0;

double s_lastLook[3] = {0.0, 0.0, 0.0};
// The mode while no world exists.
int s_mode = MOUSE_LOOK;

}  // namespace

int GetMouseMode() { return g_world ? g_world->mouseMode : s_mode; }

void GetLastLookPosition(double* x, double* y, double* z) {
    if (x) *x = s_lastLook[0];
    if (y) *y = s_lastLook[1];
    if (z) *z = s_lastLook[2];
}

void ResetMouseModes() {
    s_lastLook[0] = s_lastLook[1] = s_lastLook[2] = 0.0;
    s_mode = MOUSE_LOOK;
}

void SetMouseMode(int mode) {
    if (GetMouseMode() == MOUSE_LOOK && g_inputdriver)
        g_inputdriver->GetMousePosition(&s_lastLook[0], &s_lastLook[1], &s_lastLook[2]);
    if (g_world) g_world->mouseMode = static_cast<uint8_t>(mode);
    s_mode = mode;
    if (!g_inputdriver) return;

    double speedX = g_settings ? g_settings->mouse_speed_x : 0.0;
    double speedY = g_settings ? g_settings->mouse_speed_y : 0.0;
    if (mode == MOUSE_LOOK) {
        g_inputdriver->SetMouseRange(0.0, 0.0, -kLookLimit, kLookLimit, 0.0, 0.0);
        g_inputdriver->SetMouseScale(speedX * -0.001, speedY * 0.001, 0.0);
        g_inputdriver->SetMousePosition(s_lastLook[0], s_lastLook[1], s_lastLook[2]);
    } else if (mode == MOUSE_POINTER) {
        g_inputdriver->SetMouseRange(0.0, kScreenWidth, 0.0, kScreenHeight, 0.0, 0.0);
        g_inputdriver->SetMouseScale(speedX * 0.2, speedY * 0.2, 0.0);
    }
}
