#include "particle/particle.h"

#include <cmath>
#include <cstring>
#include <string>

#include "culling/cplane.h"
#include "culling/frameview.h"
#include "gfxdriver/gfxdriver.h"
#include "utility/list.h"
#include "utility/log.h"
#include "utility/random.h"

namespace {

const char kParticleFolder[] = "textures\\effects\\particles\\";
const char kGlowFolder[] = "textures\\lens_fx\\";

char* Copy(const char* text) {
    if (!text) return nullptr;
    size_t n = std::strlen(text);
    char* out = new char[n + 1];
    std::memcpy(out, text, n + 1);
    return out;
}

// The blended state a system's quads are drawn in, each quad's fade carried
// in the texture factor; the driver's state is back as it was at the end.
class FadedQuadState {
public:
    FadedQuadState(GfxDriver* d, bool lighting, uint8_t depth, bool additive, const char* texture) : d_(d) {
        d->GetWorldMatrix(&world_);
        lighting_ = d->SetLighting(lighting);
        depth_ = d->SetZBufferMode(depth);
        blending_ = d->SetAlphaBlending(true);
        d->SetBlendMode(additive ? BLEND_ADDITIVE : BLEND_ALPHA);
        d->UseTextureFactorAlpha();
        if (!d->SetTexture(texture)) LogLine("Error setting particle texture %s", texture);
    }
    ~FadedQuadState() {
        d_->UseVertexAlpha();
        d_->SetWorldMatrix(&world_);
        d_->SetLighting(lighting_);
        d_->SetZBufferMode(depth_);
        d_->SetBlendMode(BLEND_ALPHA);
        d_->SetAlphaBlending(blending_);
    }
    FadedQuadState(const FadedQuadState&) = delete;
    FadedQuadState& operator=(const FadedQuadState&) = delete;

private:
    GfxDriver* d_;
    MATRIX world_;
    bool lighting_ = false;
    uint8_t depth_ = 0;
    bool blending_ = false;
};

// The square of half-edge s centred on the origin of a facing matrix, as a
// four-vertex strip: top left, top right, bottom left, bottom right, so the
// texture stands upright.
void FacingQuad(VERTEX q[4], float halfWidth, float halfHeight) {
    const float xs[4] = {-halfWidth, halfWidth, -halfWidth, halfWidth};
    const float ys[4] = {halfHeight, halfHeight, -halfHeight, -halfHeight};
    const float us[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    const float vs[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    for (int i = 0; i < 4; ++i) {
        q[i].x = xs[i];
        q[i].y = ys[i];
        q[i].z = 0.0f;
        q[i].nx = 0.0f;
        q[i].ny = 0.0f;
        q[i].nz = -1.0f;
        q[i].tu = us[i];
        q[i].tv = vs[i];
    }
}

// The same quad carrying its own colour: white, with the given alpha. Fire
// and glows give light, so nothing the sky or the last drawing left in the
// driver may tint them.
void GlowingQuad(LVERTEX q[4], float halfWidth, float halfHeight, uint32_t alpha) {
    VERTEX plain[4];
    FacingQuad(plain, halfWidth, halfHeight);
    for (int i = 0; i < 4; ++i) {
        q[i].x = plain[i].x;
        q[i].y = plain[i].y;
        q[i].z = plain[i].z;
        q[i].reserved = 0;
        q[i].color = PackColor(alpha, 255, 255, 255);
        q[i].specular = 0;
        q[i].tu = plain[i].tu;
        q[i].tv = plain[i].tv;
    }
}

}  // namespace

// --- the base -------------------------------------------------------------

ParticleSystem::ParticleSystem(int capacity_, int spread_, const char* texture_, const char* alphaMap)
    : texture(Copy(texture_ ? texture_ : "")),
      emitter(0.0f, 0.0f, 0.0f),
      second(0.0f, 0.0f, 0.0f),
      down(0.0f, -1.0f, 0.0f),
      capacity(capacity_ > 0 ? capacity_ : 0),
      particles(new Particle[capacity_ > 0 ? capacity_ : 1]()),
      boxMin(0.0f, 0.0f, 0.0f),
      boxMax(0.0f, 0.0f, 0.0f),
      spread(spread_) {
    if (g_gfxdriver) g_gfxdriver->GenerateTexture(texture, alphaMap);
}

ParticleSystem::~ParticleSystem() {
    delete[] particles;
    delete[] texture;
}

void ParticleSystem::InitParticle(Particle& p) { std::memset(&p, 0, sizeof p); }

void ParticleSystem::Update(float) {}

int ParticleSystem::Emit(int n) {
    int room = capacity - liveCount;
    if (n > room) n = room;
    if (n <= 0) return 0;
    for (int i = 0; i < n; ++i) InitParticle(particles[liveCount + i]);
    liveCount += n;
    return n;
}

void ParticleSystem::Kill(int i) {
    if (i < 0 || i >= liveCount) return;
    particles[i] = particles[liveCount - 1];
    --liveCount;
}

void ParticleSystem::BirthPosition(Particle& p) {
    // A spread below 1 has no square to pick from: particles start at the emitter.
    int s = spread;
    float dx = 0.0f, dz = 0.0f;
    if (s > 0) {
        dx = static_cast<float>(Z1Rand() % (2 * s) - s);
        dz = static_cast<float>(Z1Rand() % (2 * s) - s);
    }
    p.x = emitter.x + dx;
    p.y = emitter.y;
    p.z = emitter.z + dz;
}

void ParticleSystem::SetBox(float height) {
    float s = 1.5f * static_cast<float>(spread);
    boxMin = VECTOR(-s, 0.0f, -s);
    boxMax = VECTOR(s, height, s);
}

void ParticleSystem::WorldBox(float out[6]) const {
    out[0] = emitter.x + boxMin.x;
    out[1] = emitter.y + boxMin.y;
    out[2] = emitter.z + boxMin.z;
    out[3] = emitter.x + boxMax.x;
    out[4] = emitter.y + boxMax.y;
    out[5] = emitter.z + boxMax.z;
}

void ParticleSystem::StandardUpdate(float dt) {
    for (int i = 0; i < liveCount; ++i) {
        Particle& p = particles[i];
        p.y += dt * p.vy;
        p.life -= dt * agingRate;
        if (p.life <= 0.0f) {
            // The last particle takes this slot and waits for the next pass.
            Kill(i);
            continue;
        }
        if (sizeLimit <= 0.0f || p.size < sizeLimit) p.size *= sizeFactor;
    }
    emissionClock += dt;
    if (emissionClock - emissionInterval > nextEmission) {
        nextEmission += emissionInterval;
        Emit(emissionCount);
    }
}

float ParticleSystem::FlameHeight() const {
    if (!(agingRate > 0.0f)) return boxMax.y;
    const float reach = birthVelocity / agingRate + birthSize;
    return reach < boxMax.y ? reach : boxMax.y;
}

void ParticleSystem::Draw(const VECTOR& camera, CPlane* frustum) {
    GfxDriver* d = g_gfxdriver;
    if (!d || liveCount <= 0) return;
    if (frustum) {
        float box[6];
        WorldBox(box);
        if (frustum->ClassifyBox(box) == BOX_OUTSIDE) return;
    }
    FadedQuadState state(d, !unlit, ZBUFFER_NOWRITE, additive, texture);
    for (int i = 0; i < liveCount; ++i) {
        const Particle& p = particles[i];
        float a = p.life * 255.0f;
        const uint32_t alpha = a > 0.0f ? static_cast<uint32_t>(a) : 0;
        d->SetTextureFactor(PackColor(alpha, 255, 255, 255));
        MATRIX facing;
        MatrixFacing(facing, VECTOR(p.x, p.y, p.z), camera);
        d->SetWorldMatrix(&facing);
        if (unlit) {
            LVERTEX quad[4];
            GlowingQuad(quad, p.size, p.size, alpha);
            d->DrawStrip(quad, 4);
        } else {
            VERTEX quad[4];
            FacingQuad(quad, p.size, p.size);
            d->DrawStrip(quad, 4);
        }
    }
}

// --- fire and smoke -------------------------------------------------------

void RisingParticleSystem::InitParticle(Particle& p) {
    BirthPosition(p);
    p.vx = 0.0f;
    p.vy = birthVelocity;
    p.vz = 0.0f;
    p.life = 1.0f;
    p.size = birthSize;
}

void RisingParticleSystem::Update(float seconds) { StandardUpdate(seconds); }

CTorch::CTorch(int capacity_, int spread_)
    : RisingParticleSystem(capacity_, spread_,
                           (std::string(kParticleFolder) + "particles01orange.bmp").c_str(),
                           (std::string(kParticleFolder) + "particles01orange_a.bmp").c_str()) {
    additive = 1;
    unlit = 1;  // flames give light: the sky's dims nothing of them
    agingRate = 0.85f;
    sizeFactor = 0.99f;
    emissionInterval = 0.02f;
    emissionCount = 6;
    birthVelocity = 45.0f;
    birthSize = 5.5f;
    SetBox(1200.0f);
}

CCampfire::CCampfire(int capacity_, int spread_)
    : RisingParticleSystem(capacity_, spread_,
                           (std::string(kParticleFolder) + "particles01orange.bmp").c_str(),
                           (std::string(kParticleFolder) + "particles01orange_a.bmp").c_str()) {
    additive = 1;
    unlit = 1;
    agingRate = 0.85f;
    sizeFactor = 0.99f;
    emissionInterval = 0.02f;
    emissionCount = 1;
    birthVelocity = 45.0f;
    birthSize = 5.5f;
    SetBox(60.0f);
}

CSmoke::CSmoke(int capacity_, int spread_)
    : RisingParticleSystem(capacity_, spread_, (std::string(kParticleFolder) + "smoke02.bmp").c_str(),
                           (std::string(kParticleFolder) + "smoke02_a.bmp").c_str()) {
    agingRate = 0.02f;
    sizeFactor = 1.003f;
    sizeLimit = 50.0f;
    emissionInterval = 0.8f;
    emissionCount = 1;
    birthVelocity = 25.0f;
    birthSize = 35.5f;
    SetBox(1200.0f);
}

// --- stars ----------------------------------------------------------------

CStars::CStars(int count)
    : ParticleSystem(count, 0, "textures\\lens_fx\\star01.bmp", "textures\\lens_fx\\star01alpha.bmp") {
    Emit(count);
}

void CStars::InitParticle(Particle& p) {
    const float kTwoPi = 6.28318530718f;
    float a = static_cast<float>(Z1Rand() % 255) * kTwoPi / 255.0f;
    float b = static_cast<float>(Z1Rand() % 255) * kTwoPi / 255.0f;
    VECTOR dir(std::cos(b) * std::sin(a), std::fabs(std::sin(b) * std::sin(a)), std::cos(a));
    VectorSetLength(dir, kStarDistance);
    p.x = dir.x;
    p.y = dir.y;
    p.z = dir.z;
    p.vx = p.vy = p.vz = 0.0f;
    p.life = 1.0f;
    p.size = static_cast<float>(Z1Rand() % 255) / 255.0f * 0.5f + 0.3f;
}

void CStars::Update(float) {}

void CStars::DrawStars(const VECTOR& camera, float visibility) {
    GfxDriver* d = g_gfxdriver;
    if (!d || liveCount <= 0 || visibility <= 0.0f) return;
    FadedQuadState state(d, false, ZBUFFER_OFF, additive, texture);
    if (visibility > 1.0f) visibility = 1.0f;
    for (int i = 0; i < liveCount; ++i) {
        const Particle& p = particles[i];
        float a = p.life * visibility * 255.0f;
        d->SetTextureFactor(PackColor(a > 0.0f ? static_cast<uint32_t>(a) : 0, 255, 255, 255));
        MATRIX facing;
        MatrixFacing(facing, camera + VECTOR(p.x, p.y, p.z), camera);
        d->SetWorldMatrix(&facing);
        VERTEX quad[4];
        FacingQuad(quad, p.size, p.size);
        d->DrawStrip(quad, 4);
    }
}

// --- lens glows -----------------------------------------------------------

LensGlow::LensGlow(const VECTOR& position_, float w_, float h_, const char* texture_, const char* alpha_)
    : position(position_), w(w_), h(h_) {
    SetTextures(texture_, alpha_);
}

LensGlow::~LensGlow() {
    delete[] texture;
    delete[] alphaMap;
}

void LensGlow::SetTextures(const char* texture_, const char* alpha_) {
    delete[] texture;
    delete[] alphaMap;
    texture = Copy((std::string(kGlowFolder) + (texture_ ? texture_ : "")).c_str());
    alphaMap = (alpha_ && alpha_[0]) ? Copy((std::string(kGlowFolder) + alpha_).c_str()) : nullptr;
    if (g_gfxdriver) g_gfxdriver->GenerateTexture(texture, alphaMap);
}

void LensGlow::Draw(const VECTOR& camera) {
    GfxDriver* d = g_gfxdriver;
    if (!d) return;
    if (occlusionTest && (!tested || d->frames - lastTestFrame >= kGlowTestInterval)) {
        visible = (!g_frameView.lineOfSight || g_frameView.lineOfSight(camera, position)) ? 1 : 0;
        lastTestFrame = d->frames;
        tested = true;
    }
    if (!visible) return;

    MATRIX savedWorld;
    d->GetWorldMatrix(&savedWorld);
    MATRIX facing;
    MatrixFacing(facing, position, camera);
    d->SetWorldMatrix(&facing);
    bool oldBlending = d->SetAlphaBlending(alphaMap != nullptr);
    uint8_t oldDepth = d->SetZBufferMode(depthTested ? ZBUFFER_ON : ZBUFFER_OFF);
    bool oldLighting = d->SetLighting(false);
    d->SetTexture(texture);
    d->SetBlendMode(BLEND_ADDITIVE);
    LVERTEX quad[4];
    GlowingQuad(quad, w, h, 255);
    d->DrawStrip(quad, 4);
    d->SetBlendMode(BLEND_ALPHA);
    d->SetAlphaBlending(oldBlending);
    d->SetZBufferMode(oldDepth);
    d->SetLighting(oldLighting);
    d->SetWorldMatrix(&savedWorld);
}

// --- the frame's glow list ------------------------------------------------

namespace {
List<LensGlow*>& Glows() {
    static List<LensGlow*> list;
    return list;
}
}  // namespace

void ResetGlowList() { Glows().SetSize(0); }
void CollectGlow(LensGlow* glow) {
    if (glow) Glows().Add(glow);
}
int GlowListCount() { return Glows().Size(); }
void DrawGlowList(const VECTOR& camera) {
    List<LensGlow*>& list = Glows();
    for (int i = 0; i < list.Size(); ++i) list[i]->Draw(camera);
}

ParticleSystem* CreateParticleSystem(ParticleKind kind, int maxParticles, float spread) {
    int s = static_cast<int>(spread);
    switch (kind) {
    case PARTICLE_TORCH: return new CTorch(maxParticles, s);
    case PARTICLE_SMOKE: return new CSmoke(maxParticles, s);
    case PARTICLE_CAMPFIRE: return new CCampfire(maxParticles, s);
    }
    return nullptr;
}
