// Collide and slide on hand-built triangle sets: short moves, walls, corners,
// slopes, falling, embedding, rays and the broad phase.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "collision/collision.h"
#include "common/triangle_mesh.h"
#include "settings/settings.h"
#include "utility/log.h"
#include "collision/rayquery.h"

namespace {

using Mesh = test_common::TriangleMesh;

const VECTOR kRadii(40.0f, 90.0f, 40.0f);
const VECTOR kGravity(0.0f, -30.0f, 0.0f);

// The floor y = 0 over x, z in [-2000, 2000].
void AddFloor(Mesh& m, float y = 0.0f) {
    m.Quad(VECTOR(-2000, y, -2000), VECTOR(0, 0, 4000), VECTOR(4000, 0, 0));
}
// The wall x = x0 facing -x.
void AddWallX(Mesh& m, float x0) { m.Quad(VECTOR(x0, -2000, -2000), VECTOR(0, 0, 4000), VECTOR(0, 4000, 0)); }
// The wall z = z0 facing -z.
void AddWallZ(Mesh& m, float z0) { m.Quad(VECTOR(-2000, -2000, z0), VECTOR(0, 4000, 0), VECTOR(4000, 0, 0)); }

class CollisionTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = g_settings;
        g_settings = &settings;
        settings.collisionOn = 1;
        collider.traverse = [this](CollisionPacket* p) {
            ++traversals;
            CollideTriangles(p, mesh.vertices.data(), mesh.indices.data(), mesh.Count());
        };
    }
    void TearDown() override { g_settings = saved; }

    VECTOR Ellipsoid(const VECTOR& w) const { return VECTOR(w.x / kRadii.x, w.y / kRadii.y, w.z / kRadii.z); }

    Settings settings;
    Settings* saved = nullptr;
    Mesh mesh;
    Collider collider{kRadii, kGravity};
    int traversals = 0;
};

void ExpectNear(const VECTOR& got, const VECTOR& want, float tol) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}

}  // namespace

TEST(TriangleTests, PointInTriangleCountsEdgesWithinEpsilonAsInside) {
    VECTOR a(0, 0, 0), b(0, 0, 10), c(10, 0, 0);
    EXPECT_TRUE(PointInTriangle(VECTOR(2, 0, 2), a, b, c));
    EXPECT_TRUE(PointInTriangle(VECTOR(0, 0, 5), a, b, c));       // on edge AB
    EXPECT_TRUE(PointInTriangle(VECTOR(5, 0, 5), a, b, c));       // on the hypotenuse
    EXPECT_TRUE(PointInTriangle(VECTOR(-5e-6f, 0, 5), a, b, c));  // within 1e-5 of the edge plane
    EXPECT_FALSE(PointInTriangle(VECTOR(-1e-3f, 0, 5), a, b, c));
    EXPECT_FALSE(PointInTriangle(VECTOR(6, 0, 6), a, b, c));
    // Same answers with the other winding.
    EXPECT_TRUE(PointInTriangle(VECTOR(2, 0, 2), a, c, b));
    EXPECT_FALSE(PointInTriangle(VECTOR(6, 0, 6), a, c, b));
    // The test is about the prism over the triangle: height above it does not matter.
    EXPECT_TRUE(PointInTriangle(VECTOR(2, 7, 2), a, b, c));
}

TEST(TriangleTests, ClosestPointsClampToSegmentEndsAndPickTheNearestEdge) {
    VECTOR a(0, 0, 0), b(10, 0, 0);
    ExpectNear(ClosestPointOnSegment(VECTOR(-3, 4, 0), a, b), a, 0);
    ExpectNear(ClosestPointOnSegment(VECTOR(13, 4, 0), a, b), b, 0);
    ExpectNear(ClosestPointOnSegment(VECTOR(4, 4, 9), a, b), VECTOR(4, 0, 0), 1e-6f);

    VECTOR c(0, 10, 0);
    ExpectNear(ClosestPointOnTriangle(VECTOR(5, -2, 0), a, b, c), VECTOR(5, 0, 0), 1e-5f);  // AB
    ExpectNear(ClosestPointOnTriangle(VECTOR(8, 8, 0), a, b, c), VECTOR(5, 5, 0), 1e-5f);   // BC
    ExpectNear(ClosestPointOnTriangle(VECTOR(-2, 5, 0), a, b, c), VECTOR(0, 5, 0), 1e-5f);  // CA
    // Equally near AB and CA (both at the corner A): the earlier edge's answer.
    ExpectNear(ClosestPointOnTriangle(VECTOR(-1, -1, 0), a, b, c), a, 0);
}

TEST_F(CollisionTest, CollisionOffReturnsTheExactSumWithoutLift) {
    settings.collisionOn = 0;
    AddFloor(mesh);
    VECTOR p(1.25f, 3.5f, -7.0f), v(0.1f, -100.0f, 0.3f);
    VECTOR r = collider.CheckCollision(p, v);
    EXPECT_EQ(r.x, p.x + v.x);
    EXPECT_EQ(r.y, p.y + v.y);
    EXPECT_EQ(r.z, p.z + v.z);
    EXPECT_EQ(traversals, 0);
    ExpectNear(collider.packet->gravity, kGravity, 0);
}

TEST_F(CollisionTest, ShortMoveIsDroppedButGravityStillApplies) {
    // 1 world unit in x is 0.025 ellipsoid units: below the 0.05 margin.
    VECTOR r = collider.CheckCollision(VECTOR(0, 200, 0), VECTOR(1, 0, 0));
    EXPECT_EQ(r.x, 0.0f);
    // Free fall by 30 less the margin (0.05 x 90), then the 15-unit lift.
    EXPECT_NEAR(r.y, 200.0f - 30.0f + 4.5f + 15.0f, 1e-3f);
    EXPECT_EQ(traversals, 1);  // only the gravity pass looked at the world
    EXPECT_NEAR(VectorLength(collider.packet->gravity), 60.0f, 1e-4f);
}

TEST_F(CollisionTest, WallStopsTheMoveAHundredthShortThenNothingRemains) {
    AddWallX(mesh, 100.0f);  // 2.5 ellipsoid units away; contact after 1.5
    collider.depth = 0;
    VECTOR r = collider.CollideWithWorld(VECTOR(0, 0, 0), Ellipsoid(VECTOR(200, 0, 0)), false);
    EXPECT_NEAR(collider.packet->nearestDistance, 1.5, 1e-5);
    // Stops 0.05 before the contact: the centre is 1.05 from the wall.
    ExpectNear(r, VECTOR(1.45f, 0, 0), 1e-5f);
    EXPECT_EQ(collider.depth, 1);
}

TEST_F(CollisionTest, DiagonalMoveIntoAWallSlidesAlongIt) {
    AddWallX(mesh, 100.0f);
    collider.depth = 0;
    VECTOR v = Ellipsoid(VECTOR(200, 0, 200));  // (5, 0, 5)
    VECTOR r = collider.CollideWithWorld(VECTOR(0, 0, 0), v, false);
    // Worked by hand: the sphere point (1, 0, 0) meets the wall at (2.5, 0, 1.5)
    // after 1.5 * sqrt(2); the centre stops 0.05 earlier at (1.4646, 0, 1.4646).
    // The sliding plane through the contact faces that centre, so the
    // projected rest of the move is (-0.1167, 0, 3.4106), which is free and
    // ends 0.05 short.
    EXPECT_EQ(collider.depth, 1);
    ExpectNear(r, VECTOR(1.3496f, 0.0f, 4.8252f), 1e-3f);
    // The slide keeps most of the motion along the wall and never reaches it.
    EXPECT_LT(r.x * 40.0f + 40.0f, 100.0f);
}

TEST_F(CollisionTest, CornerEndsWithinSixStepsAndInsideBothWalls) {
    AddWallX(mesh, 100.0f);
    AddWallZ(mesh, 100.0f);
    for (int frame = 0; frame < 5; ++frame) {
        collider.depth = 0;
        traversals = 0;
        VECTOR p = Ellipsoid(VECTOR(0, 0, 0));
        VECTOR r = collider.CollideWithWorld(p, Ellipsoid(VECTOR(300, 0, 170)), false);
        EXPECT_LE(collider.depth, kCollisionMaxDepth);
        EXPECT_LE(traversals, kCollisionMaxDepth);
        EXPECT_LE(r.x, 1.45f + 1e-4f);
        EXPECT_LE(r.z, 1.45f + 1e-4f);
    }
}

TEST_F(CollisionTest, RecursionLimitReturnsThePositionReachedWithoutLooking) {
    AddWallX(mesh, 100.0f);
    collider.depth = kCollisionMaxDepth;
    VECTOR p(0.5f, 0.25f, 0.125f);
    VECTOR r = collider.CollideWithWorld(p, VECTOR(5, 0, 0), false);
    EXPECT_EQ(r, p);
    EXPECT_EQ(traversals, 0);
}

TEST_F(CollisionTest, NarrowWedgeRunsTheFullSixSteps) {
    // Two walls meeting at x = 400 at a shallow angle: every slide along one
    // wall runs into the other, so the chain only ends at the limit.
    const float h = 2000.0f, w = 600.0f;
    mesh.Triangle(VECTOR(400, -h, 0), VECTOR(-1600, -h, w), VECTOR(400, h, 0));
    mesh.Triangle(VECTOR(400, h, 0), VECTOR(-1600, -h, w), VECTOR(-1600, h, w));
    mesh.Triangle(VECTOR(400, -h, 0), VECTOR(400, h, 0), VECTOR(-1600, -h, -w));
    mesh.Triangle(VECTOR(400, h, 0), VECTOR(-1600, h, -w), VECTOR(-1600, -h, -w));
    int deepest = 0;
    VECTOR p = Ellipsoid(VECTOR(-1000, 0, 10));
    for (int frame = 0; frame < 5; ++frame) {
        collider.depth = 0;
        traversals = 0;
        VECTOR r = collider.CollideWithWorld(p, Ellipsoid(VECTOR(1300, 0, -20)), false);
        if (collider.depth > deepest) deepest = collider.depth;
        EXPECT_LE(collider.depth, kCollisionMaxDepth);
        EXPECT_LE(traversals, kCollisionMaxDepth);
        EXPECT_LT(r.x * 40.0f, 400.0f);
        p = r;
    }
    EXPECT_EQ(deepest, kCollisionMaxDepth);
}

namespace {
// A ramp rising in +x from x = 100 whose normal, in ellipsoid space (where
// the steep-face rule looks at it), has the y component normalY.
void AddRamp(Mesh& m, float normalY, float top) {
    float s = std::sqrt(1.0f - normalY * normalY);
    float rise = s / normalY * 90.0f / 40.0f;  // world rise per unit of run
    float run = top / rise;
    m.Quad(VECTOR(100, 0, -2000), VECTOR(0, 0, 4000), VECTOR(run, top, 0));
}
}  // namespace

TEST_F(CollisionTest, SteepSlopeRisingAboveTheCentreCannotBeClimbed) {
    AddRamp(mesh, 0.9f, 1000.0f);
    collider.depth = 0;
    VECTOR p = Ellipsoid(VECTOR(0, 50, 0));
    VECTOR r = collider.CollideWithWorld(p, Ellipsoid(VECTOR(300, 0, 0)), false);
    EXPECT_TRUE(collider.depth >= 1);
    EXPECT_EQ(r.y, p.y);  // the slide lost its upward part
}

TEST_F(CollisionTest, GentleSlopeIsClimbed) {
    AddRamp(mesh, 0.97f, 1000.0f);
    collider.depth = 0;
    VECTOR p = Ellipsoid(VECTOR(0, 50, 0));
    VECTOR r = collider.CollideWithWorld(p, Ellipsoid(VECTOR(300, 0, 0)), false);
    EXPECT_TRUE(collider.depth >= 1);
    EXPECT_GT(r.y, p.y + 0.05f);
}

TEST_F(CollisionTest, SteepFaceEntirelyBelowTheCentreStillLiftsTheSlide) {
    // A kerb of height 30 whose top is below the centre at y = 50.
    AddRamp(mesh, 0.9f, 30.0f);
    collider.depth = 0;
    VECTOR p = Ellipsoid(VECTOR(0, 50, 0));
    VECTOR r = collider.CollideWithWorld(p, Ellipsoid(VECTOR(300, 0, 0)), false);
    EXPECT_GT(r.y, p.y);
}

TEST_F(CollisionTest, FallingDoublesGravityUntilTwoHundredAndLandingResetsIt) {
    const float expected[] = {60, 120, 240, 240};
    VECTOR p(0, 5000, 0);
    for (float g : expected) {
        p = collider.CheckCollision(p, VECTOR(0, 0, 0));
        EXPECT_NEAR(VectorLength(collider.packet->gravity), g, 1e-3f);
    }
    // A floor appears 300 below: the fall of 240 does not reach it, the next one lands.
    AddFloor(mesh, p.y - 15.0f - 90.0f - 300.0f);
    p = collider.CheckCollision(p, VECTOR(0, 0, 0));
    EXPECT_NEAR(VectorLength(collider.packet->gravity), 240.0f, 1e-3f);
    float floorY = mesh.vertices[0].y;
    p = collider.CheckCollision(p, VECTOR(0, 0, 0));
    ExpectNear(collider.packet->gravity, kGravity, 0);
    // Resting 0.05 ellipsoid units above the floor, plus the lift.
    EXPECT_NEAR(p.y, floorY + 90.0f * 1.05f + 15.0f, 1e-2f);
}

TEST_F(CollisionTest, WalkingOnTheFloorKeepsTheBodyOnIt) {
    AddFloor(mesh);
    VECTOR p(0, 90.0f * 1.05f, 0);
    VECTOR r = collider.CheckCollision(p, VECTOR(100, 0, 0));
    EXPECT_NEAR(r.x, 100.0f - 2.0f, 0.01f);  // the free move loses the 0.05 margin (2 units in x)
    EXPECT_NEAR(r.y, 90.0f * 1.05f + 15.0f, 0.01f);
    ExpectNear(collider.packet->gravity, kGravity, 0);
}

TEST_F(CollisionTest, EmbeddedReturnsTheLastSafePositionAndLogs) {
    std::string path = ::testing::TempDir() + "zendar_collision_embedded.txt";
    Log log(path.c_str());
    Log* savedLog = g_log;
    g_log = &log;
    settings.write_log = 1;

    AddFloor(mesh);
    collider.packet->lastSafePosition = VECTOR(7, 8, 9);
    collider.packet->hasSafePosition = true;
    collider.depth = 0;
    VECTOR r = collider.CollideWithWorld(Ellipsoid(VECTOR(0, 50, 0)), VECTOR(1, 0, 0), false);
    g_log = savedLog;
    settings.write_log = 0;

    EXPECT_EQ(r, VECTOR(7, 8, 9));
    EXPECT_TRUE(collider.packet->embedded);
    ExpectNear(collider.packet->hitNormal, VECTOR(0, 1, 0), 1e-6f);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    char want[128];
    std::snprintf(want, sizeof want, "embedded.. plane normal (0.000000,1.000000,0.000000) at dist %f",
                  1.0 - 50.0 / 90.0);
    EXPECT_NE(text.str().find(want), std::string::npos) << text.str();
    std::remove(path.c_str());
}

TEST_F(CollisionTest, EmbeddedBeforeAnySafePositionStaysPut) {
    // A body placed inside geometry before it ever moved freely has no safe
    // position to go back to; it must not be sent to the origin.
    AddFloor(mesh);
    collider.depth = 0;
    VECTOR start = Ellipsoid(VECTOR(30, 50, -20));
    VECTOR r = collider.CollideWithWorld(start, VECTOR(1, 0, 0), false);
    EXPECT_TRUE(collider.packet->embedded);
    EXPECT_EQ(r, start);

    // Through the full entry point the body keeps its place (plus the lift).
    VECTOR world = collider.CheckCollision(VECTOR(30, 50, -20), VECTOR(0, 0, 0));
    EXPECT_NEAR(world.x, 30.0f, 1e-3f);
    EXPECT_NEAR(world.z, -20.0f, 1e-3f);
    EXPECT_NEAR(world.y, 65.0f, 1e-3f);
}

TEST_F(CollisionTest, FreeMoveRecordsTheLastSafePosition) {
    collider.depth = 0;
    VECTOR p(1, 2, 3);
    VECTOR r = collider.CollideWithWorld(p, VECTOR(2, 0, 0), false);
    EXPECT_EQ(collider.packet->lastSafePosition, p);
    ExpectNear(r, VECTOR(2.95f, 2, 3), 1e-6f);
}

TEST_F(CollisionTest, CollidersCounterAddsEveryTestedList) {
    AddFloor(mesh);
    AddWallX(mesh, 100.0f);
    settings.colliderCount = 0;
    collider.CheckCollision(VECTOR(0, 95, 0), VECTOR(200, 0, 0));
    EXPECT_GT(traversals, 1);
    EXPECT_EQ(settings.colliderCount, traversals * mesh.Count());
}

TEST_F(CollisionTest, DegenerateTrianglesAreSkipped) {
    mesh.Triangle(VECTOR(50, 0, 0), VECTOR(50, 0, 0), VECTOR(50, 10, 0));  // zero edge
    mesh.Triangle(VECTOR(50, 0, 0), VECTOR(50, 5, 0), VECTOR(50, 10, 0));  // collinear
    collider.depth = 0;
    VECTOR r = collider.CollideWithWorld(VECTOR(0, 0, 0), VECTOR(5, 0, 0), false);
    EXPECT_FALSE(collider.packet->foundCollision);
    ExpectNear(r, VECTOR(4.95f, 0, 0), 1e-6f);
}

TEST_F(CollisionTest, EdgeContactUsesTheClosestEdgePoint) {
    // A wall ending at z = 20: a sphere passing at z = 50 only touches its end edge.
    mesh.Quad(VECTOR(100, -2000, -2000), VECTOR(0, 0, 2020), VECTOR(0, 4000, 0));
    collider.depth = 0;
    VECTOR p = Ellipsoid(VECTOR(0, 0, 50));  // z = 1.25; the edge is at z = 0.5
    collider.traverse = [this](CollisionPacket* pk) {
        CollideTriangles(pk, mesh.vertices.data(), mesh.indices.data(), mesh.Count());
    };
    VECTOR v = Ellipsoid(VECTOR(200, 0, 0));
    collider.packet->velocity = v;
    collider.packet->source = p;
    collider.packet->foundCollision = false;
    collider.packet->embedded = false;
    collider.packet->nearestDistance = -1.0;
    CollideTriangles(collider.packet, mesh.vertices.data(), mesh.indices.data(), mesh.Count());
    ASSERT_TRUE(collider.packet->foundCollision);
    EXPECT_NEAR(collider.packet->polygonIntersectionPoint.x, 2.5f, 1e-5f);
    EXPECT_NEAR(collider.packet->polygonIntersectionPoint.z, 0.5f, 1e-5f);
    // The sphere reaches the edge when its centre is sqrt(1 - 0.75^2) before x = 2.5.
    EXPECT_NEAR(collider.packet->nearestDistance, 2.5 - std::sqrt(1.0 - 0.75 * 0.75), 1e-4);
}

TEST_F(CollisionTest, NearestOfSeveralContactsWins) {
    AddWallX(mesh, 300.0f);
    AddWallX(mesh, 100.0f);
    collider.packet->velocity = VECTOR(10, 0, 0);
    collider.packet->source = VECTOR(0, 0, 0);
    collider.packet->foundCollision = false;
    collider.packet->nearestDistance = -1.0;
    CollideTriangles(collider.packet, mesh.vertices.data(), mesh.indices.data(), mesh.Count());
    ASSERT_TRUE(collider.packet->foundCollision);
    EXPECT_NEAR(collider.packet->nearestDistance, 1.5, 1e-5);
    EXPECT_EQ(collider.packet->hitClassification, POINT_IN_FRONT_OF_PLANE);
    // A contact beyond the move's length is ignored.
    collider.packet->velocity = VECTOR(1.4f, 0, 0);
    collider.packet->foundCollision = false;
    collider.packet->nearestDistance = -1.0;
    CollideTriangles(collider.packet, mesh.vertices.data(), mesh.indices.data(), mesh.Count());
    EXPECT_FALSE(collider.packet->foundCollision);
}

TEST_F(CollisionTest, WorldMatrixMovesTheTriangles) {
    AddWallX(mesh, 0.0f);
    MATRIX world;
    MatrixTranslation(world, 100, 0, 0);
    collider.packet->SetWorldMatrix(world);
    EXPECT_FALSE(collider.packet->worldIsIdentity);
    collider.packet->velocity = VECTOR(10, 0, 0);
    collider.packet->source = VECTOR(0, 0, 0);
    collider.packet->foundCollision = false;
    collider.packet->nearestDistance = -1.0;
    CollideTriangles(collider.packet, mesh.vertices.data(), mesh.indices.data(), mesh.Count());
    ASSERT_TRUE(collider.packet->foundCollision);
    EXPECT_NEAR(collider.packet->nearestDistance, 1.5, 1e-5);
}

// --- rays -----------------------------------------------------------------

namespace {
RayQuery Ray(const VECTOR& from, const VECTOR& to) {
    RayQuery q;
    q.start = q.modelStart = from;
    q.end = q.modelEnd = to;
    q.direction = to - from;
    VectorNormalize(q.direction);
    return q;
}
}  // namespace

TEST(RayTrianglesTest, OneSidedFacesStopRaysFromTheFrontOnly) {
    Mesh m;
    AddWallX(m, 100.0f);  // faces -x
    RayQuery front = Ray(VECTOR(0, 10, 30), VECTOR(500, 10, 30));
    RayTriangles(&front, m.vertices.data(), m.indices.data(), m.Count(), false);
    EXPECT_EQ(front.hitCount, 1);
    EXPECT_NEAR(front.bestDistance, 100.0f, 1e-3f);
    ExpectNear(front.hitPoint, VECTOR(100, 10, 30), 1e-3f);

    RayQuery behind = Ray(VECTOR(500, 10, 30), VECTOR(0, 10, 30));
    RayTriangles(&behind, m.vertices.data(), m.indices.data(), m.Count(), false);
    EXPECT_EQ(behind.hitCount, 0);

    RayQuery twoSided = Ray(VECTOR(500, 10, 30), VECTOR(0, 10, 30));
    RayTriangles(&twoSided, m.vertices.data(), m.indices.data(), m.Count(), true);
    EXPECT_EQ(twoSided.hitCount, 1);
    EXPECT_NEAR(twoSided.bestDistance, 400.0f, 1e-3f);
}

TEST(RayTrianglesTest, ShortRaysMissAndTheNearestHitIsKept) {
    Mesh m;
    AddWallX(m, 300.0f);
    AddWallX(m, 100.0f);
    RayQuery shortRay = Ray(VECTOR(0, 0, 0), VECTOR(99, 0, 0));
    RayTriangles(&shortRay, m.vertices.data(), m.indices.data(), m.Count(), false);
    EXPECT_EQ(shortRay.hitCount, 0);

    RayQuery all = Ray(VECTOR(0, 10, 30), VECTOR(1000, 10, 30));
    RayTriangles(&all, m.vertices.data(), m.indices.data(), m.Count(), false);
    EXPECT_EQ(all.hitCount, 2);
    EXPECT_NEAR(all.bestDistance, 100.0f, 1e-3f);

    RayQuery first = Ray(VECTOR(0, 10, 30), VECTOR(1000, 10, 30));
    first.stopAtFirstHit = true;
    RayTriangles(&first, m.vertices.data(), m.indices.data(), m.Count(), false);
    EXPECT_EQ(first.hitCount, 1);
    EXPECT_NEAR(first.bestDistance, 300.0f, 1e-3f);  // list order, not distance order
}

TEST(RayTrianglesTest, ParallelAndOutsideRaysMiss) {
    Mesh m;
    AddFloor(m);
    RayQuery parallel = Ray(VECTOR(0, 10, 0), VECTOR(500, 10, 0));
    RayTriangles(&parallel, m.vertices.data(), m.indices.data(), m.Count(), true);
    EXPECT_EQ(parallel.hitCount, 0);
    RayQuery outside = Ray(VECTOR(3000, 10, 0), VECTOR(3000, -10, 0));
    RayTriangles(&outside, m.vertices.data(), m.indices.data(), m.Count(), true);
    EXPECT_EQ(outside.hitCount, 0);
    RayQuery down = Ray(VECTOR(5, 10, 5), VECTOR(5, -10, 5));
    RayTriangles(&down, m.vertices.data(), m.indices.data(), m.Count(), false);
    EXPECT_EQ(down.hitCount, 1);
}

// --- boxes -------------------------------------------------------------------

TEST(BoxCollisionTest, BoxTrianglesFaceOutwards) {
    const float box[6] = {-1, -2, -3, 4, 5, 6};
    VERTEX corners[8];
    uint16_t idx[36];
    BoxTriangles(box, corners, idx);
    VECTOR centre = BoxCenter(box);
    for (int t = 0; t < 12; ++t) {
        VECTOR a(corners[idx[t * 3]].x, corners[idx[t * 3]].y, corners[idx[t * 3]].z);
        VECTOR b(corners[idx[t * 3 + 1]].x, corners[idx[t * 3 + 1]].y, corners[idx[t * 3 + 1]].z);
        VECTOR c(corners[idx[t * 3 + 2]].x, corners[idx[t * 3 + 2]].y, corners[idx[t * 3 + 2]].z);
        VECTOR n = VectorCross(b - a, c - a);
        EXPECT_GT(VectorDot(n, a - centre), 0.0f) << "triangle " << t;
    }
}

TEST(BoxCollisionTest, CollideBoxStopsAtTheTransformedBoxAndSkipsFarBoxes) {
    Settings settings;
    Settings* saved = g_settings;
    g_settings = &settings;
    CollisionPacket packet;
    packet.radii = VECTOR(1, 1, 1);
    packet.source = VECTOR(0, 0, 0);
    packet.velocity = VECTOR(10, 0, 0);
    packet.broadCentre = VECTOR(0, 0, 0);
    packet.broadRadius = 1 + 10 * 1.5f;
    const float box[6] = {-1, -1, -1, 1, 1, 1};
    MATRIX world;
    MatrixTranslation(world, 5, 0, 0);
    CollideBox(&packet, box, world);
    ASSERT_TRUE(packet.foundCollision);
    EXPECT_NEAR(packet.nearestDistance, 3.0, 1e-5);
    EXPECT_EQ(settings.colliderCount, 12);

    CollisionPacket far;
    far.broadRadius = 2;
    far.velocity = VECTOR(10, 0, 0);
    MatrixTranslation(world, 50, 0, 0);
    CollideBox(&far, box, world);
    EXPECT_FALSE(far.foundCollision);
    EXPECT_EQ(settings.colliderCount, 12);  // the broad phase kept the box out

    EXPECT_TRUE(PacketTouchesModelBox(&packet, box));
    packet.SetWorldMatrix(world);  // the box now at x = 50
    EXPECT_FALSE(PacketTouchesModelBox(&packet, box));
    g_settings = saved;
}
