#include "fuzz_scenes.h"

#include <cstdint>

namespace fuzz {
namespace {

Z1Material Textured(const std::string& name) {
    Z1Material m;
    m.name = name;
    m.className = "Standard";
    m.materialClass = Z1_CLASS_STANDARD;
    m.color1[0] = m.color1[1] = m.color1[2] = 1.0f;
    Z1Map& map = m.maps[Z1_SLOT_TEXTURE];
    map.present = true;
    map.name = name;
    map.hasBitmap = true;
    map.bitmapRaw = "C:\\fuzz\\" + name + ".bmp";
    m.textured = true;
    return m;
}

// A strip of n quads along x, one unit high, every vertex facing -z.
Z1Mesh Strip(int n, float length, int16_t submaterial) {
    Z1Mesh mesh;
    mesh.submaterial = submaterial;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j < 2; ++j) {
            float x = length * static_cast<float>(i) / static_cast<float>(n);
            mesh.vertices.push_back(VERTEX{x, static_cast<float>(j) * 10.0f, 0.0f, 0.0f, 0.0f, -1.0f,
                                           static_cast<float>(i), static_cast<float>(j)});
        }
    for (int i = 0; i < n; ++i) {
        const uint16_t a = static_cast<uint16_t>(2 * i), b = static_cast<uint16_t>(a + 1),
                       c = static_cast<uint16_t>(a + 2), d = static_cast<uint16_t>(a + 3);
        for (uint16_t v : {a, b, c, c, b, d}) mesh.indices.push_back(v);
    }
    mesh.vertexCount = static_cast<int32_t>(mesh.vertices.size());
    mesh.faceCount = static_cast<int32_t>(mesh.indices.size() / 3);
    return mesh;
}

Z1GeomObject Object(const std::string& name, int16_t material, const std::vector<Z1Mesh>& meshes) {
    Z1GeomObject o;
    o.name = name;
    o.material = material;
    Z1MeshList list;
    list.meshes = meshes;
    o.meshLists.push_back(list);
    o.meshListWrapped.push_back(false);
    return o;
}

}  // namespace

Z1Scene SkinnedFigure() {
    Z1Scene s;
    s.hasMaterials = true;
    s.materials.push_back(Textured("skin"));
    Z1Mesh mesh = Strip(kFigureBones * 2, 40.0f * kFigureBones, 0);
    for (size_t v = 0; v < mesh.vertices.size(); ++v)
        mesh.bones.push_back(v + 1 == mesh.vertices.size() ? -1 : static_cast<int16_t>(v / 4 % kFigureBones));
    Z1MorphTarget smile;
    for (int16_t v = 0; v < 4; ++v) smile.entries.push_back(Z1MorphEntry{v, VECTOR(0.0f, 2.0f, 1.0f)});
    mesh.morphTargets.push_back(smile);
    s.objects.push_back(Object("body", 0, {mesh}));
    s.hasBones = true;
    for (int b = 0; b < kFigureBones; ++b) {
        Z1Bone bone;
        bone.name = "bone" + std::to_string(b);
        bone.parent = static_cast<int16_t>(b - 1);
        bone.first = b ? VECTOR(40.0f, 0.0f, 0.0f) : VECTOR(0.0f, 0.0f, 0.0f);
        bone.length = b ? 40.0f : 0.0f;
        s.bones.push_back(bone);
    }
    return s;
}

Z1Scene MaterialShowcase() {
    Z1Scene s;
    s.hasMaterials = true;
    s.materials.push_back(Textured("wood"));
    Z1Material glass = Textured("glass");
    glass.twoSided = true;
    glass.maps[Z1_SLOT_OPACITY] = glass.maps[Z1_SLOT_TEXTURE];
    glass.maps[Z1_SLOT_OPACITY].bitmapRaw = "C:\\fuzz\\glass_alpha.bmp";
    s.materials.push_back(glass);
    Z1Material multi;
    multi.name = "house";
    multi.className = "Multi/Sub-Object";
    multi.materialClass = Z1_CLASS_MULTI;
    for (const char* sub : {"roof", "wall", "window"}) multi.submaterials.push_back(Textured(sub));
    s.materials.push_back(multi);
    s.objects.push_back(Object("plank", 0, {Strip(2, 50.0f, 0)}));
    s.objects.push_back(Object("pane", 1, {Strip(1, 20.0f, 0)}));
    s.objects.push_back(Object("house", 2, {Strip(2, 60.0f, 0), Strip(2, 60.0f, 1), Strip(1, 30.0f, 2)}));
    return s;
}

std::vector<std::string> ShowcaseMaterialNames() {
    std::vector<std::string> names;
    for (const Z1Material& m : MaterialShowcase().materials) {
        names.push_back(m.name);
        for (const Z1Material& sub : m.submaterials) names.push_back(sub.name);
    }
    return names;
}

}  // namespace fuzz
