// The Windows build's shell (os/platform.h): WinMain's program, the "D3D
// Window" main window with its menu and accelerators, the message loop, the
// window procedure, the exit sequence and the two clocks.
#ifndef ZENDAR_OS_WIN32_WIN32SHELL_H
#define ZENDAR_OS_WIN32_WIN32SHELL_H

#include <windows.h>

#include "os/platform.h"

// The main window; null before it is created.
HWND ShellWindow();

// The window procedure registered with the "D3D Window" class.
LRESULT CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The menu or accelerator command a replayed key press gives, with the keys
// the replay holds down (DirectInput codes); 0 for none. The window sees a
// replay's keys as it sees typed ones, through accelerator table 113.
int ReplayAccelerator(int code, const bool held[256]);

#endif
