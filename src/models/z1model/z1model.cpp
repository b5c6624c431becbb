// Index of this file:
// [SECTION] Z1SubMesh
// [SECTION] ModelFrame
// [SECTION] AlphaList
// [SECTION] Z1Model
#include "models/z1model/z1model.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "animation/animtrack.h"
#include "animation/biped.h"
#include "collision/collision.h"
#include "collision/rayquery.h"
#include "culling/cplane.h"
#include "culling/quadtree.h"
#include "settings/settings.h"
#include "utility/clock.h"
#include "utility/log.h"

AlphaList* g_alpha_list = nullptr;

namespace {

bool FullShading() { return g_settings ? g_settings->fullShading != 0 : true; }

bool SameTextIgnoringCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; i++)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int TuningC() { return g_settings && g_settings->tuningC > 0 ? g_settings->tuningC : 2500; }

// Direction through the upper 3x3 only.
VECTOR TransformNormal(const MATRIX& m, float x, float y, float z) {
    return VECTOR{x * m[0] + y * m[4] + z * m[8], x * m[1] + y * m[5] + z * m[9],
                  x * m[2] + y * m[6] + z * m[10]};
}

void BoxUnion(float out[6], const float in[6]) {
    for (int i = 0; i < 3; i++) {
        out[i] = std::min(out[i], in[i]);
        out[3 + i] = std::max(out[3 + i], in[3 + i]);
    }
}

void SetCentreRadius(ModelFrame* f) {
    f->centre = BoxCenter(f->box);
    f->radius = VectorLength(VECTOR{f->box[3], f->box[4], f->box[5]} - f->centre);
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Z1SubMesh

Z1SubMesh::Z1SubMesh(Z1Mesh& mesh, const Z1Material* m, const VECTOR& framePivot) : pivot(framePivot) {
    vertexCount = static_cast<int>(mesh.vertices.size());
    faceCount = static_cast<int>(mesh.indices.size() / 3);
    // The largest index first (a loop without exits, which compilers
    // vectorise); only a bad one is looked for.
    unsigned largest = 0;
    for (int i = 0; i < faceCount * 3; i++) largest = std::max<unsigned>(largest, mesh.indices[i]);
    for (int i = 0; largest >= static_cast<unsigned>(vertexCount) && i < faceCount * 3; i++) {
        if (mesh.indices[i] >= vertexCount) {
            LogLine("ERROR - face index %i out of range (%i vertices) - mesh dropped", mesh.indices[i],
                    vertexCount);
            faceCount = 0;
            break;
        }
    }
    // The vertices as loaded are kept apart only where drawing rewrites
    // them from it: skinned and morphed pieces.
    if (!mesh.bones.empty() || !mesh.morphTargets.empty()) {
        source = new VERTEX[vertexCount + 1];
        if (vertexCount > 0) std::memcpy(source, mesh.vertices.data(), sizeof(VERTEX) * vertexCount);
    }
    vertexArray_.swap(mesh.vertices);
    indexArray_.swap(mesh.indices);
    // An empty piece still has arrays.
    if (vertexArray_.empty()) vertexArray_.emplace_back();
    if (indexArray_.empty()) indexArray_.push_back(0);
    vertices = vertexArray_.data();
    indices = indexArray_.data();
    if (!mesh.bones.empty()) {
        bones = new int16_t[vertexCount + 1];
        for (int i = 0; i < vertexCount; i++)
            bones[i] = i < static_cast<int>(mesh.bones.size()) ? mesh.bones[i] : -1;
    }

    if (vertexCount > 0) {
        // Kept in locals: stores to the box could alias the vertices.
        float b[6] = {vertices[0].x, vertices[0].y, vertices[0].z,
                      vertices[0].x, vertices[0].y, vertices[0].z};
        for (int i = 1; i < vertexCount; i++) {
            const float p[6] = {vertices[i].x, vertices[i].y, vertices[i].z,
                                vertices[i].x, vertices[i].y, vertices[i].z};
            BoxUnion(b, p);
        }
        std::memcpy(box, b, sizeof(b));
    }

    for (int g = 0; g < 3; g++)
        for (int k = 0; k < 4; k++) colors[g][k] = 0.0f;
    if (!m || m->white) {
        for (int g = 0; g < 2; g++)
            for (int k = 0; k < 4; k++) colors[g][k] = 1.0f;
    } else {
        for (int k = 0; k < 3; k++) {
            colors[0][k] = m->color1[k];
            colors[1][k] = m->color2[k];
        }
        colors[0][3] = colors[1][3] = 1.0f;
    }
    if (m) {
        const Z1Map& tex = m->maps[Z1_SLOT_TEXTURE];
        const Z1Map& opacity = m->maps[Z1_SLOT_OPACITY];
        const Z1Map& env = m->maps[Z1_SLOT_ENVIRONMENT];
        if (tex.present) {
            wrapU = tex.wrapU ? 1 : 0;
            wrapV = tex.wrapV ? 1 : 0;
        }
        transparent = opacity.present ? 1 : 0;
        envMapped = env.present ? 1 : 0;
        scrolling = m->hasExtra ? 1 : 0;
        twoSided = m->twoSided ? 1 : 0;
        selfIllumination = materialSelfIllumination = m->selfIllumination;
        textureName = tex.bitmap;
        alphaName = opacity.bitmap;
        envmapName = env.bitmap;
        scrollU = m->scrollU;
        scrollV = m->scrollV;
    }
    if (!mesh.morphTargets.empty()) {
        LogLine("transferring %i morph targets", static_cast<int>(mesh.morphTargets.size()));
        for (const Z1MorphTarget& t : mesh.morphTargets) {
            Z1MorphRuntime r;
            for (const Z1MorphEntry& e : t.entries)
                if (e.vertex >= 0 && e.vertex < vertexCount) r.entries.push_back(e);
            morphTargets.push_back(r);
        }
    }
}

Z1SubMesh::~Z1SubMesh() {
    delete quadtree;
    delete collisionCache;
    delete[] source;
    delete[] skinned;
    delete[] bones;
}

void Z1SubMesh::ToBoneSpace(const MATRIX* inverseBind, int boneCount) {
    if (!bones) return;
    for (int i = 0; i < vertexCount; i++) {
        int b = bones[i];
        if (b < 0 || b >= boneCount) continue;
        VERTEX& v = source[i];
        VECTOR p;
        TransformPoint(inverseBind[b], VECTOR{v.x, v.y, v.z}, p);
        VECTOR n = TransformNormal(inverseBind[b], v.nx, v.ny, v.nz);
        v.x = p.x;
        v.y = p.y;
        v.z = p.z;
        v.nx = n.x;
        v.ny = n.y;
        v.nz = n.z;
    }
}

void Z1SubMesh::BuildQuadTree() {
    delete quadtree;
    quadtree = nullptr;
    // Only pieces whose geometry never moves: skinned and morphed vertices
    // change every frame.
    if (bones || !morphTargets.empty()) return;
    if (faceCount <= QuadTreeTuningB()) return;
    quadtree = new QuadTree(vertices, vertexCount, indices, faceCount, box);
    quadtree->Build();
}

void Z1SubMesh::Skin(const MATRIX* pose, int poseCount) {
    VERTEX* out = morphTargets.empty() ? vertices : skinned;
    if (!out) {
        skinned = new VERTEX[vertexCount + 1];
        std::memcpy(skinned, vertices, sizeof(VERTEX) * vertexCount);
        out = skinned;
    }
    // Once per driver frame and pose: every instance of a model shares it.
    int32_t frame = g_gfxdriver ? g_gfxdriver->frames : -1;
    if (frame == skinnedFrame_ && pose == skinnedPose_ && frame != -1) return;
    skinnedFrame_ = frame;
    skinnedPose_ = pose;
    for (int i = 0; i < vertexCount; i++) {
        int b = bones[i];
        if (b < 0 || b >= poseCount) continue;
        const VERTEX& s = source[i];
        VECTOR p;
        TransformPoint(pose[b], VECTOR{s.x, s.y, s.z}, p);
        VECTOR n = TransformNormal(pose[b], s.nx, s.ny, s.nz);
        out[i].x = p.x;
        out[i].y = p.y;
        out[i].z = p.z;
        out[i].nx = n.x;
        out[i].ny = n.y;
        out[i].nz = n.z;
    }
}

void Z1SubMesh::Morph(const float* weights) {
    // Positions are rebuilt from the unmorphed ones first, so weights do not
    // pile up from frame to frame.
    const VERTEX* base = skinned ? skinned : source;
    for (const Z1MorphRuntime& t : morphTargets)
        for (const Z1MorphEntry& e : t.entries) {
            vertices[e.vertex].x = base[e.vertex].x;
            vertices[e.vertex].y = base[e.vertex].y;
            vertices[e.vertex].z = base[e.vertex].z;
        }
    const int n = std::min(kMorphWeights, static_cast<int>(morphTargets.size()));
    for (int w = 0; w < n; w++) {
        float weight = weights ? weights[w] : morphTargets[w].weight;
        morphTargets[w].weight = weight;
        if (weight == 0.0f) continue;
        for (const Z1MorphEntry& e : morphTargets[w].entries) {
            vertices[e.vertex].x += e.offset.x * weight;
            vertices[e.vertex].y += e.offset.y * weight;
            vertices[e.vertex].z += e.offset.z * weight;
        }
    }
}

void Z1SubMesh::Draw(const MATRIX* pose, int poseCount, const float* weights, CPlane* frustum) {
    GfxDriver* d = g_gfxdriver;
    if (!d) return;
    if (!wrapU) d->SetTextureWrapU(false);
    if (!wrapV) d->SetTextureWrapV(false);
    if (twoSided) d->SetCullMode(CULL_NONE);
    const bool shading = FullShading();
    bool lightingOff = false;
    if (selfIllumination > 0.0f || !shading) {
        d->SetLighting(false);
        lightingOff = true;
    }
    MaterialColors mc;
    for (int k = 0; k < 4; k++) {
        mc.diffuse[k] = colors[0][k];
        mc.ambient[k] = colors[1][k];
        mc.specular[k] = colors[2][k];
    }
    d->SetMaterial(&mc);

    if (pose && bones) Skin(pose, poseCount);
    if (!morphTargets.empty()) {
        if (pose && bones && skinned) {
            for (int i = 0; i < vertexCount; i++) {
                vertices[i].x = skinned[i].x;
                vertices[i].y = skinned[i].y;
                vertices[i].z = skinned[i].z;
                vertices[i].nx = skinned[i].nx;
                vertices[i].ny = skinned[i].ny;
                vertices[i].nz = skinned[i].nz;
            }
        }
        Morph(weights);
    }

    if (shading) {
        const char* tex = textureName.empty() ? nullptr : textureName.c_str();
        if (!d->SetTexture(tex) && tex) LogLine("ERROR setting texture %s", tex);
    } else {
        d->SetTexture(nullptr);
    }

    if (scrolling) {
        uint32_t now = ClockMilliseconds();
        if (drawnBefore) {
            float elapsed = static_cast<float>(now - lastDraw);
            du = scrollU >= 1 ? elapsed / static_cast<float>(scrollU) : 0.0f;
            dv = scrollV >= 1 ? elapsed / static_cast<float>(scrollV) : 0.0f;
            for (int i = 0; i < vertexCount; i++) {
                vertices[i].tu += du;
                vertices[i].tv += dv;
            }
        }
        lastDraw = now;
        drawnBefore = true;
    }

    if (envMapped) {
        if (!d->SetTexture(envmapName.c_str()))
            LogLine("ERROR setting environment map %s", envmapName.c_str());
        MATRIX world, view, m;
        d->GetWorldMatrix(&world);
        d->GetViewMatrix(&view);
        MatrixMultiply(m, world, view);
        for (int i = 0; i < vertexCount; i++) {
            VERTEX& v = vertices[i];
            float cz = v.nx * m[2] + v.ny * m[6] + v.nz * m[10];
            if (cz > 0.0f) continue;
            v.tu = (v.nx * m[0] + v.ny * m[4] + v.nz * m[8] + 1.0f) * 0.5f;
            v.tv = (1.0f - (v.nx * m[1] + v.ny * m[5] + v.nz * m[9])) * 0.5f;
        }
    }

    if (transparent) {
        if (!binaryAlphaKnown) {
            binaryAlpha = d->TextureHasBinaryAlpha(textureName.c_str()) ? 1 : 0;
            binaryAlphaKnown = 1;
        }
        d->SetAlphaTestMode(binaryAlpha ? ALPHATEST_OPAQUE : ALPHATEST_NONZERO);
    }

    // A large static piece draws through its tree, which skips what the
    // frustum cannot see; pieces whose vertices change per draw go whole.
    if (quadtree && frustum && !transparent && !scrolling && !envMapped) {
        quadtree->Render(frustum);
    } else if (faceCount > 0) {
        d->DrawIndexedList(vertices, vertexCount, indices, faceCount * 3);
    }

    if (lightingOff) d->SetLighting(true);
    if (twoSided) d->SetCullMode(CULL_CCW);
    if (!wrapU) d->SetTextureWrapU(true);
    if (!wrapV) d->SetTextureWrapV(true);
}

// ---------------------------------------------------------------------------
// [SECTION] ModelFrame

ModelFrame::ModelFrame() {}

ModelFrame::~ModelFrame() {
    for (Z1SubMesh* s : submeshes) delete s;
    delete track;
}

// ---------------------------------------------------------------------------
// [SECTION] AlphaList

AlphaList::AlphaList(int cap) {
    capacity = cap > 0 ? cap : TuningC();
    items = new AlphaItem[capacity];
}

AlphaList::~AlphaList() { delete[] items; }

bool AlphaList::Queue(Z1SubMesh* submesh, const VECTOR& position, const MATRIX* pose, int poseCount,
                      const float* weights) {
    if (count >= capacity) {
        LogLine("ERROR - overflow in alpha list... alpha item omitted...");
        return false;
    }
    AlphaItem& it = items[count++];
    if (g_gfxdriver)
        g_gfxdriver->GetWorldMatrix(&it.world);
    else
        MatrixIdentity(it.world);
    it.position = position + VECTOR{it.world[12], it.world[13], it.world[14]};
    TransformPoint(it.world, submesh->pivot, it.centre);
    it.camera = it.centre;
    it.pose = pose;
    it.poseCount = poseCount;
    it.worldFlag = g_gfxdriver ? static_cast<uint8_t>(g_gfxdriver->worldFlag & 0xFF) : 0;
    it.weights = weights;
    it.submesh = submesh;
    return true;
}

void AlphaList::Sort() {
    MATRIX view;
    if (g_gfxdriver)
        g_gfxdriver->GetViewMatrix(&view);
    else
        MatrixIdentity(view);
    for (int i = 0; i < count; i++) TransformPoint(view, items[i].centre, items[i].camera);
    std::sort(items, items + count,
              [](const AlphaItem& a, const AlphaItem& b) { return a.camera.z > b.camera.z; });
}

void AlphaList::Render() {
    GfxDriver* d = g_gfxdriver;
    if (!d || count == 0) return;
    Sort();
    bool blending = d->SetAlphaBlending(true);
    d->SetAlphaTestMode(ALPHATEST_OPAQUE);
    for (int i = 0; i < count; i++) {
        AlphaItem& it = items[i];
        d->SetWorldMatrix(&it.world);
        bool additive = it.submesh->transparent && it.submesh->selfIllumination > 0.0f;
        if (additive) d->SetBlendMode(BLEND_ADDITIVE);
        if (it.worldFlag) {
            d->SetAmbientColor(kIndoorColor);
            d->SetFogColor(kIndoorColor);
            d->EnableLight(0, false);
        }
        it.submesh->Draw(it.pose, it.poseCount, it.weights);
        if (it.worldFlag) {
            d->SetAmbientColor(restoreAmbient);
            d->SetFogColor(restoreFog);
            d->EnableLight(0, true);
        }
        if (additive) d->SetBlendMode(BLEND_ALPHA);
    }
    d->SetAlphaTestMode(ALPHATEST_OFF);
    d->SetAlphaBlending(blending);
}

// ---------------------------------------------------------------------------
// [SECTION] Z1Model

Z1Model::Z1Model() {}

Z1Model::~Z1Model() { Clear(); }

void Z1Model::Clear() {
    for (ModelFrame* f : frames) delete f;
    frames.clear();
    topFrames.clear();
    for (AnimTrack* t : lightTracks) delete t;
    lightTracks.clear();
    delete skeleton;
    skeleton = nullptr;
    bonePose.clear();
    delete data;
    data = nullptr;
    registered.clear();
    loaded = 0;
    lastFrame = -1;
}

bool Z1Model::Load(const char* fileName) {
    std::string path = std::string("z1\\") + (fileName ? fileName : "");
    Clear();
    name = fileName ? fileName : "";
    Z1Scene* scene = new Z1Scene();
    if (Z1ReadPath(path.c_str(), *scene) != Z1_READ_OK) {
        delete scene;
        LogLine("error loading z1 file %s", name.c_str());
        return false;
    }
    return LoadScene(scene, fileName);
}

bool Z1Model::LoadPath(const char* path) {
    Clear();
    std::string p = path ? path : "";
    size_t slash = p.find_last_of("\\/");
    name = slash == std::string::npos ? p : p.substr(slash + 1);
    Z1Scene* scene = new Z1Scene();
    if (Z1ReadPath(p.c_str(), *scene) != Z1_READ_OK) {
        delete scene;
        LogLine("error loading z1 file %s", name.c_str());
        return false;
    }
    std::string keep = name;
    return LoadScene(scene, keep.c_str());
}

namespace {

ModelFrame* FindFrame(const std::vector<ModelFrame*>& list, const std::string& wanted) {
    for (ModelFrame* f : list) {
        if (f->name == wanted) return f;
        if (ModelFrame* c = FindFrame(f->children, wanted)) return c;
    }
    return nullptr;
}

// Widens each frame's box by its children's; false when neither the frame
// nor anything below it has a box.
bool WidenBox(ModelFrame* f) {
    for (ModelFrame* c : f->children) {
        if (!WidenBox(c)) continue;
        if (f->hasBox) {
            BoxUnion(f->box, c->box);
        } else {
            std::memcpy(f->box, c->box, sizeof(f->box));
            f->hasBox = true;
        }
    }
    if (f->hasBox) SetCentreRadius(f);
    return f->hasBox;
}

AnimTrack* MakeTrack(const Z1Scene& s, const Z1Animation& a, const VECTOR& pivot,
                     const Z1GeomObject* parent) {
    AnimTrack* t = new AnimTrack(s.scene.frameSpeed, s.scene.ticksPerFrame, s.scene.lastFrame);
    t->nodeName = a.nodeName;
    t->SetPivot(pivot);
    VECTOR parentPos = parent && parent->hasTransform ? parent->transform.pivot : VECTOR{0, 0, 0};
    std::vector<uint8_t> order = a.order;
    if (order.empty())
        order = {Z1_CONTROL_POS_TRACK, Z1_CONTROL_POS_TCB, Z1_CONTROL_ROT_TRACK, Z1_CONTROL_ROT_TCB};
    bool done[256] = {false};
    for (uint8_t block : order) {
        if (done[block]) continue;
        done[block] = true;
        if (block == Z1_CONTROL_POS_TRACK || block == Z1_CONTROL_POS_TCB) {
            bool spline = block == Z1_CONTROL_POS_TCB;
            for (const Z1PosKey& k : spline ? a.posSpline : a.posLinear) {
                AnimPosKey key{static_cast<uint8_t>(spline ? ANIMKEY_POS_SPLINE : ANIMKEY_POS_LINEAR), k.time,
                               k.p + parentPos, k.extra1, k.extra2};
                t->AddPositionKey(key);
            }
        } else {
            bool spline = block == Z1_CONTROL_ROT_TCB;
            for (const Z1RotKey& k : spline ? a.rotSpline : a.rotLinear) {
                AnimRotKey key;
                key.kind = spline ? ANIMKEY_ROT_SPLINE : ANIMKEY_ROT_LINEAR;
                key.time = k.time;
                key.axis = k.axis;
                key.angle = k.angle;
                for (int i = 0; i < 5; i++) key.params[i] = k.params[i];
                if (spline && parent && parent->hasTransform) {
                    const VECTOR* r = parent->transform.rows;
                    key.axis = VECTOR{k.axis.x * r[0].x + k.axis.y * r[1].x + k.axis.z * r[2].x,
                                      k.axis.x * r[0].y + k.axis.y * r[1].y + k.axis.z * r[2].y,
                                      k.axis.x * r[0].z + k.axis.y * r[1].z + k.axis.z * r[2].z};
                }
                t->AddRotationKey(key);
            }
        }
    }
    return t;
}

}  // namespace

bool Z1Model::LoadScene(Z1Scene* scene, const char* fileName) {
    if (scene != data) Clear();
    data = scene;
    name = fileName ? fileName : "";
    if (!data) return false;
    const Z1Scene& s = *data;

    // Frames, one per geometry object, attached in file order.
    for (Z1GeomObject& o : data->objects) {
        ModelFrame* f = new ModelFrame();
        f->name = o.name;
        f->parentName = o.parent;
        f->pivot = o.hasTransform ? o.transform.pivot : VECTOR{0, 0, 0};
        if (!o.meshLists.empty()) {
            const Z1Material* objectMaterial = nullptr;
            if (o.material >= 0 && o.material < static_cast<int>(s.materials.size()))
                objectMaterial = &s.materials[o.material];
            for (Z1Mesh& mesh : o.meshLists[0].meshes) {
                const Z1Material* m = objectMaterial;
                if (objectMaterial && objectMaterial->materialClass == Z1_CLASS_MULTI) {
                    m = mesh.submaterial >= 0 &&
                                mesh.submaterial < static_cast<int>(objectMaterial->submaterials.size())
                            ? &objectMaterial->submaterials[mesh.submaterial]
                            : nullptr;
                }
                f->submeshes.push_back(new Z1SubMesh(mesh, m, f->pivot));
            }
        }
        if (o.hasBoxMin && o.hasBoxMax) {
            f->box[0] = o.boxMin.x;
            f->box[1] = o.boxMin.y;
            f->box[2] = o.boxMin.z;
            f->box[3] = o.boxMax.x;
            f->box[4] = o.boxMax.y;
            f->box[5] = o.boxMax.z;
            f->hasBox = true;
        } else {
            // Files without a box still get one, from their vertices, so that
            // culling never drops them.
            for (Z1SubMesh* sm : f->submeshes) {
                if (sm->vertexCount == 0) continue;
                if (f->hasBox) {
                    BoxUnion(f->box, sm->box);
                } else {
                    std::memcpy(f->box, sm->box, sizeof(f->box));
                    f->hasBox = true;
                }
            }
        }
        if (!o.animations.empty()) {
            const Z1GeomObject* parent = nullptr;
            for (const Z1GeomObject& p : s.objects)
                if (!o.parent.empty() && p.name == o.parent) parent = &p;
            f->track = MakeTrack(s, o.animations[0], f->pivot, parent);
            // Held at their first key unless the extra settings ask for them
            // to play (a swinging sign, a turning mill).
            if (s.playNodeAnimation) f->track->Play(0, 0, true);
        }
        ModelFrame* parentFrame = o.parent.empty() ? nullptr : FindFrame(topFrames, o.parent);
        if (parentFrame)
            parentFrame->children.push_back(f);
        else
            topFrames.push_back(f);
        frames.push_back(f);
    }

    // Boxes: each frame widened by its children, the model's over all.
    bool any = false;
    for (ModelFrame* f : topFrames) {
        if (!WidenBox(f)) continue;
        if (any) {
            BoxUnion(box, f->box);
        } else {
            std::memcpy(box, f->box, sizeof(box));
            any = true;
        }
    }

    // Textures.
    if (g_gfxdriver) {
        std::vector<const Z1Material*> all;
        for (const Z1Material& m : s.materials) {
            all.push_back(&m);
            for (const Z1Material& sub : m.submaterials) all.push_back(&sub);
        }
        // A texture generated twice is uploaded twice (the second shadows the
        // first), so materials sharing one register it once.
        std::vector<std::string> done;
        auto generate = [&done, this](const std::string& tex, const std::string& alpha) {
            std::string key = tex + '\n' + alpha;
            if (tex.empty() || std::find(done.begin(), done.end(), key) != done.end()) return;
            done.push_back(key);
            registered.push_back(tex);
            g_gfxdriver->GenerateTexture(tex.c_str(), alpha.empty() ? nullptr : alpha.c_str());
        };
        for (const Z1Material* m : all) {
            if (!m->textured) continue;
            generate(m->maps[Z1_SLOT_TEXTURE].bitmap, m->maps[Z1_SLOT_OPACITY].bitmap);
            generate(m->maps[Z1_SLOT_ENVIRONMENT].bitmap, std::string());
        }
    }

    // Skeleton and its animation file: hut.z1 plays hut.anm.
    if (s.hasBones) {
        std::vector<BipedBone> bones;
        for (const Z1Bone& b : s.bones)
            bones.push_back(BipedBone{b.name, b.parent, b.first, b.second, b.length});
        skeleton = new Biped(bones);
        std::string anim = name;
        if (anim.size() >= 2) anim.resize(anim.size() - 2);
        anim += "anm";
        skeleton->LoadAnm(anim.c_str());
        skeleton->Start();
        bonePose.assign(skeleton->BindMatrices(), skeleton->BindMatrices() + skeleton->BoneCount());
        for (ModelFrame* f : frames)
            for (Z1SubMesh* sm : f->submeshes)
                sm->ToBoneSpace(skeleton->InverseBindMatrices(), skeleton->BoneCount());
    }

    for (ModelFrame* f : frames)
        for (Z1SubMesh* sm : f->submeshes) sm->BuildQuadTree();

    // Animated lights play from the start, looping.
    for (const Z1Light& l : s.lights) {
        AnimTrack* t = nullptr;
        if (!l.animations.empty()) {
            t = MakeTrack(s, l.animations[0], l.position, nullptr);
            t->Play(0, 0, true);
        }
        lightTracks.push_back(t);
    }

    loaded = 1;
    return true;
}

int Z1Model::SubMeshCount() const {
    int n = 0;
    for (const ModelFrame* f : frames) n += static_cast<int>(f->submeshes.size());
    return n;
}

void Z1Model::UpdateAnimation() {
    if (!skeleton || !g_gfxdriver) return;
    if (lastFrame >= g_gfxdriver->frames) return;
    const MATRIX* pose = skeleton->Pose();
    bonePose.assign(pose, pose + skeleton->BoneCount());
    lastFrame = g_gfxdriver->frames;
}

bool Z1Model::Draw(CPlane* frustum, const VECTOR& position) { return DrawImpl(frustum, position, nullptr); }

bool Z1Model::Draw(CPlane* frustum, const VECTOR& position, const float* morphWeights) {
    return DrawImpl(frustum, position, morphWeights);
}

bool Z1Model::DrawImpl(CPlane* frustum, const VECTOR& position, const float* weights) {
    if (!loaded || !data) {
        LogLine("no such model '%s'", name.c_str());
        return false;
    }
    if (!g_gfxdriver) return true;
    UpdateAnimation();
    AlphaList* alpha = g_alpha_list;
    AlphaList* own = nullptr;
    if (!alpha) {
        own = new AlphaList();
        alpha = own;
    }
    MATRIX savedObject;
    if (frustum) savedObject = frustum->objectMatrix;
    for (ModelFrame* f : topFrames) DrawFrame(f, frustum, alpha, position, weights);
    if (frustum) frustum->SetObjectMatrix(savedObject);
    if (own) {
        MATRIX world;
        g_gfxdriver->GetWorldMatrix(&world);
        own->Render();
        g_gfxdriver->SetWorldMatrix(&world);
        delete own;
    }
    return true;
}

void Z1Model::DrawFrame(ModelFrame* f, CPlane* frustum, AlphaList* alpha, const VECTOR& position,
                        const float* weights) {
    GfxDriver* d = g_gfxdriver;
    MATRIX saved;
    if (f->track) {
        d->GetWorldMatrix(&saved);
        MATRIX node, world;
        f->track->EvaluateNode(node);
        MatrixMultiply(world, node, saved);
        d->SetWorldMatrix(&world);
    }
    if (frustum && f->hasBox) {
        MATRIX world;
        d->GetWorldMatrix(&world);
        frustum->SetObjectMatrix(world);
        f->visible = frustum->ClassifyBox(f->box) != BOX_OUTSIDE ? 1 : 0;
    } else {
        f->visible = 1;
    }
    if (f->visible) {
        for (Z1SubMesh* sm : f->submeshes) QueueSubMesh(sm, frustum, alpha, position, weights);
        for (ModelFrame* c : f->children) DrawFrame(c, frustum, alpha, position, weights);
    }
    if (f->track) d->SetWorldMatrix(&saved);
}

void Z1Model::QueueSubMesh(Z1SubMesh* sm, CPlane* frustum, AlphaList* alpha, const VECTOR& position,
                           const float* weights) {
    const MATRIX* pose = bonePose.empty() ? nullptr : bonePose.data();
    int poseCount = static_cast<int>(bonePose.size());
    if (!sm->transparent && !g_gfxdriver->privateFlags[0]) {
        sm->Draw(pose, poseCount, weights, frustum);
        return;
    }
    alpha->Queue(sm, position, pose, poseCount, weights);
}

bool Z1Model::FindSpawnPoint(const char* spawnName, VECTOR& out) const {
    const Z1SpawnPoint* p = data ? data->FindSpawnPoint(spawnName) : nullptr;
    if (!p) {
        LogLine("Error - could not find spawnpoint %s", spawnName ? spawnName : "");
        return false;
    }
    out = p->position;
    return true;
}

bool Z1Model::SwapTexture(const char* from, const char* to, bool lit) {
    if (!from || !to) return false;
    bool any = false;
    for (ModelFrame* f : frames)
        for (Z1SubMesh* sm : f->submeshes) {
            // Data made on Windows mixes letter case in its paths.
            if (!SameTextIgnoringCase(sm->textureName, from)) continue;
            sm->textureName = to;
            sm->binaryAlphaKnown = 0;
            sm->selfIllumination = lit ? 1.0f : sm->materialSelfIllumination;
            any = true;
        }
    // Registered once per model (and never again when the model loaded it,
    // perhaps with an alpha map): the day cycle swaps back and forth all game long.
    if (any && g_gfxdriver && std::find(registered.begin(), registered.end(), to) == registered.end()) {
        registered.push_back(to);
        g_gfxdriver->GenerateTexture(to, nullptr);
    }
    return any;
}

bool Z1Model::RayTest(RayQuery* query, const MATRIX& world) {
    if (!loaded || !query) return false;
    MATRIX inv;
    if (!MatrixInvertAffine(inv, world)) {
        LogLine("could not invert world matrix");
        return false;
    }
    TransformPoint(inv, query->start, query->modelStart);
    TransformPoint(inv, query->end, query->modelEnd);
    VECTOR dir = query->modelEnd - query->modelStart;
    VectorNormalize(dir);
    for (ModelFrame* f : frames)
        for (Z1SubMesh* sm : f->submeshes) {
            if (query->hitCount > 0 && query->stopAtFirstHit) return true;
            int before = query->hitCount;
            if (sm->quadtree) {
                sm->quadtree->RayTest(query, sm->twoSided != 0);
            } else if (sm->faceCount > 0 && RayIntersectsBox(sm->box, query->modelStart, dir)) {
                RayTriangles(query, sm->vertices, sm->indices, sm->faceCount, sm->twoSided != 0);
            }
            if (query->hitCount > before) query->hitSubMesh = sm;
        }
    return query->hitCount > 0;
}

void Z1Model::Collide(CollisionPacket* packet) {
    if (!loaded || !packet) return;
    for (ModelFrame* f : frames)
        for (Z1SubMesh* sm : f->submeshes) {
            if (sm->quadtree)
                sm->quadtree->Collide(packet);
            else if (sm->faceCount > 0 && PacketTouchesModelBox(packet, sm->box)) {
                // Skinned and morphed vertices move every frame; the others never do.
                const bool still = !sm->bones && sm->morphTargets.empty();
                if (still && !sm->collisionCache) sm->collisionCache = new CollisionCache();
                CollideTriangles(packet, sm->vertices, sm->indices, sm->faceCount,
                                 still ? sm->collisionCache : nullptr);
            }
        }
}

void Z1Model::Collide(CollisionPacket* packet, const MATRIX& world) {
    if (!packet) return;
    packet->SetWorldMatrix(world);
    Collide(packet);
}
