// Node animation: the position and rotation keys a model file stores for a
// geometry object, light or camera, played on the file's tick time base
// against the millisecond clock.
#ifndef ZENDAR_ANIMATION_ANIMTRACK_H
#define ZENDAR_ANIMATION_ANIMTRACK_H

#include <cstdint>
#include <string>
#include <vector>

#include "math/zmath.h"

enum {
    ANIMKEY_POS_SPLINE = 0,
    ANIMKEY_POS_LINEAR = 1,
    ANIMKEY_ROT_SPLINE = 2,
    ANIMKEY_ROT_LINEAR = 3
};

struct AnimPosKey {
    uint8_t kind;
    int32_t time;  // ticks
    VECTOR p;
    VECTOR extra1;  // spline keys: the file's floats 4-6
    VECTOR extra2;  // spline keys: floats 7-9, the tangent
};

struct AnimRotKey {
    uint8_t kind;
    int32_t time;
    VECTOR axis;
    float angle;      // radians
    float params[5];  // spline keys: p1-p5
};

class AnimTrack {
public:
    AnimTrack(int frameSpeed, int ticksPerFrame, int lastFrame);

    // Keys arrive in file order, ascending times.
    void AddPositionKey(const AnimPosKey& key);
    void AddRotationKey(const AnimRotKey& key);

    // Nothing when already playing. end <= 0 plays to the last frame.
    void Play(int32_t startTick, int32_t endTick, bool loop);

    // Offset for the current time, relative to the pivot and in engine axes.
    // False (and no change to out) when the track has no position keys.
    bool EvaluatePosition(VECTOR& out);
    // Rotation for the current time.
    void EvaluateRotation(MATRIX& out);
    // Translation by the position and the rotation, as the model draws it:
    // rotation x translation(offset).
    void EvaluateNode(MATRIX& out);

    bool HasPositionKeys() const { return !pos_keys.empty(); }
    bool HasRotationKeys() const { return !rot_keys.empty(); }

    int frame_speed;
    int ticks_per_frame;
    int last_frame;
    uint8_t playing = 0;
    uint8_t looping = 0;
    int32_t start_tick = 0;
    int32_t end_tick = 0;
    MATRIX pivot_out;        // translate by -pivot
    MATRIX pivot_in;         // translate by +pivot
    MATRIX running;          // rotation of the keys walked past
    uint32_t rot_start = 0;  // clock time the rotation list started
    uint32_t pos_start = 0;
    // The clock may read 0 itself (tests, the fixed-step harness), so
    // "started" is kept apart from the start time.
    bool rot_started = false;
    bool pos_started = false;
    std::vector<AnimRotKey> rot_keys;
    std::vector<AnimPosKey> pos_keys;
    int rot_cursor = -1;
    int pos_cursor = -1;
    std::string node_name;
    VECTOR pivot = {0, 0, 0};  // as read from the file

    void SetPivot(const VECTOR& p);

private:
    int32_t CurrentTick(uint32_t startTime) const;
    int FirstKeyFrom(int32_t tick, bool rotation) const;
    void ApplyRotation(const AnimRotKey& key, float angle, MATRIX& inOut) const;
    void ReplayRotations(int upTo);
};

#endif
