// The window procedure's table, driven with made-up SDL events: log lines,
// the engine-active flag, the driver calls, the exit sequence and the
// accelerators, without a window or a display.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/recording_driver.h"
#include "os/harness.h"
#include "os/replay.h"
#include "os/sdl/overlay.h"
#include "os/sdl/shell.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace {

const Uint32 kWindowId = 7;

class WindowProc : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
        log_path = ::testing::TempDir() + "windowproc_" + std::to_string(getpid()) + ".txt";
        g_log = new Log(log_path.c_str());
        settings = new Settings();
        g_settings = settings;
        driver.width = 1024;
        driver.height = 768;
        previous_driver = g_gfxdriver;
        g_gfxdriver = &driver;
        ShellResetForTest(kWindowId);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        Lines();  // skip the banner
    }
    void TearDown() override {
        g_replay = nullptr;
        g_gfxdriver = previous_driver;
        g_settings = nullptr;
        delete settings;
        delete g_log;
        g_log = nullptr;
        std::remove(log_path.c_str());
        ResetHarness();
        SDL_Quit();
    }

    // Log lines written since the last call.
    std::vector<std::string> Lines() {
        std::ifstream in(log_path);
        std::vector<std::string> all;
        std::string line;
        while (std::getline(in, line)) all.push_back(line);
        std::vector<std::string> fresh(all.begin() + static_cast<long>(std::min(seen, all.size())),
                                       all.end());
        seen = all.size();
        return fresh;
    }

    static SDL_Event Window(Uint8 what, int a = 0, int b = 0) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = kWindowId;
        e.window.event = what;
        e.window.data1 = a;
        e.window.data2 = b;
        return e;
    }
    static SDL_Event Key(SDL_Keycode key, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_KEYDOWN;
        e.key.windowID = kWindowId;
        e.key.state = SDL_PRESSED;
        e.key.repeat = repeat;
        e.key.keysym.sym = key;
        e.key.keysym.mod = mod;
        return e;
    }
    bool QuitPosted() {
        SDL_PumpEvents();
        SDL_Event e;
        return SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, ShellQuitEventType(), ShellQuitEventType()) == 1;
    }
    void UseReplay(const std::string& text) {
        std::string error;
        ASSERT_TRUE(replay.Parse(text, &error)) << error;
        g_replay = &replay;
    }

    std::string log_path;
    size_t seen = 0;
    Settings* settings = nullptr;
    RecordingDriver driver;
    GfxDriver* previous_driver = nullptr;
    Replay replay;
};

using Strings = std::vector<std::string>;

TEST_F(WindowProc, FocusStopsAndStartsTheEngine) {
    ShellWindowEvent(Window(SDL_WINDOWEVENT_FOCUS_LOST));
    EXPECT_EQ(settings->active, 0);
    EXPECT_EQ(Lines(), Strings{"loose focus - should unaquire"});
    ShellWindowEvent(Window(SDL_WINDOWEVENT_FOCUS_GAINED));
    EXPECT_EQ(settings->active, 1);
    EXPECT_EQ(Lines(), Strings{"Window comes into focus. (keyboard)"});
}

TEST_F(WindowProc, RestoreReactivatesOnlyAtTheDriversSize) {
    ShellWindowEvent(Window(SDL_WINDOWEVENT_MINIMIZED));
    EXPECT_EQ(settings->active, 0);
    ShellWindowEvent(Window(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600));
    EXPECT_EQ(settings->active, 0) << "a restore to another size leaves the engine inactive";
    ShellWindowEvent(Window(SDL_WINDOWEVENT_SIZE_CHANGED, 1024, 768));
    EXPECT_EQ(settings->active, 1);
    EXPECT_EQ(Lines(), (Strings{"MESSAGE - size - hide engine", "MESSAGE - size - restored (800, 581)",
                                "MESSAGE - size - restored (1024, 749)"}));
    ShellWindowEvent(Window(SDL_WINDOWEVENT_MAXIMIZED));
    EXPECT_EQ(Lines(), Strings{"MESSAGE - size - unknown"});
}

TEST_F(WindowProc, MovePaintAndOtherWindows) {
    ShellWindowEvent(Window(SDL_WINDOWEVENT_MOVED, 10, -20));
    ShellWindowEvent(Window(SDL_WINDOWEVENT_EXPOSED));
    SDL_Event other = Window(SDL_WINDOWEVENT_FOCUS_LOST);
    other.window.windowID = kWindowId + 1;
    ShellWindowEvent(other);
    EXPECT_EQ(Lines(), Strings{"MESSAGE - move"});
    EXPECT_EQ(driver.calls, (Strings{"Move(10,-20)", "Paint()"}));
    EXPECT_EQ(settings->active, 1) << "events of other windows are not ours";
}

TEST_F(WindowProc, CloseDestroysShutsDownAndPostsQuit) {
    ShellWindowEvent(Window(SDL_WINDOWEVENT_CLOSE));
    EXPECT_EQ(Lines(), (Strings{"MESSAGE - WM close", "MESSAGE - destroy"}));
    EXPECT_EQ(settings->active, 0);
    EXPECT_EQ(driver.calls, Strings{"Shutdown()"});
    EXPECT_TRUE(ShellWindowDestroyed());
    EXPECT_TRUE(QuitPosted());
    // A destroyed window hears nothing more.
    ShellWindowEvent(Window(SDL_WINDOWEVENT_FOCUS_GAINED));
    ShellWindowEvent(Window(SDL_WINDOWEVENT_CLOSE));
    EXPECT_EQ(settings->active, 0);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(WindowProc, QuitFromOutsideClosesLikeTheWindow) {
    SDL_Event quit;
    SDL_zero(quit);
    quit.type = SDL_QUIT;
    ShellWindowEvent(quit);
    EXPECT_EQ(Lines(), (Strings{"MESSAGE - WM close", "MESSAGE - destroy"}));
    EXPECT_TRUE(ShellWindowDestroyed());
}

TEST_F(WindowProc, ExitAnsweredNoChangesNothing) {
    UseReplay("answer no\n");
    ShellCommand(MENU_EXIT);
    EXPECT_EQ(Lines(), Strings{"MESSAGE - key/menu exit"});
    EXPECT_EQ(driver.calls, (Strings{"Pause(1)", "Pause(0)"}));
    EXPECT_FALSE(ShellWindowDestroyed());
    EXPECT_EQ(settings->active, 1);
    EXPECT_FALSE(QuitPosted());
}

TEST_F(WindowProc, ExitAnsweredYesInEditorModeCloses) {
    settings->editor = 1;
    UseReplay("answer yes\n");
    ShellCommand(MENU_EXIT);
    EXPECT_EQ(Lines(), (Strings{"MESSAGE - key/menu exit", "MESSAGE - WM close", "MESSAGE - destroy"}))
        << "no credits in editor mode";
    EXPECT_EQ(driver.calls, (Strings{"Pause(1)", "Pause(0)", "Shutdown()"}));
    EXPECT_TRUE(QuitPosted());
}

TEST_F(WindowProc, WithoutConfirmationExitAsksNothing) {
    settings->confirmQuit = 0;
    settings->editor = 1;
    UseReplay("answer no\n");
    ShellCommand(MENU_EXIT);
    EXPECT_TRUE(ShellWindowDestroyed());
    EXPECT_EQ(replay.AnswersLeft(), 1u);
    EXPECT_EQ(driver.calls, Strings{"Shutdown()"});
}

TEST_F(WindowProc, EscapeIsTheOnlyExitKey) {
    UseReplay("answer no\nanswer no\n");
    ShellInputEvent(Key(SDLK_ESCAPE, KMOD_LCTRL));
    ShellInputEvent(Key(SDLK_ESCAPE, KMOD_NONE, 1));  // auto-repeat
    ShellInputEvent(Key(SDLK_F2));
    ShellInputEvent(Key(SDLK_RETURN, KMOD_LALT));
    ShellInputEvent(Key(SDLK_o, KMOD_LCTRL));  // game mode: nothing
    ShellInputEvent(Key(SDLK_s, KMOD_RCTRL));
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(replay.AnswersLeft(), 2u);
    ShellInputEvent(Key(SDLK_ESCAPE, KMOD_NUM));
    EXPECT_EQ(Lines(), Strings{"MESSAGE - key/menu exit"});
    EXPECT_EQ(replay.AnswersLeft(), 1u);
}

TEST_F(WindowProc, RightClickAndMenuKeyAskForTheContextMenu) {
    SDL_Event up;
    SDL_zero(up);
    up.type = SDL_MOUSEBUTTONUP;
    up.button.button = SDL_BUTTON_RIGHT;
    ShellInputEvent(up);
    up.button.button = SDL_BUTTON_LEFT;
    ShellInputEvent(up);
    ShellInputEvent(Key(SDLK_F10, KMOD_LSHIFT));
    EXPECT_EQ(Lines(), (Strings{"MESSAGE - context menu", "MESSAGE - context menu"}));
}

TEST_F(WindowProc, InputEventsReachTheSink) {
    static std::vector<Uint32> seen_types;
    seen_types.clear();
    SetShellInputSink([](const SDL_Event& e) { seen_types.push_back(e.type); });
    SDL_Event motion;
    SDL_zero(motion);
    motion.type = SDL_MOUSEMOTION;
    ShellInputEvent(motion);
    ShellInputEvent(Key(SDLK_a));
    SetShellInputSink(nullptr);
    ShellInputEvent(Key(SDLK_b));
    EXPECT_EQ(seen_types, (std::vector<Uint32>{SDL_MOUSEMOTION, SDL_KEYDOWN}));
}

TEST_F(WindowProc, PumpingForTheDevicesHandlesNoAccelerator) {
    static int keys = 0;
    keys = 0;
    SetShellInputSink([](const SDL_Event& e) { keys += e.type == SDL_KEYDOWN; });
    SDL_Event esc = Key(SDLK_ESCAPE);
    SDL_PushEvent(&esc);
    SDL_Event focus = Window(SDL_WINDOWEVENT_FOCUS_LOST);
    SDL_PushEvent(&focus);
    ShellPumpInput();
    SetShellInputSink(nullptr);
    EXPECT_EQ(keys, 1);
    EXPECT_TRUE(Lines().empty()) << "no exit sequence, no window message";
    SDL_Event left;
    EXPECT_EQ(SDL_PeepEvents(&left, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 1);
    EXPECT_EQ(left.type, static_cast<Uint32>(SDL_WINDOWEVENT)) << "window events wait for the main loop";
}

TEST_F(WindowProc, ReplayKeysAreWindowKeysAtTheirFrame) {
    HarnessOptions o;
    StartHarness(o);
    UseReplay(
        "0 key down 29\n0 key down 1\n0 key up 1\n0 key up 29\n"
        "2 key down 1\n"
        "answer no\n");
    ShellReplayKeys();
    EXPECT_TRUE(Lines().empty()) << "Ctrl+Esc is not the exit key";
    HarnessEndFrame();
    ShellReplayKeys();
    EXPECT_TRUE(Lines().empty()) << "the Esc belongs to frame 2";
    HarnessEndFrame();
    ShellReplayKeys();
    EXPECT_EQ(Lines(), Strings{"MESSAGE - key/menu exit"});
    EXPECT_EQ(replay.AnswersLeft(), 0u);
    ReplayEvent e;
    int device_events = 0;
    while (replay.NextInputEvent(HarnessFrame(), &e)) ++device_events;
    EXPECT_EQ(device_events, 5) << "the input driver still gets every key";
}

int Count(const Strings& lines, const std::string& text) {
    int n = 0;
    for (const std::string& l : lines) n += l == text;
    return n;
}

TEST_F(WindowProc, OnePassTakesOneWindowEventThenRunsTheFrame) {
    SDL_Event lost = Window(SDL_WINDOWEVENT_FOCUS_LOST);
    SDL_Event gained = Window(SDL_WINDOWEVENT_FOCUS_GAINED);
    SDL_PushEvent(&lost);
    SDL_PushEvent(&gained);
    EXPECT_EQ(ShellPass(), -1);
    EXPECT_EQ(driver.CountCalls("BeginScene"), 0) << "focus lost: the same pass renders nothing";
    EXPECT_EQ(settings->active, 0);
    EXPECT_EQ(ShellPass(), -1);
    EXPECT_EQ(settings->active, 1);
    EXPECT_EQ(driver.CountCalls("BeginScene"), 1);
    EXPECT_EQ(ShellPass(), -1);
    EXPECT_EQ(driver.CountCalls("BeginScene"), 2) << "frames run back to back";
}

TEST_F(WindowProc, TheQuitEventEndsTheLoopWithoutAFrame) {
    SDL_Event quit;
    SDL_zero(quit);
    quit.type = ShellQuitEventType();
    SDL_PushEvent(&quit);
    EXPECT_EQ(ShellPass(), 1);
    EXPECT_EQ(driver.CountCalls("BeginScene"), 0);
}

TEST_F(WindowProc, EditorFlagSwitchesModeOnceAtTheNextPass) {
    const std::string failed = "ERROR - could not initialize input devices";
    ShellModeSwitch();
    EXPECT_EQ(Count(Lines(), failed), 1) << "without an input driver no key table is installed";
    ShellPass();
    ShellPass();
    EXPECT_EQ(Count(Lines(), failed), 0);
    settings->editor = 1;
    ShellPass();
    EXPECT_EQ(Count(Lines(), failed), 1);
    ShellPass();
    EXPECT_EQ(Count(Lines(), failed), 0);
    settings->editor = 0;
    ShellPass();
    EXPECT_EQ(Count(Lines(), failed), 1);
    EXPECT_EQ(driver.CountCalls("BeginScene"), 5);
}

TEST_F(WindowProc, FrameLimitClosesTheWindow) {
    HarnessOptions o;
    o.frames = 2;
    StartHarness(o);
    EXPECT_EQ(ShellPass(), -1);
    EXPECT_FALSE(ShellWindowDestroyed());
    EXPECT_EQ(ShellPass(), -1);
    EXPECT_TRUE(ShellWindowDestroyed());
    Strings lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "MESSAGE - WM close");
    EXPECT_EQ(lines.back(), "MESSAGE - destroy");
    EXPECT_EQ(ShellPass(), 1) << "the quit event is the next one taken";
    EXPECT_EQ(driver.CountCalls("BeginScene"), 2);
}

}  // namespace
