// Vertex records, light and material records, packed colours.
#include <gtest/gtest.h>

#include <cstddef>

#include "gfxdriver/gfxdriver.h"

TEST(VertexRecords, MatchTheDirect3DFlexibleFormats) {
    // 0x112: position, normal, one texture coordinate pair.
    EXPECT_EQ(offsetof(VERTEX, x), 0u);
    EXPECT_EQ(offsetof(VERTEX, z), 8u);
    EXPECT_EQ(offsetof(VERTEX, nx), 12u);
    EXPECT_EQ(offsetof(VERTEX, nz), 20u);
    EXPECT_EQ(offsetof(VERTEX, tu), 24u);
    EXPECT_EQ(offsetof(VERTEX, tv), 28u);
    // 0x1E2: position, reserved, diffuse, specular, texture.
    EXPECT_EQ(offsetof(LVERTEX, reserved), 12u);
    EXPECT_EQ(offsetof(LVERTEX, color), 16u);
    EXPECT_EQ(offsetof(LVERTEX, specular), 20u);
    EXPECT_EQ(offsetof(LVERTEX, tu), 24u);
    // 0x1C4: transformed position with rhw, diffuse, specular, texture.
    EXPECT_EQ(offsetof(TLVERTEX, sz), 8u);
    EXPECT_EQ(offsetof(TLVERTEX, rhw), 12u);
    EXPECT_EQ(offsetof(TLVERTEX, color), 16u);
    EXPECT_EQ(offsetof(TLVERTEX, specular), 20u);
    EXPECT_EQ(offsetof(TLVERTEX, tv), 28u);
    EXPECT_EQ(sizeof(VERTEX[3]), 96u);
}

TEST(VertexRecords, LightDescAndMaterialLayout) {
    EXPECT_EQ(offsetof(LightDesc, type), 0u);
    EXPECT_EQ(offsetof(LightDesc, position), 4u);
    EXPECT_EQ(offsetof(LightDesc, direction), 16u);
    EXPECT_EQ(offsetof(LightDesc, r), 28u);
    EXPECT_EQ(offsetof(LightDesc, b), 36u);
    EXPECT_EQ(offsetof(LightDesc, range), 40u);
    EXPECT_EQ(offsetof(MaterialColors, ambient), 16u);
    EXPECT_EQ(offsetof(MaterialColors, specular), 32u);
}

TEST(PackedColor, ChannelsSitInArgbOrder) {
    PackedColor c = PackColor(0x12, 0x34, 0x56, 0x78);
    EXPECT_EQ(c, 0x12345678u);
    EXPECT_EQ(ColorAlpha(c), 0x12u);
    EXPECT_EQ(ColorRed(c), 0x34u);
    EXPECT_EQ(ColorGreen(c), 0x56u);
    EXPECT_EQ(ColorBlue(c), 0x78u);
    // Components outside a byte are cut to their low byte, never spill over.
    EXPECT_EQ(PackColor(0x1FF, 0, 0, 0x100), 0xFF000000u);
}

TEST(PackedColor, FloatsAreBytesOver255) {
    float f[4];
    ColorToFloats(0xFF181638u, f);
    EXPECT_FLOAT_EQ(f[0], 0x18 / 255.0f);
    EXPECT_FLOAT_EQ(f[1], 0x16 / 255.0f);
    EXPECT_FLOAT_EQ(f[2], 0x38 / 255.0f);
    EXPECT_FLOAT_EQ(f[3], 1.0f);
    EXPECT_EQ(PackColorF(1.0f, 0.0f, 0.5f), 0xFFFF007Fu);
    // Out of range and NaN clamp instead of wrapping.
    EXPECT_EQ(PackColorF(2.0f, -1.0f, NAN, 0.0f), 0x00FF0000u);
}
