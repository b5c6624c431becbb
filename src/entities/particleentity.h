// Places a particle system (torch, smoke or camp fire) in the area; drawn in
// the editor with the area's particle marker model.
#ifndef ZENDAR_ENTITIES_PARTICLEENTITY_H
#define ZENDAR_ENTITIES_PARTICLEENTITY_H

#include <string>
#include <vector>

#include "entities/entity.h"

class ParticleSystem;

// How high over a fire's emitter its flames keep the player out: above a
// body's middle, so the flames cannot be climbed like a step.
constexpr float kFlameColumnHeight = 200.0f;

// The system names an emitter knows ("Torch", "Smoke", "Camp Fire"), in the
// order the editor offers them.
std::vector<std::string> ParticleSystemNames();

class ParticleEntity : public Entity {
public:
    ParticleEntity(Z1Model* marker, const char* name, const char* systemName, float x, float y, float z);
    ~ParticleEntity() override;

    void UpdateBounds() override;
    void Render(CPlane* frustum) override;
    Entity* Clone() override;
    void Save(DataFile* file) override;
    void Load(DataFile* file, int version) override;
    // In the editor with its markers shown, the emitter is picked by its
    // marker. Elsewhere only a fire is seen, by its flames: a click on them
    // (the spread square up to where the flames die) takes the thing that
    // burns, the emitter's parent (the camp fire, the torch), or the emitter
    // when it has none. Smoke and the emitter itself take no click.
    void RayTest(RayQuery* query) override;
    // A fire keeps the player out: its flames collide as a column over the
    // emitter, high enough that nobody steps into it. Smoke lets him through.
    void Collide(CollisionPacket* packet) override;

    // Replaces the system by the one the name selects ("Torch", "Smoke",
    // "Camp Fire"); other names log and leave the entity without a system.
    void SetSystem(const char* name);
    void Update(float seconds);

    ParticleSystem* system;
    char* systemName;
    bool burns = false;  // the system is a fire
};

#endif
