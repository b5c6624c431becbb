// The scenes of the graphics driver's reference pictures (tests/data/gfx),
// drawn through the driver interface alone so that every driver draws the
// same frames: the OpenGL driver's golden test and the DirectX 7 driver's
// test under Wine both call them. Each draws one whole frame, BeginScene to
// EndScene.
#ifndef ZENDAR_TESTS_GFXDRIVER_GOLDEN_SCENES_H
#define ZENDAR_TESTS_GFXDRIVER_GOLDEN_SCENES_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/texture_file.h"
#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"

namespace golden_scenes {

inline LVERTEX LV(float x, float y, float z, PackedColor c) { return LVERTEX{x, y, z, 0, c, 0, 0, 0}; }
inline TLVERTEX TL(float x, float y, PackedColor c, float u = 0, float v = 0) {
    return TLVERTEX{x, y, 0.1f, 0.1f, c, 0, u, v};
}

// Appends a triangle whose front (clockwise in the engine's left-handed
// view) faces along normal n.
inline void Triangle(std::vector<VERTEX>* out, VECTOR a, VECTOR b, VECTOR c, VECTOR n) {
    VECTOR cr = VectorCross(b - a, c - a);
    if (VectorDot(cr, n) < 0) std::swap(b, c);
    for (const VECTOR& p : {a, b, c}) out->push_back(VERTEX{p.x, p.y, p.z, n.x, n.y, n.z, 0, 0});
}

inline void Quad(std::vector<VERTEX>* out, VECTOR a, VECTOR b, VECTOR c, VECTOR d, VECTOR n) {
    Triangle(out, a, b, c, n);
    Triangle(out, a, c, d, n);
}

inline void Box(std::vector<VERTEX>* out, VECTOR lo, VECTOR hi) {
    const float x0 = lo.x, y0 = lo.y, z0 = lo.z, x1 = hi.x, y1 = hi.y, z1 = hi.z;
    Quad(out, {x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}, {0, 0, -1});
    Quad(out, {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, {0, 0, 1});
    Quad(out, {x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1}, {-1, 0, 0});
    Quad(out, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, {1, 0, 0});
    Quad(out, {x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1}, {0, 1, 0});
    Quad(out, {x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}, {0, -1, 0});
}

inline void LookFrom(GfxDriver* d, VECTOR eye, VECTOR at) {
    MATRIX view, world;
    MatrixIdentity(world);
    ASSERT_TRUE(MatrixLookAt(view, eye, at, VECTOR{0, 1, 0}));
    d->SetViewMatrix(&view);
    d->SetWorldMatrix(&world);
    d->SetProjection(1.0f, 0.75f, 1.0f, 200.0f);
}

// A lit ground and boxes under a directional and a point light, fading into
// linear fog ("lit_fog").
inline void LitFog(GfxDriver* d) {
    LookFrom(d, VECTOR{0, 4, -8}, VECTOR{0, 0, 12});
    const MaterialColors material = {{0.9f, 0.9f, 0.9f, 1}, {1, 1, 1, 1}, {0, 0, 0, 1}};
    d->SetMaterial(&material);
    d->SetAmbientColor(0xFF202830);
    LightDesc sun{};
    sun.type = LIGHT_DIRECTIONAL;
    sun.direction = VECTOR{-0.5f, 0.8f, -0.3f};  // towards the light
    sun.r = 1.0f;
    sun.g = 0.85f;
    sun.b = 0.6f;
    sun.range = 1000;
    d->CreateLight(sun);
    LightDesc lamp{};
    lamp.type = LIGHT_POINT;
    lamp.position = VECTOR{3, 1.5f, 4};
    lamp.r = 0.1f;
    lamp.g = 0.3f;
    lamp.b = 0.9f;
    lamp.range = 20;
    d->CreateLight(lamp);
    d->SetFogColor(0xFF8090A0);
    d->SetFogBegin(10);
    d->SetFogEnd(45);
    d->SetFogging(true);

    std::vector<VERTEX> ground;
    for (int i = -10; i < 10; ++i)
        for (int k = -4; k < 25; ++k) {
            float x0 = i * 2.0f, z0 = k * 2.0f;
            Quad(&ground, {x0, 0, z0}, {x0 + 2, 0, z0}, {x0 + 2, 0, z0 + 2}, {x0, 0, z0 + 2}, {0, 1, 0});
        }
    std::vector<VERTEX> boxes;
    Box(&boxes, {-4, 0, 2}, {-2, 2, 4});
    Box(&boxes, {1, 0, 6}, {3, 3, 8});
    Box(&boxes, {-6, 0, 20}, {-2, 6, 24});
    Box(&boxes, {4, 0, 34}, {8, 5, 38});

    d->BeginScene();
    d->Clear(0xFF8090A0);
    d->SetTexture(nullptr);
    EXPECT_TRUE(d->DrawList(ground.data(), static_cast<int>(ground.size())));
    // The boxes go through the indexed form with a trivial index list.
    std::vector<uint16_t> idx(boxes.size());
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = static_cast<uint16_t>(i);
    EXPECT_TRUE(d->DrawIndexedList(boxes.data(), static_cast<int>(boxes.size()), idx.data(),
                                   static_cast<int>(idx.size())));
    // An editor box around the near cube.
    const float corners[6] = {-4.2f, -0.2f, 1.8f, -1.8f, 2.2f, 4.2f};
    d->SetLighting(false);
    EXPECT_TRUE(d->DrawBox(corners));
    d->SetLighting(true);
    EXPECT_EQ(d->faces, static_cast<int>((ground.size() + boxes.size()) / 3));
    d->EndScene();
}

// LVERTEX colours with the depth, cull and wireframe modes side by side
// ("lvertex_modes").
inline void LVertexModes(GfxDriver* d) {
    LookFrom(d, VECTOR{0, 0, 0}, VECTOR{0, 0, 1});
    d->BeginScene();
    d->Clear(0xFF101010);
    d->SetTexture(nullptr);

    // Row 1: cull modes 0, 1, 2, each with a clockwise (left) and a
    // counter-clockwise (right) triangle as seen from the camera.
    for (int mode = 0; mode < 3; ++mode) {
        float cx = -6.0f + mode * 6.0f, y = 3.0f, z = 12;
        LVERTEX cw[3] = {LV(cx - 2.5f, y + 1, z, 0xFFFF4040), LV(cx - 0.5f, y + 1, z, 0xFF40FF40),
                         LV(cx - 2.5f, y - 1, z, 0xFF4040FF)};
        LVERTEX ccw[3] = {LV(cx + 0.5f, y + 1, z, 0xFFFFFF40), LV(cx + 0.5f, y - 1, z, 0xFF40FFFF),
                          LV(cx + 2.5f, y + 1, z, 0xFFFF40FF)};
        d->SetCullMode(static_cast<uint8_t>(mode));
        d->DrawList(cw, 3);
        d->DrawList(ccw, 3);
    }
    d->SetCullMode(CULL_NONE);

    // Row 2: depth modes. A near grey bar drawn first with the mode under
    // test, then a far orange bar drawn behind it with mode 0: where the near
    // bar wrote no depth the far one paints over it.
    for (int mode = 0; mode < 3; ++mode) {
        float cx = -6.0f + mode * 6.0f, y = -0.5f;
        LVERTEX nearBar[4] = {
            LV(cx - 2.5f, y + 0.6f, 10, 0xFFC0C0C0), LV(cx + 2.5f, y + 0.6f, 10, 0xFFC0C0C0),
            LV(cx - 2.5f, y - 0.6f, 10, 0xFFC0C0C0), LV(cx + 2.5f, y - 0.6f, 10, 0xFFC0C0C0)};
        LVERTEX farBar[4] = {LV(cx - 1.0f, y + 1.5f, 14, 0xFFFF8000), LV(cx + 1.0f, y + 1.5f, 14, 0xFFFF8000),
                             LV(cx - 1.0f, y - 1.5f, 14, 0xFFFF8000),
                             LV(cx + 1.0f, y - 1.5f, 14, 0xFFFF8000)};
        d->SetZBufferMode(static_cast<uint8_t>(mode));
        d->DrawStrip(nearBar, 4);
        d->SetZBufferMode(ZBUFFER_ON);
        d->DrawStrip(farBar, 4);
    }

    // Row 3: interpenetrating triangles (depth test), lines, and a wireframe fan.
    LVERTEX a[3] = {LV(-8, -3, 10, 0xFFFF0000), LV(-3, -3, 14, 0xFFFF0000), LV(-8, -6, 10, 0xFFFF0000)};
    LVERTEX b[3] = {LV(-8, -3, 14, 0xFF00FF00), LV(-3, -3, 10, 0xFF00FF00), LV(-3, -6, 12, 0xFF00FF00)};
    d->DrawList(a, 3);
    d->DrawList(b, 3);
    LVERTEX lines[6] = {LV(-1, -2.2f, 10, 0xFFFFFFFF),    LV(1, -5, 10, 0xFFFFFFFF),
                        LV(1, -2.2f, 10, 0xFFFF00FF),     LV(-1, -5, 10, 0xFF00FFFF),
                        LV(-1.5f, -3.6f, 10, 0xFFFFFF00), LV(1.5f, -3.6f, 10, 0xFFFFFF00)};
    d->DrawLines(lines, 6);
    d->SetRenderMode(RENDER_WIREFRAME);
    LVERTEX fan[6] = {LV(3, -2.2f, 10, 0xFFFFFFFF), LV(5, -2.2f, 10, 0xFFFF0000),
                      LV(3, -3.6f, 10, 0xFF00FF00), LV(5, -3.6f, 10, 0xFF0000FF),
                      LV(3, -5, 10, 0xFFFFFF00),    LV(5, -5, 10, 0xFF00FFFF)};
    uint16_t idx[12] = {0, 1, 2, 2, 1, 3, 2, 3, 4, 4, 3, 5};
    d->DrawIndexedList(fan, 6, idx, 12);
    d->SetRenderMode(RENDER_SOLID);
    d->SetCullMode(CULL_CCW);
    d->EndScene();
}

// The texture of TLVertexAlpha, written into folder (the base path it is
// generated from): diagonal stripes, and a radial alpha falloff, opaque in
// the middle.
inline void WriteStripes(const std::string& folder) {
    test_common::WriteTexture(folder + "stripes.bmp", 64, 64,
                              [](int x, int y) { return ((x + y) / 8) % 2 ? 0xFFD020u : 0x2060FFu; });
    test_common::WriteTexture(folder + "stripes_a.bmp", 64, 64, [](int x, int y) {
        float dx = x - 31.5f, dy = y - 31.5f;
        float r = std::sqrt(dx * dx + dy * dy) / 32.0f;
        int g = r < 0.5f ? 255 : r > 1.0f ? 0 : static_cast<int>((1.0f - r) * 2 * 255);
        return static_cast<uint32_t>(g * 0x010101);
    });
}

// Screen-space quads with the alpha-mapped texture of WriteStripes, which
// must be the base path's: blended, alpha-tested both ways and additive,
// over a patterned background ("tlvertex_alpha").
inline void TLVertexAlpha(GfxDriver* d) {
    ASSERT_TRUE(d->GenerateTexture("stripes.bmp", "stripes_a.bmp"));
    d->BeginScene();
    d->Clear(0xFF000000);
    d->SetTexture(nullptr);
    // As the 2D layer's callers do: OpenGL keeps testing depth but stops
    // writing it, so each quad paints over the previous ones.
    d->SetZBufferMode(ZBUFFER_OFF);
    // Background: coloured bars so that transparency shows.
    for (int i = 0; i < 8; ++i) {
        PackedColor c = PackColor(255, (i * 97) & 255, (i * 53 + 80) & 255, (i * 31 + 40) & 255);
        TLVERTEX bar[4] = {TL(i * 128.0f, 0, c), TL(i * 128.0f + 128, 0, c), TL(i * 128.0f, 748, c),
                           TL(i * 128.0f + 128, 748, c)};
        d->DrawStrip(bar, 4);
    }
    d->SetTexture("stripes.bmp");
    auto quad = [&](float x, float y, float size, PackedColor c) {
        TLVERTEX q[4] = {TL(x, y, c, 0, 0), TL(x + size, y, c, 1, 0), TL(x, y + size, c, 0, 1),
                         TL(x + size, y + size, c, 1, 1)};
        d->DrawStrip(q, 4);
    };
    // Blended with full and with half vertex alpha.
    d->SetAlphaBlending(true);
    quad(40, 40, 256, 0xFFFFFFFF);
    quad(340, 40, 256, 0x80FFFFFF);
    // Additive.
    d->SetBlendMode(BLEND_ADDITIVE);
    quad(640, 40, 256, 0xFFFFFFFF);
    d->SetAlphaBlending(false);
    // Alpha test without blending: only alpha 1.0, then anything above 0.
    d->SetAlphaTestMode(ALPHATEST_OPAQUE);
    quad(40, 400, 256, 0xFFFFFFFF);
    d->SetAlphaTestMode(ALPHATEST_NONZERO);
    quad(340, 400, 256, 0xFFFFFFFF);
    d->SetAlphaTestMode(ALPHATEST_OFF);
    // No test, no blending: the whole square, tinted by the vertex colours, as
    // an indexed list.
    TLVERTEX v[4] = {TL(640, 400, 0xFFFF0000, 0, 0), TL(896, 400, 0xFF00FF00, 2, 0),
                     TL(640, 656, 0xFF0000FF, 0, 2), TL(896, 656, 0xFFFFFFFF, 2, 2)};
    uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    d->DrawIndexedList(v, 4, idx, 6);
    d->SetTexture(nullptr);
    TLVERTEX outline[8] = {TL(20, 20, 0xFFFFFFFF),    TL(1000, 20, 0xFFFFFFFF),  TL(1000, 20, 0xFFFFFFFF),
                           TL(1000, 700, 0xFFFFFFFF), TL(1000, 700, 0xFFFFFFFF), TL(20, 700, 0xFFFFFFFF),
                           TL(20, 700, 0xFFFFFFFF),   TL(20, 20, 0xFFFFFFFF)};
    d->DrawLines(outline, 8);
    d->EndScene();
}

}  // namespace golden_scenes

#endif
