#include "builder.h"

#include <algorithm>
#include <cmath>

V3 operator+(const V3& a, const V3& b) { return V3{a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(const V3& a, const V3& b) { return V3{a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(const V3& a, float s) { return V3{a.x * s, a.y * s, a.z * s}; }

namespace {

V3 Cross(const V3& a, const V3& b) {
    return V3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(const V3& a) { return std::sqrt(Dot(a, a)); }

}  // namespace

ModelBuilder::ModelBuilder(const std::string& name) : name_(name) {}

int ModelBuilder::Texture(const std::string& texture, float selfIllumination) {
    Z1Material m;
    m.name = texture;
    m.class_name = "Standard";
    m.material_class = Z1_CLASS_STANDARD;
    for (int k = 0; k < 3; ++k) m.color1[k] = m.color2[k] = 1.0f;
    m.self_illumination = selfIllumination;
    Z1Map& map = m.maps[Z1_SLOT_TEXTURE];
    map.present = true;
    map.name = "diffuse";
    map.has_bitmap = true;
    map.bitmap_raw = "C:\\" + texture;
    map.bitmap = std::string(Z1TextureFolder()) + "\\" + texture;
    m.textured = true;
    m.white = true;
    materials_.push_back(m);
    pieces_.emplace_back();
    return static_cast<int>(materials_.size()) - 1;
}

int ModelBuilder::Colour(float r, float g, float b) {
    Z1Material m;
    m.name = "colour" + std::to_string(materials_.size());
    m.class_name = "Standard";
    m.material_class = Z1_CLASS_STANDARD;
    m.color1[0] = m.color2[0] = r;
    m.color1[1] = m.color2[1] = g;
    m.color1[2] = m.color2[2] = b;
    materials_.push_back(m);
    pieces_.emplace_back();
    return static_cast<int>(materials_.size()) - 1;
}

void ModelBuilder::Add(int material, const V3* p, const float* uv, int count, V3 facing) {
    Piece& piece = pieces_[static_cast<size_t>(material)];
    V3 n = Cross(p[1] - p[0], p[2] - p[0]);
    bool flip = Dot(n, facing) < 0;
    if (flip) n = n * -1.0f;
    float len = Length(n);
    if (len > 0) n = n * (1.0f / len);
    uint16_t base = static_cast<uint16_t>(piece.vertices.size());
    for (int i = 0; i < count; ++i) {
        VERTEX v;
        v.x = p[i].x;
        v.y = p[i].y;
        v.z = p[i].z;
        v.nx = n.x;
        v.ny = n.y;
        v.nz = n.z;
        v.tu = uv[i * 2];
        v.tv = uv[i * 2 + 1];
        piece.vertices.push_back(v);
    }
    // A fan from the first corner; reversed when the corners run the wrong
    // way round for the side the face should show.
    for (int i = 1; i + 1 < count; ++i) {
        uint16_t a = base, b = static_cast<uint16_t>(base + i), c = static_cast<uint16_t>(base + i + 1);
        if (flip) std::swap(b, c);
        piece.indices.push_back(a);
        piece.indices.push_back(b);
        piece.indices.push_back(c);
    }
}

void ModelBuilder::Quad(int material, V3 p0, V3 p1, V3 p2, V3 p3, V3 facing, float u, float v) {
    const V3 p[4] = {p0, p1, p2, p3};
    const float uv[8] = {0, 0, u, 0, u, v, 0, v};
    Add(material, p, uv, 4, facing);
}

void ModelBuilder::TiledQuad(int material, V3 p0, V3 p1, V3 p2, V3 p3, V3 facing, float tile) {
    Quad(material, p0, p1, p2, p3, facing, Length(p1 - p0) / tile, Length(p3 - p0) / tile);
}

void ModelBuilder::Triangle(int material, V3 p0, V3 p1, V3 p2, V3 facing, float t0u, float t0v, float t1u,
                            float t1v, float t2u, float t2v) {
    const V3 p[3] = {p0, p1, p2};
    const float uv[6] = {t0u, t0v, t1u, t1v, t2u, t2v};
    Add(material, p, uv, 3, facing);
}

void ModelBuilder::Box(int material, V3 a, V3 b, float tile, bool bottom) {
    // Sides: corners listed top-left, top-right, bottom-right, bottom-left
    // as seen from outside, so textures stand upright.
    TiledQuad(material, {a.x, b.y, a.z}, {b.x, b.y, a.z}, {b.x, a.y, a.z}, {a.x, a.y, a.z}, {0, 0, -1}, tile);
    TiledQuad(material, {b.x, b.y, b.z}, {a.x, b.y, b.z}, {a.x, a.y, b.z}, {b.x, a.y, b.z}, {0, 0, 1}, tile);
    TiledQuad(material, {a.x, b.y, b.z}, {a.x, b.y, a.z}, {a.x, a.y, a.z}, {a.x, a.y, b.z}, {-1, 0, 0}, tile);
    TiledQuad(material, {b.x, b.y, a.z}, {b.x, b.y, b.z}, {b.x, a.y, b.z}, {b.x, a.y, a.z}, {1, 0, 0}, tile);
    TiledQuad(material, {a.x, b.y, b.z}, {b.x, b.y, b.z}, {b.x, b.y, a.z}, {a.x, b.y, a.z}, {0, 1, 0}, tile);
    if (bottom)
        TiledQuad(material, {a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, a.y, b.z}, {a.x, a.y, b.z}, {0, -1, 0},
                  tile);
}

void ModelBuilder::Pyramid(int material, V3 a, V3 b, float top, float tile) {
    const float y = a.y;
    V3 apex{(a.x + b.x) * 0.5f, top, (a.z + b.z) * 0.5f};
    V3 c[4] = {{a.x, y, a.z}, {b.x, y, a.z}, {b.x, y, b.z}, {a.x, y, b.z}};
    for (int i = 0; i < 4; ++i) {
        V3 p = c[i], q = c[(i + 1) % 4];
        V3 mid = (p + q) * 0.5f;
        V3 out = mid - V3{apex.x, y, apex.z};
        out.y = 0.5f;
        float w = Length(q - p) / tile, hgt = Length(apex - mid) / tile;
        Triangle(material, p, q, apex, out, 0, hgt, w, hgt, w * 0.5f, 0);
    }
}

void ModelBuilder::SpawnPoint(const std::string& name, V3 at) {
    Z1SpawnPoint s;
    s.name = name;
    s.position = VECTOR{at.x, at.y, at.z};
    spawns_.push_back(s);
}

Z1Scene ModelBuilder::Build() const {
    Z1Scene z;
    z.format = 1;
    z.has_scene = true;
    z.scene.file_name = name_;
    z.scene.frame_speed = 25;
    z.scene.ticks_per_frame = 160;
    z.has_materials = true;
    Z1Material multi;
    multi.name = name_ + " materials";
    multi.class_name = "Multi/Sub-Object";
    multi.material_class = Z1_CLASS_MULTI;
    multi.submaterials = materials_;
    z.materials.push_back(multi);

    Z1GeomObject o;
    o.tag = Z1_GEOMOBJECT;
    o.name = name_;
    o.has_transform = true;
    o.transform.name = name_;
    o.material = 0;
    Z1MeshList list;
    bool any = false;
    VECTOR lo{0, 0, 0}, hi{0, 0, 0};
    for (size_t m = 0; m < pieces_.size(); ++m) {
        const Piece& piece = pieces_[m];
        if (piece.indices.empty()) continue;
        Z1Mesh mesh;
        mesh.submaterial = static_cast<int16_t>(m);
        mesh.vertices = piece.vertices;
        mesh.indices = piece.indices;
        mesh.vertex_count = static_cast<int32_t>(piece.vertices.size());
        mesh.face_count = static_cast<int32_t>(piece.indices.size() / 3);
        for (const VERTEX& v : piece.vertices) {
            if (!any) {
                lo = hi = VECTOR{v.x, v.y, v.z};
                any = true;
            }
            lo = VECTOR{std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
            hi = VECTOR{std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
        }
        list.meshes.push_back(mesh);
    }
    o.mesh_lists.push_back(list);
    o.mesh_list_wrapped.push_back(false);
    o.has_box_min = o.has_box_max = true;
    o.box_min = lo;
    o.box_max = hi;
    // The pivot is the middle of the model: transparent pieces are sorted by it.
    o.transform.pivot = VECTOR{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
    z.objects.push_back(o);
    z.spawn_points = spawns_;
    return z;
}

bool ModelBuilder::Write(const std::string& path) const { return Z1WriteFile(path.c_str(), Build()); }
