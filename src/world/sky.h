// The sky: two scrolling cloud layers on a shallow dome, a sun and a moon that
// cross it by time of day, a star field that fades in at dusk, and the
// colours of the day (background, fog, ambient, cloud layer, sun, sunlight)
// that follow the time of day and the weather. Configured by "daycycle.ini":
// weather frames, each a set of time-of-day colour tracks and two cloud
// textures, are blended by the current weather value.
#ifndef ZENDAR_WORLD_SKY_H
#define ZENDAR_WORLD_SKY_H

#include <cstdint>
#include <string>
#include <vector>

#include "gfxdriver/gfxdriver.h"
#include "math/zmath.h"

class CStars;
class DataFile;

// Keys (time of day -> up to three values), evaluated linearly between keys
// and held constant before the first and after the last.
class DayTrack {
public:
    struct Key {
        int32_t time;
        float value[3];
    };
    // Keys may arrive in any order; they are kept sorted by time.
    void AddKey(int32_t time, float a, float b = 0.0f, float c = 0.0f);
    // Zeros when there are no keys.
    void Evaluate(float time, float out[3]) const;
    bool Empty() const { return keys.empty(); }

    std::vector<Key> keys;
};

struct WeatherFrame {
    uint8_t weather = 0;
    std::string texture1, alpha1, texture2, alpha2;
    DayTrack ambient, background, layer, sunPower, sun, sunlight, fog;
};

// The colours of one moment, on the file's 0..255 scale.
struct SkyColors {
    float background[3] = {0, 0, 0};
    float fog[3] = {0, 0, 0};
    float ambient[3] = {0, 0, 0};
    float layer[3] = {255, 255, 255};
    float sun[3] = {255, 255, 255};
    float sunlight[3] = {0, 0, 0};
    float sunPower = 0.0f;  // 0..1
};

constexpr int kDomeSide = 9;  // vertices along each side
constexpr int kDomeVertices = kDomeSide * kDomeSide;
constexpr int kDomeIndices = 8 * 8 * 6;  // 384
constexpr int kMoonPhases = 28;

// A corner of a piece of the two cloud layers drawn in one pass: where it lies
// on the first layer's dome, and the triangle and weights of the point of
// each layer seen there (corner indices into that layer's grid). A layer's
// triangle -1 is the skirt below its rim: nothing of that layer is seen.
struct DualPoint {
    float x, y, z;
    int16_t triangle[2];
    float weight[2][3];
    float q;  // depth of the point on the first layer over that on the second
};

class Sky {
public:
    Sky();
    ~Sky();

    // Reads the file (a path as DataFile opens it); false when it cannot be
    // opened. Frames read before a broken block are kept.
    bool Parse(const char* path);
    bool Parse(DataFile& file);
    // After parsing: registers the textures, creates the stars and the sun
    // light. Without a driver only the stars are made.
    void CreateResources();

    // Rebuilds both layers' grids with the current density.
    void BuildDome();

    // The two frames around the weather and the blend factor between them;
    // first is -1 without frames, next is -1 when there is none.
    void FindFrames(int weather, int& first, int& next, float& factor) const;
    // The blended colours at a time of day and weather.
    SkyColors ColorsAt(int timeOfDay, int weather) const;

    static float StarVisibility(int timeOfDay);
    static VECTOR SunDirection(int timeOfDay);
    static VECTOR MoonDirection(int timeOfDay);

    // One sky update: colours, directions, star visibility, cloud scrolling
    // by the milliseconds since the last update, the layer colour into the
    // dome, the ambient colour and the sun light into the driver.
    void Update(int timeOfDay, int day, int weather, uint32_t now);

    // Layers, stars, moon and sun around the camera.
    void Draw(const VECTOR& camera);
    // The sun's glow (when the caller found the sun in sight).
    void DrawSunGlow(const VECTOR& camera);
    // Glow spots along the line from the sun through the middle of the view,
    // fading as the sun leaves the view direction.
    void DrawLensFlare(const VECTOR& camera, const VECTOR& viewDirection);

    PackedColor BackgroundColor() const;
    PackedColor FogColor() const;
    PackedColor AmbientColor() const;

    LVERTEX layers[2][kDomeVertices];
    uint16_t indices[kDomeIndices];
    // Both layers cut into pieces that each lie in one triangle of either,
    // seen from the dome's centre (the eye): one pass draws both where the
    // driver can (DrawIndexedDualLayer). Made by the constructor.
    std::vector<DualPoint> dualPoints;
    std::vector<uint16_t> dualIndices;
    std::vector<DUALVERTEX> dualVertices;
    float density = 8.0f;
    int32_t layerSpeed[2][2] = {{0, 0}, {0, 0}};  // ms per texture unit: [layer][u, v]
    std::vector<WeatherFrame> frames;
    int sunLight = -1;
    CStars* stars = nullptr;
    float starVisibility = 0.0f;
    VECTOR moonDirection;
    VECTOR sunDirection;
    int lastMoonDay = -1;
    SkyColors colors;
    int32_t secondsPerDay = 0;  // "*SECSPERDAY", 0 when the file has none
    uint32_t lastScroll = 0;
    bool scrolled = false;
    int timeOfDay = 0;
    int day = 1;
    int weather = 0;

private:
    Sky(const Sky&) = delete;
    Sky& operator=(const Sky&) = delete;
    bool ParseFrame(DataFile& file, WeatherFrame& frame);
    void BuildDualLayer();
    bool DrawDualLayer(const char* texture1, const char* texture2);
    void DrawLayers();
    void DrawQuad(const VECTOR& centre, const VECTOR& camera, float half, PackedColor color);
};

extern const char* const kMoonAlphaMaps[kMoonPhases];

#endif
