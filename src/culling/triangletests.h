// The triangle-level tests that models and their quadtrees end in. They
// belong to collision; the models and culling code reach them only through
// this interface, so that collision can install its implementation without
// the model code knowing it. Until one is installed the default answers
// "nothing hit" and logs once that collision is not available.
#ifndef ZENDAR_CULLING_TRIANGLETESTS_H
#define ZENDAR_CULLING_TRIANGLETESTS_H

#include <cstdint>

#include "gfxdriver/gfxdriver.h"

struct CollisionPacket;
struct RayQuery;

class TriangleTests {
public:
    virtual ~TriangleTests();
    // Does the packet's broad-phase sphere touch the box (model space: the
    // box is taken through the packet's world matrix first)?
    virtual bool PacketTouchesBox(CollisionPacket* packet, const float box[6]);
    // The sphere-sweep test of one triangle list.
    virtual void CollideTriangles(CollisionPacket* packet, const VERTEX* vertices, const uint16_t* indices,
                                  int triangleCount);
    // The ray test of one triangle list, in model space.
    virtual void RayTriangles(RayQuery* query, const VERTEX* vertices, const uint16_t* indices,
                              int triangleCount, bool twoSided);

protected:
    void NotAvailable();

private:
    bool warned = false;
};

// The installed tests; never null (the default until collision sets its own).
TriangleTests* GetTriangleTests();
// Installs tests (not owned); null restores the default.
void SetTriangleTests(TriangleTests* tests);

#endif
