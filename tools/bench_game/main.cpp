// bench_game: runs the game itself (the same start-up, intro script, village
// and frames as zendar1) on the real clock for a number of frames while the
// player stands at the start of the village, and reports milliseconds per
// frame: the whole frame, the game frame's work, the world render and the
// overlay phase around it, and the CPU time of the whole process (every
// thread, the renderer's included) a frame, which other work on a shared
// machine disturbs less than the wall time. The first frames (script, scene
// load, texture uploads) are left out.
//
//   bench_game [GAME_FOLDER] [FRAMES] [WARMUP]
//
// GAME_FOLDER defaults to the build's game folder (build/bin; the program
// itself is built outside it, in build/tools/bin). Run it under a display (xvfb-run for Mesa's software renderer).
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/screens.h"
#include "os/sdl/shell.h"

namespace {

struct Sample {
    float frame;  // from one overlay's end to the next
    float work;
    float world;
    float draw;
};

std::vector<Sample> g_samples;
float g_lastEnd = -1.0f;
double g_cpuStart = 0.0;  // process CPU seconds when the measured frames began
double g_cpuEnd = 0.0;
int g_warmup = 100;
int g_seen = 0;

double CpuSeconds() {
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

void Observe(const FrameClock& clock) {
    float end = ShellSeconds();
    ++g_seen;
    if (g_seen > g_warmup && g_lastEnd >= 0.0f)
        g_samples.push_back(
            Sample{end - g_lastEnd, clock.gameFrameWorkTime, clock.worldRenderTime, clock.drawTime});
    if (g_seen == g_warmup) g_cpuStart = CpuSeconds();
    g_cpuEnd = CpuSeconds();
    g_lastEnd = end;
}

double Mean(const std::vector<float>& v) {
    double sum = 0.0;
    for (float x : v) sum += x;
    return v.empty() ? 0.0 : sum / v.size();
}

double Median(std::vector<float> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Report(const char* what, const std::vector<float>& v) {
    std::printf("%-22s mean %7.3f ms   median %7.3f ms\n", what, Mean(v) * 1000.0, Median(v) * 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : ZENDAR_GAME_FOLDER;
    int frames = argc > 2 ? std::atoi(argv[2]) : 400;
    g_warmup = argc > 3 ? std::atoi(argv[3]) : 100;
    if (frames <= g_warmup + 1) {
        std::fprintf(stderr, "usage: bench_game [GAME_FOLDER] [FRAMES > WARMUP + 1] [WARMUP]\n");
        return 2;
    }
    std::string count = std::to_string(frames);
    std::vector<std::string> args = {"bench_game", "--frames", count};
    if (!folder.empty()) {
        args.push_back("--base");
        args.push_back(folder + "/");
    }
    std::vector<char*> argvGame;
    for (std::string& a : args) argvGame.push_back(&a[0]);
    argvGame.push_back(nullptr);

    g_frameTimingObserver = Observe;
    ZendarMain(static_cast<int>(args.size()), argvGame.data());

    std::vector<float> frame, work, world, draw;
    for (const Sample& s : g_samples) {
        frame.push_back(s.frame);
        work.push_back(s.work);
        world.push_back(s.world);
        draw.push_back(s.draw);
    }
    std::printf("bench_game: %zu frames measured after %d warm-up frames\n", g_samples.size(), g_warmup);
    Report("whole frame", frame);
    Report("game frame work", work);
    Report("world render", world);
    Report("overlay phase", draw);
    if (!g_samples.empty())
        std::printf("%-22s mean %7.3f ms\n", "process CPU a frame",
                    (g_cpuEnd - g_cpuStart) * 1000.0 / static_cast<double>(g_samples.size()));
    return g_samples.empty() ? 1 : 0;
}
