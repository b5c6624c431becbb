// The scene tree: splitting, insertion, enlarging, drawing with culling,
// picking through the screen centre, line of sight; spawn points.
#include <gtest/gtest.h>

#include <string>

#include "collision/collision.h"
#include "common/recording_driver.h"
#include "culling/cplane.h"
#include "entities/cameraentity.h"
#include "entities/lightentity.h"
#include "entities/modelaccess.h"
#include "entities/objectentity.h"
#include "imports/enginecalls.h"
#include "models/z1model/z1model.h"
#include "world/area.h"
#include "collision/rayquery.h"
#include "world_helpers.h"
#include "world_models.h"

using world_test::GameDir;
using world_test::LogCapture;

namespace {

class SceneTree : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir((dir / "z1").c_str(), 0755);
        ASSERT_TRUE(Z1WriteFile((dir / "z1/cube.z1").c_str(), world_test::CubeScene(10.0f)));
        ASSERT_TRUE(Z1WriteFile((dir / "z1/post.z1").c_str(), world_test::PostScene()));
    }

    // A marker entity with a box of half-size h around (x, z).
    Entity* Marker(Area& area, const char* name, float x, float z, float h) {
        CameraEntity* e = new CameraEntity(nullptr, name, x, 0, z);
        const float box[6] = {x - h, -h, z - h, x + h, h, z + h};
        for (int i = 0; i < 6; ++i) e->box[i] = box[i];
        if (!area.AddToSceneTree(e)) {
            delete e;
            return nullptr;
        }
        area.Register(e);
        return e;
    }

    // Looks from eye at target through the driver's view matrix.
    void Look(const VECTOR& eye, const VECTOR& target) {
        MATRIX view;
        ASSERT_TRUE(MatrixLookAt(view, eye, target, VECTOR(0, 1, 0)));
        driver.SetViewMatrix(&view);
    }

    GameDir dir;
    LogCapture log{dir / "log.txt"};
    RecordingDriver driver;
    ScopedDriver scoped{&driver};
};

// Counts the scene tree's calls to draw it.
struct CountingMarker : CameraEntity {
    CountingMarker(const char* name, float x, float y, float z) : CameraEntity(nullptr, name, x, y, z) {}
    void Render(CPlane*) override { ++renders; }
    int renders = 0;
};

int AlphaListCountForTest(Area& area) { return AlphaListCount(area.alphaList); }

int Depth(const SceneNode* n) { return n->isLeaf ? 0 : 1 + Depth(n->children[0]); }

TEST_F(SceneTree, TheFirstEntityMakesARootSplitDownToTuningValueD) {
    Area area;
    Entity* world = Marker(area, "world", 0, 0, 10000);
    ASSERT_NE(world, nullptr);
    ASSERT_NE(area.root, nullptr);
    EXPECT_EQ(area.root->size, 20000.0f);
    EXPECT_EQ(Depth(area.root), 2);  // 20000 -> 10000 -> 5000 (not above D)
    EXPECT_EQ(world->sceneNode, area.root);
    // Child order: (low x, high z), (high x, high z), (low x, low z), (high x, low z).
    const SceneNode* c1 = area.root->children[1];
    EXPECT_EQ(c1->box[0], 0.0f);
    EXPECT_EQ(c1->box[2], 0.0f);
    EXPECT_EQ(c1->box[3], 10000.0f);
    EXPECT_EQ(c1->box[5], 10000.0f);
    EXPECT_EQ(area.root->children[2]->box[0], -10000.0f);
    EXPECT_EQ(area.root->children[2]->box[5], 0.0f);

    // Small entities go down to a leaf; one straddling two quadrants stays
    // with the root.
    Entity* small = Marker(area, "small", 2500, 2500, 5);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(small->sceneNode, nullptr);
    EXPECT_TRUE(small->sceneNode->isLeaf);
    EXPECT_EQ(small->sceneNode->size, 5000.0f);
    Entity* straddle = Marker(area, "straddle", 0, 3000, 5);
    ASSERT_NE(straddle, nullptr);
    EXPECT_EQ(straddle->sceneNode, area.root);
    Entity* edge = Marker(area, "edge", 5000, 7000, 5);  // straddles two leaves of one quadrant
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(edge->sceneNode, area.root->children[1]);

    area.RemoveFromSceneTree(straddle);
    EXPECT_EQ(straddle->sceneNode, nullptr);
    EXPECT_EQ(area.root->entities->IndexOf(straddle), -1);
    area.RemoveFromSceneTree(nullptr);
    EXPECT_TRUE(log.Has("Entity was NULL in remove call!!!\n"));
    EXPECT_FALSE(area.AddToSceneTree(nullptr));
    EXPECT_TRUE(log.Has("ERROR - ent was NULL in AddToSceneTree\n"));
}

TEST_F(SceneTree, EnlargingKeepsEveryEntityPickable) {
    log.settings().editor = 1;  // markers are seen in the editor only
    Area area;
    Entity* a = Marker(area, "a", 0, 0, 5);
    Entity* b = Marker(area, "b", 3, 0, 1);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(area.root->size, 10.0f);
    Entity* far = Marker(area, "far", 40000, 30000, 5);
    ASSERT_NE(far, nullptr);
    EXPECT_TRUE(log.Has("could not push 'far' into existing scenetree - enlarging\n"));
    EXPECT_FALSE(log.Has("could NOT repush"));
    EXPECT_EQ(area.root->box[0], -5.0f);
    EXPECT_EQ(area.root->box[3], 40005.0f);
    EXPECT_GT(Depth(area.root), 2);
    for (Entity* e : {a, b, far}) {
        ASSERT_NE(e->sceneNode, nullptr) << e->Name();
        Look(e->position + VECTOR(0, 0, -100), e->position);
        RayQuery* q = area.SelectEntity(e->position + VECTOR(0, 0, -100), kEditorPickDistance);
        ASSERT_NE(q, nullptr);
        // b sits inside a's box, which every ray to it enters first.
        if (e == far) {
            EXPECT_EQ(q->hitEntity, far);
        } else {
            EXPECT_TRUE(q->hitEntity == a || q->hitEntity == b) << e->Name();
        }
        delete q;
    }
}

// Same box, same leaves, same entities in each node in the same order.
void ExpectSameTree(const SceneNode* a, const SceneNode* b) {
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (!a) return;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a->box[i], b->box[i]);
    ASSERT_EQ(a->isLeaf, b->isLeaf);
    ASSERT_EQ(a->entities ? a->entities->Size() : 0, b->entities ? b->entities->Size() : 0);
    for (int i = 0; a->entities && i < a->entities->Size(); ++i) {
        EXPECT_STREQ((*a->entities)[i]->Name(), (*b->entities)[i]->Name());
        EXPECT_EQ((*b->entities)[i]->sceneNode, b);
    }
    for (int c = 0; c < 4; ++c) ExpectSameTree(a->children[c], b->children[c]);
}

TEST_F(SceneTree, LoadingGrowsTheRootAsPlacingDoesAndMakesTheSameTree) {
    Area placed;
    const float spots[][2] = {{0, 0}, {100, 0},        {-300, 50}, {20000, -7000},
                              {5, 5}, {-60000, 90000}, {30, -30}};
    for (const auto& s : spots)
        ASSERT_NE(
            placed.AddObject("cube.z1", ("e" + std::to_string(&s - spots)).c_str(), s[0], 0, s[1], nullptr),
            nullptr);
    placed.Save("grow.z1a");
    auto growth = [](const std::string& text) {
        std::string lines;
        for (size_t p = text.find("could not push"); p != std::string::npos;
             p = text.find("could not push", p + 1))
            lines += text.substr(p, text.find('\n', p) - p + 1);
        return lines;
    };
    const std::string placing = growth(log.Text());
    ASSERT_NE(placing.find("could not push 'e5' into existing scenetree - enlarging\n"), std::string::npos);
    const size_t before = log.Text().size();
    Area loaded;
    loaded.Load("grow.z1a");
    EXPECT_EQ(growth(log.Text().substr(before)), placing);
    ASSERT_EQ(loaded.entities.Size(), placed.entities.Size());
    ExpectSameTree(placed.root, loaded.root);
}

TEST_F(SceneTree, AbsurdCoordinatesDoNotSplitWithoutEnd) {
    Area area;
    ASSERT_NE(Marker(area, "origin", 0, 0, 1), nullptr);
    ASSERT_NE(Marker(area, "far away", 3e9f, 3e9f, 1), nullptr);
    EXPECT_LE(Depth(area.root), kMaxSceneDepth);
}

TEST_F(SceneTree, SelectEntityWithNothingAndWithABadViewMatrix) {
    Area area;
    Look(VECTOR(0, 0, 0), VECTOR(0, 0, 10));
    RayQuery* q = area.SelectEntity(VECTOR(0, 0, 0), kEditorPickDistance);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->hitEntity, nullptr);
    EXPECT_EQ(q->hitCount, 0);
    EXPECT_TRUE(q->pickMode);
    EXPECT_FALSE(q->stopAtFirstHit);
    EXPECT_NEAR(q->end.z, 50000.0f, 0.01f);
    EXPECT_NEAR(q->direction.z, 1.0f, 1e-6f);
    delete q;

    MATRIX bad;
    MatrixIdentity(bad);
    bad[3] = 0.5f;
    driver.SetViewMatrix(&bad);
    EXPECT_EQ(area.SelectEntity(VECTOR(0, 0, 0), kGamePickDistance), nullptr);
    EXPECT_TRUE(log.Has("ERROR - could not invert view matrix in Area::SelectEntity\n"));
}

// A click takes the nearest thing seen under the crosshair, measured in
// world units whatever a model's scale; markers are seen only in the editor
// while its helper objects are shown.
TEST_F(SceneTree, PickingTakesTheNearestThingSeen) {
    Area area;
    Entity* nearCam = area.AddCamera("near", 0, 0, 100, nullptr);
    Entity* cube = area.AddObject("cube.z1", "cube", 0, 0, 200, nullptr);
    auto* big = static_cast<ObjectEntity*>(area.AddObject("cube.z1", "big", 0, 0, 300, nullptr));
    ASSERT_TRUE(nearCam && cube && big);
    big->scale = VECTOR(3, 3, 3);  // its near face is at z = 270, 90 of its own units away
    MatrixScaling(big->scaleMatrix, big->scale);
    big->UpdateBounds();
    area.Reinsert(big);
    Look(VECTOR(0, 0, 0), VECTOR(0, 0, 1));

    struct Case {
        uint8_t editor, helpers;
        const Entity* hit;
        float distance;
    } cases[] = {
        {0, 1, cube, 190.0f},    // the game: the marker in front is not there
        {1, 1, nearCam, 99.0f},  // the editor: where the ray enters the marker's box
        {1, 0, cube, 190.0f},    // helper objects hidden
    };
    for (const Case& c : cases) {
        log.settings().editor = c.editor;
        log.settings().showHelperObjects = c.helpers;
        RayQuery* q = area.SelectEntity(VECTOR(0, 0, 0), kEditorPickDistance);
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(q->hitEntity, c.hit) << int(c.editor) << int(c.helpers);
        EXPECT_NEAR(q->bestDistance, c.distance, 0.01f);
        delete q;
    }
    // Beyond the small cube the scaled one is hit at its world distance.
    log.settings().editor = 0;
    Look(VECTOR(20, 0, 0), VECTOR(20, 0, 1));
    RayQuery* q = area.SelectEntity(VECTOR(20, 0, 0), kGamePickDistance);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->hitEntity, big);
    EXPECT_NEAR(q->bestDistance, 270.0f, 0.01f);
    delete q;
    // Out of reach nothing is hit.
    Look(VECTOR(20, 0, -800), VECTOR(20, 0, 0));
    q = area.SelectEntity(VECTOR(20, 0, -800), kGamePickDistance);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->hitEntity, nullptr);
    delete q;

    // Line of sight is blocked by meshes only.
    EXPECT_FALSE(area.LineOfSight(VECTOR(0, 0, 0), VECTOR(0, 0, 400)));
    EXPECT_TRUE(area.LineOfSight(VECTOR(0, 0, 0), VECTOR(0, 0, 150)));    // through the marker
    EXPECT_TRUE(area.LineOfSight(VECTOR(80, 0, 0), VECTOR(80, 0, 400)));  // beside the cubes
}

TEST_F(SceneTree, RenderCullsByTheFrustumAndDrawsTheSelectionBox) {
    Area area;
    Entity* front = area.AddObject("cube.z1", "front", 0, 0, 200, nullptr);
    Entity* behind = area.AddObject("cube.z1", "behind", 0, 0, -200, nullptr);
    ASSERT_TRUE(front && behind);
    Look(VECTOR(0, 0, 0), VECTOR(0, 0, 1));
    driver.SetProjection(1.0f, 0.75f, 1.0f, 5000.0f);
    MATRIX view, proj, vp;
    driver.GetViewMatrix(&view);
    driver.GetProjectionMatrix(&proj);
    MatrixMultiply(vp, view, proj);
    CPlane frustum;
    frustum.SetFromMatrix(vp);
    log.settings().fullShading = 1;
    driver.ResetLog();
    area.Render(VECTOR(0, 0, 0), VECTOR(0, 0, 2), &frustum);
    EXPECT_EQ(area.lookPoint, VECTOR(0, 0, 200));
    ASSERT_EQ(driver.draws.size(), 1u);  // only the cube in front
    EXPECT_NEAR(driver.draws[0].world[14], 200.0f, 1e-4f);
    EXPECT_EQ(driver.CountCalls("SetRenderMode"), 0);
    EXPECT_TRUE(frustum.objectIsIdentity);

    // Full shading off: wireframe for the duration. Editor: the selected box.
    log.settings().fullShading = 0;
    log.settings().editor = 1;
    area.selected = front;
    driver.ResetLog();
    area.Render(VECTOR(0, 0, 0), VECTOR(0, 0, 1), &frustum);
    ASSERT_GE(driver.calls.size(), 2u);
    EXPECT_EQ(driver.calls.front(), "SetRenderMode(0)");
    EXPECT_EQ(driver.calls.back(), "SetRenderMode(1)");
    EXPECT_EQ(driver.CountCalls("DrawBox(-10,-10,190,10,10,210)"), 1);

    // Entities whose own box is outside are not asked to draw; nodes outside
    // are not entered.
    auto* seen = new CountingMarker("seen", 100, 0, 1000);
    auto* aside = new CountingMarker("aside", 3000, 0, 1000);
    auto* back = new CountingMarker("back", 0, 0, -1000);
    auto* farAway = new CountingMarker("far", 40000, 0, -40000);
    for (CountingMarker* m : {seen, aside, back, farAway}) {
        ASSERT_TRUE(area.AddToSceneTree(m));
        area.Register(m);
    }
    area.Render(VECTOR(0, 0, 0), VECTOR(0, 0, 1), &frustum);
    EXPECT_EQ(seen->renders, 1);
    EXPECT_EQ(aside->renders, 0);
    EXPECT_EQ(back->renders, 0);
    EXPECT_EQ(farAway->renders, 0);
}

TEST_F(SceneTree, TransparentPiecesAreDrawnLastFarthestFirst) {
    Area area;
    // A see-through cube: its material has an opacity map.
    Z1Scene* glass = new Z1Scene(world_test::CubeScene(10.0f));
    Z1Material m;
    m.name = "glass";
    m.maps[Z1_SLOT_OPACITY].present = true;
    m.maps[Z1_SLOT_OPACITY].bitmap = "textures\\glass_a.bmp";
    glass->materials.push_back(m);
    glass->objects[0].material = 0;
    Z1Model* model = new Z1Model();
    ASSERT_TRUE(model->LoadScene(glass, "glass.z1"));
    area.modelTable.Insert("glass.z1", model);
    area.models.Add(model);
    ASSERT_NE(area.AddObject("glass.z1", "near glass", 0, 0, 100, nullptr), nullptr);
    ASSERT_NE(area.AddObject("glass.z1", "far glass", 0, 0, 300, nullptr), nullptr);
    ASSERT_NE(area.AddObject("cube.z1", "wall", 0, 0, 400, nullptr), nullptr);
    Look(VECTOR(0, 0, 0), VECTOR(0, 0, 1));
    driver.ResetLog();
    area.Render(VECTOR(0, 0, 0), VECTOR(0, 0, 1), nullptr);
    ASSERT_EQ(driver.draws.size(), 3u);
    EXPECT_NEAR(driver.draws[0].world[14], 400.0f, 1e-3f);  // the opaque wall at once
    EXPECT_NEAR(driver.draws[1].world[14], 300.0f, 1e-3f);  // then the far glass
    EXPECT_NEAR(driver.draws[2].world[14], 100.0f, 1e-3f);
    EXPECT_TRUE(driver.draws[1].alphaBlending);
    // The pass: blending on, alpha test mode 0, the items, alpha test off.
    int wallDraw = driver.FindCall("DrawIndexedList(VERTEX,8,36)");
    ASSERT_GE(wallDraw, 0);
    int pass = driver.FindCall("SetAlphaTestMode(0)", wallDraw);
    ASSERT_GT(pass, wallDraw);
    EXPECT_GT(driver.FindCall("DrawIndexedList(VERTEX,8,36)", pass), pass);
    EXPECT_EQ(driver.calls[pass - 1], "SetAlphaBlending(1)");
    int off = pass;
    for (int i = pass; i < static_cast<int>(driver.calls.size()); ++i)
        if (driver.calls[i].rfind("SetAlphaTestMode(", 0) == 0) off = i;
    EXPECT_EQ(driver.calls[off], "SetAlphaTestMode(2)");
    EXPECT_EQ(driver.alpha_test_mode, ALPHATEST_OFF);
    EXPECT_EQ(AlphaListCountForTest(area), 2);
}

TEST_F(SceneTree, IndoorLightingComesFromTheObjectOrItsParent) {
    Area area;
    ObjectEntity* house = static_cast<ObjectEntity*>(area.AddObject("cube.z1", "house", 0, 0, 0, nullptr));
    ObjectEntity* table = static_cast<ObjectEntity*>(area.AddObject("cube.z1", "table", 0, 0, 0, house));
    ASSERT_TRUE(house && table);
    house->indoorLighting = true;
    driver.ResetLog();
    table->Render(nullptr);
    EXPECT_GE(driver.FindCall("SetAmbientColor(FF181638)"), 0);
    EXPECT_GE(driver.FindCall("SetFogColor(FF181638)"), 0);
    int off = driver.FindCall("EnableLight(0,0)");
    int on = driver.FindCall("EnableLight(0,1)");
    EXPECT_GE(off, 0);
    EXPECT_GT(on, off);
    EXPECT_EQ(driver.worldFlag & 0xFF, 0);
    house->indoorLighting = false;
    driver.ResetLog();
    table->Render(nullptr);
    EXPECT_EQ(driver.CountCalls("SetAmbientColor"), 0);
}

TEST_F(SceneTree, AddObjectExpandsTheModelsSpawnPoints) {
    Area area;
    Entity* post = area.AddObject("post.z1", "post", 1000, 0, 500, nullptr);
    ASSERT_NE(post, nullptr);
    EXPECT_EQ(post->ChildCount(), 3);
    auto* a = static_cast<LightEntity*>(area.FindEntity("post/lamp_a"));
    auto* b = static_cast<LightEntity*>(area.FindEntity("post/lamp_b"));
    Entity* view = area.FindEntity("post/view");
    ASSERT_TRUE(a && b && view);
    EXPECT_EQ(a->parent, post);
    EXPECT_EQ(post->firstChild, a);
    EXPECT_EQ(a->position, VECTOR(1000, 100, 500));
    EXPECT_EQ(b->position, VECTOR(1020, 100, 500));
    EXPECT_EQ(b->desc.r, 1.0f);
    EXPECT_EQ(b->desc.g, 0.5f);
    EXPECT_EQ(b->desc.b, 0.25f);
    EXPECT_EQ(b->desc.range, 250.0f);
    EXPECT_EQ(b->desc.position, b->position);
    EXPECT_EQ(view->type, ENTITY_CAMERA);
    EXPECT_EQ(view->position, VECTOR(1000, 50, 470));
    EXPECT_EQ(area.lights.Size(), 2);
    EXPECT_EQ(driver.lights.size(), 2u);  // created in the driver
    EXPECT_NE(a->sceneNode, nullptr);
    EXPECT_EQ(area.entities.Size(), 4);

    // A missing model creates nothing.
    EXPECT_EQ(area.AddObject("nothere.z1", "x", 0, 0, 0, nullptr), nullptr);
    EXPECT_TRUE(log.Has("new model - loading nothere.z1\n"));
    EXPECT_TRUE(log.Has("ERROR - model does not exist\n"));
    EXPECT_EQ(area.entities.Size(), 4);
}

TEST_F(SceneTree, MarkersGiveBoxesAndAreDrawnOnlyAsEditorHelpers) {
    ASSERT_TRUE(Z1WriteFile((dir / "z1/e_light.z1").c_str(), world_test::CubeScene(3.0f)));
    ASSERT_TRUE(Z1WriteFile((dir / "z1/e_cam.z1").c_str(), world_test::CubeScene(4.0f)));
    Area area;
    Entity* light = area.AddLight("l", 100, 0, 0, nullptr);
    Entity* cam = area.AddCamera("c", 0, 100, 0, nullptr);
    Entity* emitter = area.AddParticle("p", "Torch", 0, 0, 100, nullptr);
    ASSERT_TRUE(light && cam && emitter);
    EXPECT_EQ(light->model, area.lightMarker);
    EXPECT_FLOAT_EQ(light->box[0], 97.0f);
    EXPECT_FLOAT_EQ(cam->box[4], 104.0f);
    // No particle marker file: the unit box, seen below the torch's column.
    EXPECT_FLOAT_EQ(emitter->box[1], -1.0f);
    log.settings().editor = 0;
    driver.ResetLog();
    light->Render(nullptr);
    cam->Render(nullptr);
    EXPECT_TRUE(driver.draws.empty());
    log.settings().editor = 1;
    log.settings().showHelperObjects = 1;
    light->Render(nullptr);
    cam->Render(nullptr);
    ASSERT_EQ(driver.draws.size(), 2u);
    EXPECT_EQ(driver.draws[0].world[12], 100.0f);  // drawn at the light
    log.settings().showHelperObjects = 0;
    light->Render(nullptr);
    EXPECT_EQ(driver.draws.size(), 2u);
}

// Counts the scene tree's collision calls; the packet names the entity tested.
struct CollidingMarker : CameraEntity {
    CollidingMarker(const char* name, float x, float z) : CameraEntity(nullptr, name, x, 0, z) {
        const float b[6] = {x - 1, -1, z - 1, x + 1, 1, z + 1};
        for (int i = 0; i < 6; ++i) box[i] = b[i];
    }
    void Collide(CollisionPacket* packet) override { visits += packet->currentEntity == this ? 1 : 100; }
    int visits = 0;
};

TEST_F(SceneTree, CollisionVisitsTheEntitiesNearThePacket) {
    Area area;
    CollidingMarker* near = new CollidingMarker("near", 10, 10);
    CollidingMarker* far = new CollidingMarker("far", 9000, 9000);
    CollidingMarker* wide = new CollidingMarker("wide", -8000, 0);
    for (CollidingMarker* e : {near, far, wide}) {
        ASSERT_TRUE(area.AddToSceneTree(e));
        area.Register(e);
    }
    CollisionPacket packet;
    packet.broadRadius = 100;  // around the origin
    area.Collide(&packet);
    EXPECT_EQ(near->visits, 1);
    EXPECT_EQ(far->visits + wide->visits, 0);
    packet.broadRadius = 1e6f;
    area.Collide(&packet);
    EXPECT_EQ(near->visits + far->visits + wide->visits, 4);
    area.Collide(nullptr);  // no packet: nothing
    EXPECT_EQ(near->visits, 2);
}

TEST_F(SceneTree, NamesLinksAndUnregistering) {
    Area area;
    Entity* a = area.AddCamera("a", 0, 0, 0, nullptr);
    Entity* b = area.AddLight("b", 10, 0, 0, nullptr);
    Entity* dup = area.AddCamera("a", 20, 0, 0, nullptr);
    ASSERT_TRUE(a && b && dup);
    EXPECT_EQ(area.FindEntity("a"), dup);  // the newest of a name
    EXPECT_EQ(area.FindEntity("A"), nullptr);
    area.LinkByName("a", "b");
    EXPECT_EQ(b->parent, dup);
    EXPECT_EQ(dup->firstChild, b);
    area.LinkByName("b", "a");  // would make a loop: refused
    EXPECT_EQ(dup->parent, nullptr);
    area.LinkByName("a", "nobody");
    // Moving a parent through the move hook carries and reinserts the child.
    area.ScriptHook(kWorldVectorCallMove, "a", 20000, 0, 0);
    EXPECT_EQ(b->position, VECTOR(19990, 0, 0));
    EXPECT_NE(b->sceneNode, nullptr);
    Look(VECTOR(19990, 0, -100), VECTOR(19990, 0, 0));
    log.settings().editor = 1;  // a light is seen as its marker in the editor
    RayQuery* q = area.SelectEntity(VECTOR(19990, 0, -100), kEditorPickDistance);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->hitEntity, b);
    delete q;

    area.Unregister(dup);
    EXPECT_EQ(area.FindEntity("a"), a);
    EXPECT_EQ(area.entities.IndexOf(dup), -1);
    area.Unregister(b);
    EXPECT_EQ(area.lights.Size(), 0);
    area.Register(b);
    area.Register(dup);
}

TEST_F(SceneTree, SavedAreasKeepTheirModelsAndReloadThem) {
    {
        Area area;
        ASSERT_NE(area.AddObject("cube.z1", "c1", 10, 0, 0, nullptr), nullptr);
        ASSERT_NE(area.AddDoor("post.z1", "gate", 20, 0, 0, nullptr), nullptr);
        ASSERT_NE(area.AddNPC("cube.z1", "bob", 30, 0, 0, nullptr), nullptr);
        EXPECT_FALSE(area.SwapModelTexture("none.z1", "a.bmp", "b.bmp", 1));
        area.Save("models.z1a");
    }
    Area area;
    area.Load("models.z1a");
    ASSERT_EQ(area.models.Size(), 2);
    auto* bob = static_cast<ObjectEntity*>(area.FindEntity("bob"));
    auto* gate = static_cast<ObjectEntity*>(area.FindEntity("gate"));
    ASSERT_TRUE(bob && gate);
    EXPECT_EQ(bob->model, area.FindModel("cube.z1"));
    EXPECT_EQ(gate->model, area.FindModel("post.z1"));
    EXPECT_FLOAT_EQ(bob->box[0], 20.0f);  // bounds from the model
    EXPECT_FLOAT_EQ(bob->box[3], 40.0f);
}

}  // namespace
