// The triangle tree of one static mesh: a submesh with more triangles than
// tuning value B splits them into a quadtree over x-z, so that drawing skips
// the parts outside the frustum and collision and ray tests only see the
// triangles near the query.
#ifndef ZENDAR_CULLING_QUADTREE_H
#define ZENDAR_CULLING_QUADTREE_H

#include <cstdint>

#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"

class CPlane;
struct CollisionCache;
struct CollisionPacket;
struct RayQuery;

class QuadTreeBase {
public:
    virtual void Render(CPlane* frustum) = 0;
    virtual void Build() = 0;
    virtual void Collide(CollisionPacket* packet) = 0;
    virtual void RayTest(RayQuery* query, bool twoSided) = 0;
    virtual ~QuadTreeBase();
};

class QuadTree : public QuadTreeBase {
public:
    // A root shares the submesh's vertex array and copies its triangle list.
    QuadTree(VERTEX* vertices, int nVertices, const uint16_t* indices, int nTriangles, const float box[6]);
    ~QuadTree() override;

    void Render(CPlane* frustum) override;
    void Build() override;
    void Collide(CollisionPacket* packet) override;
    void RayTest(RayQuery* query, bool twoSided) override;

    // Nodes in this tree, for diagnostics and tests.
    int NodeCount() const;

    VERTEX* vertices;
    uint16_t* indices;
    int triangleCount;
    int vertexCount;
    int triangleCapacity;
    VECTOR centre;
    float box[6];
    float radius;
    bool isLeaf = true;
    QuadTree* children[4] = {nullptr, nullptr, nullptr, nullptr};
    bool ownsVertices = false;
    // A leaf's triangles as the collision test last needed them, made on the
    // first collision (the tree never changes once built).
    CollisionCache* collisionCache = nullptr;

private:
    struct BuildScratch;
    QuadTree(VERTEX* vertices, int nVertices, int capacity, const float box[6]);
    QuadTree(const QuadTree&) = delete;
    QuadTree& operator=(const QuadTree&) = delete;
    void Split(BuildScratch& scratch);
    void Compact(BuildScratch& scratch, float& ymin, float& ymax);
};

// Tuning values of the settings record (defaults without one).
int QuadTreeTuningA();
int QuadTreeTuningB();

#endif
