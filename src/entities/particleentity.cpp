#include "entities/particleentity.h"

#include <cstring>

#include "collision/collision.h"
#include "collision/rayquery.h"
#include "culling/frameview.h"
#include "entities/modelaccess.h"
#include "particle/particle.h"
#include "utility/datafile.h"
#include "utility/log.h"

namespace {

struct SystemByName {
    const char* name;
    ParticleKind kind;
    float spread;
    bool burns;
};

const SystemByName kSystems[] = {
    {"Torch", PARTICLE_TORCH, 5.0f, true},
    {"Smoke", PARTICLE_SMOKE, 28.0f, false},
    {"Camp Fire", PARTICLE_CAMPFIRE, 28.0f, true},
};

// Every system holds at most this many particles.
constexpr int kSystemParticles = 1000;

}  // namespace

std::vector<std::string> ParticleSystemNames() {
    std::vector<std::string> names;
    for (const SystemByName& s : kSystems) names.push_back(s.name);
    return names;
}

ParticleEntity::ParticleEntity(Z1Model* marker, const char* name_, const char* systemName_, float x, float y,
                               float z)
    : Entity(ENTITY_PARTICLE, marker, x, y, z, name_), system(nullptr), systemName(nullptr) {
    if (systemName_) SetSystem(systemName_);
    UpdateBounds();
}

ParticleEntity::~ParticleEntity() {
    delete system;
    delete[] systemName;
}

void ParticleEntity::SetSystem(const char* name_) {
    SetText(&systemName, name_ ? name_ : "");
    delete system;
    system = nullptr;
    burns = false;
    if (EntityRecordsOnly()) return;
    for (const SystemByName& s : kSystems) {
        if (std::strcmp(systemName, s.name) != 0) continue;
        system = CreateParticleSystem(s.kind, kSystemParticles, s.spread);
        burns = s.burns;
        return;
    }
    LogLine("Unknown system : %s", systemName);
}

void ParticleEntity::Update(float seconds) {
    if (system) system->Update(seconds);
}

void ParticleEntity::UpdateBounds() {
    if (system) system->emitter = position;
    float b[6] = {-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};
    ModelBox(model, b);
    if (system) {
        const float s[6] = {system->boxMin.x, system->boxMin.y, system->boxMin.z,
                            system->boxMax.x, system->boxMax.y, system->boxMax.z};
        for (int i = 0; i < 3; ++i) {
            if (s[i] < b[i]) b[i] = s[i];
            if (s[i + 3] > b[i + 3]) b[i + 3] = s[i + 3];
        }
    }
    box[0] = b[0] + position.x;
    box[1] = b[1] + position.y;
    box[2] = b[2] + position.z;
    box[3] = b[3] + position.x;
    box[4] = b[4] + position.y;
    box[5] = b[5] + position.z;
}

void ParticleEntity::Render(CPlane* frustum) {
    DrawMarker(frustum, [](Entity* self, CPlane* f) {
        ParticleEntity* emitter = static_cast<ParticleEntity*>(self);
        if (emitter->system)
            emitter->system->Draw(g_frameView.areaLoaded ? g_frameView.camera : VECTOR(0.0f, 0.0f, 0.0f), f);
    });
}

void ParticleEntity::RayTest(RayQuery* query) {
    if (!query->pickMode) return;
    if (query->markersPickable) {
        Entity::RayTest(query);
        return;
    }
    if (!burns || !system) return;
    const float flames[6] = {position.x + system->boxMin.x,      position.y,
                             position.z + system->boxMin.z,      position.x + system->boxMax.x,
                             position.y + system->FlameHeight(), position.z + system->boxMax.z};
    float distance = 0.0f;
    const float reach = VectorLength(query->end - query->start);
    if (!RayEntersBox(flames, query->start, query->direction, reach, &distance)) return;
    if (query->hitCount > 0 && distance > query->bestDistance) return;
    query->hitEntity = parent ? parent : this;
    query->hitSubMesh = nullptr;
    query->bestDistance = distance;
    query->hitCount += 1;
}

void ParticleEntity::Collide(CollisionPacket* packet) {
    if (!burns || !system) return;
    const float column[6] = {position.x + system->boxMin.x,   position.y,
                             position.z + system->boxMin.z,   position.x + system->boxMax.x,
                             position.y + kFlameColumnHeight, position.z + system->boxMax.z};
    MATRIX identity;
    MatrixIdentity(identity);
    CollideBox(packet, column, identity);
}

Entity* ParticleEntity::Clone() {
    return new ParticleEntity(model, nullptr, systemName ? systemName : "", position.x, position.y,
                              position.z);
}

void ParticleEntity::Save(DataFile* file) {
    SaveCommon(file);
    WriteAreaText(file, systemName ? systemName : "");
}

void ParticleEntity::Load(DataFile* file, int version) {
    LoadCommon(file, version);
    if (version >= 4) {
        char* text = file->ReadString();
        SetSystem(text ? text : "");
        delete[] text;
    }
}
