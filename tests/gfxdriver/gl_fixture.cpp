#include "gl_fixture.h"

#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

std::vector<std::string> CapturedLog::Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(capture_.Text());
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool CapturedLog::Contains(const std::string& line) const {
    for (const std::string& l : Lines())
        if (l == line) return true;
    return false;
}

int CapturedLog::Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& l : Lines())
        if (l.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

SDL_Window* TestWindow() {
    static SDL_Window* window = OpenGLDriverSDLCreateWindow("gfxdriver tests", true);
    return window;
}

std::unique_ptr<OpenGLDriverSDL> MakeGLDriver() {
    SDL_Window* window = TestWindow();
    if (!window) {
        ADD_FAILURE() << "no window: " << SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<OpenGLDriverSDL> driver(new OpenGLDriverSDL());
    if (!driver->Init(nullptr, window)) {
        ADD_FAILURE() << "Init failed: " << SDL_GetError();
        return nullptr;
    }
    return driver;
}

Rgb PixelAt(int x, int y) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    unsigned char p[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, viewport[3] - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return Rgb{p[0], p[1], p[2]};
}

void WriteBmpBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TempFolder::TempFolder(const std::string& tag) : dir_("gfx_" + tag + "_"), path_(dir_.path() + "/") {}

MATRIX Identity() {
    MATRIX m;
    MatrixIdentity(m);
    return m;
}

MATRIX Translation(float x, float y, float z) {
    MATRIX m;
    MatrixTranslation(m, x, y, z);
    return m;
}
