#include "culling/quadtree.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
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
#include "utility/helperthread.h"

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

// A list drawing the windows of four children side by side: each triangle
// names its corners in the window of the first child it went to (where, bits
// as kQuadrants; never none: the build checks), whose list has it next
// (from, moved along), the window lying offset vertices into the parent's.
void MergeLists(const uint8_t* where, int n, const uint16_t* const from[4], const unsigned offset[4],
                uint16_t* out) {
    // The four cursors stay in registers: picked by the triangle's bits
    // rather than indexed, so no step waits for the last one's store.
    const uint16_t *f0 = from[0], *f1 = from[1], *f2 = from[2], *f3 = from[3];
    const unsigned o0 = offset[0], o1 = offset[1], o2 = offset[2], o3 = offset[3];
    for (int t = 0; t < n; t++) {
        const unsigned w = where[t];
        const uint16_t* tri = w & 1 ? f0 : w & 2 ? f1 : w & 4 ? f2 : f3;
        const unsigned o = w & 1 ? o0 : w & 2 ? o1 : w & 4 ? o2 : o3;
        Put(out, static_cast<uint16_t>(tri[0] + o), static_cast<uint16_t>(tri[1] + o),
            static_cast<uint16_t>(tri[2] + o));
        f0 += 3 * (w & 1);
        f1 += 3 * (w >> 1 & 1);
        f2 += 3 * (w >> 2 & 1);
        f3 += 3 * (w >> 3 & 1);
    }
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

QuadTree::Triangles QuadTree::Drawn(int i, std::vector<uint16_t>& scratch) const {
    if (i == 0) return Triangles{vertices_, vertexCount_, indices_, triangleCount_};
    const Node& n = nodes_[i];
    if (n.list >= 0)
        return Triangles{shared_.data() + n.window, n.windowCount, lists_.data() + n.list, n.triangleCount};
    scratch.resize(3 * static_cast<size_t>(n.triangleCount));
    Merge(i, scratch.data(), 0);
    return Triangles{shared_.data() + n.window, n.windowCount, scratch.data(), n.triangleCount};
}

namespace {
// Per depth of a merge, the lists of the merged node's children that are
// merged themselves.
thread_local std::vector<std::vector<uint16_t>> g_merging;
}  // namespace

// Node i's list, from its children's and which of them each of its
// triangles went to (see MergeLists).
void QuadTree::Merge(int i, uint16_t* out, int depth) const {
    const Node& n = nodes_[i];
    const uint16_t* from[4];
    unsigned offset[4];
    if (g_merging.size() < static_cast<size_t>(4 * (depth + 1))) g_merging.resize(4 * (depth + 1));
    for (int c = 0; c < 4; c++) {
        const Node& child = nodes_[n.firstChild + c];
        offset[c] = static_cast<unsigned>(child.window - n.window);
        if (child.list >= 0) {
            from[c] = lists_.data() + child.list;
        } else {
            // Deeper merges may move the vectors, not what they hold.
            g_merging[4 * depth + c].resize(3 * static_cast<size_t>(child.triangleCount));
            from[c] = g_merging[4 * depth + c].data();
            Merge(n.firstChild + c, g_merging[4 * depth + c].data(), depth + 1);
        }
    }
    MergeLists(marks_.data() + (-1 - n.list), n.triangleCount, from, offset, out);
}

QuadTree::Triangles QuadTree::Tested(int i, std::vector<uint16_t>& scratch) const {
    const Node& n = nodes_[i];
    // A leaf's owner, or the leaf itself, keeps its list: only nodes with
    // children drawn whole are merged.
    if (n.owner == i) return Drawn(i, scratch);
    Triangles from = Drawn(n.owner, scratch);
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
                 sizeof(VERTEX) * shared_.capacity(), sizeof(uint64_t) * masks_.capacity(),
                 marks_.capacity()};
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

namespace {
// A mesh at least this large builds on two threads: below it, handing work
// over costs more than it saves.
constexpr int kBuildBeside = 20000;
// Nodes of at least this many times tuning value A triangles may be merged
// when drawn (see Nest): they are drawn whole only when a large part of the
// mesh is in view, where drawing them costs far more than merging.
constexpr int kMergedFrom = 8;

// Runs work(from, to) over [0, count) in two halves, the second on the
// helper when there is one and enough work. work must not throw.
template <typename Work>
void Halves(HelperThread* helper, size_t count, Work& work) {
    if (!helper || count < kBuildBeside) {
        work(0, count);
        return;
    }
    helper->Start([&] { work(count / 2, count); });
    work(0, count / 2);
    helper->Wait();
}
}  // namespace

namespace {
// What a split needs to send a triangle whose corners do not share a cell
// to its children.
struct Sorter {
    const VERTEX* v;
    const uint16_t* indices;
    const uint32_t* span;
    bool gridded;
    int shift;
    unsigned cx, cz;
#if defined(__SSE2__)
    __m128 lo, hi, ylo, yhi;
#else
    float bounds[8];  // x0, xm, x1, z0, zm, z1, y0, y1
#endif

    // The children whose boxes hold vertex k.
    unsigned BitsOf(uint16_t k) const {
#if defined(__SSE2__)
        // x, y, z in one load; the ordered comparisons answer false for
        // NaN, as the scalar ones do.
        const __m128 c = _mm_loadu_ps(&v[k].x);
        const __m128 xxzz = _mm_shuffle_ps(c, c, _MM_SHUFFLE(2, 2, 0, 0));
        const __m128 yyyy = _mm_shuffle_ps(c, c, _MM_SHUFFLE(1, 1, 1, 1));
        const __m128 in = _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(xxzz, lo), _mm_cmple_ps(xxzz, hi)),
                                     _mm_and_ps(_mm_cmpge_ps(yyyy, ylo), _mm_cmple_ps(yyyy, yhi)));
        return kQuadrants[_mm_movemask_ps(in)];
#else
        const float *b = bounds, x = v[k].x, y = v[k].y, z = v[k].z;
        if (!(y >= b[6] && y <= b[7])) return 0;
        return kQuadrants[(x >= b[0] && x <= b[1]) | (x >= b[1] && x <= b[2]) << 1 |
                          (z >= b[3] && z <= b[4]) << 2 | (z >= b[4] && z <= b[5]) << 3];
#endif
    }
    // The children of triangle id by its cells (lowest in code, highest in
    // its span) where they span at most two cells side by side at this
    // level, else 16: the corners decide.
    unsigned BySpan(int id, uint32_t code) const {
        if (!gridded) return 16;
        const uint32_t high = span[id];
        const unsigned x0 = (code & 0xFFF) >> shift, x1 = (high & 0xFFF) >> shift;
        const unsigned z0 = (code >> 12 & 0xFFF) >> shift, z1 = (high >> 12) >> shift;
        // The triangle is in this node, so its cells reach the children's
        // on both axes.
        if ((x1 - x0) + (z1 - z0) > 1) return 16;
        return kQuadrants[(x0 <= cx) | (x1 > cx) << 1 | (z0 <= cz) << 2 | (z1 > cz) << 3];
    }
    ZENDAR_NOINLINE unsigned ByCorners(int id) const {
        const uint16_t* tri = indices + 3 * id;
        return BitsOf(tri[0]) | BitsOf(tri[1]) | BitsOf(tri[2]);
    }
};
}  // namespace

// What one tree's build keeps from node to node.
struct QuadTree::Builder {
    // A triangle as the splits see it: its place in the mesh; where its
    // corners lie: the lowest x and z grid cells any of them touches (bits
    // 0-11, 12-23) and the number of levels down to which they all lie in
    // one cell (bits 24-31). Down to that level a triangle goes to exactly
    // the child holding its cell; a triangle with a corner outside the root's
    // box goes by its corners at every level.
    struct Entry {
        int ref;
        uint32_t code;
    };
    // A triangle's lowest and highest corner, as a walk through its corners
    // finds them.
    struct Height {
        float low, high;
    };
    // Where a build writes: the tree's own arrays, or those of a part of
    // it built beside them (see Children).
    struct Part {
        Pod<Node> nodes;
        Pod<VERTEX> shared;
        Pod<uint16_t> lists;
        Pod<uint64_t> masks;
        Pod<uint8_t> marks;
        std::vector<std::pair<int, int>> roots;  // (node here, node in the tree)
    };
    QuadTree& tree;
    Pod<Node>& nodes;
    Pod<VERTEX>& shared;
    Pod<uint16_t>& lists;
    Pod<uint64_t>& masks;
    Pod<uint8_t>& marks;
    const VERTEX* v;
    int tuningA, tuningB;
    int gridLevels = 0;
    HelperThread* helper = nullptr;  // the second thread, for this build's largest steps
    // Per vertex: the last node whose window took it, and its place there.
    struct Seen {
        int node, at;
    };
    std::vector<Seen> seens;
    // A window's vertices in first-use order (left uninitialised).
    std::unique_ptr<int[]> order;
    // Per triangle: its place in the list of the owner whose subtree is
    // being built (left uninitialised: only what a split wrote is read).
    std::unique_ptr<int[]> rank;
    // Left uninitialised, as Place writes them whole.
    std::unique_ptr<Entry[]> root;  // the mesh's triangles in order
    // Per triangle: the highest x and z grid cells its corners touch (x | z
    // << 12; the lowest are in its record). While they span at most two
    // cells of a level side by side, the triangle goes to the children they
    // fall in: its corners reach both ends.
    std::unique_ptr<uint32_t[]> spans;
    std::unique_ptr<Height[]> heights;  // per triangle
    // spans and heights, or those of the builder this one works beside
    const uint32_t* span = nullptr;
    const Height* height = nullptr;
    // Per depth, the lists of the children of the node being split there
    // (left uninitialised: only what a split wrote is read), and which
    // children each of the node's own records went to (bits as kQuadrants),
    // kept where the node draws its children's windows (see Nest).
    struct Level {
        std::unique_ptr<Entry[]> list;
        size_t size = 0;
        std::unique_ptr<uint8_t[]> where;
        size_t whereSize = 0;
    };
    std::vector<Level> levels;

    Builder(QuadTree& t, Pod<Node>& n, Pod<VERTEX>& s, Pod<uint16_t>& l, Pod<uint64_t>& m, Pod<uint8_t>& k)
        : tree(t),
          nodes(n),
          shared(s),
          lists(l),
          masks(m),
          marks(k),
          v(t.vertices_),
          tuningA(QuadTreeTuningA()),
          tuningB(QuadTreeTuningB()) {}
    void Scratch(size_t size);
    void Room(int share);
    void Place(size_t size);
    void Split(int node, const Entry* list, int n, int depth, int owner, bool owns, int cellX, int cellZ);
    void Descend(int child, const Entry* childList, int m, int n, int depth, int owner, int x, int z);
    bool Children(int firstChild, const Entry* const bases[4], const int counts[4], int n, const int xs[4],
                  const int zs[4]);
    void Join(Part& part);
    void Block(int node, const Entry* list, int n);
    void Nest(int node, const Entry* list, int n, size_t start, const uint8_t* where);
    void Mask(int node, const Entry* list, int n, int owner);
    void Heights(int node, const Entry* list, int n, bool walkLow, bool walkHigh, float low, float high);
};

void QuadTree::Build() {
    for (size_t i = 0; i < nodes_.size(); i++) delete nodes_[i].collisionCache;
    nodes_.Truncate(1);
    nodes_[0].firstChild = -1;
    nodes_[0].collisionCache = nullptr;
    shared_.Truncate(0);
    lists_.Truncate(0);
    masks_.Truncate(0);
    marks_.Truncate(0);
    Builder b(*this, nodes_, shared_, lists_, masks_, marks_);
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
    // The helper is held for the whole build, given back however it ends.
    struct Held {
        HelperThread* h;
        ~Held() {
            if (h) h->Release();
        }
    } held{n >= kBuildBeside ? HelperThread::Acquire() : nullptr};
    b.helper = held.h;
    b.Scratch(size);
    b.Place(size);
    b.Room(1);
    b.Split(0, b.root.get(), n, 0, 0, n <= tuningA_, 0, 0);
    nodes_.Fit();
    shared_.Fit();
    lists_.Fit();
    masks_.Fit();
    marks_.Fit();
}

// Room for what a terrain-like piece, or the given share of one, would
// need, so that the arrays seldom move: a node per 12 triangles or so, the
// vertices with their windows' borders, and a list of the whole mesh (and a
// quarter) for every level drawn whole.
void QuadTree::Builder::Room(int share) {
    const size_t n = static_cast<size_t>(tree.triangleCount_) / share, size = seens.size() / share;
    int drawnLevels = 0;
    for (size_t m = n; m > static_cast<size_t>(tuningA); m /= 4) drawnLevels++;
    nodes.Reserve(8 * (n / (tuningB + 1)) + 5);
    shared.Reserve(2 * size + 64);
    lists.Reserve(n * 3 * 5 / 4 * drawnLevels);
    masks.Reserve(n / 2 + 64);
    marks.Reserve(n + 64);
}

void QuadTree::Builder::Scratch(size_t size) {
    seens.assign(size, Seen{-1, 0});
    rank.reset(new int[tree.triangleCount_ + 1]);
    order.reset(new int[size + 1]);
    levels.reserve(32);
}

// Places every corner once on the finest grid the root's box halves into
// (which cells hold it, inclusive on both sides, as the boxes are), and
// each triangle on the cells of its corners, so that the splits need not
// test its corners again while they all lie in one cell.
void QuadTree::Builder::Place(size_t size) {
    const int n = tree.triangleCount_;
    const uint16_t* indices = tree.indices_;
    const float* box = nodes[0].box;
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
    auto placeVertices = [&](size_t from, size_t to) {
        for (size_t k = from; k < to; k++) {
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
    };
    Halves(helper, size, placeVertices);
    root.reset(new Entry[n + 1]);
    spans.reset(new uint32_t[n + 1]);
    heights.reset(new Height[n + 1]);
    span = spans.get();
    height = heights.get();
    const float inf = std::numeric_limits<float>::infinity();
    auto placeTriangles = [&](size_t from, size_t to) {
        for (int t = static_cast<int>(from); t < static_cast<int>(to); t++) {
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
            spans[t] = ((0x7FFF - ends[2]) & 0xFFF) | ((0x7FFF - ends[3]) & 0xFFF) << 12;
            heights[t] = Height{l, h};
        }
    };
    Halves(helper, static_cast<size_t>(n), placeTriangles);
}

// A node drawn whole that splits (owns) is its children's owner: their
// leaves' masks name places in its list.
void QuadTree::Builder::Split(int node, const Entry* list, int n, int depth, int owner, bool owns, int cellX,
                              int cellZ) {
    if (owns)
        for (int t = 0; t < n; t++) rank[list[t].ref] = t;
    float box[6];
    std::memcpy(box, nodes[node].box, sizeof(box));
    const float hx = (box[3] - box[0]) * 0.5f;
    const float hz = (box[5] - box[2]) * 0.5f;
    const float x0 = box[0], xm = box[0] + hx, x1 = box[3];
    const float z0 = box[2], zm = box[2] + hz, z1 = box[5];
    // Below the root a node's y range is that of all the corners of its
    // triangles, so only a corner without a height (NaN) falls outside it.
    const float inf = std::numeric_limits<float>::infinity();
    const float y0 = depth == 0 ? box[1] : -inf, y1 = depth == 0 ? box[4] : inf;

    // A triangle goes to every child box that holds one of its corners
    // (inclusive on every face, as PointInBox), in the node's order. The
    // children share the node's y range.
    const int level = depth + 1;
    const int shift = gridLevels - level;
    Sorter sorter;
    sorter.v = v;
    sorter.indices = tree.indices_;
    sorter.span = span;
    // The node's cells on the grid at this level are cellX and cellZ, its
    // children's 2 * cellX and one more (x), z alike.
    sorter.gridded = level <= gridLevels;
    sorter.shift = shift;
    sorter.cx = 2 * static_cast<unsigned>(cellX);
    sorter.cz = 2 * static_cast<unsigned>(cellZ);
#if defined(__SSE2__)
    sorter.lo = _mm_setr_ps(x0, xm, z0, zm);
    sorter.hi = _mm_setr_ps(xm, x1, zm, z1);
    sorter.ylo = _mm_set1_ps(y0);
    sorter.yhi = _mm_set1_ps(y1);
#else
    const float bounds[8] = {x0, xm, x1, z0, zm, z1, y0, y1};
    std::memcpy(sorter.bounds, bounds, sizeof(bounds));
#endif
    const bool gridded = sorter.gridded;
    const unsigned cx = sorter.cx, cz = sorter.cz;

    const int firstChild = static_cast<int>(nodes.size());
    Node* made = nodes.Extend(4);
    const float childBoxes[4][6] = {
        {x0, 0, zm, xm, 0, z1},
        {xm, 0, zm, x1, 0, z1},
        {x0, 0, z0, xm, 0, zm},
        {xm, 0, z0, x1, 0, zm},
    };
    for (int c = 0; c < 4; c++) {
        made[c] = Node{};
        std::memcpy(made[c].box, childBoxes[c], sizeof(made[c].box));
    }
    nodes[node].firstChild = firstChild;
    if (levels.size() <= static_cast<size_t>(depth + 1)) levels.resize(depth + 2);
    Level& next = levels[depth + 1];
    // Room for each child to take every triangle, and one more: every
    // record is written to all four and kept where it belongs. A node drawn
    // whole that splits is its children's owner: they take their places in
    // its list along.
    const size_t room = static_cast<size_t>(n) + 1;
    if (next.size < 4 * room) {
        next.list.reset(new Entry[4 * room]);
        next.size = 4 * room;
    }
    Entry* const bases[4] = {next.list.get(), next.list.get() + room, next.list.get() + 2 * room,
                             next.list.get() + 3 * room};
    uint8_t* keep = nullptr;
    if (depth > 0 && !owns && owner == node) {
        if (next.whereSize < static_cast<size_t>(n)) {
            next.where.reset(new uint8_t[n]);
            next.whereSize = static_cast<size_t>(n);
        }
        keep = next.where.get();
    }
    // Sends records from..to on to the children's lists from at (each with
    // room for them all, and one more), and says how many each took.
    auto distribute = [&](int from, int to, Entry* const at[4], int taken[4]) {
        // What the loop reads in locals of its own: its stores through the
        // lists could otherwise alias them and have them read again.
        const int atLevel = level, by = shift;
        const Entry* const in = list;
        uint8_t* const marked = keep;
        const Sorter* const slow = &sorter;
        // The child a triangle whose corners share a cell goes to, by the
        // cell's x and z halves at this level: low x with high z is child 0.
        static const uint8_t kChild[4] = {4, 8, 1, 2};
        // How far each child's list moves on for a record with those
        // children (bit c: child c).
        static const uint8_t kSteps[16][4] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {1, 1, 0, 0},
                                              {0, 0, 1, 0}, {1, 0, 1, 0}, {0, 1, 1, 0}, {1, 1, 1, 0},
                                              {0, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {1, 1, 0, 1},
                                              {0, 0, 1, 1}, {1, 0, 1, 1}, {0, 1, 1, 1}, {1, 1, 1, 1}};
        // Whether a record's corners share a cell at this level; where one
        // whose corners do not goes, by its span or its corners.
        auto together = [&](uint32_t code) ZENDAR_INLINE { return static_cast<int>(code >> 24) >= atLevel; };
        auto apart = [&](const Entry& e) ZENDAR_INLINE -> unsigned {
            const unsigned w = slow->BySpan(e.ref, e.code);
            return w != 16 ? w : slow->ByCorners(e.ref);
        };
        Entry *l0 = at[0], *l1 = at[1], *l2 = at[2], *l3 = at[3];
        // A record moves as one 64-bit value (as a pair of fields it would
        // take twice the stores).
        static_assert(sizeof(Entry) == sizeof(uint64_t), "a record is eight bytes");
        auto put = [&](unsigned where, const Entry* from) ZENDAR_INLINE {
            uint64_t e;
            std::memcpy(&e, from, sizeof(e));
            std::memcpy(l0, &e, sizeof(e));
            std::memcpy(l1, &e, sizeof(e));
            std::memcpy(l2, &e, sizeof(e));
            std::memcpy(l3, &e, sizeof(e));
            const uint8_t* step = kSteps[where];
            l0 += step[0];
            l1 += step[1];
            l2 += step[2];
            l3 += step[3];
        };
        // A run of records that go to one child alone, copied whole.
        auto copy = [&](int first, int end, unsigned w) ZENDAR_INLINE {
            Entry*& list = w == 1 ? l0 : w == 2 ? l1 : w == 4 ? l2 : l3;
            std::memcpy(list, in + first, sizeof(Entry) * static_cast<size_t>(end - first));
            list += end - first;
            if (marked) std::memset(marked + first, static_cast<int>(w), static_cast<size_t>(end - first));
        };
        // The mesh's triangles come in runs that go to the same child (a row
        // of a terrain crosses few cells): while a record's corners share a
        // cell, one compare tells whether it is in the same half as the one
        // before. A record for several children goes alone.
        // Below the grid's finest level no record's corners share a cell.
        const uint32_t halves = by >= 0 ? (1u << by) | (1u << (12 + by)) : 0;
        int t = from;
        while (t < to) {
            const uint32_t code = in[t].code;
            int u = t + 1;
            unsigned w;
            if (together(code)) {
                const uint32_t half = code & halves;
                while (u < to && together(in[u].code) && (in[u].code & halves) == half) u++;
                w = kChild[(code >> by & 1) | (code >> (12 + by) & 1) << 1];
            } else {
                w = apart(in[t]);
                if (w & (w - 1) || w == 0) {
                    put(w, in + t);
                    if (marked) marked[t] = static_cast<uint8_t>(w);
                    t = u;
                    continue;
                }
                while (u < to && !together(in[u].code) && apart(in[u]) == w) u++;
            }
            copy(t, u, w);
            t = u;
        }
        taken[0] = static_cast<int>(l0 - at[0]);
        taken[1] = static_cast<int>(l1 - at[1]);
        taken[2] = static_cast<int>(l2 - at[2]);
        taken[3] = static_cast<int>(l3 - at[3]);
    };
    int counts[4];
    if (depth == 0 && helper && n >= kBuildBeside) {
        // The root's records in two halves, the second on the helper into
        // lists of its own that then follow the first's.
        const int half = n / 2;
        const size_t more = static_cast<size_t>(n - half) + 1;
        std::unique_ptr<Entry[]> spare(new Entry[4 * more]);
        Entry* const others[4] = {spare.get(), spare.get() + more, spare.get() + 2 * more,
                                  spare.get() + 3 * more};
        int theirs[4];
        helper->Start([&] { distribute(half, n, others, theirs); });
        distribute(0, half, bases, counts);
        helper->Wait();
        for (int c = 0; c < 4; c++) {
            std::memcpy(bases[c] + counts[c], others[c], sizeof(Entry) * static_cast<size_t>(theirs[c]));
            counts[c] += theirs[c];
        }
    } else {
        distribute(0, n, bases, counts);
    }
    for (int c = 0; c < 4; c++) nodes[firstChild + c].triangleCount = counts[c];

    // The children of a node above tuning value A can be drawn whole: one of
    // at most A triangles (or a leaf) gets its own window, a larger one the
    // windows of its children. Below those a leaf keeps a mask of its owner's
    // triangles.
    const bool childrenDrawn = n > tuningA;
    // The children's cells on the grid; child 0 is low x with high z (see
    // kQuadrants).
    int xs[4], zs[4];
    for (int c = 0; c < 4; c++) {
        xs[c] = gridded ? static_cast<int>(cx + (c & 1)) : 0;
        zs[c] = gridded ? static_cast<int>(cz + (c < 2)) : 0;
    }
    if (!(depth == 0 && childrenDrawn && Children(firstChild, bases, counts, n, xs, zs)))
        for (int c = 0; c < 4; c++)
            Descend(firstChild + c, bases[c], counts[c], n, depth, owner, xs[c], zs[c]);
    // The node's own heights: every one of its triangles went to a child
    // (a corner in its box lies in one of theirs), so they are its
    // children's; only which zero (+0 or -0) comes first is the node's own.
    if (depth == 0) return;  // the root's box is the piece's
    float low = 1e8f, high = -1e8f;
    for (int c = 0; c < 4; c++) {
        const float* b = nodes[firstChild + c].box;
        low = b[1] < low ? b[1] : low;
        high = b[4] > high ? b[4] : high;
    }
    Heights(node, list, n, low == 0.0f, high == 0.0f, low, high);
}

// Sets a node's y range from its list: the lowest and highest corner as a
// walk through the list finds them. Only what is asked is walked; the rest is given.
void QuadTree::Builder::Heights(int node, const Entry* list, int n, bool walkLow, bool walkHigh, float low,
                                float high) {
    if (walkLow || walkHigh) {
        float l = 1e8f, h = -1e8f;
        for (int t = 0; t < n; t++) {
            const Height& y = height[list[t].ref];
            l = y.low < l ? y.low : l;
            h = y.high > h ? y.high : h;
        }
        if (walkLow) low = l;
        if (walkHigh) high = h;
    }
    nodes[node].box[1] = low;
    nodes[node].box[4] = high;
}

// Builds what lies below one child of a node of n triangles.
void QuadTree::Builder::Descend(int child, const Entry* childList, int m, int n, int depth, int owner, int x,
                                int z) {
    const bool splits = m != n && m > tuningB;
    // A leaf's heights are walked from its list; a node that splits works
    // out its own once its children have theirs.
    if (!splits) Heights(child, childList, m, true, true, 0, 0);
    if (n > tuningA) {
        nodes[child].owner = child;
        if (!splits || m <= tuningA) {
            Block(child, childList, m);
            if (splits) Split(child, childList, m, depth + 1, child, true, x, z);
        } else {
            const size_t start = shared.size();
            Split(child, childList, m, depth + 1, child, false, x, z);
            Nest(child, childList, m, start, levels[depth + 2].where.get());
        }
    } else {
        nodes[child].owner = owner;
        if (splits)
            Split(child, childList, m, depth + 1, owner, false, x, z);
        else
            Mask(child, childList, m, owner);
    }
}

// The root's children drawn whole own everything below them, so their
// subtrees can be built apart. Each thread takes the largest child left:
// this one builds it straight into the tree's arrays, the helper into
// arrays of its own that are appended to the tree's at the end (node,
// window, list and mask numbers moved along). The tree is the one a single
// thread builds, but for where each subtree's records lie in the arrays.
// False when the mesh is too small or there is no helper: the caller builds
// the children in turn.
bool QuadTree::Builder::Children(int firstChild, const Entry* const bases[4], const int counts[4], int n,
                                 const int xs[4], const int zs[4]) {
    if (!helper || n < kBuildBeside) return false;
    int order[4] = {0, 1, 2, 3};
    std::stable_sort(order, order + 4, [&](int a, int b) { return counts[a] > counts[b]; });
    std::atomic<int> next{0};
    Part part;
    // The helper's copies of the children: this thread's nodes move as
    // they grow.
    Node kids[4];
    for (int c = 0; c < 4; c++) kids[c] = nodes[firstChild + c];
    std::exception_ptr failed;
    helper->Start([&] {
        try {
            Builder b(tree, part.nodes, part.shared, part.lists, part.masks, part.marks);
            b.gridLevels = gridLevels;
            b.span = span;
            b.height = height;
            bool ready = false;
            for (int k; (k = next.fetch_add(1)) < 4;) {
                const int c = order[k];
                if (!ready) b.Scratch(seens.size()), b.Room(2), ready = true;
                // The child is a root of the part.
                const int root = static_cast<int>(part.nodes.size());
                *part.nodes.Extend(1) = kids[c];
                part.roots.emplace_back(root, firstChild + c);
                b.Descend(root, bases[c], counts[c], n, 0, 0, xs[c], zs[c]);
            }
        } catch (...) {
            failed = std::current_exception();
        }
    });
    // The helper's task reads this build's lists: it has run before
    // anything this thread throws leaves.
    struct Waiter {
        HelperThread* h;
        ~Waiter() { h->Wait(); }
    };
    {
        Waiter waiter{helper};
        for (int k; (k = next.fetch_add(1)) < 4;) {
            const int c = order[k];
            Descend(firstChild + c, bases[c], counts[c], n, 0, 0, xs[c], zs[c]);
        }
    }
    if (failed) std::rethrow_exception(failed);
    Join(part);
    return true;
}

// Appends a part built beside the tree.
void QuadTree::Builder::Join(Part& part) {
    const int count = static_cast<int>(part.nodes.size());
    if (count == 0) return;
    const int sharedBase = static_cast<int>(shared.size()), listBase = static_cast<int>(lists.size()),
              maskBase = static_cast<int>(masks.size()), markBase = static_cast<int>(marks.size());
    // Roots go back to their places among the root's children, the rest
    // after the tree's nodes in their order.
    std::vector<int> renumber(count, -1);
    for (const auto& r : part.roots) renumber[r.first] = r.second;
    int at = static_cast<int>(nodes.size());
    for (int i = 0; i < count; i++)
        if (renumber[i] < 0) renumber[i] = at++;
    for (int i = 0; i < count; i++) {
        Node& n = part.nodes[i];
        if (n.owner == i) {
            n.window += sharedBase;
            n.list = n.list >= 0 ? n.list + listBase : n.list - markBase;
        } else if (n.firstChild < 0) {
            n.list += maskBase;
        }
        if (n.firstChild >= 0) n.firstChild = renumber[n.firstChild];
        n.owner = renumber[n.owner];
    }
    nodes.Extend(static_cast<size_t>(at) - nodes.size());
    for (int i = 0; i < count; i++) nodes[renumber[i]] = part.nodes[i];
    auto append = [](auto& to, auto& from) {
        if (from.size() > 0) std::memcpy(to.Extend(from.size()), from.data(), sizeof(from[0]) * from.size());
    };
    append(shared, part.shared);
    append(lists, part.lists);
    append(masks, part.masks);
    append(marks, part.marks);
}

// Gives the node a window of its own: the vertices its triangles use, in
// first-use order, and its triangles renumbered into it.
void QuadTree::Builder::Block(int node, const Entry* list, int n) {
    const uint16_t* indices = tree.indices_;
    const int start = static_cast<int>(shared.size());
    int* used = order.get();
    Seen* seen = seens.data();
    const size_t at = lists.size();
    uint16_t* idx = lists.Extend(3 * static_cast<size_t>(n));
    int count = 0;
    for (int t = 0; t < n; t++) {
        const uint16_t* tri = indices + 3 * list[t].ref;
        for (int c = 0; c < 3; c++) {
            Seen& k = seen[tri[c]];
            if (k.node != node) {
                k.node = node;
                k.at = count;
                used[count++] = tri[c];
            }
            *idx++ = static_cast<uint16_t>(k.at);
        }
    }
    VERTEX* out = shared.Extend(count);
    for (int i = 0; i < count; i++) out[i] = v[used[i]];
    Node& self = nodes[node];
    self.window = start;
    self.windowCount = count;
    self.list = static_cast<int>(at);
}

// A node above tuning value A draws the windows of its children, which lie
// side by side from start: each triangle names the copies of its vertices
// in the window of the first child it went to, so its list is its
// children's lists merged in its order, by which children each of its
// triangles went to (where, as the split found it). When a child draws its
// own children's windows and the node is large (kMergedFrom), the node
// keeps those marks instead and merges when it is drawn. A window too large for 16-bit indices makes way for a
// window of the node's own.
void QuadTree::Builder::Nest(int node, const Entry* list, int n, size_t start, const uint8_t* where) {
    const int firstChild = nodes[node].firstChild;
    // The children's windows, and those of any nodes below them that made a
    // window of their own.
    const size_t size = shared.size() - start;
    // Every triangle below the root went to a child (a corner in a node's
    // box lies in a child's); were one not to, a window of the node's own
    // would still draw the same.
    if (size > 0x10000 || std::memchr(where, 0, static_cast<size_t>(n))) {
        Block(node, list, n);
        return;
    }
    Node& self = nodes[node];
    self.window = static_cast<int>(start);
    self.windowCount = static_cast<int>(size);
    bool merged = false;
    for (int c = 0; n >= kMergedFrom * tuningA && c < 4; c++) {
        const Node& child = nodes[firstChild + c];
        merged = merged || (child.firstChild >= 0 && nodes[child.firstChild].owner == child.firstChild &&
                            child.window == nodes[child.firstChild].window);
    }
    if (merged) {
        self.list = -1 - static_cast<int>(marks.size());
        std::memcpy(marks.Extend(static_cast<size_t>(n)), where, static_cast<size_t>(n));
        return;
    }
    self.list = static_cast<int>(lists.size());
    uint16_t* out = lists.Extend(3 * static_cast<size_t>(n));
    const uint16_t* from[4];
    unsigned offset[4];
    for (int c = 0; c < 4; c++) {
        from[c] = lists.data() + nodes[firstChild + c].list;
        offset[c] = static_cast<unsigned>(nodes[firstChild + c].window - self.window);
    }
    MergeLists(where, n, from, offset, out);
}

void QuadTree::Builder::Mask(int node, const Entry* list, int n, int owner) {
    nodes[node].list = static_cast<int>(masks.size());
    if (n == 0) return;
    const int words = (nodes[owner].triangleCount + 63) / 64;
    uint64_t* m = masks.Extend(words);
    std::fill(m, m + words, 0);
    for (int i = 0; i < n; i++) {
        const int r = rank[list[i].ref];
        m[r / 64] |= uint64_t{1} << (r % 64);
    }
}

namespace {
// Where a node merged when drawn gets its list.
thread_local std::vector<uint16_t> g_merged;
}  // namespace

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
        const Triangles t = Drawn(i, g_merged);
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
