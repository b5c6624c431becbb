// Small prop models for the area benchmarks: boxes whose faces are split
// into k x k quads (12 k^2 triangles), faces pointing out, one textured
// material each.
#ifndef ZENDAR_TOOLS_BENCH_PROPS_H
#define ZENDAR_TOOLS_BENCH_PROPS_H

#include <string>

#include "models/z1model/z1file.h"
#include "scene_parts.h"

namespace bench {

inline Z1Scene PropScene(const std::string& texture, float hx, float hy, float hz, int k) {
    Z1Scene s;
    s.hasMaterials = true;
    s.materials.push_back(TexturedMaterial(texture));

    Z1GeomObject o;
    o.name = "prop";
    o.material = 0;
    Z1Mesh mesh;
    // Outward normal n, and axes u, v with v x u = n, so that the triangle
    // (P(i,j), P(i,j+1), P(i+1,j)) faces out.
    const VECTOR faces[6][3] = {
        {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, -1, 0}, {0, 0, 1}, {1, 0, 0}},
        {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}}, {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}},
    };
    const VECTOR half{hx, hy, hz};
    auto scale = [&half](const VECTOR& a) { return VECTOR{a.x * half.x, a.y * half.y, a.z * half.z}; };
    for (const auto& f : faces) {
        const int base = static_cast<int>(mesh.vertices.size());
        for (int j = 0; j <= k; ++j)
            for (int i = 0; i <= k; ++i) {
                float si = 2.0f * i / k - 1.0f, tj = 2.0f * j / k - 1.0f;
                VECTOR p = scale(f[0] + f[1] * si + f[2] * tj);
                VERTEX v{p.x,
                         p.y,
                         p.z,
                         f[0].x,
                         f[0].y,
                         f[0].z,
                         static_cast<float>(i) / k,
                         static_cast<float>(j) / k};
                mesh.vertices.push_back(v);
            }
        for (int j = 0; j < k; ++j)
            for (int i = 0; i < k; ++i) {
                int a = base + j * (k + 1) + i;  // P(i, j)
                int b = a + (k + 1);             // P(i, j + 1)
                int d = a + 1;                   // P(i + 1, j)
                int e = b + 1;
                const int tris[6] = {a, b, d, d, b, e};
                for (int t : tris) mesh.indices.push_back(static_cast<uint16_t>(t));
            }
    }
    AddSingleMeshObject(s, o, mesh);
    return s;
}

}  // namespace bench

#endif
