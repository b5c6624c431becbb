// The player camera: look-at, the movement step (acceleration, friction,
// speed cap, sway, eye height, collide and slide through the world), the
// mouse modes, both key tables and the movement clock.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "camera/keybindings.h"
#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "camera/playerstep.h"
#include "collision/collision.h"
#include "common/triangle_mesh.h"
#include "gfxdriver/gfxdriver.h"
#include "imports/gameimports.h"
#include "input/dikeys.h"
#include "input/inputerrors.h"
#include "input/queueinputdriver.h"
#include "input/input_helpers.h"
#include "world/world.h"

using input_test::DriverScope;
using input_test::LogCapture;

namespace {

constexpr float kStep = 1.0f / 35.0f;
constexpr float kSpeed = 1050.0f;

void ExpectNear(const VECTOR& got, const VECTOR& want, float tolerance) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

VECTOR Transform(const MATRIX& m, const VECTOR& p) {
    VECTOR out;
    TransformPoint(m, p, out);
    return out;
}

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMouseModes();
        ASSERT_TRUE(InstallKeyBindings(&driver, false));
        SetMouseMode(MOUSE_LOOK);
    }
    void TearDown() override { ResetMouseModes(); }

    // Key events as the device reports them; the next update dispatches them.
    void Key(int code, bool pressed) { ASSERT_TRUE(driver.PushKey(code, pressed)); }
    void Run(int steps, float dt = kStep) {
        for (int i = 0; i < steps; ++i) camera.Update(dt);
    }
    float Speed() const { return VectorLength(camera.velocity); }

    LogCapture log;
    QueueInputDriver driver;
    DriverScope scope{&driver};
    PlayerCamera camera{1.0f, 5000};
};

// --- look at ----------------------------------------------------------------

TEST_F(CameraTest, ConstructionSetsTheDocumentedStart) {
    ExpectNear(camera.up, VECTOR(0, 1, 0), 0);
    ExpectNear(camera.position, VECTOR(0, 0, 0), 0);
    ExpectNear(camera.direction, VECTOR(1, 0, 0), 0);
    EXPECT_EQ(camera.nearPlane, 1.0f);
    EXPECT_EQ(camera.farPlane, 5000.0f);
    EXPECT_EQ(camera.aspect, 0.75f);  // no graphics driver
    EXPECT_EQ(camera.roll, 0.0f);
    for (int i = 0; i < MOVEMENT_FLAG_COUNT; ++i) EXPECT_EQ(camera.movement[i], 0);
    MATRIX expected;
    ASSERT_TRUE(MatrixPerspective(expected, 1.0f, 0.75f, 1.0f, 5000.0f));
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(camera.projection.m[i], expected.m[i]) << i;
    camera.SetFarPlane(800);
    ASSERT_TRUE(MatrixPerspective(expected, 1.0f, 0.75f, 1.0f, 800.0f));
    EXPECT_FLOAT_EQ(camera.projection.m[10], expected.m[10]);
    camera.SetFieldOfView(0.5f);
    ASSERT_TRUE(MatrixPerspective(expected, 0.5f, 0.75f, 1.0f, 800.0f));
    EXPECT_FLOAT_EQ(camera.projection.m[5], expected.m[5]);
}

TEST_F(CameraTest, LookAtBuildsTheViewMatrix) {
    VECTOR eye(10, 20, 30);
    camera.LookAt(eye, VECTOR(13, 24, 30), 0.0f);
    MATRIX expected;
    ASSERT_TRUE(MatrixLookAt(expected, eye, VECTOR(13, 24, 30), VECTOR(0, 1, 0)));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(camera.view.m[i], expected.m[i], 1e-5f) << i;
    // The target lies straight ahead, 5 units off.
    ExpectNear(Transform(camera.view, VECTOR(13, 24, 30)), VECTOR(0, 0, 5), 1e-4f);
    ExpectNear(camera.position, eye, 0);
}

TEST_F(CameraTest, RollTurnsTheUpVectorAboutTheViewAxis) {
    VECTOR eye(0, 0, 0);
    camera.LookAt(eye, VECTOR(0, 0, 10), 1.5707964f);
    EXPECT_EQ(camera.roll, 1.5707964f);
    // A quarter turn: world up now lies along the view's x axis.
    ExpectNear(Transform(camera.view, VECTOR(0, 1, 0)), VECTOR(1, 0, 0), 1e-5f);
    ExpectNear(Transform(camera.view, VECTOR(0, 0, 10)), VECTOR(0, 0, 10), 1e-5f);
}

TEST_F(CameraTest, DegenerateTargetsLeaveTheViewAsItWas) {
    camera.LookAt(VECTOR(1, 2, 3), VECTOR(5, 2, 3), 0.0f);
    MATRIX before = camera.view;
    camera.LookAt(VECTOR(7, 7, 7), VECTOR(7, 7, 7), 0.25f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(camera.view.m[i], before.m[i]);
    ExpectNear(camera.position, VECTOR(7, 7, 7), 0);
    EXPECT_EQ(camera.roll, 0.25f);
    // Straight up: no up direction left; no NaN either.
    camera.LookAt(VECTOR(0, 0, 0), VECTOR(0, 50, 0), 0.0f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(camera.view.m[i], before.m[i]);
}

TEST_F(CameraTest, MoveByKeepsTheDirection) {
    camera.LookAt(VECTOR(0, 0, 0), VECTOR(0, 0, 1), 0.0f);
    camera.direction = VECTOR(0, 0, 1);
    camera.MoveBy(10, -5, 2);
    ExpectNear(camera.position, VECTOR(10, -5, 2), 0);
    ExpectNear(Transform(camera.view, VECTOR(10, -5, 12)), VECTOR(0, 0, 10), 1e-4f);
}

// --- aiming -----------------------------------------------------------------

TEST_F(CameraTest, FirstFrameOnlyAims) {
    driver.SetMousePosition(0.5, 0.2, 0.0);
    Key(DIK_UP, true);
    camera.Update(0.0f);
    EXPECT_EQ(camera.movement[MOVE_FORWARD], 1);      // the key was read...
    ExpectNear(camera.position, VECTOR(0, 0, 0), 0);  // ...but nothing moved
    ExpectNear(camera.velocity, VECTOR(0, 0, 0), 0);
    ExpectNear(camera.direction, VECTOR(std::cos(0.5f), -0.2f, std::sin(0.5f)), 1e-6f);
    EXPECT_EQ(camera.yaw, 0.5f);
    VECTOR ahead = camera.direction;
    VectorNormalize(ahead);
    EXPECT_NEAR(camera.view.m[2], ahead.x, 1e-5f);
    EXPECT_NEAR(camera.view.m[6], ahead.y, 1e-5f);
    EXPECT_NEAR(camera.view.m[10], ahead.z, 1e-5f);
}

TEST_F(CameraTest, MouseTurnsAndLooksUpAndDown) {
    // Look mode scales: x by mouse_speed_x x -0.001, y by mouse_speed_y x 0.001.
    ASSERT_TRUE(driver.PushMouseMotion(100, -100, 0));
    camera.Update(0.0f);
    EXPECT_NEAR(camera.yaw, -0.2f, 1e-6f);
    // Pushing the mouse away (negative counts) looks up.
    EXPECT_NEAR(camera.direction.y, 0.3f, 1e-6f);
    EXPECT_NEAR(camera.direction.z, std::sin(-0.2f), 1e-6f);
    // Vertical look stops at half a turn.
    ASSERT_TRUE(driver.PushMouseMotion(0, -5000, 0));
    camera.Update(0.0f);
    EXPECT_NEAR(camera.direction.y, 3.14159265f, 1e-5f);
}

TEST_F(CameraTest, InvertedMouseLooksDownWhenPushedAway) {
    log.settings().inverted_mouse = 1;
    ASSERT_TRUE(driver.PushMouseMotion(0, -100, 0));
    camera.Update(0.0f);
    EXPECT_NEAR(camera.direction.y, -0.3f, 1e-6f);
}

// --- walking ----------------------------------------------------------------

TEST_F(CameraTest, OneStepAcceleratesAndMovesTheEye) {
    camera.LookAt(VECTOR(0, 200, 0), VECTOR(1, 200, 0), 0.0f);
    Key(DIK_UP, true);
    camera.Update(kStep);
    // accel = 10 x speed; from rest one step gives accel x dt.
    EXPECT_NEAR(camera.velocity.x, kSpeed * 10.0f * kStep, 1e-3f);
    EXPECT_NEAR(camera.velocity.z, 0.0f, 1e-3f);
    EXPECT_NEAR(camera.position.x, camera.velocity.x * kStep, 1e-3f);
    // Without a world the body moves freely; the eye stays 80 above it.
    EXPECT_NEAR(camera.position.y, 200.0f, 1e-4f);
}

TEST_F(CameraTest, HomeEndDeleteNextAreTheSecondMovementKeys) {
    Key(DIK_HOME, true);
    Key(DIK_NEXT, true);
    camera.Update(kStep);
    EXPECT_EQ(camera.movement[MOVE_FORWARD], 1);
    EXPECT_EQ(camera.movement[MOVE_STRAFE_B], 1);
    Key(DIK_HOME, false);
    Key(DIK_NEXT, false);
    Key(DIK_END, true);
    Key(DIK_DELETE, true);
    camera.Update(kStep);
    EXPECT_EQ(camera.movement[MOVE_FORWARD], 0);
    EXPECT_EQ(camera.movement[MOVE_STRAFE_B], 0);
    EXPECT_EQ(camera.movement[MOVE_BACKWARD], 1);
    EXPECT_EQ(camera.movement[MOVE_STRAFE_A], 1);
}

TEST_F(CameraTest, SpeedIsCappedAtTheMovementSpeed) {
    Key(DIK_UP, true);
    Run(35);
    EXPECT_NEAR(camera.velocity.x, kSpeed, 1e-2f);
    EXPECT_NEAR(Speed(), kSpeed, 1e-2f);
}

TEST_F(CameraTest, DiagonalWalkingIsCappedInTotalLength) {
    Key(DIK_UP, true);
    Key(DIK_RIGHT, true);
    Run(35);
    EXPECT_NEAR(Speed(), kSpeed, 0.05f);  // not 1050 x sqrt 2
    EXPECT_NEAR(std::fabs(camera.velocity.x), kSpeed / std::sqrt(2.0f), 0.5f);
    EXPECT_NEAR(std::fabs(camera.velocity.z), kSpeed / std::sqrt(2.0f), 0.5f);
    // Strafe key B goes to the side opposite the +90 degree heading.
    EXPECT_LT(camera.velocity.z, 0.0f);
}

TEST_F(CameraTest, OppositeKeysCancelAndFrictionApplies) {
    Key(DIK_UP, true);
    Key(DIK_DOWN, true);
    Run(10);
    ExpectNear(camera.velocity, VECTOR(0, 0, 0), 0);
    ExpectNear(camera.position, VECTOR(0, 0, 0), 0);
    // From full speed, holding both brakes like standing still.
    Key(DIK_DOWN, false);
    Run(35);
    Key(DIK_DOWN, true);
    Run(4);
    ExpectNear(camera.velocity, VECTOR(0, 0, 0), 0);
    Key(DIK_LEFT, true);
    Key(DIK_RIGHT, true);
    Run(3);
    ExpectNear(camera.velocity, VECTOR(0, 0, 0), 0);
}

TEST_F(CameraTest, ReleasingAtFullSpeedStopsWithinATenthOfASecond) {
    Key(DIK_UP, true);
    Run(35);
    ASSERT_NEAR(Speed(), kSpeed, 1e-2f);
    Key(DIK_UP, false);
    // At 35 updates a second: 0.086 s in, still braking; at 0.114 s, stopped.
    Run(3);
    EXPECT_GT(Speed(), 100.0f);
    Run(1);
    EXPECT_EQ(Speed(), 0.0f);

    // One step just short of 0.1 s leaves a little speed; 0.1 s stops it.
    Key(DIK_UP, true);
    Run(35);
    Key(DIK_UP, false);
    camera.Update(0.099f);
    EXPECT_GT(Speed(), 0.0f);
    EXPECT_LT(Speed(), 11.0f);
    Key(DIK_UP, true);
    Run(35);
    Key(DIK_UP, false);
    camera.Update(0.1f);
    EXPECT_EQ(Speed(), 0.0f);
}

TEST_F(CameraTest, FrictionBrakesEachAxisOnItsOwn) {
    camera.velocity = VECTOR(1050.0f, 0.0f, -105.0f);
    camera.Update(0.01f);  // brake 105 per axis
    EXPECT_NEAR(camera.velocity.x, 945.0f, 1e-3f);
    EXPECT_EQ(camera.velocity.z, 0.0f);
}

TEST_F(CameraTest, SwayPlaysWhileWalkingAndSettlesStanding) {
    Key(DIK_UP, true);
    camera.Update(kStep);
    EXPECT_EQ(camera.roll, 0.0f);  // sin of phase 0
    EXPECT_NEAR(camera.swayPhase, kStep * 10.0f, 1e-6f);
    camera.Update(kStep);
    EXPECT_NEAR(camera.roll, 0.01f * std::sin(kStep * 10.0f), 1e-7f);
    float walkingRoll = camera.roll;
    Key(DIK_UP, false);
    camera.Update(0.01f);
    EXPECT_EQ(camera.swayPhase, 0.0f);
    EXPECT_NEAR(camera.roll, walkingRoll - 0.05f * 0.01f, 1e-7f);
    Run(10, 0.1f);
    EXPECT_EQ(camera.roll, 0.0f);
}

TEST_F(CameraTest, FailedPollRetriesOnceThenLogs) {
    Key(DIK_UP, true);
    camera.Update(kStep);
    // A lost keyboard is acquired again and read in the same update.
    driver.Keyboard().Lose();
    camera.Update(kStep);
    EXPECT_FALSE(log.Has("Error - could not update input devices!"));
    EXPECT_TRUE(driver.Keyboard().Acquired());
    float moved = camera.position.x;
    EXPECT_GT(moved, 0.0f);
}

// A device that cannot be acquired again.
class DeadDriver : public QueueInputDriver {
protected:
    int32_t AcquireKeyboardDevice() override { return DIERR_INPUTLOST; }
};

TEST(CameraInput, UnreadableDevicesLogAndKeepTheStaleState) {
    LogCapture log;
    DeadDriver driver;
    DriverScope scope(&driver);
    ASSERT_TRUE(InstallKeyBindings(&driver, false));
    PlayerCamera camera(1.0f, 5000);
    driver.PushKey(DIK_UP, true);
    camera.Update(kStep);
    driver.Keyboard().Lose();
    camera.Update(kStep);
    EXPECT_EQ(log.Count("Error - could not update input devices!\n"), 1);
    EXPECT_TRUE(
        log.Has("Error - could not reaquire kbd (Access to the input device has been lost. It must be "
                "reacquired).\n"));
    // The forward flag from before the loss still walks the camera.
    EXPECT_GT(camera.velocity.x, kSpeed * 10.0f * kStep * 1.5f);
}

// --- collision --------------------------------------------------------------

using Mesh = test_common::TriangleMesh;

class CameraWorldTest : public CameraTest {
protected:
    void SetUp() override {
        CameraTest::SetUp();
        // A floor at y = 0 and a wall across x = 600.
        mesh.Quad(VECTOR(-2000, 0, -2000), VECTOR(0, 0, 4000), VECTOR(4000, 0, 0));
        mesh.Quad(VECTOR(600, -2000, -2000), VECTOR(0, 0, 4000), VECTOR(0, 4000, 0));
        world.collider = new Collider(VECTOR(40, 90, 40), VECTOR(0, -30, 0));
        world.collider->traverse = [this](CollisionPacket* p) {
            CollideTriangles(p, mesh.vertices.data(), mesh.indices.data(),
                             static_cast<int>(mesh.indices.size() / 3));
        };
        g_world = &world;
        log.settings().collisionOn = 1;
        // Standing on the floor: the body (80 below the eye) is the
        // ellipsoid's centre.
        camera.LookAt(VECTOR(0, 170, 0), VECTOR(1, 170, 0), 0.0f);
    }
    void TearDown() override {
        g_world = nullptr;
        CameraTest::TearDown();
    }

    Mesh mesh;
    World world;
};

TEST_F(CameraWorldTest, WalkingIntoAWallStopsBeforeIt) {
    Key(DIK_UP, true);
    Run(70);
    // The ellipsoid (radius 40 across) stops short of the wall at 600.
    EXPECT_GT(camera.position.x, 450.0f);
    EXPECT_LT(camera.position.x, 560.0f + 1.0f);
    // It stays on the floor: the eye 80 above a body that rests on y = 0.
    EXPECT_GT(camera.position.y, 80.0f + 90.0f - 1.0f);
    EXPECT_LT(camera.position.y, 80.0f + 90.0f + 20.0f);
    EXPECT_EQ(world.mouseMode, 1);

    // With collision off the same walk goes through.
    log.settings().collisionOn = 0;
    Run(35);
    EXPECT_GT(camera.position.x, 700.0f);
}

TEST_F(CameraWorldTest, StandingStillOnTheFloorStaysPut) {
    Run(35);
    VECTOR rest = camera.position;
    Run(35);
    ExpectNear(camera.position, rest, 0.5f);
    EXPECT_NEAR(rest.x, 0.0f, 0.01f);
}

// --- mouse modes ------------------------------------------------------------

TEST_F(CameraTest, PointerModeUsesTheScreenAndLookModeReturnsToItsPosition) {
    driver.SetMousePosition(1.25, -0.5, 0.0);
    SetMouseMode(MOUSE_POINTER);
    EXPECT_EQ(GetMouseMode(), MOUSE_POINTER);
    double minX, maxX, minY, maxY, minZ, maxZ;
    driver.GetMouseRange(&minX, &maxX, &minY, &maxY, &minZ, &maxZ);
    EXPECT_EQ(minX, 0.0);
    EXPECT_EQ(maxX, 640.0);
    EXPECT_EQ(minY, 0.0);
    EXPECT_EQ(maxY, 480.0);
    EXPECT_FALSE(driver.IsAxisClamped(2));
    double sx, sy, sz;
    driver.GetMouseScale(&sx, &sy, &sz);
    EXPECT_DOUBLE_EQ(sx, 2 * 0.2);
    EXPECT_DOUBLE_EQ(sy, 3 * 0.2);
    EXPECT_EQ(sz, 0.0);
    double x, y;
    driver.GetMousePosition(&x, &y, nullptr);
    EXPECT_EQ(x, 1.25);  // left where it was
    driver.PushMouseMotion(1000, 1000, 0);
    driver.UpdateMouse(nullptr);
    driver.GetMousePosition(&x, &y, nullptr);
    EXPECT_EQ(x, 401.25);
    EXPECT_EQ(y, 480.0);  // 0 + 600 clamped
    driver.PushMouseMotion(1000, -2000, 0);
    driver.UpdateMouse(nullptr);
    driver.GetMousePosition(&x, &y, nullptr);
    EXPECT_EQ(x, 640.0);
    EXPECT_EQ(y, 0.0);

    SetMouseMode(MOUSE_LOOK);
    driver.GetMousePosition(&x, &y, nullptr);
    EXPECT_EQ(x, 1.25);
    EXPECT_EQ(y, -0.5);
    driver.GetMouseRange(&minX, &maxX, &minY, &maxY, &minZ, &maxZ);
    EXPECT_FALSE(driver.IsAxisClamped(0));
    EXPECT_EQ(minY, -3.14159265);
    EXPECT_EQ(maxY, 3.14159265);
    driver.GetMouseScale(&sx, &sy, &sz);
    EXPECT_DOUBLE_EQ(sx, 2 * -0.001);
    EXPECT_DOUBLE_EQ(sy, 3 * 0.001);
    EXPECT_EQ(sz, 0.0);
}

TEST_F(CameraTest, EnteringLookModeAgainKeepsTheView) {
    driver.SetMousePosition(2.0, 0.1, 0.0);
    SetMouseMode(MOUSE_LOOK);  // a mode switch while looking
    double x, y;
    driver.GetMousePosition(&x, &y, nullptr);
    EXPECT_EQ(x, 2.0);
    EXPECT_EQ(y, 0.1);
}

TEST_F(CameraTest, OtherModesAreOnlyStored) {
    World world;
    g_world = &world;
    SetMouseMode(MOUSE_POINTER);
    EXPECT_EQ(world.mouseMode, 0);
    SetMouseMode(5);
    EXPECT_EQ(world.mouseMode, 5);
    EXPECT_EQ(GetMouseMode(), 5);
    double minX, maxX;
    driver.GetMouseRange(&minX, &maxX, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(maxX, 640.0);  // still the pointer's
    g_world = nullptr;
}

// --- key tables -------------------------------------------------------------

int Bound(const KeyCallback* table) {
    int n = 0;
    for (int i = 0; i < INPUT_KEY_COUNT; ++i) n += table[i] != nullptr;
    return n;
}

TEST(KeyTables, GameModeHasItsKeysAndNoWayIntoTheEditor) {
    KeyCallback game[INPUT_KEY_COUNT];
    BuildGameKeyTable(game);
    // Eight to walk; Enter, keypad Enter, Space, 1 to 9 and J noted for the
    // conversation and the quest log.
    EXPECT_EQ(Bound(game), 8 + 13);
    const int walk[] = {DIK_UP, DIK_HOME, DIK_DOWN, DIK_END, DIK_LEFT, DIK_DELETE, DIK_RIGHT, DIK_NEXT};
    for (int k : walk) EXPECT_NE(game[k], nullptr) << k;
    EXPECT_EQ(game[DIK_M], nullptr);
    EXPECT_EQ(game[DIK_UP], game[DIK_HOME]);
    KeyCallback editor[INPUT_KEY_COUNT];
    BuildEditorKeyTable(editor);
    EXPECT_EQ(Bound(editor), 8 + 31);
    for (int k : walk) EXPECT_EQ(editor[k], game[k]) << k;
    EXPECT_EQ(editor[DIK_RETURN], nullptr);
    EXPECT_EQ(editor[DIK_J], nullptr);
    EXPECT_FALSE(InstallKeyBindings(nullptr, true));
}

TEST_F(CameraTest, TheGamesKeysAreNotedOnceForTheFrameToTake) {
    ClearKeyPresses();
    Key(DIK_J, true);
    Key(DIK_J, false);
    Key(DIK_3, true);
    Key(DIK_UP, true);
    Run(1);
    EXPECT_EQ(camera.movement[MOVE_FORWARD], 1);  // walking keys still walk
    EXPECT_TRUE(TakeKeyPress(DIK_J));
    EXPECT_FALSE(TakeKeyPress(DIK_J));  // once per press
    EXPECT_FALSE(TakeKeyPress(DIK_SPACE));
    EXPECT_FALSE(TakeKeyPress(-1));
    ClearKeyPresses();
    EXPECT_FALSE(TakeKeyPress(DIK_3));
    Key(DIK_3, false);  // a release is no press
    Run(1);
    EXPECT_FALSE(TakeKeyPress(DIK_3));
    EXPECT_NE(std::string(GameKeysHelp()).find("J "), std::string::npos);
}

// Records the editor calls that reach the game's imports.
class RecordingEditor : public NullImports {
public:
    void EditorEnterEditMode(int mode) override { calls.push_back("mode " + std::to_string(mode)); }
    void EditorCommand(EditorKeyCommand command) override {
        const char* names[] = {"delete", "edit", "spawn", "script", "load", "flag"};
        calls.push_back(names[command]);
    }
    std::vector<std::string> calls;
};

class EditorKeysTest : public CameraTest {
protected:
    void SetUp() override {
        CameraTest::SetUp();
        ASSERT_TRUE(InstallKeyBindings(&driver, true));
        saved = g_imports;
    }
    void TearDown() override {
        g_imports = saved;
        CameraTest::TearDown();
    }
    void Tap(int code) {
        Key(code, true);
        Key(code, false);
        camera.Update(0.0f);
    }
    Settings& settings() { return log.settings(); }
    GameImports* saved = nullptr;
};

TEST_F(EditorKeysTest, SpeedKeys) {
    Tap(DIK_1);
    EXPECT_EQ(settings().movementSpeed, 450.0f);
    Tap(DIK_2);
    EXPECT_EQ(settings().movementSpeed, 600.0f);
    Tap(DIK_3);
    EXPECT_EQ(settings().movementSpeed, 1000.0f);
    Tap(DIK_4);
    EXPECT_EQ(settings().movementSpeed, 8000.0f);
    Tap(DIK_1);
    Tap(DIK_ADD);
    EXPECT_EQ(settings().movementSpeed, 600.0f);
    for (int i = 0; i < 5; ++i) Tap(DIK_SUBTRACT);
    EXPECT_EQ(settings().movementSpeed, 0.0f);  // never below 0
    // A release alone changes nothing.
    Key(DIK_4, false);
    camera.Update(0.0f);
    EXPECT_EQ(settings().movementSpeed, 0.0f);
}

TEST_F(EditorKeysTest, TogglesActOnThePress) {
    Tap(DIK_M);
    EXPECT_EQ(settings().editor, 1);
    Tap(DIK_M);
    EXPECT_EQ(settings().editor, 0);
    uint8_t debug = settings().showDebugText, helpers = settings().showHelperObjects;
    uint8_t shading = settings().fullShading;
    Tap(DIK_I);
    Tap(DIK_H);
    Tap(DIK_W);
    Tap(DIK_F5);
    EXPECT_EQ(settings().showDebugText, !debug);
    EXPECT_EQ(settings().showHelperObjects, !helpers);
    EXPECT_EQ(settings().fullShading, !shading);
    EXPECT_EQ(settings().collisionOn, 1);
}

TEST_F(EditorKeysTest, RiseAndSinkOnlyWhileCollisionIsOff) {
    Key(DIK_PRIOR, true);
    camera.Update(kStep);
    EXPECT_EQ(camera.movement[MOVE_RISE], 1);
    EXPECT_GT(camera.velocity.y, 0.0f);
    EXPECT_GT(camera.position.y, 0.0f);
    Key(DIK_PRIOR, false);
    Key(DIK_INSERT, true);
    camera.Update(kStep);
    EXPECT_EQ(camera.movement[MOVE_RISE], 0);
    EXPECT_EQ(camera.movement[MOVE_SINK], 1);
    Key(DIK_INSERT, false);
    settings().collisionOn = 1;
    Key(DIK_PRIOR, true);
    Key(DIK_INSERT, true);
    camera.Update(0.0f);
    EXPECT_EQ(camera.movement[MOVE_RISE], 0);
    EXPECT_EQ(camera.movement[MOVE_SINK], 0);
}

TEST_F(EditorKeysTest, HeldEditModes) {
    RecordingEditor editor;
    g_imports = &editor;
    const struct {
        int key;
        int mode;
    } held[] = {{DIK_L, 4},        {DIK_A, 7}, {DIK_SPACE, 5}, {DIK_LSHIFT, 1},
                {DIK_LCONTROL, 2}, {DIK_Z, 3}, {DIK_X, 6}};
    for (const auto& h : held) {
        Key(h.key, true);
        camera.Update(0.0f);
        EXPECT_EQ(settings().editorSelectionMode, h.mode) << h.key;
        Key(h.key, false);
        camera.Update(0.0f);
        EXPECT_EQ(settings().editorSelectionMode, 0) << h.key;
    }
    // Only the mouse-motion modes start their sums again.
    EXPECT_EQ(editor.calls, (std::vector<std::string>{"mode 1", "mode 2", "mode 3", "mode 6"}));
}

TEST_F(EditorKeysTest, CommandsGoToTheEditor) {
    RecordingEditor editor;
    g_imports = &editor;
    for (int key : {DIK_D, DIK_F1, DIK_F10, DIK_F11, DIK_F12, DIK_T}) Tap(key);
    EXPECT_EQ(editor.calls, (std::vector<std::string>{"delete", "edit", "spawn", "script", "load", "flag"}));
}

TEST_F(EditorKeysTest, WithoutAGameEachEditorCommandLogsOneLine) {
    Tap(DIK_D);
    Tap(DIK_F12);
    Key(DIK_LSHIFT, true);
    camera.Update(0.0f);
    EXPECT_EQ(log.Count("game not linked - editor delete command dropped\n"), 1);
    EXPECT_EQ(log.Count("game not linked - editor model loading dropped\n"), 1);
    EXPECT_EQ(log.Count("game not linked - editor edit mode 1 dropped\n"), 1);
}

TEST_F(EditorKeysTest, PReportsTheCamera) {
    camera.LookAt(VECTOR(1.5f, 2, 3), VECTOR(2.5f, 2, 3), 0.0f);
    camera.direction = VECTOR(1, 0, 0);
    Key(DIK_P, true);
    camera.Update(0.0f);  // re-aims first: direction from the mouse (yaw 0)
    EXPECT_TRUE(log.Has("Position == (1.500000, 2.000000, 3.000000)\n"));
    EXPECT_TRUE(log.Has("LookAt == (2.500000, 2.000000, 3.000000)\n"));
}

TEST_F(EditorKeysTest, PKeepsReportingThePlayerCamera) {
    PlayerCamera other(1.0f, 100);  // a camera made later, for another view
    other.LookAt(VECTOR(9, 9, 9), VECTOR(10, 9, 9), 0.0f);
    EXPECT_EQ(ReportedCamera(), &camera);
    Key(DIK_P, true);
    camera.Update(0.0f);
    EXPECT_TRUE(log.Has("Position == (0.000000, 0.000000, 0.000000)\n"));
    EXPECT_FALSE(log.Has("9.000000"));
}

TEST_F(EditorKeysTest, ClockAndWeatherKeysGoToTheWorld) {
    World world;
    g_world = &world;
    world.timeOfDay = 7000;
    Tap(DIK_0);
    EXPECT_EQ(world.timeOfDay, 8000);
    Tap(DIK_9);
    Tap(DIK_9);
    EXPECT_EQ(world.timeOfDay, 6000);
    Tap(DIK_B);
    EXPECT_EQ(world.weatherFading, 1);
    EXPECT_EQ(world.weatherTarget, 50);
    world.weatherFading = 0;
    Tap(DIK_G);
    EXPECT_EQ(world.weatherTarget, 0);
    EXPECT_EQ(world.weatherFading, 1);
    g_world = nullptr;
}

// --- movement clock ---------------------------------------------------------

TEST(PlayerStep, AtMostThirtyFiveUpdatesASecond) {
    // 100 frames a second: 35 movements a second, each one interval long,
    // and the movements add up to the time that passed (less at most one
    // interval still pending).
    PlayerStepClock clock;
    clock.Reset(0.0f);
    int updates = 0;
    double total = 0.0;
    for (int frame = 1; frame <= 1000; ++frame) {
        float dt = 0.0f;
        if (clock.Due(frame * 0.01f, &dt)) {
            ++updates;
            total += dt;
            EXPECT_NEAR(dt, kPlayerUpdateInterval, 1e-6f);
        }
    }
    EXPECT_GE(updates, 349);
    EXPECT_LE(updates, 350);
    EXPECT_GE(total, 10.0 - kPlayerUpdateInterval - 1e-3);
    EXPECT_LE(total, 10.0 + 1e-3);

    // Frames slower than the interval: one movement per frame, each taking
    // the whole frame time.
    clock.Reset(0.0f);
    updates = 0;
    total = 0.0;
    for (int frame = 1; frame <= 20; ++frame) {
        float dt = 0.0f;
        if (clock.Due(frame * 0.1f, &dt)) {
            ++updates;
            total += dt;
        }
    }
    EXPECT_EQ(updates, 20);
    EXPECT_NEAR(total, 2.0, 1e-4);

    // However fast the frames, never more than 35 a second.
    clock.Reset(0.0f);
    updates = 0;
    for (int frame = 1; frame <= 10000; ++frame)
        if (clock.Due(frame * 0.0001f, nullptr)) ++updates;
    EXPECT_LE(updates, 35);
    EXPECT_GE(updates, 34);
}

}  // namespace
