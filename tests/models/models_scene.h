// The models frame of the reference picture tests/data/models/models.png,
// drawn through the driver interface alone so that every driver draws the
// same frame: the OpenGL driver's model golden test and the DirectX 7
// driver's test under Wine both use it.
//
// Left: a checker-textured crate in front of a checkered wall (opaque pieces,
// drawn at once). Middle: two tinted glass panes with opaque frames, the near
// one first in the file, so only the alpha list's far-to-near pass blends
// them right; they are drawn before the sphere but must still show it. Right:
// a sphere whose only map is a reflection map.
#ifndef ZENDAR_TESTS_MODELS_MODELS_SCENE_H
#define ZENDAR_TESTS_MODELS_MODELS_SCENE_H

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/texture_file.h"
#include "gfxdriver/gfxdriver.h"
#include "models/z1model/z1file.h"
#include "models/z1model/z1model.h"

namespace models_scene {

using test_common::WriteTexture;

inline void MakeTextures(const std::string& folder) {
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0) << folder;
    // 8 x 8 checks of 8 texels: orange and dark blue.
    WriteTexture(folder + "checker.bmp", 64, 64,
                 [](int x, int y) { return ((x / 8) + (y / 8)) % 2 ? 0xE08020u : 0x203070u; });
    // Glass: a dark frame three texels wide round a tinted pane. The alpha
    // map keeps the frame solid and lets 40 % of the pane through, so the
    // alpha is not binary and the panes are blended.
    auto frame = [](int x, int y) { return x < 3 || y < 3 || x > 28 || y > 28; };
    WriteTexture(folder + "red.bmp", 32, 32,
                 [frame](int x, int y) { return frame(x, y) ? 0x402010u : 0xFF3030u; });
    WriteTexture(folder + "cyan.bmp", 32, 32,
                 [frame](int x, int y) { return frame(x, y) ? 0x402010u : 0x30E0FFu; });
    WriteTexture(folder + "pane_a.bmp", 32, 32,
                 [frame](int x, int y) { return frame(x, y) ? 0xFFFFFFu : 0x666666u; });
    // Reflection: sky fading to a horizon, a sun, green ground below.
    WriteTexture(folder + "sky.bmp", 64, 64, [](int x, int y) -> uint32_t {
        float dx = x - 20.0f, dy = y - 16.0f;
        if (dx * dx + dy * dy < 25.0f) return 0xFFFFC0u;
        if (y < 32) {
            int t = y * 4;
            return static_cast<uint32_t>(((40 + t) << 16) | ((90 + t) << 8) | 230);
        }
        return y < 36 ? 0xF0E0B0u : 0x2E8030u;
    });
}

// Appends a triangle whose front (clockwise in the engine's left-handed
// view) faces along n.
inline void AddTriangle(Z1Mesh& m, uint16_t a, uint16_t b, uint16_t c, VECTOR n) {
    auto at = [&m](uint16_t i) { return VECTOR{m.vertices[i].x, m.vertices[i].y, m.vertices[i].z}; };
    if (VectorDot(VectorCross(at(b) - at(a), at(c) - at(a)), n) < 0) std::swap(b, c);
    m.indices.insert(m.indices.end(), {a, b, c});
}

// A quad a-b-c-d facing n, its texture repeated `repeat` times.
inline void AddQuad(Z1Mesh& m, VECTOR a, VECTOR b, VECTOR c, VECTOR d, VECTOR n, float repeat = 1.0f) {
    uint16_t base = static_cast<uint16_t>(m.vertices.size());
    const VECTOR p[4] = {a, b, c, d};
    const float uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int i = 0; i < 4; ++i)
        m.vertices.push_back(
            VERTEX{p[i].x, p[i].y, p[i].z, n.x, n.y, n.z, uv[i][0] * repeat, uv[i][1] * repeat});
    AddTriangle(m, base, base + 1, base + 2, n);
    AddTriangle(m, base, base + 2, base + 3, n);
}

inline VECTOR RotateY(VECTOR v, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    return VECTOR{v.x * c + v.z * s, v.y, -v.x * s + v.z * c};
}

// A cube of half-size h turned by angle about its vertical axis, at centre.
inline Z1Mesh Crate(VECTOR centre, float h, float angle) {
    Z1Mesh m;
    const VECTOR axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int a = 0; a < 3; ++a)
        for (int sign = -1; sign <= 1; sign += 2) {
            VECTOR n = axes[a] * static_cast<float>(sign);
            VECTOR u = axes[(a + 1) % 3], v = axes[(a + 2) % 3];
            VECTOR corners[4] = {n * h - u * h - v * h, n * h + u * h - v * h, n * h + u * h + v * h,
                                 n * h - u * h + v * h};
            for (VECTOR& c : corners) c = RotateY(c, angle) + centre;
            AddQuad(m, corners[0], corners[1], corners[2], corners[3], RotateY(n, angle));
        }
    return m;
}

inline Z1Mesh Sphere(float r, int rings, int segments) {
    Z1Mesh m;
    const float pi = 3.14159265f;
    for (int i = 0; i <= rings; ++i)
        for (int j = 0; j <= segments; ++j) {
            float theta = pi * i / rings, phi = 2 * pi * j / segments;
            VECTOR n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            m.vertices.push_back(
                VERTEX{n.x * r, n.y * r, n.z * r, n.x, n.y, n.z, float(j) / segments, float(i) / rings});
        }
    auto index = [segments](int i, int j) { return static_cast<uint16_t>(i * (segments + 1) + j); };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            uint16_t a = index(i, j), b = index(i, j + 1), c = index(i + 1, j + 1), d = index(i + 1, j);
            auto normal = [&m](uint16_t k) {
                return VECTOR{m.vertices[k].nx, m.vertices[k].ny, m.vertices[k].nz};
            };
            if (i > 0) AddTriangle(m, a, b, c, normal(a) + normal(b) + normal(c));
            if (i < rings - 1) AddTriangle(m, a, c, d, normal(a) + normal(c) + normal(d));
        }
    return m;
}

inline Z1Material Material(const char* name, float grey) {
    Z1Material m;
    m.name = name;
    m.className = "Standard";
    m.materialClass = Z1_CLASS_STANDARD;
    for (int k = 0; k < 3; ++k) m.color1[k] = m.color2[k] = grey;
    return m;
}

inline void SetMap(Z1Material& m, int slot, const char* bitmap) {
    Z1Map& map = m.maps[slot];
    map.present = map.hasBitmap = true;
    map.name = bitmap;
    map.bitmapRaw = std::string("C:\\") + bitmap;
}

inline Z1GeomObject Object(const char* name, int16_t material, Z1Mesh mesh, VECTOR pivot) {
    Z1GeomObject o;
    o.name = name;
    o.material = material;
    o.hasTransform = true;
    o.transform.name = name;
    o.transform.pivot = pivot;
    Z1MeshList list;
    list.meshes.push_back(std::move(mesh));
    o.meshLists.push_back(list);
    o.meshListWrapped.push_back(false);
    return o;
}

// Crate and wall around the origin of the world.
inline Z1Scene CrateScene() {
    Z1Scene s;
    Z1Material wood = Material("checker", 0.8f);
    SetMap(wood, Z1_SLOT_TEXTURE, "checker.bmp");
    s.materials = {wood};
    s.objects.push_back(
        Object("crate", 0, Crate(VECTOR{-3.2f, 0.0f, 0.0f}, 1.0f, 0.6f), VECTOR{-3.2f, 0, 0}));
    Z1Mesh wall;
    AddQuad(wall, {-13, -1, 5}, {13, -1, 5}, {13, 7, 5}, {-13, 7, 5}, {0, 0, -1}, 6.0f);
    AddQuad(wall, {-13, -1, -6}, {13, -1, -6}, {13, -1, 5}, {-13, -1, 5}, {0, 1, 0}, 6.0f);
    s.objects.push_back(Object("wall", 0, wall, VECTOR{0, 3, 5}));
    return s;
}

// Two panes round the model's origin; the near one comes first.
inline Z1Scene GlassScene() {
    Z1Scene s;
    Z1Material red = Material("red glass", 1.0f);
    SetMap(red, Z1_SLOT_TEXTURE, "red.bmp");
    SetMap(red, Z1_SLOT_OPACITY, "pane_a.bmp");
    Z1Material cyan = Material("cyan glass", 1.0f);
    SetMap(cyan, Z1_SLOT_TEXTURE, "cyan.bmp");
    SetMap(cyan, Z1_SLOT_OPACITY, "pane_a.bmp");
    s.materials = {red, cyan};
    Z1Mesh nearPane, farPane;
    AddQuad(nearPane, {-2.6f, -0.9f, -1}, {0.6f, -0.9f, -1}, {0.6f, 1.1f, -1}, {-2.6f, 1.1f, -1}, {0, 0, -1});
    AddQuad(farPane, {-0.6f, -0.4f, 1}, {2.6f, -0.4f, 1}, {2.6f, 1.6f, 1}, {-0.6f, 1.6f, 1}, {0, 0, -1});
    s.objects.push_back(Object("near pane", 1, nearPane, VECTOR{-1.0f, 0.1f, -1}));
    s.objects.push_back(Object("far pane", 0, farPane, VECTOR{1.0f, 0.6f, 1}));
    return s;
}

inline Z1Scene ChromeScene() {
    Z1Scene s;
    Z1Material chrome = Material("chrome", 1.0f);
    SetMap(chrome, Z1_SLOT_ENVIRONMENT, "sky.bmp");
    s.materials = {chrome};
    s.objects.push_back(Object("ball", 0, Sphere(1.1f, 16, 24), VECTOR{0, 0, 0}));
    return s;
}

inline MATRIX Translation(float x, float y, float z) {
    MATRIX m;
    MatrixTranslation(m, x, y, z);
    return m;
}

// The textures under folder/textures and the three models under folder/z1
// (the folder is to be the base path when they are loaded).
inline void WriteFiles(const std::string& folder) {
    ::mkdir((folder + "/z1").c_str(), 0755);
    MakeTextures(folder + "/textures/");
    ASSERT_TRUE(Z1WriteFile((folder + "/z1/crate.z1").c_str(), CrateScene()));
    ASSERT_TRUE(Z1WriteFile((folder + "/z1/glass.z1").c_str(), GlassScene()));
    ASSERT_TRUE(Z1WriteFile((folder + "/z1/chrome.z1").c_str(), ChromeScene()));
}

// Draws the frame with driver, which must be g_gfxdriver, as the world draws
// it: opaque pieces at once, the transparent ones queued in the frame's
// alpha list and drawn last. The milliseconds clock is to stand still.
inline void Draw(GfxDriver* driver) {
    Z1Model crate, glass, chrome;
    EXPECT_TRUE(crate.Load("crate.z1"));
    EXPECT_TRUE(glass.Load("glass.z1"));
    EXPECT_TRUE(chrome.Load("chrome.z1"));

    MATRIX view;
    ASSERT_TRUE(MatrixLookAt(view, VECTOR{0, 2.5f, -9}, VECTOR{0, 0.3f, 0}, VECTOR{0, 1, 0}));
    driver->SetViewMatrix(&view);
    driver->SetProjection(0.9f, 0.75f, 1.0f, 100.0f);
    driver->SetAmbientColor(0xFF404040);
    LightDesc sun{};
    sun.type = LIGHT_DIRECTIONAL;
    sun.direction = VECTOR{-0.4f, 0.7f, -0.6f};  // towards the light
    sun.r = sun.g = sun.b = 0.9f;
    sun.range = 1000;
    driver->CreateLight(sun);
    driver->SetLighting(true);

    AlphaList list;
    AlphaList* saved = g_alpha_list;
    g_alpha_list = &list;
    driver->BeginScene();
    driver->Clear(0xFF000000);
    MATRIX world = Translation(0, 0, 0);
    driver->SetWorldMatrix(&world);
    EXPECT_TRUE(crate.Draw(nullptr, VECTOR{0, 0, 0}));
    world = Translation(0, 0, -1.5f);
    driver->SetWorldMatrix(&world);
    EXPECT_TRUE(glass.Draw(nullptr, VECTOR{0, 0, 0}));
    EXPECT_EQ(list.count, 2);
    world = Translation(3.2f, 0.1f, 1.0f);
    driver->SetWorldMatrix(&world);
    EXPECT_TRUE(chrome.Draw(nullptr, VECTOR{0, 0, 0}));
    list.Render();
    list.Reset();
    driver->EndScene();
    g_alpha_list = saved;
}

}  // namespace models_scene

#endif
