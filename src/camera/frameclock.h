// The frame clock: when the last frame began, the frame-rate counter, the
// player's movement clock and the times the last frame spent. The game's
// frames and the editor's both keep it; the overlay phases fill in their
// drawing times.
#ifndef ZENDAR_CAMERA_FRAMECLOCK_H
#define ZENDAR_CAMERA_FRAMECLOCK_H

#include "camera/playerstep.h"

class DialogTextBox;

// Seconds as 32-bit floats from the seconds clock.
struct FrameClock {
    float lastFrameTime = 0.0f;                 // start of the previous game frame; set first by the intro
    float rateTimeSum = 0.0f;                   // seconds summed since the last rate update
    int frameCount = 0;                         // frames since the last rate update
    float framesPerSecond = 0.0f;               // the last computed rate
    PlayerStepClock playerStep;                 // last player update; at most one per kPlayerUpdateInterval
    float gameFrameWorkTime = 0.0f;             // seconds inside the last game frame
    float worldRenderTime = 0.0f;               // seconds rendering the world in the last overlay phase
    float drawTime = 0.0f;                      // seconds of the last overlay phase, BeginScene to ShowFrame
    DialogTextBox* conversationView = nullptr;  // the conversation on screen, or null
};

extern FrameClock g_frameClock;

#endif
