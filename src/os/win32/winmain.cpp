// The game executable of the Windows build.
#include <windows.h>

#include <cstdlib>

#include "os/platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return ZendarMain(__argc, __argv); }
