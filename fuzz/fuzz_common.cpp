#include "fuzz_common.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dialog/dialogstreams.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/log.h"

namespace fuzz {
namespace {

std::string g_folder;
FuzzDriver* g_driver = nullptr;
// Sums what the driver reads, so the reads cannot be left out.
volatile float g_sink = 0.0f;

float Touch(const VERTEX& v) { return v.x + v.y + v.z + v.nx + v.ny + v.nz + v.tu + v.tv; }
float Touch(const LVERTEX& v) { return v.x + v.y + v.z + v.tu + v.tv + static_cast<float>(v.color & 1); }
float Touch(const TLVERTEX& v) { return v.sx + v.sy + v.sz + v.tu + v.tv + static_cast<float>(v.color & 1); }

void Identity(MATRIX& m) {
    for (int i = 0; i < 16; ++i) m.m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

size_t Length(const char* s) { return s ? std::strlen(s) : 0; }

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

void RemoveFolder() {
    if (!g_folder.empty()) ::nftw(g_folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

std::string GameFolder() {
    if (const char* dir = std::getenv("ZENDAR_GAME_DIR")) return std::string(dir) + "/";
    return ZENDAR_FUZZ_GAME_DIR "/";
}

FuzzDriver::FuzzDriver() {
    width = 640;
    height = 480;
    lighting = 1;
    zbufferMode = ZBUFFER_ON;
    wrapU = wrapV = 1;
    Identity(world_);
    Identity(view_);
    Identity(projection_);
}

bool FuzzDriver::BeginScene() {
    ++frames;
    faces = 0;
    vertices = 0;
    return true;
}

template <class V>
bool FuzzDriver::Draw(const V* v, int count, const uint16_t* indices, int indexCount) {
    ++draws;
    if (!v || count <= 0) return true;
    float sum = 0.0f;
    // Every vertex of the array, as a vertex-array upload reads them.
    for (int i = 0; i < count; ++i) sum += Touch(v[i]);
    if (indices && indexCount > 0) {
        for (int i = 0; i < indexCount; ++i)
            if (indices[i] < count) sum += Touch(v[indices[i]]);
        faces += indexCount / 3;
    }
    vertices += count;
    g_sink = g_sink + sum;
    return true;
}

bool FuzzDriver::DrawBox(const float* corners) {
    if (!corners) return true;
    VERTEX lines[24];
    BoxEdgeLines(corners, lines);
    return Draw(lines, 24, nullptr, 0);
}

uint8_t FuzzDriver::SetZBufferMode(uint8_t mode) {
    uint8_t before = zbufferMode;
    if (mode <= ZBUFFER_NOWRITE) zbufferMode = mode;
    return before;
}

bool FuzzDriver::GenerateTexture(const char* name, const char* alphaName) {
    g_sink = g_sink + static_cast<float>(Length(name) + Length(alphaName));
    return name != nullptr;
}

bool FuzzDriver::SetTexture(const char* name) {
    g_sink = g_sink + static_cast<float>(Length(name));
    return true;
}

bool FuzzDriver::SetTextureFrame(const char* name, int) {
    g_sink = g_sink + static_cast<float>(Length(name));
    return name != nullptr;
}

bool FuzzDriver::TextureHasBinaryAlpha(const char* name) { return Length(name) % 2 == 1; }

int FuzzDriver::CreateLight(LightDesc) { return lights_++; }

void FuzzDriver::SetProjection(float fov, float aspect, float nearPlane, float farPlane) {
    if (!MatrixPerspective(projection_, fov, aspect, nearPlane, farPlane)) Identity(projection_);
}

void FuzzDriver::Reset() {
    draws = 0;
    lights_ = 0;
}

void Setup() {
    if (g_driver) return;
    const char* tmp = std::getenv("TMPDIR");
    std::string root = tmp && *tmp ? tmp : "/tmp";
    // Memory-backed when the machine has it: a harness writes every input.
    struct stat st;
    if (!(tmp && *tmp) && ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) root = "/dev/shm";
    std::string pattern = root + "/zendar-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) {
        std::perror("zendar fuzz: cannot make a folder");
        std::abort();
    }
    g_folder = std::string(name.data()) + "/";
    std::atexit(RemoveFolder);
    for (const char* sub : {"z1", "anims", "area", "dialogs", "textures"})
        ::mkdir((g_folder + sub).c_str(), 0755);
    SetBasePath(g_folder.c_str());

    g_settings = new Settings();
    g_settings->write_log = 1;
    g_log = new Log("/dev/null");
    static FILE* nothing = std::fopen("/dev/null", "w");
    SetDialogErrorStream(nothing);
    UseFixedClock(16, 1000);
    g_driver = new FuzzDriver();
    g_gfxdriver = g_driver;
}

const std::string& Folder() { return g_folder; }

std::string WriteFile(const std::string& relative, const uint8_t* data, size_t size) {
    std::string path = g_folder + relative;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

bool CopyGameFile(const std::string& relative) {
    FILE* in = std::fopen((GameFolder() + relative).c_str(), "rb");
    if (!in) return false;
    std::vector<uint8_t> bytes;
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(in);
    WriteFile(relative, bytes.data(), bytes.size());
    return true;
}

FuzzDriver& Driver() { return *g_driver; }

void NextFrame() { AdvanceFixedClock(); }

}  // namespace fuzz
