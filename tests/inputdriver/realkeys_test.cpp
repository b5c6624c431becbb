// Real key presses end to end: under an X server (Xvfb when no display is
// set) xdotool types into an SDL window, and the SDL driver's buffered reads
// must hand the engine the DirectInput codes of those keys. The test runs
// itself again under X as a child; the child does the typing and reading.
#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/run_program.h"
#include "input/dikeys.h"
#include "input/input_helpers.h"
#include "inputdriver/sdl/sdlinputdriver.h"

using input_test::LogCapture;

namespace {

const char* const kChildFlag = "ZINPUT_X_CHILD";

using test_common::HaveDisplay;

bool Have(const char* tool) { return test_common::HaveProgram(tool); }

std::vector<KeyEvent> g_events;
void Record(KeyEvent* e) { g_events.push_back(*e); }

// Pumps SDL, handing every event to the driver, until an event of `type`
// has come (X delivers a client's synthetic input in order, so everything
// sent before it has come too); false after 10 s.
bool PumpUntil(SdlInputDriver& driver, Uint32 type) {
    Uint32 end = SDL_GetTicks() + 10000;
    while (!SDL_TICKS_PASSED(SDL_GetTicks(), end)) {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            driver.HandleEvent(e);
            if (e.type == type) return true;
        }
        SDL_Delay(10);
    }
    return false;
}

TEST(SdlRealInput, TypedKeysArriveAsDirectInputCodes) {
    if (!std::getenv(kChildFlag)) {
        if (!Have("xdotool") || (!HaveDisplay() && !Have("xvfb-run")))
            GTEST_SKIP() << "needs xdotool and an X server (or xvfb-run)";
        char self[4096];
        ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        ASSERT_GT(n, 0);
        self[n] = '\0';
        std::string command = std::string(kChildFlag) + "=1 timeout 60 ";
        if (!HaveDisplay())
            command +=
                "xvfb-run -a -n " + std::to_string(900 + getpid() % 3000) + " -s '-screen 0 800x600x24' ";
        command +=
            std::string("'") + self + "' --gtest_filter=SdlRealInput.TypedKeysArriveAsDirectInputCodes";
        command += " > " + ::testing::TempDir() + "zinput_x_" + std::to_string(getpid()) + ".txt 2>&1";
        int status = std::system(command.c_str());
        std::string out =
            input_test::ReadFile(::testing::TempDir() + "zinput_x_" + std::to_string(getpid()) + ".txt");
        EXPECT_EQ(status, 0) << out;
        EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
        return;
    }

    // The child, under X.
    LogCapture log;
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    std::string title = "zinput-" + std::to_string(getpid());
    SDL_Window* window = SDL_CreateWindow(title.c_str(), 0, 0, 320, 240, SDL_WINDOW_SHOWN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    std::string focus = "xdotool search --sync --name '" + title + "' windowfocus --sync >/dev/null 2>&1";
    ASSERT_EQ(std::system(focus.c_str()), 0);
    ASSERT_EQ(std::system("xdotool mousemove 160 120"), 0);
    SDL_Event e;
    for (int i = 0; i < 200 && !(SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS); ++i) {
        while (SDL_PollEvent(&e)) {
        }
        SDL_Delay(10);
    }
    ASSERT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS);

    bool ok = false;
    SdlInputDriver driver(&ok, window, nullptr);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(log.Has("Couldn't aquire")) << log.Text();
    KeyCallback table[INPUT_KEY_COUNT] = {};
    for (int k : {DIK_UP, DIK_A, DIK_ADD, DIK_F12, DIK_RCONTROL}) table[k] = Record;
    driver.SetKeyBindings(table);

    ASSERT_EQ(std::system("xdotool key --delay 20 Up a KP_Add F12 Control_R"), 0);
    ASSERT_EQ(std::system("xdotool mousedown 1"), 0);
    ASSERT_TRUE(PumpUntil(driver, SDL_MOUSEBUTTONDOWN));
    int context = 0;
    ASSERT_TRUE(driver.Update(&context));
    std::vector<std::pair<int, int>> got;
    for (const KeyEvent& k : g_events) got.emplace_back(k.code, k.pressed);
    std::vector<std::pair<int, int>> want = {{DIK_UP, 1},       {DIK_UP, 0},      {DIK_A, 1},   {DIK_A, 0},
                                             {DIK_ADD, 1},      {DIK_ADD, 0},     {DIK_F12, 1}, {DIK_F12, 0},
                                             {DIK_RCONTROL, 1}, {DIK_RCONTROL, 0}};
    EXPECT_EQ(got, want);
    EXPECT_TRUE(driver.IsMouseButtonDown(0));
    EXPECT_TRUE(driver.WasMouseButtonPressed(0));
    ASSERT_EQ(std::system("xdotool mouseup 1"), 0);
    ASSERT_TRUE(PumpUntil(driver, SDL_MOUSEBUTTONUP));
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    EXPECT_FALSE(driver.IsMouseButtonDown(0));
    EXPECT_FALSE(driver.WasMouseButtonPressed(0));

    // Focus elsewhere: the devices are given up and nothing is read.
    driver.UnacquireKeyboard();
    driver.UnacquireMouse();
    EXPECT_FALSE(SDL_GetRelativeMouseMode());
    ASSERT_EQ(std::system("xdotool key Up"), 0);
    ASSERT_TRUE(PumpUntil(driver, SDL_KEYUP));
    EXPECT_FALSE(driver.UpdateKeyboard(&context));
    driver.AcquireKeyboard();
    driver.AcquireMouse();
    EXPECT_TRUE(driver.UpdateKeyboard(&context));
    EXPECT_EQ(g_events.size(), want.size());

    SDL_DestroyWindow(window);
    SDL_Quit();
}

}  // namespace
