#include "world/entitykinds.h"

#include "entities/cameraentity.h"
#include "entities/doorentity.h"
#include "entities/lightentity.h"
#include "entities/npcentity.h"
#include "entities/objectentity.h"
#include "entities/particleentity.h"
#include "world/area.h"

namespace {

// Empty entities for the loader: the record read into them gives the rest;
// kinds that carry their own model are given none (the marker is null).
template <class Kind>
Entity* New(Z1Model* marker) {
    return new Kind(marker, nullptr, 0.0f, 0.0f, 0.0f);
}

template <>
Entity* New<ParticleEntity>(Z1Model* marker) {
    return new ParticleEntity(marker, nullptr, nullptr, 0.0f, 0.0f, 0.0f);
}

// The spawn dialog places through the area's creation helpers.
Entity* SpawnObject(Area& area, const char* model, const char* name, const VECTOR& at) {
    return area.AddObject(model, name, at.x, at.y, at.z, nullptr);
}

Entity* SpawnDoor(Area& area, const char* model, const char* name, const VECTOR& at) {
    return area.AddDoor(model, name, at.x, at.y, at.z, nullptr);
}

Entity* SpawnNPC(Area& area, const char* model, const char* name, const VECTOR& at) {
    return area.AddNPC(model, name, at.x, at.y, at.z, nullptr);
}

Entity* SpawnLight(Area& area, const char*, const char* name, const VECTOR& at) {
    return area.AddLight(name, at.x, at.y, at.z, nullptr);
}

Entity* SpawnCamera(Area& area, const char*, const char* name, const VECTOR& at) {
    return area.AddCamera(name, at.x, at.y, at.z, nullptr);
}

Entity* SpawnParticle(Area& area, const char* system, const char* name, const VECTOR& at) {
    return area.AddParticle(name, system, at.x, at.y, at.z, nullptr);
}

}  // namespace

// clang-format off
const EntityKind kEntityKinds[] = {
    // code          name        marker                 spawn argument create               spawn
    {ENTITY_OBJECT,   "Object",   nullptr,               SPAWN_MODEL,   New<ObjectEntity>,   SpawnObject},
    {ENTITY_LIGHT,    "Light",    &Area::lightMarker,    SPAWN_NOTHING, New<LightEntity>,    SpawnLight},
    {ENTITY_CAMERA,   "Camera",   &Area::cameraMarker,   SPAWN_NOTHING, New<CameraEntity>,   SpawnCamera},
    {ENTITY_PARTICLE, "Particle", &Area::particleMarker, SPAWN_SYSTEM,  New<ParticleEntity>, SpawnParticle},
    {ENTITY_DOOR,     "Door",     nullptr,               SPAWN_MODEL,   New<DoorEntity>,     SpawnDoor},
    {ENTITY_NPC,      "NPC",      nullptr,               SPAWN_MODEL,   New<NPCEntity>,      SpawnNPC},
};
// clang-format on
const int kEntityKindCount = static_cast<int>(sizeof kEntityKinds / sizeof kEntityKinds[0]);

const EntityKind* FindEntityKind(int code) {
    for (const EntityKind& kind : kEntityKinds)
        if (kind.code == code) return &kind;
    return nullptr;
}

const char* EntityTypeName(int code) {
    const EntityKind* kind = FindEntityKind(code);
    return kind ? kind->name : "Unknown Entity";
}

bool IsModelEntityType(int code) {
    const EntityKind* kind = FindEntityKind(code);
    return kind && !kind->marker;
}
