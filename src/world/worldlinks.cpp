#include "world/worldlinks.h"

#include "utility/log.h"

bool GameLink::HasItem(const char* item) {
    LogLine("game object not linked - no item '%s'", item ? item : "");
    return false;
}

void GameLink::ShowMessage(const char* text, float seconds) {
    LogLine("game object not linked - message '%s' (%f s)", text ? text : "", seconds);
}

void GameLink::SetPointerMode() { LogLine("game not linked - mouse stays in look mode"); }

ParticleSystem* EffectsLink::CreateSystem(ParticleKind kind, int maxParticles, float spread) {
    LogLine("particle effects not linked - no system of kind %i (%i, %f)", static_cast<int>(kind),
            maxParticles, spread);
    return nullptr;
}

// Systems and glows only exist when a real link made them, so the remaining
// defaults never see one.
void EffectsLink::DestroySystem(ParticleSystem*) {}
void EffectsLink::UpdateSystem(ParticleSystem*, float) {}
void EffectsLink::PlaceSystem(ParticleSystem*, const VECTOR&) {}
void EffectsLink::SystemBox(ParticleSystem*, float box[6]) {
    for (int i = 0; i < 6; ++i) box[i] = 0.0f;
}
void EffectsLink::DrawSystem(ParticleSystem*, CPlane*) {}

LensGlow* EffectsLink::CreateGlow(const VECTOR&, float, float, const char* texture, const char*) {
    LogLine("particle effects not linked - no glow '%s'", texture ? texture : "");
    return nullptr;
}

void EffectsLink::DestroyGlow(LensGlow*) {}
void EffectsLink::PlaceGlow(LensGlow*, const VECTOR&) {}
void EffectsLink::CollectGlow(LensGlow*) {}

bool CollisionLink::TouchesBox(CollisionPacket*, const float*) {
    static bool said = false;
    if (!said) {
        said = true;
        LogLine("collision not linked - entities are not collided");
    }
    return false;
}

void CollisionLink::SetCurrentEntity(CollisionPacket*, Entity*) {}
void CollisionLink::CollideModel(CollisionPacket*, Z1Model*, const MATRIX&) {}
void CollisionLink::CollideBox(CollisionPacket*, const float*, const MATRIX&) {}

uint32_t SkyLink::AmbientColor() {
    static bool said = false;
    if (!said) {
        said = true;
        LogLine("sky not linked - ambient and fog colour 0 after indoor lighting");
    }
    return 0;
}

uint32_t SkyLink::FogColor() { return 0; }

void MessageBoxLink::ShowError(const char* caption, const char* text) {
    LogLine("message box not linked - %s: %s", caption ? caption : "", text ? text : "");
}

static GameLink s_gameLink;
static EffectsLink s_effectsLink;
static CollisionLink s_collisionLink;
static SkyLink s_skyLink;
static MessageBoxLink s_messageBoxLink;

GameLink* g_gameLink = &s_gameLink;
EffectsLink* g_effectsLink = &s_effectsLink;
CollisionLink* g_collisionLink = &s_collisionLink;
SkyLink* g_skyLink = &s_skyLink;
MessageBoxLink* g_messageBoxLink = &s_messageBoxLink;
