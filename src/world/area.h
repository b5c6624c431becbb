// The one loaded place of the game world: the models it uses and the entities
// placed in it, indexed by name, kept in the scene tree (a quadtree over x-z
// of entity boxes) for drawing, picking and collision, and read from and
// written to the area file.
#ifndef ZENDAR_WORLD_AREA_H
#define ZENDAR_WORLD_AREA_H

#include <cstdint>
#include <functional>
#include <vector>

#include "math/zmath.h"
#include "utility/list.h"
#include "utility/stringhashtable.h"
#include "utility/zstring.h"

class CPlane;
class DataFile;
class Entity;
class LightEntity;
class ParticleEntity;
class Z1Model;
class ModelAlphaList;
struct CollisionPacket;
struct RayQuery;

// A scene-tree node: a box over x-z (full y extent) with the entities that
// fit in it but in none of its children.
struct SceneNode {
    explicit SceneNode(const float nodeBox[6]);
    ~SceneNode();  // deletes the children and the entity list, never the entities

    SceneNode* children[4];
    List<Entity*>* entities;
    float box[6];
    VECTOR centre;
    float radius;
    float size;  // the larger of the x and z extents
    bool isLeaf;
};

// Deepest split of the scene tree below its root: keeps absurd coordinates in
// a damaged file from subdividing without end.
constexpr int kMaxSceneDepth = 8;

// The editor's pick reach and the game's click reach.
constexpr int kEditorPickDistance = 50000;
constexpr int kGamePickDistance = 1000;

class Area {
public:
    // Loads the three marker models; registers itself as g_area.
    Area();
    ~Area();

    // Reads "area\" + name, adding to what is already in the area.
    void Load(const char* name);
    // Writes the whole area to "area\" + name as version 8.
    void Save(const char* name);
    // Deletes every entity and model and the tree.
    void Clear();
    // Loads the three marker models again (an area built before the base
    // path was known finds them now); entities keep the markers they have.
    void LoadMarkers();

    bool EnsureModel(const char* name);

    // Creation helpers: build, insert into the scene tree and, when that
    // succeeded, register (and attach to parent). The entity, or null.
    Entity* AddObject(const char* modelName, const char* name, float x, float y, float z, Entity* parent);
    Entity* AddDoor(const char* modelName, const char* name, float x, float y, float z, Entity* parent);
    Entity* AddNPC(const char* modelName, const char* name, float x, float y, float z, Entity* parent);
    Entity* AddLight(const char* name, float x, float y, float z, Entity* parent);
    Entity* AddCamera(const char* name, float x, float y, float z, Entity* parent);
    Entity* AddParticle(const char* name, const char* system, float x, float y, float z, Entity* parent);

    void Register(Entity* entity);
    void Unregister(Entity* entity);
    Entity* FindEntity(const char* name);
    void LinkByName(const char* parentName, const char* childName);
    bool SwapModelTexture(const char* modelName, const char* from, const char* to, int flag);
    void Reinsert(Entity* entity);
    Z1Model* FindModel(const char* name);

    // Script hooks, by the codes of imports/enginecalls.h: rotate by (a, b, c)
    // radians about x, y, z; move to (a, b, c); trigger then unlock; unlock a
    // door. Other codes do nothing.
    void ScriptHook(int code, const char* name, float a, float b, float c);

    // Per-frame services.
    // background, when given, runs between the opaque world and whatever is
    // blended over it (particles, the alpha list).
    void Render(const VECTOR& cameraPosition, const VECTOR& viewDirection, CPlane* frustum,
                const std::function<void()>& background = nullptr);
    void UpdateLights(bool isDay, const VECTOR& cameraPosition);
    void UpdateParticles(float time);

    // Scene tree.
    bool AddToSceneTree(Entity* entity);
    void RemoveFromSceneTree(Entity* entity);
    // Picks through the screen centre up to distance; the caller deletes the
    // record. Null when the view matrix cannot be inverted.
    RayQuery* SelectEntity(const VECTOR& cameraPosition, int distance);
    bool LineOfSight(const VECTOR& from, const VECTOR& to);
    void Collide(CollisionPacket* packet);

    SceneNode* root;
    ModelAlphaList* alphaList;
    Z1Model* lightMarker;
    Z1Model* cameraMarker;
    Z1Model* particleMarker;
    StringHashTable modelTable;
    List<Z1Model*> models;
    StringHashTable entityTable;
    List<Entity*> entities;
    List<LightEntity*> lights;
    List<ParticleEntity*> particles;
    Entity* selected;
    uint8_t lastSpawnType;
    String lastSpawnName;
    VECTOR lookPoint;

private:
    Area(const Area&) = delete;
    Area& operator=(const Area&) = delete;

    // Load's way into an empty area's scene tree: the answers and log lines
    // of AddToSceneTree, entity by entity, while only the box the root would
    // grow to is kept; the tree is then made once, from that box.
    struct SceneTreePlan {
        bool hasRoot = false;
        float box[6];
    };
    bool PlanSceneTreeEntry(Entity* entity, SceneTreePlan& plan);
    void BuildPlannedSceneTree(const SceneTreePlan& plan);

    SceneNode* NewRoot(const float box[6]);
    void RenderNode(SceneNode* node, CPlane* frustum);
    // The visible entities that blend over what is behind them, drawn after
    // the opaque ones in the order the tree met them.
    std::vector<Entity*> blended_;
    void RayNode(SceneNode* node, RayQuery* query);
    void CollideNode(SceneNode* node, CollisionPacket* packet);
    Entity* Place(Entity* entity, Entity* parent);
};

// The area of the running program (the world's); null before it exists.
extern Area* g_area;

#endif
