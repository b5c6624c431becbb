// The SDL platform's shell (src/os/platform.h): entry point, main window,
// main loop and the window procedure's handling of window events, the exit
// sequence, the clocks and the message boxes. It pumps the window's keyboard
// and mouse events into the input driver through an input sink, which the
// services (os/sdl/services.h) point at the driver they create.
#ifndef ZENDAR_OS_SDL_SHELL_H
#define ZENDAR_OS_SDL_SHELL_H

#include <SDL.h>

#include "os/platform.h"

// The main window; null before it is created.
SDL_Window* ShellWindow();

// Keyboard and mouse events the shell takes from SDL's queue go to this
// function (every pass, while no modal loop runs, and in ShellPumpInput);
// null drops them.
typedef void (*ShellInputSink)(const SDL_Event& event);
void SetShellInputSink(ShellInputSink sink);

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

#endif
