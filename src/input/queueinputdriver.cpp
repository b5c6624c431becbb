#include "input/queueinputdriver.h"

#include "input/inputerrors.h"
#include "utility/clock.h"

QueueInputDriver::QueueInputDriver(InputFeed* feed)
    : BufferedInputDriver(feed), keyboard(KEYBOARD_BUFFER_SIZE), mouse(MOUSE_BUFFER_SIZE) {
    keyboard.Acquire();
    mouse.Acquire();
}

QueueInputDriver::~QueueInputDriver() {}

bool QueueInputDriver::PushKey(int code, bool pressed) { return PushKey(code, pressed, ClockMilliseconds()); }

bool QueueInputDriver::PushKey(int code, bool pressed, uint32_t timestamp) {
    return PushKeyRecord(keyboard, code, pressed, timestamp);
}

bool QueueInputDriver::PushMouseMotion(int dx, int dy, int dz) {
    return PushMouseMotion(dx, dy, dz, ClockMilliseconds());
}

bool QueueInputDriver::PushMouseMotion(int dx, int dy, int dz, uint32_t timestamp) {
    return PushMotionRecords(mouse, dx, dy, dz, timestamp);
}

bool QueueInputDriver::PushMouseButton(int button, bool pressed) {
    return PushMouseButton(button, pressed, ClockMilliseconds());
}

bool QueueInputDriver::PushMouseButton(int button, bool pressed, uint32_t timestamp) {
    return PushButtonRecord(mouse, button, pressed, timestamp);
}

int32_t QueueInputDriver::ReadKeyboardData(DeviceRecord* records, uint32_t* count) {
    return keyboard.Read(records, count);
}

int32_t QueueInputDriver::ReadMouseData(DeviceRecord* records, uint32_t* count) {
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
