// bench_gl: 100 meshes of 1,000 lit, textured triangles (100,000 per frame)
// at 1024 x 768, drawn
//   immediate:      the driver's indexed VERTEX list in immediate mode (one
//                   OpenGL call per vertex attribute), one draw per mesh;
//   driver-indexed: the same through the driver's vertex-array path;
//   driver-list:    the driver's VERTEX list (indices expanded), vertex arrays;
//   arrays:         straight OpenGL vertex arrays, one glDrawElements per mesh.
// Prints frames per second and CPU time per frame of each, and the ratios.
//
// Usage: bench_gl [seconds per mode, default 3]
#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "../bench_common/driver_scene.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "math/zmath.h"

namespace {

using bench::kSceneColumns;
using bench::kSceneRows;
using Mesh = bench::SceneMesh;

void SetupScene(OpenGLDriver* d) {
    bench::SetupSceneState(d);
    std::vector<uint8_t> pixels(64 * 64 * 4);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) bench::SceneTexel(x, y, &pixels[(y * 64 + x) * 4]);
    d->UploadTexture("bench", pixels.data(), 64, 64, false);
    d->SetTexture("bench");
}

enum Mode {
    kImmediate,
    kDriverIndexed,
    kDriverList,
    kArrays,
    kModes
};

void DrawFrame(OpenGLDriver* d, const std::vector<Mesh>& meshes, Mode mode) {
    d->use_vertex_arrays = mode != kImmediate;
    d->BeginScene();
    d->Clear(0xFF203040);
    for (const Mesh& m : meshes) {
        d->SetWorldMatrix(&m.world);
        switch (mode) {
        case kImmediate:
        case kDriverIndexed:
            d->DrawIndexedList(m.vertices.data(), static_cast<int>(m.vertices.size()), m.indices.data(),
                               static_cast<int>(m.indices.size()));
            break;
        case kDriverList: d->DrawList(m.expanded.data(), static_cast<int>(m.expanded.size())); break;
        default: {
            const VERTEX* v = m.vertices.data();
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_NORMAL_ARRAY);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glVertexPointer(3, GL_FLOAT, sizeof(VERTEX), &v->x);
            glNormalPointer(GL_FLOAT, sizeof(VERTEX), &v->nx);
            glTexCoordPointer(2, GL_FLOAT, sizeof(VERTEX), &v->tu);
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(m.indices.size()), GL_UNSIGNED_SHORT,
                           m.indices.data());
            glDisableClientState(GL_VERTEX_ARRAY);
            glDisableClientState(GL_NORMAL_ARRAY);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            break;
        }
        }
    }
    d->EndScene();
    d->ShowFrame();
}

struct Result {
    double wall = 0;  // seconds
    double cpu = 0;   // process CPU seconds (every thread, the rasteriser's included)
    int frames = 0;
    int faces = 0;
};

// One round: a few frames of one mode, timed on the wall clock and in CPU
// time (the machine may be shared, so CPU time per frame is the steadier figure).
void Measure(OpenGLDriver* d, const std::vector<Mesh>& meshes, Mode mode, double seconds, Result* result) {
    DrawFrame(d, meshes, mode);
    glFinish();
    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const Uint64 start = SDL_GetPerformanceCounter();
    const std::clock_t cpuStart = std::clock();
    double elapsed = 0;
    do {
        DrawFrame(d, meshes, mode);
        glFinish();
        ++result->frames;
        elapsed = static_cast<double>(SDL_GetPerformanceCounter() - start) / frequency;
    } while (elapsed < seconds);
    result->wall += elapsed;
    result->cpu += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    result->faces = d->faces;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    if (!(seconds > 0)) seconds = 3.0;
    SDL_Window* window = OpenGLDriverSDLCreateWindow("bench_gl", false);
    if (!window) {
        std::fprintf(stderr, "bench_gl: no window: %s\n", SDL_GetError());
        return 1;
    }
    OpenGLDriverSDL driver;
    if (!driver.Init(nullptr, window)) return 1;
    std::vector<Mesh> meshes = bench::MakeSceneMeshes();
    SetupScene(&driver);
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    const char* names[] = {"immediate", "driver-indexed", "driver-list", "arrays"};
    Result results[kModes];
    // Modes take turns so that a busy moment of the machine hits all of them.
    const int rounds = 4;
    for (int round = 0; round < rounds; ++round)
        for (int mode = 0; mode < kModes; ++mode)
            Measure(&driver, meshes, static_cast<Mode>(mode), seconds / rounds, &results[mode]);
    double cpuPerFrame[kModes];
    for (int mode = 0; mode < kModes; ++mode) {
        const Result& r = results[mode];
        cpuPerFrame[mode] = 1000.0 * r.cpu / r.frames;
        std::printf("%-15s %7.2f fps  %8.1f ms CPU per frame  (%d triangles per frame)\n", names[mode],
                    r.frames / r.wall, cpuPerFrame[mode],
                    mode == kArrays ? bench::kSceneMeshes * 2 * kSceneRows * kSceneColumns : r.faces);
    }
    std::printf("CPU per frame, immediate / arrays:      %.2f\n",
                cpuPerFrame[kImmediate] / cpuPerFrame[kArrays]);
    std::printf("CPU per frame, driver-indexed / arrays: %.2f\n",
                cpuPerFrame[kDriverIndexed] / cpuPerFrame[kArrays]);
    std::printf("CPU per frame, driver-list / arrays:    %.2f\n",
                cpuPerFrame[kDriverList] / cpuPerFrame[kArrays]);
    if (argc > 2) {
        OpenGLDriverSDLRequestScreenshot(argv[2]);
        DrawFrame(&driver, meshes, kDriverIndexed);
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
