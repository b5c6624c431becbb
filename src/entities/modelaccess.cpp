#include "entities/modelaccess.h"

#include "collision/rayquery.h"
#include "models/z1model/z1model.h"
#include "settings/settings.h"

Z1Model* LoadModel(const char* name) {
    Z1Model* model = new Z1Model();
    if (!model->Load(name ? name : "")) {  // the loader logs why
        delete model;
        return nullptr;
    }
    return model;
}

Z1Model* LoadModelOrEmpty(const char* name) {
    Z1Model* model = new Z1Model();
    if (name) model->Load(name);
    return model;
}

void ReloadModel(Z1Model* model, const char* name) {
    if (model && name) model->Load(name);
}

void DeleteModel(Z1Model* model) { delete model; }

const char* ModelName(const Z1Model* model) { return model ? model->name.c_str() : ""; }

bool ModelLoaded(const Z1Model* model) { return model && model->IsLoaded(); }

bool ModelBox(const Z1Model* model, float box[6]) {
    if (!ModelLoaded(model)) return false;
    for (int i = 0; i < 6; ++i) box[i] = model->box[i];
    return true;
}

void ModelDraw(Z1Model* model, CPlane* frustum, const VECTOR& position, const float* morphWeights) {
    if (!model) return;
    if (morphWeights)
        model->Draw(frustum, position, morphWeights);
    else
        model->Draw(frustum, position);
}

void ModelRayTest(Z1Model* model, RayQuery* query, const MATRIX& world) {
    if (!ModelLoaded(model) || !query) return;
    // The model measures along the ray in its own units; the query compares
    // every entity in world units. A scaled model would otherwise win or
    // lose against the others by its scale.
    MATRIX inverse;
    float modelPerWorld = 1.0f;
    if (MatrixInvertAffine(inverse, world)) {
        VECTOR along;
        TransformPoint(inverse, query->start + query->direction, along);
        VECTOR origin;
        TransformPoint(inverse, query->start, origin);
        modelPerWorld = VectorLength(along - origin);
        if (!(modelPerWorld > 0.0f)) modelPerWorld = 1.0f;
    }
    const float saved = query->bestDistance;
    const int before = query->hitCount;
    query->bestDistance = saved * modelPerWorld;
    model->RayTest(query, world);
    query->bestDistance = query->hitCount > before ? query->bestDistance / modelPerWorld : saved;
}

bool ModelSwapTexture(Z1Model* model, const char* from, const char* to, int flag) {
    return model && model->SwapTexture(from, to, flag != 0);
}

std::vector<ModelSpawn> ModelLightSpawns(const Z1Model* model) {
    std::vector<ModelSpawn> out;
    if (!ModelLoaded(model) || !model->Data()) return out;
    for (const Z1Light& l : model->Data()->lights) {
        ModelSpawn s;
        s.name = l.name;
        s.offset = l.position;
        s.light = l.desc;
        out.push_back(s);
    }
    return out;
}

std::vector<ModelSpawn> ModelCameraSpawns(const Z1Model* model) {
    std::vector<ModelSpawn> out;
    if (!ModelLoaded(model) || !model->Data()) return out;
    for (const Z1Camera& c : model->Data()->cameras) {
        ModelSpawn s;
        s.name = c.name;
        s.offset = c.position;
        s.light = LightDesc{};
        out.push_back(s);
    }
    return out;
}

class ModelAlphaList {
public:
    explicit ModelAlphaList(int capacity) : list(capacity) {}
    AlphaList list;
    AlphaList* previous = nullptr;
};

ModelAlphaList* CreateAlphaList(int capacity) { return new ModelAlphaList(capacity); }

void DeleteAlphaList(ModelAlphaList* list) {
    if (list && g_alpha_list == &list->list) g_alpha_list = list->previous;
    delete list;
}

void BeginAlphaList(ModelAlphaList* list) {
    if (!list) return;
    list->list.Reset();
    list->previous = g_alpha_list;
    g_alpha_list = &list->list;
}

int AlphaListCount(const ModelAlphaList* list) { return list ? list->list.count : 0; }

void DrawAlphaList(ModelAlphaList* list, uint32_t ambient, uint32_t fog) {
    if (!list) return;
    list->list.restoreAmbient = ambient;
    list->list.restoreFog = fog;
    list->list.Render();
}

void EndAlphaList(ModelAlphaList* list) {
    if (list && g_alpha_list == &list->list) g_alpha_list = list->previous;
}
