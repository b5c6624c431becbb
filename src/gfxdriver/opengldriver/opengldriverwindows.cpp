// Built on Windows only; the Linux build binds the driver to SDL.
#ifdef _WIN32

#include "gfxdriver/opengldriver/opengldriverwindows.h"

#include <GL/gl.h>

namespace {

const int kClientWidth = 1024;
const int kClientHeight = 768;

// ChoosePixelFormat takes the 16 depth bits asked for literally where GLX (the
// Linux build) and most Windows drivers hand out their deepest buffer; at 16
// bits the window panes and doors drawn just in front of the walls fight with
// them. Of the formats that differ from the chosen one only in depth, the
// deepest is taken, so both builds draw the same pixels.
int DeepestEquivalentFormat(HDC dc, int chosen) {
    PIXELFORMATDESCRIPTOR want;
    if (!DescribePixelFormat(dc, chosen, sizeof want, &want)) return chosen;
    PIXELFORMATDESCRIPTOR candidate;
    int count = DescribePixelFormat(dc, 1, sizeof candidate, &candidate);
    int best = chosen;
    BYTE bestDepth = want.cDepthBits;
    for (int i = 1; i <= count; ++i) {
        if (!DescribePixelFormat(dc, i, sizeof candidate, &candidate)) continue;
        if (candidate.dwFlags != want.dwFlags || candidate.iPixelType != want.iPixelType ||
            candidate.cColorBits != want.cColorBits || candidate.cAlphaBits != want.cAlphaBits ||
            candidate.cStencilBits != want.cStencilBits || candidate.cAccumBits != want.cAccumBits)
            continue;
        if (candidate.cDepthBits > bestDepth) {
            best = i;
            bestDepth = candidate.cDepthBits;
        }
    }
    return best;
}

}  // namespace

GfxDriver* CreateOpenGLDriverWindows() { return new OpenGLDriverWindows(); }

OpenGLDriverWindows::OpenGLDriverWindows() {}

// The rendering and device contexts live until the process ends.
OpenGLDriverWindows::~OpenGLDriverWindows() {}

bool OpenGLDriverWindows::Init(void*, void* window) {
    HWND hwnd = static_cast<HWND>(window);

    // Windowed, a 1024 x 768 client area at the top-left corner.
    const DWORD style = WS_OVERLAPPEDWINDOW;
    const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    RECT rect = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(style));
    SetWindowLongA(hwnd, GWL_EXSTYLE, static_cast<LONG>(exStyle));
    SetWindowPos(hwnd, HWND_TOP, 0, 0, rect.right - rect.left, rect.bottom - rect.top, 0);

    PIXELFORMATDESCRIPTOR pfd;
    ZeroMemory(&pfd, sizeof(pfd));
    pfd.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cDepthBits = 16;

    const char* failure = nullptr;
    HGLRC context = nullptr;
    int format = 0;
    dc = GetDC(hwnd);
    if (!dc) {
        failure = "Can't Create A GL Device Context.";
    } else if ((format = ChoosePixelFormat(dc, &pfd)) == 0) {
        failure = "Can't Find A Suitable PixelFormat.";
    } else if (!SetPixelFormat(dc, format = DeepestEquivalentFormat(dc, format), &pfd)) {
        failure = "Can't Set The PixelFormat.";
    } else if ((context = wglCreateContext(dc)) == nullptr) {
        failure = "Can't Create A GL Rendering Context.";
    } else if (!wglMakeCurrent(dc, context)) {
        failure = "Can't Activate The GL Rendering Context.";
    }
    if (failure) {
        Shutdown();
        MessageBoxA(nullptr, failure, "ERROR", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    InitState(kClientWidth, kClientHeight);
    return true;
}

void* OpenGLDriverWindows::GLFunction(const char* name) {
    return reinterpret_cast<void*>(wglGetProcAddress(name));
}

bool OpenGLDriverWindows::ShowFrame() {
    if (dc) SwapBuffers(dc);
    CheckError("ShowFrame");
    return true;
}

#endif  // _WIN32
