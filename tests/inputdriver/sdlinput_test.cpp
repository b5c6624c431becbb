// The SDL input driver: SDL scancodes onto DirectInput key codes for every
// group of keys, SDL's events turned into device records, focus-bound
// acquiring, and a replay fed in place of the devices.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "os/harness.h"
#include "os/replay.h"
#include "input/dikeys.h"
#include "input/input_helpers.h"
#include "inputdriver/sdl/sdlinputdriver.h"

using input_test::LogCapture;

namespace {

TEST(SdlKeyMap, EveryGroupOfKeys) {
    struct {
        SDL_Scancode scancode;
        int dik;
    } const cases[] = {
        // Letters, digits, punctuation of the main block.
        {SDL_SCANCODE_A, DIK_A},
        {SDL_SCANCODE_M, DIK_M},
        {SDL_SCANCODE_Q, DIK_Q},
        {SDL_SCANCODE_Z, DIK_Z},
        {SDL_SCANCODE_1, DIK_1},
        {SDL_SCANCODE_9, DIK_9},
        {SDL_SCANCODE_0, DIK_0},
        {SDL_SCANCODE_MINUS, DIK_MINUS},
        {SDL_SCANCODE_EQUALS, DIK_EQUALS},
        {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
        {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
        {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
        {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
        {SDL_SCANCODE_GRAVE, DIK_GRAVE},
        {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
        {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH},
        {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
        {SDL_SCANCODE_COMMA, DIK_COMMA},
        {SDL_SCANCODE_PERIOD, DIK_PERIOD},
        {SDL_SCANCODE_SLASH, DIK_SLASH},
        // Control keys and modifiers.
        {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
        {SDL_SCANCODE_RETURN, DIK_RETURN},
        {SDL_SCANCODE_BACKSPACE, DIK_BACK},
        {SDL_SCANCODE_TAB, DIK_TAB},
        {SDL_SCANCODE_SPACE, DIK_SPACE},
        {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
        {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
        {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
        {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
        {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
        {SDL_SCANCODE_LALT, DIK_LMENU},
        {SDL_SCANCODE_RALT, DIK_RMENU},
        {SDL_SCANCODE_LGUI, DIK_LWIN},
        {SDL_SCANCODE_RGUI, DIK_RWIN},
        {SDL_SCANCODE_APPLICATION, DIK_APPS},
        // Function keys.
        {SDL_SCANCODE_F1, DIK_F1},
        {SDL_SCANCODE_F5, DIK_F5},
        {SDL_SCANCODE_F10, DIK_F10},
        {SDL_SCANCODE_F11, DIK_F11},
        {SDL_SCANCODE_F12, DIK_F12},
        {SDL_SCANCODE_F13, DIK_F13},
        {SDL_SCANCODE_F15, DIK_F15},
        // System keys.
        {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
        {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
        {SDL_SCANCODE_PAUSE, DIK_PAUSE},
        {SDL_SCANCODE_POWER, DIK_POWER},
        {SDL_SCANCODE_SLEEP, DIK_SLEEP},
        // Navigation and arrows (the extended codes).
        {SDL_SCANCODE_INSERT, DIK_INSERT},
        {SDL_SCANCODE_DELETE, DIK_DELETE},
        {SDL_SCANCODE_HOME, DIK_HOME},
        {SDL_SCANCODE_END, DIK_END},
        {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
        {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
        {SDL_SCANCODE_UP, DIK_UP},
        {SDL_SCANCODE_DOWN, DIK_DOWN},
        {SDL_SCANCODE_LEFT, DIK_LEFT},
        {SDL_SCANCODE_RIGHT, DIK_RIGHT},
        // Keypad.
        {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
        {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
        {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
        {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
        {SDL_SCANCODE_KP_PLUS, DIK_ADD},
        {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
        {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
        {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
        {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
        {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
        {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
        {SDL_SCANCODE_KP_COMMA, DIK_ABNT_C2},
        // Japanese and Brazilian keys.
        {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1},
        {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA},
        {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN},
        {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT},
        {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
        // Media and browser keys.
        {SDL_SCANCODE_MUTE, DIK_MUTE},
        {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP},
        {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
        {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE},
        {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK},
        {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK},
        {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP},
        {SDL_SCANCODE_MAIL, DIK_MAIL},
        {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR},
        {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER},
        {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH},
        {SDL_SCANCODE_AC_BACK, DIK_WEBBACK},
        {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DikFromScancode(c.scancode), c.dik) << SDL_GetScancodeName(c.scancode);
}

TEST(SdlKeyMap, KeysWithoutACodeAndOutOfRange) {
    EXPECT_EQ(DikFromScancode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(DikFromScancode(SDL_SCANCODE_F20), 0);
    EXPECT_EQ(DikFromScancode(SDL_SCANCODE_UNDO), 0);
    EXPECT_EQ(DikFromScancode(-3), 0);
    EXPECT_EQ(DikFromScancode(SDL_NUM_SCANCODES), 0);
}

TEST(SdlKeyMap, MappedCodesAreNamedAndEveryKeyTheEngineBindsIsReachable) {
    // Every code a scancode gives is a real DirectInput key.
    bool reached[256] = {};
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
        int dik = DikFromScancode(static_cast<SDL_Scancode>(s));
        if (!dik) continue;
        EXPECT_NE(DikName(dik), nullptr) << s;
        reached[dik] = true;
    }
    // The letters, digits and F-keys are all reachable, and so is every key
    // of the game and editor tables.
    for (int dik = DIK_Q; dik <= DIK_P; ++dik) EXPECT_TRUE(reached[dik]) << dik;
    for (int dik = DIK_1; dik <= DIK_0; ++dik) EXPECT_TRUE(reached[dik]) << dik;
    for (int dik = DIK_F1; dik <= DIK_F10; ++dik) EXPECT_TRUE(reached[dik]) << dik;
    for (int dik : {DIK_UP, DIK_HOME, DIK_DOWN, DIK_END, DIK_LEFT, DIK_DELETE, DIK_RIGHT, DIK_NEXT, DIK_PRIOR,
                    DIK_INSERT, DIK_ADD, DIK_SUBTRACT, DIK_F11, DIK_F12, DIK_LSHIFT, DIK_LCONTROL, DIK_SPACE})
        EXPECT_TRUE(reached[dik]) << dik;
    // Every named key but the PC-98 ones and Wake, which no USB keyboard sends.
    int count = 0;
    for (bool r : reached) count += r;
    EXPECT_EQ(count, 136);
    for (int dik :
         {DIK_AT, DIK_COLON, DIK_UNDERLINE, DIK_KANJI, DIK_AX, DIK_UNLABELED, DIK_NUMPADCOMMA, DIK_WAKE})
        EXPECT_FALSE(reached[dik]) << dik;
}

TEST(SdlMouseButtons, Map) {
    EXPECT_EQ(MouseButtonFromSdl(SDL_BUTTON_LEFT), 0);
    EXPECT_EQ(MouseButtonFromSdl(SDL_BUTTON_RIGHT), 1);
    EXPECT_EQ(MouseButtonFromSdl(SDL_BUTTON_MIDDLE), 2);
    EXPECT_EQ(MouseButtonFromSdl(SDL_BUTTON_X1), 3);
    EXPECT_EQ(MouseButtonFromSdl(SDL_BUTTON_X2), -1);
    EXPECT_EQ(MouseButtonFromSdl(0), -1);
}

// --- events through a window of SDL's dummy video driver --------------------

// The dummy driver's window never has the focus; this driver's window
// has it whenever the test says so.
class FocusedSdlDriver : public SdlInputDriver {
public:
    FocusedSdlDriver(bool* ok, SDL_Window* window) : SdlInputDriver(ok, window, nullptr) {
        AcquireKeyboard();
        AcquireMouse();
    }
    bool focus = true;

protected:
    bool HasFocus() const override { return focus; }
};

class SdlEvents : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
    void SetUp() override {
        window = SDL_CreateWindow("input", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
    }
    void TearDown() override { SDL_DestroyWindow(window); }

    static SDL_Event Key(Uint32 type, SDL_Scancode scancode, Uint8 repeat = 0) {
        SDL_Event e;
        SDL_zero(e);
        e.type = type;
        e.key.keysym.scancode = scancode;
        e.key.repeat = repeat;
        return e;
    }
    static SDL_Event Motion(int dx, int dy) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_MOUSEMOTION;
        e.motion.xrel = dx;
        e.motion.yrel = dy;
        return e;
    }
    static SDL_Event Wheel(int y, bool flipped) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_MOUSEWHEEL;
        e.wheel.y = y;
        e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        return e;
    }
    static SDL_Event Button(Uint32 type, Uint8 button) {
        SDL_Event e;
        SDL_zero(e);
        e.type = type;
        e.button.button = button;
        return e;
    }

    SDL_Window* window = nullptr;
};

TEST_F(SdlEvents, WithoutFocusNothingIsAcquired) {
    LogCapture log;
    bool ok = false;
    SdlInputDriver driver(&ok, window, nullptr);
    EXPECT_TRUE(ok);  // a driver without focus still exists, as DirectInput's does
    EXPECT_TRUE(
        log.Has("Couldn't aquire keyboard (Another application has a higher priority level, "
                "preventing this call from succeeding)\n"));
    EXPECT_TRUE(
        log.Has("Couldn't aquire mouse (Another application has a higher priority level, "
                "preventing this call from succeeding).\n"));
    driver.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_W));
    EXPECT_FALSE(driver.UpdateKeyboard(nullptr));
    driver.AcquireKeyboard();
    EXPECT_TRUE(log.Has("Error - could not reaquire kbd ("));
}

TEST_F(SdlEvents, KeysMotionWheelAndButtonsBecomeDeviceRecords) {
    LogCapture log;
    bool ok = false;
    FocusedSdlDriver driver(&ok, window);
    ASSERT_TRUE(ok);
    driver.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_UP));
    driver.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_UP, 1));  // auto-repeat: not a device event
    driver.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_F20));    // no DirectInput code
    driver.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER));
    driver.HandleEvent(Key(SDL_KEYUP, SDL_SCANCODE_KP_ENTER));
    EXPECT_EQ(driver.Keyboard().Pending(), 3);
    ASSERT_TRUE(driver.UpdateKeyboard(nullptr));
    EXPECT_TRUE(driver.IsKeyDown(DIK_UP));
    EXPECT_FALSE(driver.IsKeyDown(DIK_NUMPADENTER));

    driver.HandleEvent(Motion(5, -3));
    driver.HandleEvent(Wheel(1, false));
    driver.HandleEvent(Wheel(2, true));
    driver.HandleEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT));
    driver.HandleEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X2));  // DirectInput 7 has four buttons
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    double x, y, z;
    driver.GetMousePosition(&x, &y, &z);
    EXPECT_EQ(x, 5.0);
    EXPECT_EQ(y, -3.0);
    EXPECT_EQ(z, 120.0 - 240.0);
    EXPECT_TRUE(driver.IsMouseButtonDown(1));
    EXPECT_TRUE(driver.WasMouseButtonPressed(1));

    // Unacquired (focus lost): SDL's events are dropped.
    driver.UnacquireKeyboard();
    driver.HandleEvent(Key(SDL_KEYUP, SDL_SCANCODE_UP));
    EXPECT_EQ(driver.Keyboard().Pending(), 0);
    EXPECT_FALSE(log.Has("WARNING"));
}

int g_releases = 0;
void CountRelease(KeyEvent* e) { g_releases += e->pressed ? 0 : 1; }

TEST_F(SdlEvents, KeysLetGoOfWhileAwayAreReleasedOnReturn) {
    LogCapture log;
    bool ok = false;
    FocusedSdlDriver driver(&ok, window);
    KeyCallback table[INPUT_KEY_COUNT] = {};
    table[DIK_UP] = CountRelease;
    driver.SetKeyBindings(table);
    int context = 0;
    driver.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_UP));
    ASSERT_TRUE(driver.UpdateKeyboard(&context));
    driver.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_W));  // down, not read yet
    driver.HandleEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    ASSERT_TRUE(driver.IsKeyDown(DIK_UP));

    // The window loses the focus; the keys go up elsewhere.
    driver.focus = false;
    driver.UnacquireKeyboard();
    driver.UnacquireMouse();
    EXPECT_FALSE(driver.UpdateKeyboard(&context));
    driver.AcquireKeyboard();
    EXPECT_TRUE(log.Has("Error - could not reaquire kbd ("));
    driver.focus = true;
    driver.AcquireKeyboard();
    driver.AcquireMouse();
    ASSERT_TRUE(driver.UpdateKeyboard(&context));
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    EXPECT_FALSE(driver.IsKeyDown(DIK_UP));
    EXPECT_FALSE(driver.IsKeyDown(DIK_W));
    EXPECT_FALSE(driver.IsMouseButtonDown(0));
    EXPECT_EQ(g_releases, 1);  // the key's callback saw its release
    // Acquiring while acquired adds nothing.
    driver.AcquireKeyboard();
    EXPECT_EQ(driver.Keyboard().Pending(), 0);
}

// --- replay -----------------------------------------------------------------

TEST(SdlReplay, EventsAreFedWhenTheirFrameIsRead) {
    LogCapture log;
    ResetHarness();
    Replay replay;
    std::string error;
    ASSERT_TRUE(
        replay.Parse("0 key down 30\n"
                     "0 mouse move 5 -3 120\n"
                     "2 mouse button 0 down\n"
                     "2 key up 30\n",
                     &error))
        << error;
    bool ok = false;
    ReplayInputFeed feed(&replay);
    SdlInputDriver driver(&ok, nullptr, &feed);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(driver.Update(nullptr));  // frame 0
    EXPECT_TRUE(driver.IsKeyDown(DIK_A));
    double x, y, z;
    driver.GetMousePosition(&x, &y, &z);
    EXPECT_EQ(x, 5.0);
    EXPECT_EQ(y, -3.0);
    EXPECT_EQ(z, 120.0);
    HarnessEndFrame();  // frame 1: nothing due
    ASSERT_TRUE(driver.Update(nullptr));
    EXPECT_TRUE(driver.IsKeyDown(DIK_A));
    EXPECT_FALSE(driver.IsMouseButtonDown(0));

    // SDL's own events do not reach a replayed run, and focus plays no part.
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_B;
    driver.HandleEvent(e);
    driver.UnacquireKeyboard();
    HarnessEndFrame();  // frame 2
    ASSERT_TRUE(driver.Update(nullptr));
    EXPECT_FALSE(driver.IsKeyDown(DIK_A));
    EXPECT_FALSE(driver.IsKeyDown(DIK_B));
    EXPECT_TRUE(driver.WasMouseButtonPressed(0));
    EXPECT_FALSE(replay.HasInputEvents());
    ResetHarness();
}

TEST(SdlReplay, FramesSkippedByTheReaderArriveTogether) {
    LogCapture log;
    ResetHarness();
    Replay replay;
    std::string error;
    std::string text;
    // Twenty key events over frames 0..3, read only at frame 3: the first
    // fifteen fit the buffer, the rest are lost with one warning.
    for (int i = 0; i < 20; ++i)
        text += std::to_string(i / 5) + " key down " + std::to_string(DIK_Q + i) + "\n";
    ASSERT_TRUE(replay.Parse(text, &error)) << error;
    bool ok = false;
    ReplayInputFeed feed(&replay);
    SdlInputDriver driver(&ok, nullptr, &feed);
    for (int f = 0; f < 3; ++f) HarnessEndFrame();
    ASSERT_TRUE(driver.UpdateKeyboard(nullptr));
    EXPECT_EQ(log.Count("WARNING: Keyboard buffer overflowed! (size 15, count 15)\n"), 1);
    EXPECT_TRUE(driver.IsKeyDown(DIK_Q + 14));
    EXPECT_FALSE(driver.IsKeyDown(DIK_Q + 15));
    ResetHarness();
}

TEST(SdlReplay, NoWindowAndNoReplayIsRefused) {
    LogCapture log;
    bool ok = true;
    SdlInputDriver driver(&ok, nullptr, nullptr);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(log.Has("Couldn't create keyboard device \n"));
}

}  // namespace
