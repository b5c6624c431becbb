// The conversation text box: word wrap against x = 420, entry bands, hover
// and click, the 100-entry limit and what a draw hands the driver.
#include "gui/textbox.h"

#include <algorithm>

#include "gui_helpers.h"

using guitest::LetterFontText;
using guitest::Strips;
using guitest::TempFile;

namespace {

// Letters are 12 units wide at size 12, a space 4, tab stops every 20.
class TextBoxTest : public ::testing::Test {
protected:
    TextBoxTest()
        : driver(640, 480), scope(&driver), file("font.ini", LetterFontText()), font(file.path().c_str()) {}
    RecordingDriver driver;
    ScopedDriver scope;
    TempFile file;
    Font font;
};

std::vector<std::string> Lines(const TextEntry& entry) {
    std::vector<std::string> out;
    for (const String& s : entry.lines) out.push_back(s.c_str());
    return out;
}

TEST_F(TextBoxTest, WordsWrapBeforeTheVirtualX420) {
    TextBox box(&font, 50, 50);  // 370 units of line
    ASSERT_TRUE(box.AddEntry("aaaaa aaaaa aaaaa aaaaa aaaaa aaaaa aaaaa", "white", false));
    EXPECT_EQ(Lines(box.entries[0]),
              (std::vector<std::string>{"aaaaa aaaaa aaaaa aaaaa aaaaa ", "aaaaa aaaaa"}));
    EXPECT_EQ(box.entries[0].lineCount, 2);
    EXPECT_EQ(box.height, 24);
    EXPECT_EQ(box.width, 5 * 64);  // the widest line, its trailing space included

    // Further right the same text gets a shorter line.
    TextBox right(&font, 296, 50);  // 124 units: two words and a space fit exactly
    right.AddEntry("aaaaa aaaaa", "white", false);
    EXPECT_EQ(right.entries[0].lineCount, 1);
    right.AddEntry("aaaaa aaaaaa", "white", false);
    EXPECT_EQ(Lines(right.entries[1]), (std::vector<std::string>{"aaaaa ", "aaaaaa"}));
}

TEST_F(TextBoxTest, AWordWiderThanTheLineStandsAloneUnsplit) {
    TextBox box(&font, 50, 50);
    std::string word(40, 'b');
    box.AddEntry(("ab " + word + " c").c_str(), "white", false);
    EXPECT_EQ(Lines(box.entries[0]), (std::vector<std::string>{"ab ", word + " ", "c"}));
    EXPECT_EQ(box.width, 40 * 12 + 4);
    // Alone at the start of the text it is not preceded by an empty line.
    TextBox other(&font, 50, 50);
    other.AddEntry(word.c_str(), "white", false);
    EXPECT_EQ(Lines(other.entries[0]), (std::vector<std::string>{word}));
}

TEST_F(TextBoxTest, LeadingBlanksAreKeptAndLineFeedsBreak) {
    TextBox box(&font, 50, 50);
    box.AddEntry("  ab\n\tcd\n\nef\n", "white", false);
    EXPECT_EQ(Lines(box.entries[0]), (std::vector<std::string>{"  ab", "\tcd", "", "ef"}));
    EXPECT_EQ(box.height, 48);
    EXPECT_EQ(box.width, 100);  // 44 units at most, but never below 100

    // Tabs are measured as they are drawn: to the stop after the pen.
    TextBox tabs(&font, 100, 0);
    tabs.AddEntry("aaaaaaaa\taaaaaaaaaaaaaaaaaaaaaaaa\tb", "white", false);
    // 96 + 4 (to 100) then 288 makes 388 > 320: the long word wraps.
    EXPECT_EQ(Lines(tabs.entries[0]),
              (std::vector<std::string>{"aaaaaaaa\t", "aaaaaaaaaaaaaaaaaaaaaaaa\tb"}));
    EXPECT_EQ(tabs.width, 288 + 12 + 12);

    int widest = 0;
    std::vector<String> lines;
    TextBox::WrapText(&font, 0, 370, "", &lines, &widest);
    ASSERT_EQ(lines.size(), 1u);  // an empty text is one empty line
    EXPECT_EQ(widest, 0);
}

TEST_F(TextBoxTest, EntriesStackInBandsAndTheBoxGrows) {
    TextBox box(&font, 50, 60);
    EXPECT_EQ(box.width, 100);
    EXPECT_EQ(box.height, 0);
    box.AddEntry("You:", "yellow", false);
    box.AddEntry("aaaaa aaaaa aaaaa aaaaa aaaaa aaaaa aaaaa", "white", false);
    box.AddEntry("* yes", "yellow", true);
    EXPECT_EQ(box.entryCount, 3);
    EXPECT_EQ(box.entries[0].top, 0);
    EXPECT_EQ(box.entries[0].bottom, 12);
    EXPECT_EQ(box.entries[1].top, 12);
    EXPECT_EQ(box.entries[1].bottom, 36);
    EXPECT_EQ(box.entries[2].top, 36);
    EXPECT_EQ(box.entries[2].bottom, 48);
    EXPECT_EQ(box.height, 48);
    EXPECT_TRUE(box.hasChoices);
    EXPECT_STREQ(box.entries[0].skin.c_str(), "yellow");
    // The size of the font at the time decides the line height.
    font.SetSize(20);
    box.AddEntry("ab", "white", false);
    EXPECT_EQ(box.entries[3].bottom, 68);
}

TEST_F(TextBoxTest, TheHundredAndFirstEntryIsRefused) {
    TextBox box(&font, 50, 50);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(box.AddEntry("ab", "white", i % 2 == 1));
    EXPECT_FALSE(box.AddEntry("one too many", "white", true));
    EXPECT_EQ(box.entryCount, 100);
    EXPECT_EQ(box.height, 1200);
}

TEST_F(TextBoxTest, HoverLightsTheAnswerUnderTheMouse) {
    TextBox box(&font, 50, 50);
    box.AddEntry("header", "yellow", false);   // band 0..12
    box.AddEntry("* first", "yellow", true);   // 12..24
    box.AddEntry("* second", "yellow", true);  // 24..36
    box.Hover(60, 50 + 18);
    EXPECT_EQ(box.Highlighted(), 1);
    box.Hover(60, 50 + 30);
    EXPECT_EQ(box.Highlighted(), 2);
    box.Hover(60, 50 + 5);  // the header is no answer
    EXPECT_EQ(box.Highlighted(), -1);
    box.Hover(60, 50 + 18);
    box.Hover(60, 50 + 24);  // on the border of two bands: neither
    EXPECT_EQ(box.Highlighted(), -1);
    box.Hover(60, 50 + 18);
    box.Hover(49, 50 + 18);  // left of the box
    EXPECT_EQ(box.Highlighted(), -1);
    box.Hover(150, 50 + 18);  // x + width is outside
    EXPECT_EQ(box.Highlighted(), -1);
    box.Hover(149, 50 + 30);
    EXPECT_EQ(box.Highlighted(), 2);

    // After a choice hover changes nothing.
    box.Click(60, 50 + 30);
    EXPECT_EQ(box.Chosen(), 2);
    box.Hover(60, 50 + 18);
    EXPECT_EQ(box.Highlighted(), 2);
    box.Hover(0, 0);
    EXPECT_EQ(box.Highlighted(), 2);
    box.Click(60, 50 + 18);
    EXPECT_EQ(box.Chosen(), 2);
}

TEST_F(TextBoxTest, ClicksPickAnswersOnly) {
    TextBox box(&font, 50, 50);
    box.AddEntry("header", "yellow", false);
    box.AddEntry("* first", "yellow", true);
    box.Click(60, 55);  // the header
    EXPECT_EQ(box.Chosen(), -1);
    box.Click(10, 62);  // outside
    EXPECT_EQ(box.Chosen(), -1);
    box.Click(60, 62);  // the first answer's top edge belongs to no band
    EXPECT_EQ(box.Chosen(), -1);
    box.Click(60, 63);
    EXPECT_EQ(box.Chosen(), 1);
}

TEST_F(TextBoxTest, ABoxWithoutAnswersIsDismissedByAnyClickInside) {
    TextBox box(&font, 50, 50);
    box.AddEntry("You:", "yellow", false);
    box.AddEntry("Hello there.", "white", false);
    EXPECT_FALSE(box.hasChoices);
    box.Click(200, 60);  // right of the box (width 127)
    box.Click(60, 40);   // above it
    box.Click(60, 74);   // below it (height 24)
    EXPECT_EQ(box.Chosen(), -1);
    box.Click(176, 73);
    EXPECT_EQ(box.Chosen(), 0);
}

TEST_F(TextBoxTest, TheFirstBoxRegistersTheTexturesAndLaterOnesReuseThem) {
    TextBox::ForgetTextures();
    driver.generated.clear();
    TextBox box(&font, 50, 50);
    ASSERT_EQ(driver.generated.size(), 2u);
    EXPECT_EQ(driver.generated[0].first, "textures\\interface\\textbox\\field01.bmp");
    EXPECT_EQ(driver.generated[0].second, "textures\\interface\\textbox\\field01a.bmp");
    EXPECT_EQ(driver.generated[1].first, "textures\\interface\\textbox\\edge01.bmp");
    EXPECT_EQ(driver.generated[1].second, "textures\\interface\\textbox\\edge01a.bmp");
    for (int i = 0; i < 4; ++i) TextBox(&font, 50, 50).AddEntry("again", "white", false);
    EXPECT_EQ(driver.generated.size(), 2u);
    // Another driver has its own textures.
    RecordingDriver other(640, 480);
    ScopedDriver otherScope(&other);
    TextBox third(&font, 50, 50);
    EXPECT_EQ(other.generated.size(), 2u);
}

TEST_F(TextBoxTest, KeysPickAnAnswerOrGoOn) {
    TextBox lines(&font, 50, 50);
    lines.AddEntry("Guard:", "yellow", false);
    lines.AddEntry("Halt!", "white", false);
    EXPECT_FALSE(lines.ChooseAnswer(1));  // no answers to pick
    lines.GoOn();
    EXPECT_EQ(lines.Chosen(), 0);

    TextBox query(&font, 50, 50);
    for (const char* answer : {"* Yes", "* No", "* Maybe"}) query.AddEntry(answer, "yellow", true);
    query.GoOn();  // nothing highlighted: waits
    EXPECT_EQ(query.Chosen(), -1);
    EXPECT_FALSE(query.ChooseAnswer(4));
    EXPECT_FALSE(query.ChooseAnswer(0));
    EXPECT_TRUE(query.ChooseAnswer(3));
    EXPECT_EQ(query.Chosen(), 2);
    EXPECT_FALSE(query.ChooseAnswer(1));  // chosen already

    TextBox hovered(&font, 50, 50);
    hovered.AddEntry("Well?", "white", false);
    hovered.AddEntry("* Yes", "yellow", true);
    hovered.AddEntry("* No", "yellow", true);
    hovered.Hover(60, 50 + 30);
    hovered.GoOn();
    EXPECT_EQ(hovered.Chosen(), 2);
    TextBox mixed(&font, 50, 50);
    mixed.AddEntry("Well?", "white", false);
    mixed.AddEntry("* Yes", "yellow", true);
    EXPECT_TRUE(mixed.ChooseAnswer(1));
    EXPECT_EQ(mixed.Chosen(), 1);  // entry numbers count the text before the answers
}

TEST_F(TextBoxTest, DrawingBackgroundFrameThenTheLinesInTheirSkins) {
    RecordingDriver big(1280, 960);
    ScopedDriver bigScope(&big);
    TextBox box(&font, 50, 40);
    box.AddEntry("Ab", "yellow", false);
    box.AddEntry("aaaaa aaaaa aaaaa aaaaa aaaaa aaaaa aaaaa", "white", false);
    box.AddEntry("C", "yellow", true);
    box.Hover(60, 40 + 40);
    ASSERT_EQ(box.Highlighted(), 2);
    big.ResetLog();
    box.Draw();

    ASSERT_GE(big.draws.size(), 3u);
    const DrawRecord& background = big.draws[0];
    EXPECT_EQ(background.texture, "textures\\interface\\textbox\\field01.bmp");
    EXPECT_EQ(background.primitive, Primitive::kStrip);
    ASSERT_EQ(background.tlvertex.size(), 4u);
    EXPECT_FLOAT_EQ(background.tlvertex[0].sx, 100);
    EXPECT_FLOAT_EQ(background.tlvertex[0].sy, 80);
    EXPECT_FLOAT_EQ(background.tlvertex[3].sx, (50 + 320) * 2);
    EXPECT_FLOAT_EQ(background.tlvertex[3].sy, (40 + 48) * 2);
    EXPECT_EQ(background.tlvertex[0].color, 0xFFFFFFFFu);
    EXPECT_TRUE(background.alphaBlending);
    EXPECT_EQ(background.zbufferMode, ZBUFFER_OFF);
    EXPECT_FALSE(big.alphaBlending);  // put back afterwards
    EXPECT_EQ(big.zbufferMode, ZBUFFER_ON);

    const DrawRecord& frame = big.draws[1];
    EXPECT_EQ(frame.texture, "textures\\interface\\textbox\\edge01.bmp");
    EXPECT_EQ(frame.primitive, Primitive::kIndexedList);
    ASSERT_EQ(frame.indices.size(), 48u);
    // The frame surrounds the box and leaves its inside to the background.
    float cx = (50 + 160) * 2.0f, cy = (40 + 24) * 2.0f;
    for (size_t t = 0; t < 48; t += 3) {
        const TLVERTEX* v[3];
        for (int k = 0; k < 3; ++k) {
            ASSERT_LT(frame.indices[t + k], 16);
            v[k] = &frame.tlvertex[frame.indices[t + k]];
        }
        float minX = std::min({v[0]->sx, v[1]->sx, v[2]->sx}),
              maxX = std::max({v[0]->sx, v[1]->sx, v[2]->sx});
        float minY = std::min({v[0]->sy, v[1]->sy, v[2]->sy}),
              maxY = std::max({v[0]->sy, v[1]->sy, v[2]->sy});
        EXPECT_FALSE(minX < cx && cx < maxX && minY < cy && cy < maxY) << "triangle " << t / 3;
        EXPECT_GE(minX, (50 - kTextFrameWidth) * 2.0f);
        EXPECT_LE(maxX, (50 + 320 + kTextFrameWidth) * 2.0f);
    }

    // Lines: "Ab" yellow, two white lines, "C" highlighted in white; each
    // line one font size below the last.
    auto strips = Strips(big);
    ASSERT_EQ(strips.size(), 1u + 2 + 25 + 10 + 1);  // background + glyphs
    EXPECT_EQ(strips[1]->texture, guitest::kYellowTexture);
    EXPECT_FLOAT_EQ(strips[1]->tlvertex[0].sy, 80);
    EXPECT_EQ(strips[3]->texture, guitest::kWhiteTexture);
    EXPECT_FLOAT_EQ(strips[3]->tlvertex[0].sy, (40 + 12) * 2);
    EXPECT_FLOAT_EQ(strips[3 + 25]->tlvertex[0].sy, (40 + 24) * 2);
    EXPECT_EQ(strips.back()->texture, guitest::kWhiteTexture);
    EXPECT_FLOAT_EQ(strips.back()->tlvertex[0].sy, (40 + 36) * 2);
    EXPECT_FLOAT_EQ(strips.back()->tlvertex[0].sx, 100);

    // Not highlighted, the answer is drawn in its own skin.
    box.Hover(0, 0);
    big.ResetLog();
    box.Draw();
    EXPECT_EQ(Strips(big).back()->texture, guitest::kYellowTexture);
}

}  // namespace
