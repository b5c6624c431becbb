#include "culling/quadtree.h"

#include <cstring>
#include <limits>
#include <memory>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "collision/collision.h"
#include "collision/rayquery.h"
#include "culling/cplane.h"
#include "settings/settings.h"

int QuadTreeTuningA() { return g_settings ? g_settings->tuningA : 500; }
int QuadTreeTuningB() { return g_settings ? g_settings->tuningB : 100; }

QuadTreeBase::~QuadTreeBase() {}

QuadTree::QuadTree(VERTEX* v, int nVertices, const uint16_t* idx, int nTriangles, const float b[6])
    : vertices(v),
      indices(nullptr),
      triangleCount(nTriangles < 0 ? 0 : nTriangles),
      vertexCount(nVertices),
      triangleCapacity(triangleCount) {
    indices = new uint16_t[triangleCapacity * 3 + 1];
    if (triangleCount > 0) std::memcpy(indices, idx, sizeof(uint16_t) * 3 * triangleCount);
    std::memcpy(box, b, sizeof(box));
    centre = BoxCenter(box);
    radius = VectorLength(VECTOR{box[3], box[4], box[5]} - centre);
}

QuadTree::QuadTree(VERTEX* v, int nVertices, int capacity, const float b[6])
    : vertices(v),
      indices(new uint16_t[capacity * 3 + 1]),
      triangleCount(0),
      vertexCount(nVertices),
      triangleCapacity(capacity) {
    std::memcpy(box, b, sizeof(box));
    centre = BoxCenter(box);
    radius = 0.0f;
}

QuadTree::~QuadTree() {
    delete collisionCache;
    for (QuadTree* c : children) delete c;
    delete[] indices;
    if (ownsVertices) delete[] vertices;
}

int QuadTree::NodeCount() const {
    int n = 1;
    for (const QuadTree* c : children)
        if (c) n += c->NodeCount();
    return n;
}

// Kept across one tree's whole build, so that no node pays for the size of a
// vertex array it shares with its parent: the per-vertex arrays go back to
// their idle value after each use.
struct QuadTree::BuildScratch {
    static constexpr uint8_t kUnclassified = 0xFF;
    std::vector<uint8_t> children;   // per vertex: which child boxes hold it (bit c: child c)
    std::vector<uint16_t> touched;   // the vertices a sparse node classified
    std::vector<uint8_t> triangles;  // per triangle of the current node: the children it goes to
    // Per vertex, for compaction, left uninitialised (only ever read for
    // the vertices a list names, after that list wrote them): where a
    // compacted child's list first names it, its index in the child, and
    // the child's vertices in first-use order.
    std::unique_ptr<int[]> first, remap, order;
    bool beyond = false;  // the triangles name vertices past the end of the array
};

namespace {

// Which of the four child boxes hold each vertex, bit c for child c, by the
// same inclusive comparisons as PointInBox. The child boxes share their y
// range; child 0 is (low x, high z) and child 3 (high x, low z), so those two
// give every bound. Four vertices at a time where SSE2 is there: its
// ordered comparisons answer false for NaN, as the scalar ones do.
void ClassifyAll(const VERTEX* v, int count, const float lowXHighZ[6], const float highXLowZ[6],
                 uint8_t* out) {
    const float x0 = lowXHighZ[0], xm = lowXHighZ[3], x1 = highXLowZ[3];
    const float z0 = highXLowZ[2], zm = highXLowZ[5], z1 = lowXHighZ[5];
    const float y0 = lowXHighZ[1], y1 = lowXHighZ[4];
    int k = 0;
#if defined(__SSE2__)
    // Spreads a 4-bit lane mask into one bit 0 per byte.
    static const uint32_t kSpread[16] = {
        0x00000000, 0x00000001, 0x00000100, 0x00000101, 0x00010000, 0x00010001, 0x00010100, 0x00010101,
        0x01000000, 0x01000001, 0x01000100, 0x01000101, 0x01010000, 0x01010001, 0x01010100, 0x01010101,
    };
    const __m128 X0 = _mm_set1_ps(x0), XM = _mm_set1_ps(xm), X1 = _mm_set1_ps(x1);
    const __m128 Z0 = _mm_set1_ps(z0), ZM = _mm_set1_ps(zm), Z1 = _mm_set1_ps(z1);
    const __m128 Y0 = _mm_set1_ps(y0), Y1 = _mm_set1_ps(y1);
    for (; k + 4 <= count; k += 4) {
        const __m128 x = _mm_setr_ps(v[k].x, v[k + 1].x, v[k + 2].x, v[k + 3].x);
        const __m128 y = _mm_setr_ps(v[k].y, v[k + 1].y, v[k + 2].y, v[k + 3].y);
        const __m128 z = _mm_setr_ps(v[k].z, v[k + 1].z, v[k + 2].z, v[k + 3].z);
        const __m128 inY = _mm_and_ps(_mm_cmpge_ps(y, Y0), _mm_cmple_ps(y, Y1));
        const __m128 lowX = _mm_and_ps(inY, _mm_and_ps(_mm_cmpge_ps(x, X0), _mm_cmple_ps(x, XM)));
        const __m128 highX = _mm_and_ps(inY, _mm_and_ps(_mm_cmpge_ps(x, XM), _mm_cmple_ps(x, X1)));
        const __m128 lowZ = _mm_and_ps(_mm_cmpge_ps(z, Z0), _mm_cmple_ps(z, ZM));
        const __m128 highZ = _mm_and_ps(_mm_cmpge_ps(z, ZM), _mm_cmple_ps(z, Z1));
        const uint32_t bytes = kSpread[_mm_movemask_ps(_mm_and_ps(lowX, highZ))] |
                               kSpread[_mm_movemask_ps(_mm_and_ps(highX, highZ))] << 1 |
                               kSpread[_mm_movemask_ps(_mm_and_ps(lowX, lowZ))] << 2 |
                               kSpread[_mm_movemask_ps(_mm_and_ps(highX, lowZ))] << 3;
        out[k] = static_cast<uint8_t>(bytes);
        out[k + 1] = static_cast<uint8_t>(bytes >> 8);
        out[k + 2] = static_cast<uint8_t>(bytes >> 16);
        out[k + 3] = static_cast<uint8_t>(bytes >> 24);
    }
#endif
    for (; k < count; k++) {
        const VERTEX& p = v[k];
        const bool y = p.y >= y0 && p.y <= y1;
        const bool lowX = y && p.x >= x0 && p.x <= xm, highX = y && p.x >= xm && p.x <= x1;
        const bool lowZ = p.z >= z0 && p.z <= zm, highZ = p.z >= zm && p.z <= z1;
        out[k] = static_cast<uint8_t>((lowX && highZ) | (highX && highZ) << 1 | (lowX && lowZ) << 2 |
                                      (highX && lowZ) << 3);
    }
}

inline void Put(uint16_t*& to, uint16_t a, uint16_t b, uint16_t c) {
    to[0] = a;
    to[1] = b;
    to[2] = c;
    to += 3;
}

// The y extent of a triangle list's corners as a walk through it finds it:
// y < ymin ? y : ymin over the corners in order (NaN passed over, the first
// of equal values kept). A triangle's three corners are folded first, from
// +inf, then into the extent: the same result, with one step a triangle on
// the chain that runs through the list.
void CornerExtent(const VERTEX* v, const uint16_t* idx, int triangles, float& ymin, float& ymax) {
    const float inf = std::numeric_limits<float>::infinity();
    float lowest = ymin, highest = ymax;
    for (int t = 0; t < triangles; t++) {
        const float ya = v[idx[3 * t]].y, yb = v[idx[3 * t + 1]].y, yc = v[idx[3 * t + 2]].y;
        float low = ya < inf ? ya : inf, high = ya > -inf ? ya : -inf;
        low = yb < low ? yb : low;
        high = yb > high ? yb : high;
        low = yc < low ? yc : low;
        high = yc > high ? yc : high;
        lowest = low < lowest ? low : lowest;
        highest = high > highest ? high : highest;
    }
    ymin = lowest;
    ymax = highest;
}

}  // namespace

void QuadTree::Build() {
    BuildScratch scratch;
    // Sized by the largest index as well: the arrays must cover whatever the
    // triangle list names.
    size_t size = vertexCount > 0 ? static_cast<size_t>(vertexCount) : 0;
    if (triangleCount > 0) {
        const int n3 = triangleCount * 3;
        uint16_t largest = 0;
        int i = 0;
#if defined(__SSE2__)
        // Eight at a time: SSE2 compares signed 16-bit lanes, so the
        // indices are shifted by 32768 on the way in and out.
        const __m128i bias = _mm_set1_epi16(-32768);
        __m128i most = bias;
        for (; i + 8 <= n3; i += 8)
            most = _mm_max_epi16(
                most, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(indices + i)), bias));
        alignas(16) uint16_t lanes[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), _mm_xor_si128(most, bias));
        for (uint16_t lane : lanes) largest = lane > largest ? lane : largest;
#endif
        for (; i < n3; i++) largest = indices[i] > largest ? indices[i] : largest;
        if (static_cast<size_t>(largest) >= size) size = static_cast<size_t>(largest) + 1;
    }
    // Vertices named but not held are read as the list names them, never
    // classified in bulk.
    scratch.beyond = size > static_cast<size_t>(vertexCount > 0 ? vertexCount : 0);
    scratch.children.assign(size, BuildScratch::kUnclassified);
    scratch.first.reset(new int[size + 1]);
    scratch.remap.reset(new int[size + 1]);
    scratch.order.reset(new int[size + 1]);
    Split(scratch);
}

void QuadTree::Split(BuildScratch& scratch) {
    const float hx = (box[3] - box[0]) * 0.5f;
    const float hz = (box[5] - box[2]) * 0.5f;
    const float x0 = box[0], xm = box[0] + hx, x1 = box[3];
    const float z0 = box[2], zm = box[2] + hz, z1 = box[5];
    const float y0 = box[1], y1 = box[4];
    const float childBoxes[4][6] = {
        {x0, y0, zm, xm, y1, z1},
        {xm, y0, zm, x1, y1, z1},
        {x0, y0, z0, xm, y1, zm},
        {xm, y0, z0, x1, y1, zm},
    };

    // Each vertex the triangles use is tested against the four child boxes
    // once (inclusive on every face, as PointInBox); a triangle then goes to
    // every child that holds one of its corners, in the node's order.
    uint8_t* in = scratch.children.data();
    // A node that shares a much larger vertex array (with its parent, or
    // the root with a piece that has unused vertices) only classifies the
    // vertices it uses, one at a time; otherwise testing the whole array,
    // four at a time, is cheaper (a vertex's bits do not depend on whether
    // the node uses it).
    const bool sparse = scratch.beyond || (!ownsVertices && vertexCount > 8 * triangleCount);
    if (sparse) {
        scratch.touched.clear();
        for (int i = 0; i < triangleCount * 3; i++) {
            const uint16_t k = indices[i];
            if (in[k] != BuildScratch::kUnclassified) continue;
            ClassifyAll(&vertices[k], 1, childBoxes[0], childBoxes[3], &in[k]);
            scratch.touched.push_back(k);
        }
    } else {
        ClassifyAll(vertices, vertexCount, childBoxes[0], childBoxes[3], in);
    }
    // Locals throughout: the byte and index stores below could otherwise
    // alias the node's fields and force them to be read again every time.
    const int n = triangleCount > 0 ? triangleCount : 0;
    const uint16_t* idx = indices;
    scratch.triangles.resize(n);
    uint8_t* goesTo = scratch.triangles.data();
    // Four 16-bit counters side by side, added once a triangle and emptied
    // before they can overflow.
    static const uint64_t kOnes[16] = {
        0x0000000000000000, 0x0000000000000001, 0x0000000000010000, 0x0000000000010001,
        0x0000000100000000, 0x0000000100000001, 0x0000000100010000, 0x0000000100010001,
        0x0001000000000000, 0x0001000000000001, 0x0001000000010000, 0x0001000000010001,
        0x0001000100000000, 0x0001000100000001, 0x0001000100010000, 0x0001000100010001,
    };
    int counts[4] = {0, 0, 0, 0};
    for (int from = 0; from < n; from += 0xFFFF) {
        const int to = n - from > 0xFFFF ? from + 0xFFFF : n;
        uint64_t packed = 0;
        for (int t = from; t < to; t++) {
            const unsigned bits = in[idx[3 * t]] | in[idx[3 * t + 1]] | in[idx[3 * t + 2]];
            goesTo[t] = static_cast<uint8_t>(bits);
            packed += kOnes[bits];
        }
        for (int c = 0; c < 4; c++) counts[c] += static_cast<int>((packed >> (16 * c)) & 0xFFFF);
    }
    if (sparse)
        for (uint16_t k : scratch.touched) in[k] = BuildScratch::kUnclassified;
    else
        std::memset(in, BuildScratch::kUnclassified, vertexCount > 0 ? vertexCount : 0);

    // Every array is allocated at the size it ends up holding.
    for (int c = 0; c < 4; c++) {
        children[c] = new QuadTree(vertices, vertexCount, counts[c], childBoxes[c]);
        children[c]->triangleCount = counts[c];
    }
    isLeaf = false;
    uint16_t* to[4] = {children[0]->indices, children[1]->indices, children[2]->indices,
                       children[3]->indices};
    for (int t = 0; t < n; t++) {
        const uint16_t a = idx[3 * t], b = idx[3 * t + 1], c = idx[3 * t + 2];
        const unsigned bits = goesTo[t];
        switch (bits) {  // most triangles lie in one child
        case 0: break;
        case 1: Put(to[0], a, b, c); break;
        case 2: Put(to[1], a, b, c); break;
        case 4: Put(to[2], a, b, c); break;
        case 8: Put(to[3], a, b, c); break;
        default:
            for (int k = 0; k < 4; k++)
                if (bits & (1u << k)) Put(to[k], a, b, c);
        }
    }

    const int tuningA = QuadTreeTuningA();
    const int tuningB = QuadTreeTuningB();
    // Children of a node of at most tuning value A triangles keep sharing
    // its vertices; those of a larger one get their own. Either way each
    // child's y extent is that of the corners of its triangles.
    for (QuadTree* child : children) {
        float ymin = 1e8f, ymax = -1e8f;
        if (triangleCount > tuningA && child->triangleCount != triangleCount)
            child->Compact(scratch, ymin, ymax);
        else
            CornerExtent(child->vertices, child->indices, child->triangleCount, ymin, ymax);
        child->box[1] = ymin;
        child->box[4] = ymax;
        child->centre = BoxCenter(child->box);
        child->radius = VectorLength(VECTOR{child->box[3], child->box[4], child->box[5]} - child->centre);
    }
    for (QuadTree* child : children)
        if (child->triangleCount != triangleCount && child->triangleCount > tuningB) child->Split(scratch);
}

// Gives the node its own vertex array holding only the vertices its
// triangles use, in first-use order, and renumbers its triangles. The y
// extent of the corners is folded in on the way: the vertices in first-use
// order give the same extent as the corners in order (a corner named again
// never wins a strict comparison against its own first value).
void QuadTree::Compact(BuildScratch& scratch, float& ymin, float& ymax) {
    const int n3 = triangleCount * 3;
    int* first = scratch.first.get();
    int* remap = scratch.remap.get();
    int* order = scratch.order.get();
    uint16_t* idx = indices;
    // Where each vertex is first named: written back to front, so the
    // earliest position is the one left.
    for (int i = n3 - 1; i >= 0; i--) first[idx[i]] = i;
    // Front to back, a vertex is new where it is first named. Nothing read
    // here depends on a store of an earlier step, so the only chain from one
    // index to the next is the count of vertices so far.
    int used = 0;
    for (int i = 0; i < n3; i++) {
        const int old = idx[i];
        order[used] = old;
        used += first[old] == i;
    }
    for (int k = 0; k < used; k++) remap[order[k]] = k;
    for (int i = 0; i < n3; i++) idx[i] = static_cast<uint16_t>(remap[idx[i]]);
    VERTEX* own = new VERTEX[used + 1];
    float low = ymin, high = ymax;
    for (int i = 0; i < used; i++) {
        own[i] = vertices[order[i]];
        const float y = own[i].y;
        low = y < low ? y : low;
        high = y > high ? y : high;
    }
    ymin = low;
    ymax = high;
    vertices = own;
    vertexCount = used;
    ownsVertices = true;
}

void QuadTree::Render(CPlane* frustum) {
    int cls = frustum ? frustum->ClassifyBox(box) : BOX_INSIDE;
    if (cls == BOX_OUTSIDE) return;
    if (!isLeaf && cls != BOX_INSIDE && triangleCount > QuadTreeTuningA() && cls == BOX_INTERSECTING) {
        for (QuadTree* c : children) c->Render(frustum);
        return;
    }
    if (g_gfxdriver && triangleCount > 0)
        g_gfxdriver->DrawIndexedList(vertices, vertexCount, indices, triangleCount * 3);
}

void QuadTree::Collide(CollisionPacket* packet) {
    if (!PacketTouchesModelBox(packet, box)) return;
    if (isLeaf) {
        if (!collisionCache) collisionCache = new CollisionCache();
        CollideTriangles(packet, vertices, indices, triangleCount, collisionCache);
        return;
    }
    for (QuadTree* c : children) c->Collide(packet);
}

void QuadTree::RayTest(RayQuery* query, bool twoSided) {
    VECTOR dir = query->modelEnd - query->modelStart;
    VectorNormalize(dir);
    if (!RayIntersectsBox(box, query->modelStart, dir)) return;
    if (isLeaf) {
        RayTriangles(query, vertices, indices, triangleCount, twoSided);
        return;
    }
    // Checked once on entering the node: the leaves below a node already
    // entered are all tested.
    if (query->hitCount > 0 && query->stopAtFirstHit) return;
    for (QuadTree* c : children) c->RayTest(query, twoSided);
}
