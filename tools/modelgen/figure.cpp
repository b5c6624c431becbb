#include "figure.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <vector>

#include "builder.h"
#include "utility/datafile.h"

namespace {

const float kPi = 3.14159265f;

// Units: a person is about 185 high, y up, the front is -z. The figure's
// right side is at -x.
const V3 kJoints[FIGURE_BONES] = {
    {0, 92, 0},   {0, 120, 0},  {0, 152, 0}, {0, 158, 0},  {-27, 150, 0}, {-27, 119, 0}, {-27, 95, 0},
    {27, 150, 0}, {27, 119, 0}, {27, 95, 0}, {-11, 90, 0}, {-11, 47, 0},  {11, 90, 0},   {11, 47, 0},
};
const int kParents[FIGURE_BONES] = {
    -1,         BONE_PELVIS,     BONE_SPINE,     BONE_NECK,   BONE_SPINE,   BONE_UPPERARM_R, BONE_FOREARM_R,
    BONE_SPINE, BONE_UPPERARM_L, BONE_FOREARM_L, BONE_PELVIS, BONE_THIGH_R, BONE_PELVIS,     BONE_THIGH_L};
const char* const kBoneNames[FIGURE_BONES] = {"pelvis",    "spine",  "neck",       "head",      "upperarm_r",
                                              "forearm_r", "hand_r", "upperarm_l", "forearm_l", "hand_l",
                                              "thigh_r",   "shin_r", "thigh_l",    "shin_l"};

std::vector<float> RoundProfile(int sides) {
    std::vector<float> p;
    for (int k = 0; k < sides; ++k) {
        float a = (k + 0.5f) * 2 * kPi / sides;
        p.push_back(std::cos(a));
        p.push_back(std::sin(a));
    }
    return p;
}

// A head seen from above: a flat front (the face plate sits on it) rounding
// to the back.
const std::vector<float> kHeadProfile = {0.72f, -1.0f, 0.93f, -0.82f, 1.0f,   -0.45f, 1.0f,   0.25f,
                                         0.9f,  0.7f,  0.55f, 0.97f,  -0.55f, 0.97f,  -0.9f,  0.7f,
                                         -1.0f, 0.25f, -1.0f, -0.45f, -0.93f, -0.82f, -0.72f, -1.0f};

// The face plate: the head's flat front between chin and hairline, and the
// face texture's upper three quarters; the last quarter holds patches of
// plain colour for the features.
const float kPlateHalf = 7.9f, kPlateLow = 157.0f, kPlateHigh = 176.0f, kPlateZ = -11.2f;
const float kFeatureZ = -11.45f;
const float kEyeX = 3.95f;

float PlateU(float x) { return (x + kPlateHalf) / (2 * kPlateHalf); }
float PlateV(float y) { return 0.75f * (kPlateHigh - y) / (kPlateHigh - kPlateLow); }

// Patch centres in the face texture's bottom row (16 texels each).
struct Patch {
    float u, v;
};
const Patch kSkinPatch{8 / 64.0f, 56 / 64.0f}, kMouthPatch{24 / 64.0f, 56 / 64.0f},
    kBrowPatch{40 / 64.0f, 56 / 64.0f};

enum {
    MORPH_BLINK = 0,
    MORPH_MOUTH_OPEN = 1,
    MORPH_MOUTH_WIDE = 2,
    MORPH_BROWS = 9
};

class FigureBuilder {
public:
    FigureBuilder(const FigureStyle& s) : style(s), m(s.name) {
        for (int b = 0; b < FIGURE_BONES; ++b) m.Bone(kBoneNames[b], kParents[b], kJoints[b]);
        cloth = m.Texture(std::string("characters\\") + s.cloth);
        leather = m.Texture("characters\\leather.bmp");
        face = m.Texture("characters\\face.bmp");
        skin = m.Colour(0.84f, 0.67f, 0.53f);
        hair = m.Colour(s.hair[0], s.hair[1], s.hair[2]);
        if (s.helmet || s.spear) iron = m.Texture("village\\iron.bmp");
        if (s.spear) wood = m.Texture("village\\wood.bmp");
        if (s.apron) linen = m.Colour(0.86f, 0.83f, 0.74f);
    }

    void Build() {
        Legs();
        Body();
        Arm(-1);
        Arm(1);
        Head();
        Face();
        if (style.helmet) Helmet();
        if (style.spear) Spear();
        if (style.apron) Apron();
        if (style.beard) Beard();
    }

    const FigureStyle& style;
    ModelBuilder m;

private:
    void Legs() {
        const std::vector<float> round = RoundProfile(8);
        for (int side = -1; side <= 1; side += 2) {
            const float x = 11.0f * side;
            const int thigh = side < 0 ? BONE_THIGH_R : BONE_THIGH_L;
            const int shin = side < 0 ? BONE_SHIN_R : BONE_SHIN_L;
            if (!style.dress) {
                m.Loft(leather, round,
                       {{6, 5.0f, 5.5f, shin, x},
                        {22, 5.4f, 5.8f, shin, x},
                        {49, 6.6f, 7.0f, shin, x},
                        {66, 7.6f, 8.0f, thigh, x},
                        {92, 8.6f, 9.0f, thigh, x}},
                       2, 40, false, false);
            }
            m.UseBone(shin);
            m.Box(leather, {x - 5.5f, 0, -15}, {x + 5.5f, 8, 6}, 30);
        }
        m.UseBone(-1);
    }

    void Body() {
        const std::vector<float> round = RoundProfile(12);
        std::vector<Ring> rings;
        if (style.dress) {
            rings = {{2, 25, 19, BONE_PELVIS}, {40, 22, 16, BONE_PELVIS}, {82, 18.5f, 12.5f, BONE_PELVIS}};
        } else {
            rings = {{76, 21, 13.5f, BONE_PELVIS}, {86, 20, 12.5f, BONE_PELVIS}};
        }
        for (const Ring& r : std::vector<Ring>{{100, 17, 11, BONE_PELVIS},
                                               {113, 16, 10.5f, BONE_PELVIS},
                                               {125, 17.5f, 11, BONE_SPINE},
                                               {139, 21, 11.5f, BONE_SPINE},
                                               {146, 26, 11, BONE_SPINE},
                                               {151, 20, 9, BONE_SPINE},
                                               {155, 8.5f, 6.5f, BONE_SPINE}})
            rings.push_back(r);
        m.Loft(cloth, round, rings, 3, 60, true, true);
        // The neck, from the collar into the head.
        m.Loft(skin, RoundProfile(8),
               {{149, 5.2f, 5.2f, BONE_SPINE}, {154, 4.8f, 4.8f, BONE_NECK}, {159, 4.8f, 4.8f, BONE_HEAD}}, 1,
               20, false, false);
    }

    // side -1 is the figure's right arm (at -x).
    void Arm(int side) {
        const float x = 27.0f * side;
        const int upper = side < 0 ? BONE_UPPERARM_R : BONE_UPPERARM_L;
        const int fore = side < 0 ? BONE_FOREARM_R : BONE_FOREARM_L;
        const int hand = side < 0 ? BONE_HAND_R : BONE_HAND_L;
        // A sleeve from the wrist to the shoulder, the elbow between rings.
        m.Loft(cloth, RoundProfile(8),
               {{96, 4.6f, 4.6f, fore, x},
                {108, 4.9f, 5.0f, fore, x},
                {117, 5.2f, 5.4f, fore, x},
                {127, 5.6f, 5.8f, upper, x},
                {145, 6.2f, 6.4f, upper, x},
                {151, 5.0f, 5.2f, upper, x}},
               2, 40, false, true);
        m.Loft(skin, RoundProfile(8),
               {{77, 2.2f, 1.8f, hand, x}, {84, 3.4f, 2.4f, hand, x}, {97, 4.0f, 4.2f, hand, x}}, 1, 20, true,
               false);
    }

    void Head() {
        // Chin to hairline in skin, the crown in hair; the front between
        // 157 and 176 is flat and carries the face plate.
        m.Loft(skin, kHeadProfile,
               {{153, 7.5f, 8.0f, BONE_HEAD}, {157, 10.5f, 11, BONE_HEAD}, {176, 10.5f, 11, BONE_HEAD}}, 1,
               20, true, false);
        m.Loft(
            hair, kHeadProfile,
            {{175.5f, 10.7f, 11.2f, BONE_HEAD}, {181, 9.4f, 10.2f, BONE_HEAD}, {185, 5.5f, 6.5f, BONE_HEAD}},
            1, 20, false, true);
        m.UseBone(BONE_HEAD);
        // Hair over the back of the head: longer for the women.
        float low = style.dress ? 145.0f : 160.0f;
        m.Box(hair, {-10.9f, low, 1.5f}, {10.9f, 179, 11.7f}, 20);
        m.UseBone(-1);
    }

    int FeatureVertex(float x, float y, const Patch& patch) {
        return m.Vertex(face, {x, y, kFeatureZ}, {0, 0, -1}, patch.u, patch.v);
    }

    void Face() {
        m.UseBone(BONE_HEAD);
        const V3 front{0, 0, -1};
        int p0 = m.Vertex(face, {-kPlateHalf, kPlateHigh, kPlateZ}, front, PlateU(-kPlateHalf),
                          PlateV(kPlateHigh));
        int p1 =
            m.Vertex(face, {kPlateHalf, kPlateHigh, kPlateZ}, front, PlateU(kPlateHalf), PlateV(kPlateHigh));
        int p2 =
            m.Vertex(face, {kPlateHalf, kPlateLow, kPlateZ}, front, PlateU(kPlateHalf), PlateV(kPlateLow));
        int p3 =
            m.Vertex(face, {-kPlateHalf, kPlateLow, kPlateZ}, front, PlateU(-kPlateHalf), PlateV(kPlateLow));
        m.Face(face, p0, p1, p2, front);
        m.Face(face, p0, p2, p3, front);

        for (int side = -1; side <= 1; side += 2) {
            const float ex = kEyeX * side;
            // Eyelid: a sliver at the top of the eye that the blink pulls
            // down over it.
            int a = FeatureVertex(ex - 2.3f, 171.2f, kSkinPatch),
                b = FeatureVertex(ex + 2.3f, 171.2f, kSkinPatch);
            int c = FeatureVertex(ex + 2.3f, 171.1f, kSkinPatch),
                d = FeatureVertex(ex - 2.3f, 171.1f, kSkinPatch);
            m.Face(face, a, b, c, front);
            m.Face(face, a, c, d, front);
            m.Morph(face, MORPH_BLINK, c, {0, -4.4f, 0});
            m.Morph(face, MORPH_BLINK, d, {0, -4.4f, 0});
            // Brow, its outer end a little lower; raised by movement 9.
            float inner = ex - 2.4f * side, outer = ex + 2.4f * side;
            int e = FeatureVertex(inner, 173.5f, kBrowPatch), f = FeatureVertex(outer, 173.1f, kBrowPatch);
            int g = FeatureVertex(outer, 172.2f, kBrowPatch), h = FeatureVertex(inner, 172.6f, kBrowPatch);
            m.Face(face, e, f, g, front);
            m.Face(face, e, g, h, front);
            for (int v : {e, h}) m.Morph(face, MORPH_BROWS, v, {0, 1.8f, 0});
            for (int v : {f, g}) m.Morph(face, MORPH_BROWS, v, {0, 1.3f, 0});
        }

        // The mouth: a dark hexagon, closed to a line at rest; the two
        // talking shapes open it round and wide.
        int left = FeatureVertex(-3.3f, 161.3f, kMouthPatch),
            topL = FeatureVertex(-1.3f, 161.65f, kMouthPatch);
        int topR = FeatureVertex(1.3f, 161.65f, kMouthPatch),
            right = FeatureVertex(3.3f, 161.3f, kMouthPatch);
        int botR = FeatureVertex(1.3f, 160.95f, kMouthPatch),
            botL = FeatureVertex(-1.3f, 160.95f, kMouthPatch);
        m.Face(face, left, topL, topR, front);
        m.Face(face, left, topR, right, front);
        m.Face(face, left, right, botR, front);
        m.Face(face, left, botR, botL, front);
        m.Morph(face, MORPH_MOUTH_OPEN, botL, {0, -3.2f, 0});
        m.Morph(face, MORPH_MOUTH_OPEN, botR, {0, -3.2f, 0});
        m.Morph(face, MORPH_MOUTH_OPEN, left, {0.6f, -0.8f, 0});
        m.Morph(face, MORPH_MOUTH_OPEN, right, {-0.6f, -0.8f, 0});
        m.Morph(face, MORPH_MOUTH_OPEN, topL, {0, 0.3f, 0});
        m.Morph(face, MORPH_MOUTH_OPEN, topR, {0, 0.3f, 0});
        m.Morph(face, MORPH_MOUTH_WIDE, botL, {-0.3f, -1.3f, 0});
        m.Morph(face, MORPH_MOUTH_WIDE, botR, {0.3f, -1.3f, 0});
        m.Morph(face, MORPH_MOUTH_WIDE, left, {-1.0f, -0.2f, 0});
        m.Morph(face, MORPH_MOUTH_WIDE, right, {1.0f, -0.2f, 0});
        m.Morph(face, MORPH_MOUTH_WIDE, topL, {-0.3f, 0.15f, 0});
        m.Morph(face, MORPH_MOUTH_WIDE, topR, {0.3f, 0.15f, 0});
        m.UseBone(-1);
    }

    void Helmet() {
        m.Loft(iron, RoundProfile(10),
               {{174, 12.2f, 12.8f, BONE_HEAD}, {182, 11.5f, 12, BONE_HEAD}, {188, 7, 7.5f, BONE_HEAD}}, 2,
               20, false, true);
    }

    void Spear() {
        // Upright in the right hand, its butt on the ground.
        m.UseBone(BONE_HAND_R);
        const float x = -27, z = -6.5f;
        m.Box(wood, {x - 1.8f, 1, z - 1.8f}, {x + 1.8f, 236, z + 1.8f}, 40);
        m.Pyramid(iron, {x - 3.2f, 236, z - 3.2f}, {x + 3.2f, 236, z + 3.2f}, 262, 20);
        m.Box(iron, {x - 2.6f, 230, z - 2.6f}, {x + 2.6f, 236, z + 2.6f}, 20);
        m.UseBone(-1);
    }

    void Apron() {
        // Tied at the waist, hanging to the knees: the top follows the
        // body, the hem the hips.
        const V3 front{0, 0, -1};
        m.UseBone(BONE_SPINE);
        int a = m.Vertex(linen, {-13, 124, -11.6f}, front, 0, 0),
            b = m.Vertex(linen, {13, 124, -11.6f}, front, 1, 0);
        m.UseBone(BONE_PELVIS);
        int c = m.Vertex(linen, {15, 62, -14.2f}, front, 1, 1),
            d = m.Vertex(linen, {-15, 62, -14.2f}, front, 0, 1);
        m.Face(linen, a, b, c, front);
        m.Face(linen, a, c, d, front);
        m.Face(linen, a, c, b, {0, 0, 1});
        m.Face(linen, a, d, c, {0, 0, 1});
        m.UseBone(-1);
    }

    void Beard() {
        // Below the mouth and round the jaw, clear of the open mouth.
        m.UseBone(BONE_HEAD);
        m.Box(hair, {-7.5f, 144, -12.6f}, {7.5f, 157.4f, -4}, 20);
        m.Box(hair, {-10.6f, 150, -8}, {10.6f, 160, 2}, 20);
        m.UseBone(-1);
    }

    int cloth = 0, leather = 0, face = 0, skin = 0, hair = 0, iron = -1, wood = -1, linen = -1;
};

// ---------------------------------------------------------------- motion

float Smooth(float e0, float e1, float x) {
    float t = (x - e0) / (e1 - e0);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return t * t * (3 - 2 * t);
}

// 0 outside the gesture, easing to 1 and back.
float Bump(float t, float start, float hold) {
    return Smooth(start, start + 0.7f, t) * (1 - Smooth(start + 0.7f + hold, start + 1.4f + hold, t));
}

struct Pose {
    V3 position[FIGURE_BONES];
    V3 angles[FIGURE_BONES];
};

Pose PoseAt(const FigureStyle& s, float t) {
    Pose p;
    for (int b = 0; b < FIGURE_BONES; ++b) {
        V3 joint = kJoints[b];
        p.position[b] = kParents[b] >= 0 ? joint - kJoints[kParents[b]] : joint;
        p.angles[b] = V3{0, 0, 0};
    }
    const float T = s.seconds;
    const float w = 2 * kPi / T;
    // Breathing about every 3.5 s, a whole number of breaths per loop.
    const float breaths = std::round(T / 3.5f);
    const float breath = std::sin(w * breaths * t);
    // Weight shifting once per loop: the hips slide and tip, the chest and
    // head stay upright, the feet stay where they stand.
    const float shift = std::sin(w * t);
    const float dx = 2.6f * shift, tilt = 0.035f * shift;
    p.position[BONE_PELVIS] = V3{dx, 92 + 0.45f * breath, 0};
    p.angles[BONE_PELVIS].z = tilt;
    p.angles[BONE_SPINE].z = -1.3f * tilt;
    p.angles[BONE_SPINE].x = -0.018f * breath;
    p.angles[BONE_HEAD].z = 0.3f * tilt;
    p.angles[BONE_HEAD].y = 0.16f * std::sin(w * t + 1.2f);
    p.angles[BONE_HEAD].x = 0.035f * std::sin(2 * w * t);
    const float leg = -std::asin(dx / 88.0f) - tilt;
    p.angles[BONE_THIGH_R].z = leg;
    p.angles[BONE_THIGH_L].z = leg;
    // Arms hang a little away from the body and swing with the breath.
    p.angles[BONE_UPPERARM_R].z = -0.09f - 0.012f * breath;
    p.angles[BONE_UPPERARM_L].z = 0.09f + 0.012f * breath;
    p.angles[BONE_FOREARM_R].x = 0.12f;
    p.angles[BONE_FOREARM_L].x = 0.12f;

    const float g = Bump(t, 0.3f * T, 0.42f * T - 1.4f);
    switch (s.gesture) {
    case GESTURE_HALT:
        p.angles[BONE_UPPERARM_L].x += 1.15f * g;
        p.angles[BONE_UPPERARM_L].z += 0.12f * g;
        p.angles[BONE_FOREARM_L].x += 1.0f * g;
        p.angles[BONE_HAND_L].x -= 1.1f * g;
        p.angles[BONE_HEAD].y += 0.1f * g;
        break;
    case GESTURE_RUB_HANDS: {
        const float rub = 0.12f * std::sin(w * 24 * t) * g;
        for (int side = -1; side <= 1; side += 2) {
            int upper = side < 0 ? BONE_UPPERARM_R : BONE_UPPERARM_L;
            int fore = side < 0 ? BONE_FOREARM_R : BONE_FOREARM_L;
            p.angles[upper].x += 0.35f * g;
            p.angles[upper].z += -0.2f * side * g;
            p.angles[fore].x += 1.3f * g;
            p.angles[fore].y += (0.55f * side + rub) * g;
        }
        p.angles[BONE_HEAD].x += 0.08f * g;
        break;
    }
    case GESTURE_SWEEP: {
        // The forearm comes up, palm open, and the arm sweeps out and back.
        const float sweep = std::sin(kPi * Smooth(0.3f * T, 0.3f * T + 0.42f * T, t));
        p.angles[BONE_UPPERARM_L].x += 0.45f * g;
        p.angles[BONE_UPPERARM_L].z += (0.15f + 0.3f * sweep) * g;
        p.angles[BONE_FOREARM_L].x += 1.15f * g;
        p.angles[BONE_FOREARM_L].y -= 0.35f * sweep * g;
        p.angles[BONE_HAND_L].x -= 0.45f * g;
        p.angles[BONE_HEAD].y -= 0.22f * g;
        p.angles[BONE_HEAD].x -= 0.05f * g;
        break;
    }
    case GESTURE_OPEN_ARMS:
        for (int side = -1; side <= 1; side += 2) {
            int upper = side < 0 ? BONE_UPPERARM_R : BONE_UPPERARM_L;
            int fore = side < 0 ? BONE_FOREARM_R : BONE_FOREARM_L;
            p.angles[upper].x += 0.45f * g;
            p.angles[upper].z += 0.5f * side * g;
            p.angles[fore].x += 0.55f * g;
        }
        p.angles[BONE_HEAD].x -= 0.06f * g;
        break;
    }
    return p;
}

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST; }

bool WriteAnimation(const std::string& path, const FigureStyle& s) {
    const int frames = static_cast<int>(std::lround(s.seconds * 25));
    DataFile f;
    if (!f.Open(path.c_str(), true)) return false;
    bool ok = f.WriteShort(static_cast<int16_t>(frames)) && f.WriteShort(static_cast<int16_t>(FIGURE_BONES));
    for (int frame = 0; frame < frames && ok; ++frame) {
        Pose p = PoseAt(s, frame / 25.0f);
        for (int b = 0; b < FIGURE_BONES; ++b) {
            const float v[6] = {p.position[b].x, p.position[b].y, p.position[b].z,
                                p.angles[b].x,   p.angles[b].y,   p.angles[b].z};
            for (float x : v) ok = f.WriteFloat(x) && ok;
        }
    }
    f.Close();
    return ok;
}

}  // namespace

bool WriteFigure(const std::string& folder, const FigureStyle& style) {
    FigureBuilder figure(style);
    figure.Build();
    std::string model = folder + "/z1/" + style.name + ".z1";
    if (!figure.m.Write(model)) {
        std::fprintf(stderr, "modelgen: cannot write %s\n", model.c_str());
        return false;
    }
    std::string anims = folder + "/anims";
    std::string anim = anims + "/" + style.name + ".anm";
    if (!MakeFolder(anims) || !WriteAnimation(anim, style)) {
        std::fprintf(stderr, "modelgen: cannot write %s\n", anim.c_str());
        return false;
    }
    return true;
}
