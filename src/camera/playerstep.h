// The player's movement clock: the game frame moves the player at most 35
// times a second however fast frames run, each time by the seconds since the
// last movement.
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
        if (dt) *dt = elapsed;
        lastUpdate = now;
        return true;
    }

    float lastUpdate = 0.0f;
};

#endif
