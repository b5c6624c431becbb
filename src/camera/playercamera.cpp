#include "camera/playercamera.h"

#include <cmath>

#include "camera/keybindings.h"
#include "culling/cplane.h"
#include "gfxdriver/gfxdriver.h"
#include "input/inputdriver.h"
#include "settings/settings.h"
#include "utility/log.h"
#include "world/world.h"

namespace {

// The tuning values when no settings record exists (tools, tests).
constexpr float kDefaultSpeed = 1050.0f;
constexpr float kDefaultSwayAmplitude = 0.01f;
constexpr float kDefaultSwayFrequency = 10.0f;
constexpr float kDefaultSwayReturn = 5.0f;
constexpr float kQuarterTurn = 1.5707964f;

// Moves value towards 0 by step and stops there.
float TowardsZero(float value, float step) {
    if (value > 0.0f) return value > step ? value - step : 0.0f;
    if (value < 0.0f) return value < -step ? value + step : 0.0f;
    return 0.0f;
}

}  // namespace

PlayerCamera::PlayerCamera(float fov, int backPlane)
    : up(0.0f, 1.0f, 0.0f),
      position(0.0f, 0.0f, 0.0f),
      direction(1.0f, 0.0f, 0.0f),
      velocity(0.0f, 0.0f, 0.0f),
      fieldOfView(fov),
      aspect(0.75f),
      nearPlane(kNearPlane),
      farPlane(static_cast<float>(backPlane)) {
    for (uint8_t& m : movement) m = 0;
    if (g_gfxdriver && g_gfxdriver->width > 0)
        aspect = static_cast<float>(g_gfxdriver->height) / static_cast<float>(g_gfxdriver->width);
    // The view is the identity until the first look at.
    MatrixIdentity(view);
    BuildProjection();
    frustum = new CPlane();
    UpdateFrustum();
    // The first camera is the player's; cameras made later for other views
    // (conversations) do not take over the P key.
    if (!ReportedCamera()) SetReportedCamera(this);
}

PlayerCamera::~PlayerCamera() {
    if (ReportedCamera() == this) SetReportedCamera(nullptr);
    delete frustum;
}

void PlayerCamera::BuildProjection() {
    // A degenerate field of view or depth range keeps the identity rather
    // than dividing by nothing.
    if (!MatrixPerspective(projection, fieldOfView, aspect, nearPlane, farPlane)) MatrixIdentity(projection);
}

void PlayerCamera::SetFarPlane(int backPlane) {
    farPlane = static_cast<float>(backPlane);
    BuildProjection();
}

void PlayerCamera::SetFieldOfView(float fov) {
    fieldOfView = fov;
    BuildProjection();
}

void PlayerCamera::LookAt(const VECTOR& eye, const VECTOR& target, float rollAngle) {
    position = eye;
    roll = rollAngle;
    VECTOR forward = target - eye;
    float length = VectorLength(forward);
    if (length <= 0.000001f) return;
    forward *= 1.0f / length;

    VECTOR upward = up - forward * VectorDot(up, forward);
    length = VectorLength(upward);
    // Looking straight along the up vector leaves no up direction to keep.
    if (length <= 0.000001f) return;
    upward *= 1.0f / length;
    if (rollAngle != 0.0f) {
        // About the view axis: upward stays at right angles to forward.
        upward = upward * std::cos(rollAngle) + VectorCross(forward, upward) * std::sin(rollAngle);
    }
    VECTOR right = VectorCross(upward, forward);

    MatrixIdentity(view);
    view.m[0] = right.x;
    view.m[4] = right.y;
    view.m[8] = right.z;
    view.m[1] = upward.x;
    view.m[5] = upward.y;
    view.m[9] = upward.z;
    view.m[2] = forward.x;
    view.m[6] = forward.y;
    view.m[10] = forward.z;
    view.m[12] = -VectorDot(eye, right);
    view.m[13] = -VectorDot(eye, upward);
    view.m[14] = -VectorDot(eye, forward);
}

void PlayerCamera::UpdateFrustum() {
    MATRIX combined;
    MatrixMultiply(combined, view, projection);
    frustum->SetFromMatrix(combined);
}

void PlayerCamera::MoveBy(float dx, float dy, float dz) {
    VECTOR eye = position + VECTOR(dx, dy, dz);
    LookAt(eye, eye + direction, roll);
}

void PlayerCamera::Update(float dt) {
    // 1. Poll the devices; the key callbacks set the movement flags.
    if (g_inputdriver) {
        if (!g_inputdriver->Update(movement)) {
            g_inputdriver->AcquireKeyboard();
            g_inputdriver->AcquireMouse();
            if (!g_inputdriver->Update(movement)) LogLine("Error - could not update input devices!");
        }
    }

    // 2. Aim by the mouse (a failed poll left the old position in place).
    double mouseX = yaw, mouseY = 0.0;
    bool inverted = g_settings && g_settings->inverted_mouse;
    if (g_inputdriver) {
        g_inputdriver->GetMousePosition(&mouseX, &mouseY, nullptr);
    } else {
        mouseY = inverted ? direction.y : -direction.y;
    }
    yaw = static_cast<float>(mouseX);
    float look = static_cast<float>(mouseY);
    direction = VECTOR(std::cos(yaw), inverted ? look : -look, std::sin(yaw));

    // 3. The first frame only aims.
    if (dt == 0.0f) {
        LookAt(position, position + direction, roll);
        UpdateFrustum();
        return;
    }

    // 4. Movement vector, acceleration and speed cap.
    float forward = static_cast<float>((movement[MOVE_FORWARD] ? 1 : 0) - (movement[MOVE_BACKWARD] ? 1 : 0));
    float strafe = static_cast<float>((movement[MOVE_STRAFE_B] ? 1 : 0) - (movement[MOVE_STRAFE_A] ? 1 : 0));
    float vertical = static_cast<float>((movement[MOVE_SINK] ? 1 : 0) - (movement[MOVE_RISE] ? 1 : 0));
    float speed = g_settings ? g_settings->movementSpeed : kDefaultSpeed;
    float swayAmplitude = g_settings ? g_settings->swayAmplitude : kDefaultSwayAmplitude;
    float swayFrequency = g_settings ? g_settings->swayFrequency : kDefaultSwayFrequency;
    float swayReturn = g_settings ? g_settings->swayReturn : kDefaultSwayReturn;
    float accel = speed * 10.0f;
    int maxSpeed = static_cast<int>(speed);

    if (forward == 0.0f && strafe == 0.0f && vertical == 0.0f) {
        // 5. Standing: the sway settles and friction brakes each axis.
        roll = TowardsZero(roll, swayReturn * swayAmplitude * dt);
        swayPhase = 0.0f;
        float brake = accel * dt;
        velocity.x = TowardsZero(velocity.x, brake);
        velocity.y = TowardsZero(velocity.y, brake);
        velocity.z = TowardsZero(velocity.z, brake);
    } else {
        // 6. Walking.
        roll = swayAmplitude * std::sin(swayPhase);
        swayPhase += dt * swayFrequency;
        float push = accel * dt;
        velocity.x += forward * std::cos(yaw) * push;
        velocity.z += forward * std::sin(yaw) * push;
        velocity.x -= strafe * std::cos(yaw + kQuarterTurn) * push;
        velocity.z -= strafe * std::sin(yaw + kQuarterTurn) * push;
        velocity.y -= vertical * push;
        float length = VectorLength(velocity);
        if (length > static_cast<float>(maxSpeed)) velocity *= static_cast<float>(maxSpeed) / length;
    }

    // 7. Collide and slide the body below the eye.
    VECTOR displacement = velocity * dt;
    VECTOR body(position.x, position.y - kEyeHeight, position.z);
    VECTOR moved = g_world ? g_world->CheckCollision(body, displacement) : body + displacement;

    // 8. The eye above the body.
    VECTOR eye(moved.x, moved.y + kEyeHeight, moved.z);
    LookAt(eye, eye + direction, roll);
    UpdateFrustum();
}
