// Builds a model file from boxes, quads, triangles and lofted rings: one
// Multi/Sub-Object material whose sub-materials are textures (bitmap paths
// as an exporter writes them, with a drive) or plain colours, geometry
// objects with one mesh per sub-material, and optionally a skeleton (bones,
// a bone per vertex), morph targets and node animation.
// Faces are wound clockwise seen from the front, as the engine culls and
// collides, whatever order the caller lists the corners in: every face is
// given the direction it should face.
#ifndef ZENDAR_TOOLS_MODELGEN_BUILDER_H
#define ZENDAR_TOOLS_MODELGEN_BUILDER_H

#include <string>
#include <vector>

#include "models/z1model/z1file.h"

struct V3 {
    float x, y, z;
};

V3 operator+(const V3& a, const V3& b);
V3 operator-(const V3& a, const V3& b);
V3 operator*(const V3& a, float s);
V3 Cross(const V3& a, const V3& b);
float Dot(const V3& a, const V3& b);
float Length(const V3& a);

// One ring of a loft: a cross-section at height y, the profile scaled by
// (rx, rz) round the centre (cx, cz), its vertices bound to bone.
struct Ring {
    float y, rx, rz;
    int bone;
    float cx = 0, cz = 0;
};

class ModelBuilder {
public:
    explicit ModelBuilder(const std::string& name);

    // A textured sub-material; texture is the path below the texture folder
    // ("village\wood.bmp"). Returns its index.
    int Texture(const std::string& texture, float selfIllumination = 0.0f);
    // An untextured sub-material of one colour.
    int Colour(float r, float g, float b);

    // Geometry objects: the builder starts with one named like the model.
    // Another object takes what is added after it; pivot is its centre in
    // engine axes (transparent pieces are sorted by it).
    int Object(const std::string& name);

    // A quad p0 p1 p2 p3 (in order round its edge) facing `facing`; texture
    // coordinates (0,0) (u,0) (u,v) (0,v) go to p0 p1 p2 p3.
    void Quad(int material, V3 p0, V3 p1, V3 p2, V3 p3, V3 facing, float u = 1, float v = 1);
    // A quad whose texture repeats every `tile` units along both edges.
    void TiledQuad(int material, V3 p0, V3 p1, V3 p2, V3 p3, V3 facing, float tile);
    void Triangle(int material, V3 p0, V3 p1, V3 p2, V3 facing, float t0u, float t0v, float t1u, float t1v,
                  float t2u, float t2v);
    // An axis-aligned box with all six faces outwards (bottom optional).
    void Box(int material, V3 min, V3 max, float tile, bool bottom = true);
    // A four-sided pyramid on the rectangle min..max at height base, apex at top.
    void Pyramid(int material, V3 min, V3 max, float top, float tile);
    // A closed body swept through rings of rising y: profile is the unit
    // cross-section (x, z pairs round the outline, either direction); the
    // sides get smooth normals, the ends flat caps when asked. Texture u
    // runs round the outline (uRepeat times), v down the length per tile.
    void Loft(int material, const std::vector<float>& profile, const std::vector<Ring>& rings, float uRepeat,
              float tile, bool capBottom, bool capTop);

    // Single vertices and triangles, for shapes the helpers above do not
    // make (a face's features that morph). Returns the vertex's index in
    // its piece; the current bone binds it.
    int Vertex(int material, V3 p, V3 normal, float u, float v);
    void Face(int material, int a, int b, int c, V3 facing);
    // Adds offset to the vertex (an index from Vertex) in morph target
    // `target` of the material's piece.
    void Morph(int material, int target, int vertex, V3 offset);

    // Bones: joint is the bone's rest position in the model; parents come
    // first. The model is bound in its rest pose with no rotations.
    int Bone(const std::string& name, int parent, V3 joint);
    // Vertices made from now on follow this bone (-1: none).
    void UseBone(int bone) { bone_ = bone; }
    V3 Joint(int bone) const { return joints_[static_cast<size_t>(bone)]; }
    int BoneCount() const { return static_cast<int>(bones_.size()); }
    const std::vector<Z1Bone>& Bones() const { return bones_; }

    // A node track for the current object: it turns about axis (engine
    // axes) through hinge, by the angle curve sampled at the given ticks
    // (the scene runs 25 frames a second, 160 ticks a frame). The model's
    // extra settings ask the engine to play its tracks, looping.
    void Swing(V3 hinge, V3 axis, const std::vector<int>& ticks, const std::vector<float>& angles);

    void SpawnPoint(const std::string& name, V3 at);

    // Writes path (and the extra settings file beside it when needed);
    // false when it cannot.
    bool Write(const std::string& path) const;
    Z1Scene Build() const;

private:
    struct Piece {
        std::vector<VERTEX> vertices;
        std::vector<int16_t> bones;
        std::vector<uint16_t> indices;
        std::vector<Z1MorphTarget> morphs;
    };
    struct Node {
        std::string name;
        std::vector<Piece> pieces;  // one per material
        bool animated = false;
        V3 hinge{0, 0, 0};
        Z1Animation animation;
    };
    void Add(int material, const V3* p, const float* uv, int count, V3 facing);
    Piece& PieceOf(int material);

    std::string name_;
    std::vector<Z1Material> materials_;
    std::vector<Node> nodes_;
    int node_ = 0;
    std::vector<Z1SpawnPoint> spawns_;
    std::vector<Z1Bone> bones_;
    std::vector<V3> joints_;
    int bone_ = -1;
    int lastTick_ = 0;
};

#endif
