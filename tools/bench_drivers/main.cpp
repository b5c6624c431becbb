// bench_drivers: the graphics drivers of the Windows build side by side on
// the scene of bench_gl (100 meshes of 1,000 lit, textured triangles, 100,000
// per frame, at 1024 x 768), each on a window of its own: Dx7Driver and
// OpenGLDriverWindows, both drawing every mesh as one indexed VERTEX list.
// Prints frames per second and CPU milliseconds per frame of each, and their
// ratio. The drivers take turns so that a busy moment of the machine hits
// both.
//
// CPU time is the whole process's, every thread included: under Wine the
// rasteriser's threads are threads Windows does not know about, so it is
// read from the process's /proc entry when the program runs there, and from
// GetProcessTimes otherwise.
//
// Usage: bench_drivers [seconds per driver, default 4]
#include <windows.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../bench_common/driver_scene.h"
#include "os/replay.h"
#include "gfxdriver/dx7driver/dx7driver.h"
#include "gfxdriver/opengldriver/image.h"
#include "gfxdriver/opengldriver/opengldriverwindows.h"
#include "utility/basepath.h"

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

HWND MakeWindow(const char* title) {
    static bool registered = false;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "bench_drivers";
    if (!registered) registered = RegisterClassA(&wc) != 0;
    return CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// utime + stime of a /proc/<pid>/stat line, in seconds, and the command name.
bool ReadStat(const std::string& path, std::string* command, double* seconds) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buffer[1024] = {};
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    // The command name is in parentheses and may hold any character.
    const char* open = std::strchr(buffer, '(');
    const char* close = std::strrchr(buffer, ')');
    unsigned long long utime = 0, stime = 0;
    if (!open || !close || close < open ||
        std::sscanf(close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return false;
    command->assign(open + 1, close);
    *seconds = static_cast<double>(utime + stime) / 100.0;
    return true;
}

// Under Wine the program is a Unix process named after its file (cut to the
// 15 characters the kernel keeps); its /proc entry counts every thread. Wine
// opens files in its server, so "/proc/self" would be the server's: the
// entry is found by name instead. Empty when not under Wine.
std::string UnixStatPath() {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string name = exe;
    name = name.substr(name.find_last_of("\\/") + 1).substr(0, 15);
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE) return std::string();
    std::string found;
    do {
        if (entry.cFileName[0] < '1' || entry.cFileName[0] > '9') continue;
        const std::string path = std::string("Z:\\proc\\") + entry.cFileName + "\\stat";
        std::string command;
        double seconds = 0;
        if (ReadStat(path, &command, &seconds) && command == name) found = path;
    } while (found.empty() && FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

// Seconds of CPU the whole process has used.
double ProcessCpuSeconds() {
    static const std::string stat = UnixStatPath();
    std::string command;
    double seconds = 0;
    if (!stat.empty() && ReadStat(stat, &command, &seconds)) return seconds;
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto toSeconds = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return toSeconds(kernel) + toSeconds(user);
}

double WallSeconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Bench {
    const char* name;
    GfxDriver* driver;
    void (*finish)(GfxDriver*);  // waits until the frames drawn so far are done
    bool present;                // ShowFrame after each frame
    int frames = 0;
    int faces = 0;
    double wall = 0;
    double cpu = 0;
};

void DrawFrame(GfxDriver* d, const std::vector<bench::SceneMesh>& meshes, bool present) {
    d->BeginScene();
    d->Clear(0xFF203040);
    for (const bench::SceneMesh& m : meshes) {
        d->SetWorldMatrix(&m.world);
        d->DrawIndexedList(m.vertices.data(), static_cast<int>(m.vertices.size()), m.indices.data(),
                           static_cast<int>(m.indices.size()));
    }
    d->EndScene();
    if (present) d->ShowFrame();
}

void Measure(Bench* b, const std::vector<bench::SceneMesh>& meshes, double seconds) {
    DrawFrame(b->driver, meshes, b->present);
    b->finish(b->driver);
    const double wallStart = WallSeconds(), cpuStart = ProcessCpuSeconds();
    double elapsed = 0;
    do {
        DrawFrame(b->driver, meshes, b->present);
        ++b->frames;
        elapsed = WallSeconds() - wallStart;
    } while (elapsed < seconds);
    b->finish(b->driver);
    b->wall += WallSeconds() - wallStart;
    b->cpu += ProcessCpuSeconds() - cpuStart;
    b->faces = b->driver->faces;
}

void FinishDx7(GfxDriver* d) {
    std::vector<uint8_t> rgb;
    static_cast<Dx7Driver*>(d)->ReadBackBuffer(&rgb, nullptr, nullptr);
}

void FinishGL(GfxDriver*) {
    // SwapBuffers has been called; reading a pixel waits for the frame.
    unsigned char pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
    if (!(seconds > 0)) seconds = 4.0;

    // The checker texture as a bitmap both drivers load.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "bench_drivers\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    Image texture;
    texture.width = texture.height = 64;
    texture.bpp = 32;
    texture.size = 64 * 64 * 4;
    texture.data = new uint8_t[texture.size];
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) bench::SceneTexel(x, y, texture.data + (y * 64 + x) * 4);
    texture.valid = 1;
    if (!WriteBitmap(texture, (folder + "bench.bmp").c_str())) {
        std::fprintf(stderr, "bench_drivers: cannot write %sbench.bmp\n", folder.c_str());
        return 1;
    }
    SetBasePath(folder.c_str());

    // The device dialog takes its default.
    Replay replay;
    std::string error;
    replay.Parse("answer ok\n", &error);
    g_replay = &replay;
    Dx7Driver dx7;
    if (!dx7.Init(GetModuleHandleA(nullptr), MakeWindow("Dx7Driver"))) return 1;
    g_replay = nullptr;
    OpenGLDriverWindows gl;
    if (!gl.Init(nullptr, MakeWindow("OpenGLDriverWindows"))) return 1;
    // The third is the first without its blit into the window: what the
    // frame costs Direct3D alone.
    Bench benches[3] = {{"Dx7Driver", &dx7, FinishDx7, true},
                        {"OpenGLDriverWindows", &gl, FinishGL, true},
                        {"Dx7Driver, no blit", &dx7, FinishDx7, false}};
    bench::SetupSceneState(&dx7);
    bench::SetupSceneState(&gl);
    for (GfxDriver* d : {static_cast<GfxDriver*>(&dx7), static_cast<GfxDriver*>(&gl)}) {
        d->GenerateTexture("bench.bmp", nullptr);
        d->SetTexture("bench.bmp");
    }
    std::printf("device: %s; CPU time from %s\n",
                dx7.DeviceList().devices[static_cast<size_t>(dx7.Choice().device)].name.c_str(),
                UnixStatPath().empty() ? "GetProcessTimes" : UnixStatPath().c_str());

    const std::vector<bench::SceneMesh> meshes = bench::MakeSceneMeshes();
    const int rounds = 4;
    for (int round = 0; round < rounds; ++round)
        for (Bench& b : benches) Measure(&b, meshes, seconds / rounds);
    double cpuPerFrame[3];
    for (int i = 0; i < 3; ++i) {
        const Bench& b = benches[i];
        cpuPerFrame[i] = 1000.0 * b.cpu / b.frames;
        std::printf("%-20s %7.2f fps  %8.1f ms CPU per frame  (%d triangles per frame)\n", b.name,
                    b.frames / b.wall, cpuPerFrame[i], b.faces);
    }
    std::printf("CPU per frame, Dx7Driver / OpenGLDriverWindows: %.2f (without the blit %.2f)\n",
                cpuPerFrame[0] / cpuPerFrame[1], cpuPerFrame[2] / cpuPerFrame[1]);
    return 0;
}
