// z1tool model info / model import / anm info: model and animation files
// through the engine's own readers.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "animation/biped.h"
#include "culling/quadtree.h"
#include "command.h"
#include "json.h"
#include "model_import.h"
#include "models/z1model/z1file.h"
#include "models/z1model/z1model.h"
#include "utility/datafile.h"

namespace {

using json::Float;
using json::Quote;

std::string Vec(const VECTOR& v) { return "[" + Float(v.x) + ", " + Float(v.y) + ", " + Float(v.z) + "]"; }

const char* ClassName(int c) {
    return c == Z1_CLASS_MULTI ? "Multi/Sub-Object" : c == Z1_CLASS_STANDARD ? "Standard" : "";
}

void DumpMaterial(std::ostringstream& o, const Z1Material& m, const std::string& indent) {
    o << indent << "{\"name\": " << Quote(m.name) << ", \"class\": " << Quote(m.className)
      << ", \"kind\": " << Quote(ClassName(m.materialClass));
    static const char* kSlots[Z1_SLOT_COUNT] = {"texture", "opacity", "environment", "other"};
    for (int s = 0; s < Z1_SLOT_COUNT; s++)
        if (m.maps[s].present && m.maps[s].hasBitmap)
            o << ", \"" << kSlots[s]
              << "\": " << Quote(s == Z1_SLOT_OTHER ? m.maps[s].bitmapRaw : m.maps[s].bitmap);
    if (m.twoSided) o << ", \"two_sided\": true";
    if (m.selfIllumination > 0) o << ", \"self_illumination\": " << Float(m.selfIllumination);
    if (m.hasExtra) o << ", \"scroll_u_ms\": " << m.scrollU << ", \"scroll_v_ms\": " << m.scrollV;
    if (!m.submaterials.empty()) {
        o << ",\n" << indent << " \"submaterials\": [\n";
        for (size_t i = 0; i < m.submaterials.size(); i++) {
            DumpMaterial(o, m.submaterials[i], indent + "  ");
            o << (i + 1 < m.submaterials.size() ? ",\n" : "\n");
        }
        o << indent << " ]";
    }
    o << "}";
}

void DumpFrame(std::ostringstream& o, const ModelFrame* f, const std::string& indent) {
    o << indent << "{\"name\": " << Quote(f->name);
    if (!f->parentName.empty()) o << ", \"parent\": " << Quote(f->parentName);
    if (f->hasBox)
        o << ", \"box\": [" << Vec(VECTOR{f->box[0], f->box[1], f->box[2]}) << ", "
          << Vec(VECTOR{f->box[3], f->box[4], f->box[5]}) << "]";
    if (f->track) o << ", \"animated\": true";
    o << ",\n" << indent << " \"submeshes\": [";
    for (size_t i = 0; i < f->submeshes.size(); i++) {
        const Z1SubMesh* s = f->submeshes[i];
        o << (i ? ",\n" : "\n") << indent << "  {\"vertices\": " << s->vertexCount
          << ", \"faces\": " << s->faceCount << ", \"texture\": " << Quote(s->textureName);
        if (!s->alphaName.empty()) o << ", \"alpha\": " << Quote(s->alphaName);
        if (!s->envmapName.empty()) o << ", \"environment\": " << Quote(s->envmapName);
        if (s->transparent) o << ", \"transparent\": true";
        if (s->bones) o << ", \"skinned\": true";
        if (!s->morphTargets.empty()) o << ", \"morph_targets\": " << s->morphTargets.size();
        if (s->quadtree) o << ", \"quadtree_nodes\": " << s->quadtree->NodeCount();
        o << "}";
    }
    o << (f->submeshes.empty() ? "]" : "\n" + indent + " ]");
    if (!f->children.empty()) {
        o << ",\n" << indent << " \"children\": [\n";
        for (size_t i = 0; i < f->children.size(); i++) {
            DumpFrame(o, f->children[i], indent + "  ");
            o << (i + 1 < f->children.size() ? ",\n" : "\n");
        }
        o << indent << " ]";
    }
    o << "}";
}

std::string ReadFailure(Z1ReadResult r, const std::string& path) {
    switch (r) {
    case Z1_READ_OPEN_FAILED: return "ERROR - Could not open Z1 file " + path;
    case Z1_READ_TEXT_FORM:
        return path + ": Z1 ASCII format is for debugging only. Please use a binary export for the engine.";
    default: return "Not a valid Z1-file (" + path + ")";
    }
}

int ModelInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) return z1tool::Usage("model info");
    if (!z1tool::CheckInput(args[0])) return z1tool::kFailed;
    Z1Scene* scene = new Z1Scene();
    Z1ReadResult r = Z1ReadPath(args[0].c_str(), *scene);
    if (r != Z1_READ_OK) {
        delete scene;
        return z1tool::Fail(ReadFailure(r, args[0]));
    }
    Z1Model model;
    std::string base = args[0];
    size_t slash = base.find_last_of("\\/");
    if (slash != std::string::npos) base = base.substr(slash + 1);
    model.LoadScene(scene, base.c_str());
    const Z1Scene& s = *model.data;

    std::ostringstream o;
    o << "{\n  \"file\": " << Quote(args[0]) << ",\n";
    o << "  \"scene\": {\"name\": " << Quote(s.scene.fileName) << ", \"first_frame\": " << s.scene.firstFrame
      << ", \"last_frame\": " << s.scene.lastFrame << ", \"frame_speed\": " << s.scene.frameSpeed
      << ", \"ticks_per_frame\": " << s.scene.ticksPerFrame << "},\n";
    o << "  \"vertices\": " << s.vertexTotal << ", \"faces\": " << s.faceTotal << ",\n";
    o << "  \"box\": [" << Vec(VECTOR{model.box[0], model.box[1], model.box[2]}) << ", "
      << Vec(VECTOR{model.box[3], model.box[4], model.box[5]}) << "],\n";
    o << "  \"frames\": [\n";
    for (size_t i = 0; i < model.topFrames.size(); i++) {
        DumpFrame(o, model.topFrames[i], "    ");
        o << (i + 1 < model.topFrames.size() ? ",\n" : "\n");
    }
    o << "  ],\n  \"materials\": [\n";
    for (size_t i = 0; i < s.materials.size(); i++) {
        DumpMaterial(o, s.materials[i], "    ");
        o << (i + 1 < s.materials.size() ? ",\n" : "\n");
    }
    o << "  ],\n  \"lights\": [";
    for (size_t i = 0; i < s.lights.size(); i++) {
        const Z1Light& l = s.lights[i];
        o << (i ? ",\n" : "\n") << "    {\"name\": " << Quote(l.name)
          << ", \"type\": " << Quote(l.desc.type == LIGHT_DIRECTIONAL ? "directional" : "point")
          << ", \"position\": " << Vec(l.desc.position) << ", \"direction\": " << Vec(l.desc.direction)
          << ", \"color\": " << Vec(VECTOR{l.desc.r, l.desc.g, l.desc.b})
          << ", \"range\": " << Float(l.desc.range) << (l.animations.empty() ? "" : ", \"animated\": true")
          << "}";
    }
    o << (s.lights.empty() ? "],\n" : "\n  ],\n") << "  \"cameras\": [";
    for (size_t i = 0; i < s.cameras.size(); i++) {
        const Z1Camera& c = s.cameras[i];
        o << (i ? ",\n" : "\n") << "    {\"name\": " << Quote(c.name)
          << ", \"position\": " << Vec(c.position);
        if (c.targeted) o << ", \"target\": " << Vec(c.target);
        if (c.hasSettings) o << ", \"fov\": " << Float(c.fov);
        o << "}";
    }
    o << (s.cameras.empty() ? "],\n" : "\n  ],\n") << "  \"spawn_points\": [";
    for (size_t i = 0; i < s.spawnPoints.size(); i++)
        o << (i ? ",\n" : "\n") << "    {\"name\": " << Quote(s.spawnPoints[i].name)
          << ", \"position\": " << Vec(s.spawnPoints[i].position) << "}";
    o << (s.spawnPoints.empty() ? "],\n" : "\n  ],\n") << "  \"bones\": [";
    for (size_t i = 0; i < s.bones.size(); i++)
        o << (i ? ",\n" : "\n") << "    {\"name\": " << Quote(s.bones[i].name)
          << ", \"parent\": " << s.bones[i].parent << ", \"position\": " << Vec(s.bones[i].first)
          << ", \"rotation\": " << Vec(s.bones[i].second) << "}";
    o << (s.bones.empty() ? "]\n" : "\n  ]\n") << "}\n";
    std::fputs(o.str().c_str(), stdout);
    return z1tool::kOk;
}

int AnmInfo(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) return z1tool::Usage("anm info");
    for (const std::string& file : args)
        if (!z1tool::CheckInput(file)) return z1tool::kFailed;
    DataFile f;
    if (!f.Open(args[0].c_str())) return z1tool::Fail("ERROR - Could not open ANM file " + args[0]);
    long size = f.Size();
    int frames = f.ReadShort();
    int bones = f.ReadShort();
    f.Close();
    long expected = 4 + static_cast<long>(frames < 0 ? 0 : frames) * (bones < 0 ? 0 : bones) * 24;
    if (size < 4 || frames <= 0 || bones < 0 || size < expected)
        return z1tool::Fail("ERROR - ANM file " + args[0] + " is too short");
    if (args.size() == 2) {
        // With its model: does the animation fit the skeleton?
        Z1Scene scene;
        Z1ReadResult r = Z1ReadPath(args[1].c_str(), scene);
        if (r != Z1_READ_OK) return z1tool::Fail(ReadFailure(r, args[1]));
        std::vector<BipedBone> list;
        for (const Z1Bone& b : scene.bones)
            list.push_back(BipedBone{b.name, b.parent, b.first, b.second, b.length});
        Biped biped(list);
        if (!biped.LoadAnmPath(args[0].c_str())) {
            if (bones != biped.BoneCount())
                return z1tool::Fail("cannot load " + args[0] +
                                    " into animation because the animation does not fit the biped");
            return z1tool::Fail("ERROR - ANM file " + args[0] + " is too short");
        }
    }
    std::printf(
        "{\n  \"file\": %s,\n  \"frames\": %d,\n  \"bones\": %d,\n  \"frames_per_second\": %d,\n"
        "  \"duration_ms\": %d,\n  \"bytes\": %ld,\n  \"extra_bytes\": %ld\n}\n",
        Quote(args[0]).c_str(), frames, bones, Biped::kFramesPerSecond,
        frames * (1000 / Biped::kFramesPerSecond), size, size - expected);
    return z1tool::kOk;
}

// --scale F and --height H, anywhere among the arguments; the rest stay.
bool ImportOptionsOf(std::vector<std::string>& args, ImportOptions* options, std::string* error) {
    std::vector<std::string> rest;
    int given = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool scale = args[i] == "--scale";
        if (!scale && args[i] != "--height") {
            rest.push_back(args[i]);
            continue;
        }
        char* end = nullptr;
        const double v = i + 1 < args.size() ? std::strtod(args[i + 1].c_str(), &end) : 0.0;
        if (i + 1 >= args.size() || end == args[i + 1].c_str() || *end || !(v > 0.0) || v > 1e9) {
            *error = args[i] + " needs a positive number";
            return false;
        }
        (scale ? options->scale : options->height) = static_cast<float>(v);
        ++given;
        ++i;
    }
    if (given > 1) {
        *error = "give one --scale or one --height";
        return false;
    }
    args = rest;
    return true;
}

int ModelImport(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    ImportOptions options;
    std::string error;
    if (!ImportOptionsOf(args, &options, &error)) return z1tool::Fail(error);
    if (args.size() != 2) return z1tool::Usage("model import");
    if (!z1tool::CheckInput(args[0])) return z1tool::kFailed;
    ImportReport report;
    if (!ImportModel(args[0], args[1], report, &error, options)) return z1tool::Fail(error);
    std::printf(
        "%s: %d objects, %d meshes, %d materials, %d textures, %d bones, %d morph targets, %d animation "
        "frames\n",
        args[1].c_str(), report.objects, report.meshes, report.materials, report.textures, report.bones,
        report.morphTargets, report.anmFrames);
    // The size tells at once whether the model fits the world: the player's
    // eye is 80 units up, a door about 200 high.
    std::printf("%s: %.1f x %.1f x %.1f units (x, y, z), scaled by %g\n", args[1].c_str(), report.size[0],
                report.size[1], report.size[2], report.scale);
    for (const std::string& w : report.warnings) std::fprintf(stderr, "z1tool: warning: %s\n", w.c_str());
    return z1tool::kOk;
}

}  // namespace

Z1TOOL_COMMAND("model info", "FILE.z1",
               "print a model file's frames, materials, lights, cameras, spawn points and bones as JSON",
               ModelInfo);
Z1TOOL_COMMAND("model import", "[--scale F | --height H] SOURCE OUT.z1",
               "convert a model in any format assimp reads into a model file, textures as BMP under "
               "textures\\; --scale multiplies every length, --height makes its largest extent H units (a "
               "person is about 180; the player's eye is 80 up)",
               ModelImport);
Z1TOOL_COMMAND("anm info", "FILE.anm [MODEL.z1]", "print an animation file's frame and bone counts as JSON",
               AnmInfo);
