// bench_editor: runs the program in editor mode (the same start-up as
// `zendar1 --editor`: the village the start script loads, seen from above)
// on the real clock for a number of frames while nothing moves, and reports
// milliseconds per frame: the whole frame, the world render and the overlay
// phase around it. The first frames (scene load, texture uploads) are left
// out. Measured like bench_game, so the two frames can be compared.
//
//   bench_editor [GAME_FOLDER] [FRAMES] [WARMUP] [ZENDAR1 OPTIONS...]
//
// GAME_FOLDER defaults to the build's game folder (build/bin; the program
// itself is built in build/tools/bin; "" for the default when options follow). Options after WARMUP go
// to the program as they are (a --replay that toggles the helper objects or
// flies elsewhere, an --area). Run it under a display (xvfb-run for Mesa's
// software renderer).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "game/screens.h"
#include "os/sdl/shell.h"

namespace {

std::vector<float> g_frame, g_world, g_draw;
float g_lastEnd = -1.0f;
// Processor time after the warm-up and at the last frame: the whole process
// (the rasteriser's threads too) and the main thread alone.
double g_cpuStart = -1.0, g_cpuEnd = 0.0, g_mainStart = -1.0, g_mainEnd = 0.0;

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}
int g_warmup = 100;
int g_seen = 0;

void Observe(const FrameClock& clock) {
    float end = ShellSeconds();
    ++g_seen;
    if (g_seen == g_warmup) {
        g_cpuStart = CpuSeconds(RUSAGE_SELF);
        g_mainStart = CpuSeconds(RUSAGE_THREAD);
    }
    if (g_seen > g_warmup && g_lastEnd >= 0.0f) {
        g_cpuEnd = CpuSeconds(RUSAGE_SELF);
        g_mainEnd = CpuSeconds(RUSAGE_THREAD);
        g_frame.push_back(end - g_lastEnd);
        g_world.push_back(clock.worldRenderTime);
        g_draw.push_back(clock.drawTime);
    }
    g_lastEnd = end;
}

void Report(const char* what, std::vector<float> v) {
    double sum = 0.0;
    for (float x : v) sum += x;
    std::sort(v.begin(), v.end());
    const double mean = v.empty() ? 0.0 : sum / v.size();
    const double median = v.empty() ? 0.0 : v[v.size() / 2];
    std::printf("%-22s mean %7.3f ms   median %7.3f ms\n", what, mean * 1000.0, median * 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 && argv[1][0] ? argv[1] : ZENDAR_GAME_FOLDER;
    int frames = argc > 2 ? std::atoi(argv[2]) : 400;
    g_warmup = argc > 3 ? std::atoi(argv[3]) : 100;
    if (frames <= g_warmup + 1) {
        std::fprintf(stderr, "usage: bench_editor [GAME_FOLDER] [FRAMES > WARMUP + 1] [WARMUP]\n");
        return 2;
    }
    std::string count = std::to_string(frames);
    std::vector<std::string> args = {"bench_editor", "--editor", "--frames", count};
    if (!folder.empty()) {
        args.push_back("--base");
        args.push_back(folder + "/");
    }
    for (int i = 4; i < argc; ++i) args.push_back(argv[i]);
    std::vector<char*> argvGame;
    for (std::string& a : args) argvGame.push_back(&a[0]);
    argvGame.push_back(nullptr);

    g_frameTimingObserver = Observe;
    ZendarMain(static_cast<int>(args.size()), argvGame.data());

    std::printf("bench_editor: %zu frames measured after %d warm-up frames\n", g_frame.size(), g_warmup);
    Report("whole frame", g_frame);
    Report("world render", g_world);
    Report("overlay phase", g_draw);
    if (!g_frame.empty()) {
        std::vector<float> v = g_frame;
        std::sort(v.begin(), v.end());
        std::printf("frames per second      %.1f (from the median frame)\n", 1.0 / v[v.size() / 2]);
        // On a machine shared with other work the wall clock waits for a
        // core; the processor time a frame takes does not.
        const double n = static_cast<double>(g_frame.size());
        const double all = (g_cpuEnd - g_cpuStart) / n, main = (g_mainEnd - g_mainStart) / n;
        std::printf("processor time a frame %.3f ms (all threads), %.3f ms (main thread)\n", all * 1000.0,
                    main * 1000.0);
    }
    return g_frame.empty() ? 1 : 0;
}
