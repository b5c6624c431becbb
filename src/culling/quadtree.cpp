#include "culling/quadtree.h"

#include <algorithm>
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

namespace {

// The children whose boxes hold a point, from the point's place on each
// axis: bit 0 low x, 1 high x, 2 low z, 3 high z (both on the middle line).
// Child 0 is (low x, high z), 1 (high x, high z), 2 (low x, low z), 3 (high
// x, low z).
constexpr uint8_t Quadrants(int m) {
    return static_cast<uint8_t>(((m & 1) && (m & 8)) | ((m & 2) && (m & 8)) << 1 | ((m & 1) && (m & 4)) << 2 |
                                ((m & 2) && (m & 4)) << 3);
}
constexpr uint8_t kQuadrants[16] = {Quadrants(0),  Quadrants(1),  Quadrants(2),  Quadrants(3),
                                    Quadrants(4),  Quadrants(5),  Quadrants(6),  Quadrants(7),
                                    Quadrants(8),  Quadrants(9),  Quadrants(10), Quadrants(11),
                                    Quadrants(12), Quadrants(13), Quadrants(14), Quadrants(15)};

inline void Put(uint16_t*& to, uint16_t a, uint16_t b, uint16_t c) {
    to[0] = a;
    to[1] = b;
    to[2] = c;
    to += 3;
}

}  // namespace

QuadTree::QuadTree(const VERTEX* v, int nVertices, const uint16_t* idx, int nTriangles, const float b[6])
    : vertices_(v),
      vertexCount_(nVertices),
      indices_(idx),
      triangleCount_(nTriangles < 0 ? 0 : nTriangles),
      tuningA_(QuadTreeTuningA()) {
    nodes_.Extend(1)[0] = Node{};
    std::memcpy(nodes_[0].box, b, sizeof(nodes_[0].box));
    nodes_[0].triangleCount = triangleCount_;
}

QuadTree::~QuadTree() {
    for (size_t i = 0; i < nodes_.size(); i++) delete nodes_[i].collisionCache;
}

QuadTree::Triangles QuadTree::Drawn(int i) const {
    if (i == 0) return Triangles{vertices_, vertexCount_, indices_, triangleCount_};
    const Node& n = nodes_[i];
    return Triangles{shared_.data() + n.window, n.windowCount, lists_.data() + n.list, n.triangleCount};
}

QuadTree::Triangles QuadTree::Tested(int i, std::vector<uint16_t>& scratch) const {
    const Node& n = nodes_[i];
    if (n.owner == i) return Drawn(i);
    Triangles from = Drawn(n.owner);
    if (n.triangleCount == 0) return Triangles{from.vertices, from.vertexCount, from.indices, 0};
    // The owner's triangles in its order, those whose bit is set.
    scratch.resize(3 * static_cast<size_t>(n.triangleCount));
    uint16_t* out = scratch.data();
    const uint64_t* mask = masks_.data() + n.list;
    const int words = (from.triangleCount + 63) / 64;
    for (int w = 0; w < words; w++)
        for (uint64_t bits = mask[w]; bits; bits &= bits - 1) {
            const uint16_t* t = from.indices + 3 * (64 * w + __builtin_ctzll(bits));
            Put(out, t[0], t[1], t[2]);
        }
    return Triangles{from.vertices, from.vertexCount, scratch.data(), n.triangleCount};
}

QuadTree::Bytes QuadTree::Held() const {
    return Bytes{sizeof(*this) + sizeof(Node) * nodes_.capacity(), sizeof(uint16_t) * lists_.capacity(),
                 sizeof(VERTEX) * shared_.capacity(), sizeof(uint64_t) * masks_.capacity()};
}

// What one tree's build keeps from node to node.
struct QuadTree::Builder {
    QuadTree& tree;
    const VERTEX* v;
    int tuningA, tuningB;
    // Per vertex: where its latest copy in the shared array is (-1: none).
    std::vector<int> pos;
    // Compaction, left uninitialised (only ever read for the vertices a list
    // names, after that list wrote them): where a list first names each
    // vertex, and the vertices in first-use order.
    std::unique_ptr<int[]> first, order;
    std::vector<uint8_t> goesTo;  // per triangle of the current node: the children it goes to
    std::vector<int> iota;        // 0, 1, 2...: a drawn node's triangles' own positions
    // Per depth, the lists of the children of the node being split there
    // (mesh indices) and, below the nodes drawn whole, where each triangle
    // sits in its owner's list.
    struct Level {
        std::vector<uint16_t> list;
        std::vector<int> origin;
    };
    std::vector<Level> levels;

    Builder(QuadTree& t) : tree(t), v(t.vertices_), tuningA(QuadTreeTuningA()), tuningB(QuadTreeTuningB()) {}
    void Split(int node, const uint16_t* list, const int* origin, int n, int depth, int owner);
    void Block(int node, const uint16_t* list, int n);
    void Nest(int node, const uint16_t* list, int n, size_t start);
    void Mask(int node, const int* origin, int n, int owner);
};

void QuadTree::Build() {
    for (size_t i = 0; i < nodes_.size(); i++) delete nodes_[i].collisionCache;
    nodes_.Truncate(1);
    nodes_[0].firstChild = -1;
    nodes_[0].collisionCache = nullptr;
    shared_.Truncate(0);
    lists_.Truncate(0);
    masks_.Truncate(0);
    Builder b(*this);
    tuningA_ = b.tuningA;
    // Sized by the largest index as well: the arrays must cover whatever the
    // triangle list names.
    size_t size = vertexCount_ > 0 ? static_cast<size_t>(vertexCount_) : 0;
    const int n = triangleCount_;
    if (n > 0) {
        const int n3 = n * 3;
        const uint16_t* indices = indices_;
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
    b.pos.assign(size, -1);
    b.first.reset(new int[size + 1]);
    b.order.reset(new int[size + 1]);
    // Only lists of at most tuning value A triangles are split with their
    // own positions.
    b.iota.resize(n < tuningA_ ? n : (tuningA_ > 0 ? tuningA_ : 0));
    for (size_t i = 0; i < b.iota.size(); i++) b.iota[i] = static_cast<int>(i);
    b.levels.reserve(32);
    // Room for what this terrain-like piece would need, so that the arrays
    // seldom move: a node per 12 triangles or so, the vertices with their
    // windows' borders, and a list of the whole mesh (and a quarter) for
    // every level drawn whole.
    int drawnLevels = 0;
    for (int m = n; m > tuningA_; m /= 4) drawnLevels++;
    nodes_.Reserve(8 * (static_cast<size_t>(n) / (b.tuningB + 1)) + 5);
    shared_.Reserve(2 * size + 64);
    lists_.Reserve(static_cast<size_t>(n) * 3 * 5 / 4 * drawnLevels);
    masks_.Reserve(static_cast<size_t>(n) / 2 + 64);
    b.Split(0, indices_, n > tuningA_ ? nullptr : b.iota.data(), n, 0, 0);
    nodes_.Fit();
    shared_.Fit();
    lists_.Fit();
    masks_.Fit();
}

void QuadTree::Builder::Split(int node, const uint16_t* list, const int* origin, int n, int depth,
                              int owner) {
    float box[6];
    std::memcpy(box, tree.nodes_[node].box, sizeof(box));
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

    // A triangle goes to every child box that holds one of its corners
    // (inclusive on every face, as PointInBox), in the node's order. The
    // children share the node's y range.
    goesTo.resize(n);
    uint8_t* to = goesTo.data();
#if defined(__SSE2__)
    // x, y, z in one load; the ordered comparisons answer false for NaN, as
    // the scalar ones do.
    const __m128 lo = _mm_setr_ps(x0, xm, z0, zm), hi = _mm_setr_ps(xm, x1, zm, z1);
    const __m128 ylo = _mm_set1_ps(y0), yhi = _mm_set1_ps(y1);
    auto bitsOf = [&](uint16_t k) -> unsigned {
        const __m128 c = _mm_loadu_ps(&v[k].x);
        const __m128 xxzz = _mm_shuffle_ps(c, c, _MM_SHUFFLE(2, 2, 0, 0));
        const __m128 yyyy = _mm_shuffle_ps(c, c, _MM_SHUFFLE(1, 1, 1, 1));
        const __m128 in = _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(xxzz, lo), _mm_cmple_ps(xxzz, hi)),
                                     _mm_and_ps(_mm_cmpge_ps(yyyy, ylo), _mm_cmple_ps(yyyy, yhi)));
        return kQuadrants[_mm_movemask_ps(in)];
    };
#else
    auto bitsOf = [&](uint16_t k) -> unsigned {
        const float x = v[k].x, y = v[k].y, z = v[k].z;
        if (!(y >= y0 && y <= y1)) return 0;
        return kQuadrants[(x >= x0 && x <= xm) | (x >= xm && x <= x1) << 1 | (z >= z0 && z <= zm) << 2 |
                          (z >= zm && z <= z1) << 3];
    };
#endif
    // Four 16-bit counters side by side, added once a triangle and emptied
    // before they can overflow.
    static const uint64_t kOnes[16] = {
        0x0000000000000000, 0x0000000000000001, 0x0000000000010000, 0x0000000000010001,
        0x0000000100000000, 0x0000000100000001, 0x0000000100010000, 0x0000000100010001,
        0x0001000000000000, 0x0001000000000001, 0x0001000000010000, 0x0001000000010001,
        0x0001000100000000, 0x0001000100000001, 0x0001000100010000, 0x0001000100010001,
    };
    int counts[4] = {0, 0, 0, 0};
    // Each child's y extent is that of the corners of its triangles, folded
    // in the children's order as a walk through the list would: a triangle's corners
    // first, from +inf, then into the extent.
    const float inf = std::numeric_limits<float>::infinity();
    float low0 = 1e8f, low1 = 1e8f, low2 = 1e8f, low3 = 1e8f;
    float high0 = -1e8f, high1 = -1e8f, high2 = -1e8f, high3 = -1e8f;
    {
        for (int from = 0; from < n; from += 0xFFFF) {
            const int end = n - from > 0xFFFF ? from + 0xFFFF : n;
            uint64_t packed = 0;
            for (int t = from; t < end; t++) {
                const uint16_t a = list[3 * t], b = list[3 * t + 1], c = list[3 * t + 2];
                const unsigned where = bitsOf(a) | bitsOf(b) | bitsOf(c);
                to[t] = static_cast<uint8_t>(where);
                packed += kOnes[where];
                if (!where) continue;
                const float ya = v[a].y, yb = v[b].y, yc = v[c].y;
                float l = ya < inf ? ya : inf, h = ya > -inf ? ya : -inf;
                l = yb < l ? yb : l;
                h = yb > h ? yb : h;
                l = yc < l ? yc : l;
                h = yc > h ? yc : h;
                if (where & 1) {
                    low0 = l < low0 ? l : low0;
                    high0 = h > high0 ? h : high0;
                }
                if (where & 2) {
                    low1 = l < low1 ? l : low1;
                    high1 = h > high1 ? h : high1;
                }
                if (where & 4) {
                    low2 = l < low2 ? l : low2;
                    high2 = h > high2 ? h : high2;
                }
                if (where & 8) {
                    low3 = l < low3 ? l : low3;
                    high3 = h > high3 ? h : high3;
                }
            }
            for (int k = 0; k < 4; k++) counts[k] += static_cast<int>((packed >> (16 * k)) & 0xFFFF);
        }
    }
    const float lows[4] = {low0, low1, low2, low3}, highs[4] = {high0, high1, high2, high3};

    const int firstChild = static_cast<int>(tree.nodes_.size());
    Node* made = tree.nodes_.Extend(4);
    for (int c = 0; c < 4; c++) made[c] = Node{};
    tree.nodes_[node].firstChild = firstChild;
    if (levels.size() <= static_cast<size_t>(depth + 1)) levels.resize(depth + 2);
    Level& level = levels[depth + 1];
    int start[4], total = 0;
    for (int c = 0; c < 4; c++) {
        start[c] = total;
        total += counts[c];
    }
    // Each child's triangles one slot apart from the next child's: every
    // triangle is written to all four and kept where it belongs.
    int at[4];
    for (int c = 0; c < 4; c++) at[c] = start[c] + c;
    level.list.resize(3 * static_cast<size_t>(total + 4));
    {
        uint16_t* l = level.list.data();
        uint16_t* l0 = l + 3 * at[0];
        uint16_t* l1 = l + 3 * at[1];
        uint16_t* l2 = l + 3 * at[2];
        uint16_t* l3 = l + 3 * at[3];
        for (int t = 0; t < n; t++) {
            const uint16_t a = list[3 * t], b = list[3 * t + 1], c = list[3 * t + 2];
            const unsigned where = to[t];
            l0[0] = a, l0[1] = b, l0[2] = c;
            l1[0] = a, l1[1] = b, l1[2] = c;
            l2[0] = a, l2[1] = b, l2[2] = c;
            l3[0] = a, l3[1] = b, l3[2] = c;
            l0 += 3 * (where & 1);
            l1 += 3 * ((where >> 1) & 1);
            l2 += 3 * ((where >> 2) & 1);
            l3 += 3 * (where >> 3);
        }
    }
    if (origin) {
        level.origin.resize(total + 4);
        int* o = level.origin.data();
        int* o0 = o + at[0];
        int* o1 = o + at[1];
        int* o2 = o + at[2];
        int* o3 = o + at[3];
        for (int t = 0; t < n; t++) {
            const int from = origin[t];
            const unsigned where = to[t];
            *o0 = from;
            *o1 = from;
            *o2 = from;
            *o3 = from;
            o0 += where & 1;
            o1 += (where >> 1) & 1;
            o2 += (where >> 2) & 1;
            o3 += where >> 3;
        }
    }
    for (int c = 0; c < 4; c++) {
        Node& child = tree.nodes_[firstChild + c];
        std::memcpy(child.box, childBoxes[c], sizeof(child.box));
        child.box[1] = lows[c];
        child.box[4] = highs[c];
        child.triangleCount = counts[c];
    }

    // The children of a node above tuning value A can be drawn whole: one of
    // at most A triangles (or a leaf) gets its own window, a larger one the
    // windows of its children. Below those a leaf keeps a mask of its owner's
    // triangles.
    const bool childrenDrawn = n > tuningA;
    for (int c = 0; c < 4; c++) {
        const int child = firstChild + c;
        const int m = counts[c];
        const uint16_t* childList = levels[depth + 1].list.data() + 3 * at[c];
        const bool splits = m != n && m > tuningB;
        if (childrenDrawn) {
            tree.nodes_[child].owner = child;
            if (!splits || m <= tuningA) {
                Block(child, childList, m);
                if (splits) Split(child, childList, iota.data(), m, depth + 1, child);
            } else {
                const size_t start = tree.shared_.size();
                Split(child, childList, nullptr, m, depth + 1, child);
                Nest(child, childList, m, start);
            }
        } else {
            tree.nodes_[child].owner = owner;
            const int* childOrigin = levels[depth + 1].origin.data() + at[c];
            if (splits)
                Split(child, childList, childOrigin, m, depth + 1, owner);
            else
                Mask(child, childOrigin, m, owner);
        }
    }
}

// Gives the node a window of its own: the vertices its triangles use, in
// first-use order, and its triangles renumbered into it.
void QuadTree::Builder::Block(int node, const uint16_t* list, int n) {
    Pod<VERTEX>& shared = tree.shared_;
    Pod<uint16_t>& lists = tree.lists_;
    const int start = static_cast<int>(shared.size());
    const int n3 = n * 3;
    int* firstAt = first.get();
    int* used = order.get();
    int* where = pos.data();
    // Where each vertex is first named: written back to front, so the
    // earliest position is the one left. Front to back, a vertex is new
    // where it is first named: nothing read depends on a store of an earlier
    // step, so the only chain from one index to the next is the count.
    for (int i = n3 - 1; i >= 0; i--) firstAt[list[i]] = i;
    int count = 0;
    for (int i = 0; i < n3; i++) {
        const int k = list[i];
        used[count] = k;
        count += firstAt[k] == i;
    }
    VERTEX* out = shared.Extend(count);
    for (int i = 0; i < count; i++) {
        out[i] = v[used[i]];
        where[used[i]] = start + i;
    }
    const size_t at = lists.size();
    uint16_t* idx = lists.Extend(n3);
    for (int i = 0; i < n3; i++) idx[i] = static_cast<uint16_t>(where[list[i]] - start);
    Node& self = tree.nodes_[node];
    self.window = start;
    self.windowCount = count;
    self.list = static_cast<int>(at);
}

// A node above tuning value A draws the windows of its children, which lie
// side by side from start: each corner names the copy its latest child made
// (every vertex of a triangle that went to a child is in that child's
// window). A triangle that went to no child brings its missing vertices
// after them. A window too large for 16-bit indices makes way for a window
// of the node's own.
void QuadTree::Builder::Nest(int node, const uint16_t* list, int n, size_t start) {
    Pod<VERTEX>& shared = tree.shared_;
    Pod<uint16_t>& lists = tree.lists_;
    const int from = static_cast<int>(start);
    const int n3 = n * 3;
    const size_t at = lists.size();
    uint16_t* idx = lists.Extend(n3);
    int* where = pos.data();
    for (int i = 0; i < n3; i++) {
        const int k = list[i];
        if (where[k] < from) {
            where[k] = static_cast<int>(shared.size());
            *shared.Extend(1) = v[k];
        }
        idx[i] = static_cast<uint16_t>(where[k] - from);
    }
    if (shared.size() - start > 0x10000) {
        lists.Truncate(at);
        Block(node, list, n);
        return;
    }
    Node& self = tree.nodes_[node];
    self.window = from;
    self.windowCount = static_cast<int>(shared.size() - start);
    self.list = static_cast<int>(at);
}

void QuadTree::Builder::Mask(int node, const int* origin, int n, int owner) {
    Pod<uint64_t>& masks = tree.masks_;
    tree.nodes_[node].list = static_cast<int>(masks.size());
    if (n == 0) return;
    const int words = (tree.nodes_[owner].triangleCount + 63) / 64;
    uint64_t* m = masks.Extend(words);
    std::fill(m, m + words, 0);
    for (int i = 0; i < n; i++) m[origin[i] / 64] |= uint64_t{1} << (origin[i] % 64);
}

void QuadTree::Render(CPlane* frustum) { RenderNode(0, frustum); }

void QuadTree::RenderNode(int i, CPlane* frustum) {
    const Node& n = nodes_[i];
    int cls = frustum ? frustum->ClassifyBox(n.box) : BOX_INSIDE;
    if (cls == BOX_OUTSIDE) return;
    if (n.firstChild >= 0 && cls == BOX_INTERSECTING && n.triangleCount > tuningA_) {
        for (int c = 0; c < 4; c++) RenderNode(n.firstChild + c, frustum);
        return;
    }
    if (g_gfxdriver && n.triangleCount > 0) {
        const Triangles t = Drawn(i);
        g_gfxdriver->DrawIndexedList(t.vertices, t.vertexCount, t.indices, t.triangleCount * 3);
    }
}

namespace {
// Where a leaf that is not drawn whole gathers its triangles for a test.
thread_local std::vector<uint16_t> g_gathered;
}  // namespace

void QuadTree::Collide(CollisionPacket* packet) { CollideNode(0, packet, g_gathered); }

void QuadTree::CollideNode(int i, CollisionPacket* packet, std::vector<uint16_t>& scratch) {
    Node& n = nodes_[i];
    if (!PacketTouchesModelBox(packet, n.box)) return;
    if (n.firstChild < 0) {
        if (!n.collisionCache) n.collisionCache = new CollisionCache();
        const Triangles t = Tested(i, scratch);
        CollideTriangles(packet, t.vertices, t.indices, t.triangleCount, nodes_[i].collisionCache);
        return;
    }
    const int first = n.firstChild;
    for (int c = 0; c < 4; c++) CollideNode(first + c, packet, scratch);
}

void QuadTree::RayTest(RayQuery* query, bool twoSided) {
    VECTOR dir = query->modelEnd - query->modelStart;
    VectorNormalize(dir);
    RayNode(0, query, dir, twoSided, g_gathered);
}

void QuadTree::RayNode(int i, RayQuery* query, const VECTOR& dir, bool twoSided,
                       std::vector<uint16_t>& scratch) {
    const Node& n = nodes_[i];
    if (!RayIntersectsBox(n.box, query->modelStart, dir)) return;
    if (n.firstChild < 0) {
        const Triangles t = Tested(i, scratch);
        RayTriangles(query, t.vertices, t.indices, t.triangleCount, twoSided);
        return;
    }
    // Checked once on entering the node: the leaves below a node already
    // entered are all tested.
    if (query->hitCount > 0 && query->stopAtFirstHit) return;
    for (int c = 0; c < 4; c++) RayNode(n.firstChild + c, query, dir, twoSided, scratch);
}
