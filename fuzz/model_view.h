// Uses a loaded model as the world does in one frame and its clicks: drawn
// through the frustum and without one, with and without morph weights,
// posed, picked by a ray through its box, collided against by the player's
// ellipsoid, its textures swapped as the night lights do.
#ifndef ZENDAR_FUZZ_MODEL_VIEW_H
#define ZENDAR_FUZZ_MODEL_VIEW_H

#include "models/z1model/z1model.h"

namespace fuzz {

// frames: how many frames to draw (the clock moves on between them).
void UseModel(Z1Model& model, int frames);

}  // namespace fuzz

#endif
