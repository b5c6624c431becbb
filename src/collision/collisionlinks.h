// Collision installed into the seams the culling and world code call through:
// the triangle tests their quadtrees and models end in, and the entity side
// of the collision traversal.
#ifndef ZENDAR_COLLISION_COLLISIONLINKS_H
#define ZENDAR_COLLISION_COLLISIONLINKS_H

#include "culling/triangletests.h"
#include "world/worldlinks.h"

class CollisionTriangleTests : public TriangleTests {
public:
    bool PacketTouchesBox(CollisionPacket* packet, const float box[6]) override;
    void CollideTriangles(CollisionPacket* packet, const VERTEX* vertices, const uint16_t* indices,
                          int triangleCount) override;
    void RayTriangles(RayQuery* query, const VERTEX* vertices, const uint16_t* indices, int triangleCount,
                      bool twoSided) override;
};

class WorldCollisionLink : public CollisionLink {
public:
    bool TouchesBox(CollisionPacket* packet, const float box[6]) override;
    void SetCurrentEntity(CollisionPacket* packet, Entity* entity) override;
    void CollideModel(CollisionPacket* packet, Z1Model* model, const MATRIX& world) override;
    void CollideBox(CollisionPacket* packet, const float box[6], const MATRIX& world) override;
};

// Installs both (idempotent).
void InstallCollisionLinks();

// The twelve triangles of a box, facing outwards: 8 corners and 36 indices.
void BoxTriangles(const float box[6], VERTEX corners[8], uint16_t indices[36]);

#endif
