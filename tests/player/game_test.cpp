// The game object: inventory and its icon row, quest flags, the timed
// message, the script game calls and the scene load with its loading frame.
#include "player/game.h"

#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "gui/gui_helpers.h"
#include "gui/interfaceimage.h"
#include "imports/enginecalls.h"
#include "player/questlog.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "world/area.h"

using guitest::LogCapture;
using guitest::Strips;

namespace {

class GameTest : public ::testing::Test {
protected:
    ~GameTest() override {
        ClearInterfaceImages();
        UseRealTimeClock();
        ResetMouseModes();
    }
    LogCapture log;
    Game game{nullptr};
};

TEST_F(GameTest, ItemsAreNamesWithoutCounts) {
    EXPECT_FALSE(game.HasItem("gatekey"));
    game.AddItem("gatekey");
    game.AddItem("gatekey");
    game.RemoveItem("gatekey");
    EXPECT_TRUE(game.HasItem("gatekey"));
    EXPECT_EQ(game.Inventory().Size(), 1);
    EXPECT_FALSE(game.HasItem("GateKey"));  // exact comparison
    EXPECT_FALSE(game.HasItem(nullptr));

    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    game.DrawInventory();
    auto strips = Strips(driver);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0]->texture, "textures\\icons\\gatekey.bmp");

    game.RemoveItem("gatekey");
    EXPECT_FALSE(game.HasItem("gatekey"));
    game.RemoveItem("gatekey");  // not held: nothing changes
    game.RemoveItem(nullptr);
    EXPECT_EQ(game.Inventory().Size(), 0);
}

TEST_F(GameTest, RemovingTakesTheFirstEntryAndKeepsTheOrder) {
    game.AddItem("a");
    game.AddItem("b");
    game.AddItem("a");
    game.RemoveItem("a");
    ASSERT_EQ(game.Inventory().Size(), 2);
    EXPECT_STREQ(game.Inventory()[0].c_str(), "b");
    EXPECT_STREQ(game.Inventory()[1].c_str(), "a");
}

TEST_F(GameTest, IconsStandInOneRow37UnitsApart) {
    game.AddItem("gatekey");
    game.AddItem("apple");
    game.AddItem("gatekey");
    RecordingDriver small(640, 480), big(1280, 960);
    for (RecordingDriver* each : {&small, &big}) {
        RecordingDriver& driver = *each;
        ScopedDriver scope(&driver);
        float scale = driver.width / 640.0f;
        for (int pass = 0; pass < 3; ++pass) {
            driver.ResetLog();
            game.DrawInventory();
            auto strips = Strips(driver);
            ASSERT_EQ(strips.size(), 3u);
            const int xs[3] = {50, 87, 124};
            for (int i = 0; i < 3; ++i) {
                const TLVERTEX* v = strips[i]->tlvertex.data();
                EXPECT_FLOAT_EQ(v[0].sx, xs[i] * scale);
                EXPECT_FLOAT_EQ(v[0].sy, 440 * scale);
                EXPECT_FLOAT_EQ(v[3].sx, (xs[i] + 32) * scale);
                EXPECT_FLOAT_EQ(v[3].sy, 472 * scale);
            }
            EXPECT_EQ(strips[1]->texture, "textures\\icons\\apple.bmp");
            EXPECT_EQ(strips[2]->texture, "textures\\icons\\gatekey.bmp");
        }
        // Each icon's texture is registered once, not on every pass.
        EXPECT_EQ(driver.generated.size(), 2u);
        EXPECT_EQ(driver.generated[0].first, "textures\\icons\\gatekey.bmp");
        EXPECT_EQ(driver.generated[0].second, "");
    }
    // Icons are not interface images of the interface pass.
    EXPECT_EQ(FirstInterfaceImage(), nullptr);
}

TEST_F(GameTest, AMessageLastsItsSecondsThenStaysEmpty) {
    UseFixedClock(100, 5000);  // 5.0 s, 0.1 s a step
    EXPECT_STREQ(game.CurrentMessage().c_str(), "");
    game.ShowMessage("You unlock the door.", 3.0f);
    EXPECT_FLOAT_EQ(game.messageStart, 5.0f);
    EXPECT_FLOAT_EQ(game.messageDuration, 3.0f);
    for (int step = 0; step < 29; ++step) {
        EXPECT_STREQ(game.CurrentMessage().c_str(), "You unlock the door.") << step;
        AdvanceFixedClock();
    }
    EXPECT_STREQ(game.CurrentMessage().c_str(), "You unlock the door.");  // 7.9 s
    AdvanceFixedClock();                                                  // 8.0 s
    EXPECT_STREQ(game.CurrentMessage().c_str(), "");
    EXPECT_STREQ(game.messageText.c_str(), "");
    AdvanceFixedClock();
    EXPECT_STREQ(game.CurrentMessage().c_str(), "");
    // A new message replaces the old at once.
    game.ShowMessage("first", 10.0f);
    game.ShowMessage("second", 1.0f);
    EXPECT_STREQ(game.CurrentMessage().c_str(), "second");
}

TEST_F(GameTest, SettingAQuestFlagShowsTheQuestLogMessageEveryTime) {
    UseFixedClock(1000, 0);
    EXPECT_FALSE(game.QuestFlagDefined("met_innkeeper"));
    game.SetQuestFlag("met_innkeeper");
    EXPECT_TRUE(game.QuestFlagDefined("met_innkeeper"));
    EXPECT_FALSE(game.QuestFlagDefined("met"));
    EXPECT_STREQ(game.CurrentMessage().c_str(), "Your quest log has been updated..");
    EXPECT_FLOAT_EQ(game.messageDuration, 3.0f);
    for (int i = 0; i < 3; ++i) AdvanceFixedClock();
    EXPECT_STREQ(game.CurrentMessage().c_str(), "");
    game.SetQuestFlag("met_innkeeper");
    EXPECT_STREQ(game.CurrentMessage().c_str(), "Your quest log has been updated..");
    ASSERT_EQ(game.QuestLog().Size(), 2);
    EXPECT_STREQ(game.QuestLog()[1].c_str(), "met_innkeeper");
}

TEST_F(GameTest, ScriptCallsByCode) {
    UseFixedClock(1000, 0);
    game.ScriptCall(kGameCallSpare, "", 42);
    EXPECT_EQ(game.spare, 42);
    game.ScriptCall(kGameCallShowMessage, "The gate is open.", 5);
    EXPECT_TRUE(log.Has("setting info string..\n"));
    EXPECT_STREQ(game.CurrentMessage().c_str(), "The gate is open.");
    EXPECT_FLOAT_EQ(game.messageDuration, 5.0f);
    log.settings().collisionOn = 0;
    game.ScriptCall(kGameCallCollisionOn, "", 7);
    EXPECT_EQ(log.settings().collisionOn, 1);
    game.ScriptCall(kGameCallCollisionOn, "", 0);
    EXPECT_EQ(log.settings().collisionOn, 0);
    game.ScriptCall(kGameCallMovementSpeed, "", 250);
    EXPECT_FLOAT_EQ(log.settings().movementSpeed, 250.0f);
    game.ScriptCall(kGameCallAddItem, "gatekey", 0);
    EXPECT_TRUE(game.HasItem("gatekey"));
    game.ScriptCall(kGameCallSetQuestFlag, "opened_gate", 0);
    EXPECT_TRUE(game.QuestFlagDefined("opened_gate"));
    EXPECT_STREQ(game.CurrentMessage().c_str(), "Your quest log has been updated..");
    // Other codes and a missing text change nothing.
    game.ScriptCall(7, "x", 1);
    game.ScriptCall(-1, "x", 1);
    game.ScriptCall(kGameCallAddItem, nullptr, 0);
    EXPECT_EQ(game.Inventory().Size(), 2);
    EXPECT_STREQ(game.Inventory()[1].c_str(), "");
    EXPECT_EQ(game.spare, 42);
}

TEST_F(GameTest, TheVectorCallMovesThePlayerCamera) {
    PlayerCamera camera(1.0f, 5000);
    camera.LookAt(VECTOR(10, 20, 30), VECTOR(10, 20, 40), 0.0f);
    camera.direction = VECTOR(0, 0, 10);
    Game withCamera(&camera);
    withCamera.ScriptVectorCall(kGameVectorCallMoveCamera, "", VECTOR(1, -2, 3));
    EXPECT_FLOAT_EQ(camera.position.x, 11);
    EXPECT_FLOAT_EQ(camera.position.y, 18);
    EXPECT_FLOAT_EQ(camera.position.z, 33);
    EXPECT_FLOAT_EQ(camera.direction.z, 10);  // the view direction is kept
    EXPECT_FLOAT_EQ(camera.view.m[14], -33);  // and the view follows the eye
    withCamera.ScriptVectorCall(1, "", VECTOR(100, 100, 100));
    EXPECT_FLOAT_EQ(camera.position.x, 11);
    game.ScriptVectorCall(kGameVectorCallMoveCamera, "", VECTOR(1, 1, 1));  // no camera: nothing
}

// An empty area file as the area writer makes it: magic, version 8, no
// models, no entities.
void WriteEmptyArea(const std::string& folder, const std::string& name) {
    mkdir(folder.c_str(), 0755);
    mkdir((folder + "/area").c_str(), 0755);
    const unsigned char bytes[14] = {'Z', '1', 'A', 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    FILE* f = std::fopen((folder + "/area/" + name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes, 1, sizeof bytes, f);
    std::fclose(f);
}

TEST_F(GameTest, LoadingASceneShowsTheLoadingFrameThenReturnsToWalking) {
    std::string folder = guitest::TempPath("scene");
    WriteEmptyArea(folder, "village.z1a");
    std::string savedBase = GetBasePath();
    SetBasePath(folder.c_str());

    RecordingDriver driver(640, 480);
    ScopedDriver scope(&driver);
    RegisterInterfaceImage("cursor", "c.bmp", nullptr, 315, 235, 10, 10, true);
    RegisterInterfaceImage("crosshair", "x.bmp", nullptr, 315, 235, 10, 10, false);
    RegisterInterfaceImage("load1", "l1.bmp", nullptr, 128, 176, 128, 128, false);
    RegisterInterfaceImage("load2", "l2.bmp", nullptr, 256, 176, 128, 128, false);
    RegisterInterfaceImage("load3", "l3.bmp", nullptr, 384, 176, 128, 128, false);
    SetMouseMode(MOUSE_POINTER);
    Area area;
    driver.ResetLog();

    game.LoadScene("village.z1a");

    EXPECT_EQ(driver.calls, (std::vector<std::string>{
                                "SetTextureWrapU(0)", "SetTextureWrapV(0)", "BeginScene()", "Clear(FF000000)",
                                "SetAlphaBlending(1)", "SetTexture(l3.bmp)", "DrawStrip(TLVERTEX,4)",
                                "SetTexture(l2.bmp)", "DrawStrip(TLVERTEX,4)", "SetTexture(l1.bmp)",
                                "DrawStrip(TLVERTEX,4)", "SetAlphaBlending(0)", "EndScene()", "ShowFrame()",
                                "SetTextureWrapU(1)", "SetTextureWrapV(1)"}));
    std::string text = log.Text();
    size_t scene = text.find("Loading scene 'village.z1a'\n");
    size_t area_line = text.find("Loading area from file 'area\\village.z1a'");
    ASSERT_NE(scene, std::string::npos) << text;
    ASSERT_NE(area_line, std::string::npos) << text;
    EXPECT_LT(scene, area_line);
    EXPECT_TRUE(log.Has("Loading file version 8"));
    // Walking again: only the crosshair, the game keys (no input driver
    // here, so that fails) and look mode.
    EXPECT_TRUE(log.Has("ERROR - could not initialize input devices"));
    EXPECT_TRUE(FindInterfaceImage("crosshair")->shown);
    EXPECT_FALSE(FindInterfaceImage("cursor")->shown);
    EXPECT_FALSE(FindInterfaceImage("load1")->shown);
    EXPECT_FALSE(FindInterfaceImage("load3")->shown);
    EXPECT_EQ(GetMouseMode(), MOUSE_LOOK);

    // Wrap modes that were off stay off.
    driver.SetTextureWrapU(false);
    driver.ResetLog();
    game.LoadScene("missing.z1a");
    EXPECT_EQ(driver.calls.front(), "SetTextureWrapU(0)");
    EXPECT_EQ(driver.calls.back(), "SetTextureWrapV(1)");
    EXPECT_FALSE(driver.wrapU);
    EXPECT_TRUE(log.Has("Invalid area file - cannot load"));

    SetBasePath(savedBase.c_str());
    std::remove((folder + "/area/village.z1a").c_str());
    rmdir((folder + "/area").c_str());
    rmdir(folder.c_str());
}

TEST_F(GameTest, TheQuestLogScreenShowsEachFlagOnceByTitleAndTheItems) {
    typedef std::vector<std::pair<std::string, std::string>> Lines;
    EXPECT_EQ(QuestLogLines(game), (Lines{{"yellow", "Quest log"},
                                          {"white", "  Nothing yet."},
                                          {"yellow", "Items held"},
                                          {"white", "  Nothing."},
                                          {"yellow", "Press J to close."}}));
    game.SetQuestFlag("gate_key_given");
    game.SetQuestFlag("heard-tale_1");
    game.SetQuestFlag("gate_key_given");
    game.AddItem("gatekey");
    game.AddItem("charm");
    EXPECT_EQ(QuestLogLines(game), (Lines{{"yellow", "Quest log"},
                                          {"white", "  Gate key given"},
                                          {"white", "  Heard tale 1"},
                                          {"yellow", "Items held"},
                                          {"white", "  gatekey"},
                                          {"white", "  charm"},
                                          {"yellow", "Press J to close."}}));
    EXPECT_EQ(QuestTitle(""), "");
    EXPECT_EQ(QuestTitle(nullptr), "");
}

TEST_F(GameTest, LoadingASceneWithoutDriverOrAreaStillReturnsToWalking) {
    ScopedDriver none(nullptr);
    SetMouseMode(MOUSE_POINTER);
    game.LoadScene(nullptr);
    EXPECT_TRUE(log.Has("Loading scene ''"));
    EXPECT_EQ(GetMouseMode(), MOUSE_LOOK);
}

}  // namespace
