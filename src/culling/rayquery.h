// The ray query record of picking and line-of-sight tests: filled by the
// scene tree traversal, narrowed by each model, answered by the ray-triangle
// test of collision.
#ifndef ZENDAR_CULLING_RAYQUERY_H
#define ZENDAR_CULLING_RAYQUERY_H

#include "math/zmath.h"

class Entity;
class Z1SubMesh;

struct RayQuery {
    Entity* current_entity = nullptr;    // set before each entity's test
    VECTOR start = {0, 0, 0};            // world space
    VECTOR end = {0, 0, 0};
    VECTOR direction = {0, 0, 0};        // end - start, normalised
    bool pick_mode = false;              // entities without a mesh are hit by their boxes
    bool stop_at_first = false;
    VECTOR model_start = {0, 0, 0};      // filled by each model while it is tested
    VECTOR model_end = {0, 0, 0};
    Entity* hit_entity = nullptr;
    int hit_count = 0;
    Z1SubMesh* hit_submesh = nullptr;
    float best_distance = 0.0f;
    VECTOR hit_point = {0, 0, 0};
    // The submesh whose triangles are being tested (set by the model).
    Z1SubMesh* current_submesh = nullptr;
};

#endif
