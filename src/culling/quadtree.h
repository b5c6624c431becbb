// The triangle tree of one static mesh: a submesh with more triangles than
// tuning value B splits them into a quadtree over x-z, so that drawing skips
// the parts outside the frustum and collision and ray tests only see the
// triangles near the query.
#ifndef ZENDAR_CULLING_QUADTREE_H
#define ZENDAR_CULLING_QUADTREE_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

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

// The tree keeps its nodes in one array, children four side by side. Every
// node that can be drawn whole (the root, and the children of nodes above
// tuning value A) draws a window of one vertex array the tree shares among
// them: a node of at most A triangles holds the vertices its triangles use,
// in first-use order, and a larger one the windows of its children side by
// side (the vertices on their borders repeated), so no level keeps a copy of
// its own. A large node (eight times A triangles or more) whose children draw
// their children's windows keeps no list either, but which children each of
// its triangles went to: drawing it whole (only when all of it is in view)
// merges their lists. The lists of the nodes below those drawn whole are only
// needed while the tree is built; a leaf keeps which triangles of the nearest
// node drawn whole are its own, one bit each, and collision and ray tests
// gather them from there.
//
// A mesh of 20,000 triangles or more is built on two threads (the second is
// the process's HelperThread), into the same tree one thread would build but
// for where each subtree lies in the arrays.
class QuadTree : public QuadTreeBase {
public:
    // Shares the submesh's vertex array and triangle list, which must
    // outlive the tree unchanged; the root draws them as they are.
    QuadTree(const VERTEX* vertices, int nVertices, const uint16_t* indices, int nTriangles,
             const float box[6]);
    ~QuadTree() override;

    void Render(CPlane* frustum) override;
    void Build() override;
    void Collide(CollisionPacket* packet) override;
    void RayTest(RayQuery* query, bool twoSided) override;

    struct Node {
        float box[6];
        int triangleCount = 0;
        int firstChild = -1;  // the four children are nodes first..first + 3; -1: a leaf
        // Nodes drawn whole: their window of the shared vertices and the
        // start of their triangles (window-relative) in the shared list.
        int window = 0;
        int windowCount = 0;
        // A drawn node's list start, -1 less the start of the marks of a
        // node merged when drawn, or a leaf's first mask word.
        int list = 0;
        // The node drawn whole whose list holds this node's triangles (the
        // node itself when it is drawn whole).
        int owner = 0;
        // A leaf's triangles as the collision test last needed them, made on
        // the first collision (the tree never changes once built).
        CollisionCache* collisionCache = nullptr;
    };
    // A triangle list as a draw or a triangle test is handed it.
    struct Triangles {
        const VERTEX* vertices;
        int vertexCount;
        const uint16_t* indices;
        int triangleCount;
    };
    // Bytes the tree holds, for diagnostics.
    struct Bytes {
        size_t nodes, indices, vertices, masks, marks;
        size_t Total() const { return nodes + indices + vertices + masks + marks; }
    };

    // Nodes in this tree, for diagnostics and tests.
    int NodeCount() const { return static_cast<int>(nodes_.size()); }
    const Node& GetNode(int i) const { return nodes_[i]; }
    // Whether node i can be drawn whole, and what drawing it hands the driver
    // (a merged list is made in scratch).
    bool IsDrawn(int i) const { return nodes_[i].owner == i; }
    Triangles Drawn(int i, std::vector<uint16_t>& scratch) const;
    // What the triangle tests get for leaf i (gathered into scratch when the
    // leaf is not drawn whole itself).
    Triangles Tested(int i, std::vector<uint16_t>& scratch) const;
    Bytes Held() const;

private:
    // A growing array of plain values that the build leaves at exactly its
    // size: realloc makes room and, at the end, gives back what is unused
    // in place (a block large enough to be mapped on its own may keep its
    // unused tail reserved, but those pages were never touched and take no
    // memory).
    template <typename T>
    class Pod {
    public:
        Pod() = default;
        ~Pod() { std::free(data_); }
        T* data() { return data_; }
        const T* data() const { return data_; }
        size_t size() const { return size_; }
        size_t capacity() const { return capacity_; }
        T& operator[](size_t i) { return data_[i]; }
        const T& operator[](size_t i) const { return data_[i]; }
        void Reserve(size_t n) {
            if (n > capacity_) Resize(n);
        }
        // n more values, left uninitialised; the first of them.
        T* Extend(size_t n) {
            if (size_ + n > capacity_) Resize(size_ + n > 2 * capacity_ ? size_ + n : 2 * capacity_);
            size_ += n;
            return data_ + size_ - n;
        }
        void Truncate(size_t n) { size_ = n; }
        void Fit() {
            if (capacity_ > size_) Resize(size_);
        }

    private:
        Pod(const Pod&) = delete;
        Pod& operator=(const Pod&) = delete;
        void Resize(size_t n) {
            T* p = static_cast<T*>(std::realloc(data_, (n ? n : 1) * sizeof(T)));
            if (!p) throw std::bad_alloc();
            data_ = p;
            capacity_ = n;
        }
        T* data_ = nullptr;
        size_t size_ = 0, capacity_ = 0;
    };
    struct Builder;
    QuadTree(const QuadTree&) = delete;
    QuadTree& operator=(const QuadTree&) = delete;
    void RenderNode(int i, CPlane* frustum);
    void Merge(int i, uint16_t* out, int depth) const;
    void CollideNode(int i, CollisionPacket* packet, std::vector<uint16_t>& scratch);
    void RayNode(int i, RayQuery* query, const VECTOR& dir, bool twoSided, std::vector<uint16_t>& scratch);

    const VERTEX* vertices_;
    int vertexCount_;
    const uint16_t* indices_;
    int triangleCount_;
    int tuningA_;  // as the build found it: which nodes have a list to draw
    Pod<Node> nodes_;
    Pod<VERTEX> shared_;
    Pod<uint16_t> lists_;
    Pod<uint64_t> masks_;
    Pod<uint8_t> marks_;  // per triangle of a merged node: the children it went to
};

// Tuning values of the settings record (defaults without one).
int QuadTreeTuningA();
int QuadTreeTuningB();

#endif
