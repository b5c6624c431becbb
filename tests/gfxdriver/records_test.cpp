// Packed colours. (The vertex and light records' layouts are checked where
// they are declared, at compile time.)
#include <gtest/gtest.h>

#include "gfxdriver/gfxdriver.h"

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
