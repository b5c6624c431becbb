// The world's calls into systems that live in other modules or come later:
// the game object, particle effects and glows,
// collision, the sky, and the platform's dialogs (the world cannot link the
// game module that owns them). Each is an interface with a
// process-wide pointer; the default implementation writes a log line (per
// call for events, once for per-frame calls) so that a missing link shows in
// the log instead of failing silently. Whichever side lands second installs
// the real one.
#ifndef ZENDAR_WORLD_WORLDLINKS_H
#define ZENDAR_WORLD_WORLDLINKS_H

#include <cstdint>

#include "math/zmath.h"

class CPlane;
class Entity;
class Z1Model;
class ParticleSystem;
class LensGlow;
struct CollisionPacket;

// Game object: the inventory and the on-screen message line.
class GameLink {
public:
    virtual ~GameLink() {}
    virtual bool HasItem(const char* item);
    virtual void ShowMessage(const char* text, float seconds);
    // The world's mouse mode becomes pointer (mode 0): a conversation starts.
    virtual void SetPointerMode();
};

// Particle systems and lens glows.
enum ParticleKind {
    PARTICLE_TORCH,
    PARTICLE_SMOKE,
    PARTICLE_CAMPFIRE
};

class EffectsLink {
public:
    virtual ~EffectsLink() {}
    virtual ParticleSystem* CreateSystem(ParticleKind kind, int maxParticles, float spread);
    virtual void DestroySystem(ParticleSystem* system);
    virtual void UpdateSystem(ParticleSystem* system, float seconds);
    virtual void PlaceSystem(ParticleSystem* system, const VECTOR& position);
    // The system's box relative to its emitter.
    virtual void SystemBox(ParticleSystem* system, float box[6]);
    virtual void DrawSystem(ParticleSystem* system, CPlane* frustum);
    virtual LensGlow* CreateGlow(const VECTOR& position, float width, float height, const char* texture,
                                 const char* alphaMap);
    virtual void DestroyGlow(LensGlow* glow);
    virtual void PlaceGlow(LensGlow* glow, const VECTOR& position);
    // Appends the glow to this frame's glow list.
    virtual void CollectGlow(LensGlow* glow);
};

// Collision against entities (the packet and triangle test live with the
// collision code).
class CollisionLink {
public:
    virtual ~CollisionLink() {}
    // The packet's broad-phase sphere touches the box.
    virtual bool TouchesBox(CollisionPacket* packet, const float box[6]);
    virtual void SetCurrentEntity(CollisionPacket* packet, Entity* entity);
    // The model's triangles under the world matrix.
    virtual void CollideModel(CollisionPacket* packet, Z1Model* model, const MATRIX& world);
    // The box's twelve triangles under the world matrix.
    virtual void CollideBox(CollisionPacket* packet, const float box[6], const MATRIX& world);
};

// Sky: the colours restored after indoor lighting.
class SkyLink {
public:
    virtual ~SkyLink() {}
    virtual uint32_t AmbientColor();
    virtual uint32_t FogColor();
};

// Platform: the modal error box (the driver is paused around it by the
// caller). The game installs one that calls ErrorBox (game/dialogs.h).
class MessageBoxLink {
public:
    virtual ~MessageBoxLink() {}
    virtual void ShowError(const char* caption, const char* text);
};

extern GameLink* g_gameLink;
extern EffectsLink* g_effectsLink;
extern CollisionLink* g_collisionLink;
extern SkyLink* g_skyLink;
extern MessageBoxLink* g_messageBoxLink;

#endif
