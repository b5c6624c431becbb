#include "collision/collisionlinks.h"

#include <cstring>

#include "collision/collision.h"
#include "utility/log.h"

bool CollisionTriangleTests::PacketTouchesBox(CollisionPacket* packet, const float box[6]) {
    return PacketTouchesModelBox(packet, box);
}

void CollisionTriangleTests::CollideTriangles(CollisionPacket* packet, const VERTEX* vertices,
                                              const uint16_t* indices, int triangleCount) {
    ::CollideTriangles(packet, vertices, indices, triangleCount);
}

void CollisionTriangleTests::RayTriangles(RayQuery* query, const VERTEX* vertices, const uint16_t* indices,
                                          int triangleCount, bool twoSided) {
    ::RayTriangles(query, vertices, indices, triangleCount, twoSided);
}

bool WorldCollisionLink::TouchesBox(CollisionPacket* packet, const float box[6]) {
    if (!packet || !box) return false;
    return SphereIntersectsBox(packet->broadCentre, packet->broadRadius, box);
}

void WorldCollisionLink::SetCurrentEntity(CollisionPacket* packet, Entity* entity) {
    if (packet) packet->currentEntity = entity;
}

void BoxTriangles(const float b[6], VERTEX corners[8], uint16_t indices[36]) {
    std::memset(corners, 0, sizeof(VERTEX) * 8);
    // Corner i: bit 0 picks max x, bit 1 max y, bit 2 max z.
    for (int i = 0; i < 8; ++i) {
        corners[i].x = b[(i & 1) ? 3 : 0];
        corners[i].y = b[(i & 2) ? 4 : 1];
        corners[i].z = b[(i & 4) ? 5 : 2];
    }
    // Two triangles per face, wound so that (B - A) x (C - A) points out.
    static const uint16_t kFaces[36] = {
        0, 2, 1, 1, 2, 3,  // -z
        4, 5, 6, 5, 7, 6,  // +z
        0, 4, 2, 2, 4, 6,  // -x
        1, 3, 5, 3, 7, 5,  // +x
        0, 1, 4, 1, 5, 4,  // -y
        2, 6, 3, 3, 6, 7,  // +y
    };
    std::memcpy(indices, kFaces, sizeof kFaces);
}

void WorldCollisionLink::CollideBox(CollisionPacket* packet, const float box[6], const MATRIX& world) {
    if (!packet || !box) return;
    packet->SetWorldMatrix(world);
    if (!PacketTouchesModelBox(packet, box)) return;
    VERTEX corners[8];
    uint16_t indices[36];
    BoxTriangles(box, corners, indices);
    ::CollideTriangles(packet, corners, indices, 12);
}

namespace {
CollisionTriangleTests s_triangleTests;
WorldCollisionLink s_collisionLink;
}  // namespace

void InstallCollisionLinks() {
    SetTriangleTests(&s_triangleTests);
    g_collisionLink = &s_collisionLink;
}
