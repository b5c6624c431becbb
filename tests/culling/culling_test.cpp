// The frustum's box classification and the mesh quadtree: how it splits,
// lays out its vertices, draws and hands triangles to the collision tests.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <map>
#include <set>

#include "common/recording_driver.h"
#include "culling/cplane.h"
#include "collision/collision.h"
#include "culling/quadtree.h"
#include "models/model_helpers.h"
#include "models/z1model/z1model.h"
#include "settings/settings.h"
#include "collision/rayquery.h"

namespace {

using model_test::LogCapture;
using model_test::TempDir;

TEST(Frustum, ClassifiesBoxes) {
    CPlane f;
    MATRIX identity;
    MatrixIdentity(identity);
    f.SetFromMatrix(identity);  // the cube [-1, 1] on every axis
    const float inside[6] = {-0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f};
    const float straddling[6] = {0.5f, 0, 0, 1.5f, 0.5f, 0.5f};
    const float outside[6] = {1.5f, 0, 0, 2.5f, 0.5f, 0.5f};
    // Touching the plane x = 1 from outside: the near corner's distance is 0.
    const float touching[6] = {1.0f, 0, 0, 2.0f, 0.5f, 0.5f};
    EXPECT_EQ(f.ClassifyBox(inside), BOX_INSIDE);
    EXPECT_EQ(f.ClassifyBox(straddling), BOX_INTERSECTING);
    EXPECT_EQ(f.ClassifyBox(outside), BOX_OUTSIDE);
    EXPECT_EQ(f.ClassifyBox(touching), BOX_INTERSECTING);
    for (int i = 0; i < 6; i++) {
        float len = f.planes[i][0] * f.planes[i][0] + f.planes[i][1] * f.planes[i][1] +
                    f.planes[i][2] * f.planes[i][2];
        EXPECT_NEAR(len, 1.0f, 1e-6f);
    }
    // The object matrix moves the boxes before the test.
    MATRIX move;
    MatrixTranslation(move, 10, 0, 0);
    f.SetObjectMatrix(move);
    EXPECT_FALSE(f.objectIsIdentity);
    EXPECT_EQ(f.ClassifyBox(inside), BOX_OUTSIDE);
    f.SetObjectMatrix(identity);
    EXPECT_TRUE(f.objectIsIdentity);
    EXPECT_EQ(f.ClassifyBox(inside), BOX_INSIDE);
}

TEST(Frustum, FromACamera) {
    MATRIX view, proj, m;
    ASSERT_TRUE(MatrixLookAt(view, VECTOR{0, 0, 0}, VECTOR{0, 0, 1}, VECTOR{0, 1, 0}));
    ASSERT_TRUE(MatrixPerspective(proj, 1.5707964f, 1.0f, 1.0f, 1000.0f));
    MatrixMultiply(m, view, proj);
    CPlane f;
    f.SetFromMatrix(m);
    const float ahead[6] = {-1, -1, 50, 1, 1, 60};
    const float behind[6] = {-1, -1, -60, 1, 1, -50};
    const float beyond[6] = {-1, -1, 2000, 1, 1, 2100};
    const float aside[6] = {200, -1, 50, 210, 1, 60};  // 90 degrees: |x| > z is out
    const float across[6] = {-1, -1, 900, 1, 1, 1100};
    EXPECT_EQ(f.ClassifyBox(ahead), BOX_INSIDE);
    EXPECT_EQ(f.ClassifyBox(behind), BOX_OUTSIDE);
    EXPECT_EQ(f.ClassifyBox(beyond), BOX_OUTSIDE);
    EXPECT_EQ(f.ClassifyBox(aside), BOX_OUTSIDE);
    EXPECT_EQ(f.ClassifyBox(across), BOX_INTERSECTING);
}

// A row of n triangles, one per unit of x, over x in [0, n].
struct Strip {
    std::vector<VERTEX> v;
    std::vector<uint16_t> idx;
    float box[6];
    explicit Strip(int n) {
        for (int i = 0; i < n; i++) {
            uint16_t base = static_cast<uint16_t>(v.size());
            float x = static_cast<float>(i);
            v.push_back(VERTEX{x, 0, 0, 0, 1, 0, 0, 0});
            v.push_back(VERTEX{x + 0.5f, 1, 0, 0, 1, 0, 0, 0});
            v.push_back(VERTEX{x + 0.25f, 0, 1, 0, 1, 0, 0, 0});
            idx.insert(idx.end(), {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2)});
        }
        float b[6] = {0, 0, 0, static_cast<float>(n), 1, 1};
        std::copy(b, b + 6, box);
    }
};

// A triangle by the x and z of its corners.
std::string Key(const VERTEX* v, const uint16_t* idx, int t) {
    std::string k;
    for (int c = 0; c < 3; c++)
        k += std::to_string(v[idx[t * 3 + c]].x) + "," + std::to_string(v[idx[t * 3 + c]].z) + ";";
    return k;
}

// What a tree hands to collision when the packet's sphere takes in all of
// it: the leaves' triangles by position (and how many leaves hold each), and
// the triangles collision counted.
struct Handed {
    std::map<std::string, int> seen;
    int lists = 0;
    int inLeaves = 0;
    int tested = 0;
};

void Leaves(const QuadTree* tree, int i, Handed& h) {
    const QuadTree::Node& node = tree->GetNode(i);
    if (node.firstChild >= 0) {
        for (int c = 0; c < 4; c++) Leaves(tree, node.firstChild + c, h);
        return;
    }
    std::vector<uint16_t> scratch;
    const QuadTree::Triangles t = tree->Tested(i, scratch);
    for (int k = 0; k < t.triangleCount; k++) h.seen[Key(t.vertices, t.indices, k)]++;
    h.lists++;
    h.inLeaves += t.triangleCount;
}

template <typename Tree>
Handed CollideAll(Tree& tree, const QuadTree* leavesOf) {
    Settings settings;
    Settings* saved = g_settings;
    g_settings = &settings;
    CollisionPacket packet;
    packet.broadRadius = 1e6f;
    tree.Collide(&packet);
    g_settings = saved;
    Handed h;
    if (leavesOf) Leaves(leavesOf, 0, h);
    h.tested = settings.colliderCount;
    return h;
}

// A ray through the strip's triangles (y + z < 1 holds on every one of
// them), from the far end of the row back towards x = 0: leaves tested later
// hold nearer triangles, so each of them can still record a hit.
RayQuery RowRay(float fromX, float toX) {
    RayQuery q;
    q.modelStart = VECTOR{fromX, 0.05f, 0.9f};
    q.modelEnd = VECTOR{toX, 0.05f, 0.9f};
    return q;
}

TEST(MeshQuadTree, SplitsOnlyAboveTuningB) {
    Strip hundred(100);
    QuadTree a(hundred.v.data(), static_cast<int>(hundred.v.size()), hundred.idx.data(), 100, hundred.box);
    EXPECT_EQ(a.NodeCount(), 1);  // the submesh never calls Build for 100

    // 101 triangles along x: the left children take about half, which is
    // not more than 100, so the split happens once.
    Strip s(101);
    QuadTree t(s.v.data(), static_cast<int>(s.v.size()), s.idx.data(), 101, s.box);
    t.Build();
    EXPECT_EQ(t.GetNode(0).firstChild, 1);
    EXPECT_EQ(t.NodeCount(), 5);
    int total = 0;
    for (int i = 1; i <= 4; i++) {
        const QuadTree::Node& c = t.GetNode(i);
        EXPECT_EQ(c.firstChild, -1);
        EXPECT_FALSE(t.IsDrawn(i));  // 101 <= tuning A: the root is always drawn whole
        EXPECT_EQ(c.owner, 0);
        total += c.triangleCount;
        // y range recomputed from the triangles.
        if (c.triangleCount > 0) {
            EXPECT_FLOAT_EQ(c.box[1], 0.0f);
            EXPECT_FLOAT_EQ(c.box[4], 1.0f);
        }
    }
    EXPECT_GE(total, 101);

    // Triangles that all cross the middle reach every child: no child is
    // split again, which ends the recursion.
    std::vector<VERTEX> v;
    std::vector<uint16_t> idx;
    for (int i = 0; i < 120; i++) {
        uint16_t b = static_cast<uint16_t>(v.size());
        v.push_back(VERTEX{0, 0, 0, 0, 1, 0, 0, 0});
        v.push_back(VERTEX{10, 0, 0, 0, 1, 0, 0, 0});
        v.push_back(VERTEX{0, 0, 10, 0, 1, 0, 0, 0});
        v.push_back(VERTEX{10, 0, 10, 0, 1, 0, 0, 0});
        idx.insert(idx.end(), {b, static_cast<uint16_t>(b + 3), static_cast<uint16_t>(b + 1)});
    }
    const float box[6] = {0, 0, 0, 10, 0, 10};
    QuadTree c(v.data(), static_cast<int>(v.size()), idx.data(), 120, box);
    c.Build();
    EXPECT_EQ(c.NodeCount(), 5);
    EXPECT_EQ(c.GetNode(1).triangleCount, 0);  // no vertex of the diagonal lies there
    EXPECT_EQ(c.GetNode(2).triangleCount, 120);
}

TEST(MeshQuadTree, LargeNodesGiveTheirChildrenWindows) {
    Strip s(600);
    QuadTree t(s.v.data(), static_cast<int>(s.v.size()), s.idx.data(), 600, s.box);
    t.Build();
    for (int i = 1; i <= 4; i++) {
        std::vector<uint16_t> scratch;
        const QuadTree::Triangles c = t.Drawn(i, scratch);
        if (c.triangleCount == 0) continue;
        EXPECT_TRUE(t.IsDrawn(i));
        EXPECT_EQ(c.vertexCount, c.triangleCount * 3);  // the strip shares no vertices
        for (int k = 0; k < c.triangleCount * 3; k++) ASSERT_LT(c.indices[k], c.vertexCount);
        // First use order: the first triangle's vertices come first.
        EXPECT_EQ(c.indices[0], 0);
        EXPECT_EQ(c.indices[1], 1);
    }
    // Every original triangle is still somewhere in the leaves, with the
    // same positions, and collision is handed every leaf.
    Handed h = CollideAll(t, &t);
    for (int i = 0; i < 600; i++) EXPECT_GE(h.seen[Key(s.v.data(), s.idx.data(), i)], 1) << i;
    EXPECT_EQ(h.tested, h.inLeaves);
}

TEST(MeshQuadTree, TrianglesOnABorderAreTestedByBothChildren) {
    // A triangle with one vertex in child 0 and one in child 1 (x both sides
    // of the middle, z in the upper half) goes to both.
    Strip s(101);
    s.v[0] = VERTEX{10, 0, 0.9f, 0, 1, 0, 0, 0};
    s.v[1] = VERTEX{90, 1, 0.9f, 0, 1, 0, 0, 0};
    s.v[2] = VERTEX{50.5f, 0, 0.8f, 0, 1, 0, 0, 0};
    QuadTree t(s.v.data(), static_cast<int>(s.v.size()), s.idx.data(), 101, s.box);
    t.Build();
    Handed h = CollideAll(t, &t);
    EXPECT_EQ(h.seen[Key(s.v.data(), s.idx.data(), 0)], 2);
    EXPECT_EQ(h.lists, 4);
    EXPECT_EQ(h.tested, h.inLeaves);
}

TEST(MeshQuadTree, RenderRefinesOnlyLargePartlyVisibleNodes) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    Strip s(600);
    QuadTree t(s.v.data(), static_cast<int>(s.v.size()), s.idx.data(), 600, s.box);
    t.Build();
    CPlane f;
    MATRIX scale;
    MatrixScaling(scale, VECTOR{1.0f / 1000.0f, 0.5f, 0.5f});  // the whole strip inside the unit cube
    f.SetObjectMatrix(scale);
    MATRIX identity;
    MatrixIdentity(identity);
    f.SetFromMatrix(identity);
    t.Render(&f);
    ASSERT_EQ(driver.draws.size(), 1u);
    EXPECT_EQ(driver.draws[0].indices.size(), 1800u);
    // Only the left part visible: the children are drawn, not the root.
    driver.ResetLog();
    MATRIX shift;
    MatrixTranslation(shift, -599.0f, 0, 0);
    f.SetObjectMatrix(shift);  // x in [-599, 1]: only the end near x = 600 shows
    t.Render(&f);
    // The two right-hand children (x from 300) are drawn whole, the left ones not at all.
    ASSERT_EQ(driver.draws.size(), 2u);
    for (const DrawRecord& d : driver.draws)
        for (uint16_t i : d.indices) ASSERT_GE(d.vertex[i].x, 299.0f);
    // Outside: nothing.
    driver.ResetLog();
    MatrixTranslation(shift, 5000.0f, 0, 0);
    f.SetObjectMatrix(shift);
    t.Render(&f);
    EXPECT_TRUE(driver.draws.empty());
}

TEST(MeshQuadTree, RayTestStopsAtTheFirstHitWhenAsked) {
    Strip s(600);
    QuadTree t(s.v.data(), static_cast<int>(s.v.size()), s.idx.data(), 600, s.box);
    t.Build();
    // Along the row's far edge: the nodes there hold the triangles' z = 1 vertices.
    RayQuery q = RowRay(700, -10);
    q.stopAtFirstHit = true;
    t.RayTest(&q, false);
    int first = q.trianglesTested;
    // The first leaf along the row hits; its sibling leaf under the same
    // node is still tested, and the next inner node stops on entry.
    EXPECT_EQ(q.hitCount, 2);
    q = RowRay(700, -10);
    t.RayTest(&q, false);
    EXPECT_GT(q.trianglesTested, first);
    // A ray that misses the box tests nothing.
    q = RowRay(700, -10);
    q.modelStart = VECTOR{0, 50, 0};
    q.modelEnd = VECTOR{600, 50, 0};
    t.RayTest(&q, false);
    EXPECT_EQ(q.trianglesTested, 0);
}

TEST(MeshQuadTree, StopAtFirstHitIsCheckedOnEnteringAnInnerNode) {
    // 101 triangles: one split, four leaves. The ray along z = 0.9 crosses
    // children 0 and 1; the root was entered without a hit, so both leaves
    // run their triangles even though the first one already hit.
    Strip s(101);
    QuadTree t(s.v.data(), static_cast<int>(s.v.size()), s.idx.data(), 101, s.box);
    t.Build();
    ASSERT_EQ(t.NodeCount(), 5);
    RayQuery q = RowRay(200, -10);
    q.stopAtFirstHit = true;
    t.RayTest(&q, false);
    EXPECT_EQ(q.hitCount, 2);
    EXPECT_EQ(q.trianglesTested, t.GetNode(1).triangleCount + t.GetNode(2).triangleCount);
    // Entering the root with a hit already recorded tests nothing.
    q.trianglesTested = 0;
    t.RayTest(&q, false);
    EXPECT_EQ(q.trianglesTested, 0);
    EXPECT_EQ(q.hitCount, 2);
}

TEST(MeshQuadTree, ModelsBuildTreesAndHandTheirTrianglesToCollision) {
    TempDir dir;
    LogCapture log(dir / "log.txt");
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    Strip big(150), small(100);
    Z1Scene s;
    Z1Material m;
    m.name = "ground";
    s.materials = {m};
    Z1GeomObject o;
    o.name = "land";
    o.material = 0;
    Z1MeshList list;
    Z1Mesh a, b;
    a.vertices = big.v;
    a.indices = big.idx;
    b.vertices = small.v;
    b.indices = small.idx;
    list.meshes = {a, b};
    o.meshLists = {list};
    o.meshListWrapped = {false};
    s.objects = {o};
    ASSERT_TRUE(Z1WriteFile((dir / "z1/land.z1").c_str(), s));
    Z1Model model;
    ASSERT_TRUE(model.Load("land.z1"));
    ASSERT_NE(model.frames[0]->submeshes[0]->quadtree, nullptr);
    EXPECT_EQ(model.frames[0]->submeshes[1]->quadtree, nullptr);

    RayQuery q;
    q.start = VECTOR{200, 0.05f, 0.9f};
    q.end = VECTOR{-10, 0.05f, 0.9f};
    MATRIX world;
    MatrixIdentity(world);
    EXPECT_TRUE(model.RayTest(&q, world));
    EXPECT_NE(q.hitSubMesh, nullptr);
    EXPECT_EQ(q.modelStart, q.start);
    // A world matrix that cannot be inverted.
    MATRIX bad = world;
    bad[3] = 1.0f;
    EXPECT_FALSE(model.RayTest(&q, bad));
    EXPECT_TRUE(log.Has("could not invert world matrix\n"));
    // Both pieces reach collision: the large one through its tree's leaves,
    // the small one as one list whose triangles lie on the first 100 of the
    // large one.
    Handed h = CollideAll(model, model.frames[0]->submeshes[0]->quadtree);
    EXPECT_EQ(h.tested, h.inLeaves + 100);
    Z1SubMesh* piece = model.frames[0]->submeshes[1];
    for (int i = 0; i < piece->faceCount; i++) h.seen[Key(piece->vertices, piece->indices, i)]++;
    EXPECT_EQ(h.seen.size(), 150u);
    EXPECT_GE(h.seen[Key(small.v.data(), small.idx.data(), 0)], 2);
    EXPECT_GE(h.seen[Key(big.v.data(), big.idx.data(), 149)], 1);
}

}  // namespace

namespace {

// The tree as the draws, collision and ray tests see it, node by node in
// depth-first order: the box, whether it has children, and the corners
// (vertex values, in order) it hands the driver when drawn whole and the
// triangle tests when it is a leaf.
struct SeenNode {
    float box[6];
    bool leaf;
    std::vector<VERTEX> drawn, tested;
};

std::vector<VERTEX> Corners(const VERTEX* v, const uint16_t* idx, int triangles) {
    std::vector<VERTEX> out;
    for (int i = 0; i < triangles * 3; i++) out.push_back(v[idx[i]]);
    return out;
}

// The tree by its rules, written as plainly as they read: a child's list is
// its parent's triangles with a corner in its box (inclusive on every face),
// in order, and its y extent that of those corners; a node splits when it has
// more than tuning B triangles and fewer than its parent; the root and the
// children of nodes above tuning A can be drawn whole.
void Reference(const VERTEX* v, const std::vector<uint16_t>& list, const float box[6], bool drawn,
               bool splits, std::vector<SeenNode>& out) {
    const int n = static_cast<int>(list.size() / 3);
    SeenNode self;
    std::copy(box, box + 6, self.box);
    self.leaf = !splits;
    if (drawn) self.drawn = Corners(v, list.data(), n);
    if (!splits) self.tested = Corners(v, list.data(), n);
    out.push_back(self);
    if (!splits) return;
    const float xm = box[0] + (box[3] - box[0]) * 0.5f, zm = box[2] + (box[5] - box[2]) * 0.5f;
    const float boxes[4][6] = {{box[0], box[1], zm, xm, box[4], box[5]},
                               {xm, box[1], zm, box[3], box[4], box[5]},
                               {box[0], box[1], box[2], xm, box[4], zm},
                               {xm, box[1], box[2], box[3], box[4], zm}};
    for (const float* b : boxes) {
        std::vector<uint16_t> child;
        for (int t = 0; t < n; t++) {
            bool in = false;
            for (int k = 0; k < 3; k++) {
                const VERTEX& p = v[list[3 * t + k]];
                in = in ||
                     (p.x >= b[0] && p.x <= b[3] && p.y >= b[1] && p.y <= b[4] && p.z >= b[2] && p.z <= b[5]);
            }
            if (in) child.insert(child.end(), list.begin() + 3 * t, list.begin() + 3 * t + 3);
        }
        float cb[6] = {b[0], 1e8f, b[2], b[3], -1e8f, b[5]};
        for (uint16_t i : child) {
            cb[1] = v[i].y < cb[1] ? v[i].y : cb[1];
            cb[4] = v[i].y > cb[4] ? v[i].y : cb[4];
        }
        const int m = static_cast<int>(child.size() / 3);
        Reference(v, child, cb, n > QuadTreeTuningA(), m != n && m > QuadTreeTuningB(), out);
    }
}

void Seen(const QuadTree& t, int i, std::vector<SeenNode>& out, std::vector<int>& ids) {
    const QuadTree::Node& node = t.GetNode(i);
    SeenNode self;
    std::copy(node.box, node.box + 6, self.box);
    self.leaf = node.firstChild < 0;
    std::vector<uint16_t> scratch;
    if (t.IsDrawn(i)) {
        const QuadTree::Triangles d = t.Drawn(i, scratch);
        self.drawn = Corners(d.vertices, d.indices, d.triangleCount);
    }
    if (self.leaf) {
        const QuadTree::Triangles d = t.Tested(i, scratch);
        self.tested = Corners(d.vertices, d.indices, d.triangleCount);
    }
    out.push_back(self);
    ids.push_back(i);
    if (!self.leaf)
        for (int c = 0; c < 4; c++) Seen(t, node.firstChild + c, out, ids);
}

bool SameBits(const std::vector<VERTEX>& a, const std::vector<VERTEX>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), sizeof(VERTEX) * a.size()) == 0);
}

// Builds the reference beside the tree and compares them node by node. A
// drawn node's draw stays inside its window (the driver's vertex array path);
// in a nested tree, one above tuning value A draws its children's windows
// side by side rather than a copy of its own.
void ExpectAsItsRules(const QuadTree& t, const VERTEX* v, const std::vector<uint16_t>& list,
                      const float box[6], const char* name, bool nested) {
    std::vector<SeenNode> want, got;
    std::vector<int> ids;
    Reference(v, list, box, true, true, want);
    Seen(t, 0, got, ids);
    ASSERT_EQ(got.size(), want.size()) << name;
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_EQ(std::memcmp(got[i].box, want[i].box, sizeof(got[i].box)), 0) << name << " node " << i;
        EXPECT_EQ(got[i].leaf, want[i].leaf) << name << " node " << i;
        EXPECT_TRUE(SameBits(got[i].drawn, want[i].drawn)) << name << " node " << i;
        EXPECT_TRUE(SameBits(got[i].tested, want[i].tested)) << name << " node " << i;
        const QuadTree::Node& node = t.GetNode(ids[i]);
        if (ids[i] == 0 || !t.IsDrawn(ids[i])) continue;
        std::vector<uint16_t> scratch;
        const QuadTree::Triangles d = t.Drawn(ids[i], scratch);
        for (int k = 0; k < 3 * d.triangleCount; k++) ASSERT_LT(d.indices[k], d.vertexCount) << name;
        if (!nested || node.firstChild < 0 || !t.IsDrawn(node.firstChild)) continue;
        int side = 0;
        for (int k = 0; k < 4; k++) side += t.GetNode(node.firstChild + k).windowCount;
        EXPECT_EQ(node.window, t.GetNode(node.firstChild).window) << name << " node " << i;
        EXPECT_EQ(node.windowCount, side) << name << " node " << i;
    }
}

}  // namespace

// A rolling, shuffled terrain with shared corners, corners at -0, a NaN
// height and vertices no triangle names: every node's box, and the corners
// it draws and tests, bit for bit as the rules make them. The large one is
// built on two threads.
TEST(MeshQuadTree, DrawsAndTestsWhatItsRulesSay) {
    // The terrain's size and the tuning values, and how many nodes are
    // merged when drawn (those of at least 8 A triangles whose children draw
    // their children's windows): none; the root's children (the large one,
    // built on two threads); two levels, the upper merging the lower.
    const struct {
        int w, h, tuningA, tuningB, merged;
    } sizes[] = {{90, 70, 500, 100, 0}, {150, 100, 500, 100, 4}, {90, 70, 60, 12, 20}};
    Settings* const saved = g_settings;
    Settings settings;
    g_settings = &settings;
    for (const auto& size : sizes) {
        settings.tuningA = size.tuningA;
        settings.tuningB = size.tuningB;
        const int w = size.w, h = size.h;
        std::vector<VERTEX> v;
        for (int z = 0; z <= h; z++)
            for (int x = 0; x <= w; x++) {
                const float y =
                    static_cast<float>((x * 37 + z * 91) % 23) - 11.0f + 0.25f * static_cast<float>(x % 5);
                v.push_back(VERTEX{x * 7.0f, y, z * 5.0f, 0, 1, 0, x / 90.0f, z / 70.0f});
            }
        v[5].y = -0.0f;
        v[2000].y = std::numeric_limits<float>::quiet_NaN();
        std::vector<uint16_t> idx;
        for (int z = 0; z < h; z++)
            for (int x = 0; x < w; x++) {
                const uint16_t a = static_cast<uint16_t>(z * (w + 1) + x), b = static_cast<uint16_t>(a + 1),
                               c = static_cast<uint16_t>(a + w + 1), e = static_cast<uint16_t>(c + 1);
                idx.insert(idx.end(), {a, c, b, b, c, e});
            }
        // Triangles in a scrambled order, as exporters leave them.
        const int n = static_cast<int>(idx.size() / 3);
        std::vector<uint16_t> shuffled;
        for (int i = 0; i < n; i++) {
            const int t = static_cast<int>((static_cast<long long>(i) * 7919) % n);
            shuffled.insert(shuffled.end(), idx.begin() + 3 * t, idx.begin() + 3 * t + 3);
        }
        v.push_back(VERTEX{-500, 900, -500, 0, 1, 0, 0, 0});  // named by no triangle
        const float box[6] = {0, -12, 0, w * 7.0f, 12, h * 5.0f};
        // A box lower than some corners: those count only below the root's
        // children. Far from the origin, the finest halvings of the box round
        // onto each other.
        const float low[6] = {0, -12, 0, w * 7.0f, 4, h * 5.0f};
        std::vector<VERTEX> far = v;
        for (VERTEX& p : far) p.x += 1e7f;
        const float farBox[6] = {1e7f, -12, 0, 1e7f + w * 7.0f, 12, h * 5.0f};
        // Lows of +0 and -0 everywhere: which one a node keeps is the first
        // its own list names.
        std::vector<VERTEX> zeros = v;
        for (size_t i = 0; i < zeros.size(); i++)
            if (!(zeros[i].y > 0)) zeros[i].y = (i * 7 / 3) % 2 ? -0.0f : 0.0f;
        // A wall: flat in z, so the box has no grid to place corners on and
        // every corner goes by its coordinates. Each triangle goes to both
        // halves in z at every level, so the children's windows side by side
        // soon outgrow 16-bit indices and the nodes draw windows of their own.
        // A few hundred triangles from all over the terrain: every level
        // doubles them.
        std::vector<VERTEX> wall = v;
        for (VERTEX& p : wall) p.z = 0.0f;
        const std::vector<uint16_t> wallList(shuffled.begin(), shuffled.begin() + 3 * 600);
        const float wallBox[6] = {0, -12, 0, w * 7.0f, 12, 0};
        // The "short" case says it holds fewer vertices than the triangles name.
        struct Case {
            const char* name;
            const std::vector<uint16_t>* list;  // its triangles (all of them)
            const std::vector<VERTEX>* v;
            int vertices;
            const float* box;
            int nodes;
            bool nested = true;  // nodes above A draw their children's windows
        };
        const int nodes = size.tuningA != 500 ? -1 : w == 90 ? 341 : 1365;
        const Case cases[] = {{"rows", &idx, &v, static_cast<int>(v.size()), box, nodes},
                              {"shuffled", &shuffled, &v, static_cast<int>(v.size()), box, nodes},
                              {"short", &shuffled, &v, static_cast<int>(v.size()) - 300, box, nodes},
                              {"low", &shuffled, &v, static_cast<int>(v.size()), low, -1},
                              {"far", &shuffled, &far, static_cast<int>(v.size()), farBox, -1},
                              {"zeros", &shuffled, &zeros, static_cast<int>(v.size()), box, -1},
                              {"wall", &wallList, &wall, static_cast<int>(v.size()), wallBox, -1, false}};
        for (const Case& c : cases) {
            QuadTree t(c.v->data(), c.vertices, c.list->data(), static_cast<int>(c.list->size() / 3), c.box);
            t.Build();
            if (c.nodes >= 0) {
                EXPECT_EQ(t.NodeCount(), c.nodes) << c.name << " " << w;
            }
            int merged = 0;
            for (int i = 1; i < t.NodeCount(); i++) merged += t.IsDrawn(i) && t.GetNode(i).list < 0;
            if (c.nested) {
                EXPECT_EQ(merged, size.merged) << c.name << " " << w << " A " << size.tuningA;
            }
            ExpectAsItsRules(t, c.v->data(), *c.list, c.box, c.name, c.nested);
        }
    }
    g_settings = saved;
}

// 21,000 triangles that each name three vertices of their own and reach
// three of their node's four children: the children's windows side by side
// would need 189,000 vertices, past what 16-bit indices name, so the node
// draws a window of its own (and still draws what the rules say).
TEST(MeshQuadTree, AWindowTooLargeFor16BitIndicesIsTheNodesOwn) {
    std::vector<VERTEX> v;
    std::vector<uint16_t> idx;
    auto add = [&](float x0, float z0, float x1, float z1, int count) {
        for (int i = 0; i < count; i++) {
            const uint16_t b = static_cast<uint16_t>(v.size());
            v.push_back(VERTEX{x0, 0, z0, 0, 1, 0, 0, 0});
            v.push_back(VERTEX{x1, 0, z0, 0, 1, 0, 0, 0});
            v.push_back(VERTEX{x0, 0, z1, 0, 1, 0, 0, 0});
            idx.insert(idx.end(), {b, static_cast<uint16_t>(b + 1), static_cast<uint16_t>(b + 2)});
        }
    };
    add(10, 110, 90, 190, 21000);  // the root's child 0, across its middle
    add(110, 10, 120, 20, 200);    // elsewhere, so that child 0 splits
    const float box[6] = {0, 0, 0, 200, 1, 200};
    QuadTree t(v.data(), static_cast<int>(v.size()), idx.data(), static_cast<int>(idx.size() / 3), box);
    t.Build();
    ExpectAsItsRules(t, v.data(), idx, box, "large", false);
    const QuadTree::Node& large = t.GetNode(1);
    ASSERT_EQ(large.triangleCount, 21000);
    ASSERT_GE(large.firstChild, 0);
    EXPECT_TRUE(t.IsDrawn(large.firstChild));
    EXPECT_EQ(large.windowCount, 63000);
}
