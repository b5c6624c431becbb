// A loaded model: a tree of frames (one per geometry object of the file),
// each holding one Z1SubMesh per material, plus node animation, the skeleton
// with its pose, morph targets and spawn points. Models are loaded once by
// name and shared by every instance in the world; the world asks them to draw
// themselves each frame. Opaque pieces draw at once, transparent ones are
// queued in the alpha list and drawn last, farthest first.
#ifndef ZENDAR_MODELS_Z1MODEL_Z1MODEL_H
#define ZENDAR_MODELS_Z1MODEL_Z1MODEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"
#include "models/z1model/z1file.h"

class AnimTrack;
class Biped;
class CPlane;
class QuadTree;
struct CollisionCache;
struct CollisionPacket;
struct RayQuery;

// Weights an NPC hands to its model's morph targets.
constexpr int kMorphWeights = 10;

struct Z1MorphRuntime {
    float weight = 0.0f;
    std::vector<Z1MorphEntry> entries;
};

class Z1SubMesh {
public:
    // Takes the mesh's vertex and index arrays over (the scene keeps no
    // copy: only the model draws them). material may be null.
    Z1SubMesh(Z1Mesh& mesh, const Z1Material* material, const VECTOR& pivot);
    ~Z1SubMesh();

    // Draws now with the current driver state. pose: one matrix per bone or
    // null; weights: kMorphWeights floats or null (the targets' own weights).
    // frustum: lets a large static piece draw through its quadtree.
    void Draw(const MATRIX* pose, int poseCount, const float* weights, CPlane* frustum = nullptr);

    // Brings skinned vertices into bone space (inverse bind matrices).
    void ToBoneSpace(const MATRIX* inverseBind, int boneCount);
    // Builds the triangle tree when the piece is large and static.
    void BuildQuadTree();

    bool IsSkinned() const { return bones != nullptr; }

    std::string textureName;  // empty: none
    std::string alphaName;    // the opacity map, the texture's alpha map
    std::string envmapName;
    float colors[3][4];  // diffuse (tag 89), ambient (tag 88), specular (zero)
    int faceCount = 0;
    int vertexCount = 0;
    VERTEX* vertices = nullptr;   // the drawing copy
    VERTEX* source = nullptr;     // as loaded (bone space for skinned vertices)
    uint16_t* indices = nullptr;  // never null, as vertices
    int16_t* bones = nullptr;     // per vertex, -1 = unskinned; null when not skinned
    float selfIllumination = 0.0f;
    float materialSelfIllumination = 0.0f;
    uint8_t transparent = 0;
    uint8_t envMapped = 0;
    uint8_t scrolling = 0;
    uint8_t twoSided = 0;
    uint8_t wrapU = 1;
    uint8_t wrapV = 1;
    uint8_t binaryAlphaKnown = 0;
    uint8_t binaryAlpha = 0;
    int32_t scrollU = 0;  // ms per full repeat
    int32_t scrollV = 0;
    float du = 0.0f;
    float dv = 0.0f;
    uint32_t lastDraw = 0;
    bool drawnBefore = false;  // the clock may read 0 itself
    std::vector<Z1MorphRuntime> morphTargets;
    VECTOR pivot = {0, 0, 0};
    float box[6] = {0, 0, 0, 0, 0, 0};
    QuadTree* quadtree = nullptr;
    // A static piece's triangles as the collision test last needed them.
    CollisionCache* collisionCache = nullptr;

private:
    Z1SubMesh(const Z1SubMesh&) = delete;
    Z1SubMesh& operator=(const Z1SubMesh&) = delete;
    void Skin(const MATRIX* pose, int poseCount);
    void Morph(const float* weights);
    VERTEX* skinned = nullptr;          // skinned positions, kept when morphs go on top
    std::vector<VERTEX> vertexArray_;   // vertices
    std::vector<uint16_t> indexArray_;  // indices
    int32_t skinnedFrame_ = -1;
    const MATRIX* skinnedPose_ = nullptr;
};

class ModelFrame {
public:
    ModelFrame();
    ~ModelFrame();

    std::string name;
    std::string parentName;
    std::vector<Z1SubMesh*> submeshes;
    std::vector<ModelFrame*> children;  // not owned: the model owns every frame
    AnimTrack* track = nullptr;
    float box[6] = {0, 0, 0, 0, 0, 0};
    bool hasBox = false;
    VECTOR centre = {0, 0, 0};
    float radius = 0.0f;
    uint8_t visible = 1;
    VECTOR pivot = {0, 0, 0};

private:
    ModelFrame(const ModelFrame&) = delete;
    ModelFrame& operator=(const ModelFrame&) = delete;
};

// The transparent pieces of a frame, drawn after the opaque scene. A fixed
// array (tuning value C): queueing never allocates.
struct AlphaItem {
    MATRIX world;        // world matrix when queued
    VECTOR position;     // caller's position plus the world translation
    VECTOR centre;       // the piece's pivot in world space
    VECTOR camera;       // centre in camera space, filled by the sort
    const MATRIX* pose;  // first draw argument
    int poseCount;
    uint8_t worldFlag;     // the driver's indoor flag when queued
    const float* weights;  // second draw argument
    Z1SubMesh* submesh;
};

class AlphaList {
public:
    // capacity <= 0 takes tuning value C of the settings.
    explicit AlphaList(int capacity = 0);
    ~AlphaList();

    void Reset() { count = 0; }
    // False (and the message) when full.
    bool Queue(Z1SubMesh* submesh, const VECTOR& position, const MATRIX* pose, int poseCount,
               const float* weights);
    // Sorts farthest first and draws every item; the list is kept.
    void Render();
    // Sorts by camera-space z, farthest first, with the driver's view matrix.
    void Sort();

    // Colours put back after an indoor-lit item (the sky's, set by the world).
    PackedColor restoreAmbient = 0;
    PackedColor restoreFog = 0;

    AlphaItem* items = nullptr;
    int count = 0;
    int capacity = 0;

private:
    AlphaList(const AlphaList&) = delete;
    AlphaList& operator=(const AlphaList&) = delete;
};

// The alpha list of the frame being drawn (the world's). Without one, a model
// draws its transparent pieces through a private list at the end of its Draw.
extern AlphaList* g_alpha_list;

// The indoor colour of ambient and fog.
constexpr PackedColor kIndoorColor = 0xFF181638;

class Z1Model {
public:
    Z1Model();
    ~Z1Model();

    // "z1\" + name.
    bool Load(const char* name);
    // Tools: the exact path (the animation file is looked up beside the
    // model's own name under "anims\").
    bool LoadPath(const char* path);
    // From a scene read elsewhere (the model takes it; its meshes' vertex
    // and index arrays move into the model's pieces, Data() keeps the rest).
    bool LoadScene(Z1Scene* scene, const char* name);

    // Draws every top frame under the current world matrix.
    bool Draw(CPlane* frustum, const VECTOR& position);
    bool Draw(CPlane* frustum, const VECTOR& position, const float* morphWeights);

    bool FindSpawnPoint(const char* name, VECTOR& out) const;
    // Switches every piece textured with from to to; lit draws them unlit
    // (the night windows glow), otherwise their material's lighting returns.
    bool SwapTexture(const char* from, const char* to, bool lit);

    // The ray in world space against the triangles, through world (scale x
    // transform). True when the query has a hit afterwards.
    bool RayTest(RayQuery* query, const MATRIX& world);
    // Every piece's triangles against the packet (its world matrix is set).
    void Collide(CollisionPacket* packet);
    // The same under world (scale x transform); nothing without a packet.
    void Collide(CollisionPacket* packet, const MATRIX& world);

    // Poses the skeleton once per driver frame.
    void UpdateAnimation();

    bool IsLoaded() const { return loaded != 0; }
    const Z1Scene* Data() const { return data; }
    int SubMeshCount() const;

    Z1Scene* data = nullptr;
    uint8_t loaded = 0;
    float box[6] = {0, 0, 0, 0, 0, 0};
    int32_t lastFrame = -1;
    std::string name;
    Biped* skeleton = nullptr;
    std::vector<MATRIX> bonePose;
    std::vector<ModelFrame*> frames;  // every frame, file order (owned)
    std::vector<ModelFrame*> topFrames;
    std::vector<AnimTrack*> lightTracks;  // per light, null when not animated (owned)
    std::vector<std::string> registered;  // textures this model has handed the driver

private:
    Z1Model(const Z1Model&) = delete;
    Z1Model& operator=(const Z1Model&) = delete;
    bool Build(const char* animName);
    void Clear();
    void DrawFrame(ModelFrame* frame, CPlane* frustum, AlphaList* alpha, const VECTOR& position,
                   const float* weights);
    void QueueSubMesh(Z1SubMesh* sm, CPlane* frustum, AlphaList* alpha, const VECTOR& position,
                      const float* weights);
    bool DrawImpl(CPlane* frustum, const VECTOR& position, const float* weights);
};

#endif
