// The bumpy terrain the model and collision benchmarks share: a grid of
// quads over x-z with rolling hills, two triangles a quad, one mesh (the grid
// stays under 65536 vertices, as 16-bit indices need), one textured material.
// Triangles are listed so that their normal (B - A) x (C - A) points up.
#ifndef ZENDAR_TOOLS_BENCH_TERRAIN_H
#define ZENDAR_TOOLS_BENCH_TERRAIN_H

#include <cmath>

#include "models/z1model/z1file.h"
#include "scene_parts.h"

namespace bench {

struct TerrainGrid {
    int columns = 250;  // quads along x
    int rows = 200;     // quads along z: 250 x 200 x 2 = 100,000 triangles
    float spacing = 20.0f;

    int Triangles() const { return columns * rows * 2; }
    int Vertices() const { return (columns + 1) * (rows + 1); }
    float Width() const { return columns * spacing; }
    float Depth() const { return rows * spacing; }

    static float Height(float x, float z) {
        return 40.0f * std::sin(x / 170.0f) * std::cos(z / 130.0f) + 15.0f * std::sin(x / 53.0f + z / 71.0f);
    }
    VECTOR Point(int column, int row) const {
        float x = column * spacing, z = row * spacing;
        return VECTOR{x, Height(x, z), z};
    }
    // Corner indices of every triangle, three each.
    template <class Emit>
    void ForEachTriangle(Emit emit) const {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                int a = r * (columns + 1) + c;  // (c, r)
                int b = a + (columns + 1);      // (c, r + 1)
                int d = a + 1;                  // (c + 1, r)
                int e = b + 1;                  // (c + 1, r + 1)
                emit(a, b, d);
                emit(d, b, e);
            }
    }
};

inline Z1Scene TerrainScene(const TerrainGrid& g) {
    Z1Scene s;
    s.hasMaterials = true;
    s.materials.push_back(TexturedMaterial("grass"));

    Z1GeomObject o;
    o.name = "terrain";
    o.material = 0;
    Z1Mesh mesh;
    for (int r = 0; r <= g.rows; ++r)
        for (int c = 0; c <= g.columns; ++c) {
            VECTOR p = g.Point(c, r);
            // Normal from the slope of the height field.
            float e = 1.0f;
            VECTOR n{TerrainGrid::Height(p.x - e, p.z) - TerrainGrid::Height(p.x + e, p.z), 2.0f * e,
                     TerrainGrid::Height(p.x, p.z - e) - TerrainGrid::Height(p.x, p.z + e)};
            VectorNormalize(n);
            VERTEX v{p.x, p.y, p.z, n.x, n.y, n.z, c * 0.25f, r * 0.25f};
            mesh.vertices.push_back(v);
        }
    g.ForEachTriangle([&mesh](int a, int b, int c) {
        mesh.indices.push_back(static_cast<uint16_t>(a));
        mesh.indices.push_back(static_cast<uint16_t>(b));
        mesh.indices.push_back(static_cast<uint16_t>(c));
    });
    AddSingleMeshObject(s, o, mesh);
    return s;
}

}  // namespace bench

#endif
