// Index of this file:
// [SECTION] Day tracks
// [SECTION] Dome
// [SECTION] Reading the day cycle
// [SECTION] Textures
// [SECTION] Colours and bodies at a time
// [SECTION] Update
// [SECTION] Drawing
#include "world/sky.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "particle/particle.h"
#include "settings/settings.h"
#include "utility/datafile.h"
#include "utility/log.h"

namespace {

const float kPi = 3.14159265358979f;
const char kMoonTexture[] = "textures\\sky\\moon\\moon01.bmp";
const char kMidMonthMoonTexture[] = "textures\\sky\\moon\\moon15.bmp";
const char kSunTexture[] = "textures\\sky\\sun\\sun.bmp";
const char kSunGlowTexture[] = "textures\\lens_fx\\glow01.bmp";
const float kSkyDistance = 200.0f;
const float kMoonHalfSize = 10.0f;
const float kSunHalfSize = 15.0f;
const float kSunGlowHalfSize = 40.0f;

uint32_t ColorByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<uint32_t>(v);
}

PackedColor Pack(const float c[3], float alpha = 255.0f) {
    return PackColor(ColorByte(alpha), ColorByte(c[0]), ColorByte(c[1]), ColorByte(c[2]));
}

// The integer value of the next token; false at the end of the file.
bool ReadIntToken(DataFile& file, int32_t& out) {
    char* token = file.ReadToken();
    if (!token) return false;
    out = SettingsInteger(token);
    delete[] token;
    return true;
}

const char* TextureFolder() {
    return g_settings && g_settings->textureFolder ? g_settings->textureFolder : "textures";
}

}  // namespace

const char* const kMoonAlphaMaps[kMoonPhases] = {
    "textures\\sky\\moon\\moon01_alpha.bmp", "textures\\sky\\moon\\moon02_alpha.bmp",
    "textures\\sky\\moon\\moon03_alpha.bmp", "textures\\sky\\moon\\moon04_alpha.bmp",
    "textures\\sky\\moon\\moon05_alpha.bmp", "textures\\sky\\moon\\moon06_alpha.bmp",
    "textures\\sky\\moon\\moon07_alpha.bmp", "textures\\sky\\moon\\moon08_alpha.bmp",
    "textures\\sky\\moon\\moon09_alpha.bmp", "textures\\sky\\moon\\moon10_alpha.bmp",
    "textures\\sky\\moon\\moon11_alpha.bmp", "textures\\sky\\moon\\moon12_alpha.bmp",
    "textures\\sky\\moon\\moon13_alpha.bmp", "textures\\sky\\moon\\moon14_alpha.bmp",
    "textures\\sky\\moon\\moon15_alpha.bmp", "textures\\sky\\moon\\moon16_alpha.bmp",
    "textures\\sky\\moon\\moon17_alpha.bmp", "textures\\sky\\moon\\moon18_alpha.bmp",
    "textures\\sky\\moon\\moon19_alpha.bmp", "textures\\sky\\moon\\moon20_alpha.bmp",
    "textures\\sky\\moon\\moon21_alpha.bmp", "textures\\sky\\moon\\moon22_alpha.bmp",
    "textures\\sky\\moon\\moon23_alpha.bmp", "textures\\sky\\moon\\moon24_alpha.bmp",
    "textures\\sky\\moon\\moon25_alpha.bmp", "textures\\sky\\moon\\moon26_alpha.bmp",
    "textures\\sky\\moon\\moon27_alpha.bmp", "textures\\sky\\moon\\moon28_alpha.bmp",
};

// ---------------------------------------------------------------------------
// [SECTION] Day tracks
void DayTrack::AddKey(int32_t time, float a, float b, float c) {
    Key k{time, {a, b, c}};
    auto at = std::upper_bound(keys.begin(), keys.end(), time,
                               [](int32_t t, const Key& key) { return t < key.time; });
    keys.insert(at, k);
}

void DayTrack::Evaluate(float time, float out[3]) const {
    if (keys.empty()) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    if (time <= keys.front().time) {
        std::memcpy(out, keys.front().value, sizeof(float) * 3);
        return;
    }
    if (time >= keys.back().time) {
        std::memcpy(out, keys.back().value, sizeof(float) * 3);
        return;
    }
    size_t i = 1;
    while (i < keys.size() && keys[i].time < time) ++i;
    const Key& a = keys[i - 1];
    const Key& b = keys[i];
    float span = static_cast<float>(b.time - a.time);
    float h = span > 0.0f ? (time - static_cast<float>(a.time)) / span : 1.0f;
    for (int c = 0; c < 3; ++c) out[c] = a.value[c] + (b.value[c] - a.value[c]) * h;
}


// ---------------------------------------------------------------------------
// [SECTION] Dome
Sky::Sky() : moonDirection(0.0f, 0.0f, 0.0f), sunDirection(0.0f, 0.0f, 0.0f) {
    // The index list is the same for both layers and every density.
    int n = 0;
    for (int j = 0; j < kDomeSide - 1; ++j) {
        for (int i = 0; i < kDomeSide - 1; ++i) {
            uint16_t e = static_cast<uint16_t>(i + kDomeSide * j);
            const uint16_t tri[6] = {static_cast<uint16_t>(e + 9),  static_cast<uint16_t>(e + 10), e,
                                     static_cast<uint16_t>(e + 10), static_cast<uint16_t>(e + 1),  e};
            for (uint16_t v : tri) indices[n++] = v;
        }
    }
    BuildDome();
    // The density moves only the texture coordinates: the pieces, which
    // depend on the grids' positions alone, are cut once.
    BuildDualLayer();
}

Sky::~Sky() { delete stars; }

namespace {

struct Point3 {
    double x, y, z;
};

Point3 operator+(const Point3& a, const Point3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Point3 operator-(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point3 operator*(const Point3& a, double k) { return {a.x * k, a.y * k, a.z * k}; }
Point3 Cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A triangle of a layer as seen from the eye (the origin of the dome),
// corners in the order that faces the eye; triangle -1 for the skirt.
struct LayerTriangle {
    Point3 corner[3];
    int triangle;
};

// Weights of x (on the triangle's plane) for the three corners.
void Barycentric(const LayerTriangle& t, const Point3& x, float out[3]) {
    const Point3 n = Cross(t.corner[1] - t.corner[0], t.corner[2] - t.corner[0]);
    const double area = Dot(n, n);
    const double w0 = Dot(n, Cross(t.corner[1] - x, t.corner[2] - x)) / area;
    const double w1 = Dot(n, Cross(t.corner[2] - x, t.corner[0] - x)) / area;
    out[0] = static_cast<float>(w0);
    out[1] = static_cast<float>(w1);
    out[2] = static_cast<float>(1.0 - w0 - w1);
}

// Keeps the part of the convex polygon where Dot(normal, x) >= 0.
void ClipPolygon(std::vector<Point3>& polygon, const Point3& normal) {
    std::vector<Point3> out;
    const size_t n = polygon.size();
    for (size_t i = 0; i < n; ++i) {
        const Point3& p = polygon[i];
        const Point3& q = polygon[(i + 1) % n];
        const double dp = Dot(normal, p), dq = Dot(normal, q);
        if (dp >= 0.0) out.push_back(p);
        if ((dp > 0.0 && dq < 0.0) || (dp < 0.0 && dq > 0.0)) out.push_back(p + (q - p) * (dp / (dp - dq)));
    }
    polygon.swap(out);
}

}  // namespace

void Sky::BuildDualLayer() {
    // Orientation of a triangle seen from the eye: the sign of its normal
    // towards the eye. The dome's triangles all face it; the skirt is made to.
    auto facing = [](const Point3& a, const Point3& b, const Point3& c) {
        return Dot(Cross(b - a, c - a), a);
    };
    std::vector<LayerTriangle> tris[2];
    double front = 0.0;
    for (int layer = 0; layer < 2; ++layer) {
        auto at = [&](int index) {
            const LVERTEX& v = layers[layer][index];
            return Point3{v.x, v.y, v.z};
        };
        for (int t = 0; t < kDomeIndices / 3; ++t) {
            LayerTriangle tri{{at(indices[3 * t]), at(indices[3 * t + 1]), at(indices[3 * t + 2])}, t};
            const double f = facing(tri.corner[0], tri.corner[1], tri.corner[2]);
            if (front == 0.0) front = f;
            if ((f > 0.0) == (front > 0.0)) tris[layer].push_back(tri);  // else culled when drawn alone
        }
        // The skirt: a wall from the rim straight down, so that every line of
        // sight through the other layer's rim meets this layer somewhere.
        const int rim[4][2] = {{0, 1},
                               {kDomeSide - 1, kDomeSide},
                               {kDomeVertices - 1, -1},
                               {kDomeSide * (kDomeSide - 1), -kDomeSide}};
        for (const auto& side : rim) {
            for (int k = 0; k < kDomeSide - 1; ++k) {
                const Point3 a = at(side[0] + side[1] * k), b = at(side[0] + side[1] * (k + 1));
                const Point3 a2{a.x, a.y - 4000.0, a.z}, b2{b.x, b.y - 4000.0, b.z};
                for (const LayerTriangle& t :
                     {LayerTriangle{{a, b, b2}, -1}, LayerTriangle{{a, b2, a2}, -1}}) {
                    LayerTriangle w = t;
                    if ((facing(w.corner[0], w.corner[1], w.corner[2]) > 0.0) != (front > 0.0))
                        std::swap(w.corner[1], w.corner[2]);
                    tris[layer].push_back(w);
                }
            }
        }
    }

    dualPoints.clear();
    dualIndices.clear();
    std::vector<Point3> polygon;
    // The second layer's skirt first: the last corner drawn is then on the
    // second layer's own last triangle, and its colour is the one the driver
    // leaves current, as after the second layer's own pass.
    std::stable_partition(tris[1].begin(), tris[1].end(),
                          [](const LayerTriangle& t) { return t.triangle < 0; });
    for (const LayerTriangle& b : tris[1]) {
        for (const LayerTriangle& a : tris[0]) {
            if (a.triangle < 0 && b.triangle < 0) continue;  // neither layer seen
            polygon.assign(a.corner, a.corner + 3);
            // The part of a seen through b: inside the three planes through
            // the eye and b's edges.
            for (int e = 0; e < 3 && polygon.size() >= 3; ++e) {
                Point3 normal = Cross(b.corner[e], b.corner[(e + 1) % 3]);
                if (Dot(normal, b.corner[(e + 2) % 3]) < 0.0) normal = normal * -1.0;
                ClipPolygon(polygon, normal);
            }
            if (polygon.size() < 3) continue;
            double area = 0.0;
            for (size_t i = 1; i + 1 < polygon.size(); ++i) {
                const Point3 c = Cross(polygon[i] - polygon[0], polygon[i + 1] - polygon[0]);
                area += std::sqrt(Dot(c, c));
            }
            if (area < 1e-6) continue;  // a shared edge, no surface
            const Point3 bNormal = Cross(b.corner[1] - b.corner[0], b.corner[2] - b.corner[0]);
            const size_t first = dualPoints.size();
            for (const Point3& x : polygon) {
                DualPoint p;
                p.x = static_cast<float>(x.x);
                p.y = static_cast<float>(x.y);
                p.z = static_cast<float>(x.z);
                p.triangle[0] = static_cast<int16_t>(a.triangle);
                p.triangle[1] = static_cast<int16_t>(b.triangle);
                Barycentric(a, x, p.weight[0]);
                // Along the line of sight to b's plane.
                const double t = Dot(bNormal, b.corner[0]) / Dot(bNormal, x);
                Barycentric(b, x * t, p.weight[1]);
                p.q = static_cast<float>(1.0 / t);
                dualPoints.push_back(p);
            }
            for (size_t i = 1; i + 1 < polygon.size(); ++i) {
                dualIndices.push_back(static_cast<uint16_t>(first));
                dualIndices.push_back(static_cast<uint16_t>(first + i));
                dualIndices.push_back(static_cast<uint16_t>(first + i + 1));
            }
        }
    }
    dualVertices.resize(dualPoints.size());
}

void Sky::BuildDome() {
    for (int layer = 0; layer < 2; ++layer) {
        float lift = layer == 0 ? 100.0f : 120.0f;
        for (int j = 0; j < kDomeSide; ++j) {
            for (int i = 0; i < kDomeSide; ++i) {
                LVERTEX& v = layers[layer][i + kDomeSide * j];
                v.x = static_cast<float>((i - 4) * 200);
                v.z = static_cast<float>((4 - j) * 200);
                v.y = (v.x * v.x + v.z * v.z) * -0.0005f + lift;
                v.reserved = 0;
                v.color = PackColor(255, 255, 255, 255);
                v.specular = 0;
                v.tu = static_cast<float>(i) * density * 0.125f;
                v.tv = density - static_cast<float>(j) * density * 0.125f;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Reading the day cycle
bool Sky::Parse(const char* path) {
    DataFile file;
    if (!path || !file.Open(path)) return false;
    return Parse(file);
}

bool Sky::ParseFrame(DataFile& file, WeatherFrame& frame) {
    for (;;) {
        char* token = file.ReadToken();
        if (!token) return false;  // the block never closed
        if (!std::strcmp(token, "}")) {
            delete[] token;
            return true;
        }
        if (token[0] != '*') {
            delete[] token;
            continue;
        }
        std::string key = token;
        delete[] token;
        std::string* path = nullptr;
        if (key == "*TEXTURE1")
            path = &frame.texture1;
        else if (key == "*ALPHAMAP1")
            path = &frame.alpha1;
        else if (key == "*TEXTURE2")
            path = &frame.texture2;
        else if (key == "*ALPHAMAP2")
            path = &frame.alpha2;
        if (path) {
            char* line = file.ReadLine();
            if (!line) return false;
            *path = std::string(TextureFolder()) + line;
            delete[] line;
            continue;
        }
        DayTrack* track = nullptr;
        if (key == "*BGCOLOR")
            track = &frame.background;
        else if (key == "*SUN_COLOR")
            track = &frame.sun;
        else if (key == "*SUN_LIGHT")
            track = &frame.sunlight;
        else if (key == "*FOG_COLOR")
            track = &frame.fog;
        else if (key == "*AMBIENT")
            track = &frame.ambient;
        else if (key == "*LAYER_COLOR")
            track = &frame.layer;
        if (track) {
            int32_t v[4];
            for (int32_t& x : v)
                if (!ReadIntToken(file, x)) return false;
            track->AddKey(v[0], static_cast<float>(v[1]), static_cast<float>(v[2]), static_cast<float>(v[3]));
            continue;
        }
        if (key == "*SUNPOWER") {
            int32_t t, power;
            if (!ReadIntToken(file, t) || !ReadIntToken(file, power)) return false;
            frame.sunPower.AddKey(t, static_cast<float>(power) / 255.0f);
            continue;
        }
        // Any other starred key is skipped; the next token is read as a key again.
    }
}

bool Sky::Parse(DataFile& file) {
    if (!file.IsOpen()) return false;
    LogLine("********* PARSING DAYCYCLE ***********");
    while (char* token = file.ReadToken()) {
        std::string key = token;
        delete[] token;
        if (key.empty() || key[0] != '*') continue;
        if (key == "*SECSPERDAY") {
            int32_t v;
            if (!ReadIntToken(file, v)) break;
            secondsPerDay = v;
        } else if (key == "*DENSITY") {
            char* value = file.ReadToken();
            if (!value) break;
            float d = static_cast<float>(std::atof(value));
            delete[] value;
            // A density that is not a finite number would poison every texture coordinate.
            density = std::isfinite(d) ? d : 8.0f;
            BuildDome();
        } else if (key == "*LAYER1USPEED" || key == "*LAYER1VSPEED" || key == "*LAYER2USPEED" ||
                   key == "*LAYER2VSPEED") {
            int32_t v;
            if (!ReadIntToken(file, v)) break;
            layerSpeed[key[6] - '1'][key[7] == 'U' ? 0 : 1] = v;
        } else if (key == "*WEATHER_FRAME") {
            int32_t w;
            WeatherFrame frame;
            if (!ReadIntToken(file, w) || !ParseFrame(file, frame)) {
                LogLine("Error loading weather keyframe");
                break;
            }
            frame.weather = static_cast<uint8_t>(w);
            frames.push_back(frame);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Textures
void Sky::CreateResources() {
    GfxDriver* d = g_gfxdriver;
    if (d) {
        for (const WeatherFrame& f : frames) {
            d->GenerateTexture(f.texture1.c_str(), f.alpha1.empty() ? nullptr : f.alpha1.c_str());
            d->GenerateTexture(f.texture2.c_str(), f.alpha2.empty() ? nullptr : f.alpha2.c_str());
        }
        d->GenerateTexture(kMoonTexture, "textures\\sky\\moon\\moon01_alpha.bmp");
        d->GenerateTexture(kMidMonthMoonTexture, "textures\\sky\\moon\\moon15_alpha.bmp");
        d->GenerateTexture("textures\\sky\\sun\\sun_white.bmp", "textures\\sky\\sun\\sun_alpha.bmp");
        d->GenerateTexture(kSunTexture, "textures\\sky\\sun\\sun_a.bmp");
        d->GenerateTexture(kSunGlowTexture, "textures\\lens_fx\\glow01_a.bmp");
    }
    LogLine(" ### Creating stars");
    delete stars;
    stars = new CStars(kStarCount);
    LogLine(" ### Stars done");
    if (d) {
        LightDesc desc{};
        desc.type = LIGHT_DIRECTIONAL;
        desc.direction = VECTOR(0.0f, -1.0f, 0.0f);
        desc.r = desc.g = desc.b = 1.0f;
        desc.range = 100000.0f;
        sunLight = d->CreateLight(desc);
        LogLine("Sun got ID %i", sunLight);
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Colours and bodies at a time
void Sky::FindFrames(int w, int& first, int& next, float& factor) const {
    first = -1;
    next = -1;
    factor = 0.0f;
    if (frames.empty()) return;
    for (size_t i = 0; i < frames.size(); ++i)
        if (static_cast<int>(frames[i].weather) <= w) first = static_cast<int>(i);
    if (first < 0) first = 0;  // below every frame: the first frame alone
    if (first + 1 < static_cast<int>(frames.size())) next = first + 1;
    if (next >= 0) {
        int a = frames[first].weather, b = frames[next].weather;
        if (w > a && b != a) factor = static_cast<float>(w - a) / static_cast<float>(b - a);
        if (factor < 0.0f) factor = 0.0f;
        if (factor > 1.0f) factor = 1.0f;
    }
}

SkyColors Sky::ColorsAt(int t, int w) const {
    SkyColors out;
    int first, next;
    float f;
    FindFrames(w, first, next, f);
    if (first < 0) return out;
    const WeatherFrame& a = frames[first];
    const WeatherFrame* b = next >= 0 ? &frames[next] : nullptr;
    const float time = static_cast<float>(t);
    auto blend = [&](DayTrack WeatherFrame::*track, float* dst) {
        float va[3], vb[3];
        (a.*track).Evaluate(time, va);
        if (b && f > 0.0f) {
            (b->*track).Evaluate(time, vb);
            for (int c = 0; c < 3; ++c) dst[c] = va[c] * (1.0f - f) + vb[c] * f;
        } else {
            for (int c = 0; c < 3; ++c) dst[c] = va[c];
        }
    };
    blend(&WeatherFrame::background, out.background);
    blend(&WeatherFrame::fog, out.fog);
    blend(&WeatherFrame::ambient, out.ambient);
    blend(&WeatherFrame::layer, out.layer);
    blend(&WeatherFrame::sun, out.sun);
    blend(&WeatherFrame::sunlight, out.sunlight);
    float power[3];
    blend(&WeatherFrame::sunPower, power);
    out.sunPower = power[0];
    return out;
}

float Sky::StarVisibility(int t) {
    if (t >= 6000 && t <= 18000) return 0.0f;
    if (t >= 5001 && t <= 5999) return (6000.0f - static_cast<float>(t)) / 1000.0f;
    if (t >= 18001 && t <= 18999) return 1.0f - (19000.0f - static_cast<float>(t)) / 1000.0f;
    return 1.0f;
}

VECTOR Sky::SunDirection(int t) {
    float a = (static_cast<float>(t) - 6000.0f) / 12000.0f * kPi;
    VECTOR d(std::cos(a), std::sin(a), 0.5f * std::sin(a));
    VectorSetLength(d, kSkyDistance);
    return d;
}

VECTOR Sky::MoonDirection(int t) {
    float a = t < 18000 ? (static_cast<float>(t) + 6000.0f) / 12000.0f * kPi
                        : (static_cast<float>(t) - 18000.0f) / 12000.0f * kPi;
    VECTOR d(std::cos(a), std::sin(a), 0.5f * std::sin(a));
    VectorSetLength(d, kSkyDistance);
    return d;
}

PackedColor Sky::BackgroundColor() const { return Pack(colors.background); }
PackedColor Sky::FogColor() const { return Pack(colors.fog); }
PackedColor Sky::AmbientColor() const { return Pack(colors.ambient); }

// ---------------------------------------------------------------------------
// [SECTION] Update
void Sky::Update(int t, int d, int w, uint32_t now) {
    timeOfDay = t;
    day = d;
    weather = w;
    colors = ColorsAt(t, w);
    starVisibility = StarVisibility(t);
    sunDirection = SunDirection(t);
    moonDirection = MoonDirection(t);

    if (scrolled) {
        float elapsed = static_cast<float>(now - lastScroll);
        for (int layer = 0; layer < 2; ++layer) {
            float du = layerSpeed[layer][0] > 0 ? elapsed / static_cast<float>(layerSpeed[layer][0]) : 0.0f;
            float dv = layerSpeed[layer][1] > 0 ? elapsed / static_cast<float>(layerSpeed[layer][1]) : 0.0f;
            // Whole texture units change nothing on screen; dropping them keeps
            // the coordinates small enough for float precision in long sessions.
            float wrapU = std::floor(layers[layer][0].tu + du);
            float wrapV = std::floor(layers[layer][0].tv + dv);
            if (std::fabs(wrapU) < 1024.0f) wrapU = 0.0f;
            if (std::fabs(wrapV) < 1024.0f) wrapV = 0.0f;
            for (LVERTEX& v : layers[layer]) {
                v.tu += du - wrapU;
                v.tv += dv - wrapV;
            }
        }
    }
    lastScroll = now;
    scrolled = true;

    PackedColor layerColor = Pack(colors.layer);
    for (int layer = 0; layer < 2; ++layer)
        for (LVERTEX& v : layers[layer]) v.color = layerColor;

    GfxDriver* drv = g_gfxdriver;
    if (!drv) return;
    drv->SetAmbientColor(AmbientColor());
    if (sunLight >= 0) {
        LightDesc desc{};
        desc.type = LIGHT_DIRECTIONAL;
        desc.direction = -sunDirection;
        VectorNormalize(desc.direction);
        desc.r = colors.sunlight[0] / 255.0f;
        desc.g = colors.sunlight[1] / 255.0f;
        desc.b = colors.sunlight[2] / 255.0f;
        desc.range = 100000.0f;
        drv->SetLight(sunLight, desc);
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Drawing
namespace {

PackedColor WeightedColor(const LVERTEX* grid, const uint16_t* corners, const float w[3]) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        float sum = 0.0f;
        for (int c = 0; c < 3; ++c)
            sum += w[c] * static_cast<float>((grid[corners[c]].color >> shift) & 0xFF);
        out |= static_cast<uint32_t>(std::min(255.0f, std::max(0.0f, sum + 0.5f))) << shift;
    }
    return out;
}

}  // namespace

bool Sky::DrawDualLayer(const char* texture1, const char* texture2) {
    GfxDriver* d = g_gfxdriver;
    if (dualPoints.empty()) return false;
    // The fog depth of each grid corner, as the fixed-function pipeline takes
    // it: the distance along the view direction, interpolated over a triangle.
    MATRIX world, view;
    d->GetWorldMatrix(&world);
    d->GetViewMatrix(&view);
    float depth[2][kDomeVertices];
    for (int layer = 0; layer < 2; ++layer) {
        for (int i = 0; i < kDomeVertices; ++i) {
            const LVERTEX& v = layers[layer][i];
            float p[3];
            for (int c = 0; c < 3; ++c)
                p[c] = v.x * world.m[c] + v.y * world.m[4 + c] + v.z * world.m[8 + c] + world.m[12 + c];
            depth[layer][i] = std::fabs(p[0] * view.m[2] + p[1] * view.m[6] + p[2] * view.m[10] + view.m[14]);
        }
    }
    for (size_t i = 0; i < dualPoints.size(); ++i) {
        const DualPoint& p = dualPoints[i];
        DUALVERTEX& v = dualVertices[i];
        v.x = p.x;
        v.y = p.y;
        v.z = p.z;
        float tu[2] = {0.0f, 0.0f}, tv[2] = {0.0f, 0.0f}, fog[2] = {0.0f, 0.0f};
        PackedColor color[2];
        for (int layer = 0; layer < 2; ++layer) {
            const LVERTEX* grid = layers[layer];
            if (p.triangle[layer] < 0) {  // the skirt: nothing of this layer
                color[layer] = grid[0].color & 0x00FFFFFFu;
                continue;
            }
            const uint16_t* corners = &indices[3 * p.triangle[layer]];
            const float* w = p.weight[layer];
            for (int c = 0; c < 3; ++c) {
                tu[layer] += w[c] * grid[corners[c]].tu;
                tv[layer] += w[c] * grid[corners[c]].tv;
                fog[layer] += w[c] * depth[layer][corners[c]];
            }
            color[layer] = WeightedColor(grid, corners, w);
        }
        v.color1 = color[0];
        v.color2 = color[1];
        v.tu1 = tu[0];
        v.tv1 = tv[0];
        v.fog1 = fog[0];
        v.tu2 = tu[1] * p.q;
        v.tv2 = tv[1] * p.q;
        v.fog2 = fog[1] * p.q;
        v.tq2 = p.q;
    }
    return d->DrawIndexedDualLayer(dualVertices.data(), static_cast<int>(dualVertices.size()),
                                   dualIndices.data(), static_cast<int>(dualIndices.size()), texture1,
                                   texture2);
}

void Sky::DrawLayers() {
    GfxDriver* d = g_gfxdriver;
    int first, next;
    float f;
    FindFrames(weather, first, next, f);
    if (first < 0) return;  // no weather frames: nothing to put on the dome
    const WeatherFrame& a = frames[first];
    const bool oneFrame = f <= 0.0f || next < 0;
    if ((oneFrame || (a.texture1 == frames[next].texture1 && a.texture2 == frames[next].texture2)) &&
        DrawDualLayer(a.texture1.c_str(), a.texture2.c_str())) {
        // The frame statistics (the editor's debug text) show the two
        // layers' grids, as the two passes count them.
        d->vertices += 2 * kDomeVertices;
        d->faces += 2 * (kDomeIndices / 3);
        return;
    }
    if (oneFrame) {
        if (!d->SetTexture(a.texture1.c_str())) LogLine("ERROR setting sky texture");
        d->DrawIndexedList(layers[0], kDomeVertices, indices, kDomeIndices);
        if (!d->SetTexture(a.texture2.c_str())) LogLine("ERROR setting sky texture");
        d->DrawIndexedList(layers[1], kDomeVertices, indices, kDomeIndices);
        return;
    }
    const WeatherFrame& b = frames[next];
    const std::string* texA[2] = {&a.texture1, &a.texture2};
    const std::string* texB[2] = {&b.texture1, &b.texture2};
    for (int layer = 0; layer < 2; ++layer) {
        if (*texA[layer] == *texB[layer]) {
            if (!d->SetTexture(texA[layer]->c_str())) LogLine("ERROR setting sky texture");
            d->DrawIndexedList(layers[layer], kDomeVertices, indices, kDomeIndices);
            continue;
        }
        d->UseTextureFactorAlpha();
        d->SetTextureFactor(PackColor(static_cast<uint32_t>((1.0f - f) * 255.0f), 255, 255, 255));
        if (!d->SetTexture(texA[layer]->c_str())) LogLine("ERROR setting sky texture");
        d->DrawIndexedList(layers[layer], kDomeVertices, indices, kDomeIndices);
        d->SetTextureFactor(PackColor(static_cast<uint32_t>(f * 255.0f), 255, 255, 255));
        if (!d->SetTexture(texB[layer]->c_str())) LogLine("ERROR setting sky texture");
        d->DrawIndexedList(layers[layer], kDomeVertices, indices, kDomeIndices);
    }
    d->UseVertexAlpha();
}

void Sky::DrawQuad(const VECTOR& centre, const VECTOR& camera, float half, PackedColor color) {
    GfxDriver* d = g_gfxdriver;
    MATRIX facing;
    MatrixFacing(facing, centre, camera);
    d->SetWorldMatrix(&facing);
    LVERTEX q[4];
    const float xs[4] = {-half, half, -half, half};
    const float ys[4] = {half, half, -half, -half};
    for (int i = 0; i < 4; ++i) {
        q[i].x = xs[i];
        q[i].y = ys[i];
        q[i].z = 0.0f;
        q[i].reserved = 0;
        q[i].color = color;
        q[i].specular = 0;
        q[i].tu = (i & 1) ? 1.0f : 0.0f;
        q[i].tv = (i & 2) ? 1.0f : 0.0f;
    }
    d->DrawStrip(q, 4);
}

void Sky::Draw(const VECTOR& camera) {
    GfxDriver* d = g_gfxdriver;
    if (!d) return;
    if (g_settings && g_settings->fog) {
        d->SetFogBegin(200.0f);
        d->SetFogEnd(800.0f);
    }
    MATRIX savedWorld, world;
    d->GetWorldMatrix(&savedWorld);
    MatrixTranslation(world, camera);
    d->SetWorldMatrix(&world);
    bool oldLighting = d->SetLighting(false);
    uint8_t oldDepth = d->SetZBufferMode(ZBUFFER_OFF);
    bool oldBlending = d->SetAlphaBlending(true);
    d->SetBlendMode(BLEND_ALPHA);

    DrawLayers();
    if (stars && starVisibility > 0.0f) stars->DrawStars(camera, starVisibility);

    if (day != lastMoonDay) {
        LogLine("changing to alpha nr %i", day);
        int phase = std::min(std::max(day, 1), kMoonPhases) - 1;
        d->GenerateTexture(kMoonTexture, kMoonAlphaMaps[phase]);
        lastMoonDay = day;
    }
    if (day == 14) {
        if (!d->SetTexture(kMidMonthMoonTexture)) LogLine("ERROR setting mid month moon texture");
    } else if (!d->SetTexture(kMoonTexture)) {
        LogLine("ERROR setting moon texture");
    }
    DrawQuad(camera + moonDirection, camera, kMoonHalfSize, PackColor(255, 255, 255, 255));

    if (!d->SetTexture(kSunTexture)) LogLine("ERROR setting sky texture");
    DrawQuad(camera + sunDirection, camera, kSunHalfSize, Pack(colors.sun));

    d->SetWorldMatrix(&savedWorld);
    d->SetAlphaBlending(oldBlending);
    d->SetZBufferMode(oldDepth);
    d->SetLighting(oldLighting);
}

void Sky::DrawSunGlow(const VECTOR& camera) {
    GfxDriver* d = g_gfxdriver;
    if (!d) return;
    MATRIX savedWorld;
    d->GetWorldMatrix(&savedWorld);
    bool oldLighting = d->SetLighting(false);
    uint8_t oldDepth = d->SetZBufferMode(ZBUFFER_OFF);
    bool oldBlending = d->SetAlphaBlending(true);
    d->SetBlendMode(BLEND_ADDITIVE);
    if (!d->SetTexture(kSunGlowTexture)) LogLine("ERROR setting sun-glow texture");
    // The glow carries the sun's colour and fades with its power.
    DrawQuad(camera + sunDirection, camera, kSunGlowHalfSize, Pack(colors.sun, colors.sunPower * 255.0f));
    d->SetBlendMode(BLEND_ALPHA);
    d->SetWorldMatrix(&savedWorld);
    d->SetAlphaBlending(oldBlending);
    d->SetZBufferMode(oldDepth);
    d->SetLighting(oldLighting);
}

void Sky::DrawLensFlare(const VECTOR& camera, const VECTOR& viewDirection) {
    GfxDriver* d = g_gfxdriver;
    if (!d) return;
    VECTOR view = viewDirection;
    VECTOR sun = sunDirection;
    if (VectorLength(view) <= 0.0f || VectorLength(sun) <= 0.0f) return;
    VectorNormalize(view);
    VectorNormalize(sun);
    float facing = VectorDot(view, sun);
    if (facing <= 0.5f) return;  // the sun is well outside the view
    float strength = (facing - 0.5f) * 2.0f * colors.sunPower;
    if (strength <= 0.0f) return;
    // Spots between the sun and the point straight ahead (and beyond it).
    const float kSteps[4] = {0.35f, 0.7f, 1.25f, 1.6f};
    const float kSizes[4] = {12.0f, 6.0f, 9.0f, 18.0f};
    VECTOR sunPoint = sun * kSkyDistance;
    VECTOR centre = view * kSkyDistance;
    MATRIX savedWorld;
    d->GetWorldMatrix(&savedWorld);
    bool oldLighting = d->SetLighting(false);
    uint8_t oldDepth = d->SetZBufferMode(ZBUFFER_OFF);
    bool oldBlending = d->SetAlphaBlending(true);
    d->SetBlendMode(BLEND_ADDITIVE);
    if (!d->SetTexture(kSunGlowTexture)) LogLine("ERROR setting sun-glow texture");
    for (int i = 0; i < 4; ++i) {
        VECTOR spot = sunPoint + (centre - sunPoint) * kSteps[i];
        DrawQuad(camera + spot, camera, kSizes[i], Pack(colors.sun, strength * 96.0f));
    }
    d->SetBlendMode(BLEND_ALPHA);
    d->SetWorldMatrix(&savedWorld);
    d->SetAlphaBlending(oldBlending);
    d->SetZBufferMode(oldDepth);
    d->SetLighting(oldLighting);
}
