// Index of this file:
// [SECTION] The reader: tags and objects
// [SECTION] Materials and maps
// [SECTION] Geometry: nodes, meshes and morph targets
// [SECTION] Animation, lights, cameras and bones
// [SECTION] Scene lookups
// [SECTION] Reading a file
#include "models/z1model/z1file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "imports/gameimports.h"
#include "settings/settings.h"
#include "utility/datafile.h"
#include "utility/log.h"

namespace {

// Nested sub-materials recurse; a hostile file must not run the stack dry.
const int kMaxMaterialDepth = 16;

bool EndsWithTarget(const std::string& name) {
    static const char kSuffix[] = ".Target";
    const size_t n = sizeof(kSuffix) - 1;
    return name.size() >= n && name.compare(name.size() - n, n, kSuffix) == 0;
}

uint32_t PackSceneColor(const float c[3]) {
    uint32_t out = 0;
    for (int i = 0; i < 3; i++) {
        float v = c[i] * 255.0f;
        uint32_t b = 0;
        if (v >= 255.0f)
            b = 255;
        else if (v > 0.0f)
            b = static_cast<uint32_t>(v);
        out = (out << 8) | b;
    }
    return out;
}

// ---------------------------------------------------------------------------
// [SECTION] The reader: tags and objects
class Reader {
public:
    Reader(DataFile& file, Z1Scene& scene) : f(file), s(scene) { size = f.Size(); }

    void ReadTopLevel();

private:
    DataFile& f;
    Z1Scene& s;
    long size = 0;

    bool End() { return f.AtEnd(); }
    long Remaining() {
        long left = size - f.Tell();
        return left < 0 ? 0 : left;
    }
    std::string Str() {
        char* t = f.ReadString();
        std::string r = t ? t : "";
        delete[] t;
        return r;
    }
    VECTOR Vec() {
        VECTOR v;
        v.x = f.ReadFloat();
        v.y = f.ReadFloat();
        v.z = f.ReadFloat();
        return v;
    }
    void Color(float c[3]) {
        c[0] = f.ReadFloat();
        c[1] = f.ReadFloat();
        c[2] = f.ReadFloat();
    }

    // The block loop: level 0 until the tag 2 that brings the level back to
    // 0. Tags 1, 2 and 255 are framing; every other tag goes to onTag, which
    // reads the payload of the tags it knows and ignores the rest.
    template <class F>
    void Block(F onTag) {
        int level = 0;
        for (;;) {
            uint8_t tag = f.ReadByte();
            if (End()) return;
            if (tag == Z1_OPEN) {
                level++;
            } else if (tag == Z1_CLOSE) {
                level--;
                if (level == 0) return;
            } else if (tag != Z1_FILLER) {
                onTag(tag);
                if (End()) return;
            }
        }
    }
    // A block whose content is not wanted: framing only.
    void SkipBlock() {
        Block([](uint8_t) {});
    }

    void ReadScene();
    void ReadMaterialList();
    void ReadMaterial(Z1Material& m, int depth);
    void ReadMap(Z1Map& map, int slot, Z1Material& m);
    void ReadGeomObject(uint8_t tag);
    void ReadTransform(Z1NodeTransform& t);
    void ReadMeshList(Z1MeshList& list);
    void ReadMesh(Z1Mesh& mesh);
    void ReadMorphTarget(Z1MorphTarget& target);
    void ReadAnimation(Z1Animation& a);
    void ReadLight();
    void ReadCamera();
    void ReadBoneList();
};

void Reader::ReadTopLevel() {
    for (;;) {
        uint8_t tag = f.ReadByte();
        if (End() || tag == Z1_END) return;
        switch (tag) {
        case Z1_SCENE: ReadScene(); break;
        case Z1_GEOMOBJECT:
        case Z1_GEOMOBJECT2: ReadGeomObject(tag); break;
        case Z1_CAMERAOBJECT: ReadCamera(); break;
        case Z1_LIGHTOBJECT: ReadLight(); break;
        case Z1_MATERIAL_LIST: ReadMaterialList(); break;
        case Z1_SPAWNPOINT: {
            Z1SpawnPoint p;
            p.name = Str();
            p.position = Vec();
            s.spawnPoints.push_back(p);
            break;
        }
        case Z1_BONE_LIST: ReadBoneList(); break;
        case Z1_FILLER: break;
        default: LogLine("Unknown binary short int %i", tag); break;
        }
    }
}

void Reader::ReadScene() {
    s.hasScene = true;
    Z1SceneInfo& sc = s.scene;
    Block([&](uint8_t tag) {
        switch (tag) {
        case Z1_SCENE_FILENAME: sc.fileName = Str(); break;
        case Z1_SCENE_FIRSTFRAME: sc.firstFrame = f.ReadShort(); break;
        case Z1_SCENE_LASTFRAME: sc.lastFrame = f.ReadShort(); break;
        case Z1_SCENE_FRAMESPEED: sc.frameSpeed = f.ReadShort(); break;
        case Z1_SCENE_TICKSPERFRAME: sc.ticksPerFrame = f.ReadShort(); break;
        case Z1_SCENE_COLOR1:
            Color(sc.color1Raw);
            sc.color1 = PackSceneColor(sc.color1Raw);
            break;
        case Z1_SCENE_COLOR2:
            Color(sc.color2Raw);
            sc.color2 = PackSceneColor(sc.color2Raw);
            break;
        default: break;
        }
    });
}

// ---------------------------------------------------------------------------
// [SECTION] Materials and maps
void Reader::ReadMaterialList() {
    s.hasMaterials = true;
    Block([&](uint8_t tag) {
        if (tag == Z1_MATERIAL_COUNT) {
            int n = f.ReadShort();
            if (n < 0) n = 0;
            s.materials.clear();
            // Entries are filled by index; a count far beyond what the file
            // can hold would only allocate empty materials.
            if (n > Remaining()) n = static_cast<int>(Remaining());
            s.materials.resize(n);
        } else if (tag == Z1_MATERIAL) {
            int index = f.ReadShort();
            if (index >= 0 && index < static_cast<int>(s.materials.size())) {
                ReadMaterial(s.materials[index], 0);
            } else {
                Z1Material scratch;
                ReadMaterial(scratch, 0);
            }
        }
    });
}

void Reader::ReadMaterial(Z1Material& m, int depth) {
    if (depth > kMaxMaterialDepth) {
        SkipBlock();
        return;
    }
    Block([&](uint8_t tag) {
        switch (tag) {
        case Z1_SUBMATERIAL_COUNT: {
            int n = f.ReadShort();
            if (n < 0) n = 0;
            if (n > Remaining()) n = static_cast<int>(Remaining());
            m.submaterials.clear();
            m.submaterials.resize(n);
            break;
        }
        case Z1_SUBMATERIAL: {
            int index = f.ReadShort();
            if (index >= 0 && index < static_cast<int>(m.submaterials.size())) {
                ReadMaterial(m.submaterials[index], depth + 1);
            } else {
                Z1Material scratch;
                ReadMaterial(scratch, depth + 1);
            }
            break;
        }
        case Z1_MATERIAL_NAME: m.name = Str(); break;
        case Z1_MATERIAL_CLASS:
            m.className = Str();
            if (m.className == "Multi/Sub-Object")
                m.materialClass = Z1_CLASS_MULTI;
            else if (m.className == "Standard")
                m.materialClass = Z1_CLASS_STANDARD;
            break;
        case Z1_MATERIAL_COLOR2: Color(m.color2); break;
        case Z1_MATERIAL_COLOR1: Color(m.color1); break;
        case Z1_MATERIAL_COLOR3: Color(m.color3); break;
        case Z1_MATERIAL_FLOAT: m.value91 = f.ReadFloat(); break;
        case Z1_MATERIAL_SELFILLUM: m.selfIllumination = f.ReadFloat(); break;
        case Z1_MATERIAL_TWOSIDED: m.twoSided = true; break;
        case Z1_MAP_DIFFUSE:
            m.white = true;
            ReadMap(m.maps[Z1_SLOT_TEXTURE], Z1_SLOT_TEXTURE, m);
            break;
        case Z1_MAP_SLOT3:
            m.white = true;
            ReadMap(m.maps[Z1_SLOT_OTHER], Z1_SLOT_OTHER, m);
            break;
        case Z1_MAP_OPACITY: ReadMap(m.maps[Z1_SLOT_OPACITY], Z1_SLOT_OPACITY, m); break;
        case Z1_MAP_REFLECT: ReadMap(m.maps[Z1_SLOT_ENVIRONMENT], Z1_SLOT_ENVIRONMENT, m); break;
        default: break;
        }
    });
}

void Reader::ReadMap(Z1Map& map, int slot, Z1Material& m) {
    map.present = true;
    Block([&](uint8_t tag) {
        if (tag == Z1_MAP_NAME) {
            map.name = Str();
        } else if (tag == Z1_MAP_BITMAP) {
            map.hasBitmap = true;
            map.bitmapRaw = Str();
            if (slot != Z1_SLOT_OTHER) {
                // The exporter writes absolute paths; the drive ("C:") goes and
                // the rest lands under the texture folder.
                map.bitmap = Z1TextureFolder();
                if (map.bitmapRaw.size() > 2) map.bitmap += map.bitmapRaw.substr(2);
            }
            m.textured = true;
        } else if (tag >= Z1_MAP_PARAM1 && tag <= Z1_MAP_PARAM1 + 4) {
            map.params[tag - Z1_MAP_PARAM1] = f.ReadFloat();
        } else if (tag == Z1_MAP_WRAP_U) {
            map.wrapU = f.ReadByte();
        } else if (tag == Z1_MAP_WRAP_V) {
            map.wrapV = f.ReadByte();
        }
    });
}

// ---------------------------------------------------------------------------
// [SECTION] Geometry: nodes, meshes and morph targets
void Reader::ReadTransform(Z1NodeTransform& t) {
    Block([&](uint8_t tag) {
        if (tag == Z1_NODE_NAME)
            t.name = Str();
        else if (tag >= Z1_TM_ROW0 && tag <= Z1_TM_ROW0 + 3)
            t.rows[tag - Z1_TM_ROW0] = Vec();
        else if (tag == Z1_TM_POS)
            t.pivot = Vec();
        else if (tag == Z1_TM_ROTAXIS)
            t.axis = Vec();
        else if (tag == Z1_TM_ROTANGLE)
            t.angle = f.ReadFloat();
    });
}

void Reader::ReadGeomObject(uint8_t objectTag) {
    s.objects.emplace_back();
    Z1GeomObject& o = s.objects.back();
    o.tag = objectTag;
    Block([&](uint8_t tag) {
        switch (tag) {
        case Z1_NODE_NAME: o.name = Str(); break;
        case Z1_NODE_PARENT: o.parent = Str(); break;
        case Z1_NODE_TM:
            o.hasTransform = true;
            ReadTransform(o.transform);
            break;
        case Z1_MATERIAL_REF: o.material = f.ReadShort(); break;
        case Z1_MESH_LIST:
            o.meshLists.emplace_back();
            o.meshListWrapped.push_back(false);
            ReadMeshList(o.meshLists.back());
            break;
        case Z1_MESH_LISTS:
            Block([&](uint8_t inner) {
                if (inner == Z1_MESH_LIST) {
                    o.meshLists.emplace_back();
                    o.meshListWrapped.push_back(true);
                    ReadMeshList(o.meshLists.back());
                }
            });
            break;
        case Z1_TM_ANIMATION:
            o.animations.emplace_back();
            ReadAnimation(o.animations.back());
            break;
        case Z1_BOX_MIN:
            o.hasBoxMin = true;
            o.boxMin = Vec();
            break;
        case Z1_BOX_MAX:
            o.hasBoxMax = true;
            o.boxMax = Vec();
            break;
        default: break;
        }
    });
}

void Reader::ReadMeshList(Z1MeshList& list) {
    int declared = 0;
    Block([&](uint8_t tag) {
        if (tag == Z1_LIST_ID) {
            list.id = f.ReadShort();
        } else if (tag == Z1_MESH_COUNT) {
            declared = f.ReadShort();
            if (declared < 0) declared = 0;
            list.meshes.clear();
        } else if (tag == Z1_MESH) {
            if (static_cast<int>(list.meshes.size()) < declared) {
                list.meshes.emplace_back();
                ReadMesh(list.meshes.back());
            } else {
                // More meshes than the list declared: read past them.
                Z1Mesh scratch;
                ReadMesh(scratch);
            }
        }
    });
    // Declared meshes the file never filled stay empty, as allocated.
    if (static_cast<int>(list.meshes.size()) < declared) list.meshes.resize(declared);
}

// The counts come from the file as any 32-bit value: two large ones would
// overflow the total, so it stops at the ends of its range instead.
void AddToTotal(int32_t& total, int32_t count) {
    int64_t sum = static_cast<int64_t>(total) + count;
    total = static_cast<int32_t>(sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : sum);
}

void Reader::ReadMesh(Z1Mesh& mesh) {
    Block([&](uint8_t tag) {
        switch (tag) {
        case Z1_MESH_SUBMATERIAL: mesh.submaterial = f.ReadShort(); break;
        case Z1_MESH_NUMVERTEX:
            mesh.vertexCount = f.ReadInt();
            AddToTotal(s.vertexTotal, mesh.vertexCount);
            break;
        case Z1_MESH_NUMFACES:
            mesh.faceCount = f.ReadInt();
            AddToTotal(s.faceTotal, mesh.faceCount);
            break;
        case Z1_MESH_VERTICES: {
            f.ReadByte();
            long n = mesh.vertexCount < 0 ? 0 : mesh.vertexCount;
            // Never allocate beyond what the file can still hold; the
            // reads past its end would all be zero anyway.
            long fits = Remaining() / 32;
            if (n > fits) n = fits + 1;
            mesh.vertices.resize(n);
            // The vertices that are all there decode in one go (a vertex is
            // eight floats); a short file still reads field by field below.
            long i = 0;
            const long whole = std::min(n, Remaining() / 32);
            static_assert(sizeof(VERTEX) == 32, "a vertex is eight floats");
            if (whole > 0 && f.ReadFloats(&mesh.vertices[0].x, static_cast<size_t>(whole) * 8)) i = whole;
            for (; i < n && !End(); i++) {
                VERTEX& v = mesh.vertices[i];
                v.x = f.ReadFloat();
                v.y = f.ReadFloat();
                v.z = f.ReadFloat();
                v.nx = f.ReadFloat();
                v.ny = f.ReadFloat();
                v.nz = f.ReadFloat();
                v.tu = f.ReadFloat();
                v.tv = f.ReadFloat();
            }
            f.ReadByte();
            break;
        }
        case Z1_MESH_FACES: {
            f.ReadByte();
            long n = mesh.faceCount < 0 ? 0 : static_cast<long>(mesh.faceCount) * 3;
            long fits = Remaining() / 2;
            if (n > fits) n = fits + 1;
            mesh.indices.resize(n);
            long i = 0;
            const long whole = std::min(n, Remaining() / 2);
            if (whole > 0 && f.ReadShorts(mesh.indices.data(), static_cast<size_t>(whole))) i = whole;
            for (; i < n && !End(); i++) mesh.indices[i] = static_cast<uint16_t>(f.ReadShort());
            f.ReadByte();
            break;
        }
        case Z1_MESH_BONES: {
            f.ReadByte();
            long n = mesh.vertexCount < 0 ? 0 : mesh.vertexCount;
            long fits = Remaining() / 2;
            if (n > fits) n = fits + 1;
            mesh.bones.resize(n);
            bool any = false;
            for (long i = 0; i < n; i++) {
                mesh.bones[i] = End() ? -1 : f.ReadShort();
                if (mesh.bones[i] != -1) any = true;
            }
            f.ReadByte();
            if (!any) {
                mesh.bones.clear();
                LogLine("no skinning after all");
            }
            break;
        }
        case Z1_MORPH_TARGET:
            mesh.morphTargets.emplace_back();
            ReadMorphTarget(mesh.morphTargets.back());
            break;
        default: break;
        }
    });
}

void Reader::ReadMorphTarget(Z1MorphTarget& target) {
    Block([&](uint8_t tag) {
        if (tag == Z1_MORPH_ENTRY) {
            Z1MorphEntry e;
            e.vertex = f.ReadShort();
            e.offset = Vec();
            target.entries.push_back(e);
        }
    });
}

// ---------------------------------------------------------------------------
// [SECTION] Animation, lights, cameras and bones
void Reader::ReadAnimation(Z1Animation& a) {
    Block([&](uint8_t tag) {
        switch (tag) {
        case Z1_NODE_NAME: a.nodeName = Str(); break;
        case Z1_CONTROL_POS_TRACK:
            a.order.push_back(tag);
            Block([&](uint8_t k) {
                if (k != Z1_POS_SAMPLE) return;
                Z1PosKey key;
                key.time = f.ReadInt();
                key.p = Vec();
                a.posLinear.push_back(key);
            });
            break;
        case Z1_CONTROL_POS_TCB:
            a.order.push_back(tag);
            Block([&](uint8_t k) {
                if (k != Z1_POS_TCB_KEY) return;
                Z1PosKey key;
                key.time = f.ReadInt();
                key.p = Vec();
                key.extra1 = Vec();
                key.extra2 = Vec();
                a.posSpline.push_back(key);
            });
            break;
        case Z1_CONTROL_ROT_TRACK:
            a.order.push_back(tag);
            Block([&](uint8_t k) {
                if (k != Z1_ROT_SAMPLE) return;
                Z1RotKey key;
                key.time = f.ReadInt();
                key.axis = Vec();
                key.angle = f.ReadFloat();
                a.rotLinear.push_back(key);
            });
            break;
        case Z1_CONTROL_ROT_TCB:
            a.order.push_back(tag);
            Block([&](uint8_t k) {
                if (k != Z1_ROT_TCB_KEY) return;
                Z1RotKey key;
                key.time = f.ReadInt();
                key.axis = Vec();
                key.angle = f.ReadFloat();
                for (int i = 0; i < 5; i++) key.params[i] = f.ReadFloat();
                a.rotSpline.push_back(key);
            });
            break;
        default: break;
        }
    });
}

void Reader::ReadLight() {
    s.lights.emplace_back();
    Z1Light& l = s.lights.back();
    bool directional = false;
    float color[3] = {1, 1, 1};
    float range = 500.0f;
    Block([&](uint8_t tag) {
        switch (tag) {
        case Z1_NODE_NAME: l.name = Str(); break;
        case Z1_NODE_TM: {
            l.transforms.emplace_back();
            Z1NodeTransform& t = l.transforms.back();
            ReadTransform(t);
            if (EndsWithTarget(t.name) && directional)
                l.target = t.pivot;
            else
                l.position = t.pivot;
            break;
        }
        case Z1_LIGHT_TYPE:
            l.hasType = true;
            l.typeByte = f.ReadByte();
            if (l.typeByte == Z1_LIGHT_TARGETED)
                directional = true;
            else if (l.typeByte == Z1_LIGHT_OMNI)
                directional = false;
            break;
        case Z1_LIGHT_SETTINGS:
            l.hasSettings = true;
            Block([&](uint8_t k) {
                if (k == Z1_LIGHT_COLOR) {
                    l.hasColor = true;
                    Color(l.colorRaw);
                    for (int i = 0; i < 3; i++) color[i] = l.colorRaw[i];
                } else if (k == Z1_LIGHT_INTENS) {
                    l.hasIntensity = true;
                    l.intensity = f.ReadFloat();
                    for (int i = 0; i < 3; i++) color[i] *= l.intensity;
                } else if (k == Z1_LIGHT_ASPECT) {
                    l.hasAspect = true;
                    l.aspect = f.ReadFloat();
                } else if (k == Z1_LIGHT_RANGE) {
                    l.hasRange = true;
                    l.rangeRaw = f.ReadFloat();
                    range = l.rangeRaw;
                }
            });
            break;
        case Z1_LIGHT_FLAG:
            l.hasFlag = true;
            l.flag = f.ReadByte();
            break;
        case Z1_TM_ANIMATION:
            l.animations.emplace_back();
            ReadAnimation(l.animations.back());
            break;
        default: break;
        }
    });
    LightDesc& d = l.desc;
    d = LightDesc{};
    d.type = directional ? LIGHT_DIRECTIONAL : LIGHT_POINT;
    d.position = l.position;
    if (directional) d.direction = l.target - l.position;
    d.r = color[0];
    d.g = color[1];
    d.b = color[2];
    d.range = range;
}

void Reader::ReadCamera() {
    s.cameras.emplace_back();
    Z1Camera& c = s.cameras.back();
    Block([&](uint8_t tag) {
        switch (tag) {
        case Z1_NODE_NAME: c.name = Str(); break;
        case Z1_CAMERA_TYPE:
            c.hasType = true;
            c.typeByte = f.ReadByte();
            c.targeted = c.typeByte == Z1_CAMERA_TARGETED;
            break;
        case Z1_NODE_TM: {
            c.transforms.emplace_back();
            Z1NodeTransform& t = c.transforms.back();
            ReadTransform(t);
            if (EndsWithTarget(t.name) && c.targeted)
                c.target = t.pivot;
            else
                c.position = t.pivot;
            break;
        }
        case Z1_CAMERA_SETTINGS:
            c.hasSettings = true;
            Block([&](uint8_t k) {
                if (k == Z1_CAMERA_FOV)
                    c.fov = f.ReadFloat();
                else if (k == Z1_LIST_ID)
                    c.settingsId = f.ReadShort();
            });
            break;
        case Z1_TM_ANIMATION:
            c.animations.emplace_back();
            ReadAnimation(c.animations.back());
            break;
        default: break;
        }
    });
}

void Reader::ReadBoneList() {
    s.hasBones = true;
    int declared = 0;
    Block([&](uint8_t tag) {
        if (tag == Z1_BONE_COUNT) {
            declared = f.ReadShort();
            if (declared < 0) declared = 0;
            s.bones.clear();
        } else if (tag == Z1_BONE) {
            Z1Bone bone;
            Block([&](uint8_t k) {
                if (k != Z1_BONE_DATA) return;
                bone.name = Str();
                bone.parent = f.ReadShort();
                bone.first = Vec();
                bone.second = Vec();
                bone.length = VectorLength(bone.first);
            });
            if (static_cast<int>(s.bones.size()) < declared) s.bones.push_back(bone);
        }
    });
    if (static_cast<int>(s.bones.size()) < declared) s.bones.resize(declared);
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Scene lookups
const char* Z1TextureFolder() {
    if (g_settings && g_settings->textureFolder) return g_settings->textureFolder;
    return "textures";
}

void Z1ShowErrorBox(const char* caption, const char* text) {
    if (g_gfxdriver) g_gfxdriver->Pause(true);
    g_imports->ErrorBox(caption, text);
    if (g_gfxdriver) g_gfxdriver->Pause(false);
}

Z1Material* Z1Scene::FindMaterial(const char* name) {
    if (!name) return nullptr;
    for (Z1Material& m : materials)
        if (m.name == name) return &m;
    for (Z1Material& m : materials)
        for (Z1Material& sub : m.submaterials)
            if (sub.name == name) return &sub;
    return nullptr;
}

const Z1SpawnPoint* Z1Scene::FindSpawnPoint(const char* name) const {
    if (!name) return nullptr;
    for (size_t i = spawnPoints.size(); i-- > 0;)
        if (spawnPoints[i].name == name) return &spawnPoints[i];
    return nullptr;
}

std::string Z1ExtraSettingsPath(const char* modelPath) {
    std::string p = modelPath ? modelPath : "";
    if (p.size() >= 2)
        p.resize(p.size() - 2);
    else
        p.clear();
    return p + "ex";
}

// ---------------------------------------------------------------------------
// [SECTION] Reading a file
Z1ReadResult Z1ReadStream(DataFile& file, const char* name, Z1Scene& out) {
    out = Z1Scene();
    out.format = file.ReadByte();
    if (file.AtEnd()) {
        LogLine("Not a valid Z1-file (%s)", name);
        return Z1_READ_BAD_MARKER;
    }
    if (out.format == 0) {
        Z1ShowErrorBox("Error!",
                       "Z1 ASCII format is for debugging only. Please use a binary export for the engine.");
        return Z1_READ_TEXT_FORM;
    }
    LogLine("LOADING Z1 FILE (%s)", name);
    if (file.ReadByte() != kZ1Marker) {
        LogLine("Not a valid Z1-file (%s)", name);
        return Z1_READ_BAD_MARKER;
    }
    out.reserved = file.ReadByte();
    Reader reader(file, out);
    reader.ReadTopLevel();
    return Z1_READ_OK;
}

Z1ReadResult Z1ReadPath(const char* path, Z1Scene& out) {
    DataFile file;
    if (!file.Open(path)) {
        LogLine("ERROR - Could not open Z1 file %s", path);
        return Z1_READ_OPEN_FAILED;
    }
    Z1ReadResult r = Z1ReadStream(file, path, out);
    file.Close();
    if (r != Z1_READ_OK) return r;
    std::string extra = Z1ExtraSettingsPath(path);
    DataFile probe;
    if (probe.Open(extra.c_str())) {
        probe.Close();
        LogLine("------------------ Extra settings file detected ------------------------");
        Z1ReadExtraSettings(extra.c_str(), out);
        LogLine("-------------end of extra settings ------------------");
    }
    return Z1_READ_OK;
}

Z1ReadResult Z1ReadFile(const char* name, Z1Scene& out) {
    std::string path = std::string("z1\\") + (name ? name : "");
    return Z1ReadPath(path.c_str(), out);
}

bool Z1ReadExtraSettings(const char* path, Z1Scene& scene) {
    DataFile f;
    if (!f.Open(path)) return false;
    Z1Material* current = nullptr;
    int level = 0;
    for (;;) {
        char* tok = f.ReadSymbol();
        if (!tok) break;
        if (level == 0 && std::strcmp(tok, "*PLAY_NODE_ANIMATION") == 0) {
            scene.playNodeAnimation = true;
        } else if (level == 0 && std::strcmp(tok, "*MATERIAL") == 0) {
            char* name = f.ReadSymbol();
            current = scene.FindMaterial(name ? name : "");
            if (!current)
                LogLine("Error - could not find material %s", name ? name : "");
            else
                current->hasExtra = true;
            delete[] name;
        } else if (std::strcmp(tok, "{") == 0) {
            level++;
        } else if (std::strcmp(tok, "}") == 0) {
            if (level > 0 && --level == 0) current = nullptr;
        } else if (level > 0 && (std::strcmp(tok, "*MATERIAL_U_ANIMATION") == 0 ||
                                 std::strcmp(tok, "*MATERIAL_V_ANIMATION") == 0)) {
            bool u = tok[10] == 'U';
            char* value = f.ReadSymbol();
            int n = value ? std::atoi(value) : 0;
            delete[] value;
            if (current) {
                if (u)
                    current->scrollU = n;
                else
                    current->scrollV = n;
            }
        }
        delete[] tok;
    }
    f.Close();
    return true;
}
