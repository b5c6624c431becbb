#include "input/bufferedinputdriver.h"

#include <cstring>

#include "input/inputerrors.h"
#include "utility/log.h"

InputDriver* g_inputdriver = nullptr;

BufferedInputDriver::BufferedInputDriver() {
    std::memset(key_down, 0, sizeof key_down);
    std::memset(keyboard_events, 0, sizeof keyboard_events);
    for (KeyCallback& k : key_bindings) k = nullptr;
    std::memset(button_down, 0, sizeof button_down);
    std::memset(button_latch, 0, sizeof button_latch);
    std::memset(mouse_events, 0, sizeof mouse_events);
    for (MouseCallback& m : mouse_bindings) m = nullptr;
    ClearMouse();
    for (int axis = 0; axis < 3; ++axis) {
        range[axis][0] = range[axis][1] = 0.0;
        clamp[axis] = 0;
        scale[axis] = 1.0;
    }
}

BufferedInputDriver::~BufferedInputDriver() {}

void BufferedInputDriver::ClearKeyboard() { std::memset(key_down, 0, sizeof key_down); }

void BufferedInputDriver::ClearMouse() {
    std::memset(button_down, 0, sizeof button_down);
    position[0] = position[1] = position[2] = 0.0;
}

void BufferedInputDriver::ClearAll() {
    ClearKeyboard();
    ClearMouse();
}

void BufferedInputDriver::ReleaseKey(int key) {
    if (key >= 0 && key < INPUT_KEY_COUNT) key_down[key] = 0;
}

bool BufferedInputDriver::IsKeyDown(int key) { return key >= 0 && key < INPUT_KEY_COUNT && key_down[key]; }

bool BufferedInputDriver::IsMouseButtonDown(int button) {
    return button >= 0 && button < INPUT_MOUSE_BUTTONS && button_down[button];
}

bool BufferedInputDriver::WasMouseButtonPressed(int button) {
    if (button < 0 || button >= INPUT_MOUSE_BUTTONS) return false;
    bool latched = button_latch[button] != 0;
    button_latch[button] = 0;
    return latched;
}

void BufferedInputDriver::GetMousePosition(double* x, double* y, double* z) {
    if (x) *x = position[0];
    if (y) *y = position[1];
    if (z) *z = position[2];
}

void BufferedInputDriver::SetMousePosition(double x, double y, double z) {
    position[0] = x;
    position[1] = y;
    position[2] = z;
}

void BufferedInputDriver::GetMouseRange(double* minX, double* maxX, double* minY, double* maxY, double* minZ,
                                        double* maxZ) {
    if (minX) *minX = range[0][0];
    if (maxX) *maxX = range[0][1];
    if (minY) *minY = range[1][0];
    if (maxY) *maxY = range[1][1];
    if (minZ) *minZ = range[2][0];
    if (maxZ) *maxZ = range[2][1];
}

void BufferedInputDriver::SetMouseRange(double minX, double maxX, double minY, double maxY, double minZ,
                                        double maxZ) {
    const double lows[3] = {minX, minY, minZ};
    const double highs[3] = {maxX, maxY, maxZ};
    for (int axis = 0; axis < 3; ++axis) {
        if (lows[axis] >= highs[axis]) {
            range[axis][0] = range[axis][1] = 0.0;
            clamp[axis] = 0;
        } else {
            range[axis][0] = lows[axis];
            range[axis][1] = highs[axis];
            clamp[axis] = 1;
        }
    }
}

void BufferedInputDriver::GetMouseScale(double* x, double* y, double* z) {
    if (x) *x = scale[0];
    if (y) *y = scale[1];
    if (z) *z = scale[2];
}

void BufferedInputDriver::SetMouseScale(double x, double y, double z) {
    scale[0] = x;
    scale[1] = y;
    scale[2] = z;
}

void BufferedInputDriver::AcquireKeyboard() {
    int32_t result = AcquireKeyboardDevice();
    if (result < 0) LogLine("Error - could not reaquire kbd (%s).", InputErrorText(result).c_str());
}

void BufferedInputDriver::AcquireMouse() {
    int32_t result = AcquireMouseDevice();
    if (result < 0) LogLine("Error - could not reaquire mouse (%s).", InputErrorText(result).c_str());
}

void BufferedInputDriver::UnacquireKeyboard() { UnacquireKeyboardDevice(); }

void BufferedInputDriver::UnacquireMouse() { UnacquireMouseDevice(); }

void BufferedInputDriver::GetKeyBindings(KeyCallback* table) {
    if (!table) return;
    for (int i = 0; i < INPUT_KEY_COUNT; ++i) table[i] = key_bindings[i];
}

bool BufferedInputDriver::SetKeyBindings(const KeyCallback* table) {
    if (!table) return false;
    for (int i = 0; i < INPUT_KEY_COUNT; ++i) key_bindings[i] = table[i];
    return true;
}

void BufferedInputDriver::GetMouseBindings(MouseCallback* table) {
    if (!table) return;
    for (int i = 0; i < INPUT_MOUSE_BUTTONS; ++i) table[i] = mouse_bindings[i];
}

bool BufferedInputDriver::SetMouseBindings(const MouseCallback* table) {
    if (!table) return false;
    for (int i = 0; i < INPUT_MOUSE_BUTTONS; ++i) mouse_bindings[i] = table[i];
    return true;
}

bool BufferedInputDriver::UpdateKeyboard(void* context) {
    // A derived driver may ask for a smaller buffer, never a larger one than
    // the records kept here.
    uint32_t count = static_cast<uint32_t>(keyboard_buffer_size);
    if (count > KEYBOARD_BUFFER_SIZE) count = KEYBOARD_BUFFER_SIZE;
    int32_t result = ReadKeyboardData(keyboard_events, &count);
    if (result == DI_BUFFEROVERFLOW)
        LogLine("WARNING: Keyboard buffer overflowed! (size %i, count %i)", keyboard_buffer_size,
                static_cast<int>(count));
    else if (result != DI_OK)
        return false;
    if (count > KEYBOARD_BUFFER_SIZE) count = KEYBOARD_BUFFER_SIZE;
    if (count > keyboard_high_water) keyboard_high_water = count;

    for (uint32_t i = 0; i < count; ++i) {
        const DeviceRecord& r = keyboard_events[i];
        if (r.offset >= INPUT_KEY_COUNT) {
            LogLine("WARNING: Key %i is invalid.", static_cast<int>(r.offset));
            continue;
        }
        uint8_t pressed = (r.data & kDevicePressed) ? 1 : 0;
        key_down[r.offset] = pressed;
        KeyCallback callback = key_bindings[r.offset];
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
    position[axis] += static_cast<double>(counts) * scale[axis];
    if (clamp[axis]) {
        if (position[axis] < range[axis][0]) position[axis] = range[axis][0];
        if (position[axis] > range[axis][1]) position[axis] = range[axis][1];
    }
}

bool BufferedInputDriver::UpdateMouse(void* context) {
    (void)context;  // mouse callbacks run whatever the context
    uint32_t count = static_cast<uint32_t>(mouse_buffer_size);
    if (count > MOUSE_BUFFER_SIZE) count = MOUSE_BUFFER_SIZE;
    int32_t result = ReadMouseData(mouse_events, &count);
    if (result == DI_BUFFEROVERFLOW)
        LogLine("WARNING: Mouse buffer overflowed! (size %i, count %i)", mouse_buffer_size,
                static_cast<int>(count));
    else if (result != DI_OK)
        return false;
    if (count > MOUSE_BUFFER_SIZE) count = MOUSE_BUFFER_SIZE;
    if (count > mouse_high_water) mouse_high_water = count;

    for (uint32_t i = 0; i < count; ++i) {
        const DeviceRecord& r = mouse_events[i];
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
            button_down[b] = pressed;
            button_latch[b] = pressed;
            if (MouseCallback callback = mouse_bindings[b]) {
                MouseButtonEvent event;
                event.button = b;
                event.timestamp = r.timestamp;
                event.pressed = pressed;
                event.x = position[0];
                event.y = position[1];
                event.z = position[2];
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
    double old[3] = {position[0], position[1], position[2]};
    uint8_t clamp_x = clamp[0], clamp_y = clamp[1];
    clamp[0] = clamp[1] = 0;
    bool keyboard = UpdateKeyboard(nullptr);
    bool mouse = UpdateMouse(nullptr);
    double d[3] = {0.0, 0.0, 0.0};
    if (keyboard && mouse)
        for (int axis = 0; axis < 3; ++axis) d[axis] = position[axis] - old[axis];
    clamp[0] = clamp_x;
    clamp[1] = clamp_y;
    if (dx) *dx = d[0];
    if (dy) *dy = d[1];
    if (dz) *dz = d[2];
}
