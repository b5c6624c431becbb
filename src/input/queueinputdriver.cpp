#include "input/queueinputdriver.h"

#include "input/inputerrors.h"
#include "utility/clock.h"

QueueInputDriver::QueueInputDriver() : keyboard(KEYBOARD_BUFFER_SIZE), mouse(MOUSE_BUFFER_SIZE) {
    keyboard.Acquire();
    mouse.Acquire();
}

QueueInputDriver::~QueueInputDriver() {}

bool QueueInputDriver::PushKey(int code, bool pressed) { return PushKey(code, pressed, ClockMilliseconds()); }

bool QueueInputDriver::PushKey(int code, bool pressed, uint32_t timestamp) {
    if (code < 0 || code >= INPUT_KEY_COUNT) return false;
    return keyboard.Push(static_cast<uint32_t>(code), pressed ? kDevicePressed : 0, timestamp);
}

bool QueueInputDriver::PushMouseMotion(int dx, int dy, int dz) {
    return PushMouseMotion(dx, dy, dz, ClockMilliseconds());
}

bool QueueInputDriver::PushMouseMotion(int dx, int dy, int dz, uint32_t timestamp) {
    bool all = true;
    if (dx) all = mouse.Push(MOUSE_OFFSET_X, static_cast<uint32_t>(dx), timestamp) && all;
    if (dy) all = mouse.Push(MOUSE_OFFSET_Y, static_cast<uint32_t>(dy), timestamp) && all;
    if (dz) all = mouse.Push(MOUSE_OFFSET_Z, static_cast<uint32_t>(dz), timestamp) && all;
    return all;
}

bool QueueInputDriver::PushMouseButton(int button, bool pressed) {
    return PushMouseButton(button, pressed, ClockMilliseconds());
}

bool QueueInputDriver::PushMouseButton(int button, bool pressed, uint32_t timestamp) {
    if (button < 0 || button >= INPUT_MOUSE_BUTTONS) return false;
    return mouse.Push(MOUSE_OFFSET_BUTTON0 + static_cast<uint32_t>(button), pressed ? kDevicePressed : 0,
                      timestamp);
}

int32_t QueueInputDriver::ReadKeyboardData(DeviceRecord* records, uint32_t* count) {
    PumpEvents();
    return keyboard.Read(records, count);
}

int32_t QueueInputDriver::ReadMouseData(DeviceRecord* records, uint32_t* count) {
    PumpEvents();
    return mouse.Read(records, count);
}

int32_t QueueInputDriver::AcquireKeyboardDevice() {
    keyboard.Acquire();
    return DI_OK;
}

int32_t QueueInputDriver::AcquireMouseDevice() {
    mouse.Acquire();
    return DI_OK;
}

void QueueInputDriver::UnacquireKeyboardDevice() { keyboard.Unacquire(); }

void QueueInputDriver::UnacquireMouseDevice() { mouse.Unacquire(); }
