// The demo's living things as the engine loads them from the game folder:
// every character is a skinned figure whose animation file fits its skeleton
// and loops, whose face has the morph slots the NPC entity drives, and whose
// pose changes as time passes; the tavern's sign and the tower's banner swing
// by their node tracks; and a frame of the four characters mid-gesture, their
// faces moving, matches the reference picture in tests/data/content
// (ZENDAR_UPDATE_GOLDEN=1 rewrites it).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "animation/animtrack.h"
#include "animation/biped.h"
#include "common/golden_image.h"
#include "common/log_capture.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "models/z1model/z1model.h"
#include "utility/basepath.h"
#include "utility/clock.h"

namespace {

const std::string kGame = ZENDAR_BIN_DIR;
const char* const kCharacters[] = {"guard", "innkeeper", "storyteller", "keeper"};

class HandClock : public ClockSource {
public:
    float Seconds() override { return ms / 1000.0f; }
    uint32_t Milliseconds() override { return ms; }
    uint32_t ms = 0;
};

class Living : public ::testing::Test {
protected:
    void SetUp() override {
        saved_base_ = GetBasePath() ? GetBasePath() : "";
        SetBasePath((kGame + "/").c_str());
        SetClockSource(&clock);
    }
    void TearDown() override {
        SetClockSource(nullptr);
        SetBasePath(saved_base_.c_str());
    }
    // Where a point bound to bone b is at the current pose, given where it
    // is at rest.
    VECTOR Posed(Z1Model& model, int bone, const VECTOR& rest) {
        const MATRIX* pose = model.skeleton->Pose();
        VECTOR local, out;
        TransformPoint(model.skeleton->InverseBindMatrices()[bone], rest, local);
        TransformPoint(pose[bone], local, out);
        return out;
    }

    test_common::LogCapture log;
    HandClock clock;

private:
    std::string saved_base_;
};

float Distance(const VECTOR& a, const VECTOR& b) { return VectorLength(a - b); }

TEST_F(Living, CharactersAreSkinnedFiguresWithFacesAndLoopingAnimations) {
    for (const char* name : kCharacters) {
        SCOPED_TRACE(name);
        clock.ms = 0;
        Z1Model model;
        ASSERT_TRUE(model.Load((std::string(name) + ".z1").c_str()));
        ASSERT_NE(model.skeleton, nullptr);
        Biped& biped = *model.skeleton;
        EXPECT_EQ(biped.BoneCount(), 14);
        EXPECT_GE(biped.frameCount, 100) << "a loop of four seconds or more";
        EXPECT_TRUE(biped.playing);

        // Every vertex follows a bone; the face alone carries morph targets,
        // in the NPC's slots: 0 blink, 1 and 2 the mouth shapes, 9 the brows.
        int faces = 0;
        for (ModelFrame* f : model.frames)
            for (Z1SubMesh* sm : f->submeshes) {
                ASSERT_TRUE(sm->IsSkinned());
                for (int i = 0; i < sm->vertexCount; ++i) EXPECT_GE(sm->bones[i], 0);
                if (sm->morphTargets.empty()) continue;
                ++faces;
                ASSERT_EQ(sm->morphTargets.size(), 10u);
                for (int slot = 0; slot < 10; ++slot) {
                    bool used = slot <= 2 || slot == 9;
                    EXPECT_EQ(sm->morphTargets[slot].entries.empty(), !used) << "slot " << slot;
                }
            }
        EXPECT_EQ(faces, 1);

        // Both hands and the head over one loop: they move (breath, weight,
        // gesture), and the loop closes where it began.
        const int hands[] = {6, 9, 3};
        const VECTOR rest[] = {{-27, 85, 0}, {27, 85, 0}, {0, 168, -11}};
        std::vector<VECTOR> start;
        for (int k = 0; k < 3; ++k) start.push_back(Posed(model, hands[k], rest[k]));
        float widest = 0, head = 0;
        const uint32_t loop = static_cast<uint32_t>(biped.frameCount) * 40;
        for (clock.ms = 40; clock.ms < loop; clock.ms += 120) {
            widest = std::max({widest, Distance(Posed(model, hands[0], rest[0]), start[0]),
                               Distance(Posed(model, hands[1], rest[1]), start[1])});
            head = std::max(head, Distance(Posed(model, hands[2], rest[2]), start[2]));
        }
        EXPECT_GT(widest, 25.0f) << "a gesture";
        EXPECT_GT(head, 1.5f) << "the head turns and sways";
        clock.ms = loop;
        for (int k = 0; k < 3; ++k) EXPECT_LT(Distance(Posed(model, hands[k], rest[k]), start[k]), 0.01f);
    }
    EXPECT_FALSE(log.Has("ANM")) << log.Text();
    EXPECT_FALSE(log.Has("does not fit")) << log.Text();
}

TEST_F(Living, SignAndBannerSwingByTheirNodeTracks) {
    struct Swinging {
        const char* model;
        VECTOR tip;  // a point far from the hinge, at rest
        float period;
    };
    for (const Swinging& s :
         {Swinging{"sign.z1", {0, 200, -110}, 3.2f}, Swinging{"banner.z1", {118, 170, 0}, 2.4f}}) {
        SCOPED_TRACE(s.model);
        clock.ms = 0;
        Z1Model model;
        ASSERT_TRUE(model.Load(s.model));
        AnimTrack* track = nullptr;
        for (ModelFrame* f : model.frames)
            if (f->track) track = f->track;
        ASSERT_NE(track, nullptr);
        EXPECT_TRUE(track->playing);
        EXPECT_TRUE(track->looping);
        // Stepped frame by frame for two rounds, as the game draws it: the
        // second round swings as wide as the first.
        float widest[2] = {0, 0};
        VECTOR first{0, 0, 0};
        const uint32_t round = static_cast<uint32_t>(s.period * 1000);
        for (clock.ms = 0; clock.ms < 2 * round; clock.ms += 20) {
            MATRIX node;
            VECTOR tip;
            track->EvaluateNode(node);
            TransformPoint(node, s.tip, tip);
            if (clock.ms == 0) first = tip;
            float& w = widest[clock.ms < round ? 0 : 1];
            w = std::max(w, Distance(tip, first));
        }
        EXPECT_GT(widest[0], 15.0f);
        EXPECT_NEAR(widest[1], widest[0], 0.1f * widest[0]);
    }
    EXPECT_TRUE(log.Has("is looping..")) << log.Text();
}

TEST_F(Living, FourCharactersMidGestureWithMovingFaces) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display (the suite runs under xvfb-run)";
    static SDL_Window* window = OpenGLDriverSDLCreateWindow("character tests", true);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    std::unique_ptr<OpenGLDriverSDL> driver(new OpenGLDriverSDL());
    ASSERT_TRUE(driver->Init(nullptr, window));
    struct Restore {
        GfxDriver* driver = g_gfxdriver;
        OpenGLDriverSDL* own;
        ~Restore() {
            g_gfxdriver = driver;
            own->Shutdown();
        }
    } restore{g_gfxdriver, driver.get()};
    g_gfxdriver = driver.get();

    clock.ms = 0;
    std::vector<std::unique_ptr<Z1Model>> models;
    for (const char* name : kCharacters) {
        models.emplace_back(new Z1Model());
        ASSERT_TRUE(models.back()->Load((std::string(name) + ".z1").c_str())) << name;
    }
    // Three seconds in, every gesture is held; 3000 ms is a whole frame of
    // the 25-a-second animations, so nothing hangs on interpolation.
    clock.ms = 3000;
    // Blink, mouth shapes and brows: each face its own.
    const float weights[4][10] = {{1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                  {0, 0.9f, 0, 0, 0, 0, 0, 0, 0, 0.6f},
                                  {0.5f, 0, 1.0f, 0, 0, 0, 0, 0, 0, 1.0f},
                                  {0, 0.6f, 0.3f, 0, 0, 0, 0, 0, 0, 0}};

    MATRIX view;
    ASSERT_TRUE(MatrixLookAt(view, VECTOR{0, 150, -300}, VECTOR{0, 105, 0}, VECTOR{0, 1, 0}));
    driver->SetViewMatrix(&view);
    driver->SetProjection(0.9f, 0.75f, 1.0f, 2000.0f);
    driver->SetAmbientColor(0xFF585858);
    LightDesc sun{};
    sun.type = LIGHT_DIRECTIONAL;
    sun.direction = VECTOR{-0.35f, 0.6f, -0.7f};  // towards the light
    sun.r = sun.g = sun.b = 0.85f;
    sun.range = 5000;
    driver->CreateLight(sun);
    driver->SetLighting(true);
    driver->BeginScene();
    driver->Clear(0xFF70809A);
    for (size_t i = 0; i < models.size(); ++i) {
        MATRIX world;
        MatrixTranslation(world, -111.0f + 74.0f * static_cast<float>(i), 0, 0);
        driver->SetWorldMatrix(&world);
        EXPECT_TRUE(models[i]->Draw(nullptr, VECTOR{0, 0, 0}, weights[i]));
    }
    driver->EndScene();
    test_common::CompareFrameWithReference(
        std::string(ZENDAR_SOURCE_DIR) + "/tests/data/content/characters.png", "characters",
        "content_characters_actual.png", driver->width, driver->height);
    EXPECT_FALSE(log.Has("ERROR")) << log.Text();
}

}  // namespace
