// The part of an input driver that does not depend on the device layer: the
// key and button state, the mouse position with its scale and clamping, the
// binding tables and the dispatch of buffered events. A platform driver
// derives from it and supplies the buffered reads and the acquire calls, in
// DirectInput's result codes (input/inputerrors.h).
#ifndef ZENDAR_INPUT_BUFFEREDINPUTDRIVER_H
#define ZENDAR_INPUT_BUFFEREDINPUTDRIVER_H

#include <cstdint>

#include "input/devicequeue.h"
#include "input/inputdriver.h"

enum {
    KEYBOARD_BUFFER_SIZE = 15,
    MOUSE_BUFFER_SIZE = 30,
};

class BufferedInputDriver : public InputDriver {
public:
    BufferedInputDriver();
    ~BufferedInputDriver() override;

    void ClearKeyboard() override;
    void ClearMouse() override;
    void ClearAll() override;
    void ReleaseKey(int key) override;
    bool IsKeyDown(int key) override;
    bool IsMouseButtonDown(int button) override;
    bool WasMouseButtonPressed(int button) override;
    void GetMousePosition(double* x, double* y, double* z) override;
    void SetMousePosition(double x, double y, double z) override;
    void GetMouseRange(double* minX, double* maxX, double* minY, double* maxY, double* minZ,
                       double* maxZ) override;
    void SetMouseRange(double minX, double maxX, double minY, double maxY, double minZ, double maxZ) override;
    void GetMouseScale(double* x, double* y, double* z) override;
    void SetMouseScale(double x, double y, double z) override;
    void AcquireKeyboard() override;
    void AcquireMouse() override;
    void UnacquireKeyboard() override;
    void UnacquireMouse() override;
    void GetKeyBindings(KeyCallback* table) override;
    bool SetKeyBindings(const KeyCallback* table) override;
    void GetMouseBindings(MouseCallback* table) override;
    bool SetMouseBindings(const MouseCallback* table) override;
    bool UpdateKeyboard(void* context) override;
    bool UpdateMouse(void* context) override;
    bool Update(void* context) override;
    void GetMouseDelta(double* dx, double* dy, double* dz) override;

    // Largest number of records one read returned so far.
    uint32_t KeyboardHighWater() const { return keyboard_high_water; }
    uint32_t MouseHighWater() const { return mouse_high_water; }
    bool IsAxisClamped(int axis) const { return axis >= 0 && axis < 3 && clamp[axis]; }

protected:
    // The device layer. Reads take up to *count records and set *count to
    // the number returned; acquire calls return DI_OK (or another success
    // code) or the failure.
    virtual int32_t ReadKeyboardData(DeviceRecord* records, uint32_t* count) = 0;
    virtual int32_t ReadMouseData(DeviceRecord* records, uint32_t* count) = 0;
    virtual int32_t AcquireKeyboardDevice() = 0;
    virtual int32_t AcquireMouseDevice() = 0;
    virtual void UnacquireKeyboardDevice() = 0;
    virtual void UnacquireMouseDevice() = 0;

    // The device buffer sizes the reads ask for.
    int32_t keyboard_buffer_size = KEYBOARD_BUFFER_SIZE;
    int32_t mouse_buffer_size = MOUSE_BUFFER_SIZE;

private:
    void MoveAxis(int axis, int32_t counts);

    uint8_t key_down[INPUT_KEY_COUNT];
    DeviceRecord keyboard_events[KEYBOARD_BUFFER_SIZE];
    KeyCallback key_bindings[INPUT_KEY_COUNT];
    uint32_t keyboard_high_water = 0;

    uint8_t button_down[INPUT_MOUSE_BUTTONS];
    uint8_t button_latch[INPUT_MOUSE_BUTTONS];
    double position[3];
    double range[3][2];
    double scale[3];
    DeviceRecord mouse_events[MOUSE_BUFFER_SIZE];
    uint32_t mouse_high_water = 0;
    uint8_t clamp[3];
    MouseCallback mouse_bindings[INPUT_MOUSE_BUTTONS];
};

#endif
