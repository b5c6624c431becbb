// The scene of the graphics driver benchmarks (header only): 100 height-field
// meshes of 1,000 lit, textured triangles each (100,000 per frame) seen from
// above at 1024 x 768 under one directional light, with a 64 x 64 checker
// texture. bench_gl (the OpenGL driver on Linux) and bench_drivers (both
// drivers on the Windows build) draw it.
#ifndef ZENDAR_TOOLS_BENCH_COMMON_DRIVER_SCENE_H
#define ZENDAR_TOOLS_BENCH_COMMON_DRIVER_SCENE_H

#include <cmath>
#include <cstdint>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"

namespace bench {

const int kSceneMeshes = 100;
const int kSceneColumns = 25;  // quads per mesh row
const int kSceneRows = 20;     // 25 x 20 quads = 1,000 triangles

struct SceneMesh {
    std::vector<VERTEX> vertices;
    std::vector<uint16_t> indices;
    std::vector<VERTEX> expanded;  // the indexed triangles as a plain list
    MATRIX world;
};

inline SceneMesh MakeSceneMesh(int n) {
    SceneMesh m;
    const float phase = n * 0.37f;
    for (int r = 0; r <= kSceneRows; ++r)
        for (int c = 0; c <= kSceneColumns; ++c) {
            float x = c * 0.2f, z = r * 0.2f;
            float y = 0.3f * std::sin(x * 2 + phase) * std::cos(z * 2 - phase);
            // Normal of the height field.
            float dx = 0.6f * std::cos(x * 2 + phase) * std::cos(z * 2 - phase);
            float dz = -0.6f * std::sin(x * 2 + phase) * std::sin(z * 2 - phase);
            VECTOR normal{-dx, 1, -dz};
            VectorNormalize(normal);
            m.vertices.push_back(VERTEX{x, y, z, normal.x, normal.y, normal.z, c / 5.0f, r / 5.0f});
        }
    for (int r = 0; r < kSceneRows; ++r)
        for (int c = 0; c < kSceneColumns; ++c) {
            uint16_t a = static_cast<uint16_t>(r * (kSceneColumns + 1) + c);
            uint16_t b = static_cast<uint16_t>(a + 1);
            uint16_t d = static_cast<uint16_t>(a + kSceneColumns + 1);
            uint16_t e = static_cast<uint16_t>(d + 1);
            // Clockwise seen from above (the camera looks down on the patches).
            const uint16_t tri[6] = {a, d, b, b, d, e};
            m.indices.insert(m.indices.end(), tri, tri + 6);
        }
    for (uint16_t i : m.indices) m.expanded.push_back(m.vertices[i]);
    MatrixTranslation(m.world, (n % 10) * 5.2f - 26.0f, 0, (n / 10) * 4.2f);
    return m;
}

inline std::vector<SceneMesh> MakeSceneMeshes() {
    std::vector<SceneMesh> meshes;
    for (int i = 0; i < kSceneMeshes; ++i) meshes.push_back(MakeSceneMesh(i));
    return meshes;
}

// The texture's pixel at (x, y): blue, green, red, alpha bytes.
inline void SceneTexel(int x, int y, uint8_t* bgra) {
    bool check = ((x / 8) + (y / 8)) % 2 != 0;
    bgra[0] = check ? 40 : 200;
    bgra[1] = check ? 160 : 220;
    bgra[2] = check ? 60 : 240;
    bgra[3] = 255;
}

// Camera, projection, material, ambient colour and the light; the texture
// is the caller's (each driver loads it its own way).
inline void SetupSceneState(GfxDriver* d) {
    MATRIX view;
    MatrixLookAt(view, VECTOR{0, 30, -12}, VECTOR{0, 0, 20}, VECTOR{0, 1, 0});
    d->SetViewMatrix(&view);
    d->SetProjection(1.0f, 0.75f, 1.0f, 200.0f);
    const MaterialColors material = {{1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, 0, 1}};
    d->SetMaterial(&material);
    d->SetAmbientColor(0xFF303030);
    LightDesc sun{};
    sun.type = LIGHT_DIRECTIONAL;
    sun.direction = VECTOR{0.3f, 1, -0.4f};
    sun.r = sun.g = sun.b = 0.9f;
    d->CreateLight(sun);
}

}  // namespace bench

#endif
