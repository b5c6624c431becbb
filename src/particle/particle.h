// Fire, smoke and the night sky: small particle systems of textured quads
// that face the camera, are born at an emitter, rise, fade and die. Arrays
// are allocated once; dead particles are replaced by the last live one so
// that running never allocates. Lens glows are single camera-facing quads
// drawn additively while a line of sight to them exists.
#ifndef ZENDAR_PARTICLE_PARTICLE_H
#define ZENDAR_PARTICLE_PARTICLE_H

#include <cstdint>

#include "math/zmath.h"

class CPlane;

struct Particle {
    float x, y, z;
    float vx, vy, vz;
    float life;  // 1.0 at birth, dead at 0 or below
    float size;  // half the quad's edge
};
static_assert(sizeof(Particle) == 32, "a particle is 32 bytes");

class ParticleSystem {
public:
    // Registers texture with its alpha map in the driver and keeps the name.
    ParticleSystem(int capacity, int spread, const char* texture, const char* alphaMap);
    virtual void InitParticle(Particle& particle);
    virtual void Update(float seconds);
    virtual ~ParticleSystem();

    // Initialises up to n particles after the live ones; the number emitted.
    int Emit(int n);
    // The last live particle takes slot i.
    void Kill(int i);
    // Every live particle, facing the camera; culled by the box when a
    // frustum is given.
    void Draw(const VECTOR& camera, CPlane* frustum);
    // The box in world space (emitter + relative box).
    void WorldBox(float out[6]) const;
    // How high above the emitter a particle's quad reaches before it dies
    // (its rise over its life and its half-edge); the box when it never dies.
    float FlameHeight() const;

    char* texture;
    uint8_t additive = 0;
    uint8_t unlit = 0;  // drawn white in its own light, never lit by the driver
    VECTOR emitter;
    VECTOR second;
    VECTOR down;
    int32_t liveCount = 0;
    int32_t capacity;
    Particle* particles;
    VECTOR boxMin;
    VECTOR boxMax;
    float emissionClock = 0.0f;
    float nextEmission = 0.0f;
    int32_t spread;

protected:
    // The rise, aging, growth and emission every fire and smoke shares.
    void StandardUpdate(float seconds);
    // Emitter plus a random offset within the spread square.
    void BirthPosition(Particle& particle);
    void SetBox(float height);

    float agingRate = 0.0f;         // life lost per second
    float sizeFactor = 1.0f;        // per update
    float sizeLimit = 0.0f;         // growth stops at this size (0: no limit)
    float emissionInterval = 0.0f;  // seconds
    int emissionCount = 0;
    float birthVelocity = 0.0f;  // upwards
    float birthSize = 0.0f;

private:
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;
};

// Fire and smoke: particles born in the spread square around the emitter,
// rising at the birth velocity, aging, growing and emitted in bursts. The
// three kinds differ only in their constants.
class RisingParticleSystem : public ParticleSystem {
public:
    using ParticleSystem::ParticleSystem;
    void InitParticle(Particle& particle) override;
    void Update(float seconds) override;
};

class CTorch : public RisingParticleSystem {
public:
    CTorch(int capacity, int spread);
};

class CCampfire : public RisingParticleSystem {
public:
    CCampfire(int capacity, int spread);
};

class CSmoke : public RisingParticleSystem {
public:
    CSmoke(int capacity, int spread);
};

// The systems a particle emitter can run.
enum ParticleKind {
    PARTICLE_TORCH,
    PARTICLE_SMOKE,
    PARTICLE_CAMPFIRE
};

// A new system of that kind (the caller owns it) with room for maxParticles
// particles born within spread of the emitter.
ParticleSystem* CreateParticleSystem(ParticleKind kind, int maxParticles, float spread);

// The star field: every star placed at creation on the upper half of a
// sphere of radius 200 around the camera; stars never change.
class CStars : public ParticleSystem {
public:
    explicit CStars(int count);
    void InitParticle(Particle& particle) override;
    void Update(float seconds) override;
    // Around the camera, without depth buffering; visibility (0..1) scales
    // every star's alpha.
    void DrawStars(const VECTOR& camera, float visibility);
};

constexpr int kStarCount = 150;
constexpr float kStarDistance = 200.0f;

class LensGlow {
public:
    // texture and alphaMap are file names under "textures\lens_fx\".
    LensGlow(const VECTOR& position, float w, float h, const char* texture, const char* alphaMap);
    ~LensGlow();

    void SetTextures(const char* texture, const char* alphaMap);
    void Draw(const VECTOR& camera);

    VECTOR position;
    char* texture = nullptr;
    char* alphaMap = nullptr;
    float w, h;
    uint8_t depthTested = 1;
    uint8_t occlusionTest = 0;
    uint8_t visible = 1;
    int32_t lastTestFrame = 0;
    bool tested = false;  // frame numbers start at 0, so "never" is kept apart

private:
    LensGlow(const LensGlow&) = delete;
    LensGlow& operator=(const LensGlow&) = delete;
};

// Frames between two occlusion tests of one glow.
constexpr int kGlowTestInterval = 8;

// The frame's glow list: emptied before the world draws, filled by the
// lights that are on, drawn after the world in list order.
void ResetGlowList();
void CollectGlow(LensGlow* glow);
int GlowListCount();
void DrawGlowList(const VECTOR& camera);

#endif
