// The frame functions in process, against the recording driver, a queue
// input driver, a hand-driven clock and a sound library that records what it
// is asked to play: the movement clock, the frame rate, the music, the night
// lights, the overlay's order and timings, the conversation view's return to
// walking, and the credits' three ways out.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "common/recording_driver.h"
#include "os/harness.h"
#include "os/replay.h"
#include "game/screens.h"
#include "gui/interfaceimage.h"
#include "input/dikeys.h"
#include "input/queueinputdriver.h"
#include "player/conversationview.h"
#include "gui/font.h"
#include "settings/settings.h"
#include "sounddriver/sounddriver.h"
#include "utility/clock.h"
#include "world/world.h"

namespace {

// Seconds as set by the test; every reading may also step it on, so that
// durations measured inside a function come out non-zero.
class HandClock : public ClockSource {
public:
    float Seconds() override {
        float now = seconds;
        seconds += stepPerReading;
        return now;
    }
    uint32_t Milliseconds() override { return static_cast<uint32_t>(seconds * 1000.0f); }
    float seconds = 0.0f;
    float stepPerReading = 0.0f;
};

struct FakeStream {};

class RecordingLibrary : public SoundLibrary {
public:
    explicit RecordingLibrary(std::vector<std::string>* opened_) : opened(opened_) {}
    bool Init(int, int, unsigned int) override { return true; }
    void Close() override {}
    int GetError() override { return 0; }
    SoundStream* StreamOpenFile(const char* path, int mode, int) override {
        opened->push_back(std::string(path) + (mode == SOUND_STREAM_LOOP ? " loop" : " once"));
        return reinterpret_cast<SoundStream*>(&stream);
    }
    int StreamPlay(int, SoundStream*) override { return 1; }
    // A stream that has already ended: never "playing".
    int StreamGetLengthMs(SoundStream*) override { return 1000; }
    int StreamGetTime(SoundStream*) override { return 1000; }
    bool StreamClose(SoundStream*) override { return true; }
    std::vector<std::string>* opened;
    FakeStream stream;
};

class Screens : public ::testing::Test {
protected:
    void SetUp() override {
        ResetHarness();
        g_replay = nullptr;
        g_settings = &settings;
        settings.light_update = 10;
        settings.mouse_speed_x = 2;
        settings.mouse_speed_y = 3;
        SetClockSource(&clock);
        g_gfxdriver = &driver;
        g_inputdriver = &input;
        world.timeOfDay = 7000;
        g_world = &world;
        ResetMouseModes();
        camera = new PlayerCamera(1.5f, 5000);
        ResetFrameClock();
    }
    void TearDown() override {
        ResetFrameClock();
        delete camera;
        ClearInterfaceImages();
        ResetMouseModes();
        g_world = nullptr;
        g_inputdriver = nullptr;
        g_gfxdriver = nullptr;
        g_sounddriver = nullptr;
        SetClockSource(nullptr);
        g_settings = nullptr;
    }

    // One game frame at the given time.
    void FrameAt(float seconds) {
        clock.seconds = seconds;
        GameFrame(camera);
    }

    Settings settings;
    HandClock clock;
    RecordingDriver driver;
    QueueInputDriver input;
    World world;
    PlayerCamera* camera = nullptr;
};

TEST_F(Screens, PlayerMovesThirtyFiveTimesASecondAtAHundredFrames) {
    int moves = 0;
    float last = g_frameClock.playerStep.lastUpdate;
    // Ten seconds: a movement is due when more than 1/35 s has passed, so
    // the 350th falls on the 10.0 s boundary and may wait a frame.
    for (int i = 1; i <= 1000; ++i) {
        FrameAt(0.01f * i);
        if (g_frameClock.playerStep.lastUpdate != last) {
            // Each movement is one interval long, however the frames fall.
            EXPECT_NEAR(g_frameClock.playerStep.lastUpdate - last, kPlayerUpdateInterval, 1e-4f)
                << "frame " << i;
            last = g_frameClock.playerStep.lastUpdate;
            ++moves;
        }
    }
    EXPECT_NEAR(moves, 350, 1);
}

TEST_F(Screens, FrameRateIsRecomputedAboutOnceASecondKeepingTheRemainder) {
    for (int i = 1; i <= 4; ++i) FrameAt(0.25f * i);
    EXPECT_EQ(g_frameClock.framesPerSecond, 0.0f) << "1.0 s is not more than a second";
    FrameAt(1.25f);
    EXPECT_FLOAT_EQ(g_frameClock.framesPerSecond, 5.0f / 1.25f);
    EXPECT_FLOAT_EQ(g_frameClock.rateTimeSum, 0.25f);
    EXPECT_EQ(g_frameClock.frameCount, 0);
    for (int i = 6; i <= 8; ++i) FrameAt(0.25f * i);
    EXPECT_FLOAT_EQ(g_frameClock.framesPerSecond, 4.0f) << "not yet";
    FrameAt(2.25f);
    EXPECT_FLOAT_EQ(g_frameClock.framesPerSecond, 4.0f / 1.25f);
    EXPECT_FLOAT_EQ(g_frameClock.lastFrameTime, 2.25f);
}

TEST_F(Screens, IntroMusicOnceThenTheLoopCheckedOnceASecond) {
    std::vector<std::string> opened;
    SoundDriver sound(new RecordingLibrary(&opened));
    g_sounddriver = &sound;
    SetBasePath("/game/");
    Intro();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "/game/music\\intro.mp3 once");
    EXPECT_NE(FindInterfaceImage("load1"), nullptr);
    EXPECT_EQ(FindInterfaceImage("load3")->shown, 0);
    EXPECT_EQ(FindInterfaceImage("crosshair")->shown, 1);
    // The intro music has ended at once here; the loop starts only when the
    // second is full.
    for (int i = 1; i <= 10; ++i) FrameAt(0.1f * i);
    EXPECT_EQ(opened.size(), 1u);
    FrameAt(1.2f);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], "/game/music\\loop.mp3 loop");
    FrameAt(1.3f);
    EXPECT_EQ(opened.size(), 2u) << "checked once a second, not every frame";
    SetBasePath("");
}

TEST_F(Screens, NightLightsSwitchOnTheFirstFrameAndEveryLightUpdateFrames) {
    struct Case {
        int interval;
        int frames;
        bool switched;
    };
    const Case cases[] = {{10, 1, true},  {10, 5, false}, {10, 20, true}, {1, 7, true},
                          {0, 20, false}, {0, 1, true},   {-3, 6, false}};
    float t = 0.0f;
    for (const Case& c : cases) {
        settings.light_update = c.interval;
        driver.frames = c.frames;
        world.lightsOn = 1;  // daytime: a switch turns them off
        FrameAt(t += 0.01f);
        EXPECT_EQ(world.lightsOn == 0, c.switched) << "interval " << c.interval << ", frame " << c.frames;
    }
}

TEST_F(Screens, OverlayDrawsTheWorldThenTheInterfaceAndRecordsItsTimes) {
    RegisterInterfaceImage("crosshair", "textures\\interface\\crosshair.bmp", nullptr, 315, 235, 10, 10,
                           true);
    g_world = nullptr;  // no sky or area: the frame is cleared instead
    clock.stepPerReading = 0.001f;
    settings.show_interface = 1;
    driver.ResetLog();
    Overlay(camera);
    int begin = driver.FindCall("BeginScene()");
    int clear = driver.FindCall("Clear(FF000000)", begin);
    int end = driver.FindCall("EndScene()", begin);
    ASSERT_NE(begin, -1);
    EXPECT_GT(clear, begin);
    EXPECT_GT(end, clear);
    EXPECT_GT(driver.FindCall("ShowFrame()", end), end);
    EXPECT_EQ(driver.CountCalls("SetTexture(textures\\interface\\crosshair.bmp)"), 1);
    EXPECT_GT(g_frameClock.worldRenderTime, 0.0f);
    EXPECT_GT(g_frameClock.drawTime, g_frameClock.worldRenderTime);

    settings.show_interface = 0;
    driver.ResetLog();
    Overlay(camera);
    EXPECT_EQ(driver.CountCalls("SetTexture(textures\\interface\\crosshair.bmp)"), 0) << "interface off";
    EXPECT_EQ(driver.CountCalls("ShowFrame()"), 1);
}

TEST_F(Screens, WithTheInterfaceOffTheConversationIsStillDrawnButNoPointer) {
    RegisterInterfaceImage("cursor", "textures\\interface\\pointer01.bmp", nullptr, 315, 235, 10, 10, true);
    Font font("no_such_font.ini");
    ConversationView* view = new ConversationView(&font, 50, 50);
    view->AddLine("white", "Halt!", 0);
    g_frameClock.conversationView = view;
    world.mouseMode = MOUSE_POINTER;
    settings.show_interface = 0;
    driver.ResetLog();
    Overlay(camera);
    int world_clear = driver.FindCall("BeginScene()");
    int box = driver.FindCall(std::string("SetTexture(") + kTextBoxBackground + ")", world_clear);
    EXPECT_NE(box, -1) << "the text box is drawn";
    EXPECT_EQ(driver.CountCalls("SetTexture(textures\\interface\\pointer01.bmp)"), 0);
    // Drawn through the conversation camera, not the player's.
    PlayerCamera* talk = ConversationCamera();
    talk->position = VECTOR(10.0f, 20.0f, 30.0f);
    talk->LookAt(talk->position, VECTOR(10.0f, 20.0f, 130.0f), 0.0f);
    driver.ResetLog();
    Overlay(camera);
    EXPECT_EQ(std::memcmp(&driver.view, &talk->view, sizeof(MATRIX)), 0);

    settings.show_interface = 1;
    world.mouseMode = MOUSE_LOOK;  // walking: the view is not drawn, the player's camera is used
    driver.ResetLog();
    Overlay(camera);
    EXPECT_EQ(driver.FindCall(std::string("SetTexture(") + kTextBoxBackground + ")"), -1);
    EXPECT_EQ(driver.CountCalls("SetTexture(textures\\interface\\pointer01.bmp)"), 1);
    EXPECT_EQ(std::memcmp(&driver.view, &camera->view, sizeof(MATRIX)), 0);
}

TEST_F(Screens, PointerModeWithoutAConversationGoesBackToWalking) {
    RegisterInterfaceImage("cursor", "textures\\interface\\pointer01.bmp", nullptr, 315, 235, 10, 10, false);
    RegisterInterfaceImage("crosshair", "textures\\interface\\crosshair.bmp", nullptr, 315, 235, 10, 10,
                           false);
    SetMouseMode(MOUSE_POINTER);
    ASSERT_EQ(world.mouseMode, MOUSE_POINTER);
    input.PushMouseMotion(100, 50, 0);  // 0.4 and 0.6 units per count
    FrameAt(0.1f);
    EXPECT_EQ(world.mouseMode, MOUSE_LOOK) << "no active conversation: no view, walking again";
    EXPECT_EQ(FindInterfaceImage("cursor")->shown, 0);
    EXPECT_EQ(FindInterfaceImage("crosshair")->shown, 1);
    EXPECT_EQ(FindInterfaceImage("cursor")->x, 40);
    EXPECT_EQ(FindInterfaceImage("cursor")->y, 30);
    EXPECT_EQ(g_frameClock.conversationView, nullptr);
}

// The credits: the Esc that asked to quit does not end them; a new Esc, a
// left click or 45 seconds does.
class Credits_ : public Screens {
protected:
    static void Pump() {
        pumps += 1;
        current->clock.seconds += 1.0f;
        if (pumps == escapeAt) current->input.PushKey(DIK_ESCAPE, true);
        if (pumps == clickAt) current->input.PushMouseButton(0, true);
    }
    int Run() {
        current = this;
        pumps = 0;
        driver.ResetLog();
        input.PushKey(DIK_ESCAPE, true);  // the exit key, still held
        Credits(&Pump);
        return pumps;
    }
    static Credits_* current;
    static int pumps;
    static int escapeAt;
    static int clickAt;
};
Credits_* Credits_::current = nullptr;
int Credits_::pumps = 0;
int Credits_::escapeAt = 0;
int Credits_::clickAt = 0;

TEST_F(Credits_, DrawnOnceOnBlackThenWaitForEscClickOrTime) {
    escapeAt = 5;
    clickAt = 0;
    EXPECT_EQ(Run(), 5);
    EXPECT_EQ(driver.calls.front(), "EndScene()") << "an open scene is closed first";
    EXPECT_EQ(driver.CountCalls("BeginScene()"), 1);
    EXPECT_NE(driver.FindCall("Clear(FF000000)"), -1);
    EXPECT_EQ(driver.CountCalls("ShowFrame()"), 1);

    escapeAt = 0;
    clickAt = 3;
    input.PushKey(DIK_ESCAPE, false);
    EXPECT_EQ(Run(), 3);

    escapeAt = 0;
    clickAt = 0;
    input.PushKey(DIK_ESCAPE, false);
    // The first pump comes before t0 is taken; then 45 one-second pumps
    // reach 45.0 s, which is not more than 45.
    EXPECT_EQ(Run(), 47);
}

TEST_F(Credits_, UnderAReplayWithNothingLeftTheyEndAtOnce) {
    Replay replay;
    std::string error;
    ASSERT_TRUE(replay.Parse("answer yes\n", &error)) << error;
    g_replay = &replay;
    escapeAt = 0;
    clickAt = 0;
    EXPECT_EQ(Run(), 2);
    g_replay = nullptr;
}

}  // namespace
