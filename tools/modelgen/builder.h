// Builds a model file from boxes, quads and triangles: one Multi/Sub-Object
// material whose sub-materials are textures (bitmap paths as an exporter
// writes them, with a drive), one geometry object, one mesh per sub-material.
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

class ModelBuilder {
public:
    explicit ModelBuilder(const std::string& name);

    // A textured sub-material; texture is the path below the texture folder
    // ("village\wood.bmp"). Returns its index.
    int Texture(const std::string& texture, float selfIllumination = 0.0f);
    // An untextured sub-material of one colour.
    int Colour(float r, float g, float b);

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

    void SpawnPoint(const std::string& name, V3 at);

    // Writes path; false when it cannot.
    bool Write(const std::string& path) const;
    Z1Scene Build() const;

private:
    struct Piece {
        std::vector<VERTEX> vertices;
        std::vector<uint16_t> indices;
    };
    void Add(int material, const V3* p, const float* uv, int count, V3 facing);

    std::string name_;
    std::vector<Z1Material> materials_;
    std::vector<Piece> pieces_;
    std::vector<Z1SpawnPoint> spawns_;
};

#endif
