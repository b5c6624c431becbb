// The player's movement clock: the game frame moves the player at most 35
// times a second however fast frames run. While frames come faster than the
// interval, each movement is one interval long and the clock advances by
// exactly that much, so the player really moves 35 times a second (at 100
// frames a second, taking the whole elapsed time instead would round every
// step up to three frames and give only 33). When frames are slower than
// the interval, one movement takes the whole elapsed time: nothing is made
// up in bulk and no time is lost.
#ifndef ZENDAR_CAMERA_PLAYERSTEP_H
#define ZENDAR_CAMERA_PLAYERSTEP_H

constexpr float kPlayerUpdateInterval = 1.0f / 35.0f;

class PlayerStepClock {
public:
    // The clock starts counting at now (so a long intro is not one huge step).
    void Reset(float now) { lastUpdate = now; }
    // True when more than the interval has passed since the last movement;
    // *dt is then that time and the movement counts as done at now.
    bool Due(float now, float* dt) {
        float elapsed = now - lastUpdate;
        if (!(elapsed > kPlayerUpdateInterval)) return false;
        if (elapsed < 2.0f * kPlayerUpdateInterval) {
            if (dt) *dt = kPlayerUpdateInterval;
            lastUpdate += kPlayerUpdateInterval;
        } else {
            if (dt) *dt = elapsed;
            lastUpdate = now;
        }
        return true;
    }

    float lastUpdate = 0.0f;
};

#endif
