// The input driver of the SDL build. SDL's keyboard and mouse events, handed
// over by the platform's shell, become DirectInput-style device records in two
// queues, which the engine's buffered reads consume as they would a
// DirectInput device's data: SDL scancodes are turned into DIK_* key codes,
// mouse motion into relative counts, the wheel into steps of 120.
//
// Acquiring follows DirectInput's foreground devices: a device can only be
// acquired while the window has the input focus, and the mouse, acquired
// exclusively, puts SDL into relative mouse mode (pointer hidden and held in
// the window). Unlike DirectInput, acquiring again after the focus was away
// releases the keys and buttons that were let go of meanwhile, so the player
// does not walk on by himself after switching windows.
//
// Given an InputFeed (a replay), the buffered driver plays it in place of the
// devices (input/bufferedinputdriver.h): SDL's events then go nowhere, since
// the devices are never acquired, and focus and pointer are left alone.
#ifndef ZENDAR_INPUTDRIVER_SDL_SDLINPUTDRIVER_H
#define ZENDAR_INPUTDRIVER_SDL_SDLINPUTDRIVER_H

#include <SDL.h>

#include "input/queueinputdriver.h"

class SdlInputDriver : public QueueInputDriver {
public:
    // *ok says whether the driver can be used (false without a window,
    // unless a feed stands in for the devices). feed: not owned, may be null.
    SdlInputDriver(bool* ok, SDL_Window* window, InputFeed* feed);
    ~SdlInputDriver() override;

    // One SDL event from the shell; anything but keyboard and mouse events is
    // ignored.
    void HandleEvent(const SDL_Event& event);

protected:
    int32_t AcquireKeyboardDevice() override;
    int32_t AcquireMouseDevice() override;
    void UnacquireKeyboardDevice() override;
    void UnacquireMouseDevice() override;

    // The window has the input focus.
    virtual bool HasFocus() const;

private:
    // Keys and buttons the engine takes for held but the user let go of while
    // the devices were away get their release, so nothing stays stuck down.
    void ReleaseKeysLetGo();
    void ReleaseButtonsLetGo();

    SDL_Window* window_;
    bool relativeRefusedNoted_ = false;
};

// The DirectInput key code of an SDL scancode; 0 for keys DirectInput has no
// code for and for numbers that are no scancode (an int: a value outside the
// enumeration cannot be held in SDL_Scancode).
int DikFromScancode(int scancode);

// The mouse button index (0 left, 1 right, 2 middle, 3 fourth) of an SDL
// button, or -1.
int MouseButtonFromSdl(Uint8 button);

#endif
