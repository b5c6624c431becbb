#include "inputdriver/sdl/sdlinputdriver.h"

#include "input/inputerrors.h"
#include "utility/log.h"

namespace {

// One notch of the wheel, in DirectInput's wheel counts.
const int kWheelStep = 120;

}  // namespace

SdlInputDriver::SdlInputDriver(bool* ok, SDL_Window* window, InputFeed* feed)
    : QueueInputDriver(feed), window_(window) {
    if (ok) *ok = false;
    // The queues start acquired; the real devices only with the focus.
    keyboard.Unacquire();
    mouse.Unacquire();
    // Under a feed the window is not needed: the feed is the device.
    if (!window_ && !HasInputFeed()) {
        LogLine("Couldn't create keyboard device ");
        return;
    }
    // The window was just shown: let SDL take in the focus it may have got.
    if (window_) SDL_PumpEvents();
    ClearKeyboard();
    int32_t result = AcquireKeyboardSource();
    if (result < 0) LogLine("Couldn't aquire keyboard (%s)", InputErrorText(result).c_str());
    ClearMouse();
    SetMouseRange(0, 0, 0, 0, 0, 0);
    SetMouseScale(1.0, 1.0, 1.0);
    result = AcquireMouseSource();
    if (result < 0) LogLine("Couldn't aquire mouse (%s).", InputErrorText(result).c_str());
    if (ok) *ok = true;
}

SdlInputDriver::~SdlInputDriver() {
    UnacquireKeyboardDevice();
    UnacquireMouseDevice();
}

bool SdlInputDriver::HasFocus() const {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlInputDriver::HandleEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        // DirectInput reports a key once when it goes down, not its repeats.
        if (e.key.repeat) return;
        int code = DikFromScancode(e.key.keysym.scancode);
        if (code) PushKey(code, e.type == SDL_KEYDOWN);
        return;
    }
    case SDL_MOUSEMOTION: PushMouseMotion(e.motion.xrel, e.motion.yrel, 0); return;
    case SDL_MOUSEWHEEL: {
        int notches = e.wheel.y;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        if (notches) PushMouseMotion(0, 0, notches * kWheelStep);
        return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int button = MouseButtonFromSdl(e.button.button);
        if (button >= 0) PushMouseButton(button, e.type == SDL_MOUSEBUTTONDOWN);
        return;
    }
    default: return;
    }
}

void SdlInputDriver::ReleaseKeysLetGo() {
    // Called on a fresh acquire: the buffer is empty, the key states are
    // what the engine believes.
    bool held[INPUT_KEY_COUNT] = {};
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    for (int s = 0; state && s < count && s < SDL_NUM_SCANCODES; ++s)
        if (state[s]) held[DikFromScancode(static_cast<SDL_Scancode>(s))] = true;
    for (int k = 1; k < INPUT_KEY_COUNT; ++k)
        if (IsKeyDown(k) && !held[k]) PushKey(k, false);
}

void SdlInputDriver::ReleaseButtonsLetGo() {
    Uint32 state = SDL_GetMouseState(nullptr, nullptr);
    const Uint8 sdl_buttons[INPUT_MOUSE_BUTTONS] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE,
                                                    SDL_BUTTON_X1};
    for (int b = 0; b < INPUT_MOUSE_BUTTONS; ++b)
        if (IsMouseButtonDown(b) && !(state & SDL_BUTTON(sdl_buttons[b]))) PushMouseButton(b, false);
}

int32_t SdlInputDriver::AcquireKeyboardDevice() {
    if (!HasFocus()) return DIERR_OTHERAPPHASPRIO;
    bool again = !keyboard.Acquired();
    keyboard.Acquire();
    if (again) ReleaseKeysLetGo();
    return DI_OK;
}

int32_t SdlInputDriver::AcquireMouseDevice() {
    if (!HasFocus()) return DIERR_OTHERAPPHASPRIO;
    if (SDL_SetRelativeMouseMode(SDL_TRUE) != 0 && !relativeRefusedNoted_) {
        // The motion events still carry relative counts; only the pointer
        // stays free.
        relativeRefusedNoted_ = true;
        LogLine("Warning: no relative mouse mode (%s) - the pointer stays visible", SDL_GetError());
    }
    bool again = !mouse.Acquired();
    mouse.Acquire();
    if (again) ReleaseButtonsLetGo();
    return DI_OK;
}

void SdlInputDriver::UnacquireKeyboardDevice() { keyboard.Unacquire(); }

void SdlInputDriver::UnacquireMouseDevice() {
    if (mouse.Acquired()) SDL_SetRelativeMouseMode(SDL_FALSE);
    mouse.Unacquire();
}
