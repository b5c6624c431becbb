#include "world/area.h"

#include <string>
#include <vector>

#include "culling/frameview.h"
#include "entities/cameraentity.h"
#include "entities/doorentity.h"
#include "entities/lightentity.h"
#include "entities/modelaccess.h"
#include "entities/npcentity.h"
#include "entities/objectentity.h"
#include "entities/particleentity.h"
#include "gfxdriver/gfxdriver.h"
#include "imports/enginecalls.h"
#include "imports/gameimports.h"
#include "settings/settings.h"
#include "utility/datafile.h"
#include "utility/log.h"
#include "world/areafile.h"
#include "world/entitykinds.h"

Area* g_area = nullptr;

static int TuningC() { return g_settings && g_settings->tuningC > 0 ? g_settings->tuningC : 2500; }

Area::Area()
    : root(nullptr),
      alphaList(CreateAlphaList(TuningC())),
      lightMarker(nullptr),
      cameraMarker(nullptr),
      particleMarker(nullptr),
      selected(nullptr),
      lastSpawnType(ENTITY_OBJECT) {
    LoadMarkers();
    g_area = this;
    // The running program's area answers what its entities and glows ask of
    // the frame being drawn.
    g_frameView.areaLoaded = true;
    g_frameView.camera = VECTOR(0.0f, 0.0f, 0.0f);
    g_frameView.lineOfSight = [](const VECTOR& from, const VECTOR& to) {
        return !g_area || g_area->LineOfSight(from, to);
    };
}

void Area::LoadMarkers() {
    // The marker objects stay (entities point at them); only their contents
    // are read again.
    if (!lightMarker) lightMarker = LoadModelOrEmpty(nullptr);
    if (!cameraMarker) cameraMarker = LoadModelOrEmpty(nullptr);
    if (!particleMarker) particleMarker = LoadModelOrEmpty(nullptr);
    ReloadModel(lightMarker, "e_light.z1");
    ReloadModel(cameraMarker, "e_cam.z1");
    ReloadModel(particleMarker, "e_particle.z1");
}

Area::~Area() {
    Clear();
    DeleteModel(lightMarker);
    DeleteModel(cameraMarker);
    DeleteModel(particleMarker);
    DeleteAlphaList(alphaList);
    if (g_area == this) {
        g_area = nullptr;
        g_frameView.areaLoaded = false;
        g_frameView.camera = VECTOR(0.0f, 0.0f, 0.0f);
        g_frameView.lineOfSight = nullptr;
    }
}

void Area::Clear() {
    delete root;
    root = nullptr;
    for (Entity* e : entities) {
        entityTable.Remove(e->name, e);
        delete e;
    }
    entities.SetSize(0);
    lights.SetSize(0);
    particles.SetSize(0);
    for (Z1Model* m : models) {
        modelTable.Remove(ModelName(m), m);
        DeleteModel(m);
    }
    models.SetSize(0);
    selected = nullptr;
}

Z1Model* Area::FindModel(const char* name) { return static_cast<Z1Model*>(modelTable.Find(name)); }

bool Area::EnsureModel(const char* name) {
    if (modelTable.Find(name)) return true;
    LogLine("new model - loading %s", name ? name : "");
    Z1Model* model = LoadModel(name);
    if (!model) {
        LogLine("ERROR - model does not exist");
        return false;
    }
    modelTable.Insert(name, model);
    models.Add(model);
    return true;
}

void Area::Load(const char* name) {
    std::string path = std::string("area\\") + (name ? name : "");
    LogLine("Loading area from file '%s'", path.c_str());
    DataFile file;
    if (!file.Open(path.c_str())) {
        LogLine("Invalid area file - cannot load");
        const std::string why = WhyUnreadable((std::string(GetBasePath()) + path).c_str());
        // Which file and why, for the player as well as the log.
        std::string problem =
            "area file '" + path + "' in '" + GetBasePath() + "' " + (why.empty() ? "cannot be read" : why);
        LogLine("ERROR - %s", problem.c_str());
        if (g_gfxdriver) g_gfxdriver->Pause(true);
        g_imports->ErrorBox(kAreaFileCaption, problem.c_str());
        if (g_gfxdriver) g_gfxdriver->Pause(false);
        return;
    }
    AreaHeader header;
    AreaReadResult result = ReadAreaHeader(file, header);
    if (result == AREA_READ_TOO_OLD) {
        if (g_gfxdriver) g_gfxdriver->Pause(true);
        g_imports->ErrorBox(kAreaTooOldCaption, kAreaTooOldText);
        if (g_gfxdriver) g_gfxdriver->Pause(false);
    }
    if (result != AREA_READ_OK) return;

    // Models: the file's own list, position for position (a model that failed
    // to load leaves a hole, so later indices still name the right model).
    std::vector<std::string> names = ReadAreaModelNames(file, header.modelCount);
    List<Z1Model*> fileModels;
    for (const std::string& modelName : names) {
        Z1Model* model = LoadModel(modelName.c_str());
        fileModels.Add(model);
        if (!model) continue;  // the loader has logged why
        modelTable.Insert(modelName.c_str(), model);
        models.Add(model);
    }

    // Entities in file order; parent indices count them all, so the ones
    // that are not kept hold their place as null. An empty area makes its
    // scene tree once, after the last entity, instead of rebuilding it each
    // time one falls outside the root.
    const bool planTree = !root && entities.Size() == 0;
    SceneTreePlan plan;
    List<Entity*> fileOrder;
    for (int i = 0; i < header.entityCount; ++i) {
        Entity* entity = nullptr;
        if (!ReadAreaEntity(file, header.version, this, entity)) break;
        if (entity && IsModelEntityType(entity->type)) {
            ObjectEntity* object = static_cast<ObjectEntity*>(entity);
            if (object->modelIndex >= 0 && object->modelIndex < fileModels.Size())
                object->model = fileModels[object->modelIndex];
        }
        if (entity) {
            entity->UpdateBounds();
            if (planTree ? PlanSceneTreeEntry(entity, plan) : AddToSceneTree(entity)) {
                Register(entity);
            } else {
                delete entity;
                entity = nullptr;
            }
        }
        fileOrder.Add(entity);
    }
    if (planTree) BuildPlannedSceneTree(plan);
    LinkAreaParents(fileOrder);
    file.Close();
}

void Area::Save(const char* name) {
    std::string path = std::string("area\\") + (name ? name : "");
    DataFile file;
    bool open = file.Open(path.c_str(), true);
    LogLine("Saving area to file '%s'", path.c_str());
    if (!open) return;
    std::vector<std::string> names;
    for (Z1Model* m : models) names.push_back(ModelName(m));
    for (Entity* e : entities) {
        if (!IsModelEntityType(e->type)) continue;
        ObjectEntity* object = static_cast<ObjectEntity*>(e);
        object->modelIndex = object->model ? models.IndexOf(object->model) : -1;
    }
    WriteAreaFile(file, names, entities);
    file.Close();
}

void Area::Register(Entity* entity) {
    if (!entity) return;
    entityTable.Insert(entity->name, entity);
    entities.Add(entity);
    if (entity->type == ENTITY_LIGHT) lights.Add(static_cast<LightEntity*>(entity));
    if (entity->type == ENTITY_PARTICLE) particles.Add(static_cast<ParticleEntity*>(entity));
}

void Area::Unregister(Entity* entity) {
    if (!entity) return;
    entityTable.Remove(entity->name, entity);
    if (entities.IndexOf(entity) >= 0) entities.Remove(entity);
    if (entity->type == ENTITY_LIGHT && lights.IndexOf(static_cast<LightEntity*>(entity)) >= 0)
        lights.Remove(static_cast<LightEntity*>(entity));
    if (entity->type == ENTITY_PARTICLE && particles.IndexOf(static_cast<ParticleEntity*>(entity)) >= 0)
        particles.Remove(static_cast<ParticleEntity*>(entity));
    if (selected == entity) selected = nullptr;
}

Entity* Area::FindEntity(const char* name) { return static_cast<Entity*>(entityTable.Find(name)); }

void Area::LinkByName(const char* parentName, const char* childName) {
    Entity* parent = FindEntity(parentName);
    Entity* child = FindEntity(childName);
    if (!parent || !child || parent == child) return;
    for (Entity* e = parent; e; e = e->parent)
        if (e == child) return;  // would make the child its own ancestor
    if (child->parent) child->parent->RemoveChild(child);
    child->parent = parent;
    parent->AddChild(child);
}

bool Area::SwapModelTexture(const char* modelName, const char* from, const char* to, int flag) {
    Z1Model* model = FindModel(modelName);
    if (!model) return false;
    return ModelSwapTexture(model, from, to, flag);
}

void Area::Reinsert(Entity* entity) {
    if (!entity) return;
    RemoveFromSceneTree(entity);
    if (!AddToSceneTree(entity)) LogLine("Error - could not reinsert entity");
    for (Entity* c = entity->firstChild; c; c = c->nextSibling) Reinsert(c);
}

Entity* Area::Place(Entity* entity, Entity* parent) {
    entity->UpdateBounds();
    if (!AddToSceneTree(entity)) {
        delete entity;
        return nullptr;
    }
    Register(entity);
    if (parent) {
        entity->parent = parent;
        parent->AddChild(entity);
    }
    return entity;
}

Entity* Area::AddObject(const char* modelName, const char* name, float x, float y, float z, Entity* parent) {
    if (!EnsureModel(modelName)) return nullptr;
    Z1Model* model = FindModel(modelName);
    Entity* object = Place(new ObjectEntity(model, name, x, y, z), parent);
    if (!object) return nullptr;
    std::string prefix = std::string(name ? name : "") + "/";
    for (const ModelSpawn& s : ModelLightSpawns(model)) {
        Place(new LightEntity(lightMarker, (prefix + s.name).c_str(), x + s.offset.x, y + s.offset.y,
                              z + s.offset.z, s.light),
              object);
    }
    for (const ModelSpawn& s : ModelCameraSpawns(model)) {
        Place(new CameraEntity(cameraMarker, (prefix + s.name).c_str(), x + s.offset.x, y + s.offset.y,
                               z + s.offset.z),
              object);
    }
    return object;
}

Entity* Area::AddDoor(const char* modelName, const char* name, float x, float y, float z, Entity* parent) {
    if (!EnsureModel(modelName)) return nullptr;
    return Place(new DoorEntity(FindModel(modelName), name, x, y, z), parent);
}

Entity* Area::AddNPC(const char* modelName, const char* name, float x, float y, float z, Entity* parent) {
    if (!EnsureModel(modelName)) return nullptr;
    return Place(new NPCEntity(FindModel(modelName), name, x, y, z), parent);
}

Entity* Area::AddLight(const char* name, float x, float y, float z, Entity* parent) {
    LightEntity* light = new LightEntity(lightMarker, name, x, y, z);
    light->CreateDriverLight();
    return Place(light, parent);
}

Entity* Area::AddCamera(const char* name, float x, float y, float z, Entity* parent) {
    return Place(new CameraEntity(cameraMarker, name, x, y, z), parent);
}

Entity* Area::AddParticle(const char* name, const char* system, float x, float y, float z, Entity* parent) {
    return Place(new ParticleEntity(particleMarker, name, system, x, y, z), parent);
}

void Area::ScriptHook(int code, const char* name, float a, float b, float c) {
    switch (code) {
    case kWorldVectorCallRotate: {
        LogLine("script wants to rotate object %s", name ? name : "");
        Entity* e = FindEntity(name);
        if (!e) return;
        LogLine("found... rotating (%f,%f,%f)", a, b, c);
        e->RotateAxis(VECTOR(1.0f, 0.0f, 0.0f), a);
        e->RotateAxis(VECTOR(0.0f, 1.0f, 0.0f), b);
        e->RotateAxis(VECTOR(0.0f, 0.0f, 1.0f), c);
        Reinsert(e);
        return;
    }
    case kWorldVectorCallMove: {
        LogLine("script wants to move object %s", name ? name : "");
        Entity* e = FindEntity(name);
        if (!e) return;
        LogLine("found, moving..");
        e->MoveTo(a, b, c);
        Reinsert(e);
        return;
    }
    case kWorldCallTrigger: {
        Entity* e = FindEntity(name);
        if (e) {
            LogLine("found entity %s - now triggering", name);
            e->Activate();
        }
        [[fallthrough]];  // a trigger also unlocks
    }
    case kWorldCallUnlock: {
        Entity* e = FindEntity(name);
        if (e && e->type == ENTITY_DOOR) static_cast<DoorEntity*>(e)->doorLocked = false;
        return;
    }
    default: return;
    }
}

void Area::UpdateLights(bool isDay, const VECTOR& camera) {
    for (LightEntity* light : lights) light->Update(isDay, camera);
}

void Area::UpdateParticles(float time) {
    for (ParticleEntity* p : particles)
        if (p->system) p->Update(time);
}
