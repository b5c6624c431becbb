// The input driver of the Windows build: the system keyboard and mouse through
// DirectInput 7, read as buffered device data. The keyboard is shared with
// other programs (non-exclusive), the mouse is the game's alone while the
// window is in the foreground (exclusive); both buffers hold what the engine's
// reads take at once (15 key and 30 mouse records), so an overflow is seen
// and logged exactly where the engine looks for it.
//
// Under an input feed (the harness's replay) the buffered driver's own queues
// stand in for the devices, which are then created but never read or
// acquired.
#ifndef ZENDAR_INPUTDRIVER_DX7DRIVER_DX7INPUTDRIVER_H
#define ZENDAR_INPUTDRIVER_DX7DRIVER_DX7INPUTDRIVER_H

#include <windows.h>

#include "input/bufferedinputdriver.h"

struct IDirectInput7A;
struct IDirectInputDevice7A;

class Dx7InputDriver : public BufferedInputDriver {
public:
    // *ok is false when a device could not be set up (the reason is logged).
    // feed: not owned; null reads the devices.
    Dx7InputDriver(bool* ok, HWND window, HINSTANCE instance, InputFeed* feed = nullptr);
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

    IDirectInput7A* direct_input_ = nullptr;
    IDirectInputDevice7A* keyboard_device_ = nullptr;
    IDirectInputDevice7A* mouse_device_ = nullptr;
};

// Creates the driver and publishes it in g_inputdriver; false when it cannot
// be used.
bool CreateDx7InputDriver(HWND window, HINSTANCE instance, InputFeed* feed);

#endif
