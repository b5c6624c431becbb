// The OpenGL driver bound to an SDL window (the Linux counterpart of the
// WGL-bound OpenGLDriverWindows).
//
// Use:
//   OpenGLDriverSDLPrepareWindow();           // before SDL_CreateWindow
//   SDL_Window* w = SDL_CreateWindow(..., OpenGLDriverSDLWindowFlags() | ...);
//   GfxDriver* d = CreateOpenGLDriverSDL();   // never null
//   if (!d->Init(nullptr, w)) ...             // false: the box was shown
//   ... frames: BeginScene, Clear, draws, EndScene, ShowFrame
//
// Init sizes the window to a 1024 x 768 client area at (0, 0), creates and
// makes current a double-buffered context (32-bit colour, 16-bit depth),
// shows and raises the window, then sets the initial render state. Failures
// call Shutdown and show an "ERROR" box through the message-box hook.
//
// Screenshots: OpenGLDriverSDLRequestScreenshot(path) makes the next
// ShowFrame write the finished back buffer to a PNG before presenting it.
#ifndef ZENDAR_GFXDRIVER_OPENGLDRIVER_SDL_OPENGLDRIVERSDL_H
#define ZENDAR_GFXDRIVER_OPENGLDRIVER_SDL_OPENGLDRIVERSDL_H

#include <SDL.h>

#include <string>

#include "gfxdriver/opengldriver/opengldriver.h"

class OpenGLDriverSDL : public OpenGLDriver {
public:
    OpenGLDriverSDL();
    ~OpenGLDriverSDL() override;

    // instance is unused; window is the SDL_Window*.
    bool Init(void* instance, void* window) override;
    bool ShowFrame() override;

    SDL_Window* Window() const { return window; }

protected:
    void* GLFunction(const char* name) override;

private:
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

// The driver's factory for the platform layer.
GfxDriver* CreateOpenGLDriverSDL();

// Sets the SDL_GL_* attributes of the pixel format the driver asks for; call
// before creating the window (SDL picks the visual at window creation).
void OpenGLDriverSDLPrepareWindow();
// Window flags the driver needs (SDL_WINDOW_OPENGL).
Uint32 OpenGLDriverSDLWindowFlags();

// How Init reports a failure: caption "ERROR", OK button, warning icon. The
// default shows an SDL message box; the platform layer may route it through
// its own box function (and the harness through scripted answers).
typedef void (*OpenGLDriverMessageBox)(const char* caption, const char* text);
void SetOpenGLDriverMessageBox(OpenGLDriverMessageBox box);

// Next ShowFrame writes the back buffer to path as PNG (before swapping).
void OpenGLDriverSDLRequestScreenshot(const char* path);
// True when the last requested screenshot was written.
bool OpenGLDriverSDLScreenshotWritten();

// For tests and tools: initialises SDL video if needed, creates a window for
// the driver (hidden when asked) and returns it, null on failure.
SDL_Window* OpenGLDriverSDLCreateWindow(const char* title, bool hidden);

#endif  // ZENDAR_GFXDRIVER_OPENGLDRIVER_SDL_OPENGLDRIVERSDL_H
