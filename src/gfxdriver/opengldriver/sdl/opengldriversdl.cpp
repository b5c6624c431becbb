#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"

#include <GL/gl.h>

#include "gfxdriver/opengldriver/screenshot.h"

namespace {

const int kClientWidth = 1024;
const int kClientHeight = 768;

void DefaultMessageBox(const char* caption, const char* text) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text, nullptr);
}

OpenGLDriverMessageBox g_message_box = DefaultMessageBox;
std::string g_screenshot_path;
bool g_screenshot_written = false;

}  // namespace

void SetOpenGLDriverMessageBox(OpenGLDriverMessageBox box) { g_message_box = box ? box : DefaultMessageBox; }

void OpenGLDriverSDLRequestScreenshot(const char* path) {
    g_screenshot_path = path ? path : "";
    g_screenshot_written = false;
}

bool OpenGLDriverSDLScreenshotWritten() { return g_screenshot_written; }

void OpenGLDriverSDLPrepareWindow() {
    // True colour (eight bits per channel; like a 32-bit Windows pixel format
    // it asks for no destination alpha), 16 depth bits, double-buffered.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The driver is fixed-function OpenGL 1.1: ask for a compatibility context.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
}

Uint32 OpenGLDriverSDLWindowFlags() { return SDL_WINDOW_OPENGL; }

SDL_Window* OpenGLDriverSDLCreateWindow(const char* title, bool hidden) {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    OpenGLDriverSDLPrepareWindow();
    Uint32 flags = OpenGLDriverSDLWindowFlags() | (hidden ? SDL_WINDOW_HIDDEN : 0);
    return SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                            kClientWidth, kClientHeight, flags);
}

GfxDriver* CreateOpenGLDriverSDL() { return new OpenGLDriverSDL(); }

OpenGLDriverSDL::OpenGLDriverSDL() {}

// The engine keeps its driver until the process ends; tools and tests that
// make several drivers on one window give each context back.
OpenGLDriverSDL::~OpenGLDriverSDL() {
    if (context) SDL_GL_DeleteContext(context);
}

bool OpenGLDriverSDL::Init(void*, void* handle) {
    window = static_cast<SDL_Window*>(handle);
    const char* failure = nullptr;
    if (!window) {
        failure = "Can't Create A GL Device Context.";
    } else if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
        // The pixel format is fixed when the window is created.
        failure = "Can't Find A Suitable PixelFormat.";
    } else {
        // Windowed, 1024 x 768 client area at the top-left corner.
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowBordered(window, SDL_TRUE);
        SDL_SetWindowSize(window, kClientWidth, kClientHeight);
        SDL_SetWindowPosition(window, 0, 0);
        context = SDL_GL_CreateContext(window);
        if (!context) {
            failure = "Can't Create A GL Rendering Context.";
        } else if (SDL_GL_MakeCurrent(window, context) != 0) {
            failure = "Can't Activate The GL Rendering Context.";
        }
    }
    if (failure) {
        Shutdown();
        g_message_box("ERROR", failure);
        return false;
    }
    // Frame pacing is the main loop's business.
    SDL_GL_SetSwapInterval(0);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    InitState(kClientWidth, kClientHeight);
    return true;
}

void* OpenGLDriverSDL::GLFunction(const char* name) {
    return context ? SDL_GL_GetProcAddress(name) : nullptr;
}

bool OpenGLDriverSDL::ShowFrame() {
    if (!g_screenshot_path.empty()) {
        g_screenshot_written = SaveScreenshot(g_screenshot_path.c_str(), width, height, false);
        g_screenshot_path.clear();
    }
    if (window) SDL_GL_SwapWindow(window);
    CheckError("ShowFrame");
    return true;
}
