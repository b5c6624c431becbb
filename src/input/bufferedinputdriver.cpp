#include "input/bufferedinputdriver.h"

#include <cstring>

#include "input/inputerrors.h"
#include "utility/log.h"

InputDriver* g_inputdriver = nullptr;

BufferedInputDriver::BufferedInputDriver(InputFeed* feed)
    : feed_(feed), fedKeyboard_(KEYBOARD_BUFFER_SIZE), fedMouse_(MOUSE_BUFFER_SIZE) {
    // The feed's queues stay acquired: no focus comes or goes in a recording.
    fedKeyboard_.Acquire();
    fedMouse_.Acquire();
    std::memset(keyDown_, 0, sizeof keyDown_);
    std::memset(keyboardEvents_, 0, sizeof keyboardEvents_);
    for (KeyCallback& k : keyBindings_) k = nullptr;
    std::memset(buttonDown_, 0, sizeof buttonDown_);
    std::memset(buttonLatch_, 0, sizeof buttonLatch_);
    std::memset(mouseEvents_, 0, sizeof mouseEvents_);
    for (MouseCallback& m : mouseBindings_) m = nullptr;
    ClearMouse();
    for (int axis = 0; axis < 3; ++axis) {
        range_[axis][0] = range_[axis][1] = 0.0;
        clamp_[axis] = 0;
        scale_[axis] = 1.0;
    }
}

BufferedInputDriver::~BufferedInputDriver() {}

void BufferedInputDriver::ClearKeyboard() { std::memset(keyDown_, 0, sizeof keyDown_); }

void BufferedInputDriver::ClearMouse() {
    std::memset(buttonDown_, 0, sizeof buttonDown_);
    position_[0] = position_[1] = position_[2] = 0.0;
}

void BufferedInputDriver::ClearAll() {
    ClearKeyboard();
    ClearMouse();
}

void BufferedInputDriver::ReleaseKey(int key) {
    if (key >= 0 && key < INPUT_KEY_COUNT) keyDown_[key] = 0;
}

bool BufferedInputDriver::IsKeyDown(int key) { return key >= 0 && key < INPUT_KEY_COUNT && keyDown_[key]; }

bool BufferedInputDriver::IsMouseButtonDown(int button) {
    return button >= 0 && button < INPUT_MOUSE_BUTTONS && buttonDown_[button];
}

bool BufferedInputDriver::WasMouseButtonPressed(int button) {
    if (button < 0 || button >= INPUT_MOUSE_BUTTONS) return false;
    bool latched = buttonLatch_[button] != 0;
    buttonLatch_[button] = 0;
    return latched;
}

void BufferedInputDriver::GetMousePosition(double* x, double* y, double* z) {
    if (x) *x = position_[0];
    if (y) *y = position_[1];
    if (z) *z = position_[2];
}

void BufferedInputDriver::SetMousePosition(double x, double y, double z) {
    position_[0] = x;
    position_[1] = y;
    position_[2] = z;
}

void BufferedInputDriver::GetMouseRange(double* minX, double* maxX, double* minY, double* maxY, double* minZ,
                                        double* maxZ) {
    if (minX) *minX = range_[0][0];
    if (maxX) *maxX = range_[0][1];
    if (minY) *minY = range_[1][0];
    if (maxY) *maxY = range_[1][1];
    if (minZ) *minZ = range_[2][0];
    if (maxZ) *maxZ = range_[2][1];
}

void BufferedInputDriver::SetMouseRange(double minX, double maxX, double minY, double maxY, double minZ,
                                        double maxZ) {
    const double lows[3] = {minX, minY, minZ};
    const double highs[3] = {maxX, maxY, maxZ};
    for (int axis = 0; axis < 3; ++axis) {
        if (lows[axis] >= highs[axis]) {
            range_[axis][0] = range_[axis][1] = 0.0;
            clamp_[axis] = 0;
        } else {
            range_[axis][0] = lows[axis];
            range_[axis][1] = highs[axis];
            clamp_[axis] = 1;
        }
    }
}

void BufferedInputDriver::GetMouseScale(double* x, double* y, double* z) {
    if (x) *x = scale_[0];
    if (y) *y = scale_[1];
    if (z) *z = scale_[2];
}

void BufferedInputDriver::SetMouseScale(double x, double y, double z) {
    scale_[0] = x;
    scale_[1] = y;
    scale_[2] = z;
}

int32_t BufferedInputDriver::AcquireKeyboardSource() { return feed_ ? DI_OK : AcquireKeyboardDevice(); }

int32_t BufferedInputDriver::AcquireMouseSource() { return feed_ ? DI_OK : AcquireMouseDevice(); }

void BufferedInputDriver::AcquireKeyboard() {
    int32_t result = AcquireKeyboardSource();
    if (result < 0) LogLine("Error - could not reaquire kbd (%s).", InputErrorText(result).c_str());
}

void BufferedInputDriver::AcquireMouse() {
    int32_t result = AcquireMouseSource();
    if (result < 0) LogLine("Error - could not reaquire mouse (%s).", InputErrorText(result).c_str());
}

void BufferedInputDriver::UnacquireKeyboard() {
    if (!feed_) UnacquireKeyboardDevice();
}

void BufferedInputDriver::UnacquireMouse() {
    if (!feed_) UnacquireMouseDevice();
}

int32_t BufferedInputDriver::ReadKeyboard(DeviceRecord* records, uint32_t* count) {
    if (!feed_) return ReadKeyboardData(records, count);
    feed_->Pump(fedKeyboard_, fedMouse_);
    return fedKeyboard_.Read(records, count);
}

int32_t BufferedInputDriver::ReadMouse(DeviceRecord* records, uint32_t* count) {
    if (!feed_) return ReadMouseData(records, count);
    feed_->Pump(fedKeyboard_, fedMouse_);
    return fedMouse_.Read(records, count);
}

void BufferedInputDriver::GetKeyBindings(KeyCallback* table) {
    if (!table) return;
    for (int i = 0; i < INPUT_KEY_COUNT; ++i) table[i] = keyBindings_[i];
}

bool BufferedInputDriver::SetKeyBindings(const KeyCallback* table) {
    if (!table) return false;
    for (int i = 0; i < INPUT_KEY_COUNT; ++i) keyBindings_[i] = table[i];
    return true;
}

void BufferedInputDriver::GetMouseBindings(MouseCallback* table) {
    if (!table) return;
    for (int i = 0; i < INPUT_MOUSE_BUTTONS; ++i) table[i] = mouseBindings_[i];
}

bool BufferedInputDriver::SetMouseBindings(const MouseCallback* table) {
    if (!table) return false;
    for (int i = 0; i < INPUT_MOUSE_BUTTONS; ++i) mouseBindings_[i] = table[i];
    return true;
}

bool BufferedInputDriver::UpdateKeyboard(void* context) {
    // A derived driver may ask for a smaller buffer, never a larger one than
    // the records kept here.
    uint32_t count = static_cast<uint32_t>(keyboardBufferSize);
    if (count > KEYBOARD_BUFFER_SIZE) count = KEYBOARD_BUFFER_SIZE;
    int32_t result = ReadKeyboard(keyboardEvents_, &count);
    if (result == DI_BUFFEROVERFLOW)
        LogLine("WARNING: Keyboard buffer overflowed! (size %i, count %i)", keyboardBufferSize,
                static_cast<int>(count));
    else if (result != DI_OK)
        return false;
    if (count > KEYBOARD_BUFFER_SIZE) count = KEYBOARD_BUFFER_SIZE;
    if (count > keyboardHighWater_) keyboardHighWater_ = count;

    for (uint32_t i = 0; i < count; ++i) {
        const DeviceRecord& r = keyboardEvents_[i];
        if (r.offset >= INPUT_KEY_COUNT) {
            LogLine("WARNING: Key %i is invalid.", static_cast<int>(r.offset));
            continue;
        }
        uint8_t pressed = (r.data & kDevicePressed) ? 1 : 0;
        keyDown_[r.offset] = pressed;
        KeyCallback callback = keyBindings_[r.offset];
        if (callback && context) {
            KeyEvent event;
            event.code = static_cast<int32_t>(r.offset);
            event.timestamp = r.timestamp;
            event.pressed = pressed;
            event.context = context;
            callback(&event);
        }
    }
    return true;
}

void BufferedInputDriver::MoveAxis(int axis, int32_t counts) {
    position_[axis] += static_cast<double>(counts) * scale_[axis];
    if (clamp_[axis]) {
        if (position_[axis] < range_[axis][0]) position_[axis] = range_[axis][0];
        if (position_[axis] > range_[axis][1]) position_[axis] = range_[axis][1];
    }
}

bool BufferedInputDriver::UpdateMouse(void* context) {
    (void)context;  // mouse callbacks run whatever the context
    uint32_t count = static_cast<uint32_t>(mouseBufferSize);
    if (count > MOUSE_BUFFER_SIZE) count = MOUSE_BUFFER_SIZE;
    int32_t result = ReadMouse(mouseEvents_, &count);
    if (result == DI_BUFFEROVERFLOW)
        LogLine("WARNING: Mouse buffer overflowed! (size %i, count %i)", mouseBufferSize,
                static_cast<int>(count));
    else if (result != DI_OK)
        return false;
    if (count > MOUSE_BUFFER_SIZE) count = MOUSE_BUFFER_SIZE;
    if (count > mouseHighWater_) mouseHighWater_ = count;

    for (uint32_t i = 0; i < count; ++i) {
        const DeviceRecord& r = mouseEvents_[i];
        switch (r.offset) {
        case MOUSE_OFFSET_X:
        case MOUSE_OFFSET_Y:
        case MOUSE_OFFSET_Z: MoveAxis(static_cast<int>(r.offset / 4), static_cast<int32_t>(r.data)); break;
        case MOUSE_OFFSET_BUTTON0:
        case MOUSE_OFFSET_BUTTON0 + 1:
        case MOUSE_OFFSET_BUTTON0 + 2:
        case MOUSE_OFFSET_BUTTON3: {
            int b = static_cast<int>(r.offset - MOUSE_OFFSET_BUTTON0);
            uint8_t pressed = (r.data & kDevicePressed) ? 1 : 0;
            buttonDown_[b] = pressed;
            buttonLatch_[b] = pressed;
            if (MouseCallback callback = mouseBindings_[b]) {
                MouseButtonEvent event;
                event.button = b;
                event.timestamp = r.timestamp;
                event.pressed = pressed;
                event.x = position_[0];
                event.y = position_[1];
                event.z = position_[2];
                callback(&event);
            }
            break;
        }
        default: LogLine("WARNING: Invalid mousebutton %i!", static_cast<int>(r.offset)); break;
        }
    }
    return true;
}

bool BufferedInputDriver::Update(void* context) {
    bool keyboard = UpdateKeyboard(context);
    bool mouse = UpdateMouse(context);
    return keyboard && mouse;
}

void BufferedInputDriver::GetMouseDelta(double* dx, double* dy, double* dz) {
    double old[3] = {position_[0], position_[1], position_[2]};
    uint8_t clamp_x = clamp_[0], clamp_y = clamp_[1];
    clamp_[0] = clamp_[1] = 0;
    bool keyboard = UpdateKeyboard(nullptr);
    bool mouse = UpdateMouse(nullptr);
    double d[3] = {0.0, 0.0, 0.0};
    if (keyboard && mouse)
        for (int axis = 0; axis < 3; ++axis) d[axis] = position_[axis] - old[axis];
    clamp_[0] = clamp_x;
    clamp_[1] = clamp_y;
    if (dx) *dx = d[0];
    if (dy) *dy = d[1];
    if (dz) *dz = d[2];
}
