#include "builder.h"

#include <algorithm>
#include <cmath>

V3 operator+(const V3& a, const V3& b) { return V3{a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(const V3& a, const V3& b) { return V3{a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(const V3& a, float s) { return V3{a.x * s, a.y * s, a.z * s}; }
V3 Cross(const V3& a, const V3& b) {
    return V3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(const V3& a) { return std::sqrt(Dot(a, a)); }

namespace {

V3 Unit(V3 v) {
    float len = Length(v);
    return len > 0 ? v * (1.0f / len) : v;
}

// The exporter's axes exchange y and z.
VECTOR FileAxes(V3 v) { return VECTOR{v.x, v.z, v.y}; }

}  // namespace

ModelBuilder::ModelBuilder(const std::string& name) : name_(name) {
    nodes_.emplace_back();
    nodes_.back().name = name;
}

int ModelBuilder::Texture(const std::string& texture, float selfIllumination) {
    Z1Material m;
    m.name = texture;
    m.className = "Standard";
    m.materialClass = Z1_CLASS_STANDARD;
    for (int k = 0; k < 3; ++k) m.color1[k] = m.color2[k] = 1.0f;
    m.selfIllumination = selfIllumination;
    Z1Map& map = m.maps[Z1_SLOT_TEXTURE];
    map.present = true;
    map.name = "diffuse";
    map.hasBitmap = true;
    map.bitmapRaw = "C:\\" + texture;
    map.bitmap = std::string(Z1TextureFolder()) + "\\" + texture;
    m.textured = true;
    m.white = true;
    materials_.push_back(m);
    return static_cast<int>(materials_.size()) - 1;
}

int ModelBuilder::Colour(float r, float g, float b) {
    Z1Material m;
    m.name = "colour" + std::to_string(materials_.size());
    m.className = "Standard";
    m.materialClass = Z1_CLASS_STANDARD;
    m.color1[0] = m.color2[0] = r;
    m.color1[1] = m.color2[1] = g;
    m.color1[2] = m.color2[2] = b;
    materials_.push_back(m);
    return static_cast<int>(materials_.size()) - 1;
}

int ModelBuilder::Object(const std::string& name) {
    nodes_.emplace_back();
    nodes_.back().name = name;
    node_ = static_cast<int>(nodes_.size()) - 1;
    return node_;
}

ModelBuilder::Piece& ModelBuilder::PieceOf(int material) {
    std::vector<Piece>& pieces = nodes_[static_cast<size_t>(node_)].pieces;
    if (pieces.size() < materials_.size()) pieces.resize(materials_.size());
    return pieces[static_cast<size_t>(material)];
}

int ModelBuilder::Vertex(int material, V3 p, V3 n, float u, float v) {
    Piece& piece = PieceOf(material);
    VERTEX vx;
    vx.x = p.x;
    vx.y = p.y;
    vx.z = p.z;
    n = Unit(n);
    vx.nx = n.x;
    vx.ny = n.y;
    vx.nz = n.z;
    vx.tu = u;
    vx.tv = v;
    piece.vertices.push_back(vx);
    piece.bones.push_back(static_cast<int16_t>(bone_));
    return static_cast<int>(piece.vertices.size()) - 1;
}

void ModelBuilder::Face(int material, int a, int b, int c, V3 facing) {
    Piece& piece = PieceOf(material);
    auto at = [&piece](int i) {
        const VERTEX& v = piece.vertices[static_cast<size_t>(i)];
        return V3{v.x, v.y, v.z};
    };
    // Reversed when the corners run the wrong way round for the side the
    // face should show.
    if (Dot(Cross(at(b) - at(a), at(c) - at(a)), facing) < 0) std::swap(b, c);
    piece.indices.push_back(static_cast<uint16_t>(a));
    piece.indices.push_back(static_cast<uint16_t>(b));
    piece.indices.push_back(static_cast<uint16_t>(c));
}

void ModelBuilder::Morph(int material, int target, int vertex, V3 offset) {
    Piece& piece = PieceOf(material);
    if (piece.morphs.size() <= static_cast<size_t>(target))
        piece.morphs.resize(static_cast<size_t>(target) + 1);
    piece.morphs[static_cast<size_t>(target)].entries.push_back(
        Z1MorphEntry{static_cast<int16_t>(vertex), VECTOR{offset.x, offset.y, offset.z}});
}

void ModelBuilder::Add(int material, const V3* p, const float* uv, int count, V3 facing) {
    V3 n = Unit(Cross(p[1] - p[0], p[2] - p[0]));
    if (Dot(n, facing) < 0) n = n * -1.0f;
    int base = -1;
    for (int i = 0; i < count; ++i) {
        int k = Vertex(material, p[i], n, uv[i * 2], uv[i * 2 + 1]);
        if (i == 0) base = k;
    }
    // A fan from the first corner.
    for (int i = 1; i + 1 < count; ++i) Face(material, base, base + i, base + i + 1, facing);
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

void ModelBuilder::Loft(int material, const std::vector<float>& profile, const std::vector<Ring>& rings,
                        float uRepeat, float tile, bool capBottom, bool capTop) {
    const int n = static_cast<int>(profile.size() / 2);
    const int r = static_cast<int>(rings.size());
    if (n < 3 || r < 2) return;
    auto point = [&](int ring, int k) {
        const Ring& g = rings[static_cast<size_t>(ring)];
        k %= n;
        return V3{g.cx + profile[static_cast<size_t>(k) * 2] * g.rx, g.y,
                  g.cz + profile[static_cast<size_t>(k) * 2 + 1] * g.rz};
    };
    auto centre = [&](int ring) {
        const Ring& g = rings[static_cast<size_t>(ring)];
        return V3{g.cx, g.y, g.cz};
    };
    // Smooth normals: every side face's normal, pointing away from the
    // axis, summed at its corners.
    std::vector<V3> normals(static_cast<size_t>(r * n), V3{0, 0, 0});
    for (int i = 0; i + 1 < r; ++i)
        for (int k = 0; k < n; ++k) {
            V3 a = point(i, k), b = point(i, k + 1), c = point(i + 1, k + 1);
            V3 f = Cross(b - a, c - a);
            V3 out = (a + b) * 0.5f - centre(i);
            out.y = 0;
            if (Dot(f, out) < 0) f = f * -1.0f;
            f = Unit(f);
            for (int ring : {i, i + 1})
                for (int kk : {k, (k + 1) % n}) {
                    V3& s = normals[static_cast<size_t>(ring * n + kk)];
                    s = s + f;
                }
        }
    const int savedBone = bone_;
    std::vector<int> index(static_cast<size_t>(r * (n + 1)));
    float v = 0;
    for (int i = 0; i < r; ++i) {
        if (i > 0) v += Length(centre(i) - centre(i - 1)) / tile;
        bone_ = rings[static_cast<size_t>(i)].bone;
        // One column more than the profile has points: the seam carries u = 1.
        for (int k = 0; k <= n; ++k)
            index[static_cast<size_t>(i * (n + 1) + k)] =
                Vertex(material, point(i, k), normals[static_cast<size_t>(i * n + k % n)],
                       uRepeat * static_cast<float>(k) / n, v);
    }
    for (int i = 0; i + 1 < r; ++i)
        for (int k = 0; k < n; ++k) {
            int a = index[static_cast<size_t>(i * (n + 1) + k)],
                b = index[static_cast<size_t>(i * (n + 1) + k + 1)];
            int c = index[static_cast<size_t>((i + 1) * (n + 1) + k + 1)],
                d = index[static_cast<size_t>((i + 1) * (n + 1) + k)];
            V3 out = (point(i, k) + point(i, k + 1)) * 0.5f - centre(i);
            out.y = 0;
            Face(material, a, b, c, out);
            Face(material, a, c, d, out);
        }
    for (int end = 0; end < 2; ++end) {
        if (!(end == 0 ? capBottom : capTop)) continue;
        int ring = end == 0 ? 0 : r - 1;
        V3 facing{0, end == 0 ? -1.0f : 1.0f, 0};
        bone_ = rings[static_cast<size_t>(ring)].bone;
        int mid = Vertex(material, centre(ring), facing, 0.5f * uRepeat, v);
        int first = -1;
        for (int k = 0; k < n; ++k) {
            V3 p = point(ring, k);
            int vx = Vertex(material, p, facing, profile[static_cast<size_t>(k) * 2] * 0.5f + 0.5f,
                            profile[static_cast<size_t>(k) * 2 + 1] * 0.5f + 0.5f);
            if (k == 0) first = vx;
        }
        for (int k = 0; k < n; ++k) Face(material, mid, first + k, first + (k + 1) % n, facing);
    }
    bone_ = savedBone;
}

int ModelBuilder::Bone(const std::string& name, int parent, V3 joint) {
    Z1Bone b;
    b.name = name;
    b.parent = static_cast<int16_t>(parent);
    V3 rel = parent >= 0 ? joint - joints_[static_cast<size_t>(parent)] : joint;
    b.first = VECTOR{rel.x, rel.y, rel.z};
    b.second = VECTOR{0, 0, 0};
    b.length = VectorLength(b.first);
    bones_.push_back(b);
    joints_.push_back(joint);
    return static_cast<int>(bones_.size()) - 1;
}

void ModelBuilder::Swing(V3 hinge, V3 axis, const std::vector<int>& ticks, const std::vector<float>& angles) {
    Node& node = nodes_[static_cast<size_t>(node_)];
    node.animated = true;
    node.hinge = hinge;
    node.animation.nodeName = node.name;
    // The engine turns about (-x, -z, -y) of a key's axis.
    VECTOR fileAxis{-axis.x, -axis.z, -axis.y};
    // Each key turns on from the one before it.
    float previous = 0;
    for (size_t i = 0; i < ticks.size() && i < angles.size(); ++i) {
        Z1RotKey k;
        k.time = ticks[i];
        k.axis = fileAxis;
        k.angle = angles[i] - previous;
        previous = angles[i];
        node.animation.rotLinear.push_back(k);
        lastTick_ = std::max(lastTick_, ticks[i]);
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
    z.hasScene = true;
    z.scene.fileName = name_;
    z.scene.frameSpeed = 25;
    z.scene.ticksPerFrame = 160;
    z.scene.lastFrame = static_cast<int16_t>(lastTick_ / 160);
    z.hasMaterials = true;
    Z1Material multi;
    multi.name = name_ + " materials";
    multi.className = "Multi/Sub-Object";
    multi.materialClass = Z1_CLASS_MULTI;
    multi.submaterials = materials_;
    z.materials.push_back(multi);

    for (const Node& node : nodes_) {
        Z1GeomObject o;
        o.tag = Z1_GEOMOBJECT;
        o.name = node.name;
        o.hasTransform = true;
        o.transform.name = node.name;
        o.material = 0;
        Z1MeshList list;
        bool any = false;
        VECTOR lo{0, 0, 0}, hi{0, 0, 0};
        for (size_t m = 0; m < node.pieces.size(); ++m) {
            const Piece& piece = node.pieces[m];
            if (piece.indices.empty()) continue;
            Z1Mesh mesh;
            mesh.submaterial = static_cast<int16_t>(m);
            mesh.vertices = piece.vertices;
            mesh.indices = piece.indices;
            mesh.vertexCount = static_cast<int32_t>(piece.vertices.size());
            mesh.faceCount = static_cast<int32_t>(piece.indices.size() / 3);
            if (std::any_of(piece.bones.begin(), piece.bones.end(), [](int16_t b) { return b >= 0; }))
                mesh.bones = piece.bones;
            mesh.morphTargets = piece.morphs;
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
        if (list.meshes.empty()) continue;
        o.meshLists.push_back(list);
        o.meshListWrapped.push_back(false);
        o.hasBoxMin = o.hasBoxMax = true;
        o.boxMin = lo;
        o.boxMax = hi;
        if (node.animated) {
            // A track turns about the node's pivot, which the file gives in
            // the exporter's axes.
            o.transform.pivot = FileAxes(node.hinge);
            o.animations.push_back(node.animation);
        } else {
            // The pivot is the middle of the object: transparent pieces are
            // sorted by it.
            o.transform.pivot = VECTOR{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
        }
        z.objects.push_back(o);
    }
    z.spawnPoints = spawns_;
    if (!bones_.empty()) {
        z.hasBones = true;
        z.bones = bones_;
    }
    z.playNodeAnimation = lastTick_ > 0;
    return z;
}

bool ModelBuilder::Write(const std::string& path) const {
    Z1Scene z = Build();
    if (!Z1WriteFile(path.c_str(), z)) return false;
    return Z1WriteExtraSettings(Z1ExtraSettingsPath(path.c_str()).c_str(), z);
}
