// The input driver of the Windows build: the system keyboard and mouse through
// DirectInput 7, read as buffered device data. The keyboard is shared with
// other programs (non-exclusive), the mouse is the game's alone while the
// window is in the foreground (exclusive); both buffers hold what the engine's
// reads take at once (15 key and 30 mouse records), so an overflow is seen
// and logged exactly where the engine looks for it.
//
// Under an input replay the two engine-side device queues stand in for the
// devices: the replay's events reach the same buffered reads, and the real
// devices are neither read nor acquired, so a run is the same whatever the
// window system does with the focus.
#ifndef ZENDAR_INPUTDRIVER_DX7DRIVER_DX7INPUTDRIVER_H
#define ZENDAR_INPUTDRIVER_DX7DRIVER_DX7INPUTDRIVER_H

#include <windows.h>

#include "input/queueinputdriver.h"

struct IDirectInput7A;
struct IDirectInputDevice7A;

class Dx7InputDriver : public QueueInputDriver {
public:
    // *ok is false when a device could not be set up (the reason is logged).
    // use_queues: the device queues stand in for DirectInput (replays).
    Dx7InputDriver(bool* ok, HWND window, HINSTANCE instance, bool use_queues);
    ~Dx7InputDriver() override;

protected:
    int32_t ReadKeyboardData(DeviceRecord* records, uint32_t* count) override;
    int32_t ReadMouseData(DeviceRecord* records, uint32_t* count) override;
    int32_t AcquireKeyboardDevice() override;
    int32_t AcquireMouseDevice() override;
    void UnacquireKeyboardDevice() override;
    void UnacquireMouseDevice() override;

private:
    bool CreateKeyboard(HWND window);
    bool CreateMouse(HWND window);

    bool use_queues_;
    IDirectInput7A* direct_input_ = nullptr;
    IDirectInputDevice7A* keyboard_device_ = nullptr;
    IDirectInputDevice7A* mouse_device_ = nullptr;
};

// Creates the driver and publishes it in g_inputdriver; false when it cannot
// be used.
bool CreateDx7InputDriver(HWND window, HINSTANCE instance, bool use_queues);

#endif
