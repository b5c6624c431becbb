// The OpenGL driver bound to a Win32 window through WGL (Windows builds; the
// Linux build binds it to SDL instead, see sdl/opengldriversdl.h).
//
//   GfxDriver* d = CreateOpenGLDriverWindows();
//   if (!d->Init(instance, hwnd)) ...  // false: the "ERROR" box was shown
//
// Init makes the window a 1024 x 768 overlapped window at (0, 0), sets a
// double-buffered 32-bit RGBA pixel format with 16 depth bits, creates and
// activates the context, shows the window and sets the initial state.
#ifndef ZENDAR_GFXDRIVER_OPENGLDRIVER_OPENGLDRIVERWINDOWS_H
#define ZENDAR_GFXDRIVER_OPENGLDRIVER_OPENGLDRIVERWINDOWS_H

#ifdef _WIN32

#include <windows.h>

#include "gfxdriver/opengldriver/opengldriver.h"

class OpenGLDriverWindows : public OpenGLDriver {
public:
    OpenGLDriverWindows();
    ~OpenGLDriverWindows() override;

    // instance is unused; window is the HWND.
    bool Init(void* instance, void* window) override;
    bool ShowFrame() override;

protected:
    void* GLFunction(const char* name) override;

private:
    HDC dc = nullptr;
};

GfxDriver* CreateOpenGLDriverWindows();

#endif  // _WIN32

#endif  // ZENDAR_GFXDRIVER_OPENGLDRIVER_OPENGLDRIVERWINDOWS_H
