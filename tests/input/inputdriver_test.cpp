// The input driver's buffered reads, dispatch, bindings, mouse axes and
// device queues, driven through the queue driver as a device would feed it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "input/devicequeue.h"
#include "input/dikeys.h"
#include "input/inputerrors.h"
#include "input/queueinputdriver.h"
#include "input_helpers.h"

using input_test::LogCapture;

namespace {

std::vector<KeyEvent> g_keys;
std::vector<MouseButtonEvent> g_buttons;

void RecordKey(KeyEvent* e) { g_keys.push_back(*e); }
void RecordButton(MouseButtonEvent* e) { g_buttons.push_back(*e); }
void OtherKey(KeyEvent*) {}

class InputDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_keys.clear();
        g_buttons.clear();
    }
    void BindKey(int code, KeyCallback callback) {
        KeyCallback table[INPUT_KEY_COUNT] = {};
        driver.GetKeyBindings(table);
        table[code] = callback;
        ASSERT_TRUE(driver.SetKeyBindings(table));
    }
    void BindButton(int button, MouseCallback callback) {
        MouseCallback table[INPUT_MOUSE_BUTTONS] = {};
        driver.GetMouseBindings(table);
        table[button] = callback;
        ASSERT_TRUE(driver.SetMouseBindings(table));
    }
    double X() {
        double x;
        driver.GetMousePosition(&x, nullptr, nullptr);
        return x;
    }
    double Y() {
        double y;
        driver.GetMousePosition(nullptr, &y, nullptr);
        return y;
    }
    double Z() {
        double z;
        driver.GetMousePosition(nullptr, nullptr, &z);
        return z;
    }

    LogCapture log;
    QueueInputDriver driver;
    int context = 0;
};

// --- keyboard ---------------------------------------------------------------

TEST_F(InputDriverTest, KeyEventsCarryCodeStampPressedAndContext) {
    BindKey(DIK_A, RecordKey);
    ASSERT_TRUE(driver.PushKey(DIK_A, true, 1234));
    ASSERT_TRUE(driver.PushKey(DIK_A, false, 1240));
    ASSERT_TRUE(driver.UpdateKeyboard(&context));
    ASSERT_EQ(g_keys.size(), 2u);
    EXPECT_EQ(g_keys[0].code, DIK_A);
    EXPECT_EQ(g_keys[0].timestamp, 1234u);
    EXPECT_EQ(g_keys[0].pressed, 1);
    EXPECT_EQ(g_keys[0].context, &context);
    EXPECT_EQ(g_keys[1].pressed, 0);
    EXPECT_EQ(g_keys[1].timestamp, 1240u);
    EXPECT_FALSE(driver.IsKeyDown(DIK_A));
}

TEST_F(InputDriverTest, NullContextChangesKeyStateButCallsNothing) {
    BindKey(DIK_UP, RecordKey);
    driver.PushKey(DIK_UP, true);
    ASSERT_TRUE(driver.UpdateKeyboard(nullptr));
    EXPECT_TRUE(driver.IsKeyDown(DIK_UP));
    EXPECT_TRUE(g_keys.empty());
    // The same binding runs once a context is given.
    driver.PushKey(DIK_UP, false);
    ASSERT_TRUE(driver.UpdateKeyboard(&context));
    EXPECT_FALSE(driver.IsKeyDown(DIK_UP));
    ASSERT_EQ(g_keys.size(), 1u);
}

TEST_F(InputDriverTest, UnboundKeysOnlyChangeState) {
    BindKey(DIK_B, RecordKey);
    driver.PushKey(DIK_C, true);
    ASSERT_TRUE(driver.UpdateKeyboard(&context));
    EXPECT_TRUE(driver.IsKeyDown(DIK_C));
    EXPECT_TRUE(g_keys.empty());
}

TEST_F(InputDriverTest, SixteenKeyEventsLogOneOverflowAndApplyFifteen) {
    // Sixteen different keys go down between two reads: the buffer keeps the
    // first fifteen.
    for (int i = 0; i < 16; ++i) driver.PushKey(DIK_Q + i, true);
    ASSERT_TRUE(driver.UpdateKeyboard(nullptr));
    EXPECT_EQ(log.Count("WARNING: Keyboard buffer overflowed! (size 15, count 15)\n"), 1);
    for (int i = 0; i < 15; ++i) EXPECT_TRUE(driver.IsKeyDown(DIK_Q + i)) << i;
    EXPECT_FALSE(driver.IsKeyDown(DIK_Q + 15));
    EXPECT_EQ(driver.KeyboardHighWater(), 15u);
    // The next read is quiet.
    ASSERT_TRUE(driver.UpdateKeyboard(nullptr));
    EXPECT_EQ(log.Count("overflowed"), 1);
}

TEST_F(InputDriverTest, FifteenKeyEventsFitWithoutWarning) {
    for (int i = 0; i < 15; ++i) driver.PushKey(DIK_Q + i, true);
    ASSERT_TRUE(driver.UpdateKeyboard(nullptr));
    EXPECT_FALSE(log.Has("overflowed"));
    EXPECT_TRUE(driver.IsKeyDown(DIK_Q + 14));
    EXPECT_EQ(driver.KeyboardHighWater(), 15u);
}

TEST_F(InputDriverTest, HighWaterMarkOnlyRises) {
    for (int i = 0; i < 5; ++i) driver.PushKey(DIK_1 + i, true);
    driver.UpdateKeyboard(nullptr);
    driver.PushKey(DIK_1, false);
    driver.UpdateKeyboard(nullptr);
    EXPECT_EQ(driver.KeyboardHighWater(), 5u);
}

TEST_F(InputDriverTest, InvalidKeyCodeIsLoggedAndSkipped) {
    BindKey(DIK_E, RecordKey);
    driver.Keyboard().Push(300, kDevicePressed, 7);
    driver.PushKey(DIK_E, true);
    ASSERT_TRUE(driver.UpdateKeyboard(&context));
    EXPECT_TRUE(log.Has("WARNING: Key 300 is invalid.\n"));
    EXPECT_TRUE(driver.IsKeyDown(DIK_E));
    ASSERT_EQ(g_keys.size(), 1u);
    EXPECT_EQ(g_keys[0].code, DIK_E);
}

TEST_F(InputDriverTest, ReleaseAndClearKeyboard) {
    driver.PushKey(DIK_ESCAPE, true);
    driver.PushKey(DIK_SPACE, true);
    driver.UpdateKeyboard(nullptr);
    driver.ReleaseKey(DIK_ESCAPE);
    EXPECT_FALSE(driver.IsKeyDown(DIK_ESCAPE));
    EXPECT_TRUE(driver.IsKeyDown(DIK_SPACE));
    driver.ClearKeyboard();
    EXPECT_FALSE(driver.IsKeyDown(DIK_SPACE));
    // Out-of-range codes are neither down nor a fault.
    driver.ReleaseKey(-1);
    driver.ReleaseKey(256);
    EXPECT_FALSE(driver.IsKeyDown(256));
    EXPECT_FALSE(driver.IsKeyDown(-5));
}

// --- bindings ---------------------------------------------------------------

TEST_F(InputDriverTest, BindingTablesAreExchangedWhole) {
    KeyCallback table[INPUT_KEY_COUNT] = {};
    table[DIK_F1] = RecordKey;
    table[DIK_F2] = OtherKey;
    ASSERT_TRUE(driver.SetKeyBindings(table));
    KeyCallback out[INPUT_KEY_COUNT];
    driver.GetKeyBindings(out);
    for (int i = 0; i < INPUT_KEY_COUNT; ++i) EXPECT_EQ(out[i], table[i]) << i;

    // A new table replaces every entry, including the ones it leaves empty.
    KeyCallback second[INPUT_KEY_COUNT] = {};
    second[DIK_F3] = RecordKey;
    ASSERT_TRUE(driver.SetKeyBindings(second));
    driver.GetKeyBindings(out);
    EXPECT_EQ(out[DIK_F1], nullptr);
    EXPECT_EQ(out[DIK_F2], nullptr);
    EXPECT_EQ(out[DIK_F3], RecordKey);

    // Null tables: Get does nothing, Set refuses and keeps the table.
    driver.GetKeyBindings(nullptr);
    EXPECT_FALSE(driver.SetKeyBindings(nullptr));
    driver.GetKeyBindings(out);
    EXPECT_EQ(out[DIK_F3], RecordKey);

    MouseCallback buttons[INPUT_MOUSE_BUTTONS] = {nullptr, RecordButton, nullptr, RecordButton};
    ASSERT_TRUE(driver.SetMouseBindings(buttons));
    MouseCallback got[INPUT_MOUSE_BUTTONS];
    driver.GetMouseBindings(got);
    for (int i = 0; i < INPUT_MOUSE_BUTTONS; ++i) EXPECT_EQ(got[i], buttons[i]);
    EXPECT_FALSE(driver.SetMouseBindings(nullptr));
    driver.GetMouseBindings(nullptr);
}

// --- mouse ------------------------------------------------------------------

TEST_F(InputDriverTest, MotionIsScaledPerAxis) {
    driver.SetMouseScale(2.0, -0.5, 0.25);
    driver.PushMouseMotion(3, 4, 120);
    driver.PushMouseMotion(-1, 0, 0);
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    EXPECT_DOUBLE_EQ(X(), 4.0);
    EXPECT_DOUBLE_EQ(Y(), -2.0);
    EXPECT_DOUBLE_EQ(Z(), 30.0);
    double sx, sy, sz;
    driver.GetMouseScale(&sx, &sy, &sz);
    EXPECT_EQ(sx, 2.0);
    EXPECT_EQ(sy, -0.5);
    EXPECT_EQ(sz, 0.25);
}

TEST_F(InputDriverTest, DefaultsAreUnitScaleAndNoClamping) {
    double sx, sy, sz;
    driver.GetMouseScale(&sx, &sy, &sz);
    EXPECT_EQ(sx, 1.0);
    EXPECT_EQ(sy, 1.0);
    EXPECT_EQ(sz, 1.0);
    for (int axis = 0; axis < 3; ++axis) EXPECT_FALSE(driver.IsAxisClamped(axis));
    driver.PushMouseMotion(-100000, 100000, -120);
    driver.UpdateMouse(nullptr);
    EXPECT_EQ(X(), -100000.0);
    EXPECT_EQ(Y(), 100000.0);
    EXPECT_EQ(Z(), -120.0);
}

TEST_F(InputDriverTest, ClampingAppliesAfterEachEvent) {
    driver.SetMouseRange(-10.0, 10.0, 0.0, 5.0, 0.0, 0.0);
    EXPECT_TRUE(driver.IsAxisClamped(0));
    EXPECT_TRUE(driver.IsAxisClamped(1));
    EXPECT_FALSE(driver.IsAxisClamped(2));
    // +30 stops at 10, the following -5 starts from there.
    driver.PushMouseMotion(30, -7, 0);
    driver.PushMouseMotion(-5, 0, 0);
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    EXPECT_DOUBLE_EQ(X(), 5.0);
    EXPECT_DOUBLE_EQ(Y(), 0.0);
    driver.PushMouseMotion(-50, 9, 0);
    driver.UpdateMouse(nullptr);
    EXPECT_DOUBLE_EQ(X(), -10.0);
    EXPECT_DOUBLE_EQ(Y(), 5.0);
    double minX, maxX, minY, maxY, minZ, maxZ;
    driver.GetMouseRange(&minX, &maxX, &minY, &maxY, &minZ, &maxZ);
    EXPECT_EQ(minX, -10.0);
    EXPECT_EQ(maxX, 10.0);
    EXPECT_EQ(minY, 0.0);
    EXPECT_EQ(maxY, 5.0);
    EXPECT_EQ(minZ, 0.0);
    EXPECT_EQ(maxZ, 0.0);
}

TEST_F(InputDriverTest, EqualOrReversedRangeSwitchesClampingOff) {
    driver.SetMouseRange(-10.0, 10.0, -10.0, 10.0, -10.0, 10.0);
    driver.SetMouseRange(3.0, 3.0, 8.0, 2.0, -1.0, 1.0);
    EXPECT_FALSE(driver.IsAxisClamped(0));
    EXPECT_FALSE(driver.IsAxisClamped(1));
    EXPECT_TRUE(driver.IsAxisClamped(2));
    double minX, maxX, minY, maxY;
    driver.GetMouseRange(&minX, &maxX, &minY, &maxY, nullptr, nullptr);
    EXPECT_EQ(minX, 0.0);
    EXPECT_EQ(maxX, 0.0);
    EXPECT_EQ(minY, 0.0);
    EXPECT_EQ(maxY, 0.0);
    // The unclamped axes grow without bound.
    for (int i = 0; i < 10; ++i) driver.PushMouseMotion(1000000, -1000000, 5);
    driver.UpdateMouse(nullptr);
    EXPECT_EQ(X(), 10000000.0);
    EXPECT_EQ(Y(), -10000000.0);
    EXPECT_EQ(Z(), 1.0);
}

TEST_F(InputDriverTest, PressLatchesOnceEvenWhileHeld) {
    driver.PushMouseButton(0, true);
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    EXPECT_TRUE(driver.IsMouseButtonDown(0));
    EXPECT_TRUE(driver.WasMouseButtonPressed(0));
    EXPECT_FALSE(driver.WasMouseButtonPressed(0));
    EXPECT_TRUE(driver.IsMouseButtonDown(0));
    // A release before the query clears the latch.
    driver.PushMouseButton(0, false);
    driver.PushMouseButton(1, true);
    driver.PushMouseButton(1, false);
    driver.UpdateMouse(nullptr);
    EXPECT_FALSE(driver.IsMouseButtonDown(0));
    EXPECT_FALSE(driver.WasMouseButtonPressed(1));
    EXPECT_FALSE(driver.IsMouseButtonDown(1));
    // Out-of-range buttons are never down.
    EXPECT_FALSE(driver.IsMouseButtonDown(4));
    EXPECT_FALSE(driver.WasMouseButtonPressed(-1));
}

TEST_F(InputDriverTest, ButtonCallbacksRunWithoutContextAndSeeThePositionSoFar) {
    BindButton(2, RecordButton);
    driver.SetMouseScale(0.5, 0.5, 1.0);
    driver.PushMouseMotion(10, 20, 0, 5);
    driver.PushMouseButton(2, true, 6);
    driver.PushMouseMotion(10, 0, 0, 7);
    driver.PushMouseButton(2, false, 8);
    driver.PushMouseButton(3, true, 9);  // unbound
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    ASSERT_EQ(g_buttons.size(), 2u);
    EXPECT_EQ(g_buttons[0].button, 2);
    EXPECT_EQ(g_buttons[0].timestamp, 6u);
    EXPECT_EQ(g_buttons[0].pressed, 1);
    EXPECT_EQ(g_buttons[0].x, 5.0);
    EXPECT_EQ(g_buttons[0].y, 10.0);
    EXPECT_EQ(g_buttons[1].pressed, 0);
    EXPECT_EQ(g_buttons[1].x, 10.0);
    EXPECT_TRUE(driver.IsMouseButtonDown(3));
}

TEST_F(InputDriverTest, ThirtyOneMouseEventsLogOneOverflowAndApplyThirty) {
    for (int i = 0; i < 31; ++i) driver.PushMouseMotion(1, 0, 0);
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    EXPECT_EQ(log.Count("WARNING: Mouse buffer overflowed! (size 30, count 30)\n"), 1);
    EXPECT_EQ(X(), 30.0);
    EXPECT_EQ(driver.MouseHighWater(), 30u);
    for (int i = 0; i < 30; ++i) driver.PushMouseMotion(1, 0, 0);
    driver.UpdateMouse(nullptr);
    EXPECT_EQ(log.Count("overflowed"), 1);
    EXPECT_EQ(X(), 60.0);
}

TEST_F(InputDriverTest, UnknownMouseOffsetIsLoggedAndSkipped) {
    driver.Mouse().Push(16, kDevicePressed, 0);
    driver.Mouse().Push(2, 5, 0);
    driver.PushMouseButton(1, true);
    ASSERT_TRUE(driver.UpdateMouse(nullptr));
    EXPECT_TRUE(log.Has("WARNING: Invalid mousebutton 16!\n"));
    EXPECT_TRUE(log.Has("WARNING: Invalid mousebutton 2!\n"));
    EXPECT_TRUE(driver.IsMouseButtonDown(1));
    EXPECT_EQ(X(), 0.0);
}

TEST_F(InputDriverTest, ClearMouseReleasesButtonsAndCentres) {
    driver.PushMouseMotion(4, 5, 6);
    driver.PushMouseButton(0, true);
    driver.PushKey(DIK_K, true);
    driver.Update(nullptr);
    driver.ClearAll();
    EXPECT_FALSE(driver.IsMouseButtonDown(0));
    EXPECT_FALSE(driver.IsKeyDown(DIK_K));
    EXPECT_EQ(X(), 0.0);
    EXPECT_EQ(Y(), 0.0);
    EXPECT_EQ(Z(), 0.0);
    driver.SetMousePosition(1.5, -2.5, 3.5);
    EXPECT_EQ(X(), 1.5);
    EXPECT_EQ(Y(), -2.5);
    EXPECT_EQ(Z(), 3.5);
}

// --- device failures --------------------------------------------------------

TEST_F(InputDriverTest, UpdateRunsBothReadsAndFailsWhenEitherFails) {
    driver.UnacquireKeyboard();
    driver.PushKey(DIK_A, true);  // not recorded: the device is not acquired
    driver.PushMouseMotion(7, 0, 0);
    EXPECT_FALSE(driver.Update(&context));
    EXPECT_EQ(X(), 7.0);  // the mouse read still ran
    EXPECT_FALSE(driver.IsKeyDown(DIK_A));
    driver.AcquireKeyboard();
    driver.PushKey(DIK_A, true);
    EXPECT_TRUE(driver.Update(&context));
    EXPECT_TRUE(driver.IsKeyDown(DIK_A));
}

TEST_F(InputDriverTest, LostDeviceFailsUntilReacquired) {
    driver.PushKey(DIK_J, true);
    driver.Keyboard().Lose();
    EXPECT_FALSE(driver.UpdateKeyboard(nullptr));
    EXPECT_FALSE(driver.IsKeyDown(DIK_J));
    EXPECT_FALSE(driver.PushKey(DIK_J, true));
    driver.AcquireKeyboard();
    EXPECT_TRUE(driver.PushKey(DIK_J, true));
    EXPECT_TRUE(driver.UpdateKeyboard(nullptr));
    EXPECT_TRUE(driver.IsKeyDown(DIK_J));
    EXPECT_FALSE(log.Has("Error"));
}

TEST_F(InputDriverTest, MouseDeltaReadsUnclampedAndRestoresClamping) {
    driver.SetMouseRange(0.0, 640.0, 0.0, 480.0, 0.0, 0.0);
    driver.SetMousePosition(630.0, 470.0, 0.0);
    driver.PushMouseMotion(50, 30, 120);
    driver.PushKey(DIK_G, true);
    BindKey(DIK_G, RecordKey);
    double dx, dy, dz;
    driver.GetMouseDelta(&dx, &dy, &dz);
    EXPECT_EQ(dx, 50.0);
    EXPECT_EQ(dy, 30.0);
    EXPECT_EQ(dz, 120.0);
    EXPECT_EQ(X(), 680.0);                 // read past the range...
    EXPECT_TRUE(driver.IsAxisClamped(0));  // ...but the clamping is back
    EXPECT_TRUE(driver.IsAxisClamped(1));
    EXPECT_TRUE(driver.IsKeyDown(DIK_G));
    EXPECT_TRUE(g_keys.empty());  // no context: no key callbacks
    driver.PushMouseMotion(1, 0, 0);
    driver.UpdateMouse(nullptr);
    EXPECT_EQ(X(), 640.0);

    // A failed read gives no motion.
    driver.UnacquireMouse();
    driver.GetMouseDelta(&dx, &dy, &dz);
    EXPECT_EQ(dx, 0.0);
    EXPECT_EQ(dy, 0.0);
    EXPECT_EQ(dz, 0.0);
}

// A device layer whose acquire calls fail, for the log lines.
class RefusingDriver : public QueueInputDriver {
protected:
    int32_t AcquireKeyboardDevice() override { return DIERR_OTHERAPPHASPRIO; }
    int32_t AcquireMouseDevice() override { return static_cast<int32_t>(0x8765ABCDu); }
};

TEST(InputDriverErrors, FailedAcquireIsLoggedWithTheDescription) {
    LogCapture log;
    RefusingDriver driver;
    driver.AcquireKeyboard();
    driver.AcquireMouse();
    EXPECT_TRUE(
        log.Has("Error - could not reaquire kbd (Another application has a higher priority level, "
                "preventing this call from succeeding).\n"));
    EXPECT_TRUE(log.Has("Error - could not reaquire mouse (N/A -8765ABCD).\n"));
}

TEST(InputDriverErrors, ResultCodeTexts) {
    EXPECT_STREQ(InputErrorText(DIERR_INPUTLOST).c_str(),
                 "Access to the input device has been lost. It must be reacquired");
    EXPECT_STREQ(InputErrorText(DIERR_NOTACQUIRED).c_str(),
                 "The operation cannot be performed unless the device is acquired");
    EXPECT_STREQ(InputErrorText(DI_BUFFEROVERFLOW).c_str(),
                 "The device buffer overflowed and some input was lost");
    EXPECT_STREQ(InputErrorText(0x2A).c_str(), "N/A -0000002A");
    EXPECT_STREQ(InputErrorText(-1).c_str(), "N/A -FFFFFFFF");
}

// --- recorded input in place of the devices --------------------------------

// Hands out its events on the first pump only.
struct OneBatchFeed : InputFeed {
    void Pump(DeviceQueue& keyboard, DeviceQueue& mouse) override {
        if (pumps++ > 0) return;
        PushKeyRecord(keyboard, DIK_A, true, 5);
        PushMotionRecords(mouse, 3, -2, 0, 5);
        PushButtonRecord(mouse, 1, true, 6);
    }
    int pumps = 0;
};

// A device layer that notes every call the buffered driver makes to it.
class NotingDriver : public QueueInputDriver {
public:
    explicit NotingDriver(InputFeed* feed) : QueueInputDriver(feed) {}
    int calls = 0;

protected:
    int32_t ReadKeyboardData(DeviceRecord* r, uint32_t* n) override {
        ++calls;
        return QueueInputDriver::ReadKeyboardData(r, n);
    }
    int32_t ReadMouseData(DeviceRecord* r, uint32_t* n) override {
        ++calls;
        return QueueInputDriver::ReadMouseData(r, n);
    }
    int32_t AcquireKeyboardDevice() override {
        ++calls;
        return DIERR_OTHERAPPHASPRIO;
    }
    int32_t AcquireMouseDevice() override {
        ++calls;
        return DIERR_OTHERAPPHASPRIO;
    }
    void UnacquireKeyboardDevice() override { ++calls; }
    void UnacquireMouseDevice() override { ++calls; }
};

TEST(InputFeed, StandsInForTheDevicesWhichAreNeverTouched) {
    LogCapture log;
    OneBatchFeed feed;
    NotingDriver driver(&feed);
    driver.PushKey(DIK_B, true);  // the device's own event
    driver.UnacquireKeyboard();   // focus plays no part
    driver.UnacquireMouse();
    ASSERT_TRUE(driver.Update(nullptr));
    EXPECT_EQ(feed.pumps, 2) << "the feed is pumped before each read";
    EXPECT_TRUE(driver.IsKeyDown(DIK_A));
    EXPECT_FALSE(driver.IsKeyDown(DIK_B));
    double x, y;
    driver.GetMousePosition(&x, &y, nullptr);
    EXPECT_EQ(x, 3.0);
    EXPECT_EQ(y, -2.0);
    EXPECT_TRUE(driver.WasMouseButtonPressed(1));
    driver.AcquireKeyboard();
    driver.AcquireMouse();
    EXPECT_EQ(driver.calls, 0);
    EXPECT_FALSE(log.Has("Error"));
}

// --- device queue -----------------------------------------------------------

TEST(DeviceQueue, BuffersOnlyWhileAcquired) {
    DeviceQueue q(3);
    DeviceRecord r[4];
    uint32_t n = 4;
    EXPECT_FALSE(q.Push(1, 0x80, 10));
    EXPECT_EQ(q.Read(r, &n), DIERR_NOTACQUIRED);
    EXPECT_EQ(n, 0u);
    q.Acquire();
    EXPECT_TRUE(q.Push(1, 0x80, 10));
    EXPECT_TRUE(q.Push(2, 0x00, 11));
    q.Acquire();  // already acquired: the buffer stays
    EXPECT_EQ(q.Pending(), 2);
    n = 4;
    EXPECT_EQ(q.Read(r, &n), DI_OK);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(r[0].offset, 1u);
    EXPECT_EQ(r[0].data, 0x80u);
    EXPECT_EQ(r[0].timestamp, 10u);
    EXPECT_EQ(r[1].offset, 2u);
    EXPECT_EQ(r[1].sequence, r[0].sequence + 1);
    q.Push(3, 0, 0);
    q.Unacquire();  // unacquiring drops what waits
    q.Acquire();
    n = 4;
    EXPECT_EQ(q.Read(r, &n), DI_OK);
    EXPECT_EQ(n, 0u);
}

TEST(DeviceQueue, OverflowKeepsTheOldestAndIsReportedOnce) {
    DeviceQueue q(3);
    q.Acquire();
    for (uint32_t i = 0; i < 5; ++i) q.Push(i, 0, i);
    DeviceRecord r[2];
    uint32_t n = 2;
    EXPECT_EQ(q.Read(r, &n), DI_BUFFEROVERFLOW);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(r[0].offset, 0u);
    EXPECT_EQ(r[1].offset, 1u);
    n = 2;
    EXPECT_EQ(q.Read(r, &n), DI_OK);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(r[0].offset, 2u);
    // The ring wraps cleanly.
    for (uint32_t i = 10; i < 13; ++i) EXPECT_TRUE(q.Push(i, 0, 0));
    n = 2;
    q.Read(r, &n);
    EXPECT_EQ(r[0].offset, 10u);
    EXPECT_EQ(r[1].offset, 11u);
}

TEST(DeviceQueue, LostDeviceFailsUntilAcquired) {
    DeviceQueue q(2);
    q.Acquire();
    q.Push(1, 0, 0);
    q.Lose();
    DeviceRecord r[2];
    uint32_t n = 2;
    EXPECT_EQ(q.Read(r, &n), DIERR_INPUTLOST);
    EXPECT_EQ(q.Read(r, &n), DIERR_INPUTLOST);
    q.Acquire();
    n = 2;
    EXPECT_EQ(q.Read(r, &n), DI_OK);
    EXPECT_EQ(n, 0u);
    n = 2;
    EXPECT_EQ(q.Read(nullptr, &n), DIERR_INVALIDPARAM);
}

// --- key codes --------------------------------------------------------------

TEST(DikCodes, NamesOfEveryGroup) {
    EXPECT_STREQ(DikName(DIK_ESCAPE), "ESCAPE");
    EXPECT_STREQ(DikName(0x1E), "A");
    EXPECT_STREQ(DikName(0x0B), "0");
    EXPECT_STREQ(DikName(0x44), "F10");
    EXPECT_STREQ(DikName(0x58), "F12");
    EXPECT_STREQ(DikName(0x9C), "NUMPADENTER");
    EXPECT_STREQ(DikName(0xC8), "UP");
    EXPECT_STREQ(DikName(0xD1), "NEXT");
    EXPECT_STREQ(DikName(0xDB), "LWIN");
    EXPECT_STREQ(DikName(0x7D), "YEN");
    EXPECT_STREQ(DikName(0xED), "MEDIASELECT");
    EXPECT_EQ(DikName(0), nullptr);
    EXPECT_EQ(DikName(0x54), nullptr);
    EXPECT_EQ(DikName(0xFF), nullptr);
    EXPECT_EQ(DikName(256), nullptr);
    EXPECT_EQ(DikName(-1), nullptr);
    EXPECT_EQ(DIK_PGUP, DIK_PRIOR);
    EXPECT_EQ(DIK_BACKSPACE, 0x0E);
    int named = 0;
    for (int code = 0; code < 256; ++code)
        if (DikName(code)) ++named;
    EXPECT_EQ(named, 144);
}

}  // namespace
