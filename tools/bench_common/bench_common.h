// Pieces shared by the benchmark programs (header only; this folder is not a
// program of its own): a driver that draws nothing but keeps its matrices, so
// that models load and the scene tree picks as in the game without a window;
// wall and CPU clocks (the machine is shared, so CPU time is the steadier
// figure); a temporary game folder.
#ifndef ZENDAR_TOOLS_BENCH_COMMON_H
#define ZENDAR_TOOLS_BENCH_COMMON_H

#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"

namespace bench {

class NullDriver : public GfxDriver {
public:
    NullDriver() {
        MatrixIdentity(world_);
        MatrixIdentity(view_);
        MatrixIdentity(projection_);
        width = 1024;
        height = 768;
    }
    void Paint() override {}
    void Move(int16_t, int16_t) override {}
    bool RestoreSurfaces() override { return true; }
    void ToggleFullscreen() override {}
    void Shutdown() override {}
    void ChangeEnvironment() override {}
    void Pause(bool) override {}
    bool Init(void*, void*) override { return true; }
    bool BeginScene() override {
        frames++;
        return true;
    }
    void Clear(PackedColor) override {}
    bool EndScene() override { return true; }
    bool ShowFrame() override { return true; }
    bool DrawStrip(const VERTEX*, int) override { return true; }
    bool DrawList(const VERTEX*, int) override { return true; }
    bool DrawLines(const VERTEX*, int) override { return true; }
    bool DrawIndexedList(const VERTEX*, int, const uint16_t*, int) override { return true; }
    bool DrawStrip(const LVERTEX*, int) override { return true; }
    bool DrawList(const LVERTEX*, int) override { return true; }
    bool DrawLines(const LVERTEX*, int) override { return true; }
    bool DrawIndexedList(const LVERTEX*, int, const uint16_t*, int) override { return true; }
    bool DrawStrip(const TLVERTEX*, int) override { return true; }
    bool DrawList(const TLVERTEX*, int) override { return true; }
    bool DrawLines(const TLVERTEX*, int) override { return true; }
    bool DrawIndexedList(const TLVERTEX*, int, const uint16_t*, int) override { return true; }
    bool DrawBox(const float*) override { return true; }
    bool SetAlphaBlending(bool on) override { return Swap(alphaBlending, on); }
    bool SetLighting(bool on) override { return Swap(lighting, on); }
    uint8_t SetZBufferMode(uint8_t mode) override {
        uint8_t before = zbufferMode;
        zbufferMode = mode;
        return before;
    }
    bool SetTextureWrapU(bool wrap) override { return Swap(wrapU, wrap); }
    bool SetTextureWrapV(bool wrap) override { return Swap(wrapV, wrap); }
    void SetBlendMode(uint8_t) override {}
    void SetTextureFilter(uint8_t) override {}
    void SetCullMode(uint8_t) override {}
    void SetAlphaTestMode(uint8_t) override {}
    void SetRenderMode(uint8_t) override {}
    void UseTextureFactorAlpha() override {}
    void UseVertexAlpha() override {}
    void SetTextureFactor(PackedColor) override {}
    bool GenerateTexture(const char*, const char*) override {
        textures_generated++;
        return true;
    }
    bool SetTexture(const char*) override { return true; }
    bool SetTextureFrame(const char*, int) override { return true; }
    bool TextureHasBinaryAlpha(const char*) override { return false; }
    void SetAmbientLight(float, float, float) override {}
    void SetAmbientColor(PackedColor) override {}
    int CreateLight(LightDesc) override { return lights_++; }
    bool SetLight(int, LightDesc) override { return true; }
    void EnableLight(int, bool) override {}
    bool SetMaterial(const MaterialColors*) override { return true; }
    void SetWorldMatrix(const MATRIX* m) override {
        if (m) world_ = *m;
    }
    void SetViewMatrix(const MATRIX* m) override {
        if (m) view_ = *m;
    }
    void SetProjection(float, float, float, float) override {}
    void GetWorldMatrix(MATRIX* out) override {
        if (out) *out = world_;
    }
    void GetViewMatrix(MATRIX* out) override {
        if (out) *out = view_;
    }
    void GetProjectionMatrix(MATRIX* out) override {
        if (out) *out = projection_;
    }
    void SetFogging(bool) override {}
    void SetFogColor(PackedColor) override {}
    void SetFogBegin(float) override {}
    void SetFogEnd(float) override {}

    int textures_generated = 0;

private:
    static bool Swap(uint8_t& state, bool on) {
        bool before = state != 0;
        state = on ? 1 : 0;
        return before;
    }
    MATRIX world_;
    MATRIX view_;
    MATRIX projection_;
    int lights_ = 0;
};

// Wall and process CPU time of one measured stretch, in seconds.
struct Times {
    double wall = 0.0;
    double cpu = 0.0;
};

inline double CpuSeconds() {
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

class Stopwatch {
public:
    Stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(CpuSeconds()) {}
    Times Elapsed() const {
        Times t;
        t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
        t.cpu = CpuSeconds() - cpu_;
        return t;
    }

private:
    std::chrono::steady_clock::time_point wall_;
    double cpu_;
};

// Best wall and best CPU time over several runs (each taken on its own: the
// quietest run of each clock).
inline Times Best(const std::vector<Times>& runs) {
    Times b = runs.empty() ? Times{} : runs[0];
    for (const Times& t : runs) {
        if (t.wall < b.wall) b.wall = t.wall;
        if (t.cpu < b.cpu) b.cpu = t.cpu;
    }
    return b;
}

inline void PrintTimes(const char* what, const Times& t) {
    std::printf("%-44s wall %9.3f ms   cpu %9.3f ms\n", what, t.wall * 1e3, t.cpu * 1e3);
}

inline void PrintTimesUs(const char* what, const Times& t) {
    std::printf("%-44s wall %9.2f us   cpu %9.2f us\n", what, t.wall * 1e6, t.cpu * 1e6);
}

// The whole file into memory with fread, the floor any loader is measured
// against. Returns the byte count (0 when the file does not open).
inline size_t ReadAllBytes(const std::string& path, std::vector<char>& buffer) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    buffer.resize(size > 0 ? static_cast<size_t>(size) : 0);
    size_t n = buffer.empty() ? 0 : std::fread(buffer.data(), 1, buffer.size(), f);
    std::fclose(f);
    return n;
}

inline int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

// A temporary game folder with the given subfolders, removed on destruction.
class TempGameDir {
public:
    explicit TempGameDir(const char* tag) {
        std::string pattern = std::string("/tmp/") + tag + "_XXXXXX";
        if (::mkdtemp(&pattern[0])) path_ = pattern;
    }
    ~TempGameDir() {
        if (!path_.empty()) ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    bool Ok() const { return !path_.empty(); }
    void MakeFolder(const char* name) const { ::mkdir((path_ + "/" + name).c_str(), 0755); }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace bench

#endif
