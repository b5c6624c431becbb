// The engine's view of keyboard and mouse. A driver turns the device's
// buffered events into three things: per-key and per-button "down" state, a
// summed, scaled and clamped three-axis mouse position (z is the wheel), and
// callbacks bound per key code and per mouse button. Key codes are the
// DirectInput DIK_* scan codes 0..255 (input/dikeys.h) on every platform.
//
// The shell creates one driver and publishes it in g_inputdriver; the player
// update polls it once per frame with its movement flags as the context, so
// the key callbacks can set them.
#ifndef ZENDAR_INPUT_INPUTDRIVER_H
#define ZENDAR_INPUT_INPUTDRIVER_H

#include <cstdint>

// Handed to a key callback for every buffered key event.
struct KeyEvent {
    int32_t code;        // DIK_* key code
    uint32_t timestamp;  // milliseconds, the device's stamp
    uint8_t pressed;     // 1 went down, 0 went up
    void* context;       // the value given to UpdateKeyboard / Update
};

// Handed to a mouse-button callback for every buffered button event.
struct MouseButtonEvent {
    int32_t button;  // 0 left, 1 right, 2 middle, 3 fourth
    uint32_t timestamp;
    uint8_t pressed;
    double x, y, z;  // the mouse position after this event
};

typedef void (*KeyCallback)(KeyEvent* event);
typedef void (*MouseCallback)(MouseButtonEvent* event);

enum {
    INPUT_KEY_COUNT = 256,
    INPUT_MOUSE_BUTTONS = 4,
};

class InputDriver {
public:
    virtual ~InputDriver() {}

    virtual void ClearKeyboard() = 0;
    // Buttons up, position back to (0, 0, 0).
    virtual void ClearMouse() = 0;
    virtual void ClearAll() = 0;
    virtual void ReleaseKey(int key) = 0;
    virtual bool IsKeyDown(int key) = 0;
    virtual bool IsMouseButtonDown(int button) = 0;
    // True once per press: the latch is set by a press, cleared by a release
    // and by this query.
    virtual bool WasMouseButtonPressed(int button) = 0;
    // Out pointers may be null.
    virtual void GetMousePosition(double* x, double* y, double* z) = 0;
    virtual void SetMousePosition(double x, double y, double z) = 0;
    virtual void GetMouseRange(double* minX, double* maxX, double* minY, double* maxY, double* minZ,
                               double* maxZ) = 0;
    // Per axis: a minimum >= the maximum stores 0 for both and leaves the axis
    // unclamped; otherwise the axis is clamped to [minimum, maximum].
    virtual void SetMouseRange(double minX, double maxX, double minY, double maxY, double minZ,
                               double maxZ) = 0;
    virtual void GetMouseScale(double* x, double* y, double* z) = 0;
    virtual void SetMouseScale(double x, double y, double z) = 0;
    virtual void AcquireKeyboard() = 0;
    virtual void AcquireMouse() = 0;
    virtual void UnacquireKeyboard() = 0;
    virtual void UnacquireMouse() = 0;
    // Binding tables are exchanged whole: 256 key callbacks, 4 mouse
    // callbacks; null entries are unbound. A null table is refused (the Get
    // calls do nothing, the Set calls return false).
    virtual void GetKeyBindings(KeyCallback* table) = 0;
    virtual bool SetKeyBindings(const KeyCallback* table) = 0;
    virtual void GetMouseBindings(MouseCallback* table) = 0;
    virtual bool SetMouseBindings(const MouseCallback* table) = 0;
    // Buffered read and dispatch. False when the device could not be read
    // (lost or not acquired); the state is then unchanged. With a null
    // context the key states change but no key callback runs.
    virtual bool UpdateKeyboard(void* context) = 0;
    virtual bool UpdateMouse(void* context) = 0;
    // Both reads always run; true only if both succeed.
    virtual bool Update(void* context) = 0;
    // The motion of one read, with x and y unclamped for it; (0, 0, 0) when
    // a read fails.
    virtual void GetMouseDelta(double* dx, double* dy, double* dz) = 0;
};

// The process-wide driver; null until the shell creates it.
extern InputDriver* g_inputdriver;

#endif
