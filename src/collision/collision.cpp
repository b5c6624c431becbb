#include "collision/collision.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "collision/rayquery.h"
#include "settings/settings.h"
#include "utility/log.h"

CollisionPacket::CollisionPacket()
    : worldVelocity{},
      broadCentre{},
      radii(1.0f, 1.0f, 1.0f),
      velocity{},
      source{},
      gravity{},
      lastSafePosition{},
      hitTriangle{},
      sphereIntersectionPoint{},
      polygonIntersectionPoint{},
      hitNormal{} {
    MatrixIdentity(worldMatrix);
}

void CollisionPacket::SetWorldMatrix(const MATRIX& world) {
    worldMatrix = world;
    worldIsIdentity = MatrixIsIdentity(world);
}

namespace {

VECTOR DivideBy(const VECTOR& v, const VECTOR& r) { return VECTOR(v.x / r.x, v.y / r.y, v.z / r.z); }
VECTOR MultiplyBy(const VECTOR& v, const VECTOR& r) { return VECTOR(v.x * r.x, v.y * r.y, v.z * r.z); }

// Every component +0 or -0.
bool IsZero(const VECTOR& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

VECTOR Position(const VERTEX& v) { return VECTOR(v.x, v.y, v.z); }

VECTOR WithLength(VECTOR v, float length) {
    VectorSetLength(v, length);
    return v;
}

constexpr float kEdgeEpsilon = 1e-5f;

}  // namespace

bool PointInTriangle(const VECTOR& p, const VECTOR& a, const VECTOR& b, const VECTOR& c) {
    VECTOR n = VectorCross(b - a, c - a);
    VectorNormalize(n);
    const VECTOR* corners[3] = {&a, &b, &c};
    int positive = 0, negative = 0;
    for (int i = 0; i < 3; ++i) {
        const VECTOR& from = *corners[i];
        const VECTOR& to = *corners[(i + 1) % 3];
        // The plane through the edge at right angles to the triangle.
        VECTOR edgeNormal = VectorCross(to - from, n);
        VectorNormalize(edgeNormal);
        float s = VectorDot(p - from, edgeNormal);
        if (s > kEdgeEpsilon) ++positive;
        if (s < -kEdgeEpsilon) ++negative;
    }
    return positive == 0 || negative == 0;
}

VECTOR ClosestPointOnSegment(const VECTOR& p, const VECTOR& a, const VECTOR& b) {
    VECTOR u = b - a;
    float len = VectorLength(u);
    VectorNormalize(u);
    float s = VectorDot(u, p - a);
    if (s < 0.0f) return a;
    if (s > len) return b;
    return a + u * s;
}

VECTOR ClosestPointOnTriangle(const VECTOR& p, const VECTOR& a, const VECTOR& b, const VECTOR& c) {
    VECTOR candidates[3] = {ClosestPointOnSegment(p, a, b), ClosestPointOnSegment(p, b, c),
                            ClosestPointOnSegment(p, c, a)};
    VECTOR best = candidates[0];
    float bestDistance = VectorLength(p - best);
    for (int i = 1; i < 3; ++i) {
        float d = VectorLength(p - candidates[i]);
        if (d < bestDistance) {  // ties keep the earlier edge
            bestDistance = d;
            best = candidates[i];
        }
    }
    return best;
}

bool PacketTouchesModelBox(const CollisionPacket* packet, const float box[6]) {
    if (!packet || !box) return false;
    if (packet->worldIsIdentity) return SphereIntersectsBox(packet->broadCentre, packet->broadRadius, box);
    float world[6];
    TransformBox(world, box, packet->worldMatrix);
    return SphereIntersectsBox(packet->broadCentre, packet->broadRadius, world);
}

namespace {

// A triangle's corners in ellipsoid space: through the packet's world matrix
// unless it is the identity, then divided by the radii.
void Corners(const CollisionPacket* packet, const VERTEX* vertices, const uint16_t* tri, VECTOR corner[3]) {
    for (int k = 0; k < 3; ++k) {
        VECTOR p = Position(vertices[tri[k]]);
        if (!packet->worldIsIdentity) {
            VECTOR t;
            TransformPoint(packet->worldMatrix, p, t);
            p = t;
        }
        corner[k] = DivideBy(p, packet->radii);
    }
}

// The sweep's view of one triangle, worked out as it goes: the functions
// above, normalising on every call.
struct DirectTriangle {
    VECTOR corner[3];
    VECTOR normal;
    bool Contains(const VECTOR& p) const { return PointInTriangle(p, corner[0], corner[1], corner[2]); }
    VECTOR Closest(const VECTOR& p) const {
        return ClosestPointOnTriangle(p, corner[0], corner[1], corner[2]);
    }
};

// The same view from the values a cache holds: the same arithmetic on the
// same inputs, with the unit vectors already made.
struct CachedTriangle {
    const CollisionTriangle& t;
    bool Contains(const VECTOR& p) const {
        int positive = 0, negative = 0;
        for (int i = 0; i < 3; ++i) {
            float s = VectorDot(p - t.corner[i], t.edgeNormal[i]);
            if (s > kEdgeEpsilon) ++positive;
            if (s < -kEdgeEpsilon) ++negative;
        }
        return positive == 0 || negative == 0;
    }
    VECTOR OnEdge(const VECTOR& p, int i) const {
        const VECTOR& a = t.corner[i];
        float s = VectorDot(t.edgeDirection[i], p - a);
        if (s < 0.0f) return a;
        if (s > t.edgeLength[i]) return t.corner[(i + 1) % 3];
        return a + t.edgeDirection[i] * s;
    }
    VECTOR Closest(const VECTOR& p) const {
        VECTOR candidates[3] = {OnEdge(p, 0), OnEdge(p, 1), OnEdge(p, 2)};
        VECTOR best = candidates[0];
        float bestDistance = VectorLength(p - best);
        for (int i = 1; i < 3; ++i) {
            float d = VectorLength(p - candidates[i]);
            if (d < bestDistance) {
                bestDistance = d;
                best = candidates[i];
            }
        }
        return best;
    }
};

// Everything of one triangle that does not depend on the move.
void Prepare(CollisionTriangle& t) {
    const VECTOR e1 = t.corner[1] - t.corner[0], e2 = t.corner[2] - t.corner[0];
    t.degenerate = IsZero(e1) || IsZero(e2);
    if (t.degenerate) return;
    t.normal = VectorCross(e1, e2);
    VectorNormalize(t.normal);
    for (int i = 0; i < 3; ++i) {
        const VECTOR& from = t.corner[i];
        const VECTOR& to = t.corner[(i + 1) % 3];
        t.edgeNormal[i] = VectorCross(to - from, t.normal);
        VectorNormalize(t.edgeNormal[i]);
        t.edgeDirection[i] = to - from;
        t.edgeLength[i] = VectorLength(t.edgeDirection[i]);
        VectorNormalize(t.edgeDirection[i]);
    }
}

// The sweep against one triangle: true when the sphere is embedded in it,
// which ends the list.
template <class Triangle>
bool Sweep(CollisionPacket* packet, const Triangle& triangle, const VECTOR& A, const VECTOR& B,
           const VECTOR& C, const VECTOR& n, const VECTOR& nv, float L, const VECTOR& source) {
    VECTOR sip = source - n;
    int k = ClassifyPoint(sip, A, n);

    double t;
    VECTOR planePoint;
    if (k == POINT_BEHIND_PLANE) {
        // The plane cuts the sphere: the contact is straight towards it.
        t = RayPlaneDistance(sip, n, A, n);
        planePoint = sip + n * static_cast<float>(t);
    } else {
        t = RayPlaneDistance(sip, nv, A, n);
        if (k == POINT_ON_PLANE) {
            if (t <= -1.0) t += 1.0;
            if (t >= 1.0) t -= 1.0;
        }
        if (std::fabs(VectorDot(n, nv)) < 1e-5f) return false;  // moving parallel to the plane
        planePoint = sip + nv * static_cast<float>(t);
    }

    double distance = t;
    VECTOR polygonPoint = planePoint;
    if (!triangle.Contains(planePoint)) {
        polygonPoint = triangle.Closest(planePoint);
        double d = RaySphereDistance(polygonPoint, -nv, source, 1.0f);
        distance = d;
        if (d > 0.0) sip = polygonPoint - nv * static_cast<float>(d);
    }

    if (PointWithinRadius(polygonPoint, source, 1.0)) {
        packet->embedded = true;
        packet->hitNormal = n;
        packet->nearestDistance = distance;
        packet->hitTriangle[0] = A;
        packet->hitTriangle[1] = B;
        packet->hitTriangle[2] = C;
        return true;
    }

    if (distance <= 0.0 || distance > L) return false;
    if (packet->foundCollision && distance >= packet->nearestDistance) return false;

    packet->nearestDistance = distance;
    packet->hitNormal = n;
    packet->sphereIntersectionPoint = sip;
    packet->polygonIntersectionPoint = polygonPoint;
    packet->foundCollision = true;
    packet->hitTriangle[0] = A;
    packet->hitTriangle[1] = B;
    packet->hitTriangle[2] = C;
    packet->hitClassification = k;
    return false;
}

}  // namespace

bool CollisionCacheFits(const CollisionCache& cache, const CollisionPacket* packet, int triangleCount) {
    if (!cache.filled || static_cast<int>(cache.triangles.size()) != triangleCount) return false;
    if (std::memcmp(&cache.radii, &packet->radii, sizeof cache.radii) != 0) return false;
    if (cache.worldIsIdentity != packet->worldIsIdentity) return false;
    return packet->worldIsIdentity ||
           std::memcmp(&cache.world, &packet->worldMatrix, sizeof cache.world) == 0;
}

void CollideTriangles(CollisionPacket* packet, const VERTEX* vertices, const uint16_t* indices,
                      int triangleCount) {
    CollideTriangles(packet, vertices, indices, triangleCount, nullptr);
}

void CollideTriangles(CollisionPacket* packet, const VERTEX* vertices, const uint16_t* indices,
                      int triangleCount, CollisionCache* cache) {
    if (!packet || triangleCount <= 0) return;
    const bool fits = cache && CollisionCacheFits(*cache, packet, triangleCount);
    if (!fits && (!vertices || !indices)) return;
    if (g_settings) g_settings->colliderCount += triangleCount;

    VECTOR nv = packet->velocity;
    VectorNormalize(nv);
    const float L = VectorLength(packet->velocity);
    const VECTOR source = packet->source;

    if (!cache) {
        for (int tri = 0; tri < triangleCount; ++tri) {
            DirectTriangle d;
            Corners(packet, vertices, &indices[tri * 3], d.corner);
            const VECTOR& A = d.corner[0];
            const VECTOR& B = d.corner[1];
            const VECTOR& C = d.corner[2];
            VECTOR e1 = B - A, e2 = C - A;
            if (IsZero(e1) || IsZero(e2)) continue;
            d.normal = VectorCross(e1, e2);
            VectorNormalize(d.normal);
            if (Sweep(packet, d, A, B, C, d.normal, nv, L, source)) return;
        }
        return;
    }

    if (!fits) {
        cache->triangles.resize(triangleCount);
        for (int tri = 0; tri < triangleCount; ++tri) {
            CollisionTriangle& t = cache->triangles[tri];
            Corners(packet, vertices, &indices[tri * 3], t.corner);
            Prepare(t);
        }
        cache->radii = packet->radii;
        cache->worldIsIdentity = packet->worldIsIdentity;
        cache->world = packet->worldMatrix;
        cache->filled = true;
    }
    for (const CollisionTriangle& t : cache->triangles) {
        if (t.degenerate) continue;
        if (Sweep(packet, CachedTriangle{t}, t.corner[0], t.corner[1], t.corner[2], t.normal, nv, L, source))
            return;
    }
}

void RayTriangles(RayQuery* query, const VERTEX* vertices, const uint16_t* indices, int triangleCount,
                  bool twoSided) {
    if (!query || !vertices || !indices || triangleCount <= 0) return;
    query->trianglesTested += triangleCount;
    const VECTOR start = query->modelStart;
    VECTOR dir = query->modelEnd - start;
    const float len = VectorLength(dir);
    VectorNormalize(dir);

    for (int tri = 0; tri < triangleCount; ++tri) {
        VECTOR A = Position(vertices[indices[tri * 3]]);
        VECTOR B = Position(vertices[indices[tri * 3 + 1]]);
        VECTOR C = Position(vertices[indices[tri * 3 + 2]]);
        VECTOR e1 = B - A, e2 = C - A;
        if (IsZero(e1) || IsZero(e2)) continue;
        VECTOR n = VectorCross(e1, e2);
        VectorNormalize(n);
        if (!twoSided && ClassifyPoint(start, A, n) != POINT_IN_FRONT_OF_PLANE) continue;

        double t = RayPlaneDistance(start, dir, A, n);
        if (t < 0.0) continue;
        VECTOR hit = start + dir * static_cast<float>(t);
        if (!PointInTriangle(hit, A, B, C)) continue;
        if (t > len) continue;
        if (query->hitCount > 0 && t > query->bestDistance) continue;

        query->hitCount += 1;
        query->hitEntity = query->currentEntity;
        query->bestDistance = static_cast<float>(t);
        query->hitPoint = hit;
        if (query->stopAtFirstHit) return;
    }
}

// --- the collider ---------------------------------------------------------

Collider::Collider(const VECTOR& radii, const VECTOR& gravity)
    : packet(new CollisionPacket()), initialGravity(gravity) {
    packet->radii = radii;
    packet->gravity = gravity;
}

Collider::~Collider() { delete packet; }

VECTOR Collider::CheckCollision(const VECTOR& position, const VECTOR& velocity) {
    if (!g_settings || !g_settings->collisionOn) return position + velocity;
    CollisionPacket* pk = packet;
    const VECTOR radii = pk->radii;
    const float m = std::fmax(radii.x, std::fmax(radii.y, radii.z));

    pk->broadCentre = position;
    pk->worldVelocity = velocity;
    pk->broadRadius = m + VectorLength(velocity) * 1.5f;
    depth = 0;
    VECTOR r1 = CollideWithWorld(DivideBy(position, radii), DivideBy(velocity, radii), false);

    pk->broadCentre = MultiplyBy(r1, radii);
    pk->worldVelocity = pk->gravity;
    pk->broadRadius = m + VectorLength(pk->gravity) * 1.5f;
    depth = 0;
    VECTOR r2 = CollideWithWorld(r1, DivideBy(pk->gravity, radii), true);

    return MultiplyBy(r2, radii) + VECTOR(0.0f, kCollisionLift, 0.0f);
}

VECTOR Collider::CollideWithWorld(const VECTOR& p, const VECTOR& v, bool gravityPass) {
    if (VectorLength(v) < kCollisionMargin || depth >= kCollisionMaxDepth) return p;
    CollisionPacket* pk = packet;
    pk->velocity = v;
    pk->source = p;
    pk->foundCollision = false;
    pk->embedded = false;
    pk->nearestDistance = -1.0;
    pk->currentEntity = nullptr;
    // Entities set their own matrix; lists handed over directly are in world space.
    MATRIX identity;
    MatrixIdentity(identity);
    pk->SetWorldMatrix(identity);

    if (traverse) traverse(pk);

    if (pk->embedded) {
        LogLine("embedded.. plane normal (%f,%f,%f) at dist %f", pk->hitNormal.x, pk->hitNormal.y,
                pk->hitNormal.z, pk->nearestDistance);
        return pk->hasSafePosition ? pk->lastSafePosition : p;
    }

    if (!pk->foundCollision) {
        if (gravityPass) {
            float g = VectorLength(pk->gravity);
            if (g < kGravityLimit) VectorSetLength(pk->gravity, g * 2.0f);
        }
        pk->lastSafePosition = p;
        pk->hasSafePosition = true;
        return p + WithLength(v, VectorLength(v) - kCollisionMargin);
    }

    if (gravityPass) pk->gravity = initialGravity;
    VECTOR destination = p + v;
    VECTOR newSource = pk->source;
    if (pk->nearestDistance >= kCollisionMargin)
        newSource = pk->source + WithLength(v, static_cast<float>(pk->nearestDistance) - kCollisionMargin);

    // The sliding plane goes through the contact, facing the sphere centre.
    VECTOR slideOrigin = pk->polygonIntersectionPoint;
    VECTOR slideNormal = newSource - pk->polygonIntersectionPoint;
    double l = RayPlaneDistance(destination, slideNormal, slideOrigin, slideNormal);
    VECTOR newDestination = destination + slideNormal * static_cast<float>(l);
    VECTOR newVelocity = newDestination - pk->polygonIntersectionPoint;

    if (!gravityPass && pk->hitNormal.y < 0.95f) {
        // Steep faces that rise above the centre cannot be climbed by sliding.
        if (pk->hitTriangle[0].y > p.y || pk->hitTriangle[1].y > p.y || pk->hitTriangle[2].y > p.y)
            newVelocity.y = 0.0f;
    }
    if (pk->hitClassification == POINT_ON_PLANE) {
        pk->lastSafePosition = p;
        pk->hasSafePosition = true;
    }

    depth += 1;
    return CollideWithWorld(newSource, newVelocity, gravityPass);
}

bool RayEntersBox(const float b[6], const VECTOR& start, const VECTOR& dir, float length, float* at) {
    const float o[3] = {start.x, start.y, start.z};
    const float d[3] = {dir.x, dir.y, dir.z};
    float enter = 0.0f, leave = length;
    for (int i = 0; i < 3; ++i) {
        if (d[i] == 0.0f) {
            if (o[i] < b[i] || o[i] > b[i + 3]) return false;
            continue;
        }
        float t0 = (b[i] - o[i]) / d[i];
        float t1 = (b[i + 3] - o[i]) / d[i];
        if (t0 > t1) std::swap(t0, t1);
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
        if (enter > leave) return false;
    }
    *at = enter;
    return true;
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

void CollideBox(CollisionPacket* packet, const float box[6], const MATRIX& world) {
    if (!packet || !box) return;
    packet->SetWorldMatrix(world);
    if (!PacketTouchesModelBox(packet, box)) return;
    VERTEX corners[8];
    uint16_t indices[36];
    BoxTriangles(box, corners, indices);
    CollideTriangles(packet, corners, indices, 12);
}
