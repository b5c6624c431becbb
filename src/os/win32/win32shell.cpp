// Index of this file:
// [SECTION] Window state and input
// [SECTION] The driver and its screenshots
// [SECTION] Mode switch
// [SECTION] The window procedure's handlers
// [SECTION] Replayed keys
// [SECTION] Main loop
// [SECTION] Start-up and shut-down
// [SECTION] Accelerators and the window procedure
// [SECTION] Clocks, input pump and entry point
#include "os/win32/win32shell.h"

#include <mmsystem.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "editor/editor.h"
#include "os/dialogs.h"
#include "os/harness.h"
#include "os/replay.h"
#include "os/shell/session.h"
#include "game/screens.h"
#include "gfxdriver/dx7driver/dx7driver.h"
#include "gfxdriver/gfxdriver.h"
#include "gfxdriver/opengldriver/opengldriverwindows.h"
#include "gfxdriver/opengldriver/screenshot.h"
#include "input/dikeys.h"
#include "inputdriver/dx7driver/dx7inputdriver.h"
#include "os/win32/resource.h"
#include "os/win32/win32dialogs.h"
#include "settings/settings.h"
#include "sounddriver/win32/win32soundlibrary.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/log.h"

// ---------------------------------------------------------------------------
// [SECTION] Window state and input
namespace {

const char kWindowClass[] = "D3D Window";
const int kWindowWidth = 800;
const int kWindowHeight = 600;
const int kMinTrackSize = 100;
// A restore reactivates the engine when the driver's height is the client
// height plus the menu bar's.
const int kMenuBarHeight = 19;

struct ShellState {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HACCEL accelerators = nullptr;
    uint8_t enteredMode = 0;
    bool frameRunning = false;
    // The exit sequence or the frame limit has settled that the program
    // ends: the close is not questioned again.
    bool closeSettled = false;
    std::string title;  // the window title now
    bool replayHeld[256] = {};
    LARGE_INTEGER perfOrigin = {};
    bool perfStarted = false;
    Dx7Driver* dx7 = nullptr;  // the graphics driver when it is the DirectX 7 one
};

ShellState g;

void SetActive(bool on) {
    if (g_settings) g_settings->active = on ? 1 : 0;
}

bool Active() { return g_settings && g_settings->active; }

// Closes the window once the program is settled to end.
void CloseSettled() {
    g.closeSettled = true;
    if (g.window) SendMessageA(g.window, WM_CLOSE, 0, 0);
}

// ---------------------------------------------------------------------------
// [SECTION] The driver and its screenshots
// The rows of the frame the window shows: the driver draws 1024 x 768 into a
// client area the menu bar makes lower, so the top rows are never seen.
int VisibleHeight(int height) {
    RECT client;
    if (!g.window || !GetClientRect(g.window, &client)) return height;
    int visible = client.bottom - client.top;
    return visible > 0 && visible < height ? visible : height;
}

// The DirectX 7 driver's frame is its whole back buffer.
bool SaveDx7Screenshot(const char* file) {
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    return g.dx7->ReadBackBuffer(&rgb, &w, &h) && WritePNG(file, w, h, rgb.data());
}

void SaveScreenshots(bool front) {
    for (const std::string& file : HarnessScreenshotsDue()) {
        bool saved = g.dx7 ? SaveDx7Screenshot(file.c_str())
                           : SaveScreenshot(file.c_str(), g_gfxdriver->width,
                                            VisibleHeight(g_gfxdriver->height), front);
        if (!saved) std::fprintf(stderr, "zendar1: could not write screenshot '%s'\n", file.c_str());
    }
}

// The driver as the shell uses it: the harness's screenshots are taken just
// before the frame is presented.
class ShellOpenGLDriver : public OpenGLDriverWindows {
public:
    bool ShowFrame() override {
        if (g.frameRunning) SaveScreenshots(false);
        return OpenGLDriverWindows::ShowFrame();
    }
};

class ShellDx7Driver : public Dx7Driver {
public:
    bool ShowFrame() override {
        if (g.frameRunning) SaveScreenshots(false);
        return Dx7Driver::ShowFrame();
    }
};

// ---------------------------------------------------------------------------
// [SECTION] Mode switch
void ModeSwitch() { g.enteredMode = static_cast<uint8_t>(SwitchMode(g.enteredMode)); }

// The title names the edited area in editor mode and marks unsaved changes.
void UpdateTitle() {
    const std::string title = WindowTitle(g.enteredMode);
    if (title == g.title || !g.window) return;
    g.title = title;
    SetWindowTextA(g.window, title.c_str());
}

// ---------------------------------------------------------------------------
// [SECTION] The window procedure's handlers

// Returns true when the window was closed.
bool ExitSequence() {
    LogLine("MESSAGE - key/menu exit");
    // Unsaved editor work is offered for saving first, whichever the mode.
    if (!QuitConfirmed() || !EditorReadyToQuit()) return false;
    CreditsIfPlaying(ShellPumpInput);
    SetActive(false);
    CloseSettled();
    return true;
}

// WM_COMMAND: true when the command was handled and the result is 0.
bool OnCommand(int command) {
    switch (command) {
    case IDM_EXIT: return ExitSequence();
    case IDM_CHANGE_DEVICE:
        if (g_gfxdriver) g_gfxdriver->ChangeEnvironment();
        return false;
    case IDM_TOGGLE_FULLSCREEN:
        if (g_gfxdriver) g_gfxdriver->ToggleFullscreen();
        return false;
    case IDM_SAVE_AREA: RunEditorCommand(EditorCommand::SaveArea); return false;
    case IDM_OPEN_AREA: RunEditorCommand(EditorCommand::OpenArea); return false;
    case IDM_UNDO: RunEditorCommand(EditorCommand::Undo); return false;
    case IDM_REDO: RunEditorCommand(EditorCommand::Redo); return false;
    default: return false;
    }
}

void OnSize(WPARAM type, LPARAM lparam) {
    if (type == SIZE_MINIMIZED || type == SIZE_MAXHIDE) {
        LogLine("MESSAGE - size - hide engine");
        SetActive(false);
    } else if (type == SIZE_RESTORED) {
        int width = LOWORD(lparam), height = HIWORD(lparam);
        LogLine("MESSAGE - size - restored (%i, %i)", width, height);
        if (g_gfxdriver && g_gfxdriver->width == width && g_gfxdriver->height == height + kMenuBarHeight)
            SetActive(true);
    } else {
        LogLine("MESSAGE - size - unknown");
    }
}

LRESULT OnActivate(WPARAM wparam) {
    switch (LOWORD(wparam)) {
    case WA_ACTIVE:
    case WA_CLICKACTIVE:
        LogLine(LOWORD(wparam) == WA_ACTIVE ? "Window comes into focus. (keyboard)"
                                            : "Window comes into focus. (click)");
        SetActive(true);
        AcquireInput();
        break;
    case WA_INACTIVE:
        LogLine("loose focus - should unaquire");
        SetActive(false);
        UnacquireInput();
        break;
    default: LogLine("MESSAGE - Other activate message"); break;
    }
    return 0;
}

bool Fullscreen() { return g_gfxdriver && g_gfxdriver->fullscreen; }

// ---------------------------------------------------------------------------
// [SECTION] Replayed keys
// A replay's key presses as the window sees them: through the accelerators.

void ReplayWindowKeys() {
    if (!g_replay) return;
    ReplayEvent e;
    while (g.window && g_replay->NextWindowKey(HarnessFrame(), &e)) {
        if (e.code < 0 || e.code > 255) continue;
        g.replayHeld[e.code] = e.pressed;
        if (!e.pressed) continue;
        int command = ReplayAccelerator(e.code, g.replayHeld);
        if (command) SendMessageA(g.window, WM_COMMAND, MAKEWPARAM(command, 1), 0);
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Main loop
// The harness's stats line (--stats N): the working set, and the textures
// the driver holds.
void LogStats() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    const long residentKb = GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)
                                ? static_cast<long>(counters.WorkingSetSize / 1024)
                                : 0;
    const OpenGLDriver* gl = dynamic_cast<const OpenGLDriver*>(g_gfxdriver);
    const int textures = g.dx7 ? g.dx7->Textures().Count() : gl ? gl->LiveTextures() : 0;
    LogLine("%s", HarnessStatsLine(residentKb, textures).c_str());
}


void RunFrame() {
    g.frameRunning = true;
    RunModeFrame(g.enteredMode);
    g.frameRunning = false;
    UpdateTitle();
    // A frame that presented nothing still gets its screenshots.
    SaveScreenshots(true);
    const bool last = HarnessEndFrame();
    if (HarnessStatsDue()) LogStats();
    if (last) CloseSettled();
}

int MainLoop() {
    MSG msg;
    for (;;) {
        const bool taken = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        if (taken) {
            if (msg.message == WM_QUIT) return 1;
            if (!TranslateAcceleratorA(g.window, g.accelerators, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        ReplayWindowKeys();
        if (g_settings->editor != g.enteredMode) ModeSwitch();
        if (Active() && g.window)
            RunFrame();
        else if (!taken)
            // In the background with nothing to handle: sleep until a
            // message comes rather than spin a core.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, kInactiveWaitMs, QS_ALLINPUT);
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Start-up and shut-down
std::string ExecutableFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string p(path, n);
    size_t cut = p.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
}

// A program of the Windows subsystem has no console of its own: the text goes
// to standard output where that leads somewhere (a pipe, a file, or the
// console the program was started from), else into a box.
void TellOnStandardOutput(const char* caption, const std::string& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS) || !std::freopen("CONOUT$", "w", stdout)) {
            MessageBoxA(nullptr, text.c_str(), caption, MB_OK | MB_ICONINFORMATION);
            return;
        }
    }
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

int Run() {
    // 1. The window class.
    WNDCLASSA wc = {};
    wc.style = 0;
    wc.lpfnWndProc = ShellWindowProc;
    wc.hInstance = g.instance;
    wc.hIcon = LoadIconA(g.instance, MAKEINTRESOURCEA(IDI_ZENDAR));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);

    // 2. The window, hidden again at once: the driver shows it as it needs.
    HMENU menu = LoadMenuA(g.instance, MAKEINTRESOURCEA(IDR_MENU));
    g.window =
        CreateWindowExA(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                        CW_USEDEFAULT, kWindowWidth, kWindowHeight, nullptr, menu, g.instance, nullptr);
    if (!g.window) {
        std::fprintf(stderr, "zendar1: cannot create the window (error %lu)\n", GetLastError());
        return 1;
    }
    UpdateWindow(g.window);
    ShowWindow(g.window, SW_HIDE);
    // 3. The accelerators.
    g.accelerators = LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    if (!g.accelerators) g.accelerators = LoadAcceleratorsA(g.instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));

    static Win32Dialogs dialogs(g.instance);
    g_dialogs = &dialogs;

    // 4. The log. 5. The joined-file archive. 6. The settings record.
    Settings& settings = StartLogArchiveAndSettings();

    // 7. The graphics driver. 8. Its Init on the main window.
    if (settings.renderer != 1)
        g_gfxdriver = g.dx7 = new ShellDx7Driver();
    else
        g_gfxdriver = new ShellOpenGLDriver();
    if (!g_gfxdriver) {
        LogLine("FATAL ERROR - Could not create a graphics driver...");
        return 1;
    }
    if (!g_gfxdriver->Init(g.instance, g.window)) {
        LogLine("FATAL ERROR - Could not initialize the graphics driver...");
        return 1;
    }
    // What the settings could not use is told once the window shows: the
    // log alone is read by nobody.
    StartProblemsBox(settings.problems);

    // 9. The input driver; a replay is played in place of its devices.
    static ReplayInputFeed replayFeed(g_replay);
    if (!CreateDx7InputDriver(g.window, g.instance, g_replay ? &replayFeed : nullptr)) {
        ErrorBox("Error", "Cannot create an inputdriver");
        return 1;
    }
    // 10. Sound. 11-16. Player camera, game object, font, world, fog,
    // interface images.
    g_sounddriver = CreateWin32SoundDriver();
    StartEngine(settings);
    // 17. Intro. 18. Mode. 19. Main loop.
    Intro();
    ModeSwitch();
    int result = MainLoop();
    ReportMissedScreenshots();
    return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Accelerators and the window procedure
int ReplayAccelerator(int code, const bool held[256]) {
    bool ctrl = held[DIK_LCONTROL] || held[DIK_RCONTROL];
    bool shift = held[DIK_LSHIFT] || held[DIK_RSHIFT];
    bool alt = held[DIK_LMENU] || held[DIK_RMENU];
    if (code == DIK_ESCAPE && !ctrl && !shift && !alt) return IDM_EXIT;
    if (code == DIK_F2 && !ctrl && !shift && !alt) return IDM_CHANGE_DEVICE;
    if (code == DIK_RETURN && alt && !ctrl && !shift) return IDM_TOGGLE_FULLSCREEN;
    if (ctrl && !shift && !alt) {
        if (code == DIK_O) return IDM_OPEN_AREA;
        if (code == DIK_S) return IDM_SAVE_AREA;
        if (code == DIK_Z) return IDM_UNDO;
        if (code == DIK_Y) return IDM_REDO;
    }
    return 0;
}

LRESULT CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_DESTROY:
        LogLine("MESSAGE - destroy");
        SetActive(false);
        if (g_gfxdriver) g_gfxdriver->Shutdown();
        g.window = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
        LogLine("MESSAGE - move");
        if (g_gfxdriver)
            g_gfxdriver->Move(static_cast<int16_t>(LOWORD(lparam)), static_cast<int16_t>(HIWORD(lparam)));
        break;
    case WM_SIZE: OnSize(wparam, lparam); break;
    case WM_ACTIVATE: return OnActivate(wparam);
    case WM_PAINT:
        if (g_gfxdriver) g_gfxdriver->Paint();
        break;
    case WM_CLOSE:
        // The close box: unsaved editor work is offered for saving first.
        if (!g.closeSettled && !EditorReadyToQuit()) return 0;
        LogLine("MESSAGE - WM close");
        SetActive(false);
        DestroyWindow(window);
        return 0;
    case WM_SETCURSOR:
        if (g_gfxdriver && Active() && g_gfxdriver->fullscreen) {
            SetCursor(nullptr);
            return 1;
        }
        break;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize.x = kMinTrackSize;
        info->ptMinTrackSize.y = kMinTrackSize;
        break;
    }
    case WM_CONTEXTMENU: LogLine("MESSAGE - context menu"); break;
    case WM_NCHITTEST:
        if (Fullscreen()) return HTCLIENT;
        break;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wparam))) return 0;
        break;
    case WM_SYSCOMMAND:
        switch (wparam & 0xFFF0) {
        case SC_SIZE:
        case SC_MOVE:
        case SC_MAXIMIZE:
        case SC_MONITORPOWER:
            if (Fullscreen()) return 1;
            break;
        default: break;
        }
        break;
    case WM_ENTERMENULOOP:
        LogLine("MESSAGE - enter menu loop");
        SetActive(false);
        if (g_gfxdriver) g_gfxdriver->Pause(true);
        UnacquireInput();
        break;
    case WM_EXITMENULOOP:
        LogLine("MESSAGE - exit menu");
        AcquireInput();
        if (g_gfxdriver) g_gfxdriver->Pause(false);
        SetActive(true);
        break;
    case WM_POWERBROADCAST:
        if (wparam == PBT_APMQUERYSUSPEND) {
            SetActive(false);
            return 1;
        }
        if (wparam == PBT_APMRESUMESUSPEND) {
            SetActive(true);
            return 1;
        }
        break;
    case WM_ENTERSIZEMOVE:
        LogLine("MESSAGE - enter size/move");
        SetActive(false);
        UnacquireInput();
        break;
    case WM_EXITSIZEMOVE:
        LogLine("MESSAGE - exit size/move");
        AcquireInput();
        SetActive(true);
        break;
    default: break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// ---------------------------------------------------------------------------
// [SECTION] Clocks, input pump and entry point
HWND ShellWindow() { return g.window; }

float ShellSeconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    if (!g.perfStarted) {
        g.perfOrigin = now;
        g.perfStarted = true;
    }
    int64_t ticks = now.QuadPart - g.perfOrigin.QuadPart;
    return static_cast<float>(static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart));
}

uint32_t ShellMilliseconds() { return timeGetTime(); }

// DirectInput's devices take their events while the thread looks at its
// queue; the keyboard and mouse messages themselves are dropped, so no
// accelerator runs.
void ShellPumpInput() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageA(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}

int ZendarMain(int argc, char** argv) {
    HarnessOptions options;
    const int ended = ReadCommandLine(
        argc, argv, [](const std::string& text) { TellOnStandardOutput("Zendar1", text); }, &options);
    if (ended >= 0) return ended;
    if (options.base.empty()) SetBasePath(ExecutableFolder().c_str());
    StartHarness(options);
    ShellSeconds();
    if (options.fixedStep <= 0.0) SetClockSource(ShellClock());
    g.instance = GetModuleHandleA(nullptr);
    return Run();
}
