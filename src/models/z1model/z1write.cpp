// The model writer: the reader's inverse, block for block.
#include <cstdio>

#include "models/z1model/z1file.h"
#include "utility/datafile.h"
#include "utility/fileio.h"

namespace {

class Writer {
public:
    explicit Writer(DataFile& file) : f(file) {}
    bool ok = true;

    void Scene(const Z1Scene& s);

private:
    DataFile& f;

    void Tag(uint8_t t) { ok = f.WriteByte(t) && ok; }
    void Byte(uint8_t b) { ok = f.WriteByte(b) && ok; }
    void Short(int16_t v) { ok = f.WriteShort(v) && ok; }
    void Int(int32_t v) { ok = f.WriteInt(v) && ok; }
    void Float(float v) { ok = f.WriteFloat(v) && ok; }
    void Str(const std::string& t) { ok = f.WriteString(t.c_str()) && ok; }
    void Vec(const VECTOR& v) {
        Float(v.x);
        Float(v.y);
        Float(v.z);
    }
    void Color(const float c[3]) {
        Float(c[0]);
        Float(c[1]);
        Float(c[2]);
    }
    void Open() { Tag(Z1_OPEN); }
    void Close() { Tag(Z1_CLOSE); }

    void Material(const Z1Material& m);
    void Map(uint8_t tag, const Z1Map& map);
    void Transform(const Z1NodeTransform& t);
    void GeomObject(const Z1GeomObject& o);
    void MeshList(const Z1MeshList& list);
    void Mesh(const Z1Mesh& mesh);
    void Animation(const Z1Animation& a);
    void Light(const Z1Light& l);
    void Camera(const Z1Camera& c);
};

void Writer::Scene(const Z1Scene& s) {
    Byte(s.format == 0 ? 1 : s.format);
    Byte(kZ1Marker);
    Byte(s.reserved);
    if (s.hasScene) {
        const Z1SceneInfo& sc = s.scene;
        Tag(Z1_SCENE);
        Open();
        Tag(Z1_SCENE_FILENAME);
        Str(sc.fileName);
        Tag(Z1_SCENE_FIRSTFRAME);
        Short(sc.firstFrame);
        Tag(Z1_SCENE_LASTFRAME);
        Short(sc.lastFrame);
        Tag(Z1_SCENE_FRAMESPEED);
        Short(sc.frameSpeed);
        Tag(Z1_SCENE_TICKSPERFRAME);
        Short(sc.ticksPerFrame);
        Tag(Z1_SCENE_COLOR1);
        Color(sc.color1Raw);
        Tag(Z1_SCENE_COLOR2);
        Color(sc.color2Raw);
        Close();
    }
    if (s.hasMaterials || !s.materials.empty()) {
        Tag(Z1_MATERIAL_LIST);
        Open();
        Tag(Z1_MATERIAL_COUNT);
        Short(static_cast<int16_t>(s.materials.size()));
        for (size_t i = 0; i < s.materials.size(); i++) {
            Tag(Z1_MATERIAL);
            Short(static_cast<int16_t>(i));
            Material(s.materials[i]);
        }
        Close();
    }
    for (const Z1GeomObject& o : s.objects) GeomObject(o);
    for (const Z1Light& l : s.lights) Light(l);
    for (const Z1Camera& c : s.cameras) Camera(c);
    for (const Z1SpawnPoint& p : s.spawnPoints) {
        Tag(Z1_SPAWNPOINT);
        Str(p.name);
        Vec(p.position);
    }
    if (s.hasBones || !s.bones.empty()) {
        Tag(Z1_BONE_LIST);
        Open();
        Tag(Z1_BONE_COUNT);
        Short(static_cast<int16_t>(s.bones.size()));
        for (const Z1Bone& b : s.bones) {
            Tag(Z1_BONE);
            Open();
            Tag(Z1_BONE_DATA);
            Str(b.name);
            Short(b.parent);
            Vec(b.first);
            Vec(b.second);
            Close();
        }
        Close();
    }
    Tag(Z1_END);
}

void Writer::Material(const Z1Material& m) {
    Open();
    Tag(Z1_MATERIAL_NAME);
    Str(m.name);
    if (!m.className.empty()) {
        Tag(Z1_MATERIAL_CLASS);
        Str(m.className);
    }
    Tag(Z1_MATERIAL_COLOR3);
    Color(m.color3);
    Tag(Z1_MATERIAL_COLOR2);
    Color(m.color2);
    Tag(Z1_MATERIAL_COLOR1);
    Color(m.color1);
    Tag(Z1_MATERIAL_FLOAT);
    Float(m.value91);
    Tag(Z1_MATERIAL_SELFILLUM);
    Float(m.selfIllumination);
    if (m.twoSided) Tag(Z1_MATERIAL_TWOSIDED);
    if (m.maps[Z1_SLOT_TEXTURE].present) Map(Z1_MAP_DIFFUSE, m.maps[Z1_SLOT_TEXTURE]);
    if (m.maps[Z1_SLOT_OTHER].present) Map(Z1_MAP_SLOT3, m.maps[Z1_SLOT_OTHER]);
    if (m.maps[Z1_SLOT_OPACITY].present) Map(Z1_MAP_OPACITY, m.maps[Z1_SLOT_OPACITY]);
    if (m.maps[Z1_SLOT_ENVIRONMENT].present) Map(Z1_MAP_REFLECT, m.maps[Z1_SLOT_ENVIRONMENT]);
    if (!m.submaterials.empty()) {
        Tag(Z1_SUBMATERIAL_COUNT);
        Short(static_cast<int16_t>(m.submaterials.size()));
        for (size_t i = 0; i < m.submaterials.size(); i++) {
            Tag(Z1_SUBMATERIAL);
            Short(static_cast<int16_t>(i));
            Material(m.submaterials[i]);
        }
    }
    Close();
}

void Writer::Map(uint8_t tag, const Z1Map& map) {
    Tag(tag);
    Open();
    Tag(Z1_MAP_NAME);
    Str(map.name);
    if (map.hasBitmap) {
        Tag(Z1_MAP_BITMAP);
        Str(map.bitmapRaw);
    }
    for (int i = 0; i < 5; i++) {
        Tag(static_cast<uint8_t>(Z1_MAP_PARAM1 + i));
        Float(map.params[i]);
    }
    Tag(Z1_MAP_WRAP_U);
    Byte(map.wrapU);
    Tag(Z1_MAP_WRAP_V);
    Byte(map.wrapV);
    Close();
}

void Writer::Transform(const Z1NodeTransform& t) {
    Tag(Z1_NODE_TM);
    Open();
    Tag(Z1_NODE_NAME);
    Str(t.name);
    for (int r = 0; r < 4; r++) {
        Tag(static_cast<uint8_t>(Z1_TM_ROW0 + r));
        Vec(t.rows[r]);
    }
    Tag(Z1_TM_POS);
    Vec(t.pivot);
    Tag(Z1_TM_ROTAXIS);
    Vec(t.axis);
    Tag(Z1_TM_ROTANGLE);
    Float(t.angle);
    Close();
}

void Writer::GeomObject(const Z1GeomObject& o) {
    Tag(o.tag == Z1_GEOMOBJECT2 ? Z1_GEOMOBJECT2 : Z1_GEOMOBJECT);
    Open();
    Tag(Z1_NODE_NAME);
    Str(o.name);
    if (!o.parent.empty()) {
        Tag(Z1_NODE_PARENT);
        Str(o.parent);
    }
    if (o.hasTransform) Transform(o.transform);
    Tag(Z1_MATERIAL_REF);
    Short(o.material);
    for (size_t i = 0; i < o.meshLists.size(); i++) {
        bool wrapped = i < o.meshListWrapped.size() && o.meshListWrapped[i];
        if (wrapped) {
            Tag(Z1_MESH_LISTS);
            Open();
        }
        Tag(Z1_MESH_LIST);
        MeshList(o.meshLists[i]);
        if (wrapped) Close();
    }
    for (const Z1Animation& a : o.animations) Animation(a);
    if (o.hasBoxMin) {
        Tag(Z1_BOX_MIN);
        Vec(o.boxMin);
    }
    if (o.hasBoxMax) {
        Tag(Z1_BOX_MAX);
        Vec(o.boxMax);
    }
    Close();
}

void Writer::MeshList(const Z1MeshList& list) {
    Open();
    Tag(Z1_LIST_ID);
    Short(list.id);
    Tag(Z1_MESH_COUNT);
    Short(static_cast<int16_t>(list.meshes.size()));
    for (const Z1Mesh& m : list.meshes) {
        Tag(Z1_MESH);
        Mesh(m);
    }
    Close();
}

void Writer::Mesh(const Z1Mesh& mesh) {
    Open();
    Tag(Z1_MESH_SUBMATERIAL);
    Short(mesh.submaterial);
    Tag(Z1_MESH_NUMVERTEX);
    Int(static_cast<int32_t>(mesh.vertices.size()));
    Tag(Z1_MESH_NUMFACES);
    Int(static_cast<int32_t>(mesh.indices.size() / 3));
    Tag(Z1_MESH_VERTICES);
    Byte(0);
    for (const VERTEX& v : mesh.vertices) {
        Float(v.x);
        Float(v.y);
        Float(v.z);
        Float(v.nx);
        Float(v.ny);
        Float(v.nz);
        Float(v.tu);
        Float(v.tv);
    }
    Byte(0);
    Tag(Z1_MESH_FACES);
    Byte(0);
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        Short(static_cast<int16_t>(mesh.indices[i]));
        Short(static_cast<int16_t>(mesh.indices[i + 1]));
        Short(static_cast<int16_t>(mesh.indices[i + 2]));
    }
    Byte(0);
    if (!mesh.bones.empty()) {
        Tag(Z1_MESH_BONES);
        Byte(0);
        for (size_t i = 0; i < mesh.vertices.size(); i++) Short(i < mesh.bones.size() ? mesh.bones[i] : -1);
        Byte(0);
    }
    for (const Z1MorphTarget& t : mesh.morphTargets) {
        Tag(Z1_MORPH_TARGET);
        Open();
        for (const Z1MorphEntry& e : t.entries) {
            Tag(Z1_MORPH_ENTRY);
            Short(e.vertex);
            Vec(e.offset);
        }
        Close();
    }
    Close();
}

void Writer::Animation(const Z1Animation& a) {
    Tag(Z1_TM_ANIMATION);
    Open();
    Tag(Z1_NODE_NAME);
    Str(a.nodeName);
    std::vector<uint8_t> order = a.order;
    if (order.empty()) {
        if (!a.posLinear.empty()) order.push_back(Z1_CONTROL_POS_TRACK);
        if (!a.posSpline.empty()) order.push_back(Z1_CONTROL_POS_TCB);
        if (!a.rotLinear.empty()) order.push_back(Z1_CONTROL_ROT_TRACK);
        if (!a.rotSpline.empty()) order.push_back(Z1_CONTROL_ROT_TCB);
    }
    // Each list was one block in the file; a repeated block tag in the order
    // list writes its keys once.
    bool done[4] = {false, false, false, false};
    for (uint8_t tag : order) {
        int slot = tag == Z1_CONTROL_POS_TRACK   ? 0
                   : tag == Z1_CONTROL_POS_TCB   ? 1
                   : tag == Z1_CONTROL_ROT_TRACK ? 2
                                                 : 3;
        if (done[slot]) continue;
        done[slot] = true;
        Tag(tag);
        Open();
        switch (slot) {
        case 0:
            for (const Z1PosKey& k : a.posLinear) {
                Tag(Z1_POS_SAMPLE);
                Int(k.time);
                Vec(k.p);
            }
            break;
        case 1:
            for (const Z1PosKey& k : a.posSpline) {
                Tag(Z1_POS_TCB_KEY);
                Int(k.time);
                Vec(k.p);
                Vec(k.extra1);
                Vec(k.extra2);
            }
            break;
        case 2:
            for (const Z1RotKey& k : a.rotLinear) {
                Tag(Z1_ROT_SAMPLE);
                Int(k.time);
                Vec(k.axis);
                Float(k.angle);
            }
            break;
        default:
            for (const Z1RotKey& k : a.rotSpline) {
                Tag(Z1_ROT_TCB_KEY);
                Int(k.time);
                Vec(k.axis);
                Float(k.angle);
                for (int i = 0; i < 5; i++) Float(k.params[i]);
            }
            break;
        }
        Close();
    }
    Close();
}

void Writer::Light(const Z1Light& l) {
    Tag(Z1_LIGHTOBJECT);
    Open();
    Tag(Z1_NODE_NAME);
    Str(l.name);
    if (l.hasType) {
        Tag(Z1_LIGHT_TYPE);
        Byte(l.typeByte);
    }
    for (const Z1NodeTransform& t : l.transforms) Transform(t);
    if (l.hasSettings) {
        Tag(Z1_LIGHT_SETTINGS);
        Open();
        if (l.hasColor) {
            Tag(Z1_LIGHT_COLOR);
            Color(l.colorRaw);
        }
        if (l.hasIntensity) {
            Tag(Z1_LIGHT_INTENS);
            Float(l.intensity);
        }
        if (l.hasAspect) {
            Tag(Z1_LIGHT_ASPECT);
            Float(l.aspect);
        }
        if (l.hasRange) {
            Tag(Z1_LIGHT_RANGE);
            Float(l.rangeRaw);
        }
        Close();
    }
    if (l.hasFlag) {
        Tag(Z1_LIGHT_FLAG);
        Byte(l.flag);
    }
    for (const Z1Animation& a : l.animations) Animation(a);
    Close();
}

void Writer::Camera(const Z1Camera& c) {
    Tag(Z1_CAMERAOBJECT);
    Open();
    Tag(Z1_NODE_NAME);
    Str(c.name);
    if (c.hasType) {
        Tag(Z1_CAMERA_TYPE);
        Byte(c.typeByte);
    }
    for (const Z1NodeTransform& t : c.transforms) Transform(t);
    if (c.hasSettings) {
        Tag(Z1_CAMERA_SETTINGS);
        Open();
        Tag(Z1_CAMERA_FOV);
        Float(c.fov);
        Tag(Z1_LIST_ID);
        Short(c.settingsId);
        Close();
    }
    for (const Z1Animation& a : c.animations) Animation(a);
    Close();
}

void CollectScrolling(const Z1Material& m, std::vector<const Z1Material*>& out) {
    if (m.hasExtra) out.push_back(&m);
    for (const Z1Material& sub : m.submaterials) CollectScrolling(sub, out);
}

}  // namespace

bool Z1WriteStream(DataFile& file, const Z1Scene& scene) {
    Writer w(file);
    w.Scene(scene);
    return w.ok;
}

bool Z1WriteFile(const char* path, const Z1Scene& scene) {
    DataFile file;
    if (!file.Open(path, true)) return false;
    bool ok = Z1WriteStream(file, scene);
    file.Close();
    return ok;
}

bool Z1WriteExtraSettings(const char* path, const Z1Scene& scene) {
    std::vector<const Z1Material*> scrolling;
    for (const Z1Material& m : scene.materials) CollectScrolling(m, scrolling);
    if (scrolling.empty() && !scene.playNodeAnimation) return true;
    FILE* out = OpenFile(path, "wb");
    if (!out) return false;
    bool ok = true;
    if (scene.playNodeAnimation) ok = std::fprintf(out, "*PLAY_NODE_ANIMATION\n") > 0;
    for (const Z1Material* m : scrolling) {
        ok = std::fprintf(out, "*MATERIAL \"%s\"\n{\n", m->name.c_str()) > 0 && ok;
        if (m->scrollU != 0) ok = std::fprintf(out, "\t*MATERIAL_U_ANIMATION %d\n", m->scrollU) > 0 && ok;
        if (m->scrollV != 0) ok = std::fprintf(out, "\t*MATERIAL_V_ANIMATION %d\n", m->scrollV) > 0 && ok;
        ok = std::fprintf(out, "}\n") > 0 && ok;
    }
    ok = std::fclose(out) == 0 && ok;
    return ok;
}
