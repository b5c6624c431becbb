#include "culling/quadtree.h"

#include <cstring>
#include <vector>

#include "collision/collision.h"
#include "collision/rayquery.h"
#include "culling/cplane.h"
#include "settings/settings.h"

int QuadTreeTuningA() { return g_settings ? g_settings->tuning_a : 500; }
int QuadTreeTuningB() { return g_settings ? g_settings->tuning_b : 100; }

QuadTreeBase::~QuadTreeBase() {}

QuadTree::QuadTree(VERTEX* v, int vertexCount, const uint16_t* idx, int triangleCount, const float b[6])
    : vertices(v),
      indices(nullptr),
      triangle_count(triangleCount < 0 ? 0 : triangleCount),
      vertex_count(vertexCount),
      triangle_capacity(triangle_count) {
    indices = new uint16_t[triangle_capacity * 3 + 1];
    if (triangle_count > 0) std::memcpy(indices, idx, sizeof(uint16_t) * 3 * triangle_count);
    std::memcpy(box, b, sizeof(box));
    centre = BoxCenter(box);
    radius = VectorLength(VECTOR{box[3], box[4], box[5]} - centre);
}

QuadTree::QuadTree(VERTEX* v, int vertexCount, int capacity, const float b[6])
    : vertices(v),
      indices(new uint16_t[capacity * 3 + 1]),
      triangle_count(0),
      vertex_count(vertexCount),
      triangle_capacity(capacity) {
    std::memcpy(box, b, sizeof(box));
    centre = BoxCenter(box);
    radius = 0.0f;
}

QuadTree::~QuadTree() {
    for (QuadTree* c : children) delete c;
    delete[] indices;
    if (owns_vertices) delete[] vertices;
}

int QuadTree::NodeCount() const {
    int n = 1;
    for (const QuadTree* c : children)
        if (c) n += c->NodeCount();
    return n;
}

void QuadTree::Build() {
    const float hx = (box[3] - box[0]) * 0.5f;
    const float hz = (box[5] - box[2]) * 0.5f;
    const float x0 = box[0], xm = box[0] + hx, x1 = box[3];
    const float z0 = box[2], zm = box[2] + hz, z1 = box[5];
    const float childBoxes[4][6] = {
        {x0, box[1], zm, xm, box[4], z1},
        {xm, box[1], zm, x1, box[4], z1},
        {x0, box[1], z0, xm, box[4], zm},
        {xm, box[1], z0, x1, box[4], zm},
    };
    for (int c = 0; c < 4; c++)
        children[c] = new QuadTree(vertices, vertex_count, triangle_count, childBoxes[c]);
    is_leaf = false;

    for (int t = 0; t < triangle_count; t++) {
        const uint16_t* tri = &indices[t * 3];
        for (int c = 0; c < 4; c++) {
            QuadTree* child = children[c];
            for (int k = 0; k < 3; k++) {
                const VERTEX& v = vertices[tri[k]];
                if (PointInBox(VECTOR{v.x, v.y, v.z}, child->box)) {
                    uint16_t* dst = &child->indices[child->triangle_count * 3];
                    dst[0] = tri[0];
                    dst[1] = tri[1];
                    dst[2] = tri[2];
                    child->triangle_count++;
                    break;
                }
            }
        }
    }

    const int tuningA = QuadTreeTuningA();
    const int tuningB = QuadTreeTuningB();
    for (QuadTree* child : children) {
        if (triangle_count <= tuningA) {
            // Shrink the index array to what the child holds.
            uint16_t* shrunk = new uint16_t[child->triangle_count * 3 + 1];
            std::memcpy(shrunk, child->indices, sizeof(uint16_t) * 3 * child->triangle_count);
            delete[] child->indices;
            child->indices = shrunk;
            child->triangle_capacity = child->triangle_count;
        } else if (child->triangle_count != triangle_count) {
            child->Compact();
        }
    }
    for (QuadTree* child : children) {
        float ymin = 1e8f, ymax = -1e8f;
        for (int i = 0; i < child->triangle_count * 3; i++) {
            float y = child->vertices[child->indices[i]].y;
            if (y < ymin) ymin = y;
            if (y > ymax) ymax = y;
        }
        child->box[1] = ymin;
        child->box[4] = ymax;
        child->centre = BoxCenter(child->box);
        child->radius = VectorLength(VECTOR{child->box[3], child->box[4], child->box[5]} - child->centre);
    }
    for (QuadTree* child : children)
        if (child->triangle_count != triangle_count && child->triangle_count > tuningB) child->Build();
}

// Gives the node its own vertex array holding only the vertices its
// triangles use, in first-use order.
void QuadTree::Compact() {
    std::vector<int> remap(vertex_count > 0 ? vertex_count : 0, -1);
    std::vector<VERTEX> used;
    uint16_t* idx = new uint16_t[triangle_count * 3 + 1];
    for (int i = 0; i < triangle_count * 3; i++) {
        int old = indices[i];
        if (remap[old] < 0) {
            remap[old] = static_cast<int>(used.size());
            used.push_back(vertices[old]);
        }
        idx[i] = static_cast<uint16_t>(remap[old]);
    }
    delete[] indices;
    indices = idx;
    triangle_capacity = triangle_count;
    VERTEX* own = new VERTEX[used.size() + 1];
    if (!used.empty()) std::memcpy(own, used.data(), sizeof(VERTEX) * used.size());
    vertices = own;
    vertex_count = static_cast<int>(used.size());
    owns_vertices = true;
}

void QuadTree::Render(CPlane* frustum) {
    int cls = frustum ? frustum->ClassifyBox(box) : BOX_INSIDE;
    if (cls == BOX_OUTSIDE) return;
    if (!is_leaf && cls != BOX_INSIDE && triangle_count > QuadTreeTuningA() && cls == BOX_INTERSECTING) {
        for (QuadTree* c : children) c->Render(frustum);
        return;
    }
    if (g_gfxdriver && triangle_count > 0)
        g_gfxdriver->DrawIndexedList(vertices, vertex_count, indices, triangle_count * 3);
}

void QuadTree::Collide(CollisionPacket* packet) {
    if (!PacketTouchesModelBox(packet, box)) return;
    if (is_leaf) {
        CollideTriangles(packet, vertices, indices, triangle_count);
        return;
    }
    for (QuadTree* c : children) c->Collide(packet);
}

void QuadTree::RayTest(RayQuery* query, bool twoSided) {
    VECTOR dir = query->modelEnd - query->modelStart;
    VectorNormalize(dir);
    if (!RayIntersectsBox(box, query->modelStart, dir)) return;
    if (is_leaf) {
        RayTriangles(query, vertices, indices, triangle_count, twoSided);
        return;
    }
    // Checked once on entering the node: the leaves below a node already
    // entered are all tested.
    if (query->hitCount > 0 && query->stopAtFirstHit) return;
    for (QuadTree* c : children) c->RayTest(query, twoSided);
}
