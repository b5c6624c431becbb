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
    AnimTrack(int speed, int ticks, int last);

    // Keys arrive in file order, ascending times.
    void AddPositionKey(const AnimPosKey& key);
    void AddRotationKey(const AnimRotKey& key);

    // Plays ticks from..to; nothing when already playing. to <= 0 plays to the last frame.
    void Play(int32_t from, int32_t to, bool loop);

    // Offset for the current time, relative to the pivot and in engine axes.
    // False (and no change to out) when the track has no position keys.
    bool EvaluatePosition(VECTOR& out);
    // Rotation for the current time.
    void EvaluateRotation(MATRIX& out);
    // Translation by the position and the rotation, as the model draws it:
    // rotation x translation(offset).
    void EvaluateNode(MATRIX& out);

    bool HasPositionKeys() const { return !posKeys.empty(); }
    bool HasRotationKeys() const { return !rotKeys.empty(); }

    int frameSpeed;
    int ticksPerFrame;
    int lastFrame;
    uint8_t playing = 0;
    uint8_t looping = 0;
    int32_t startTick = 0;
    int32_t endTick = 0;
    MATRIX pivotOut;        // translate by -pivot
    MATRIX pivotIn;         // translate by +pivot
    MATRIX running;         // rotation of the keys walked past
    uint32_t rotStart = 0;  // clock time the rotation list started
    uint32_t posStart = 0;
    // The clock may read 0 itself (tests, the fixed-step harness), so
    // "started" is kept apart from the start time.
    bool rotStarted = false;
    bool posStarted = false;
    std::vector<AnimRotKey> rotKeys;
    std::vector<AnimPosKey> posKeys;
    int rotCursor = -1;
    int posCursor = -1;
    std::string nodeName;
    VECTOR pivot = {0, 0, 0};  // as read from the file

    void SetPivot(const VECTOR& p);

private:
    int32_t CurrentTick(uint32_t startTime) const;
    int FirstKeyFrom(int32_t tick, bool rotation) const;
    void ApplyRotation(const AnimRotKey& key, float angle, MATRIX& inOut) const;
    void ReplayRotations(int upTo);
};

#endif
