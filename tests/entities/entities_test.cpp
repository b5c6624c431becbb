// Entities: moving and turning with children, doors, lights, clone rules,
// the NPC's face, property sheets.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "collision/collision.h"
#include "culling/frameview.h"
#include "common/recording_driver.h"
#include "dialog/dialoglanguage.h"
#include "dialog/dialogmanager.h"
#include "entities/cameraentity.h"
#include "entities/doorentity.h"
#include "entities/lightentity.h"
#include "entities/npcentity.h"
#include "entities/objectentity.h"
#include "entities/particleentity.h"
#include "entities/propertysheet.h"
#include "particle/particle.h"
#include "utility/clock.h"
#include "z1script/scriptasm.h"
#include "z1script/scriptsystem.h"
#include "utility/random.h"
#include "world/area.h"
#include "world/world_helpers.h"
#include "world/world_models.h"

using world_test::GameDir;
using world_test::GameRecorder;
using world_test::LogCapture;

namespace {

class Entities : public ::testing::Test {
protected:
    void SetUp() override {
        saved_game_ = g_imports;
        g_imports = &game;
    }
    void TearDown() override {
        g_imports = saved_game_;
        UseRealTimeClock();
    }
    GameDir dir;
    LogCapture log{dir / "log.txt"};
    GameRecorder game;
    GameImports* saved_game_ = nullptr;
};

// The child's offset seen from the parent's own axes.
VECTOR LocalOffset(const Entity& parent, const Entity& child) {
    MATRIX r = parent.transform;
    r[12] = r[13] = r[14] = 0;
    MATRIX inv;
    EXPECT_TRUE(MatrixInvertAffine(inv, r));
    VECTOR out;
    TransformPoint(inv, child.position - parent.position, out);
    return out;
}

TEST_F(Entities, MoveToCarriesChildrenAndKeepsTheTranslationRow) {
    CameraEntity parent(nullptr, "p", 1, 2, 3);
    CameraEntity child(nullptr, "c", 11, 2, 3);
    CameraEntity grandchild(nullptr, "g", 11, 12, 3);
    parent.AddChild(&child);
    child.parent = &parent;
    child.AddChild(&grandchild);
    grandchild.parent = &child;
    parent.MoveTo(101, 2, -7);
    EXPECT_EQ(parent.position, VECTOR(101, 2, -7));
    EXPECT_EQ(parent.transform[12], 101.0f);
    EXPECT_EQ(parent.transform[14], -7.0f);
    EXPECT_EQ(child.position, VECTOR(111, 2, -7));
    EXPECT_EQ(grandchild.position, VECTOR(111, 12, -7));
    EXPECT_EQ(grandchild.transform[13], 12.0f);
    // The box follows the position.
    EXPECT_FLOAT_EQ(parent.box[0], 100.0f);
    EXPECT_FLOAT_EQ(parent.box[3], 102.0f);
    parent.RemoveChild(&child);
    EXPECT_EQ(parent.firstChild, nullptr);
}

TEST_F(Entities, RotatingCarriesChildrenRound) {
    CameraEntity parent(nullptr, "p", 5, 0, 5);
    CameraEntity a(nullptr, "a", 15, 0, 5);
    CameraEntity b(nullptr, "b", 5, 7, 5);
    parent.AddChild(&a);
    parent.AddChild(&b);
    a.parent = b.parent = &parent;
    EXPECT_EQ(parent.ChildCount(), 2);
    const float quarter = 1.5707964f;
    parent.RotateAxis(VECTOR(0, 1, 0), quarter);
    // Turned about the parent's position: (10, 0, 0) goes to (0, 0, 10).
    EXPECT_NEAR(a.position.x, 5.0f, 1e-4f);
    EXPECT_NEAR(a.position.z, 15.0f, 1e-4f);
    EXPECT_NEAR(b.position.y, 7.0f, 1e-5f);  // on the axis: stays
    // Turning about a tilted axis: the children keep their place in the
    // parent's own frame and turn with it.
    parent.RotateAxis(VECTOR(1, 0, 0), 0.7f);
    parent.RotateWorldAxis(VECTOR(0, 0, 1), -0.4f);
    VECTOR local = LocalOffset(parent, a);
    EXPECT_NEAR(local.x, 10.0f, 1e-3f);
    EXPECT_NEAR(local.y, 0.0f, 1e-3f);
    EXPECT_NEAR(local.z, 0.0f, 1e-3f);
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(a.transform[i], parent.transform[i], 1e-4f) << i;
    EXPECT_NEAR(a.transform[12], a.position.x, 1e-4f);
}

TEST_F(Entities, RotateWorldAxisTurnsAboutTheWorldAxis) {
    CameraEntity e(nullptr, "e", 0, 0, 0);
    e.RotateAxis(VECTOR(1, 0, 0), 1.5707964f);  // the local y axis now lies along world z or -z
    MATRIX before = e.transform;
    e.RotateWorldAxis(VECTOR(0, 1, 0), 0.5f);
    // A world-y turn of the whole frame: transform' = transform x Ry(world).
    MATRIX ry, expected;
    MatrixRotationAxis(ry, VECTOR(0, 1, 0), 0.5f);
    MatrixMultiply(expected, before, ry);
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(e.transform[i], expected[i], 1e-5f) << i;
}

// A swinging door about y: 90 degrees at 45 per second.
DoorEntity* SwingingDoor() {
    DoorEntity* d = new DoorEntity(nullptr, "door", 0, 0, 0);
    d->doorType = DOOR_SWINGING;
    d->axis = 1;
    d->displacement = 90.0f;
    d->speed = 45.0f;
    return d;
}

TEST_F(Entities, ASwingingDoorEndsExactlyAtItsDisplacement) {
    UseFixedClock(300, 1000);
    DoorEntity* door = SwingingDoor();
    door->Activate();
    EXPECT_TRUE(door->moving);
    EXPECT_TRUE(door->open);
    for (int frame = 1; frame <= 6; ++frame) {
        AdvanceFixedClock();
        door->Render(nullptr);
        EXPECT_TRUE(door->moving) << frame;
        EXPECT_FLOAT_EQ(door->progress, 13.5f * frame);
    }
    door->Activate();  // ignored while moving
    EXPECT_TRUE(door->open);
    AdvanceFixedClock();
    door->Render(nullptr);  // would reach 94.5: clamped
    EXPECT_FALSE(door->moving);
    EXPECT_EQ(door->progress, 90.0f);
    // Opening without reverse turns the negative way: -90 degrees about y.
    EXPECT_NEAR(door->transform[0], 0.0f, 1e-5f);
    EXPECT_NEAR(door->transform[2], -1.0f, 1e-5f);
    EXPECT_NEAR(door->transform[8], 1.0f, 1e-5f);
    AdvanceFixedClock();
    door->Render(nullptr);  // at rest: nothing changes
    EXPECT_NEAR(door->transform[2], -1.0f, 1e-5f);

    // Activated when open it swings back the other way.
    door->Activate();
    EXPECT_FALSE(door->open);
    for (int frame = 0; frame < 8; ++frame) {
        AdvanceFixedClock();
        door->Render(nullptr);
    }
    EXPECT_FALSE(door->moving);
    EXPECT_NEAR(door->transform[0], 1.0f, 1e-5f);
    EXPECT_NEAR(door->transform[2], 0.0f, 1e-5f);
    delete door;
}

TEST_F(Entities, ASlidingDoorMovesAlongItsAxisAndReverseFlipsTheWay) {
    UseFixedClock(500, 0);
    DoorEntity plain(nullptr, "a", 100, 0, 0);
    plain.doorType = DOOR_SLIDING;
    plain.axis = 0;
    plain.displacement = 100.0f;
    plain.speed = 50.0f;
    plain.Activate();
    for (int i = 0; i < 5; ++i) {
        AdvanceFixedClock();
        plain.Render(nullptr);
    }
    EXPECT_FALSE(plain.moving);
    EXPECT_FLOAT_EQ(plain.position.x, 0.0f);  // opened towards -x
    EXPECT_FLOAT_EQ(plain.transform[12], 0.0f);

    DoorEntity reversed(nullptr, "b", 100, 0, 0);
    reversed.doorType = DOOR_SLIDING;
    reversed.axis = 2;
    reversed.displacement = 100.0f;
    reversed.speed = 50.0f;
    reversed.reverseDirection = true;
    reversed.Activate();
    for (int i = 0; i < 5; ++i) {
        AdvanceFixedClock();
        reversed.Render(nullptr);
    }
    EXPECT_FLOAT_EQ(reversed.position.z, 100.0f);  // the two negations cancel: +z
    reversed.Activate();
    for (int i = 0; i < 5; ++i) {
        AdvanceFixedClock();
        reversed.Render(nullptr);
    }
    EXPECT_FLOAT_EQ(reversed.position.z, 0.0f);

    // An unknown kind of door stays moving without moving.
    DoorEntity odd(nullptr, "c", 0, 0, 0);
    odd.doorType = 7;
    odd.displacement = 10.0f;
    odd.speed = 100.0f;
    odd.Activate();
    AdvanceFixedClock();
    odd.Render(nullptr);
    EXPECT_TRUE(odd.moving);
    EXPECT_EQ(odd.position, VECTOR(0, 0, 0));
    EXPECT_STREQ(DoorTypeName(7), "Unknown type");
    EXPECT_STREQ(DoorAxisName(3), "Unknown axis");
}

TEST_F(Entities, ALockedDoorWantsItsKey) {
    UseFixedClock(100, 0);
    DoorEntity* door = SwingingDoor();
    door->doorLocked = true;
    door->SetKey("gatekey");
    door->Activate();
    ASSERT_EQ(game.messages.size(), 1u);
    EXPECT_EQ(game.messages[0], "The door is locked, and you don't have the key!@4");
    EXPECT_TRUE(door->doorLocked);
    EXPECT_FALSE(door->open);
    EXPECT_FALSE(door->moving);

    game.items.push_back("gatekey");
    door->Activate();
    ASSERT_EQ(game.messages.size(), 2u);
    EXPECT_EQ(game.messages[1], "You unlock the door.@4");
    EXPECT_FALSE(door->doorLocked);
    EXPECT_TRUE(door->open);
    EXPECT_TRUE(door->moving);
    // Unlocked for good: later activations say nothing.
    for (int i = 0; i < 30; ++i) {
        AdvanceFixedClock();
        door->Render(nullptr);
    }
    game.items.clear();
    door->Activate();
    EXPECT_EQ(game.messages.size(), 2u);
    EXPECT_FALSE(door->open);
    delete door;
}

class Lights : public Entities {
protected:
    RecordingDriver driver;
    ScopedDriver scoped{&driver};

    LightEntity* Make(uint8_t active, float range) {
        LightEntity* l = new LightEntity(nullptr, "lamp", 0, 0, 0);
        l->desc.range = range;
        l->active = active;
        l->CreateDriverLight();
        return l;
    }
};

TEST_F(Lights, AtNightALightIsLitOnlyAtNightAndOnlyWithinReach) {
    LightEntity* l = Make(LIGHT_ACTIVE_NIGHT, 100.0f);
    ASSERT_EQ(l->lightIndex, 0);
    ASSERT_EQ(driver.lights.size(), 1u);
    EXPECT_FALSE(driver.lights[0].enabled);  // dark until the rule lights it
    VECTOR near(0, 0, 50);
    l->Update(true, near);
    EXPECT_FALSE(l->on);
    EXPECT_FALSE(driver.lights[0].enabled);
    l->Update(false, near);
    EXPECT_TRUE(l->on);
    EXPECT_TRUE(l->enabledInDriver);
    EXPECT_TRUE(driver.lights[0].enabled);
    // range + back plane + 1000 = 6100: just inside, then just outside.
    l->Update(false, VECTOR(6100, 0, 0));
    EXPECT_TRUE(driver.lights[0].enabled);
    l->Update(false, VECTOR(6101, 0, 0));
    EXPECT_TRUE(l->on);
    EXPECT_FALSE(l->enabledInDriver);
    EXPECT_FALSE(driver.lights[0].enabled);
    l->Update(false, near);  // back within reach
    EXPECT_TRUE(driver.lights[0].enabled);
    l->Update(true, near);  // day
    EXPECT_FALSE(l->on);
    EXPECT_FALSE(driver.lights[0].enabled);
    delete l;
}

TEST_F(Lights, AtDayIsTheReverseAndAlwaysNeverChanges) {
    LightEntity* day = Make(LIGHT_ACTIVE_DAY, 100.0f);
    day->Update(true, VECTOR(0, 0, 0));
    EXPECT_TRUE(day->on);
    EXPECT_TRUE(driver.lights[0].enabled);
    day->Update(false, VECTOR(0, 0, 0));
    EXPECT_FALSE(day->on);
    EXPECT_FALSE(driver.lights[0].enabled);

    LightEntity* always = Make(LIGHT_ACTIVE_ALWAYS, 100.0f);
    EXPECT_TRUE(driver.lights[1].enabled);  // as the driver created it
    always->Update(false, VECTOR(0, 0, 0));
    always->Update(true, VECTOR(1e6f, 0, 0));
    EXPECT_FALSE(always->on);
    EXPECT_TRUE(driver.lights[1].enabled);
    EXPECT_STREQ(LightActiveName(2), "At night");
    EXPECT_STREQ(LightActiveName(3), "Unknown type");
    delete day;
    delete always;
}

TEST_F(Lights, MovingALightMovesTheDriverLight) {
    LightEntity* l = Make(LIGHT_ACTIVE_NIGHT, 100.0f);
    l->MoveTo(10, 20, 30);
    EXPECT_EQ(l->desc.position, VECTOR(10, 20, 30));
    EXPECT_EQ(driver.lights[0].desc.position, VECTOR(10, 20, 30));
    EXPECT_FALSE(driver.lights[0].enabled);  // still dark: the rule has not lit it
    EXPECT_FLOAT_EQ(l->box[0], 9.0f);
    delete l;
}

TEST_F(Entities, CloningAnObjectCopiesItsChildrenButNotItsScale) {
    ObjectEntity hut(nullptr, "hut", 1, 2, 3);
    hut.SetScale(VECTOR(2, 2, 2));
    hut.locked = true;
    hut.indoorLighting = true;
    hut.checkCollision = false;
    hut.collideWithBox = true;
    hut.SetOnClickScript("click");
    hut.SetOnCollideScript("bump");
    hut.RotateAxis(VECTOR(0, 1, 0), 0.3f);
    LightEntity* lamp = new LightEntity(nullptr, "hut/lamp", 1, 12, 3);
    ParticleEntity* fire = new ParticleEntity(nullptr, "hut/fire", "Torch", 1, 2, 13);
    CameraEntity* cam = new CameraEntity(nullptr, "hut/cam", 0, 0, 0);
    for (Entity* c : std::vector<Entity*>{lamp, fire, cam}) {
        hut.AddChild(c);
        c->parent = &hut;
    }
    Entity* copy = hut.Clone();
    ASSERT_NE(copy, nullptr);
    auto* o = static_cast<ObjectEntity*>(copy);
    EXPECT_EQ(copy->type, ENTITY_OBJECT);
    EXPECT_EQ(copy->name, nullptr);
    EXPECT_EQ(o->scale, VECTOR(1, 1, 1));
    EXPECT_TRUE(o->locked);
    EXPECT_TRUE(o->indoorLighting);
    EXPECT_FALSE(o->checkCollision);
    EXPECT_TRUE(o->collideWithBox);
    EXPECT_STREQ(o->onClickScript, "click");
    EXPECT_STREQ(o->onCollideScript, "bump");
    for (int i = 0; i < 16; ++i) EXPECT_EQ(o->transform[i], hut.transform[i]);
    // Two of the three children are copied (cameras are not) and attached.
    EXPECT_EQ(copy->ChildCount(), 2);
    Entity* c1 = copy->firstChild;
    ASSERT_NE(c1, nullptr);
    EXPECT_NE(c1, lamp);
    EXPECT_EQ(c1->type, ENTITY_LIGHT);
    EXPECT_EQ(c1->parent, copy);
    Entity* c2 = c1->nextSibling;
    ASSERT_NE(c2, nullptr);
    EXPECT_EQ(c2->type, ENTITY_PARTICLE);
    EXPECT_STREQ(static_cast<ParticleEntity*>(c2)->systemName, "Torch");
    EXPECT_EQ(c2->position, VECTOR(1, 2, 13));
    // Moving the copy carries its children.
    copy->MoveTo(101, 2, 3);
    EXPECT_EQ(c1->position, VECTOR(101, 12, 3));
    for (Entity* c = copy->firstChild; c;) {
        Entity* next = c->nextSibling;
        delete c;
        c = next;
    }
    delete copy;
    delete lamp;
    delete fire;
    delete cam;
}

TEST_F(Entities, CloneRulesOfDoorsLightsNpcsCamerasAndEmitters) {
    DoorEntity door(nullptr, "door", 1, 2, 3);
    door.SetScale(VECTOR(3, 3, 3));
    door.indoorLighting = true;
    door.SetOnClickScript("x");
    door.collideWithBox = true;
    door.locked = true;
    door.doorType = DOOR_SLIDING;
    door.axis = 2;
    door.displacement = 50;
    door.speed = 10;
    door.reverseDirection = true;
    door.open = true;
    door.doorLocked = true;
    door.SetKey("gatekey");
    door.RotateAxis(VECTOR(0, 0, 1), 0.2f);
    auto* d = static_cast<DoorEntity*>(door.Clone());
    EXPECT_EQ(d->type, ENTITY_DOOR);
    EXPECT_EQ(d->scale, VECTOR(1, 1, 1));
    EXPECT_FALSE(d->indoorLighting);
    EXPECT_EQ(d->onClickScript, nullptr);
    EXPECT_FALSE(d->collideWithBox);
    EXPECT_TRUE(d->locked);
    EXPECT_EQ(d->doorType, DOOR_SLIDING);
    EXPECT_EQ(d->axis, 2);
    EXPECT_EQ(d->displacement, 50.0f);
    EXPECT_EQ(d->speed, 10.0f);
    EXPECT_TRUE(d->reverseDirection);
    EXPECT_TRUE(d->open);
    EXPECT_TRUE(d->doorLocked);
    EXPECT_STREQ(d->key, "gatekey");
    for (int i = 0; i < 16; ++i) EXPECT_EQ(d->transform[i], door.transform[i]);
    delete d;

    NPCEntity npc(nullptr, "bob", 4, 5, 6);
    npc.SetScale(VECTOR(2, 2, 2));
    npc.locked = true;
    npc.checkCollision = false;
    npc.SetOnClickScript("y");
    npc.RotateAxis(VECTOR(0, 1, 0), 1.0f);
    npc.SetDialog("bob");  // no such file: the NPC keeps the name, not a binding
    EXPECT_EQ(npc.dialog, nullptr);
    auto* n = static_cast<NPCEntity*>(npc.Clone());
    EXPECT_EQ(n->type, ENTITY_NPC);
    EXPECT_STREQ(n->dialogFile, "bob");
    EXPECT_TRUE(n->locked);
    EXPECT_FALSE(n->checkCollision);
    EXPECT_EQ(n->scale, VECTOR(1, 1, 1));
    EXPECT_EQ(n->onClickScript, nullptr);
    EXPECT_EQ(n->transform[0], 1.0f);  // the turn is not copied
    EXPECT_EQ(n->transform[12], 4.0f);
    EXPECT_EQ(n->position, VECTOR(4, 5, 6));
    EXPECT_EQ(log.Count("NPCEntity:: Error loading dialog bob"), 2);
    delete n;

    CameraEntity cam(nullptr, "cam", 0, 0, 0);
    EXPECT_EQ(cam.Clone(), nullptr);

    LightEntity light(nullptr, "l", 1, 1, 1);
    light.desc.r = 0.5f;
    light.desc.range = 77;
    light.locked = true;
    light.glows = true;
    light.glowSize = 16;
    light.SetGlowTexture("g.bmp");
    light.active = LIGHT_ACTIVE_DAY;
    auto* l = static_cast<LightEntity*>(light.Clone());
    EXPECT_EQ(l->desc.r, 0.5f);
    EXPECT_EQ(l->desc.range, 77.0f);
    EXPECT_TRUE(l->locked);
    EXPECT_TRUE(l->glows);
    EXPECT_EQ(l->glowSize, 16);
    EXPECT_STREQ(l->glowTexture, "g.bmp");
    EXPECT_EQ(l->active, LIGHT_ACTIVE_DAY);
    delete l;

    ParticleEntity smoke(nullptr, "s", "Smoke", 7, 8, 9);
    smoke.locked = true;
    auto* p = static_cast<ParticleEntity*>(smoke.Clone());
    EXPECT_STREQ(p->systemName, "Smoke");
    EXPECT_EQ(p->position, VECTOR(7, 8, 9));
    EXPECT_EQ(p->name, nullptr);
    delete p;
}

// What an entity hands to collision: its model's own triangles (ten here: a
// cube with one face open) or its bounding box's twelve.
TEST_F(Entities, ObjectsCollideByMeshOrBoxAndDoorsOnlyInTheGame) {
    Z1Scene open = world_test::CubeScene(10.0f);
    Z1Mesh& mesh = open.objects[0].meshLists[0].meshes[0];
    mesh.indices.erase(mesh.indices.begin(), mesh.indices.begin() + 6);
    mesh.faceCount = 10;
    ::mkdir((dir / "z1").c_str(), 0755);
    ASSERT_TRUE(Z1WriteFile((dir / "z1/open.z1").c_str(), open));
    Area area;
    auto* o = static_cast<ObjectEntity*>(area.AddObject("open.z1", "o", 0, 0, 0, nullptr));
    auto* d = static_cast<DoorEntity*>(area.AddDoor("open.z1", "d", 0, 0, 0, nullptr));
    auto* n = static_cast<NPCEntity*>(area.AddNPC("open.z1", "n", 0, 0, 0, nullptr));
    ASSERT_TRUE(o && d && n);
    // The triangles tested, by the settings' counter.
    auto tested = [&](Entity* e) {
        CollisionPacket packet;
        packet.broadRadius = 1e6f;
        log.settings().colliderCount = 0;
        e->Collide(&packet);
        return log.settings().colliderCount;
    };
    EXPECT_EQ(tested(o), 10);
    o->collideWithBox = true;
    EXPECT_EQ(tested(o), 12);
    o->checkCollision = false;
    EXPECT_EQ(tested(o), 0);
    d->collideWithBox = true;  // doors ignore it
    EXPECT_EQ(tested(d), 10);
    log.settings().editor = 1;
    EXPECT_EQ(tested(d), 0);
    log.settings().editor = 0;
    EXPECT_EQ(tested(n), 12);  // NPCs: always the bounding box
    n->checkCollision = false;
    EXPECT_EQ(tested(n), 0);
    // Without a model nothing reaches the collision code.
    ObjectEntity bare(nullptr, "bare", 0, 0, 0);
    EXPECT_EQ(tested(&bare), 0);
}

TEST_F(Entities, ParticleSystemsByName) {
    ParticleEntity bad(nullptr, "x", "Campfire", 0, 0, 0);
    EXPECT_EQ(bad.system, nullptr);
    EXPECT_TRUE(log.Has("Unknown system : Campfire\n"));
    ParticleEntity good(nullptr, "y", "Camp Fire", 0, 0, 0);
    EXPECT_FALSE(log.Has("Unknown system : Camp Fire"));
    EXPECT_NE(dynamic_cast<CCampfire*>(good.system), nullptr);
}

class Faces : public Entities {
protected:
    // Runs n frames of 1/50 s from t, returning the time after them.
    float Run(NPCEntity& npc, float t, int n, std::vector<float>* w0 = nullptr) {
        for (int i = 0; i < n; ++i) {
            t += 0.02f;
            npc.AnimateFace(t);
            for (int k = 0; k < kMorphWeightCount; ++k) {
                EXPECT_GE(npc.morphWeights[k], 0.0f);
                EXPECT_LE(npc.morphWeights[k], 1.0f);
            }
            if (w0) w0->push_back(npc.morphWeights[0]);
        }
        return t;
    }
};

TEST_F(Faces, BlinksOpenAndCloseAndStartAboutOnceEveryHundredFrames) {
    Z1SeedRandom(1234);
    NPCEntity npc(nullptr, "bob", 0, 0, 0);
    std::vector<float> w0;
    Run(npc, 0.0f, 5000, &w0);
    int blinks = 0;
    bool rising = false;
    float peak = 0;
    for (size_t i = 1; i < w0.size(); ++i) {
        if (w0[i - 1] == 0.0f && w0[i] > 0.0f) {
            rising = true;
            peak = 0;
        }
        peak = std::max(peak, w0[i]);
        if (rising && w0[i] == 0.0f) {
            EXPECT_EQ(peak, 1.0f) << "a blink closes fully before it opens again";
            rising = false;
            ++blinks;
        }
    }
    // A blink lasts 25 frames; a new one starts with chance 9/1000 per idle
    // frame: about 5000 / (25 + 111) = 37 blinks.
    EXPECT_GT(blinks, 20);
    EXPECT_LT(blinks, 60);
}

TEST_F(Faces, MovementNineRisesHoldsAndFalls) {
    Z1SeedRandom(4321);
    NPCEntity npc(nullptr, "bob", 0, 0, 0);
    float t = 0.0f;
    int guard = 0;
    while (!npc.moveActive && guard++ < 20000) t = Run(npc, t, 1);
    ASSERT_TRUE(npc.moveActive);
    // Up in half a second.
    int up = 0;
    while (npc.morphWeights[9] < 1.0f && up < 100) {
        t = Run(npc, t, 1);
        ++up;
    }
    EXPECT_GE(up, 24);
    EXPECT_LE(up, 27);
    EXPECT_EQ(npc.moveDirection, -1.0f);
    // Held at the top for the hold time, then down again.
    int held = 0;
    while (npc.morphWeights[9] == 1.0f && held < 100) {
        t = Run(npc, t, 1);
        ++held;
    }
    EXPECT_GE(held, static_cast<int>(kMovementHoldSeconds / 0.02f) - 1);
    EXPECT_LE(held, static_cast<int>(kMovementHoldSeconds / 0.02f) + 2);
    int down = 0;
    while (npc.moveActive && down < 100) {
        t = Run(npc, t, 1);
        ++down;
    }
    EXPECT_FALSE(npc.moveActive);
    EXPECT_EQ(npc.morphWeights[9], 0.0f);
    EXPECT_GE(down, 20);
}

TEST_F(Faces, FarNpcsDoNotBlinkAndNearOnesDo) {
    Z1SeedRandom(99);
    Area area;
    NPCEntity npc(nullptr, "bob", 600, 0, 0);
    g_frameView.camera = VECTOR(0, 0, 0);
    UseFixedClock(20, 0);
    for (int i = 0; i < 1000; ++i) {
        AdvanceFixedClock();
        npc.Render(nullptr);
        ASSERT_EQ(npc.morphWeights[0], 0.0f);
        ASSERT_FALSE(npc.blinkActive);
    }
    g_frameView.camera = VECTOR(200, 0, 0);
    bool blinked = false;
    for (int i = 0; i < 1000 && !blinked; ++i) {
        AdvanceFixedClock();
        npc.Render(nullptr);
        blinked = npc.morphWeights[0] > 0.0f;
    }
    EXPECT_TRUE(blinked);
}

TEST_F(Faces, TalkingAlternatesMouthShapesAndEndsClosed) {
    Z1SeedRandom(7);
    UseFixedClock(20, 1000);
    NPCEntity npc(nullptr, "bob", 0, 0, 0);
    npc.StartTalking(2.0f);
    EXPECT_TRUE(npc.talkActive);
    EXPECT_EQ(npc.talkIndex, 1);
    EXPECT_EQ(npc.talkPeak, 1.0f);
    float t = ClockSeconds();
    npc.StartTalking(9.0f);  // already talking: unchanged
    EXPECT_EQ(npc.talkDuration, 2.0f);
    std::vector<int> indices;
    float openings[3] = {0, 0, 0};
    while (npc.talkActive && t < 10.0f) {
        t += 0.02f;
        npc.AnimateFace(t);
        if (indices.empty() || indices.back() != npc.talkIndex) indices.push_back(npc.talkIndex);
        openings[npc.talkIndex] = std::max(openings[npc.talkIndex], npc.morphWeights[npc.talkIndex]);
        EXPECT_LE(npc.morphWeights[npc.talkIndex], npc.talkPeak);
    }
    EXPECT_FALSE(npc.talkActive);
    EXPECT_GE(t, 1.0f + 2.0f);         // not before the duration has passed
    EXPECT_LT(t, 1.0f + 2.0f + 0.7f);  // and within one more open-and-close
    EXPECT_EQ(npc.morphWeights[1], 0.0f);
    EXPECT_EQ(npc.morphWeights[2], 0.0f);
    EXPECT_GT(openings[1], 0.5f);
    EXPECT_GT(openings[2], 0.5f) << "both mouth shapes are used";
    EXPECT_GE(indices.size(), 2u);
}

TEST_F(Entities, PropertySheetsDescribeAndWriteBack) {
    DoorEntity door(nullptr, "door", 1, 2, 3);
    PropertySheet sheet;
    door.DescribeProperties(sheet);
    EXPECT_EQ(sheet.title, "Edit Door");
    EXPECT_EQ(sheet.Find("Indoor Lighting"), nullptr);
    EXPECT_EQ(sheet.Find("On Click Script"), nullptr);
    ASSERT_NE(sheet.Find("Door Type:"), nullptr);
    EXPECT_EQ(sheet.Find("Door Type:")->choices, (std::vector<std::string>{"Swinging", "Sliding"}));
    EXPECT_EQ(sheet.Find("Parent :")->kind, PropertySheet::FIELD_READONLY);
    sheet.Find("Door Type:")->choice = 1;
    sheet.Find("Key:")->text = "gatekey";
    sheet.Find("Position X")->text = "40.5";
    sheet.Find("Name :")->text = "gate";
    sheet.Find("Locked:")->checked = true;
    door.ApplyProperties(sheet);
    EXPECT_EQ(door.doorType, DOOR_SLIDING);
    EXPECT_STREQ(door.key, "gatekey");
    EXPECT_STREQ(door.name, "gate");
    EXPECT_TRUE(door.doorLocked);
    EXPECT_EQ(door.position, VECTOR(40.5f, 2, 3));
    EXPECT_EQ(door.transform[12], 40.5f);

    LightEntity light(nullptr, "l", 0, 0, 0);
    light.desc.r = 0.5f;
    PropertySheet ls;
    light.DescribeProperties(ls);
    EXPECT_EQ(ls.title, "Edit Light");
    EXPECT_EQ(ls.Text("R:"), "127");  // colour x 255, truncated
    ls.Find("G:")->text = "255";
    ls.Find("Active:")->choice = 2;
    light.ApplyProperties(ls);
    EXPECT_FLOAT_EQ(light.desc.g, 1.0f);
    EXPECT_EQ(light.active, LIGHT_ACTIVE_NIGHT);

    PropertySheet none;
    CameraEntity cam(nullptr, "c", 0, 0, 0);
    cam.DescribeProperties(none);
    EXPECT_TRUE(none.title.empty());
    EXPECT_TRUE(cam.EditProperties());  // no dialog: true at once

    // Without a dialog front end the sheet is not shown and nothing changes.
    ObjectEntity hut(nullptr, "hut", 0, 0, 0);
    EXPECT_FALSE(hut.EditProperties());
    EXPECT_TRUE(log.Has("no property dialog front end - 'Edit Object' not shown"));
    PropertySheet npcSheet;
    NPCEntity npc(nullptr, "bob", 0, 0, 0);
    npc.DescribeProperties(npcSheet);
    EXPECT_EQ(npcSheet.title, "Edit NPC");
    EXPECT_NE(npcSheet.Find("Dialog file:"), nullptr);
    EXPECT_EQ(npcSheet.Find("Collide With BBox:"), nullptr);
}

TEST_F(Entities, AnNpcWithADialogStartsItsConversationWhenClicked) {
    const char* source =
        "npc Smith\n"
        "npc Player\n"
        "state hello {\n"
        "    npc Smith \"Need a horseshoe?\"\n"
        "    suspend\n"
        "}\n";
    std::vector<unsigned char> bytes;
    DialogCompileError error;
    ASSERT_TRUE(CompileDialogSource(source, &bytes, &error)) << error.message;
    ::mkdir((dir / "dialogs").c_str(), 0755);
    world_test::WriteFile(dir / "dialogs/smith.dlg", std::string(bytes.begin(), bytes.end()));
    UseFixedClock(20, 5000);
    {
        NPCEntity smith(nullptr, "smith", 0, 0, 0);
        smith.SetDialog("smith");
        ASSERT_NE(smith.dialog, nullptr);
        EXPECT_STREQ(smith.dialog->dialogName->c_str(), "dialogs\\smith");
        EXPECT_EQ(smith.dialog->character, &smith);
        smith.Activate();
        EXPECT_EQ(game.pointerModes, 1);
        EXPECT_EQ(DialogManager::Active(), smith.dialog);
        // The presentation of the line makes the character talk.
        DialogTextBox* box = DialogManager::NextTextBox();
        EXPECT_NE(box, nullptr);
        delete box;
        EXPECT_TRUE(smith.talkActive);
        EXPECT_GT(smith.talkDuration, 0.0f);
        // A copy binds its own conversation.
        Entity* copy = smith.Clone();
        EXPECT_NE(static_cast<NPCEntity*>(copy)->dialog, nullptr);
        EXPECT_NE(static_cast<NPCEntity*>(copy)->dialog, smith.dialog);
        delete copy;
        EXPECT_EQ(DialogManager::Active(), smith.dialog);
    }
    EXPECT_EQ(DialogManager::Active(), nullptr);  // gone with the character
    ClearDialogCache();
}

// The conversation camera frames the head: the eyes at nine tenths of the
// figure's height above its position, what it holds overhead not counted
// beyond 200 units, a figure without a height at the usual 165.
TEST_F(Entities, AnNpcsEyesAreFoundFromItsHeight) {
    NPCEntity npc(nullptr, "bob", 0, 40, 0);
    const struct {
        float top;  // box top, world y
        float eyes;
    } cases[] = {{40 + 170, 153}, {40 + 200, 180}, {40 + 320, 180}, {40, 165}, {20, 165}};
    for (const auto& c : cases) {
        npc.box[4] = c.top;
        EXPECT_FLOAT_EQ(npc.GetConversationEyeHeight(), c.eyes) << c.top;
    }
}

TEST_F(Entities, NpcActivationNeedsABinding) {
    NPCEntity npc(nullptr, "bob", 0, 0, 0);
    npc.Activate();
    EXPECT_EQ(game.pointerModes, 0);
}

TEST_F(Entities, ClickingAnObjectStartsItsScriptByName) {
    std::vector<ScriptRecord> records;
    std::string error;
    ASSERT_TRUE(AssembleScript("program read_sign locals=0 trigger=never\nend\n", &records, &error)) << error;
    ASSERT_TRUE(WriteScriptFile((dir / "signs.scr").c_str(), records, &error)) << error;
    ScriptSystem* saved = g_scripts;
    g_scripts = new ScriptSystem();
    g_scripts->Load((dir / "signs.scr").c_str());
    ObjectEntity sign(nullptr, "sign", 0, 0, 0);
    sign.Activate();  // no script: nothing asked
    EXPECT_FALSE(log.Has("checking if program name"));
    sign.SetOnClickScript("read_sign");
    sign.Activate();
    EXPECT_TRUE(log.Has("checking if program name 'read_sign' is match for 'read_sign'\nmatch..\n"));
    delete g_scripts;
    g_scripts = saved;
}

}  // namespace
