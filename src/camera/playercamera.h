// The player: a first-person camera. The mouse turns it (yaw from the
// horizontal position, a vertical look component from the vertical one),
// the movement keys push it with acceleration and friction up to a speed
// cap, a small roll sway plays while walking, and every step goes through
// the world's collide and slide before the eye is placed 80 units above the
// body. The editor flies the same camera.
#ifndef ZENDAR_CAMERA_PLAYERCAMERA_H
#define ZENDAR_CAMERA_PLAYERCAMERA_H

#include <cstdint>

#include "math/zmath.h"

class CPlane;

// The movement flags, set by the key callbacks while their keys are held.
enum MovementFlag {
    MOVE_FORWARD = 0,
    MOVE_BACKWARD = 1,
    MOVE_STRAFE_A = 2,  // strafe -1
    MOVE_STRAFE_B = 3,  // strafe +1
    MOVE_RISE = 6,      // vertical -1 (the velocity's y grows)
    MOVE_SINK = 7,      // vertical +1
    MOVEMENT_FLAG_COUNT = 8,
};

// The body tested against the world is this far below the eye.
constexpr float kEyeHeight = 80.0f;
constexpr float kNearPlane = 1.0f;

class PlayerCamera {
public:
    // fov in radians; backPlane: the far plane distance.
    PlayerCamera(float fov, int backPlane);
    ~PlayerCamera();
    PlayerCamera(const PlayerCamera&) = delete;
    PlayerCamera& operator=(const PlayerCamera&) = delete;

    void SetFarPlane(int backPlane);
    void SetFieldOfView(float fov);
    // Places the eye and aims it at target, rolled about the view axis. A
    // target at the eye (or straight along the up vector) leaves the view
    // matrix as it was; the eye and roll are still stored.
    void LookAt(const VECTOR& eye, const VECTOR& target, float roll);
    // The frustum from the view and projection.
    void UpdateFrustum();
    // Moves the eye, keeping the view direction.
    void MoveBy(float dx, float dy, float dz);
    // One movement step of dt seconds: polls the input driver with the
    // movement flags as the context, turns with the mouse, walks and collides.
    // dt = 0 only re-aims the camera.
    void Update(float dt);

    // The context handed to the input driver: the key callbacks set these.
    uint8_t* MovementFlags() { return movement; }
    // The point the camera looks at: position + direction.
    VECTOR LookAtPoint() const { return position + direction; }

    VECTOR up;
    VECTOR position;
    VECTOR direction;
    VECTOR velocity;
    MATRIX projection;
    float fieldOfView;
    float aspect;
    float nearPlane;
    float farPlane;
    MATRIX view;
    float yaw = 0.0f;
    float roll = 0.0f;
    float swayPhase = 0.0f;
    uint8_t movement[MOVEMENT_FLAG_COUNT];
    CPlane* frustum;

private:
    void BuildProjection();
};

#endif
