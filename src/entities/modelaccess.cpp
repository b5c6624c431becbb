// Bridge to the model runtime. Until the loaded-model class is available the
// calls below report that no model can be loaded, so areas load with their
// entities but without models.
#include "entities/modelaccess.h"

#include "utility/log.h"

Z1Model* LoadModel(const char* name) {
    LogLine("model runtime not linked - cannot load %s", name ? name : "");
    return nullptr;
}

Z1Model* LoadModelOrEmpty(const char*) { return nullptr; }
void DeleteModel(Z1Model*) {}
const char* ModelName(const Z1Model*) { return ""; }
bool ModelLoaded(const Z1Model*) { return false; }
bool ModelBox(const Z1Model*, float*) { return false; }
void ModelDraw(Z1Model*, const float*) {}
void ModelRayTest(Z1Model*, RayQuery*, const MATRIX&) {}
bool ModelSwapTexture(Z1Model*, const char*, const char*, int) { return false; }
std::vector<ModelSpawn> ModelLightSpawns(const Z1Model*) { return {}; }
std::vector<ModelSpawn> ModelCameraSpawns(const Z1Model*) { return {}; }

class ModelAlphaList {
public:
    int count = 0;
};

ModelAlphaList* CreateAlphaList(int) { return new ModelAlphaList(); }
void DeleteAlphaList(ModelAlphaList* list) { delete list; }
void ResetAlphaList(ModelAlphaList* list) {
    if (list) list->count = 0;
}
int AlphaListCount(const ModelAlphaList* list) { return list ? list->count : 0; }
void DrawAlphaList(ModelAlphaList*) {}
