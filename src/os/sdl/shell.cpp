// Index of this file:
// [SECTION] Window state
// [SECTION] The driver as the shell uses it
// [SECTION] The window procedure's handlers
// [SECTION] Accelerators
// [SECTION] Keyboard and mouse
// [SECTION] Mode switch
// [SECTION] Main loop
// [SECTION] Start-up and shut-down
// [SECTION] What the platform services call
#include "os/sdl/shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "camera/keybindings.h"
#include "editor/editor.h"
#include "game/screens.h"
#include "gfxdriver/gfxdriver.h"
#include "gfxdriver/opengldriver/screenshot.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "input/dikeys.h"
#include "os/dialogs.h"
#include "os/harness.h"
#include "os/replay.h"
#include "os/sdl/overlay.h"
#include "os/sdl/sdldialogs.h"
#include "os/sdl/services.h"
#include "os/shell/session.h"
#include "settings/settings.h"
#include "utility/clock.h"
#include "utility/log.h"

// ---------------------------------------------------------------------------
// [SECTION] Window state
namespace {

const char* const kWindowClass = "D3D Window";
const int kWindowWidth = 800;
const int kWindowHeight = 600;
const int kMinTrackSize = 100;
// Windows counts this much of the menu strip as the menu bar proper; the
// client height it reports is the window's height less this, and a restore
// reactivates the engine when the driver's height equals that plus 19.
const int kMenuBarHeight = 19;

struct ShellState {
    SDL_Window* window = nullptr;
    Uint32 window_id = 0;
    bool destroyed = false;
    uint8_t entered_mode = 0;
    Uint32 quit_event = 0;
    ShellInputSink sink = nullptr;
    bool frame_running = false;
    bool menu_requested = false;
    SdlDialogs* dialogs = nullptr;
    // Modifier keys held in the replay, for its accelerators.
    bool replay_down[256] = {};
    Uint64 perf_origin = 0;
    bool perf_started = false;
    bool real_clock = true;  // false under the harness's fixed step
    std::string title;       // the window title now
};

ShellState g;

void SetActive(bool on) {
    if (g_settings) g_settings->active = on ? 1 : 0;
}

bool Active() { return g_settings && g_settings->active; }

// ---------------------------------------------------------------------------
// [SECTION] The driver as the shell uses it
// The frame's last step before presenting
// takes the harness's screenshots (the engine's image, without the menu) and
// draws the menu strip.

class ShellOpenGLDriver : public OpenGLDriverSDL {
public:
    bool ShowFrame() override {
        if (g.frame_running) {
            for (const std::string& file : HarnessScreenshotsDue())
                if (!SaveScreenshot(file.c_str(), width, height, false))
                    std::fprintf(stderr, "zendar1: could not write screenshot '%s'\n", file.c_str());
        }
        bool opened = false;
        OverlayPresentFrame(width, height, &opened);
        if (opened) g.menu_requested = true;
        return OpenGLDriverSDL::ShowFrame();
    }
};

// The OpenGL driver's own failure boxes ("ERROR", exclamation icon).
void DriverMessageBox(const char* caption, const char* text) {
    if (g_replay || !g.dialogs)
        ErrorBox(caption, text);
    else
        g.dialogs->MessageBox(SDL_MESSAGEBOX_WARNING, caption, text);
}

// ---------------------------------------------------------------------------
// [SECTION] The window procedure's handlers

Uint32 QuitEventType() {
    if (g.quit_event == 0) g.quit_event = SDL_RegisterEvents(1);
    return g.quit_event;
}

// PostQuitMessage: the main loop ends when it takes this event.
void PostQuit() {
    SDL_Event e;
    SDL_zero(e);
    e.type = QuitEventType();
    SDL_PushEvent(&e);
}

void OnDestroy() {
    LogLine("MESSAGE - destroy");
    SetActive(false);
    if (g_gfxdriver) g_gfxdriver->Shutdown();
    PostQuit();
}

// DestroyWindow: the window disappears at once; SDL's window and the GL
// context go when the loop has ended.
void DestroyMainWindow() {
    if (g.destroyed) return;
    g.destroyed = true;
    SDL_HideWindow(g.window);
    OnDestroy();
}

void OnClose() {
    LogLine("MESSAGE - WM close");
    SetActive(false);
    DestroyMainWindow();
}

void OnMove(int x, int y) {
    LogLine("MESSAGE - move");
    if (g_gfxdriver) g_gfxdriver->Move(static_cast<int16_t>(x), static_cast<int16_t>(y));
}

void OnSizeHide() {
    LogLine("MESSAGE - size - hide engine");
    SetActive(false);
}

void OnSizeRestored(int width, int height) {
    LogLine("MESSAGE - size - restored (%i, %i)", width, height);
    if (g_gfxdriver && g_gfxdriver->width == width && g_gfxdriver->height == height + 19) SetActive(true);
}

void OnSizeRestoredNow() {
    int w = 0, h = 0;
    SDL_GetWindowSize(g.window, &w, &h);
    OnSizeRestored(w, h - kMenuBarHeight);
}

void OnActivate(bool click) {
    LogLine(click ? "Window comes into focus. (click)" : "Window comes into focus. (keyboard)");
    SetActive(true);
    AcquireInput();
}

void OnDeactivate() {
    LogLine("loose focus - should unaquire");
    SetActive(false);
    UnacquireInput();
}

void OnSetCursor() {
    bool hide = g_gfxdriver && Active() && g_gfxdriver->fullscreen;
    SDL_ShowCursor(hide ? SDL_DISABLE : SDL_ENABLE);
}

void ExitSequence();

void OnCommand(int command) {
    switch (command) {
    case MENU_EXIT: ExitSequence(); break;
    case MENU_SAVE_AREA: RunEditorCommand(EditorCommand::SaveArea); break;
    case MENU_OPEN_AREA: RunEditorCommand(EditorCommand::OpenArea); break;
    case MENU_UNDO: RunEditorCommand(EditorCommand::Undo); break;
    case MENU_REDO: RunEditorCommand(EditorCommand::Redo); break;
    default: break;
    }
}

// The File menu runs its own loop while it is open, as a Windows menu does.
void RunMenuLoop() {
    LogLine("MESSAGE - enter menu loop");
    SetActive(false);
    if (g_gfxdriver) g_gfxdriver->Pause(true);
    UnacquireInput();
    int command = RunOverlayLoop([]() { return true; }, true);
    LogLine("MESSAGE - exit menu");
    AcquireInput();
    if (g_gfxdriver) g_gfxdriver->Pause(false);
    SetActive(true);
    if (command != MENU_NONE) OnCommand(command);
}

void ExitSequence() {
    LogLine("MESSAGE - key/menu exit");
    if (!QuitConfirmed() || g.destroyed || !EditorReadyToQuit()) return;
    CreditsIfPlaying(ShellPumpInput);
    SetActive(false);
    OnClose();
}

void WindowProc(const SDL_Event& e) {
    if (g.destroyed) return;
    if (e.type == SDL_QUIT) {
        // Asked to end from outside (a signal): as if the window were closed.
        OnClose();
        return;
    }
    if (e.type == SDL_APP_WILLENTERBACKGROUND) {
        SetActive(false);
        return;
    }
    if (e.type == SDL_APP_DIDENTERFOREGROUND) {
        SetActive(true);
        return;
    }
    if (e.type != SDL_WINDOWEVENT || e.window.windowID != g.window_id) return;
    OverlayProcessEvent(e);
    switch (e.window.event) {
    case SDL_WINDOWEVENT_EXPOSED:
        if (g_gfxdriver) g_gfxdriver->Paint();
        break;
    case SDL_WINDOWEVENT_MOVED: OnMove(e.window.data1, e.window.data2); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (SDL_GetWindowFlags(g.window) & SDL_WINDOW_MAXIMIZED)
            LogLine("MESSAGE - size - unknown");
        else
            OnSizeRestored(e.window.data1, e.window.data2 - kMenuBarHeight);
        break;
    case SDL_WINDOWEVENT_MINIMIZED: OnSizeHide(); break;
    case SDL_WINDOWEVENT_MAXIMIZED: LogLine("MESSAGE - size - unknown"); break;
    case SDL_WINDOWEVENT_RESTORED: OnSizeRestoredNow(); break;
    case SDL_WINDOWEVENT_ENTER: OnSetCursor(); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        OnActivate((SDL_GetMouseState(nullptr, nullptr) &
                    (SDL_BUTTON_LMASK | SDL_BUTTON_RMASK | SDL_BUTTON_MMASK)) != 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST: OnDeactivate(); break;
    case SDL_WINDOWEVENT_CLOSE:
        if (EditorReadyToQuit()) OnClose();
        break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Accelerators
// Esc exits; Ctrl+O, Ctrl+S, Ctrl+Z and Ctrl+Y are the
// editor's; Ctrl+T, F2 and Alt+Enter are in the table but nothing handles
// them. `key` is the letter pressed (lower case), or 0.

int Accelerator(bool escape, char key, bool ctrl, bool shift, bool alt) {
    if (escape && !ctrl && !shift && !alt) return MENU_EXIT;
    if (ctrl && !shift && !alt) {
        switch (key) {
        case 'o': return MENU_OPEN_AREA;
        case 's': return MENU_SAVE_AREA;
        case 'z': return MENU_UNDO;
        case 'y': return MENU_REDO;
        default: break;
        }
    }
    return MENU_NONE;
}

char LetterOfKey(SDL_Keycode k) { return k >= SDLK_a && k <= SDLK_z ? static_cast<char>(k) : 0; }

char LetterOfDik(int code) {
    switch (code) {
    case DIK_O: return 'o';
    case DIK_S: return 's';
    case DIK_Z: return 'z';
    case DIK_Y: return 'y';
    default: return 0;
    }
}

// The command a key press stands for, MENU_NONE for most keys.
int KeyCommand(const SDL_KeyboardEvent& key) {
    if (key.repeat) return MENU_NONE;
    const SDL_Keycode k = key.keysym.sym;
    const Uint16 mod = key.keysym.mod;
    return Accelerator(k == SDLK_ESCAPE, LetterOfKey(k), (mod & KMOD_CTRL) != 0, (mod & KMOD_SHIFT) != 0,
                       (mod & KMOD_ALT) != 0);
}

void OnKeyDown(const SDL_KeyboardEvent& key, int command) {
    if (key.repeat) return;
    const SDL_Keycode k = key.keysym.sym;
    if (k == SDLK_APPLICATION || (k == SDLK_F10 && (key.keysym.mod & KMOD_SHIFT)))
        LogLine("MESSAGE - context menu");
    if (command != MENU_NONE) OnCommand(command);
}

// ---------------------------------------------------------------------------
// [SECTION] Keyboard and mouse
// Keyboard and mouse: every pending one each pass, to the menu, the input
// driver and the accelerators.
void InputEvent(const SDL_Event& e) {
    if (g.destroyed) return;
    const int command = e.type == SDL_KEYDOWN ? KeyCommand(e.key) : MENU_NONE;
    // A press that became a command is the command's alone, as a translated
    // accelerator is on Windows: the Esc that asks "Quit?" must not reach
    // the box and answer it at once.
    if (command == MENU_NONE) OverlayProcessEvent(e);
    if (g.sink) g.sink(e);
    if (e.type == SDL_KEYDOWN)
        OnKeyDown(e.key, command);
    else if (e.type == SDL_MOUSEBUTTONUP && e.button.button == SDL_BUTTON_RIGHT)
        LogLine("MESSAGE - context menu");
}

void TakeInput() {
    SDL_Event events[64];
    int n;
    while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_KEYDOWN, SDL_MOUSEWHEEL)) > 0)
        for (int i = 0; i < n; ++i) InputEvent(events[i]);
}

// The replay's key presses as the window sees them.
void ReplayWindowKeys() {
    if (!g_replay) return;
    ReplayEvent e;
    while (!g.destroyed && g_replay->NextWindowKey(HarnessFrame(), &e)) {
        if (e.code < 0 || e.code > 255) continue;
        g.replay_down[e.code] = e.pressed;
        if (!e.pressed) continue;
        bool ctrl = g.replay_down[DIK_LCONTROL] || g.replay_down[DIK_RCONTROL];
        bool shift = g.replay_down[DIK_LSHIFT] || g.replay_down[DIK_RSHIFT];
        bool alt = g.replay_down[DIK_LMENU] || g.replay_down[DIK_RMENU];
        int command = Accelerator(e.code == DIK_ESCAPE, LetterOfDik(e.code), ctrl, shift, alt);
        if (command != MENU_NONE) OnCommand(command);
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Mode switch
void ModeSwitch() { g.entered_mode = static_cast<uint8_t>(SwitchMode(g.entered_mode)); }

// The title names the edited area in editor mode and marks unsaved changes.
void UpdateTitle() {
    const std::string title = WindowTitle(g.entered_mode);
    if (title == g.title) return;
    g.title = title;
    SDL_SetWindowTitle(g.window, title.c_str());
}

// ---------------------------------------------------------------------------
// [SECTION] Main loop
// The harness's stats line (--stats N): resident memory from the kernel's
// page counts, live textures from the driver.
void LogStats() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    long pageKb = sysconf(_SC_PAGESIZE) / 1024;
    const OpenGLDriver* driver = dynamic_cast<const OpenGLDriver*>(g_gfxdriver);
    LogLine("%s", HarnessStatsLine(resident * pageKb, driver ? driver->LiveTextures() : 0).c_str());
}

// One pass of the main loop: at most one window event, the mode switch when
// the editor flag changed, one frame while active. Returns -1 to go on, or
// the program's result once the quit event was taken.
int MainPass() {
    SDL_PumpEvents();
    TakeInput();
    SDL_Event e;
    const bool taken = SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0;
    if (taken) {
        if (e.type == QuitEventType()) return 1;
        WindowProc(e);
    }
    if (g.menu_requested) {
        g.menu_requested = false;
        if (!g.destroyed) RunMenuLoop();
    }
    ReplayWindowKeys();
    if (g_settings->editor != g.entered_mode) ModeSwitch();
    if (Active() && !g.destroyed) {
        g.frame_running = true;
        RunModeFrame(g.entered_mode);
        g.frame_running = false;
        UpdateTitle();
        // A frame that presented nothing still gets its screenshots.
        for (const std::string& file : HarnessScreenshotsDue())
            if (!SaveScreenshot(file.c_str(), g_gfxdriver->width, g_gfxdriver->height, true))
                std::fprintf(stderr, "zendar1: could not write screenshot '%s'\n", file.c_str());
        bool last = HarnessEndFrame();
        if (HarnessStatsDue()) LogStats();
        if (last && !g.destroyed) OnClose();
    } else if (!taken) {
        // Nothing to draw and nothing to handle: sleep until the window
        // hears something instead of spinning a core while in the
        // background. Bounded, so a pass still comes now and then.
        SDL_WaitEventTimeout(nullptr, kInactiveWaitMs);
    }
    return -1;
}

int MainLoop() {
    for (;;) {
        int result = MainPass();
        if (result >= 0) return result;
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Start-up and shut-down
SDL_Surface* MakeIcon() {
    const int size = 32;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, size, size, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return nullptr;
    Uint32* px = static_cast<Uint32*>(s->pixels);
    int pitch = s->pitch / 4;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // A gold "Z" on a dark blue tile.
            bool bar = (y >= 5 && y < 9) || (y >= 23 && y < 27);
            bool diagonal = y >= 9 && y < 23 && x >= 5 && x < 27 && (x + y) >= 29 && (x + y) < 36;
            bool inside = x >= 5 && x < 27 && (bar || diagonal);
            px[y * pitch + x] = inside ? 0xFFE0B030u : 0xFF182848u;
        }
    }
    return s;
}

int Run() {
    // 1-2. The main window, hidden until the graphics driver shows it.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // X11's window class is read when the video system starts; a class the
    // user set in the environment wins.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", kWindowClass, 0);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "zendar1: cannot start SDL: %s\n", SDL_GetError());
        return 1;
    }
    QuitEventType();
    g.perf_origin = SDL_GetPerformanceCounter();
    g.perf_started = true;
    if (g.real_clock) SetClockSource(ShellClock());

    OpenGLDriverSDLPrepareWindow();
    g.window = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kWindowWidth,
                                kWindowHeight,
                                OpenGLDriverSDLWindowFlags() | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (!g.window) {
        std::fprintf(stderr, "zendar1: cannot create the window: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    g.window_id = SDL_GetWindowID(g.window);
    SDL_SetWindowMinimumSize(g.window, kMinTrackSize, kMinTrackSize);
    if (SDL_Surface* icon = MakeIcon()) {
        SDL_SetWindowIcon(g.window, icon);
        SDL_FreeSurface(icon);
    }
    static SdlDialogs dialogs(g.window);
    g.dialogs = &dialogs;
    g_dialogs = &dialogs;
    SetOpenGLDriverMessageBox(DriverMessageBox);

    // 4. The log. 5. The joined-file archive. 6. The settings record.
    Settings& settings = StartLogArchiveAndSettings();

    // 7. The graphics driver.
    if (settings.renderer != 1)
        LogLine("Warning: the DirectX 7 driver is not part of this build - using the OpenGL driver");
    g_gfxdriver = new ShellOpenGLDriver();
    if (!g_gfxdriver) {
        LogLine("FATAL ERROR - Could not create a graphics driver...");
        return 1;
    }
    // 8. Its Init on the main window.
    if (!g_gfxdriver->Init(nullptr, g.window)) {
        LogLine("FATAL ERROR - Could not initialize the graphics driver...");
        return 1;
    }
    if (!OverlayInit(g.window)) LogLine("Warning: could not set up the menu bar");
    // What the settings could not use is told once the window can show a
    // box: the log alone is read by nobody.
    StartProblemsBox(settings.problems);

    // 9. The input driver.
    if (!CreateInputDriver(g.window)) {
        ErrorBox("Error", "Cannot create an inputdriver");
        return 1;
    }
    // 10. The sound driver. 11-16. Player camera, game object, font, world,
    // fog, interface images.
    CreateSoundDriver();
    StartEngine(settings);
    // 17.
    Intro();
    // 18.
    ModeSwitch();
    // 19.
    int result = MainLoop();

    ReportMissedScreenshots();
    OverlayShutdown();
    SDL_DestroyWindow(g.window);
    g.window = nullptr;
    SDL_Quit();
    return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] What the platform services call
SDL_Window* ShellWindow() { return g.window; }

void ShellWindowEvent(const SDL_Event& event) { WindowProc(event); }
void ShellInputEvent(const SDL_Event& event) { InputEvent(event); }
void ShellCommand(int command) { OnCommand(command); }
void ShellReplayKeys() { ReplayWindowKeys(); }
int ShellPass() { return MainPass(); }
void ShellModeSwitch() { ModeSwitch(); }
bool ShellWindowDestroyed() { return g.destroyed; }
Uint32 ShellQuitEventType() { return QuitEventType(); }

void ShellResetForTest(Uint32 window_id) {
    g.window_id = window_id;
    g.destroyed = false;
    g.entered_mode = 0;
    g.menu_requested = false;
    for (bool& down : g.replay_down) down = false;
}

void SetShellInputSink(ShellInputSink sink) { g.sink = sink; }

void ShellPumpInput() {
    SDL_PumpEvents();
    SDL_Event events[64];
    int n;
    while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_KEYDOWN, SDL_MOUSEWHEEL)) > 0)
        for (int i = 0; i < n; ++i)
            if (g.sink) g.sink(events[i]);
}

float ShellSeconds() {
    if (!g.perf_started) {
        g.perf_origin = SDL_GetPerformanceCounter();
        g.perf_started = true;
    }
    int64_t ticks = static_cast<int64_t>(SDL_GetPerformanceCounter() - g.perf_origin);
    int64_t frequency = static_cast<int64_t>(SDL_GetPerformanceFrequency());
    return static_cast<float>(static_cast<double>(ticks) / static_cast<double>(frequency));
}

uint32_t ShellMilliseconds() { return SDL_GetTicks(); }

int ZendarMain(int argc, char** argv) {
    HarnessOptions options;
    const int ended = ReadCommandLine(
        argc, argv, [](const std::string& text) { std::fputs(text.c_str(), stdout); }, &options);
    if (ended >= 0) return ended;
    StartHarness(options);
    g.real_clock = options.fixedStep <= 0.0;
    return Run();
}
