// The ray query record used by picking (the editor's and the game's click)
// and by line-of-sight tests. The scene tree sets the current entity before
// each entity's test; the entity (box pick) or its model (triangles) records
// the nearest hit.
#ifndef ZENDAR_COLLISION_RAYQUERY_H
#define ZENDAR_COLLISION_RAYQUERY_H

#include "math/zmath.h"

class Entity;
class Z1SubMesh;

struct RayQuery {
    Entity* currentEntity = nullptr;
    VECTOR start;
    VECTOR end;
    VECTOR direction;       // end - start, normalised
    bool pickMode = false;  // entities without a mesh are hit by their boxes
    bool stopAtFirstHit = false;
    VECTOR modelStart;  // filled by each model while it is tested
    VECTOR modelEnd;
    Entity* hitEntity = nullptr;
    int hitCount = 0;
    int trianglesTested = 0;  // every triangle handed to the ray test: what a query cost
    Z1SubMesh* hitSubMesh = nullptr;
    float bestDistance = 0.0f;
    VECTOR hitPoint;
};

#endif
