#include "os/sdl/services.h"

#include "sounddriver/sdl/sdlsoundlibrary.h"
#include "os/harness.h"
#include "os/replay.h"
#include "os/sdl/shell.h"
#include "input/inputdriver.h"
#include "inputdriver/sdl/sdlinputdriver.h"

namespace {

// The driver the shell's input sink feeds.
SdlInputDriver* s_sdl_input = nullptr;

void SdlInputSink(const SDL_Event& event) {
    if (s_sdl_input && g_inputdriver == s_sdl_input) s_sdl_input->HandleEvent(event);
}

}  // namespace

bool CreateInputDriver(SDL_Window* window) {
    // A replay stands in for the devices below the driver.
    static ReplayInputFeed feed(g_replay);
    bool ok = false;
    SdlInputDriver* driver = new SdlInputDriver(&ok, window, g_replay ? &feed : nullptr);
    if (!ok) {
        delete driver;
        return false;
    }
    s_sdl_input = driver;
    g_inputdriver = driver;
    SetShellInputSink(SdlInputSink);
    return true;
}

void CreateSoundDriver() { g_sounddriver = CreateSdlSoundDriver(); }
