// Interface images: registration with its texture, the quad in the virtual
// screen, lookup, showing and hiding, moving, and the interface pass.
#include "gui/interfaceimage.h"

#include "gui_helpers.h"

using guitest::Strips;

namespace {

class InterfaceImageTest : public ::testing::Test {
protected:
    InterfaceImageTest() : driver(1024, 768), scope(&driver) {}
    ~InterfaceImageTest() override { ClearInterfaceImages(); }
    RecordingDriver driver;
    ScopedDriver scope;
};

TEST_F(InterfaceImageTest, RegisteringBuildsTheScaledQuad) {
    InterfaceImage* cursor =
        RegisterInterfaceImage("cursor", "textures\\interface\\pointer01.bmp",
                               "textures\\interface\\pointer01a.bmp", 315, 235, 10, 10, true);
    ASSERT_NE(cursor, nullptr);
    ASSERT_EQ(driver.generated.size(), 1u);
    EXPECT_EQ(driver.generated[0].first, "textures\\interface\\pointer01.bmp");
    EXPECT_EQ(driver.generated[0].second, "textures\\interface\\pointer01a.bmp");
    EXPECT_TRUE(cursor->shown);
    EXPECT_TRUE(cursor->ready);
    EXPECT_FLOAT_EQ(cursor->alpha, 255.0f);
    const float sx[4] = {504, 520, 504, 520};
    const float sy[4] = {376, 376, 392, 392};
    const float tu[4] = {0, 1, 0, 1};
    const float tv[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(cursor->quad[i].sx, sx[i]) << i;
        EXPECT_FLOAT_EQ(cursor->quad[i].sy, sy[i]) << i;
        EXPECT_FLOAT_EQ(cursor->quad[i].tu, tu[i]);
        EXPECT_FLOAT_EQ(cursor->quad[i].tv, tv[i]);
        EXPECT_FLOAT_EQ(cursor->quad[i].sz, 0.1f);
        EXPECT_FLOAT_EQ(cursor->quad[i].rhw, 0.1f);
        EXPECT_EQ(cursor->quad[i].color, 0xFFFFFFFFu);
    }
    EXPECT_EQ(FindInterfaceImage("cursor"), cursor);
    EXPECT_EQ(FindInterfaceImage("Cursor"), nullptr);

    // Loading pictures have no alpha map.
    RegisterInterfaceImage("load1", "textures\\interface\\loading\\loading01.bmp", nullptr, 128, 176, 128,
                           128, false);
    EXPECT_EQ(driver.generated[1].second, "");
}

TEST_F(InterfaceImageTest, RegisteringANameTwiceKeepsTheFirstImage) {
    InterfaceImage* first = RegisterInterfaceImage("cursor", "a.bmp", nullptr, 315, 235, 10, 10, true);
    InterfaceImage* second = RegisterInterfaceImage("cursor", "b.bmp", nullptr, 0, 0, 50, 50, false);
    EXPECT_EQ(second, first);
    EXPECT_STREQ(first->Texture(), "a.bmp");
    EXPECT_EQ(first->x, 315);
    EXPECT_TRUE(first->shown);
    EXPECT_EQ(driver.generated.size(), 1u);
    int count = 0;
    for (InterfaceImage* i = FirstInterfaceImage(); i; i = i->next) ++count;
    EXPECT_EQ(count, 1);
}

TEST_F(InterfaceImageTest, ShowHideAndPlace) {
    RegisterInterfaceImage("cursor", "c.bmp", nullptr, 315, 235, 10, 10, true);
    RegisterInterfaceImage("crosshair", "x.bmp", nullptr, 315, 235, 10, 10, true);
    EXPECT_EQ(SetInterfaceImageShown("nothing", true), nullptr);
    InterfaceImage* cursor = SetInterfaceImageShown("cursor", false);
    ASSERT_NE(cursor, nullptr);
    EXPECT_FALSE(cursor->shown);
    HideAllInterfaceImages();
    EXPECT_FALSE(FindInterfaceImage("crosshair")->shown);
    SetInterfaceImageShown("crosshair", true);
    EXPECT_TRUE(FindInterfaceImage("crosshair")->shown);

    PlaceInterfaceImage(cursor, 320, 240);
    EXPECT_EQ(cursor->x, 320);
    EXPECT_EQ(cursor->width, 10);
    EXPECT_FLOAT_EQ(cursor->quad[0].sx, 512);
    EXPECT_FLOAT_EQ(cursor->quad[0].sy, 384);
    EXPECT_FLOAT_EQ(cursor->quad[3].sx, 528);
    EXPECT_FLOAT_EQ(cursor->quad[3].sy, 400);
    PlaceInterfaceImage(nullptr, 1, 1);  // no image: nothing
}

TEST_F(InterfaceImageTest, TheInterfacePassDrawsShownImagesNewestFirst) {
    RegisterInterfaceImage("a", "a.bmp", nullptr, 0, 0, 10, 10, true);
    RegisterInterfaceImage("b", "b.bmp", nullptr, 0, 0, 10, 10, false);
    RegisterInterfaceImage("c", "c.bmp", nullptr, 0, 0, 10, 10, true);
    driver.ResetLog();
    DrawInterface();
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"SetAlphaBlending(1)", "SetTexture(c.bmp)",
                                                      "DrawStrip(TLVERTEX,4)", "SetTexture(a.bmp)",
                                                      "DrawStrip(TLVERTEX,4)", "SetAlphaBlending(0)"}));
    driver.ResetLog();
    DrawInterfaceImage(FindInterfaceImage("b"));  // drawing one ignores its shown flag
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"SetTexture(b.bmp)", "DrawStrip(TLVERTEX,4)"}));
}

TEST_F(InterfaceImageTest, AnImageMadeWithoutADriverIsNeverDrawn) {
    {
        ScopedDriver none(nullptr);
        InterfaceImage* early = RegisterInterfaceImage("early", "e.bmp", nullptr, 0, 0, 10, 10, true);
        EXPECT_FALSE(early->ready);
        DrawInterface();  // no driver: nothing at all
    }
    EXPECT_TRUE(driver.generated.empty());
    driver.ResetLog();
    DrawInterface();
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"SetAlphaBlending(1)", "SetAlphaBlending(0)"}));
    FindInterfaceImage("early")->Draw();
    EXPECT_TRUE(Strips(driver).empty());
}

}  // namespace
