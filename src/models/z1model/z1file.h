// The model file (".z1" under "z1\"): a binary stream of one-byte tags that
// mirrors the exporter's nested text form, plus the optional extra settings
// file beside it. Z1ReadFile turns a file into a Z1Scene; Z1WriteFile is its
// exact inverse, tag for tag, used by the tools and the tests.
//
// The records keep every value the file carries (also the ones the engine
// never uses) so that a file read and written again says the same thing.
#ifndef ZENDAR_MODELS_Z1MODEL_Z1FILE_H
#define ZENDAR_MODELS_Z1MODEL_Z1FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"

class DataFile;

// Tags of the binary form.
enum Z1Tag : uint8_t {
    Z1_END = 0,
    Z1_OPEN = 1,
    Z1_CLOSE = 2,
    Z1_SCENE = 3,
    Z1_GEOMOBJECT = 4,
    Z1_CAMERAOBJECT = 6,
    Z1_LIGHTOBJECT = 7,
    Z1_GEOMOBJECT2 = 8,
    Z1_MATERIAL_LIST = 9,
    Z1_NODE_TM = 11,
    Z1_NODE_NAME = 12,
    Z1_NODE_PARENT = 13,
    Z1_MESH_COUNT = 14,
    Z1_MESH = 15,
    Z1_MESH_VERTICES = 16,
    Z1_MESH_FACES = 17,
    Z1_MESH_SUBMATERIAL = 18,
    Z1_MESH_LIST = 19,
    Z1_MESH_NUMVERTEX = 20,
    Z1_MESH_NUMFACES = 21,
    Z1_MESH_LISTS = 22,
    Z1_LIGHT_SETTINGS = 23,
    Z1_LIGHT_TYPE = 24,
    Z1_LIGHT_COLOR = 25,
    Z1_LIGHT_INTENS = 26,
    Z1_LIGHT_ASPECT = 29,
    Z1_LIGHT_RANGE = 30,
    Z1_LIGHT_FLAG = 31,
    Z1_CAMERA_SETTINGS = 37,
    Z1_CAMERA_FOV = 38,
    Z1_CAMERA_TYPE = 40,
    Z1_CONTROL_POS_TRACK = 52,
    Z1_CONTROL_ROT_TRACK = 53,
    Z1_POS_SAMPLE = 55,
    Z1_ROT_SAMPLE = 56,
    Z1_ROT_TCB_KEY = 66,
    Z1_POS_TCB_KEY = 70,
    Z1_CONTROL_POS_TCB = 74,
    Z1_CONTROL_ROT_TCB = 76,
    Z1_MATERIAL = 81,
    Z1_MATERIAL_COUNT = 82,
    Z1_MATERIAL_REF = 83,
    Z1_SUBMATERIAL_COUNT = 84,
    Z1_SUBMATERIAL = 85,
    Z1_MATERIAL_NAME = 86,
    Z1_MATERIAL_CLASS = 87,
    Z1_MATERIAL_COLOR2 = 88,
    Z1_MATERIAL_COLOR1 = 89,
    Z1_MATERIAL_COLOR3 = 90,
    Z1_MATERIAL_FLOAT = 91,
    Z1_MATERIAL_SELFILLUM = 92,
    Z1_MATERIAL_TWOSIDED = 93,
    Z1_MAP_NAME = 94,
    Z1_MAP_BITMAP = 98,
    Z1_MAP_PARAM1 = 102,  // to 106
    Z1_MAP_SLOT3 = 108,
    Z1_MAP_DIFFUSE = 109,
    Z1_MAP_OPACITY = 114,
    Z1_MAP_REFLECT = 117,
    Z1_TM_ROW0 = 119,  // to 122
    Z1_TM_POS = 123,
    Z1_TM_ANIMATION = 124,
    Z1_SCENE_FILENAME = 125,
    Z1_SCENE_FIRSTFRAME = 126,
    Z1_SCENE_LASTFRAME = 127,
    Z1_SCENE_FRAMESPEED = 128,
    Z1_SCENE_TICKSPERFRAME = 129,
    Z1_SCENE_COLOR1 = 131,
    Z1_SCENE_COLOR2 = 133,
    Z1_LIST_ID = 136,
    Z1_BOX_MIN = 139,
    Z1_BOX_MAX = 140,
    Z1_TM_ROTAXIS = 141,
    Z1_TM_ROTANGLE = 142,
    Z1_MAP_WRAP_U = 143,
    Z1_MAP_WRAP_V = 144,
    Z1_SPAWNPOINT = 145,
    Z1_MORPH_TARGET = 147,
    Z1_MORPH_ENTRY = 148,
    Z1_BONE_LIST = 149,
    Z1_BONE_COUNT = 150,
    Z1_BONE = 151,
    Z1_BONE_DATA = 152,
    Z1_MESH_BONES = 153,
    Z1_FILLER = 255,
};

// Second byte of every model file.
constexpr uint8_t kZ1Marker = 0x8A;

// Map slots of a material.
enum {
    Z1_SLOT_TEXTURE = 0,
    Z1_SLOT_OPACITY = 1,
    Z1_SLOT_ENVIRONMENT = 2,
    Z1_SLOT_OTHER = 3,
    Z1_SLOT_COUNT = 4
};

struct Z1Map {
    bool present = false;
    std::string name;        // tag 94
    bool hasBitmap = false;  // tag 98 seen
    std::string bitmapRaw;   // tag 98 as written by the exporter ("C:\wood.bmp")
    std::string bitmap;      // slots 0-2: texture folder + raw path less its drive ("textures\wood.bmp")
    float params[5] = {0, 0, 0, 0, 0};  // tags 102-106
    uint8_t wrapU = 1;                  // tag 143: non-zero repeats
    uint8_t wrapV = 1;                  // tag 144
};

enum Z1MaterialClass {
    Z1_CLASS_NONE = 0,
    Z1_CLASS_STANDARD = 1,
    Z1_CLASS_MULTI = 2
};

struct Z1Material {
    std::string name;       // tag 86
    std::string className;  // tag 87 as written
    int materialClass = Z1_CLASS_NONE;
    float color2[3] = {0, 0, 0};  // tag 88: the submesh's second colour
    float color1[3] = {0, 0, 0};  // tag 89: the submesh's first colour
    float color3[3] = {0, 0, 0};  // tag 90
    float value91 = 0;            // tag 91
    float selfIllumination = 0;   // tag 92: above 0 draws unlit
    bool twoSided = false;        // tag 93
    bool textured = false;        // some map names a bitmap
    bool white = false;           // a texture map (tags 108, 109) makes the colours white
    Z1Map maps[Z1_SLOT_COUNT];
    std::vector<Z1Material> submaterials;  // tag 84 count, tag 85 entries
    // From the extra settings file.
    bool hasExtra = false;
    int32_t scrollU = 0;  // ms per full repeat in U
    int32_t scrollV = 0;
};

struct Z1MorphEntry {
    int16_t vertex;
    VECTOR offset;
};

struct Z1MorphTarget {
    std::vector<Z1MorphEntry> entries;
};

struct Z1Mesh {
    int16_t submaterial = 0;                  // tag 18
    int32_t vertexCount = 0;                  // tag 20
    int32_t faceCount = 0;                    // tag 21
    std::vector<VERTEX> vertices;             // tag 16
    std::vector<uint16_t> indices;            // tag 17, three per face
    std::vector<int16_t> bones;               // tag 153, empty when not skinned
    std::vector<Z1MorphTarget> morphTargets;  // tag 147
};

struct Z1MeshList {
    int16_t id = 0;              // tag 136
    std::vector<Z1Mesh> meshes;  // tag 14 count, tag 15 entries
};

struct Z1NodeTransform {
    std::string name;                                               // tag 12
    VECTOR rows[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};  // tags 119-122
    VECTOR pivot = {0, 0, 0};                                       // tag 123
    VECTOR axis = {0, 0, 0};                                        // tag 141
    float angle = 0;                                                // tag 142
};

// Keys as the file holds them (times in ticks).
struct Z1PosKey {
    int32_t time = 0;
    VECTOR p = {0, 0, 0};
    VECTOR extra1 = {0, 0, 0};  // spline keys only
    VECTOR extra2 = {0, 0, 0};
};

struct Z1RotKey {
    int32_t time = 0;
    VECTOR axis = {0, 0, 0};
    float angle = 0;
    float params[5] = {0, 0, 0, 0, 0};  // spline keys only
};

// One animation block (tag 124). Linear and spline keys of one list are kept
// apart, as their blocks are.
struct Z1Animation {
    std::string nodeName;             // tag 12
    std::vector<Z1PosKey> posLinear;  // tag 52 / 55
    std::vector<Z1PosKey> posSpline;  // tag 74 / 70
    std::vector<Z1RotKey> rotLinear;  // tag 53 / 56
    std::vector<Z1RotKey> rotSpline;  // tag 76 / 66
    // Block order as read, so the writer can repeat it: 52, 74, 53, 76.
    std::vector<uint8_t> order;
};

struct Z1GeomObject {
    uint8_t tag = Z1_GEOMOBJECT;  // 4 or 8
    std::string name;             // tag 12
    std::string parent;           // tag 13
    bool hasTransform = false;
    Z1NodeTransform transform;            // tag 11
    int16_t material = -1;                // tag 83
    std::vector<Z1MeshList> meshLists;    // tag 19 (and tag 22 wrapped)
    std::vector<bool> meshListWrapped;    // true for lists that came inside tag 22
    std::vector<Z1Animation> animations;  // tag 124
    bool hasBoxMin = false, hasBoxMax = false;
    VECTOR boxMin = {0, 0, 0};  // tag 139
    VECTOR boxMax = {0, 0, 0};  // tag 140
};

enum {
    Z1_LIGHT_TARGETED = 35,
    Z1_LIGHT_OMNI = 33,
    Z1_CAMERA_TARGETED = 41
};

struct Z1Light {
    std::string name;      // tag 12
    uint8_t typeByte = 0;  // tag 24 as read
    bool hasType = false;
    std::vector<Z1NodeTransform> transforms;  // tag 11, in file order
    bool hasSettings = false;                 // tag 23
    bool hasColor = false, hasIntensity = false, hasAspect = false, hasRange = false;
    float colorRaw[3] = {1, 1, 1};  // tag 25
    float intensity = 1;            // tag 26
    float aspect = 0;               // tag 29
    float rangeRaw = 500;           // tag 30
    bool hasFlag = false;
    uint8_t flag = 0;                     // tag 31
    std::vector<Z1Animation> animations;  // tag 124
    // Derived while reading.
    VECTOR position = {0, 0, 0};
    VECTOR target = {0, 0, 0};
    LightDesc desc{};  // what the engine hands the driver
};

struct Z1Camera {
    std::string name;  // tag 12
    bool hasType = false;
    uint8_t typeByte = 0;  // tag 40
    bool targeted = false;
    std::vector<Z1NodeTransform> transforms;  // tag 11
    bool hasSettings = false;                 // tag 37: the camera object exists
    float fov = 0;                            // tag 38
    int16_t settingsId = 0;                   // tag 136
    std::vector<Z1Animation> animations;      // tag 124
    VECTOR position = {0, 0, 0};
    VECTOR target = {0, 0, 0};
};

struct Z1SpawnPoint {
    std::string name;
    VECTOR position;
};

struct Z1Bone {
    std::string name;
    int16_t parent = -1;        // -1 = root
    VECTOR first = {0, 0, 0};   // rest position relative to the parent
    VECTOR second = {0, 0, 0};  // rest rotation angles
    float length = 0;           // |first|
};

struct Z1SceneInfo {
    std::string fileName;            // tag 125
    int16_t firstFrame = 0;          // tag 126
    int16_t lastFrame = 0;           // tag 127
    int16_t frameSpeed = 0;          // tag 128
    int16_t ticksPerFrame = 0;       // tag 129
    float color1Raw[3] = {0, 0, 0};  // tag 131
    float color2Raw[3] = {0, 0, 0};  // tag 133
    uint32_t color1 = 0;             // 0x00RRGGBB
    uint32_t color2 = 0;
};

// The whole file. Lists are in file order; spawn point lookup takes the last
// one of a name.
struct Z1Scene {
    uint8_t format = 1;    // byte 0 (0 is the refused text form)
    uint8_t reserved = 0;  // byte 2
    bool hasScene = false;
    Z1SceneInfo scene;
    bool hasMaterials = false;
    std::vector<Z1Material> materials;
    std::vector<Z1GeomObject> objects;
    std::vector<Z1Light> lights;
    std::vector<Z1Camera> cameras;
    std::vector<Z1SpawnPoint> spawnPoints;
    bool hasBones = false;
    std::vector<Z1Bone> bones;
    // From the extra settings file ("*PLAY_NODE_ANIMATION"): the geometry
    // objects' node tracks play from the load on, looping; without it they
    // hold their first key.
    bool playNodeAnimation = false;
    // Running totals over all meshes (tags 20 and 21).
    int32_t vertexTotal = 0;
    int32_t faceTotal = 0;

    // Materials first, then each material's sub-materials; first match wins.
    Z1Material* FindMaterial(const char* name);
    const Z1SpawnPoint* FindSpawnPoint(const char* name) const;
};

// Reasons a read gives up.
enum Z1ReadResult {
    Z1_READ_OK = 0,
    Z1_READ_OPEN_FAILED,  // "ERROR - Could not open Z1 file %s"
    Z1_READ_TEXT_FORM,    // the refusal box
    Z1_READ_BAD_MARKER,   // "Not a valid Z1-file (%s)"
};

// Reads "z1\" + name (or, for tools, the exact path with Z1ReadPath) with the
// extra settings file beside it. Logs as the loader does. The text form is
// refused through Z1ShowErrorBox.
Z1ReadResult Z1ReadFile(const char* name, Z1Scene& out);
Z1ReadResult Z1ReadPath(const char* path, Z1Scene& out);
// The tag stream of an already opened file, from byte 0.
Z1ReadResult Z1ReadStream(DataFile& file, const char* name, Z1Scene& out);
// The extra settings file, applied to the scene's materials (and its node
// animation). False when the file does not open.
bool Z1ReadExtraSettings(const char* path, Z1Scene& scene);
// "z1\hut.z1" -> "z1\hut.ex".
std::string Z1ExtraSettingsPath(const char* modelPath);

// Writes the scene; false when the file cannot be created or a write fails.
bool Z1WriteFile(const char* path, const Z1Scene& scene);
bool Z1WriteStream(DataFile& file, const Z1Scene& scene);
// The extra settings file for the materials that carry scrolling and for
// playing node animation; true without writing anything when neither is set.
bool Z1WriteExtraSettings(const char* path, const Z1Scene& scene);

// The refusal box for the exporter's text form: pauses the driver, shows the
// game's error box (g_imports) and resumes.
void Z1ShowErrorBox(const char* caption, const char* text);

// The texture folder of the settings ("textures" without a settings record).
const char* Z1TextureFolder();

#endif
