// fontbake as a user runs it: a DejaVu font baked into a folder, read back
// by the engine's font and bitmap readers; usage and input mistakes.
#include "common/run_program.h"

#include <cstdlib>

#include "gfxdriver/opengldriver/image.h"
#include "gui_helpers.h"

using guitest::Strips;

namespace {

const std::string kTool = std::string(ZENDAR_TOOLS_BIN_DIR) + "/fontbake";
const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

using test_common::FileExists;

int Bake(const std::string& arguments) {
    return test_common::RunProgram(kTool + " " + arguments + " >/dev/null 2>&1").status;
}

class FontBake : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(kTool)) GTEST_SKIP() << kTool << " is not built";
        if (!FileExists(kDejaVu)) GTEST_SKIP() << "fonts-dejavu-core is not installed";
        out = guitest::TempPath("baked");
    }
    void TearDown() override {
        if (!out.empty()) std::system(("rm -rf '" + out + "'").c_str());
    }
    std::string out;
};

TEST_F(FontBake, TheBakedFontLoadsAndDrawsEveryPrintableCharacter) {
    ASSERT_EQ(Bake(std::string("--ttf ") + kDejaVu + " --out " + out), 0);
    ASSERT_TRUE(FileExists(out + "/font_herald.ini"));

    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    Font font((out + "/font_herald.ini").c_str());
    ASSERT_TRUE(font.loaded);
    ASSERT_EQ(driver.generated.size(), 2u);
    EXPECT_EQ(driver.generated[0].first, "textures\\font\\herald_white.bmp");
    EXPECT_EQ(driver.generated[0].second, "textures\\font\\herald_alpha.bmp");
    EXPECT_EQ(driver.generated[1].first, "textures\\font\\herald_yellow.bmp");
    EXPECT_TRUE(font.SelectSkin("white"));
    EXPECT_TRUE(font.SelectSkin("yellow"));
    for (int c = 33; c <= 126; ++c) {
        EXPECT_EQ(font.glyphCell[c], c - 33) << static_cast<char>(c);
        EXPECT_GT(font.glyphWidth[c], 0) << static_cast<char>(c);
        EXPECT_LE(font.glyphWidth[c], 16);
    }
    EXPECT_EQ(font.glyphCell[uint8_t(' ')], -1);
    // A wide letter is wider than a narrow one.
    EXPECT_GT(font.glyphWidth[uint8_t('W')], font.glyphWidth[uint8_t('i')]);
    font.DrawText(0, 0, "%s", "The quick brown fox.");
    EXPECT_EQ(Strips(driver).size(), 17u);

    // 16 x 8 cells of 32 pixels; glyphs only in their cells, from the left.
    Image alpha;
    ASSERT_TRUE(ReadBitmap24(&alpha, (out + "/textures/font/herald_alpha.bmp").c_str()));
    ASSERT_EQ(alpha.width, 512);
    ASSERT_EQ(alpha.height, 256);
    Image white;
    ASSERT_TRUE(ReadBitmap24(&white, (out + "/textures/font/herald_white.bmp").c_str()));
    ASSERT_EQ(white.width, 512);
    for (int cell = 0; cell < 128; ++cell) {
        int x0 = cell % 16 * 32, y0 = cell / 16 * 32;
        int covered = 0, rightmost = -1;
        for (int y = y0; y < y0 + 32; ++y)
            for (int x = x0; x < x0 + 32; ++x)
                if (alpha.data[(y * 512 + x) * 3] > 0) {
                    ++covered;
                    if (x - x0 > rightmost) rightmost = x - x0;
                }
        if (cell >= 94) {
            EXPECT_EQ(covered, 0) << "cell " << cell;
            continue;
        }
        EXPECT_GT(covered, 0) << "cell " << cell;
        // Only the outline may reach past the glyph's own area.
        int area = font.glyphWidth[33 + cell] * 2;
        EXPECT_LE(rightmost, area + 2) << "cell " << cell;
    }
}

TEST_F(FontBake, OwnSkinsCellsAndPaths) {
    ASSERT_EQ(
        Bake(
            std::string("--ttf ") + kDejaVu + " --out " + out +
            " --ini fonts/small.ini --prefix textures\\\\tiny\\\\f --cell 16 --outline 0 --skin red=200,0,0"),
        0);
    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    Font font((out + "/fonts/small.ini").c_str());
    ASSERT_TRUE(font.loaded);
    ASSERT_EQ(driver.generated.size(), 1u);
    EXPECT_EQ(driver.generated[0].first, "textures\\tiny\\f_red.bmp");
    EXPECT_FALSE(font.SelectSkin("white"));
    EXPECT_TRUE(font.SelectSkin("red"));
    Image red;
    ASSERT_TRUE(ReadBitmap24(&red, (out + "/textures/tiny/f_red.bmp").c_str()));
    EXPECT_EQ(red.width, 256);
    EXPECT_EQ(red.height, 128);
    // Without an outline the whole texture carries the colour (blue, green, red).
    EXPECT_EQ(red.data[0], 0);
    EXPECT_EQ(red.data[1], 0);
    EXPECT_EQ(red.data[2], 200);
}

TEST_F(FontBake, MistakesExitWithTheirCodes) {
    EXPECT_EQ(Bake(""), 2);
    EXPECT_EQ(Bake("--ttf " + std::string(kDejaVu)), 2);
    EXPECT_EQ(Bake("--ttf x --out y --cell 4"), 2);
    EXPECT_EQ(Bake("--ttf x --out y --skin red"), 2);
    EXPECT_EQ(Bake("--ttf x --out y --skin red=1,2,300"), 2);
    EXPECT_EQ(Bake("--ttf x --out y --bogus"), 2);
    EXPECT_EQ(Bake("--ttf " + out + "/missing.ttf --out " + out), 1);
    EXPECT_FALSE(FileExists(out + "/font_herald.ini"));
}

}  // namespace
