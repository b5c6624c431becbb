// The part of an input driver that does not depend on the device layer: the
// key and button state, the mouse position with its scale and clamping, the
// binding tables and the dispatch of buffered events. A platform driver
// derives from it and supplies the buffered reads and the acquire calls, in
// DirectInput's result codes (input/inputerrors.h).
//
// Recorded input (the harness's replay) is played here, below every driver:
// given an InputFeed, the driver reads the feed's events from two queues of
// its own instead of the device, and acquiring and unacquiring change nothing.
// The devices are then never touched (no focus rule, no pointer capture), so a
// replayed run is the same however the window manager behaves, and each
// driver gets replays by passing the feed on to this constructor.
#ifndef ZENDAR_INPUT_BUFFEREDINPUTDRIVER_H
#define ZENDAR_INPUT_BUFFEREDINPUTDRIVER_H

#include <cstdint>

#include "input/devicequeue.h"
#include "input/inputdriver.h"

enum {
    KEYBOARD_BUFFER_SIZE = 15,
    MOUSE_BUFFER_SIZE = 30,
};

// Recorded input played in place of the devices.
class InputFeed {
public:
    virtual ~InputFeed() {}
    // Called before every read: pushes the events due now into the queues, in
    // their order (PushKeyRecord and its kin, input/devicequeue.h).
    virtual void Pump(DeviceQueue& keyboard, DeviceQueue& mouse) = 0;
};

class BufferedInputDriver : public InputDriver {
public:
    // feed: not owned; null reads the devices.
    explicit BufferedInputDriver(InputFeed* feed = nullptr);
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
    uint32_t KeyboardHighWater() const { return keyboardHighWater_; }
    uint32_t MouseHighWater() const { return mouseHighWater_; }
    bool IsAxisClamped(int axis) const { return axis >= 0 && axis < 3 && clamp_[axis]; }
    // A feed stands in for the devices.
    bool HasInputFeed() const { return feed_ != nullptr; }

protected:
    // Acquiring as the public calls do it, for a driver's construction (which
    // logs its own lines): DI_OK under a feed, else the device's answer.
    int32_t AcquireKeyboardSource();
    int32_t AcquireMouseSource();

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
    int32_t keyboardBufferSize = KEYBOARD_BUFFER_SIZE;
    int32_t mouseBufferSize = MOUSE_BUFFER_SIZE;

private:
    void MoveAxis(int axis, int32_t counts);
    // The feed's queue or the device.
    int32_t ReadKeyboard(DeviceRecord* records, uint32_t* count);
    int32_t ReadMouse(DeviceRecord* records, uint32_t* count);

    uint8_t keyDown_[INPUT_KEY_COUNT];
    DeviceRecord keyboardEvents_[KEYBOARD_BUFFER_SIZE];
    KeyCallback keyBindings_[INPUT_KEY_COUNT];
    uint32_t keyboardHighWater_ = 0;

    uint8_t buttonDown_[INPUT_MOUSE_BUTTONS];
    uint8_t buttonLatch_[INPUT_MOUSE_BUTTONS];
    double position_[3];
    double range_[3][2];
    double scale_[3];
    DeviceRecord mouseEvents_[MOUSE_BUFFER_SIZE];
    uint32_t mouseHighWater_ = 0;
    uint8_t clamp_[3];
    MouseCallback mouseBindings_[INPUT_MOUSE_BUTTONS];

    InputFeed* feed_;
    DeviceQueue fedKeyboard_;
    DeviceQueue fedMouse_;
};

#endif
