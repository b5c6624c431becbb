// The frame being drawn as the things in it see it. The world fills it in
// (the area its camera and sight test, the world the sky's colours); entities
// and particle systems only read it, so they need nothing from the world.
#ifndef ZENDAR_CULLING_FRAMEVIEW_H
#define ZENDAR_CULLING_FRAMEVIEW_H

#include <cstdint>

#include "math/zmath.h"

struct FrameView {
    // An area is loaded. Without one nothing is near the camera and every
    // line of sight is clear.
    bool areaLoaded = false;
    // Where the camera of the frame being drawn stands.
    VECTOR camera{0.0f, 0.0f, 0.0f};
    // Whether nothing solid lies between two points; null while no area is loaded.
    bool (*lineOfSight)(const VECTOR& from, const VECTOR& to) = nullptr;
    // The sky's colours (packed ARGB), which objects lit indoors put back
    // after drawing in their own light; zero while no world runs.
    uint32_t ambientColor = 0;
    uint32_t fogColor = 0;
};

extern FrameView g_frameView;

#endif
