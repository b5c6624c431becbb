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

#if defined(__GNUC__)
#define ZENDAR_INLINE   __attribute__((always_inline))
#define ZENDAR_NOINLINE __attribute__((noinline))
#else
#define ZENDAR_INLINE
#define ZENDAR_NOINLINE
#endif

namespace {

// The finest grid the build places corners on ahead of the splits: 2^12
// cells a side, each boundary made by the same halving as the nodes' boxes.
constexpr int kGridLevels = 12;
constexpr int kGridCells = 1 << kGridLevels;

// The boundaries of 2^levels cells between lo and hi as the splits make them
// (xm = x0 + (x1 - x0) * 0.5f, level by level); the number of levels down
// to which they rise strictly (0: none, the build then places no corner).
int Grid(float lo, float hi, float* b) {
    if (!(lo < hi) || !(hi - lo < std::numeric_limits<float>::infinity())) return 0;
    b[0] = lo;
    b[kGridCells] = hi;
    for (int step = kGridCells / 2; step >= 1; step /= 2)
        for (int j = step; j < kGridCells; j += 2 * step)
            b[j] = b[j - step] + (b[j + step] - b[j - step]) * 0.5f;
    for (int levels = kGridLevels; levels > 0; levels--) {
        const int step = kGridCells >> levels;
        bool rising = true;
        for (int j = 0; j < kGridCells && rising; j += step) rising = b[j] < b[j + step];
        if (rising) return levels;
    }
    return 0;
}

// The cells of a grid of `cells` strictly rising boundaries that hold x
// (b[0] <= x <= b[cells]): the first (bits 0-15) and the last (16-31), one
// further when x is on their common boundary.
inline uint32_t Cells(const float* b, int cells, float scale, float x) {
    int j = static_cast<int>((x - b[0]) * scale);
    j = j < 0 ? 0 : (j > cells - 1 ? cells - 1 : j);
    while (j < cells - 1 && x > b[j + 1]) j++;
    while (j > 0 && x <= b[j]) j--;
    const int last = j < cells - 1 && x >= b[j + 1] ? j + 1 : j;
    return static_cast<uint32_t>(j) | static_cast<uint32_t>(last) << 16;
}

}  // namespace

// What one tree's build keeps from node to node.
struct QuadTree::Builder {
    // A triangle as the splits see it: its place in the mesh or, below the
    // nodes drawn whole, in its owner's list (whose record names its place
    // in the mesh); where its corners lie: the lowest x and z grid cells any
    // of them touches (bits 0-11, 12-23) and the number of levels down to
    // which they all lie in one cell (bits 24-31); and its lowest and
    // highest corner, as a walk through its corners finds them. Down to that
    // level a triangle goes to exactly the child holding its cell; a
    // triangle with a corner outside the root's box goes by its corners at
    // every level.
    struct Entry {
        int ref;
        uint32_t code;
        float low, high;
    };
    QuadTree& tree;
    const VERTEX* v;
    int tuningA, tuningB;
    int gridLevels = 0;
    // Per vertex: where its latest copy in the shared array is (-1: none).
    std::vector<int> pos;
    // Compaction, left uninitialised (only ever read for the vertices a list
    // names, after that list wrote them): where a list first names each
    // vertex, and the vertices in first-use order.
    std::unique_ptr<int[]> first, order;
    std::vector<Entry> root;  // the mesh's triangles in order
    // Per triangle: the highest x and z grid cells its corners touch (x | z
    // << 12; the lowest are in its record). While they span at most two
    // cells of a level side by side, the triangle goes to the children they
    // fall in: its corners reach both ends.
    std::vector<uint32_t> span;
    // Per depth, the lists of the children of the node being split there
    // (left uninitialised: only what a split wrote is read).
    struct Level {
        std::unique_ptr<Entry[]> list;
        size_t size = 0;
    };
    std::vector<Level> levels;

    Builder(QuadTree& t) : tree(t), v(t.vertices_), tuningA(QuadTreeTuningA()), tuningB(QuadTreeTuningB()) {}
    void Place(size_t size);
    void Split(int node, const Entry* list, const Entry* owners, int n, int depth, int owner, bool owns,
               int cellX, int cellZ);
    void Block(int node, const Entry* list, int n);
    void Nest(int node, const Entry* list, int n, size_t start);
    void Mask(int node, const Entry* list, int n, int owner);
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
    b.levels.reserve(32);
    b.Place(size);
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
    b.Split(0, b.root.data(), nullptr, n, 0, 0, n <= tuningA_, 0, 0);
    nodes_.Fit();
    shared_.Fit();
    lists_.Fit();
    masks_.Fit();
}

// Places every corner once on the finest grid the root's box halves into
// (which cells hold it, inclusive on both sides, as the boxes are), and
// each triangle on the cells of its corners, so that the splits need not
// test its corners again while they all lie in one cell.
void QuadTree::Builder::Place(size_t size) {
    const int n = tree.triangleCount_;
    const uint16_t* indices = tree.indices_;
    const float* box = tree.nodes_[0].box;
    std::vector<float> bx(kGridCells + 1), bz(kGridCells + 1);
    const int levelsX = Grid(box[0], box[3], bx.data()), levelsZ = Grid(box[2], box[5], bz.data());
    gridLevels = levelsX < levelsZ ? levelsX : levelsZ;
    // Per vertex: its height, and its first x and z cells and 0x7FFF less
    // its last ones (so that one minimum over a triangle's corners finds
    // both ends); outside the root's box, the whole range, which no
    // triangle's cells collapse from.
    struct Corner {
        uint16_t cells[4];
        float y, unused;
    };
    std::unique_ptr<Corner[]> corners(new Corner[size]);
    const int shift = kGridLevels - gridLevels, count = 1 << gridLevels;
    for (int j = 0; j <= count; j++) {
        bx[j] = bx[static_cast<size_t>(j) << shift];
        bz[j] = bz[static_cast<size_t>(j) << shift];
    }
    const float sx = count / (bx[count] - bx[0]), sz = count / (bz[count] - bz[0]);
    const float y0 = box[1], y1 = box[4];
    for (size_t k = 0; k < size; k++) {
        const float x = v[k].x, y = v[k].y, z = v[k].z;
        Corner& c = corners[k];
        c.y = y;
        c.unused = 0;
        if (gridLevels == 0 ||
            !(x >= bx[0] && x <= bx[count] && z >= bz[0] && z <= bz[count] && y >= y0 && y <= y1)) {
            c.cells[0] = c.cells[1] = c.cells[2] = c.cells[3] = 0;
            continue;
        }
        const uint32_t cx = Cells(bx.data(), count, sx, x), cz = Cells(bz.data(), count, sz, z);
        c.cells[0] = static_cast<uint16_t>(cx);
        c.cells[1] = static_cast<uint16_t>(cz);
        c.cells[2] = static_cast<uint16_t>(0x7FFF - (cx >> 16));
        c.cells[3] = static_cast<uint16_t>(0x7FFF - (cz >> 16));
    }
    root.resize(n);
    span.resize(n);
    const float inf = std::numeric_limits<float>::infinity();
    for (int t = 0; t < n; t++) {
        const uint16_t a = indices[3 * t], b = indices[3 * t + 1], c = indices[3 * t + 2];
        const Corner &ca = corners[a], &cb = corners[b], &cc = corners[c];
        const float ya = ca.y, yb = cb.y, yc = cc.y;
        float l = ya < inf ? ya : inf, h = ya > -inf ? ya : -inf;
        l = yb < l ? yb : l;
        h = yb > h ? yb : h;
        l = yc < l ? yc : l;
        h = yc > h ? yc : h;
        unsigned ends[4];
#if defined(__SSE2__)
        const __m128i m =
            _mm_min_epi16(_mm_min_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ca.cells)),
                                        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb.cells))),
                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cc.cells)));
        uint64_t packed;  // stored, not moved to a register: 32-bit builds have no 64-bit move
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&packed), m);
        for (int k = 0; k < 4; k++) ends[k] = static_cast<unsigned>(packed >> (16 * k)) & 0xFFFF;
#else
        for (int k = 0; k < 4; k++) ends[k] = std::min(ca.cells[k], std::min(cb.cells[k], cc.cells[k]));
#endif
        const unsigned apart = (ends[0] ^ (0x7FFF - ends[2])) | (ends[1] ^ (0x7FFF - ends[3]));
        const int together = gridLevels - (apart ? 32 - __builtin_clz(apart) : 0);
        Entry& e = root[t];
        e.ref = t;
        e.code = ends[0] | ends[1] << 12 | static_cast<uint32_t>(together > 0 ? together : 0) << 24;
        span[t] = ((0x7FFF - ends[2]) & 0xFFF) | ((0x7FFF - ends[3]) & 0xFFF) << 12;
        e.low = l;
        e.high = h;
    }
}

// The list's records name their places in the mesh, or with owners, in the
// owner's list. A node drawn whole that splits (owns) is its children's
// owner: they name their places in its list.
void QuadTree::Builder::Split(int node, const Entry* list, const Entry* owners, int n, int depth, int owner,
                              bool owns, int cellX, int cellZ) {
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
    const uint16_t* indices = tree.indices_;

    // A triangle goes to every child box that holds one of its corners
    // (inclusive on every face, as PointInBox), in the node's order. The
    // children share the node's y range.
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
    // The child a triangle whose corners share a cell goes to, by the cell's
    // x and z halves at this level: low x with high z is child 0.
    static const uint8_t kChild[4] = {4, 8, 1, 2};
    const int level = depth + 1;
    const int shift = gridLevels - level;
    // The node's cells on the grid at this level are cellX and cellZ, its
    // children's 2 * cellX and one more (x), z alike.
    const bool gridded = level <= gridLevels;
    const unsigned cx = 2 * static_cast<unsigned>(cellX), cz = 2 * static_cast<unsigned>(cellZ);
    auto byCorners = [&](const Entry& e) ZENDAR_NOINLINE -> unsigned {
        const int id = owners ? owners[e.ref].ref : e.ref;
        if (gridded) {
            const uint32_t high = span[id];
            const unsigned x0 = (e.code & 0xFFF) >> shift, x1 = (high & 0xFFF) >> shift;
            const unsigned z0 = (e.code >> 12 & 0xFFF) >> shift, z1 = (high >> 12) >> shift;
            // The triangle is in this node, so its cells reach the
            // children's on both axes.
            if ((x1 - x0) + (z1 - z0) <= 1)
                return kQuadrants[(x0 <= cx) | (x1 > cx) << 1 | (z0 <= cz) << 2 | (z1 > cz) << 3];
        }
        const uint16_t* tri = indices + 3 * id;
        return bitsOf(tri[0]) | bitsOf(tri[1]) | bitsOf(tri[2]);
    };
    auto classify = [&](const Entry& e) ZENDAR_INLINE -> unsigned {
        if (static_cast<int>(e.code >> 24) >= level)
            return kChild[(e.code >> shift & 1) | (e.code >> (12 + shift) & 1) << 1];
        return byCorners(e);
    };

    const int firstChild = static_cast<int>(tree.nodes_.size());
    Node* made = tree.nodes_.Extend(4);
    for (int c = 0; c < 4; c++) made[c] = Node{};
    tree.nodes_[node].firstChild = firstChild;
    if (levels.size() <= static_cast<size_t>(depth + 1)) levels.resize(depth + 2);
    Level& next = levels[depth + 1];
    // Room for each child to take every triangle, and one more (without
    // SSE2 every triangle is written to all four and kept where it belongs).
    // A node drawn whole that splits is its children's owner: they take
    // their places in its list along.
    const size_t room = static_cast<size_t>(n) + 1;
    if (next.size < 4 * room) {
        next.list.reset(new Entry[4 * room]);
        next.size = 4 * room;
    }
    Entry* l0 = next.list.get();
    Entry* l1 = l0 + room;
    Entry* l2 = l1 + room;
    Entry* l3 = l2 + room;
    Entry* const bases[4] = {l0, l1, l2, l3};
    // Each child's y extent is that of the corners of its triangles. Folded
    // in any order it has the value a walk through the list finds; only
    // which zero (+0 or -0) comes first depends on the order, and a child
    // whose extent ends at zero is walked again below.
    float lows[4], highs[4];
#if defined(__SSE2__)
    // One lane a child: a triangle folds in its lowest corner where it goes,
    // +inf elsewhere (max with -inf or +inf), and the other way round for
    // the highest. Two folds, even and odd triangles, so that neither waits
    // for the other.
    static const auto kMasks = [] {
        struct {
            alignas(16) float low[16][4];
            alignas(16) float high[16][4];
        } m;
        const float inf = std::numeric_limits<float>::infinity();
        for (int w = 0; w < 16; w++)
            for (int c = 0; c < 4; c++) {
                m.low[w][c] = (w >> c & 1) ? -inf : inf;
                m.high[w][c] = (w >> c & 1) ? inf : -inf;
            }
        return m;
    }();
    __m128 low[2] = {_mm_set1_ps(1e8f), _mm_set1_ps(1e8f)};
    __m128 high[2] = {_mm_set1_ps(-1e8f), _mm_set1_ps(-1e8f)};
    auto fold = [&](unsigned where, __m128i e, int k) {
        const __m128 lh = _mm_castsi128_ps(e);
        const __m128 l = _mm_shuffle_ps(lh, lh, _MM_SHUFFLE(2, 2, 2, 2));
        const __m128 h = _mm_shuffle_ps(lh, lh, _MM_SHUFFLE(3, 3, 3, 3));
        low[k] = _mm_min_ps(_mm_max_ps(l, _mm_load_ps(kMasks.low[where])), low[k]);
        high[k] = _mm_max_ps(_mm_min_ps(h, _mm_load_ps(kMasks.high[where])), high[k]);
    };
    const __m128i keep = _mm_setr_epi32(0, -1, -1, -1);
    auto entry = [&](int t) {
        const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(list + t));
        return owns ? _mm_or_si128(_mm_and_si128(e, keep), _mm_cvtsi32_si128(t)) : e;
    };
    // A record goes only to the children it belongs to (mostly one).
    Entry* tails[4] = {l0, l1, l2, l3};
    auto put = [&](unsigned where, __m128i e) {
        for (; where; where &= where - 1) {
            const int c = __builtin_ctz(where);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(tails[c]), e);
            tails[c]++;
        }
    };
    int t = 0;
    for (; t + 2 <= n; t += 2) {
        const unsigned a = classify(list[t]), b = classify(list[t + 1]);
        const __m128i ea = entry(t), eb = entry(t + 1);
        fold(a, ea, 0);
        fold(b, eb, 1);
        put(a, ea);
        put(b, eb);
    }
    if (t < n) {
        const unsigned a = classify(list[t]);
        const __m128i ea = entry(t);
        fold(a, ea, 0);
        put(a, ea);
    }
    l0 = tails[0], l1 = tails[1], l2 = tails[2], l3 = tails[3];
    _mm_storeu_ps(lows, _mm_min_ps(low[0], low[1]));
    _mm_storeu_ps(highs, _mm_max_ps(high[0], high[1]));
#else
    for (int c = 0; c < 4; c++) lows[c] = 1e8f, highs[c] = -1e8f;
    for (int t = 0; t < n; t++) {
        const unsigned where = classify(list[t]);
        const float l = list[t].low, h = list[t].high;
        for (int c = 0; c < 4; c++)
            if (where >> c & 1) {
                lows[c] = l < lows[c] ? l : lows[c];
                highs[c] = h > highs[c] ? h : highs[c];
            }
        Entry e = list[t];
        if (owns) e.ref = t;
        *l0 = e;
        *l1 = e;
        *l2 = e;
        *l3 = e;
        l0 += where & 1;
        l1 += (where >> 1) & 1;
        l2 += (where >> 2) & 1;
        l3 += where >> 3;
    }
#endif
    const int counts[4] = {static_cast<int>(l0 - bases[0]), static_cast<int>(l1 - bases[1]),
                           static_cast<int>(l2 - bases[2]), static_cast<int>(l3 - bases[3])};
    for (int c = 0; c < 4; c++) {
        const Entry* childList = bases[c];
        if (lows[c] == 0.0f) {
            lows[c] = 1e8f;
            for (int t = 0; t < counts[c]; t++) {
                const float l = childList[t].low;
                lows[c] = l < lows[c] ? l : lows[c];
            }
        }
        if (highs[c] == 0.0f) {
            highs[c] = -1e8f;
            for (int t = 0; t < counts[c]; t++) {
                const float h = childList[t].high;
                highs[c] = h > highs[c] ? h : highs[c];
            }
        }
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
        // Child 0 is low x with high z (see kQuadrants).
        const int x = gridded ? static_cast<int>(cx + (c & 1)) : 0,
                  z = gridded ? static_cast<int>(cz + (c < 2)) : 0;
        const int m = counts[c];
        const Entry* childList = bases[c];
        const bool splits = m != n && m > tuningB;
        if (childrenDrawn) {
            tree.nodes_[child].owner = child;
            if (!splits || m <= tuningA) {
                Block(child, childList, m);
                if (splits) Split(child, childList, nullptr, m, depth + 1, child, true, x, z);
            } else {
                const size_t start = tree.shared_.size();
                Split(child, childList, nullptr, m, depth + 1, child, false, x, z);
                Nest(child, childList, m, start);
            }
        } else {
            tree.nodes_[child].owner = owner;
            if (splits)
                Split(child, childList, owns ? list : owners, m, depth + 1, owner, false, x, z);
            else
                Mask(child, childList, m, owner);
        }
    }
}

// Gives the node a window of its own: the vertices its triangles use, in
// first-use order, and its triangles renumbered into it.
void QuadTree::Builder::Block(int node, const Entry* list, int n) {
    Pod<VERTEX>& shared = tree.shared_;
    Pod<uint16_t>& lists = tree.lists_;
    const uint16_t* indices = tree.indices_;
    const int start = static_cast<int>(shared.size());
    int* firstAt = first.get();
    int* used = order.get();
    int* where = pos.data();
    // Where each vertex is first named: written back to front, so the
    // earliest position is the one left. Front to back, a vertex is new
    // where it is first named: nothing read depends on a store of an earlier
    // step, so the only chain from one index to the next is the count.
    for (int t = n - 1; t >= 0; t--) {
        const uint16_t* tri = indices + 3 * list[t].ref;
        firstAt[tri[2]] = 3 * t + 2;
        firstAt[tri[1]] = 3 * t + 1;
        firstAt[tri[0]] = 3 * t;
    }
    int count = 0;
    for (int t = 0; t < n; t++) {
        const uint16_t* tri = indices + 3 * list[t].ref;
        for (int c = 0; c < 3; c++) {
            const int k = tri[c];
            used[count] = k;
            count += firstAt[k] == 3 * t + c;
        }
    }
    VERTEX* out = shared.Extend(count);
    for (int i = 0; i < count; i++) {
        out[i] = v[used[i]];
        where[used[i]] = start + i;
    }
    const size_t at = lists.size();
    uint16_t* idx = lists.Extend(3 * static_cast<size_t>(n));
    for (int t = 0; t < n; t++) {
        const uint16_t* tri = indices + 3 * list[t].ref;
        Put(idx, static_cast<uint16_t>(where[tri[0]] - start), static_cast<uint16_t>(where[tri[1]] - start),
            static_cast<uint16_t>(where[tri[2]] - start));
    }
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
void QuadTree::Builder::Nest(int node, const Entry* list, int n, size_t start) {
    Pod<VERTEX>& shared = tree.shared_;
    Pod<uint16_t>& lists = tree.lists_;
    const uint16_t* indices = tree.indices_;
    const int from = static_cast<int>(start);
    const size_t at = lists.size();
    uint16_t* idx = lists.Extend(3 * static_cast<size_t>(n));
    int* where = pos.data();
    for (int t = 0; t < n; t++) {
        const uint16_t* tri = indices + 3 * list[t].ref;
        for (int c = 0; c < 3; c++) {
            const int k = tri[c];
            if (where[k] < from) {
                where[k] = static_cast<int>(shared.size());
                *shared.Extend(1) = v[k];
            }
            *idx++ = static_cast<uint16_t>(where[k] - from);
        }
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

void QuadTree::Builder::Mask(int node, const Entry* list, int n, int owner) {
    Pod<uint64_t>& masks = tree.masks_;
    tree.nodes_[node].list = static_cast<int>(masks.size());
    if (n == 0) return;
    const int words = (tree.nodes_[owner].triangleCount + 63) / 64;
    uint64_t* m = masks.Extend(words);
    std::fill(m, m + words, 0);
    for (int i = 0; i < n; i++) m[list[i].ref / 64] |= uint64_t{1} << (list[i].ref % 64);
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
        // A cache that fits is all the test reads: the leaf's triangles are
        // gathered only to fill one.
        if (CollisionCacheFits(*n.collisionCache, packet, n.triangleCount)) {
            CollideTriangles(packet, nullptr, nullptr, n.triangleCount, n.collisionCache);
            return;
        }
        const Triangles t = Tested(i, scratch);
        CollideTriangles(packet, t.vertices, t.indices, t.triangleCount, n.collisionCache);
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
