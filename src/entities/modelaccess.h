// The few things entities and the area ask of a loaded model, in one place.
#ifndef ZENDAR_ENTITIES_MODELACCESS_H
#define ZENDAR_ENTITIES_MODELACCESS_H

#include <string>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"

class CPlane;
class Z1Model;
struct RayQuery;

// A light or camera spawn point of a model: its name, its offset from the
// model's origin and, for lights, the description the model holds.
struct ModelSpawn {
    std::string name;
    VECTOR offset;
    LightDesc light;
};

// Creates and loads a model from its file name; null (and nothing kept) when
// it does not load.
Z1Model* LoadModel(const char* name);
// Creates a model and loads it (a null name only creates it); the object is
// returned even when the load failed (the marker models stay empty then).
Z1Model* LoadModelOrEmpty(const char* name);
// Reads the model's file again into the same object.
void ReloadModel(Z1Model* model, const char* name);
void DeleteModel(Z1Model* model);
const char* ModelName(const Z1Model* model);
bool ModelLoaded(const Z1Model* model);
// The model's box; false (box untouched) when it has no data.
bool ModelBox(const Z1Model* model, float box[6]);
// Draws with the driver's current world matrix; position is the caller's
// (queued with transparent pieces); weights may be null (ten morph weights
// otherwise).
void ModelDraw(Z1Model* model, CPlane* frustum, const VECTOR& position, const float* morphWeights);
// The model's triangles against the query, under the world matrix.
void ModelRayTest(Z1Model* model, RayQuery* query, const MATRIX& world);
bool ModelSwapTexture(Z1Model* model, const char* from, const char* to, int flag);
std::vector<ModelSpawn> ModelLightSpawns(const Z1Model* model);
std::vector<ModelSpawn> ModelCameraSpawns(const Z1Model* model);


// The frame's alpha list (transparent model pieces, drawn after the opaque
// scene, farthest first).
class ModelAlphaList;
ModelAlphaList* CreateAlphaList(int capacity);
void DeleteAlphaList(ModelAlphaList* list);
// Empties the list and makes it the one models queue into (until
// EndAlphaList).
void BeginAlphaList(ModelAlphaList* list);
int AlphaListCount(const ModelAlphaList* list);
// Sorts by camera-space depth (farthest first) and draws every item, putting
// the given colours back after indoor-lit items.
void DrawAlphaList(ModelAlphaList* list, uint32_t ambient, uint32_t fog);
// Models queue into whatever list was in force before BeginAlphaList.
void EndAlphaList(ModelAlphaList* list);
#endif
