// A list of world-space triangles built by hand for collision tests.
// Header-only: the vertex and vector types belong to modules the common test
// library does not link.
#ifndef ZENDAR_TESTS_COMMON_TRIANGLE_MESH_H
#define ZENDAR_TESTS_COMMON_TRIANGLE_MESH_H

#include <cstdint>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"

namespace test_common {

struct TriangleMesh {
    std::vector<VERTEX> vertices;
    std::vector<uint16_t> indices;

    void Triangle(const VECTOR& a, const VECTOR& b, const VECTOR& c) {
        for (const VECTOR* p : {&a, &b, &c}) {
            VERTEX v{};
            v.x = p->x;
            v.y = p->y;
            v.z = p->z;
            indices.push_back(static_cast<uint16_t>(vertices.size()));
            vertices.push_back(v);
        }
    }
    // The parallelogram o, o+u, o+v, o+u+v facing u x v.
    void Quad(const VECTOR& o, const VECTOR& u, const VECTOR& v) {
        Triangle(o, o + u, o + v);
        Triangle(o + v, o + u, o + u + v);
    }
    int Count() const { return static_cast<int>(indices.size() / 3); }
};

}  // namespace test_common

#endif
