// Collision end to end: a model file with a floor and a wall, placed in an
// area as a colliding object, walked against through the world's collider,
// and the same walk through z1tool collide.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "collision/collision.h"
#include "common/run_program.h"
#include "entities/objectentity.h"
#include "models/z1model/z1file.h"
#include "models/z1model/z1model.h"
#include "settings/settings.h"
#include "world/area.h"
#include "collision/rayquery.h"
#include "world/world.h"

namespace {

void AddQuad(Z1Mesh& m, const VECTOR& o, const VECTOR& u, const VECTOR& v) {
    const VECTOR corners[4] = {o, o + u, o + v, o + u + v};
    uint16_t base = static_cast<uint16_t>(m.vertices.size());
    for (const VECTOR& c : corners) {
        VERTEX x{};
        x.x = c.x;
        x.y = c.y;
        x.z = c.z;
        m.vertices.push_back(x);
    }
    const uint16_t tri[6] = {0, 1, 2, 2, 1, 3};  // both facing u x v
    for (uint16_t i : tri) m.indices.push_back(static_cast<uint16_t>(base + i));
}

// A floor at y = 0 over [-1000, 1000] and a wall at x = 300 facing -x.
std::string WriteRoom(const std::string& dir) {
    Z1Scene s;
    Z1GeomObject o;
    o.name = "room";
    Z1Mesh m;
    AddQuad(m, VECTOR(-1000, 0, -1000), VECTOR(0, 0, 2000), VECTOR(2000, 0, 0));
    AddQuad(m, VECTOR(300, -1000, -1000), VECTOR(0, 0, 2000), VECTOR(0, 2000, 0));
    m.vertexCount = static_cast<int32_t>(m.vertices.size());
    m.faceCount = static_cast<int32_t>(m.indices.size() / 3);
    o.hasBoxMin = o.hasBoxMax = true;
    o.boxMin = VECTOR(-1000, -1000, -1000);
    o.boxMax = VECTOR(1000, 1000, 1000);
    Z1MeshList list;
    list.meshes.push_back(m);
    o.meshLists.push_back(list);
    o.meshListWrapped.push_back(false);
    s.objects.push_back(o);
    std::string path = dir + "/room.z1";
    EXPECT_TRUE(Z1WriteFile(path.c_str(), s));
    return path;
}

class RoomTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = ::testing::TempDir() + "zendar_room_" + std::to_string(::getpid());
        std::string cmd = "mkdir -p '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        path = WriteRoom(dir);
        saved = g_settings;
        g_settings = &settings;
        settings.collisionOn = 1;
    }
    void TearDown() override {
        g_settings = saved;
        std::string cmd = "rm -rf '" + dir + "'";
        (void)std::system(cmd.c_str());
    }
    std::string dir, path;
    Settings settings;
    Settings* saved = nullptr;
};

// The engine's walk: n frames of the same move from start.
std::vector<VECTOR> Walk(const std::string& modelPath, const VECTOR& start, const VECTOR& move, int frames,
                         int* colliders) {
    std::vector<VECTOR> out;
    Z1Model model;
    EXPECT_TRUE(model.LoadPath(modelPath.c_str()));
    Area area;
    ObjectEntity* object = new ObjectEntity(&model, "room", 0, 0, 0);
    object->UpdateBounds();
    EXPECT_TRUE(area.AddToSceneTree(object));
    area.Register(object);
    World world;
    world.Initialise("no_such_daycycle.ini");  // installs collision into the seams
    VECTOR p = start;
    g_settings->colliderCount = 0;
    for (int i = 0; i < frames; ++i) {
        p = world.CheckCollision(p, move);
        out.push_back(p);
    }
    if (colliders) *colliders = g_settings->colliderCount;
    // The ray test reaches the same triangles through the model.
    EXPECT_FALSE(area.LineOfSight(VECTOR(0, 100, 0), VECTOR(600, 100, 0)));
    EXPECT_TRUE(area.LineOfSight(VECTOR(0, 100, 0), VECTOR(200, 100, 0)));
    return out;
}

}  // namespace

TEST_F(RoomTest, BodyStandsOnTheFloorAndStopsAtTheWall) {
    int colliders = 0;
    std::vector<VECTOR> walk = Walk(path, VECTOR(0, 200, 0), VECTOR(50, 0, 0), 10, &colliders);
    ASSERT_EQ(walk.size(), 10u);
    const VECTOR& last = walk.back();
    // Resting: the ellipsoid centre 0.05 x 90 above its 90-unit radius, plus the lift.
    EXPECT_NEAR(last.y, 90.0f * 1.05f + 15.0f, 0.05f);
    // Stopped 0.05 x 40 short of touching the wall at 300.
    EXPECT_NEAR(last.x, 300.0f - 40.0f * 1.05f, 0.05f);
    EXPECT_NEAR(last.z, 0.0f, 1e-3f);
    // Every frame stayed out of the wall and above the floor.
    for (const VECTOR& p : walk) {
        EXPECT_LE(p.x, 300.0f - 40.0f);
        EXPECT_GE(p.y - 15.0f, 90.0f);
    }
    EXPECT_GT(colliders, 0);
    EXPECT_EQ(colliders % 4, 0);  // whole lists of four triangles
}

TEST_F(RoomTest, ToolWalkPrintsTheEnginesPositions) {
    std::vector<VECTOR> walk = Walk(path, VECTOR(0, 200, 0), VECTOR(50, 0, 10), 8, nullptr);
    std::string cmd =
        std::string("'") + ZENDAR_BIN_DIR + "/z1tool' collide '" + path + "' 0 200 0 50 0 10 --frames 8";
    test_common::ProgramRun run = test_common::RunProgram(cmd);
    const std::string& out = run.out;
    EXPECT_EQ(run.status, 0);
    std::istringstream lines(out);
    for (const VECTOR& p : walk) {
        float x, y, z;
        ASSERT_TRUE(static_cast<bool>(lines >> x >> y >> z)) << out;
        EXPECT_FLOAT_EQ(x, p.x);
        EXPECT_FLOAT_EQ(y, p.y);
        EXPECT_FLOAT_EQ(z, p.z);
    }
    float extra;
    EXPECT_FALSE(static_cast<bool>(lines >> extra));

    // Bad arguments are usage errors; a missing model is a failure.
    std::string tool = std::string("'") + ZENDAR_BIN_DIR + "/z1tool' collide ";
    EXPECT_EQ(test_common::RunProgram(tool + "'" + path + "' 0 0 0 1 1 >/dev/null 2>&1").status, 2);
    EXPECT_EQ(test_common::RunProgram(tool + "'" + path + "' 0 0 0 1 1 x >/dev/null 2>&1").status, 2);
    EXPECT_EQ(test_common::RunProgram(tool + "'" + path + "' 0 0 0 1 1 1 --frames >/dev/null 2>&1").status,
              2);
    EXPECT_EQ(test_common::RunProgram(tool + "'" + dir + "/none.z1' 0 0 0 1 1 1 >/dev/null 2>&1").status, 1);
}
