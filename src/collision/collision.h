// Collide and slide: the player is an ellipsoid that moves through the
// area's triangles. Everything is worked out in ellipsoid space, where the
// ellipsoid is a unit sphere: triangles and motion are divided by the radii,
// the nearest contact of the sweeping sphere is found, the move is cut short
// just before it and what is left slides along the plane through the contact.
// The same file holds the ray test that picking and line of sight end in.
#ifndef ZENDAR_COLLISION_COLLISION_H
#define ZENDAR_COLLISION_COLLISION_H

#include <cstdint>
#include <functional>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"

class Entity;
struct RayQuery;

struct CollisionPacket {
    VECTOR worldVelocity;  // the motion of the current pass, world units
    VECTOR broadCentre;    // broad-phase sphere, world space
    float broadRadius = 0.0f;
    VECTOR radii;             // the ellipsoid's half-extents
    VECTOR velocity;          // ellipsoid space
    VECTOR source;            // sphere centre, ellipsoid space
    VECTOR gravity;           // world units per frame
    VECTOR lastSafePosition;  // ellipsoid space
    // False until some pass has recorded a safe position: a body that starts
    // inside geometry then stays where it is instead of jumping to the origin.
    bool hasSafePosition = false;
    bool foundCollision = false;
    bool embedded = false;
    VECTOR hitTriangle[3];          // ellipsoid space
    int hitClassification = 0;      // ClassifyPoint code of the hit
    double nearestDistance = -1.0;  // along the velocity's direction
    VECTOR sphereIntersectionPoint;
    VECTOR polygonIntersectionPoint;
    VECTOR hitNormal;
    Entity* currentEntity = nullptr;
    MATRIX worldMatrix;  // the model being tested (scale x transform)
    bool worldIsIdentity = true;

    CollisionPacket();
    // The model matrix of the triangles tested next.
    void SetWorldMatrix(const MATRIX& world);
};

// Below this length (ellipsoid units) a move is dropped, and moves stop this
// far short of a contact.
constexpr float kCollisionMargin = 0.05f;
// Sliding chains end after this many steps (corners).
constexpr int kCollisionMaxDepth = 6;
// The returned point sits this far above the ellipsoid centre found.
constexpr float kCollisionLift = 15.0f;
// Gravity doubles every free frame until it is this long.
constexpr float kGravityLimit = 200.0f;

// Triangle-level tests.
bool PointInTriangle(const VECTOR& p, const VECTOR& a, const VECTOR& b, const VECTOR& c);
VECTOR ClosestPointOnSegment(const VECTOR& p, const VECTOR& a, const VECTOR& b);
VECTOR ClosestPointOnTriangle(const VECTOR& p, const VECTOR& a, const VECTOR& b, const VECTOR& c);

// The sphere-sweep test of one triangle list (indices: three per triangle,
// into 32-byte vertex records whose first three floats are the position).
void CollideTriangles(CollisionPacket* packet, const VERTEX* vertices, const uint16_t* indices,
                      int triangleCount);

// What the sweep works out for a triangle that depends only on the triangle,
// the world matrix and the radii: its corners in ellipsoid space, its unit
// normal, and the unit vectors of its edge tests.
struct CollisionTriangle {
    VECTOR corner[3];
    VECTOR normal;
    VECTOR edgeNormal[3];     // edge i runs from corner i to corner i + 1
    VECTOR edgeDirection[3];  // unit
    float edgeLength[3];
    bool degenerate;  // two corners coincide: never hit
};
// Those values for every triangle of a list that never changes (a quadtree
// leaf), kept between passes and calls and worked out again when the world
// matrix or the radii differ from the last ones.
struct CollisionCache {
    bool filled = false;
    bool worldIsIdentity = true;
    MATRIX world;
    VECTOR radii;
    std::vector<CollisionTriangle> triangles;
};
// The same test through the list's cache; the results are the same bit for
// bit (the same arithmetic on the same inputs). A null cache works it all out.
// The list is read only to fill the cache: where the cache fits, vertices and
// indices may be null.
void CollideTriangles(CollisionPacket* packet, const VERTEX* vertices, const uint16_t* indices,
                      int triangleCount, CollisionCache* cache);
// The ray test of one triangle list in model space (the query's model start
// and end). twoSided also stops rays that reach a face from behind.
// Whether the cache holds a list of this many triangles for the packet's
// world matrix and radii (compared bit for bit: the same inputs, the same
// values).
bool CollisionCacheFits(const CollisionCache& cache, const CollisionPacket* packet, int triangleCount);
void RayTriangles(RayQuery* query, const VERTEX* vertices, const uint16_t* indices, int triangleCount,
                  bool twoSided);
// Does the packet's broad-phase sphere touch the model-space box (taken
// through the packet's world matrix)?
bool PacketTouchesModelBox(const CollisionPacket* packet, const float box[6]);

// Where a ray from start along the unit direction enters the world box
// (0 when it starts inside), in *at; false when it misses the box within
// length.
bool RayEntersBox(const float box[6], const VECTOR& start, const VECTOR& direction, float length, float* at);

// The twelve triangles of a box, facing outwards: 8 corners and 36 indices.
void BoxTriangles(const float box[6], VERTEX corners[8], uint16_t indices[36]);
// The box's twelve triangles under the world matrix (entities that collide
// by their bounding box).
void CollideBox(CollisionPacket* packet, const float box[6], const MATRIX& world);

// The world's collider: the packet, the recursion depth and the gravity that
// landing resets to.
class Collider {
public:
    Collider(const VECTOR& radii, const VECTOR& initialGravity);

    // The corrected position for a body at position moving by velocity
    // (world units), with gravity applied in a second pass.
    VECTOR CheckCollision(const VECTOR& position, const VECTOR& velocity);
    // One step of collide and slide, recursive; ellipsoid space.
    VECTOR CollideWithWorld(const VECTOR& p, const VECTOR& v, bool gravityPass);

    // What reaches every candidate triangle list (the world hands over its
    // area's traversal); without one nothing is hit.
    std::function<void(CollisionPacket*)> traverse;

    CollisionPacket* packet;
    int depth = 0;
    VECTOR initialGravity;

    ~Collider();

private:
    Collider(const Collider&) = delete;
    Collider& operator=(const Collider&) = delete;
};

#endif
