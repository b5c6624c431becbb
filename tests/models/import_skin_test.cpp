// An imported skeleton, its sampled animation file, the engine's pose and its
// skinning together, checked against assimp's own reading of the source: at
// the sampled frames every vertex held by one bone must land where the
// source's bone puts it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "animation/biped.h"
#include "common/recording_driver.h"
#include "model_helpers.h"
#include "models/z1model/z1model.h"
#include "utility/clock.h"

namespace {

using model_test::TempDir;

const char* const kCorpus = "/usr/share/assimp/models/";

aiVector3D Lerp(const aiVectorKey* k, unsigned n, double t, aiVector3D fallback) {
    if (n == 0) return fallback;
    if (t <= k[0].mTime) return k[0].mValue;
    for (unsigned i = 0; i + 1 < n; i++)
        if (t < k[i + 1].mTime) {
            float f = static_cast<float>((t - k[i].mTime) / (k[i + 1].mTime - k[i].mTime));
            return k[i].mValue * (1.0f - f) + k[i + 1].mValue * f;
        }
    return k[n - 1].mValue;
}

aiQuaternion Slerp(const aiQuatKey* k, unsigned n, double t, aiQuaternion fallback) {
    if (n == 0) return fallback;
    if (t <= k[0].mTime) return k[0].mValue;
    for (unsigned i = 0; i + 1 < n; i++)
        if (t < k[i + 1].mTime) {
            aiQuaternion q;
            aiQuaternion::Interpolate(q, k[i].mValue, k[i + 1].mValue,
                                      static_cast<float>((t - k[i].mTime) / (k[i + 1].mTime - k[i].mTime)));
            return q.Normalize();
        }
    return k[n - 1].mValue;
}

// Node globals at a time (seconds) of the first animation (the rest pose for
// nodes without a channel).
void Globals(const aiScene* sc, const aiNode* n, const aiMatrix4x4& parent, double seconds,
             std::map<std::string, aiMatrix4x4>& out) {
    aiMatrix4x4 local = n->mTransformation;
    if (sc->mNumAnimations > 0) {
        const aiAnimation* a = sc->mAnimations[0];
        double tick = seconds * (a->mTicksPerSecond > 0 ? a->mTicksPerSecond : 25.0);
        for (unsigned i = 0; i < a->mNumChannels; i++) {
            const aiNodeAnim* c = a->mChannels[i];
            if (c->mNodeName != n->mName) continue;
            aiVector3D scale, pos;
            aiQuaternion rot;
            local.Decompose(scale, rot, pos);
            local = aiMatrix4x4(Lerp(c->mScalingKeys, c->mNumScalingKeys, tick, scale),
                                Slerp(c->mRotationKeys, c->mNumRotationKeys, tick, rot),
                                Lerp(c->mPositionKeys, c->mNumPositionKeys, tick, pos));
        }
    }
    aiMatrix4x4 g = parent * local;
    out[n->mName.C_Str()] = g;
    for (unsigned i = 0; i < n->mNumChildren; i++) Globals(sc, n->mChildren[i], g, seconds, out);
}

struct Expect {
    std::vector<std::vector<std::pair<int, aiVector3D>>> pieces;  // per drawn piece: vertex, position
};

void Collect(const aiScene* sc, const aiNode* n, const std::map<std::string, aiMatrix4x4>& globals,
             Expect& e) {
    for (unsigned i = 0; i < n->mNumMeshes; i++) {
        const aiMesh* m = sc->mMeshes[n->mMeshes[i]];
        if (!(m->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) || m->mNumVertices == 0 ||
            m->mNumVertices > 65535)
            continue;
        bool faces = false;
        for (unsigned f = 0; f < m->mNumFaces; f++) faces = faces || m->mFaces[f].mNumIndices == 3;
        if (!faces) continue;
        std::vector<std::pair<int, aiVector3D>> piece;
        std::map<unsigned, std::pair<int, const aiBone*>> holders;  // vertex -> weights seen, strong bone
        for (unsigned b = 0; b < m->mNumBones; b++)
            for (unsigned w = 0; w < m->mBones[b]->mNumWeights; w++) {
                const aiVertexWeight& vw = m->mBones[b]->mWeights[w];
                if (vw.mWeight <= 0.0f) continue;
                auto& h = holders[vw.mVertexId];
                h.first++;
                if (vw.mWeight >= 0.999f) h.second = m->mBones[b];
            }
        for (const auto& h : holders) {
            if (h.second.first != 1 || !h.second.second) continue;
            const aiBone* bone = h.second.second;
            auto g = globals.find(bone->mName.C_Str());
            if (g == globals.end()) continue;
            aiVector3D p = g->second * bone->mOffsetMatrix * m->mVertices[h.first];
            piece.push_back({static_cast<int>(h.first), p});
        }
        e.pieces.push_back(piece);
    }
    for (unsigned i = 0; i < n->mNumChildren; i++) Collect(sc, n->mChildren[i], globals, e);
}

TEST(ImportedSkin, FramesMatchTheSource) {
    struct stat st;
    if (::stat((std::string(kCorpus) + "X/anim_test.x").c_str(), &st) != 0)
        GTEST_SKIP() << "assimp-testmodels is not installed";
    int checked = 0;
    for (const char* model : {"X/anim_test.x", "X/Testwuson.X", "X/BCN_Epileptic.X",
                              "FBX/animation_with_skeleton.fbx", "MD5/SimpleCube.md5mesh"}) {
        TempDir dir;
        std::string cmd = std::string("cd '") + dir.path() +
                          "' && '" ZENDAR_BIN_DIR "/z1tool' model import '" + kCorpus + model +
                          "' z1/s.z1 > /dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << model;

        Assimp::Importer importer;
        importer.SetPropertyInteger(AI_CONFIG_PP_SLM_VERTEX_LIMIT, 65535);
        importer.SetPropertyInteger(AI_CONFIG_PP_SLM_TRIANGLE_LIMIT, 65535);
        importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
        const aiScene* sc = importer.ReadFile(
            std::string(kCorpus) + model, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                              aiProcess_GenSmoothNormals | aiProcess_SortByPType |
                                              aiProcess_SplitLargeMeshes | aiProcess_FlipUVs |
                                              aiProcess_ValidateDataStructure | aiProcess_LimitBoneWeights);
        ASSERT_NE(sc, nullptr) << model;
        RecordingDriver driver;
        ScopedDriver scoped(&driver);
        UseFixedClock(0, 0);
        Z1Model m;
        ASSERT_TRUE(m.Load("s.z1")) << model;
        ASSERT_NE(m.skeleton, nullptr) << model;
        const float size = std::max(m.box[3] - m.box[0], std::max(m.box[4] - m.box[1], m.box[5] - m.box[2]));
        // Frame 0, then frame 5 (200 ms) of the 25 a second the file was sampled at.
        for (int frame : {0, 5}) {
            if (frame >= m.skeleton->frameCount) continue;
            std::map<std::string, aiMatrix4x4> globals;
            Globals(sc, sc->mRootNode, aiMatrix4x4(), frame / 25.0, globals);
            Expect e;
            Collect(sc, sc->mRootNode, globals, e);
            m.skeleton->startTime = ClockMilliseconds() - static_cast<uint32_t>(frame * 40);
            driver.BeginScene();
            driver.ResetLog();
            m.Draw(nullptr, VECTOR{0, 0, 0});
            auto draws = driver.DrawsOf(VertexFormat::kVertex);
            ASSERT_EQ(draws.size(), e.pieces.size()) << model;
            for (size_t k = 0; k < draws.size(); k++)
                for (const auto& v : e.pieces[k]) {
                    const VERTEX& got = draws[k]->vertex[v.first];
                    // The engine's frame mirrors z.
                    EXPECT_NEAR(got.x, v.second.x, size * 1e-3f)
                        << model << " frame " << frame << " vertex " << v.first;
                    EXPECT_NEAR(got.y, v.second.y, size * 1e-3f)
                        << model << " frame " << frame << " vertex " << v.first;
                    EXPECT_NEAR(got.z, -v.second.z, size * 1e-3f)
                        << model << " frame " << frame << " vertex " << v.first;
                    checked++;
                }
        }
        UseRealTimeClock();
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
