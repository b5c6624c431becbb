// The ray query record used by picking (the editor's and the game's click)
// and by line-of-sight tests. The scene tree sets the current entity before
// each entity's test; the entity's model (triangles) or, for the kinds shown
// by a marker, the marker records the nearest hit. Distances are world units
// from the start whatever space a model measures in, so the nearest thing
// wins across entities.
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
    bool pickMode = false;  // a click: the nearest thing seen wins
    // Lights, cameras and emitters are seen only as the editor's markers;
    // without those on screen nothing of them can be clicked.
    bool markersPickable = false;
    bool stopAtFirstHit = false;
    VECTOR modelStart;  // filled by each model while it is tested
    VECTOR modelEnd;
    Entity* hitEntity = nullptr;
    int hitCount = 0;
    int trianglesTested = 0;  // every triangle handed to the ray test: what a query cost
    Z1SubMesh* hitSubMesh = nullptr;
    float bestDistance = 0.0f;  // world units from start
    VECTOR hitPoint;            // in the hit model's own space (mesh hits only)
};

#endif
