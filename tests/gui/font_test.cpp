// The bitmap font: description file, skins, advances and tab stops, glyph
// quads on the 640 x 480 virtual screen scaled to the driver's size, render
// state kept, and damaged description files.
#include <cstdlib>
#include <cstring>

#include "gui_helpers.h"

using guitest::LetterFontText;
using guitest::LogCapture;
using guitest::Strips;
using guitest::TempFile;

namespace {

TEST(FontFile, SkinsAreRegisteredInFileOrderAndListedNewestFirst) {
    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    TempFile file("font.ini", LetterFontText());
    Font font(file.path().c_str());

    EXPECT_TRUE(font.loaded);
    ASSERT_EQ(driver.generated.size(), 2u);
    EXPECT_EQ(driver.generated[0].first, guitest::kWhiteTexture);
    EXPECT_EQ(driver.generated[0].second, "textures\\font\\white_a.bmp");
    // Lines ending in CR LF or in blanks give the names without them.
    EXPECT_EQ(driver.generated[1].first, guitest::kYellowTexture);
    EXPECT_EQ(driver.generated[1].second, "textures\\font\\yellow_a.bmp");

    ASSERT_NE(font.Skins(), nullptr);
    EXPECT_STREQ(font.Skins()->name, "yellow");
    ASSERT_NE(font.Skins()->next, nullptr);
    EXPECT_STREQ(font.Skins()->next->name, "white");
    EXPECT_EQ(font.Skins()->next->next, nullptr);
    EXPECT_EQ(font.CurrentSkin(), nullptr);
}

TEST(FontFile, PairsAreNumberedInFileOrder) {
    TempFile file("font.ini", LetterFontText());
    Font font(file.path().c_str());
    EXPECT_EQ(font.glyphCell[uint8_t('a')], 0);
    EXPECT_EQ(font.glyphCell[uint8_t('z')], 25);
    EXPECT_EQ(font.glyphCell[uint8_t('A')], 26);
    EXPECT_EQ(font.glyphCell[uint8_t('.')], 52);
    EXPECT_EQ(font.glyphWidth[uint8_t('.')], 4);
    EXPECT_EQ(font.glyphCell[uint8_t('!')], 53);
    EXPECT_EQ(font.glyphWidth[uint8_t('!')], 8);
    EXPECT_EQ(font.glyphCell[uint8_t(' ')], -1);
    EXPECT_EQ(font.glyphCell[uint8_t('?')], -1);
    EXPECT_EQ(font.glyphWidth[uint8_t('?')], 0);
    EXPECT_EQ(font.size, 12);
}

TEST(FontFile, ACharacterDefinedTwiceTakesTheLaterPairButBothCount) {
    TempFile file("font.ini", "[skins]\n[data]\na 16\nb 8\na 4\nc 12\n[end]\n");
    Font font(file.path().c_str());
    EXPECT_TRUE(font.loaded);
    EXPECT_EQ(font.glyphCell[uint8_t('a')], 2);
    EXPECT_EQ(font.glyphWidth[uint8_t('a')], 4);
    EXPECT_EQ(font.glyphCell[uint8_t('b')], 1);
    EXPECT_EQ(font.glyphCell[uint8_t('c')], 3);
    // The character is the token's first byte; the width follows the integer rule.
    TempFile second("font2.ini", "[skins]\n[data]\nxyz 10abc\nq -3\nw 99\n[end]\nv 5\n");
    Font other(second.path().c_str());
    EXPECT_EQ(other.glyphCell[uint8_t('x')], 0);
    EXPECT_EQ(other.glyphWidth[uint8_t('x')], 10);
    // Widths stay inside the glyph's own cell.
    EXPECT_EQ(other.glyphWidth[uint8_t('q')], 0);
    EXPECT_EQ(other.glyphWidth[uint8_t('w')], 16);
    EXPECT_EQ(other.glyphCell[uint8_t('v')], -1);  // after [end]
}

TEST(FontFile, MissingFileOrNoSkinsTokenLeavesTheFontUnloaded) {
    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    Font missing(guitest::TempPath("no_such_font.ini").c_str());
    EXPECT_FALSE(missing.loaded);
    TempFile noSkins("font.ini", "white\ntex.bmp\nalpha.bmp\n[data]\na 16\n[end]\n");
    Font font(noSkins.path().c_str());
    EXPECT_FALSE(font.loaded);
    EXPECT_EQ(font.glyphCell[uint8_t('a')], -1);
    EXPECT_TRUE(driver.generated.empty());

    // Only spaces and tabs advance then; nothing is drawn.
    EXPECT_EQ(font.TextWidth("ab c\t"), 20);
    font.DrawText(10, 10, "%s", "ab c");
    EXPECT_TRUE(Strips(driver).empty());
}

TEST(FontFile, ASkinsSectionCutShortKeepsWhatWasRead) {
    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    TempFile file("font.ini", "[skins]\nwhite\nw.bmp\nwa.bmp\nyellow\ny.bmp\n");
    Font font(file.path().c_str());
    EXPECT_TRUE(font.loaded);
    EXPECT_EQ(driver.generated.size(), 1u);
    EXPECT_TRUE(font.SelectSkin("white"));
    EXPECT_FALSE(font.SelectSkin("yellow"));
}

TEST(FontFile, DamagedFilesNeverCrash) {
    std::string good = LetterFontText();
    srand(7);
    for (int round = 0; round < 200; ++round) {
        std::string damaged = good;
        int edits = 1 + rand() % 8;
        for (int e = 0; e < edits; ++e) {
            size_t at = static_cast<size_t>(rand()) % damaged.size();
            switch (rand() % 3) {
            case 0: damaged[at] = static_cast<char>(rand() % 256); break;
            case 1: damaged.erase(at, 1 + rand() % 20); break;
            default: damaged.resize(at); break;
            }
            if (damaged.empty()) damaged = "[";
        }
        TempFile file("damaged.ini", damaged);
        RecordingDriver driver(640, 480);
        ScopedDriver scope(&driver);
        Font font(file.path().c_str());
        font.SelectSkin("white");
        std::string all;
        for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
        font.DrawText(0, 0, "%s", all.c_str());
        for (const DrawRecord& d : driver.draws)
            for (const TLVERTEX& v : d.tlvertex) {
                EXPECT_GE(v.tu, 0.0f);
                EXPECT_LE(v.tu, 1.0f);
                EXPECT_GE(v.tv, 0.0f);
                EXPECT_LE(v.tv, 1.0f);
            }
    }
}

TEST(FontSkins, SelectingByExactName) {
    TempFile file("font.ini", LetterFontText());
    Font font(file.path().c_str());
    EXPECT_TRUE(font.SelectSkin("yellow"));
    EXPECT_STREQ(font.CurrentSkin()->texture, guitest::kYellowTexture);
    EXPECT_TRUE(font.SelectSkin("yellow"));
    EXPECT_FALSE(font.SelectSkin("White"));
    EXPECT_FALSE(font.SelectSkin("red"));
    EXPECT_FALSE(font.SelectSkin(nullptr));
    EXPECT_STREQ(font.CurrentSkin()->name, "yellow");
    EXPECT_TRUE(font.SelectSkin("white"));
    EXPECT_STREQ(font.CurrentSkin()->texture, guitest::kWhiteTexture);
}

TEST(FontAdvances, SpaceTabAndGlyphWidthsFollowTheSize) {
    TempFile file("font.ini", LetterFontText());
    Font font(file.path().c_str());
    EXPECT_EQ(font.spaceWidth, 4);
    EXPECT_EQ(font.tabWidth, 20);
    EXPECT_EQ(font.CharacterAdvance(' '), 4);
    EXPECT_EQ(font.CharacterAdvance('\t'), 20);
    EXPECT_EQ(font.CharacterAdvance('a'), 12);  // a full cell is size units
    EXPECT_EQ(font.CharacterAdvance('!'), 6);
    EXPECT_EQ(font.CharacterAdvance('.'), 3);
    EXPECT_EQ(font.CharacterAdvance('?'), 0);

    font.SetSize(7);
    EXPECT_EQ(font.spaceWidth, 2);
    EXPECT_EQ(font.tabWidth, 10);
    EXPECT_EQ(font.CharacterAdvance('a'), 7);
    EXPECT_EQ(font.CharacterAdvance('.'), 1);  // 4 * 7 / 16 = 1.75, truncated
    font.SetSize(20);
    EXPECT_EQ(font.spaceWidth, 6);
    EXPECT_EQ(font.tabWidth, 30);
    EXPECT_EQ(font.CharacterAdvance('.'), 5);
}

TEST(FontAdvances, TabsGoToTheNextStopFromTheTextsStart) {
    TempFile file("font.ini", LetterFontText());
    Font font(file.path().c_str());
    EXPECT_EQ(font.AdvanceAt('\t', 0, 0), 20);
    EXPECT_EQ(font.AdvanceAt('\t', 12, 0), 8);
    EXPECT_EQ(font.AdvanceAt('\t', 20, 0), 20);  // on a stop: the next one
    EXPECT_EQ(font.AdvanceAt('\t', 39, 0), 1);
    EXPECT_EQ(font.AdvanceAt('\t', 112, 100), 8);  // stops count from the start
    EXPECT_EQ(font.AdvanceAt('a', 13, 0), 12);
    EXPECT_EQ(font.TextWidth("a\tb"), 20 + 12);
    EXPECT_EQ(font.TextWidth("aa\tb"), 40 + 12);
    EXPECT_EQ(font.TextWidth("\t\t"), 40);
    EXPECT_EQ(font.TextWidth("a\tb", 55), 32);

    font.SetSize(2);  // no tab width: a tab stays where it is
    EXPECT_EQ(font.tabWidth, 0);
    EXPECT_EQ(font.AdvanceAt('\t', 5, 0), 0);
}

TEST(FontDrawing, GlyphQuadsInTheVirtualScreen) {
    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    TempFile file("font.ini", LetterFontText());
    Font font(file.path().c_str());
    font.SelectSkin("white");
    driver.ResetLog();
    font.DrawText(100, 50, "a!%c", 'B');

    auto strips = Strips(driver);
    ASSERT_EQ(strips.size(), 3u);
    for (const DrawRecord* d : strips) {
        EXPECT_EQ(d->texture, guitest::kWhiteTexture);
        EXPECT_TRUE(d->alphaBlending);
        EXPECT_EQ(d->zbufferMode, ZBUFFER_OFF);
        ASSERT_EQ(d->tlvertex.size(), 4u);
        for (const TLVERTEX& v : d->tlvertex) {
            EXPECT_FLOAT_EQ(v.sz, 0.1f);
            EXPECT_FLOAT_EQ(v.rhw, 0.1f);
            EXPECT_EQ(v.color, 0xFFFFFFFFu);
            EXPECT_EQ(v.specular, 0u);
        }
    }
    // 'a': cell 0, full width, 12 x 12 at (100, 50); strip order TL, TR, BL, BR.
    const TLVERTEX* a = strips[0]->tlvertex.data();
    EXPECT_FLOAT_EQ(a[0].sx, 100);
    EXPECT_FLOAT_EQ(a[0].sy, 50);
    EXPECT_FLOAT_EQ(a[1].sx, 112);
    EXPECT_FLOAT_EQ(a[1].sy, 50);
    EXPECT_FLOAT_EQ(a[2].sx, 100);
    EXPECT_FLOAT_EQ(a[2].sy, 62);
    EXPECT_FLOAT_EQ(a[3].sx, 112);
    EXPECT_FLOAT_EQ(a[3].sy, 62);
    EXPECT_FLOAT_EQ(a[0].tu, 0.025f * 0.0625f);
    EXPECT_FLOAT_EQ(a[0].tv, 0.025f * 0.125f);
    EXPECT_FLOAT_EQ(a[3].tu, 0.025f * 0.0625f + 0.95f * 0.0625f);
    EXPECT_FLOAT_EQ(a[3].tv, 0.025f * 0.125f + 0.95f * 0.125f);
    EXPECT_FLOAT_EQ(a[1].tu, a[3].tu);
    EXPECT_FLOAT_EQ(a[1].tv, a[0].tv);
    EXPECT_FLOAT_EQ(a[2].tu, a[0].tu);
    EXPECT_FLOAT_EQ(a[2].tv, a[3].tv);

    // '!': cell 53 (column 5, row 3), half a cell: 6 units wide.
    const TLVERTEX* bang = strips[1]->tlvertex.data();
    float area = 8.0f / 256.0f;
    EXPECT_FLOAT_EQ(bang[0].sx, 112);
    EXPECT_FLOAT_EQ(bang[1].sx, 118);
    EXPECT_FLOAT_EQ(bang[0].tu, 5 * 0.0625f + 0.025f * area);
    EXPECT_FLOAT_EQ(bang[1].tu, 5 * 0.0625f + 0.025f * area + 0.95f * area);
    EXPECT_FLOAT_EQ(bang[0].tv, 3 * 0.125f + 0.025f * 0.125f);
    // 'B' from the format's argument, after the 6 units of '!'.
    EXPECT_FLOAT_EQ(strips[2]->tlvertex[0].sx, 118);
}

TEST(FontDrawing, SpacesTabsAndUnknownCharactersMoveThePenAsTheAdvancesSay) {
    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    TempFile file("font.ini", LetterFontText());
    Font font(file.path().c_str());
    driver.ResetLog();
    font.DrawText(30, 0, "%s", "a b?c\td");
    auto strips = Strips(driver);
    ASSERT_EQ(strips.size(), 4u);
    EXPECT_FLOAT_EQ(strips[0]->tlvertex[0].sx, 30);
    EXPECT_FLOAT_EQ(strips[1]->tlvertex[0].sx, 30 + 12 + 4);
    // '?' has no glyph: skipped without advancing.
    EXPECT_FLOAT_EQ(strips[2]->tlvertex[0].sx, 30 + 12 + 4 + 12);
    // The tab after 40 units goes to the stop at 60 from the start.
    EXPECT_FLOAT_EQ(strips[3]->tlvertex[0].sx, 30 + 60);
    EXPECT_EQ(font.TextWidth("a b?c\t"), 60);
}

TEST(FontDrawing, TheSameTextCoversTheSameFractionAtEverySize) {
    TempFile file("font.ini", LetterFontText());
    std::vector<float> fractions[2];
    const int sizes[2][2] = {{640, 480}, {1280, 960}};
    for (int i = 0; i < 2; ++i) {
        RecordingDriver driver(sizes[i][0], sizes[i][1]);
        ScopedDriver scope(&driver);
        Font font(file.path().c_str());
        font.DrawText(333, 217, "%s", "Zendar.\tab");
        for (const DrawRecord* d : Strips(driver))
            for (const TLVERTEX& v : d->tlvertex) {
                fractions[i].push_back(v.sx / sizes[i][0]);
                fractions[i].push_back(v.sy / sizes[i][1]);
            }
    }
    ASSERT_EQ(fractions[0].size(), 9u * 4 * 2);
    for (size_t k = 0; k < fractions[0].size(); ++k) EXPECT_FLOAT_EQ(fractions[0][k], fractions[1][k]) << k;

    // A full-width glyph is one cell of the texture and size units on screen.
    RecordingDriver driver(1024, 768);
    ScopedDriver scope(&driver);
    Font font(file.path().c_str());
    font.SetSize(30);
    font.DrawText(0, 0, "%s", "a");
    const TLVERTEX* v = Strips(driver)[0]->tlvertex.data();
    EXPECT_FLOAT_EQ(v[3].sx - v[0].sx, 30.0f / 640.0f * 1024.0f);
    EXPECT_FLOAT_EQ(v[3].sy - v[0].sy, 30.0f / 480.0f * 768.0f);
    EXPECT_FLOAT_EQ((v[3].tu - v[0].tu) / 0.95f, 0.0625f);
}

TEST(FontDrawing, RenderStateIsSetAndRestored) {
    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    TempFile file("font.ini", LetterFontText());
    Font font(file.path().c_str());
    font.SelectSkin("yellow");
    driver.SetZBufferMode(ZBUFFER_NOWRITE);
    driver.ResetLog();
    font.DrawText(0, 0, "%s", "ab");
    EXPECT_EQ(driver.calls.front(), "SetLighting(0)");
    EXPECT_EQ(driver.calls[1], "SetAlphaBlending(1)");
    EXPECT_EQ(driver.calls[2], "SetZBufferMode(1)");
    EXPECT_EQ(driver.calls[3], std::string("SetTexture(") + guitest::kYellowTexture + ")");
    EXPECT_TRUE(driver.lighting);
    EXPECT_FALSE(driver.alphaBlending);
    EXPECT_EQ(driver.zbufferMode, ZBUFFER_NOWRITE);

    // Blending already on stays on.
    driver.SetAlphaBlending(true);
    font.DrawText(0, 0, "%s", "a");
    EXPECT_TRUE(driver.alphaBlending);
}

TEST(FontDrawing, WithoutASkinNoTextureIsBoundAndNothingWithoutFormatOrDriver) {
    TempFile file("font.ini", LetterFontText());
    {
        RecordingDriver driver(640, 480);
        ScopedDriver scope(&driver);
        Font font(file.path().c_str());
        driver.ResetLog();
        font.DrawText(0, 0, "%s", "a");
        EXPECT_EQ(driver.CountCalls("SetTexture("), 0);
        EXPECT_EQ(Strips(driver).size(), 1u);
        driver.ResetLog();
        font.DrawText(0, 0, nullptr);
        EXPECT_TRUE(driver.calls.empty());
    }
    ScopedDriver none(nullptr);
    Font font(file.path().c_str());
    font.DrawText(0, 0, "%s", "abc");  // no driver: nothing to do, no crash
    SUCCEED();
}

TEST(FontDrawing, FormattedTextIsCutAt1023Characters) {
    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    TempFile file("font.ini", LetterFontText());
    Font font(file.path().c_str());
    std::string longText(3000, 'a');
    font.DrawText(0, 0, "%s", longText.c_str());
    EXPECT_EQ(Strips(driver).size(), 1023u);
}

}  // namespace
