// Model files for the world tests, written with the engine's model writer:
// a cube (twelve triangles) and a post carrying light and camera spawn points.
#ifndef ZENDAR_TESTS_WORLD_WORLD_MODELS_H
#define ZENDAR_TESTS_WORLD_WORLD_MODELS_H

#include <string>

#include "models/z1model/z1file.h"

namespace world_test {

// An axis-aligned cube of half-size h centred at the origin.
inline Z1Scene CubeScene(float h) {
    Z1Scene s;
    Z1GeomObject o;
    o.name = "cube";
    o.hasBoxMin = o.hasBoxMax = true;
    o.boxMin = VECTOR(-h, -h, -h);
    o.boxMax = VECTOR(h, h, h);
    Z1Mesh m;
    for (int i = 0; i < 8; ++i) {
        VERTEX v{};
        v.x = (i & 1) ? h : -h;
        v.y = (i & 2) ? h : -h;
        v.z = (i & 4) ? h : -h;
        m.vertices.push_back(v);
    }
    const uint16_t faces[36] = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
    m.indices.assign(faces, faces + 36);
    m.vertexCount = 8;
    m.faceCount = 12;
    Z1MeshList list;
    list.meshes.push_back(m);
    o.meshLists.push_back(list);
    o.meshListWrapped.push_back(false);
    s.objects.push_back(o);
    return s;
}

// A lamp post: the cube plus two point lights and one camera.
inline Z1Scene PostScene() {
    Z1Scene s = CubeScene(10.0f);
    const char* names[2] = {"lamp_a", "lamp_b"};
    for (int i = 0; i < 2; ++i) {
        Z1Light l;
        l.name = names[i];
        l.hasType = true;
        l.typeByte = Z1_LIGHT_OMNI;
        Z1NodeTransform t;
        t.name = names[i];
        t.pivot = VECTOR(i * 20.0f, 100.0f, 0.0f);
        l.transforms.push_back(t);
        l.hasSettings = l.hasColor = l.hasRange = true;
        l.colorRaw[0] = 1.0f;
        l.colorRaw[1] = 0.5f;
        l.colorRaw[2] = 0.25f * i;
        l.rangeRaw = 250.0f;
        s.lights.push_back(l);
    }
    Z1Camera c;
    c.name = "view";
    Z1NodeTransform t;
    t.name = "view";
    t.pivot = VECTOR(0.0f, 50.0f, -30.0f);
    c.transforms.push_back(t);
    c.hasSettings = true;
    c.fov = 1.0f;
    s.cameras.push_back(c);
    return s;
}

}  // namespace world_test

#endif
