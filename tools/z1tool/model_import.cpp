// Model import through assimp. The engine's axes are Direct3D's (left-handed,
// y up, clockwise front faces): mirroring z turns assimp's right-handed,
// counter-clockwise scene into it once each triangle's winding is turned. The
// runtime does not apply node transforms to geometry, so every vertex is
// written in model space; the node matrices are kept in the transform blocks.
//
// Index of this file:
// [SECTION] Paths
// [SECTION] Bitmaps
// [SECTION] Matrices
// [SECTION] The converter
// [SECTION] Animation
// [SECTION] Memory bound and entry point
// [SECTION] Reading the source scene
#include "model_import.h"

#include <sys/stat.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#else
#include <direct.h>
#endif

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <set>

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "models/z1model/z1file.h"
#include "utility/datafile.h"
#include "utility/fileio.h"

namespace {

// ---------------------------------------------------------------------------
// [SECTION] Paths
std::string DirOf(const std::string& p) {
    size_t s = p.find_last_of("/\\");
    return s == std::string::npos ? std::string(".") : p.substr(0, s);
}

std::string BaseOf(const std::string& p) {
    size_t s = p.find_last_of("/\\");
    return s == std::string::npos ? p : p.substr(s + 1);
}

std::string StemOf(const std::string& p) {
    std::string b = BaseOf(p);
    size_t dot = b.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? b : b.substr(0, dot);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Names that survive every file system and the engine's paths.
std::string Safe(const std::string& s) {
    std::string out;
    for (char c : s) out += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
    return out.empty() ? std::string("tex") : out;
}

bool MakeDirs(const std::string& path) {
    std::string cur;
    for (size_t i = 0; i <= path.size(); i++) {
        if (i == path.size() || path[i] == '/') {
#if defined(_WIN32)
            if (!cur.empty()) ::_mkdir(cur.c_str());
#else
            if (!cur.empty()) ::mkdir(cur.c_str(), 0755);
#endif
        }
        if (i < path.size()) cur += path[i];
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ---------------------------------------------------------------------------
// [SECTION] Bitmaps
struct Rgba {
    int w = 0, h = 0;
    std::vector<uint8_t> px;  // rows top-down, r g b a
};

void Put16(std::string& b, uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
}
void Put32(std::string& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// An uncompressed 24-bit bitmap, bottom-up; alpha=true writes the alpha
// channel as grey (the engine's alpha maps).
bool WriteBmp(const std::string& path, const Rgba& img, bool alpha) {
    const uint32_t stride = (static_cast<uint32_t>(img.w) * 3 + 3) & ~3u;
    const uint32_t size = stride * img.h;
    std::string b;
    b += "BM";
    Put32(b, 54 + size);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, img.w);
    Put32(b, img.h);
    Put16(b, 1);
    Put16(b, 24);
    Put32(b, 0);
    Put32(b, size);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    for (int y = img.h - 1; y >= 0; y--) {
        const uint8_t* row = &img.px[static_cast<size_t>(y) * img.w * 4];
        for (int x = 0; x < img.w; x++) {
            const uint8_t* p = row + x * 4;
            if (alpha) {
                b += static_cast<char>(p[3]);
                b += static_cast<char>(p[3]);
                b += static_cast<char>(p[3]);
            } else {
                b += static_cast<char>(p[2]);
                b += static_cast<char>(p[1]);
                b += static_cast<char>(p[0]);
            }
        }
        for (uint32_t k = static_cast<uint32_t>(img.w) * 3; k < stride; k++) b += '\0';
    }
    FILE* f = OpenFile(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

bool Decode(const unsigned char* data, int len, Rgba& out) {
    int w, h, n;
    unsigned char* px = stbi_load_from_memory(data, len, &w, &h, &n, 4);
    if (!px) return false;
    out.w = w;
    out.h = h;
    out.px.assign(px, px + static_cast<size_t>(w) * h * 4);
    stbi_image_free(px);
    return w > 0 && h > 0;
}

bool LoadFile(const std::string& path, Rgba& out) {
    FILE* f = OpenFile(path.c_str(), "rb");
    if (!f) return false;
    std::string bytes;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return false;
    return Decode(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()), out);
}

// ---------------------------------------------------------------------------
// [SECTION] Matrices
// assimp's column-vector matrix to the engine's row-vector one, z mirrored.
MATRIX Convert(const aiMatrix4x4& a) {
    static const float s[4] = {1, 1, -1, 1};
    MATRIX m;
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) m[r * 4 + c] = a[c][r] * s[r] * s[c];
    return m;
}

VECTOR Mirror(const aiVector3D& v) { return VECTOR{v.x, v.y, -v.z}; }

VECTOR Direction(const MATRIX& m, const VECTOR& v) {
    VECTOR o{v.x * m[0] + v.y * m[4] + v.z * m[8], v.x * m[1] + v.y * m[5] + v.z * m[9],
             v.x * m[2] + v.y * m[6] + v.z * m[10]};
    return o;
}

// Angles (a, b, c) with MatrixRotationEuler(a, b, c) equal to the rotation
// part of m (scale removed).
VECTOR EulerOf(const MATRIX& in) {
    MATRIX m = in;
    for (int r = 0; r < 3; r++) {
        float len =
            std::sqrt(m[r * 4] * m[r * 4] + m[r * 4 + 1] * m[r * 4 + 1] + m[r * 4 + 2] * m[r * 4 + 2]);
        if (len > 0)
            for (int c = 0; c < 3; c++) m[r * 4 + c] /= len;
    }
    float sb = -m[2];
    sb = std::max(-1.0f, std::min(1.0f, sb));
    float b = std::asin(sb);
    float a, c;
    if (std::fabs(std::cos(b)) > 1e-5f) {
        a = std::atan2(m[6], m[10]);
        c = std::atan2(m[1], m[0]);
    } else {
        c = 0;
        a = std::atan2(-m[9], m[5]);
    }
    return VECTOR{a, b, c};
}

// ---------------------------------------------------------------------------
// [SECTION] The converter
class Importer {
public:
    Importer(const aiScene* scene, const std::string& source, const std::string& out, ImportReport& r)
        : sc(scene), source_dir(DirOf(source)), report(r) {
        base = Safe(StemOf(out));
        std::string dir = DirOf(out);
        root = Lower(BaseOf(dir)) == "z1" ? DirOf(dir) : dir;
        texture_dir = root + "/textures/" + base;
    }

    bool Run(Z1Scene& z, std::string* error);

private:
    const aiScene* sc;
    std::string source_dir, root, texture_dir, base;
    ImportReport& report;
    std::map<std::string, int> bone_index;
    std::vector<const aiNode*> bone_nodes;
    std::vector<int> bone_parent;
    std::vector<aiMatrix4x4> bone_bind;  // model space, the pose the skin was bound in
    std::set<std::string> used_names;
    std::map<std::string, std::string> texture_done;  // source path -> engine stem
    std::set<std::string> texture_stems;

    std::string UniqueName(const std::string& wanted, const char* fallback, int n) {
        std::string name = wanted.empty() ? std::string(fallback) + std::to_string(n) : wanted;
        std::string candidate = name;
        for (int k = 2; used_names.count(candidate); k++) candidate = name + "#" + std::to_string(k);
        used_names.insert(candidate);
        return candidate;
    }

    bool Texture(const aiMaterial* m, Z1Material& zm);
    void Material(const aiMaterial* m, int index, Z1Material& zm);
    void Node(const aiNode* node, const std::string& parent, const aiMatrix4x4& parentGlobal, Z1Scene& z);
    void Bones(Z1Scene& z);
    void Lights(Z1Scene& z);
    void Cameras(Z1Scene& z);
    bool GlobalOf(const aiNode* from, const aiString& name, aiMatrix4x4 acc, aiMatrix4x4& out) const;

public:
    // The bones' animation file beside the game's anims\ folder: the first
    // animation of the source sampled at 25 frames a second, or the rest
    // pose as one frame.
    bool WriteAnimation(const std::string& path, int& frames);
};

bool Importer::GlobalOf(const aiNode* n, const aiString& name, aiMatrix4x4 acc, aiMatrix4x4& out) const {
    acc = acc * n->mTransformation;
    if (n->mName == name) {
        out = acc;
        return true;
    }
    for (unsigned i = 0; i < n->mNumChildren; i++)
        if (GlobalOf(n->mChildren[i], name, acc, out)) return true;
    return false;
}

bool Importer::Texture(const aiMaterial* m, Z1Material& zm) {
    aiString path;
    if (m->GetTexture(aiTextureType_DIFFUSE, 0, &path) != AI_SUCCESS &&
        m->GetTexture(aiTextureType_BASE_COLOR, 0, &path) != AI_SUCCESS)
        return false;
    std::string p = path.C_Str();
    if (p.empty()) return false;
    std::string stem;
    auto done = texture_done.find(p);
    if (done != texture_done.end()) {
        stem = done->second;
        if (stem.empty()) return false;
    } else {
        Rgba img;
        bool ok = false;
        if (const aiTexture* emb = sc->GetEmbeddedTexture(p.c_str())) {
            if (emb->mHeight == 0) {
                ok = Decode(reinterpret_cast<const unsigned char*>(emb->pcData),
                            static_cast<int>(emb->mWidth), img);
            } else if (emb->mWidth > 0 && emb->mWidth < 32768 && emb->mHeight < 32768) {
                img.w = static_cast<int>(emb->mWidth);
                img.h = static_cast<int>(emb->mHeight);
                img.px.resize(static_cast<size_t>(img.w) * img.h * 4);
                for (size_t i = 0; i < static_cast<size_t>(img.w) * img.h; i++) {
                    const aiTexel& t = emb->pcData[i];
                    img.px[i * 4] = t.r;
                    img.px[i * 4 + 1] = t.g;
                    img.px[i * 4 + 2] = t.b;
                    img.px[i * 4 + 3] = t.a;
                }
                ok = true;
            }
        } else {
            std::string q = p;
            std::replace(q.begin(), q.end(), '\\', '/');
            const std::string tries[] = {q[0] == '/' ? q : source_dir + "/" + q, source_dir + "/" + BaseOf(q),
                                         source_dir + "/textures/" + BaseOf(q)};
            for (const std::string& t : tries)
                if ((ok = LoadFile(t, img))) break;
        }
        if (!ok) {
            report.warnings.push_back("texture " + p + " could not be read - material left untextured");
            texture_done[p] = "";
            return false;
        }
        std::string want = Safe(StemOf(p == "" || p[0] == '*' ? "embedded" + p.substr(1) : p));
        stem = want;
        for (int k = 2; texture_stems.count(Lower(stem)); k++) stem = want + "_" + std::to_string(k);
        texture_stems.insert(Lower(stem));
        if (!MakeDirs(texture_dir) || !WriteBmp(texture_dir + "/" + stem + ".bmp", img, false)) {
            report.warnings.push_back("could not write " + texture_dir + "/" + stem + ".bmp");
            texture_done[p] = "";
            return false;
        }
        bool hasAlpha = false;
        for (size_t i = 3; i < img.px.size(); i += 4)
            if (img.px[i] != 255) {
                hasAlpha = true;
                break;
            }
        if (hasAlpha && WriteBmp(texture_dir + "/" + stem + "_a.bmp", img, true)) stem += "|a";
        texture_done[p] = stem;
        report.textures++;
    }
    bool alpha = stem.size() > 2 && stem.compare(stem.size() - 2, 2, "|a") == 0;
    if (alpha) stem.resize(stem.size() - 2);
    // The exporter's form: a drive, then the path below the texture folder.
    const std::string folder = Z1TextureFolder();
    Z1Map& tex = zm.maps[Z1_SLOT_TEXTURE];
    tex.present = true;
    tex.name = "diffuse";
    tex.hasBitmap = true;
    tex.bitmapRaw = "C:\\" + base + "\\" + stem + ".bmp";
    tex.bitmap = folder + "\\" + base + "\\" + stem + ".bmp";
    aiTextureMapMode mode;
    if (m->Get(AI_MATKEY_MAPPINGMODE_U(aiTextureType_DIFFUSE, 0), mode) == AI_SUCCESS)
        tex.wrapU = mode == aiTextureMapMode_Clamp ? 0 : 1;
    if (m->Get(AI_MATKEY_MAPPINGMODE_V(aiTextureType_DIFFUSE, 0), mode) == AI_SUCCESS)
        tex.wrapV = mode == aiTextureMapMode_Clamp ? 0 : 1;
    if (alpha) {
        Z1Map& op = zm.maps[Z1_SLOT_OPACITY];
        op.present = true;
        op.name = "opacity";
        op.hasBitmap = true;
        op.bitmapRaw = "C:\\" + base + "\\" + stem + "_a.bmp";
        op.bitmap = folder + "\\" + base + "\\" + stem + "_a.bmp";
    }
    zm.textured = true;
    zm.white = true;
    return true;
}

void Importer::Material(const aiMaterial* m, int index, Z1Material& zm) {
    aiString name;
    std::string n = m->Get(AI_MATKEY_NAME, name) == AI_SUCCESS ? name.C_Str() : "";
    zm.name = UniqueName(n, "material", index);
    zm.className = "Standard";
    zm.materialClass = Z1_CLASS_STANDARD;
    aiColor3D diffuse(0.8f, 0.8f, 0.8f), ambient(0, 0, 0), specular(0, 0, 0);
    m->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
    m->Get(AI_MATKEY_COLOR_AMBIENT, ambient);
    m->Get(AI_MATKEY_COLOR_SPECULAR, specular);
    // Many formats leave ambient black, which would draw the piece black
    // under the engine's ambient light.
    if (ambient.r + ambient.g + ambient.b <= 0.0f) ambient = diffuse;
    zm.color1[0] = diffuse.r;
    zm.color1[1] = diffuse.g;
    zm.color1[2] = diffuse.b;
    zm.color2[0] = ambient.r;
    zm.color2[1] = ambient.g;
    zm.color2[2] = ambient.b;
    zm.color3[0] = specular.r;
    zm.color3[1] = specular.g;
    zm.color3[2] = specular.b;
    int twoSided = 0;
    if (m->Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS && twoSided) zm.twoSided = true;
    Texture(m, zm);
}

void Importer::Node(const aiNode* node, const std::string& parent, const aiMatrix4x4& parentGlobal,
                    Z1Scene& z) {
    aiMatrix4x4 global = parentGlobal * node->mTransformation;
    MATRIX g = Convert(global);
    Z1GeomObject o;
    o.tag = Z1_GEOMOBJECT;
    o.name = UniqueName(node->mName.C_Str(), "node", static_cast<int>(z.objects.size()));
    o.parent = parent;
    o.hasTransform = true;
    o.transform.name = o.name;
    for (int r = 0; r < 4; r++) o.transform.rows[r] = VECTOR{g[r * 4], g[r * 4 + 1], g[r * 4 + 2]};
    o.transform.pivot = o.transform.rows[3];
    o.material = 0;
    Z1MeshList list;
    bool any = false;
    for (unsigned i = 0; i < node->mNumMeshes; i++) {
        if (node->mMeshes[i] >= sc->mNumMeshes) continue;
        const aiMesh* am = sc->mMeshes[node->mMeshes[i]];
        if (!am || !(am->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) || am->mNumVertices == 0 ||
            am->mNumVertices > 65535)
            continue;
        Z1Mesh mesh;
        mesh.submaterial =
            static_cast<int16_t>(am->mMaterialIndex < sc->mNumMaterials ? am->mMaterialIndex : 0);
        mesh.vertices.resize(am->mNumVertices);
        for (unsigned v = 0; v < am->mNumVertices; v++) {
            VERTEX& out = mesh.vertices[v];
            VECTOR p;
            TransformPoint(g, Mirror(am->mVertices[v]), p);
            VECTOR n = am->HasNormals() ? Direction(g, Mirror(am->mNormals[v])) : VECTOR{0, 1, 0};
            VectorNormalize(n);
            out.x = p.x;
            out.y = p.y;
            out.z = p.z;
            out.nx = n.x;
            out.ny = n.y;
            out.nz = n.z;
            out.tu = am->HasTextureCoords(0) ? am->mTextureCoords[0][v].x : 0.0f;
            out.tv = am->HasTextureCoords(0) ? am->mTextureCoords[0][v].y : 0.0f;
            float pt[6] = {p.x, p.y, p.z, p.x, p.y, p.z};
            if (!any) {
                o.boxMin = VECTOR{pt[0], pt[1], pt[2]};
                o.boxMax = o.boxMin;
                any = true;
            }
            o.boxMin =
                VECTOR{std::min(o.boxMin.x, p.x), std::min(o.boxMin.y, p.y), std::min(o.boxMin.z, p.z)};
            o.boxMax =
                VECTOR{std::max(o.boxMax.x, p.x), std::max(o.boxMax.y, p.y), std::max(o.boxMax.z, p.z)};
        }
        for (unsigned f = 0; f < am->mNumFaces; f++) {
            const aiFace& face = am->mFaces[f];
            if (face.mNumIndices != 3) continue;
            bool valid = true;
            for (int k = 0; k < 3; k++) valid = valid && face.mIndices[k] < am->mNumVertices;
            if (!valid) continue;
            // Mirroring z turns the winding round; the engine's front faces
            // are clockwise, so two corners trade places.
            mesh.indices.push_back(static_cast<uint16_t>(face.mIndices[0]));
            mesh.indices.push_back(static_cast<uint16_t>(face.mIndices[2]));
            mesh.indices.push_back(static_cast<uint16_t>(face.mIndices[1]));
        }
        if (mesh.indices.empty()) continue;
        mesh.vertexCount = static_cast<int32_t>(mesh.vertices.size());
        mesh.faceCount = static_cast<int32_t>(mesh.indices.size() / 3);
        if (am->mNumBones > 0) {
            std::vector<float> best(am->mNumVertices, 0.0f);
            mesh.bones.assign(am->mNumVertices, -1);
            for (unsigned b = 0; b < am->mNumBones; b++) {
                const aiBone* bone = am->mBones[b];
                auto it = bone_index.find(bone->mName.C_Str());
                if (it == bone_index.end()) continue;
                for (unsigned w = 0; w < bone->mNumWeights; w++) {
                    const aiVertexWeight& vw = bone->mWeights[w];
                    if (vw.mVertexId < am->mNumVertices && vw.mWeight > best[vw.mVertexId]) {
                        best[vw.mVertexId] = vw.mWeight;
                        mesh.bones[vw.mVertexId] = static_cast<int16_t>(it->second);
                    }
                }
            }
            if (std::all_of(mesh.bones.begin(), mesh.bones.end(), [](int16_t b) { return b == -1; }))
                mesh.bones.clear();
        }
        for (unsigned a = 0; a < am->mNumAnimMeshes && a < 10; a++) {
            const aiAnimMesh* anim = am->mAnimMeshes[a];
            if (!anim || !anim->mVertices || anim->mNumVertices != am->mNumVertices) continue;
            Z1MorphTarget target;
            bool dropped = false;
            for (unsigned v = 0; v < am->mNumVertices; v++) {
                VECTOR p0, p1;
                TransformPoint(g, Mirror(am->mVertices[v]), p0);
                TransformPoint(g, Mirror(anim->mVertices[v]), p1);
                VECTOR d = p1 - p0;
                if (std::fabs(d.x) + std::fabs(d.y) + std::fabs(d.z) < 1e-6f) continue;
                if (v > 32767) {
                    dropped = true;
                    continue;
                }
                target.entries.push_back(Z1MorphEntry{static_cast<int16_t>(v), d});
            }
            if (dropped)
                report.warnings.push_back("morph target entries past vertex 32767 dropped in " + o.name);
            mesh.morphTargets.push_back(target);
            report.morphTargets++;
        }
        list.meshes.push_back(mesh);
        report.meshes++;
    }
    if (!list.meshes.empty()) {
        o.meshLists.push_back(list);
        o.meshListWrapped.push_back(false);
        o.hasBoxMin = o.hasBoxMax = true;
    }
    z.objects.push_back(o);
    report.objects++;
    const std::string me = o.name;
    for (unsigned i = 0; i < node->mNumChildren; i++) Node(node->mChildren[i], me, global, z);
}

void Importer::Bones(Z1Scene& z) {
    std::set<std::string> names;
    for (unsigned i = 0; i < sc->mNumMeshes; i++)
        for (unsigned b = 0; b < sc->mMeshes[i]->mNumBones; b++)
            names.insert(sc->mMeshes[i]->mBones[b]->mName.C_Str());
    if (names.empty() || !sc->mRootNode) return;
    // Parents before children: the order of a walk through the node tree.
    struct Walk {
        const std::set<std::string>& names;
        std::vector<std::pair<const aiNode*, aiMatrix4x4>> order;
        std::vector<int> parent;
        void Go(const aiNode* n, const aiMatrix4x4& acc, int parentBone) {
            aiMatrix4x4 g = acc * n->mTransformation;
            int me = parentBone;
            if (names.count(n->mName.C_Str())) {
                me = static_cast<int>(order.size());
                order.push_back({n, g});
                parent.push_back(parentBone);
            }
            for (unsigned i = 0; i < n->mNumChildren; i++) Go(n->mChildren[i], g, me);
        }
    } walk{names, {}, {}};
    walk.Go(sc->mRootNode, aiMatrix4x4(), -1);
    // The pose the vertices were bound in is the one the meshes' bone
    // offsets undo; the nodes' own rest transforms may differ from it.
    struct BindWalk {
        const aiScene* sc;
        std::map<std::string, aiMatrix4x4> bind;
        void Go(const aiNode* n, const aiMatrix4x4& acc) {
            aiMatrix4x4 g = acc * n->mTransformation;
            for (unsigned i = 0; i < n->mNumMeshes; i++) {
                if (n->mMeshes[i] >= sc->mNumMeshes) continue;
                const aiMesh* m = sc->mMeshes[n->mMeshes[i]];
                for (unsigned b = 0; b < m->mNumBones; b++) {
                    aiMatrix4x4 offset = m->mBones[b]->mOffsetMatrix;
                    if (!bind.count(m->mBones[b]->mName.C_Str()))
                        bind[m->mBones[b]->mName.C_Str()] = g * offset.Inverse();
                }
            }
            for (unsigned i = 0; i < n->mNumChildren; i++) Go(n->mChildren[i], g);
        }
    } binds{sc, {}};
    binds.Go(sc->mRootNode, aiMatrix4x4());
    for (auto& entry : walk.order) {
        auto b = binds.bind.find(entry.first->mName.C_Str());
        if (b != binds.bind.end()) entry.second = b->second;
    }
    if (walk.order.size() > 32767) {
        report.warnings.push_back("too many bones - skeleton dropped");
        return;
    }
    std::vector<MATRIX> globals;
    for (size_t i = 0; i < walk.order.size(); i++) {
        MATRIX g = Convert(walk.order[i].second);
        globals.push_back(g);
        MATRIX local = g;
        if (walk.parent[i] >= 0) {
            MATRIX inv;
            if (MatrixInvertAffine(inv, globals[walk.parent[i]])) MatrixMultiply(local, g, inv);
        }
        Z1Bone bone;
        bone.name = walk.order[i].first->mName.C_Str();
        bone.parent = static_cast<int16_t>(walk.parent[i]);
        bone.first = VECTOR{local[12], local[13], local[14]};
        bone.second = EulerOf(local);
        bone.length = VectorLength(bone.first);
        bone_index[bone.name] = static_cast<int>(z.bones.size());
        bone_nodes.push_back(walk.order[i].first);
        bone_bind.push_back(walk.order[i].second);
        bone_parent.push_back(walk.parent[i]);
        z.bones.push_back(bone);
    }
    z.hasBones = true;
    report.bones = static_cast<int>(z.bones.size());
}

void Importer::Lights(Z1Scene& z) {
    for (unsigned i = 0; i < sc->mNumLights; i++) {
        const aiLight* l = sc->mLights[i];
        aiMatrix4x4 g;
        if (!sc->mRootNode || !GlobalOf(sc->mRootNode, l->mName, aiMatrix4x4(), g)) g = aiMatrix4x4();
        MATRIX m = Convert(g);
        VECTOR pos;
        TransformPoint(m, Mirror(l->mPosition), pos);
        Z1Light zl;
        zl.name = l->mName.C_Str();
        bool directional = l->mType == aiLightSource_DIRECTIONAL || l->mType == aiLightSource_SPOT;
        zl.hasType = true;
        zl.typeByte = directional ? Z1_LIGHT_TARGETED : Z1_LIGHT_OMNI;
        Z1NodeTransform t;
        t.name = zl.name;
        t.pivot = pos;
        zl.transforms.push_back(t);
        if (directional) {
            VECTOR dir = Direction(m, Mirror(l->mDirection));
            VectorNormalize(dir);
            Z1NodeTransform target;
            target.name = zl.name + ".Target";
            target.pivot = pos + dir * 100.0f;
            zl.transforms.push_back(target);
        }
        float mx = std::max(l->mColorDiffuse.r, std::max(l->mColorDiffuse.g, l->mColorDiffuse.b));
        float scale = mx > 1.0f ? 1.0f / mx : 1.0f;
        zl.hasSettings = zl.hasColor = true;
        zl.colorRaw[0] = l->mColorDiffuse.r * scale;
        zl.colorRaw[1] = l->mColorDiffuse.g * scale;
        zl.colorRaw[2] = l->mColorDiffuse.b * scale;
        z.lights.push_back(zl);
    }
}

void Importer::Cameras(Z1Scene& z) {
    for (unsigned i = 0; i < sc->mNumCameras; i++) {
        const aiCamera* c = sc->mCameras[i];
        aiMatrix4x4 g;
        if (!sc->mRootNode || !GlobalOf(sc->mRootNode, c->mName, aiMatrix4x4(), g)) g = aiMatrix4x4();
        MATRIX m = Convert(g);
        Z1Camera zc;
        zc.name = c->mName.C_Str();
        zc.hasType = true;
        zc.typeByte = Z1_CAMERA_TARGETED;
        zc.targeted = true;
        Z1NodeTransform t;
        t.name = zc.name;
        TransformPoint(m, Mirror(c->mPosition), t.pivot);
        Z1NodeTransform target;
        target.name = zc.name + ".Target";
        TransformPoint(m, Mirror(c->mPosition + c->mLookAt), target.pivot);
        zc.transforms = {t, target};
        zc.position = t.pivot;
        zc.target = target.pivot;
        zc.hasSettings = true;
        zc.fov = c->mHorizontalFOV * 2.0f;
        z.cameras.push_back(zc);
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Animation
namespace {

aiVector3D SampleVec(const aiVectorKey* keys, unsigned n, double t, const aiVector3D& fallback) {
    if (n == 0) return fallback;
    if (t <= keys[0].mTime) return keys[0].mValue;
    for (unsigned i = 0; i + 1 < n; i++)
        if (t < keys[i + 1].mTime) {
            double span = keys[i + 1].mTime - keys[i].mTime;
            float f = span > 0 ? static_cast<float>((t - keys[i].mTime) / span) : 0.0f;
            return keys[i].mValue + (keys[i + 1].mValue - keys[i].mValue) * f;
        }
    return keys[n - 1].mValue;
}

aiQuaternion SampleQuat(const aiQuatKey* keys, unsigned n, double t, const aiQuaternion& fallback) {
    if (n == 0) return fallback;
    if (t <= keys[0].mTime) return keys[0].mValue;
    for (unsigned i = 0; i + 1 < n; i++)
        if (t < keys[i + 1].mTime) {
            double span = keys[i + 1].mTime - keys[i].mTime;
            float f = span > 0 ? static_cast<float>((t - keys[i].mTime) / span) : 0.0f;
            aiQuaternion out;
            aiQuaternion::Interpolate(out, keys[i].mValue, keys[i + 1].mValue, f);
            return out.Normalize();
        }
    return keys[n - 1].mValue;
}

struct Sampler {
    const std::map<std::string, const aiNodeAnim*>& channels;
    const std::map<const aiNode*, int>& bones;
    double tick;
    std::vector<aiMatrix4x4>& globals;
    void Walk(const aiNode* n, const aiMatrix4x4& parent) {
        aiMatrix4x4 local = n->mTransformation;
        auto c = channels.find(n->mName.C_Str());
        if (c != channels.end()) {
            aiVector3D scale, pos;
            aiQuaternion rot;
            local.Decompose(scale, rot, pos);
            const aiNodeAnim* a = c->second;
            scale = SampleVec(a->mScalingKeys, a->mNumScalingKeys, tick, scale);
            rot = SampleQuat(a->mRotationKeys, a->mNumRotationKeys, tick, rot);
            pos = SampleVec(a->mPositionKeys, a->mNumPositionKeys, tick, pos);
            local = aiMatrix4x4(scale, rot, pos);
        }
        aiMatrix4x4 g = parent * local;
        auto b = bones.find(n);
        if (b != bones.end()) globals[b->second] = g;
        for (unsigned i = 0; i < n->mNumChildren; i++) Walk(n->mChildren[i], g);
    }
};

}  // namespace

bool Importer::WriteAnimation(const std::string& path, int& frames) {
    std::map<std::string, const aiNodeAnim*> channels;
    double tps = 25.0, duration = 0.0;
    if (sc->mNumAnimations > 0 && sc->mAnimations[0]) {
        const aiAnimation* a = sc->mAnimations[0];
        for (unsigned i = 0; i < a->mNumChannels; i++)
            channels[a->mChannels[i]->mNodeName.C_Str()] = a->mChannels[i];
        tps = a->mTicksPerSecond > 0 ? a->mTicksPerSecond : 25.0;
        duration = a->mDuration > 0 ? a->mDuration : 0.0;
    }
    std::map<const aiNode*, int> bones;
    for (size_t i = 0; i < bone_nodes.size(); i++) bones[bone_nodes[i]] = static_cast<int>(i);
    double seconds = duration / tps;
    frames = channels.empty() ? 1 : static_cast<int>(std::floor(seconds * 25.0)) + 1;
    frames = std::max(1, std::min(frames, 25 * 120));
    DataFile f;
    if (!MakeDirs(DirOf(path)) || !f.Open(path.c_str(), true)) return false;
    bool ok =
        f.WriteShort(static_cast<int16_t>(frames)) && f.WriteShort(static_cast<int16_t>(bone_nodes.size()));
    std::vector<aiMatrix4x4> globals(bone_nodes.size());
    for (int fr = 0; fr < frames && ok; fr++) {
        if (channels.empty()) {
            globals = bone_bind;  // nothing moves: the skin stays as bound
        } else {
            Sampler s{channels, bones, fr / 25.0 * tps, globals};
            s.Walk(sc->mRootNode, aiMatrix4x4());
        }
        for (size_t i = 0; i < bone_nodes.size(); i++) {
            MATRIX g = Convert(globals[i]);
            MATRIX local = g;
            if (bone_parent[i] >= 0) {
                MATRIX inv;
                if (MatrixInvertAffine(inv, Convert(globals[bone_parent[i]]))) MatrixMultiply(local, g, inv);
            }
            VECTOR angles = EulerOf(local);
            const float v[6] = {local[12], local[13], local[14], angles.x, angles.y, angles.z};
            for (float x : v) ok = f.WriteFloat(x) && ok;
        }
    }
    f.Close();
    return ok;
}

bool Importer::Run(Z1Scene& z, std::string* error) {
    if (!sc->mRootNode) {
        *error = "the source has no scene graph";
        return false;
    }
    z.format = 1;
    z.hasScene = true;
    z.scene.fileName = BaseOf(source_dir);
    z.scene.frameSpeed = 25;
    z.scene.ticksPerFrame = 160;
    z.hasMaterials = true;
    Z1Material multi;
    multi.name = UniqueName(base, "materials", 0);
    multi.className = "Multi/Sub-Object";
    multi.materialClass = Z1_CLASS_MULTI;
    for (unsigned i = 0; i < sc->mNumMaterials; i++) {
        Z1Material zm;
        Material(sc->mMaterials[i], static_cast<int>(i), zm);
        multi.submaterials.push_back(zm);
    }
    if (multi.submaterials.empty()) {
        Z1Material plain;
        plain.name = UniqueName("default", "material", 0);
        plain.className = "Standard";
        plain.materialClass = Z1_CLASS_STANDARD;
        for (int k = 0; k < 3; k++) plain.color1[k] = plain.color2[k] = 0.8f;
        multi.submaterials.push_back(plain);
    }
    report.materials = static_cast<int>(multi.submaterials.size());
    z.materials.push_back(multi);
    Bones(z);
    Node(sc->mRootNode, "", aiMatrix4x4(), z);
    Lights(z);
    Cameras(z);
    if (report.meshes == 0) {
        *error = "no triangle meshes to import";
        return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Memory bound and entry point
namespace {

// AddressSanitizer reserves terabytes of address space for its shadow
// memory, so a bound on it would stop every allocation; under the sanitizer
// its own allocator limits stand in.
#if defined(__SANITIZE_ADDRESS__)
#define ZENDAR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZENDAR_ADDRESS_SANITIZER 1
#endif
#endif

// Some broken files announce billions of vertices, and the importer would
// try to hold them; a bound on the address space turns that into a clean
// failure instead of a machine brought to its knees.
void BoundMemory() {
#if !defined(_WIN32) && !defined(ZENDAR_ADDRESS_SANITIZER)
    const rlim_t kLimit = static_cast<rlim_t>(6) << 30;
    struct rlimit r;
    if (getrlimit(RLIMIT_AS, &r) != 0) return;
    if (r.rlim_cur != RLIM_INFINITY && r.rlim_cur <= kLimit) return;
    r.rlim_cur = kLimit;
    setrlimit(RLIMIT_AS, &r);
#endif
}

bool Import(const std::string& source, const std::string& out, ImportReport& report, std::string* error,
            const ImportOptions& options);

}  // namespace

bool ImportModel(const std::string& source, const std::string& out, ImportReport& report, std::string* error,
                 const ImportOptions& options) {
    BoundMemory();
    try {
        return Import(source, out, report, error, options);
    } catch (const std::bad_alloc&) {
        *error = "out of memory importing " + source;
    } catch (const std::exception& e) {
        *error = "could not import " + source + ": " + e.what();
    }
    return false;
}

// ---------------------------------------------------------------------------
// [SECTION] Reading the source scene
namespace {

// The box around every mesh vertex placed by its nodes, in the source's space.
void SceneBounds(const aiScene* scene, const aiNode* node, aiMatrix4x4 m, aiVector3D& lo, aiVector3D& hi) {
    m = m * node->mTransformation;
    for (unsigned i = 0; i < node->mNumMeshes; i++) {
        const aiMesh* mesh = scene->mMeshes[node->mMeshes[i]];
        for (unsigned v = 0; v < mesh->mNumVertices; v++) {
            const aiVector3D p = m * mesh->mVertices[v];
            lo = aiVector3D(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
            hi = aiVector3D(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
        }
    }
    for (unsigned i = 0; i < node->mNumChildren; i++) SceneBounds(scene, node->mChildren[i], m, lo, hi);
}

aiVector3D SceneSize(const aiScene* scene) {
    const float big = std::numeric_limits<float>::max();
    aiVector3D lo(big, big, big), hi(-big, -big, -big);
    if (scene->mRootNode) SceneBounds(scene, scene->mRootNode, aiMatrix4x4(), lo, hi);
    if (lo.x > hi.x) return aiVector3D(0, 0, 0);
    return hi - lo;
}

bool Import(const std::string& source, const std::string& out, ImportReport& report, std::string* error,
            const ImportOptions& options) {
    Assimp::Importer importer;
    importer.SetPropertyInteger(AI_CONFIG_PP_SLM_VERTEX_LIMIT, 65535);
    importer.SetPropertyInteger(AI_CONFIG_PP_SLM_TRIANGLE_LIMIT, 65535);
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    const unsigned flags = aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                           aiProcess_GenSmoothNormals | aiProcess_SortByPType | aiProcess_SplitLargeMeshes |
                           aiProcess_FlipUVs | aiProcess_ValidateDataStructure | aiProcess_LimitBoneWeights;
    const aiScene* scene = importer.ReadFile(source.c_str(), flags);
    if (!scene) {
        std::string why = importer.GetErrorString();
        *error = "could not import " + source + (why.empty() ? std::string() : ": " + why);
        return false;
    }
    // Every length (vertices, node and animation positions, bone offsets)
    // scaled once, before anything is converted.
    float scale = options.scale;
    if (options.height > 0.0f) {
        // The largest extent, whichever axis the source calls up: a figure
        // made lying down (z up) comes out as tall as one made standing.
        const aiVector3D size = SceneSize(scene);
        const float tall = std::max(size.x, std::max(size.y, size.z));
        if (!(tall > 0.0f)) {
            *error = source + ": the model has no extent to fit";
            return false;
        }
        scale = options.height / tall;
    }
    if (!(scale > 0.0f) || !std::isfinite(scale)) {
        *error = "the scale must be a positive number";
        return false;
    }
    if (scale != 1.0f) {
        importer.SetPropertyFloat(AI_CONFIG_GLOBAL_SCALE_FACTOR_KEY, scale);
        scene = importer.ApplyPostProcessing(aiProcess_GlobalScale);
        if (!scene) {
            *error = "could not scale " + source;
            return false;
        }
    }
    report.scale = scale;
    const aiVector3D size = SceneSize(scene);
    report.size[0] = size.x;
    report.size[1] = size.y;
    report.size[2] = size.z;
    Z1Scene z;
    Importer conv(scene, source, out, report);
    std::string why;
    if (!conv.Run(z, &why)) {
        *error = source + ": " + why;
        return false;
    }
    if (!Z1WriteFile(out.c_str(), z)) {
        *error = "could not write " + out;
        return false;
    }
    if (z.hasBones) {
        // hut.z1 plays anims\hut.anm.
        std::string dir = DirOf(out);
        std::string root = Lower(BaseOf(dir)) == "z1" ? DirOf(dir) : dir;
        std::string name = BaseOf(out);
        name = name.size() >= 2 ? name.substr(0, name.size() - 2) + "anm" : name + ".anm";
        if (!conv.WriteAnimation(root + "/anims/" + name, report.anmFrames)) {
            *error = "could not write " + root + "/anims/" + name;
            return false;
        }
    }
    // What was written must read back.
    Z1Scene check;
    if (Z1ReadPath(out.c_str(), check) != Z1_READ_OK || check.objects.size() != z.objects.size()) {
        *error = "the written file " + out + " does not read back";
        return false;
    }
    return true;
}

}  // namespace
