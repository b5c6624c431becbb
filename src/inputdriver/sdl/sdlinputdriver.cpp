#include "inputdriver/sdl/sdlinputdriver.h"

#include "game/harness.h"
#include "game/replay.h"
#include "input/inputerrors.h"
#include "os/sdl/shell.h"
#include "utility/log.h"

namespace {

// One notch of the wheel, in DirectInput's wheel counts.
const int kWheelStep = 120;

SdlInputDriver* g_sdl_input = nullptr;

}  // namespace

SdlInputDriver::SdlInputDriver(bool* ok, SDL_Window* window_, Replay* replay_)
    : window(window_), replay(replay_) {
    if (ok) *ok = false;
    // The queues start acquired; the real devices only with the focus.
    keyboard.Unacquire();
    mouse.Unacquire();
    // Under a replay the window is not needed: the replay is the device.
    if (!window && !replay) {
        LogLine("Couldn't create keyboard device ");
        return;
    }
    // The window was just shown: let SDL take in the focus it may have got.
    if (window) SDL_PumpEvents();
    ClearKeyboard();
    int32_t result = AcquireKeyboardDevice();
    if (result < 0) LogLine("Couldn't aquire keyboard (%s)", InputErrorText(result).c_str());
    ClearMouse();
    SetMouseRange(0, 0, 0, 0, 0, 0);
    SetMouseScale(1.0, 1.0, 1.0);
    result = AcquireMouseDevice();
    if (result < 0) LogLine("Couldn't aquire mouse (%s).", InputErrorText(result).c_str());
    if (ok) *ok = true;
}

SdlInputDriver::~SdlInputDriver() {
    UnacquireKeyboardDevice();
    UnacquireMouseDevice();
    if (g_sdl_input == this) g_sdl_input = nullptr;
}

bool SdlInputDriver::HasFocus() const {
    return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlInputDriver::HandleEvent(const SDL_Event& e) {
    if (replay) return;
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

void SdlInputDriver::PumpEvents() {
    if (!replay) return;
    ReplayEvent e;
    while (replay->NextInputEvent(HarnessFrame(), &e)) {
        switch (e.type) {
        case REPLAY_KEY:
            if (!PushKey(e.code, e.pressed) && (e.code < 0 || e.code >= INPUT_KEY_COUNT))
                LogLine("WARNING: Key %i is invalid.", e.code);
            break;
        case REPLAY_MOUSE_MOVE: PushMouseMotion(e.dx, e.dy, e.dz); break;
        case REPLAY_MOUSE_BUTTON: PushMouseButton(e.code, e.pressed); break;
        }
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
    if (replay) {
        keyboard.Acquire();
        return DI_OK;
    }
    if (!HasFocus()) return DIERR_OTHERAPPHASPRIO;
    bool again = !keyboard.Acquired();
    keyboard.Acquire();
    if (again) ReleaseKeysLetGo();
    return DI_OK;
}

int32_t SdlInputDriver::AcquireMouseDevice() {
    if (replay) {
        mouse.Acquire();
        return DI_OK;
    }
    if (!HasFocus()) return DIERR_OTHERAPPHASPRIO;
    if (SDL_SetRelativeMouseMode(SDL_TRUE) != 0 && !relative_refused_noted) {
        // The motion events still carry relative counts; only the pointer
        // stays free.
        relative_refused_noted = true;
        LogLine("Warning: no relative mouse mode (%s) - the pointer stays visible", SDL_GetError());
    }
    bool again = !mouse.Acquired();
    mouse.Acquire();
    if (again) ReleaseButtonsLetGo();
    return DI_OK;
}

void SdlInputDriver::UnacquireKeyboardDevice() {
    if (replay) return;
    keyboard.Unacquire();
}

void SdlInputDriver::UnacquireMouseDevice() {
    if (replay) return;
    if (mouse.Acquired()) SDL_SetRelativeMouseMode(SDL_FALSE);
    mouse.Unacquire();
}

void SdlInputSink(const SDL_Event& event) {
    if (g_sdl_input && g_inputdriver == g_sdl_input) g_sdl_input->HandleEvent(event);
}

bool CreateSdlInputDriver(SDL_Window* window, Replay* replay) {
    bool ok = false;
    SdlInputDriver* driver = new SdlInputDriver(&ok, window, replay);
    if (!ok) {
        delete driver;
        return false;
    }
    g_sdl_input = driver;
    g_inputdriver = driver;
    SetShellInputSink(SdlInputSink);
    return true;
}
