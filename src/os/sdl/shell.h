// The SDL build's shell: entry point, main window, main loop and the window
// procedure's handling of window events, the exit sequence, the clocks and the
// message boxes. The input driver of the SDL build (src/inputdriver/sdl) gets
// the window here and the keyboard and mouse events through an input sink.
#ifndef ZENDAR_OS_SDL_SHELL_H
#define ZENDAR_OS_SDL_SHELL_H

#include <SDL.h>

// The whole program; returns the exit code (1 on every normal and fatal end,
// 2 for a usage error in the automation options).
int ZendarMain(int argc, char** argv);

// The main window; null before it is created.
SDL_Window* ShellWindow();

// Keyboard and mouse events the shell takes from SDL's queue go to this
// function (every pass, while no modal loop runs); null drops them.
typedef void (*ShellInputSink)(const SDL_Event& event);
void SetShellInputSink(ShellInputSink sink);
// For loops that read the devices outside the main loop (the credits screen
// waits for Esc or a click): fetches pending keyboard and mouse events and
// hands them to the sink only. Like DirectInput there, no window message is
// handled, so Esc does not start the exit sequence again.
void ShellPumpInput();

// The real-time clocks: seconds from the performance counter (counted from the
// first reading, so the float keeps millisecond precision however long the
// machine has been up) and milliseconds from SDL's tick count.
float ShellSeconds();
uint32_t ShellMilliseconds();

// The window procedure and its inputs, reachable without a main loop (tests
// drive them with made-up events; the window need not exist).
// One window-class event (SDL_WINDOWEVENT, SDL_QUIT, ...) as a window message.
void ShellWindowEvent(const SDL_Event& event);
// One keyboard or mouse event: menu, input driver, accelerators.
void ShellInputEvent(const SDL_Event& event);
// A menu or accelerator command (the MenuCommand ids of overlay.h).
void ShellCommand(int command);
// The replay's key presses due at the current frame, as the window sees them.
void ShellReplayKeys();
// One pass of the main loop (-1: go on; else the program's result), and the
// mode switch as start-up runs it.
int ShellPass();
void ShellModeSwitch();
// True once the main window was destroyed; it then posts this event type,
// which ends the main loop when taken.
bool ShellWindowDestroyed();
Uint32 ShellQuitEventType();
// Forgets the window's state and takes events for this window id.
void ShellResetForTest(Uint32 window_id);

// Key code helpers for the accelerators, shared with the input driver:
// DirectInput key codes of the keys the shell itself reacts to.
enum : int {
    SHELL_DIK_ESCAPE = 0x01,
    SHELL_DIK_O = 0x18,
    SHELL_DIK_S = 0x1F,
    SHELL_DIK_LCONTROL = 0x1D,
    SHELL_DIK_RCONTROL = 0x9D,
    SHELL_DIK_LSHIFT = 0x2A,
    SHELL_DIK_RSHIFT = 0x36,
    SHELL_DIK_LMENU = 0x38,
    SHELL_DIK_RMENU = 0xB8,
};

#endif
