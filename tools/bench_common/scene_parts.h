// The parts every benchmark scene is made of: one textured standard
// material, and one object holding a single mesh.
#ifndef ZENDAR_TOOLS_BENCH_SCENE_PARTS_H
#define ZENDAR_TOOLS_BENCH_SCENE_PARTS_H

#include <string>

#include "models/z1model/z1file.h"

namespace bench {

// A white standard material textured with C:\bench\<texture>.bmp.
inline Z1Material TexturedMaterial(const std::string& texture) {
    Z1Material m;
    m.name = texture;
    m.className = "Standard";
    m.materialClass = Z1_CLASS_STANDARD;
    m.color1[0] = m.color1[1] = m.color1[2] = 1.0f;
    Z1Map& map = m.maps[Z1_SLOT_TEXTURE];
    map.present = true;
    map.name = texture;
    map.hasBitmap = true;
    map.bitmapRaw = "C:\\bench\\" + texture + ".bmp";
    m.textured = true;
    return m;
}

// Counts mesh, makes it the object's one mesh list and adds the object.
inline void AddSingleMeshObject(Z1Scene& s, Z1GeomObject o, Z1Mesh mesh) {
    mesh.vertexCount = static_cast<int32_t>(mesh.vertices.size());
    mesh.faceCount = static_cast<int32_t>(mesh.indices.size() / 3);
    Z1MeshList list;
    list.meshes.push_back(mesh);
    o.meshLists.push_back(list);
    o.meshListWrapped.push_back(false);
    s.objects.push_back(o);
}

}  // namespace bench

#endif
