// What every harness shares: a private game folder that is the base path,
// the engine's process-wide records set up as the game sets them (settings,
// a log that is written but thrown away, a clock that only moves when told),
// and a window-less graphics driver.
//
// The driver reads every vertex and index a draw hands it, as a real driver
// does when it uploads them: a draw that names memory it does not own is
// found by AddressSanitizer at the draw, not frames later.
#ifndef ZENDAR_FUZZ_FUZZ_COMMON_H
#define ZENDAR_FUZZ_FUZZ_COMMON_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "gfxdriver/gfxdriver.h"

namespace fuzz {

class FuzzDriver : public GfxDriver {
public:
    FuzzDriver();

    void Paint() override {}
    void Move(int16_t, int16_t) override {}
    bool RestoreSurfaces() override { return true; }
    void ToggleFullscreen() override {}
    void Shutdown() override {}
    void ChangeEnvironment() override {}
    void Pause(bool) override {}
    bool Init(void*, void*) override { return true; }
    bool BeginScene() override;
    void Clear(PackedColor) override {}
    bool EndScene() override { return true; }
    bool ShowFrame() override { return true; }

    bool DrawStrip(const VERTEX* v, int count) override { return Draw(v, count, nullptr, 0); }
    bool DrawList(const VERTEX* v, int count) override { return Draw(v, count, nullptr, 0); }
    bool DrawLines(const VERTEX* v, int count) override { return Draw(v, count, nullptr, 0); }
    bool DrawIndexedList(const VERTEX* v, int n, const uint16_t* i, int ni) override {
        return Draw(v, n, i, ni);
    }
    bool DrawStrip(const LVERTEX* v, int count) override { return Draw(v, count, nullptr, 0); }
    bool DrawList(const LVERTEX* v, int count) override { return Draw(v, count, nullptr, 0); }
    bool DrawLines(const LVERTEX* v, int count) override { return Draw(v, count, nullptr, 0); }
    bool DrawIndexedList(const LVERTEX* v, int n, const uint16_t* i, int ni) override {
        return Draw(v, n, i, ni);
    }
    bool DrawStrip(const TLVERTEX* v, int count) override { return Draw(v, count, nullptr, 0); }
    bool DrawList(const TLVERTEX* v, int count) override { return Draw(v, count, nullptr, 0); }
    bool DrawLines(const TLVERTEX* v, int count) override { return Draw(v, count, nullptr, 0); }
    bool DrawIndexedList(const TLVERTEX* v, int n, const uint16_t* i, int ni) override {
        return Draw(v, n, i, ni);
    }
    bool DrawBox(const float* corners) override;

    bool SetAlphaBlending(bool on) override { return Swap(alphaBlending, on); }
    bool SetLighting(bool on) override { return Swap(lighting, on); }
    uint8_t SetZBufferMode(uint8_t mode) override;
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

    // Every name is a texture: the harnesses test the engine, not the files
    // a fuzzed model happens to name. The names are read to their end.
    bool GenerateTexture(const char* name, const char* alphaName) override;
    bool SetTexture(const char* name) override;
    bool SetTextureFrame(const char* name, int frame) override;
    bool TextureHasBinaryAlpha(const char* name) override;

    void SetAmbientLight(float, float, float) override {}
    void SetAmbientColor(PackedColor) override {}
    int CreateLight(LightDesc) override;
    bool SetLight(int index, LightDesc) override { return index >= 0 && index < lights_; }
    void EnableLight(int, bool) override {}
    bool SetMaterial(const MaterialColors*) override { return true; }

    void SetWorldMatrix(const MATRIX* m) override { world_ = *m; }
    void SetViewMatrix(const MATRIX* m) override { view_ = *m; }
    void SetProjection(float fov, float aspect, float nearPlane, float farPlane) override;
    void GetWorldMatrix(MATRIX* out) override { *out = world_; }
    void GetViewMatrix(MATRIX* out) override { *out = view_; }
    void GetProjectionMatrix(MATRIX* out) override { *out = projection_; }

    void SetFogging(bool) override {}
    void SetFogColor(PackedColor) override {}
    void SetFogBegin(float) override {}
    void SetFogEnd(float) override {}

    // Draw calls since the last Reset; lights go back to none.
    void Reset();
    int draws = 0;

private:
    template <class V>
    bool Draw(const V* v, int count, const uint16_t* indices, int indexCount);
    bool Swap(uint8_t& slot, bool on) {
        bool before = slot != 0;
        slot = on ? 1 : 0;
        return before;
    }
    MATRIX world_, view_, projection_;
    int lights_ = 0;
};

// Once per process, before the first input: makes the private game folder
// (sub-folders z1, anims, area, dialogs, textures) the base path, creates the
// settings record with the log gate open, a log on /dev/null, the fixed-step
// clock and the driver.
void Setup();

// The private game folder, ending with '/'.
const std::string& Folder();
// Writes bytes to a file of the folder (a path with '/' separators);
// returns the full path.
std::string WriteFile(const std::string& relative, const uint8_t* data, size_t size);
// The built game folder the seeds come from (beside the harness: ../bin/,
// or the folder named by ZENDAR_GAME_DIR), ending with '/'.
std::string GameFolder();
// Copies a file of the built game folder into the private folder; false
// when the game folder does not have it.
bool CopyGameFile(const std::string& relative);

FuzzDriver& Driver();

// Moves the fixed-step clock on by one frame (16 ms).
void NextFrame();

// Reads a little-endian value from the front of the input and moves past
// it; zero once the input is used up.
struct Input {
    const uint8_t* data;
    size_t size;
    uint8_t Byte() {
        if (!size) return 0;
        --size;
        return *data++;
    }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
};

}  // namespace fuzz

#endif
