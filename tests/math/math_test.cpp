#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "math/zmath.h"

namespace {

const float kPi = 3.14159265358979f;

void ExpectMatrixNear(const MATRIX& a, const MATRIX& b, float tol = 1e-5f) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

void ExpectVectorNear(const VECTOR& a, const VECTOR& b, float tol = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

MATRIX Make(std::initializer_list<float> v) {
    MATRIX m;
    int i = 0;
    for (float f : v) m.m[i++] = f;
    return m;
}

}  // namespace

TEST(Vector, NormalizeEdgeCases) {
    VECTOR zero{0, 0, 0};
    VectorNormalize(zero);
    EXPECT_EQ(zero, (VECTOR{0, 0, 0}));

    VECTOR v{3, 4, 0};
    VectorNormalize(v);
    ExpectVectorNear(v, VECTOR{0.6f, 0.8f, 0.0f}, 1e-7f);

    // A vector whose computed length is exactly 1.0 must keep its bits.
    VECTOR unit{0.6f, 0.8f, 0.0f};
    ASSERT_EQ(std::sqrt(unit.x * unit.x + unit.y * unit.y + unit.z * unit.z), 1.0f);
    VECTOR copy = unit;
    VectorNormalize(copy);
    EXPECT_EQ(0, std::memcmp(&copy, &unit, sizeof unit));

    // Shorter than 1e-5: left alone rather than blown up.
    VECTOR tiny{5e-6f, 0, 0};
    VectorNormalize(tiny);
    EXPECT_EQ(tiny.x, 5e-6f);
    // Just above the threshold is normalised.
    VECTOR small{2e-5f, 0, 0};
    VectorNormalize(small);
    EXPECT_FLOAT_EQ(small.x, 1.0f);
}

TEST(Vector, SetLengthScaleAndRadius) {
    VECTOR v{0, 3, 4};
    VectorSetLength(v, 10.0f);
    ExpectVectorNear(v, VECTOR{0, 6, 8});
    VECTOR zero{0, 0, 0};
    VectorSetLength(zero, 5.0f);
    EXPECT_EQ(zero, (VECTOR{0, 0, 0}));  // guarded: no NaNs

    VECTOR out;
    VectorScale(out, -2.0f, VECTOR{1, 2, 3});
    EXPECT_EQ(out, (VECTOR{-2, -4, -6}));

    EXPECT_TRUE(PointWithinRadius(VECTOR{0, 0, 0}, VECTOR{3, 4, 0}, 5.0));
    EXPECT_FALSE(PointWithinRadius(VECTOR{0, 0, 0}, VECTOR{3, 4, 0}, 4.999));

    float box[6] = {-2, 0, 4, 2, 10, 6};
    EXPECT_EQ(BoxCenter(box), (VECTOR{0, 5, 5}));

    VECTOR c = VectorCross(VECTOR{1, 0, 0}, VECTOR{0, 1, 0});
    EXPECT_EQ(c, (VECTOR{0, 0, 1}));
}

TEST(Matrix, BuildersFollowRowVectorConvention) {
    MATRIX m;
    MatrixTranslation(m, 1, 2, 3);
    EXPECT_EQ(m.m[12], 1.0f);
    EXPECT_EQ(m.m[13], 2.0f);
    EXPECT_EQ(m.m[14], 3.0f);
    VECTOR p;
    TransformPoint(m, VECTOR{10, 20, 30}, p);
    EXPECT_EQ(p, (VECTOR{11, 22, 33}));

    // Rotating +x by 90 degrees about z gives +y in this convention.
    MatrixRotationZ(m, kPi / 2);
    TransformPoint(m, VECTOR{1, 0, 0}, p);
    ExpectVectorNear(p, VECTOR{0, 1, 0});
    MatrixRotationX(m, kPi / 2);
    TransformPoint(m, VECTOR{0, 1, 0}, p);
    ExpectVectorNear(p, VECTOR{0, 0, 1});
    MatrixRotationY(m, kPi / 2);
    TransformPoint(m, VECTOR{0, 0, 1}, p);
    ExpectVectorNear(p, VECTOR{1, 0, 0});

    MatrixScaling(m, VECTOR{2, 3, 4});
    TransformPoint(m, VECTOR{1, 1, 1}, p);
    EXPECT_EQ(p, (VECTOR{2, 3, 4}));

    // A x B applies A first: scale then translate.
    MATRIX s, t, st;
    MatrixScaling(s, VECTOR{2, 2, 2});
    MatrixTranslation(t, VECTOR{1, 0, 0});
    MatrixMultiply(st, s, t);
    TransformPoint(st, VECTOR{1, 1, 1}, p);
    EXPECT_EQ(p, (VECTOR{3, 2, 2}));
    // Multiplying in place (out aliasing an input) gives the same product.
    MatrixMultiply(s, s, t);
    ExpectMatrixNear(s, st, 0.0f);
}

TEST(Matrix, RotationAxisTurnsOppositeToRotationX) {
    MATRIX axis, rx;
    float a = 0.7f;
    MatrixRotationAxis(axis, VECTOR{5, 0, 0}, a);  // axis is normalised first
    MatrixRotationX(rx, -a);
    ExpectMatrixNear(axis, rx);

    // General axis: the axis itself is fixed and elements follow the formula.
    MatrixRotationAxis(axis, VECTOR{1, 1, 1}, 1.2f);
    VECTOR p;
    TransformPoint(axis, VECTOR{2, 2, 2}, p);
    ExpectVectorNear(p, VECTOR{2, 2, 2});
    float n = 1.0f / std::sqrt(3.0f), c = std::cos(1.2f), s = std::sin(1.2f), t = 1 - c;
    EXPECT_NEAR(axis.m[1], n * n * t - n * s, 1e-6f);
    EXPECT_NEAR(axis.m[4], n * n * t + n * s, 1e-6f);
    EXPECT_EQ(axis.m[15], 1.0f);
    EXPECT_EQ(axis.m[12], 0.0f);
}

TEST(Matrix, EulerIsXThenYThenZ) {
    MATRIX e, z;
    MatrixRotationEuler(e, 0, 0, 0.9f);
    MatrixRotationZ(z, 0.9f);
    ExpectMatrixNear(e, z, 0.0f);

    MATRIX x, y, xy, xyz;
    MatrixRotationX(x, 0.3f);
    MatrixRotationY(y, -1.1f);
    MatrixRotationZ(z, 2.0f);
    MatrixMultiply(xy, x, y);
    MatrixMultiply(xyz, xy, z);
    MatrixRotationEuler(e, 0.3f, -1.1f, 2.0f);
    ExpectMatrixNear(e, xyz);
}

TEST(Matrix, IsIdentityHasNoTolerance) {
    MATRIX m;
    MatrixIdentity(m);
    EXPECT_TRUE(MatrixIsIdentity(m));
    m.m[7] = -0.0f;
    EXPECT_TRUE(MatrixIsIdentity(m));
    m.m[7] = 1e-30f;
    EXPECT_FALSE(MatrixIsIdentity(m));
    MatrixIdentity(m);
    m.m[10] = 0.9999999f;
    EXPECT_FALSE(MatrixIsIdentity(m));
}

TEST(Matrix, InvertAffine) {
    MATRIX t, inv;
    MatrixTranslation(t, 1, 2, 3);
    ASSERT_TRUE(MatrixInvertAffine(inv, t));
    MATRIX expect;
    MatrixTranslation(expect, -1, -2, -3);
    ExpectMatrixNear(inv, expect, 0.0f);

    // Round trip through a general affine transform.
    MATRIX r, s, m, tmp;
    MatrixRotationEuler(r, 0.4f, 1.3f, -0.8f);
    MatrixScaling(s, VECTOR{2, 0.5f, 3});
    MatrixTranslation(t, -7, 4, 12);
    MatrixMultiply(tmp, s, r);
    MatrixMultiply(m, tmp, t);
    ASSERT_TRUE(MatrixInvertAffine(inv, m));
    MATRIX prod, id;
    MatrixMultiply(prod, m, inv);
    MatrixIdentity(id);
    ExpectMatrixNear(prod, id, 1e-5f);
    VECTOR p, back;
    TransformPoint(m, VECTOR{1, -2, 3}, p);
    TransformPoint(inv, p, back);
    ExpectVectorNear(back, VECTOR{1, -2, 3}, 1e-4f);

    // Tolerances on the projective column.
    MatrixIdentity(m);
    m.m[15] = 1.002f;
    EXPECT_FALSE(MatrixInvertAffine(inv, m));  // |1.002 - 1| > 0.001
    m.m[15] = 1.0005f;
    EXPECT_TRUE(MatrixInvertAffine(inv, m));
    EXPECT_EQ(inv.m[15], 1.0f);

    MatrixIdentity(m);
    m.m[3] = 1.002f;
    MATRIX untouched = Make({9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
    inv = untouched;
    EXPECT_FALSE(MatrixInvertAffine(inv, m));
    ExpectMatrixNear(inv, untouched, 0.0f);
    MatrixIdentity(m);
    m.m[11] = -0.0011f;
    EXPECT_FALSE(MatrixInvertAffine(inv, m));
    m.m[11] = 0.0009f;
    EXPECT_TRUE(MatrixInvertAffine(inv, m));
    EXPECT_EQ(inv.m[11], 0.0f);

    // In place.
    MatrixTranslation(m, 5, 6, 7);
    ASSERT_TRUE(MatrixInvertAffine(m, m));
    EXPECT_EQ(m.m[12], -5.0f);
}

TEST(Matrix, InvertAffineElement15Tolerance) {
    // 1.002 is outside the 0.001 band in single precision as well; a value
    // inside the band is accepted and the result still gets w = 1.
    MATRIX m, inv;
    MatrixIdentity(m);
    m.m[15] = 1.0009f;
    EXPECT_TRUE(MatrixInvertAffine(inv, m));
    m.m[15] = 0.998f;
    EXPECT_FALSE(MatrixInvertAffine(inv, m));
}

TEST(Matrix, TransformPointWithZeroW) {
    MATRIX m;
    MatrixIdentity(m);
    m.m[15] = 0.0f;  // w = 0 for the origin
    VECTOR out{7, 7, 7};
    TransformPoint(m, VECTOR{0, 0, 0}, out);
    EXPECT_EQ(out, (VECTOR{0, 0, 0}));

    out = VECTOR{7, 7, 7};
    EXPECT_FALSE(TransformPointChecked(out, VECTOR{0, 0, 0}, m));
    EXPECT_EQ(out, (VECTOR{7, 7, 7}));

    // Projective divide.
    MatrixIdentity(m);
    m.m[15] = 2.0f;
    EXPECT_TRUE(TransformPointChecked(out, VECTOR{2, 4, 6}, m));
    EXPECT_EQ(out, (VECTOR{1, 2, 3}));
}

TEST(Matrix, TransformBoxTakesAllCorners) {
    float box[6] = {-1, -2, -3, 1, 2, 3};
    MATRIX r, t, m;
    MatrixRotationY(r, kPi / 2);
    MatrixTranslation(t, 10, 0, 0);
    MatrixMultiply(m, r, t);
    float out[6];
    TransformBox(out, box, m);
    const float want[6] = {7, -2, -1, 13, 2, 1};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(out[i], want[i], 1e-5f) << i;

    // 45 degrees grows the box to hold the rotated corners.
    MatrixRotationZ(r, kPi / 4);
    float unit[6] = {-1, -1, 0, 1, 1, 0};
    TransformBox(out, unit, r);
    EXPECT_NEAR(out[0], -std::sqrt(2.0f), 1e-5f);
    EXPECT_NEAR(out[4], std::sqrt(2.0f), 1e-5f);
}

// The box of the eight transformed corners, bit for bit, whichever way it is
// worked out: affine matrices (scaled, rotated, moved, with signed zeros and
// huge values), projective ones, and boxes that are not finite.
TEST(Matrix, TransformBoxIsTheBoxOfItsCornersToTheBit) {
    const float inf = std::numeric_limits<float>::infinity();
    MATRIX rx, ry, rz, rxy, r, s, t, rs, affine, projective, flat;
    MatrixRotationX(rx, 0.3f);
    MatrixRotationY(ry, 0.7f);
    MatrixRotationZ(rz, 1.1f);
    MatrixMultiply(rxy, rx, ry);
    MatrixMultiply(r, rxy, rz);
    MatrixScaling(s, VECTOR{1.5f, -0.25f, 3.0f});
    MatrixTranslation(t, 10.1f, -3.3f, 1e7f);
    MatrixMultiply(rs, s, r);
    MatrixMultiply(affine, rs, t);
    projective = affine;
    projective.m[11] = 0.5f;
    MatrixIdentity(flat);
    flat.m[15] = 0.0f;  // w is 0: every corner goes to the origin
    std::vector<std::array<float, 6>> boxes = {{-1, -2, -3, 1, 2, 3},
                                               {-0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f},
                                               {1e30f, -1e30f, 5, 3e38f, 1e30f, 6},
                                               {-inf, 0, 0, 1, 1, 1},
                                               {0.1f, 0.2f, 0.3f, 0.1f, 0.2f, 0.3f}};
    // And boxes of every size, where the order of the sums shows in the last bit.
    uint32_t seed = 12345;
    auto next = [&seed](float scale) {
        seed = seed * 1664525u + 1013904223u;
        return (static_cast<float>(seed >> 8) / 16777216.0f - 0.5f) * scale;
    };
    for (int b = 0; b < 64; ++b) {
        std::array<float, 6> box;
        const float scale = std::pow(10.0f, static_cast<float>(b % 7) - 2.0f);
        for (int k = 0; k < 3; ++k) {
            box[k] = next(scale * 100.0f);
            box[3 + k] = box[k] + std::fabs(next(scale));
        }
        boxes.push_back(box);
    }
    const std::pair<const MATRIX*, const char*> matrices[] = {
        {&affine, "affine"}, {&rs, "rotation"}, {&projective, "projective"}, {&flat, "flat"}};
    for (const auto& [m, name] : matrices)
        for (const auto& box : boxes) {
            float want[6];
            for (int i = 0; i < 8; ++i) {
                VECTOR c;
                TransformPoint(*m, VECTOR{box[(i & 1) ? 3 : 0], box[(i & 2) ? 4 : 1], box[(i & 4) ? 5 : 2]},
                               c);
                const float v[3] = {c.x, c.y, c.z};
                for (int k = 0; k < 3; ++k) {
                    if (i == 0 || v[k] < want[k]) want[k] = v[k];
                    if (i == 0 || v[k] > want[3 + k]) want[3 + k] = v[k];
                }
            }
            float out[6];
            TransformBox(out, box.data(), *m);
            EXPECT_EQ(std::memcmp(out, want, sizeof out), 0)
                << "matrix " << name << ", box starting " << box[0];
        }
}

TEST(Matrix, PerspectiveNumbers) {
    MATRIX m;
    float fov = kPi / 3;  // 60 degrees
    ASSERT_TRUE(MatrixPerspective(m, fov, 0.75f, 1.0f, 101.0f));
    float cot = std::cos(fov / 2) / std::sin(fov / 2);
    EXPECT_NEAR(m.m[0], 0.75f * cot, 1e-6f);
    EXPECT_NEAR(m.m[5], cot, 1e-6f);
    EXPECT_NEAR(m.m[10], 101.0f / 100.0f, 1e-6f);
    EXPECT_EQ(m.m[11], 1.0f);
    EXPECT_NEAR(m.m[14], -1.01f, 1e-6f);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) EXPECT_EQ(m.m[i], 0.0f) << i;

    // Depth maps near to 0 and far to 1 after the divide.
    VECTOR p;
    ASSERT_TRUE(TransformPointChecked(p, VECTOR{0, 0, 1}, m));
    EXPECT_NEAR(p.z, 0.0f, 1e-6f);
    ASSERT_TRUE(TransformPointChecked(p, VECTOR{0, 0, 101}, m));
    EXPECT_NEAR(p.z, 1.0f, 1e-6f);

    MATRIX keep = m;
    EXPECT_FALSE(MatrixPerspective(m, fov, 1, 5.0f, 5.005f));
    EXPECT_FALSE(MatrixPerspective(m, 0.01f, 1, 1, 100));  // sin(0.005) < 0.01
    ExpectMatrixNear(m, keep, 0.0f);
}

TEST(Matrix, LookAtNumbers) {
    MATRIX m;
    VECTOR eye{1, 2, 3};
    ASSERT_TRUE(MatrixLookAt(m, eye, VECTOR{1, 2, 13}, VECTOR{0, 1, 0}));
    MATRIX want;
    MatrixTranslation(want, -1, -2, -3);
    ExpectMatrixNear(m, want, 1e-6f);

    // Looking down +x: the target lands on +z in view space, up stays up.
    ASSERT_TRUE(MatrixLookAt(m, VECTOR{0, 0, 0}, VECTOR{5, 0, 0}, VECTOR{0, 1, 0}));
    VECTOR p;
    TransformPoint(m, VECTOR{5, 0, 0}, p);
    ExpectVectorNear(p, VECTOR{0, 0, 5});
    TransformPoint(m, VECTOR{0, 1, 0}, p);
    ExpectVectorNear(p, VECTOR{0, 1, 0});
    TransformPoint(m, VECTOR{0, 0, -1}, p);  // right = u x view = y x x = -z
    ExpectVectorNear(p, VECTOR{1, 0, 0});

    // Up parallel to the view direction falls back to the y axis, then z.
    ASSERT_TRUE(MatrixLookAt(m, VECTOR{0, 0, 0}, VECTOR{0, 0, 4}, VECTOR{0, 0, 1}));
    EXPECT_NEAR(m.m[5], 1.0f, 1e-6f);
    ASSERT_TRUE(MatrixLookAt(m, VECTOR{0, 0, 0}, VECTOR{0, -3, 0}, VECTOR{0, 1, 0}));
    EXPECT_NEAR(m.m[9], 1.0f, 1e-6f);   // u = +z
    EXPECT_NEAR(m.m[6], -1.0f, 1e-6f);  // view = -y

    EXPECT_FALSE(MatrixLookAt(m, eye, eye, VECTOR{0, 1, 0}));
}

TEST(Matrix, FacingBillboard) {
    MATRIX m;
    MatrixFacing(m, VECTOR{0, 5, 10}, VECTOR{0, 5, 0});
    // f = +z, u = +y, r = u x f = +x: rotation is identity, row 3 = position.
    const MATRIX want = Make({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 5, 10, 1});
    ExpectMatrixNear(m, want, 1e-6f);

    MatrixFacing(m, VECTOR{3, 1, 0}, VECTOR{0, 5, 0});
    VECTOR f{m.m[8], m.m[9], m.m[10]}, u{m.m[4], m.m[5], m.m[6]}, r{m.m[0], m.m[1], m.m[2]};
    ExpectVectorNear(f, VECTOR{0.6f, -0.8f, 0});
    EXPECT_NEAR(VectorDot(f, u), 0.0f, 1e-6f);
    EXPECT_NEAR(VectorDot(r, u), 0.0f, 1e-6f);
    EXPECT_NEAR(VectorLength(u), 1.0f, 1e-6f);
    EXPECT_EQ(m.m[3], 0.0f);
    EXPECT_EQ(m.m[15], 1.0f);
}

TEST(Quaternion, MatrixConversionsAgree) {
    // 90 degrees about z: (0, 0, sin 45, cos 45).
    float h = std::sqrt(0.5f);
    QUATERNION q{0, 0, h, h};
    MATRIX m, z;
    MatrixFromQuaternion(m, q);
    MatrixRotationZ(z, kPi / 2);
    ExpectMatrixNear(m, z, 1e-6f);

    for (float ax : {0.0f, 0.5f, -2.5f})
        for (float ay : {0.0f, 1.2f, 3.0f})
            for (float az : {0.0f, -0.7f, 2.9f}) {
                QUATERNION e;
                QuaternionFromEuler(e, ax, ay, az);
                EXPECT_NEAR(e.x * e.x + e.y * e.y + e.z * e.z + e.w * e.w, 1.0f, 1e-5f);
                MATRIX back, direct;
                MatrixFromQuaternion(back, e);
                MatrixRotationEuler(direct, ax, ay, az);
                ExpectMatrixNear(back, direct, 2e-5f);
            }
}

TEST(Quaternion, Slerp) {
    QUATERNION id{0, 0, 0, 1};
    float h = std::sqrt(0.5f);
    QUATERNION z90{0, 0, h, h};
    QUATERNION out;
    QuaternionSlerp(out, id, z90, 0.5f);
    // Halfway is 45 degrees about z.
    EXPECT_NEAR(out.z, std::sin(kPi / 8), 1e-6f);
    EXPECT_NEAR(out.w, std::cos(kPi / 8), 1e-6f);
    QuaternionSlerp(out, id, z90, 0.0f);
    EXPECT_NEAR(out.w, 1.0f, 1e-6f);
    QuaternionSlerp(out, id, z90, 1.0f);
    EXPECT_NEAR(out.z, h, 1e-6f);

    // The other hemisphere is flipped onto the short arc.
    QUATERNION negZ90{0, 0, -h, -h};
    QuaternionSlerp(out, id, negZ90, 0.5f);
    EXPECT_NEAR(out.z, std::sin(kPi / 8), 1e-6f);
    EXPECT_NEAR(out.w, std::cos(kPi / 8), 1e-6f);

    // Nearly equal: plain linear blend, not renormalised.
    QUATERNION a{0, 0, 0, 1}, b{0, 0, 0, 1};
    QuaternionSlerp(out, a, b, 0.25f);
    EXPECT_EQ(out.w, 1.0f);
    QUATERNION c{0, 0, 0, 2};
    QuaternionSlerp(out, a, c, 0.5f);  // dot 2 > 1: linear branch
    EXPECT_FLOAT_EQ(out.w, 1.5f);
}

TEST(Plane, ClassifyPoint) {
    VECTOR origin{0, 0, 0}, normal{0, 1, 0};
    EXPECT_EQ(ClassifyPoint(VECTOR{0, 0.00001f, 0}, origin, normal), POINT_ON_PLANE);
    EXPECT_EQ(ClassifyPoint(VECTOR{0, -0.00001f, 0}, origin, normal), 256);
    EXPECT_EQ(ClassifyPoint(VECTOR{0, -1, 0}, origin, normal), 1);
    EXPECT_EQ(ClassifyPoint(VECTOR{5, 1, 5}, origin, normal), 16);
    EXPECT_EQ(ClassifyPoint(VECTOR{5, 3, 5}, VECTOR{0, 3, 0}, normal), 256);
    EXPECT_EQ(POINT_BEHIND_PLANE, 1);
    EXPECT_EQ(POINT_IN_FRONT_OF_PLANE, 0x10);
}

TEST(Plane, RayPlaneDistance) {
    VECTOR po{0, 0, 0}, n{0, 1, 0};
    EXPECT_EQ(RayPlaneDistance(VECTOR{0, 5, 0}, VECTOR{1, 0, 0}, po, n), -1.0);
    EXPECT_NEAR(RayPlaneDistance(VECTOR{0, 5, 0}, VECTOR{0, -1, 0}, po, n), 5.0, 1e-9);
    // In units of the direction and for a non-unit normal.
    EXPECT_NEAR(RayPlaneDistance(VECTOR{0, 5, 0}, VECTOR{0, -2, 0}, po, VECTOR{0, 3, 0}), 2.5, 1e-9);
    // Pointing away gives a negative distance.
    EXPECT_NEAR(RayPlaneDistance(VECTOR{0, 5, 0}, VECTOR{0, 1, 0}, po, n), -5.0, 1e-9);
}

TEST(Sphere, RaySphereDistance) {
    VECTOR centre{0, 0, 10};
    EXPECT_NEAR(RaySphereDistance(VECTOR{0, 0, 0}, VECTOR{0, 0, 1}, centre, 2.0f), 8.0, 1e-6);
    EXPECT_EQ(RaySphereDistance(VECTOR{3, 0, 0}, VECTOR{0, 0, 1}, centre, 2.0f), -1.0);
    double inside = RaySphereDistance(VECTOR{0, 0, 10}, VECTOR{0, 0, 1}, centre, 2.0f);
    EXPECT_NEAR(inside, -2.0, 1e-6);
    // Off-centre hit: the chord is shorter.
    EXPECT_NEAR(RaySphereDistance(VECTOR{1.2f, 0, 0}, VECTOR{0, 0, 1}, centre, 2.0f), 8.4, 1e-5);
}

TEST(Box, PointAndSphere) {
    float box[6] = {0, 0, 0, 1, 2, 3};
    EXPECT_TRUE(PointInBox(VECTOR{0, 0, 0}, box));
    EXPECT_TRUE(PointInBox(VECTOR{1, 2, 3}, box));
    EXPECT_FALSE(PointInBox(VECTOR{1.0001f, 1, 1}, box));
    EXPECT_FALSE(PointInBox(VECTOR{0.5f, 1, -0.001f}, box));

    EXPECT_TRUE(SphereIntersectsBox(VECTOR{0.5f, 1, 1}, 0.0f, box));
    EXPECT_TRUE(SphereIntersectsBox(VECTOR{3, 1, 1}, 2.0f, box));  // touches the face
    EXPECT_FALSE(SphereIntersectsBox(VECTOR{3, 1, 1}, 1.99f, box));
    // Corner distance: sqrt(1 + 1 + 1).
    EXPECT_TRUE(SphereIntersectsBox(VECTOR{2, 3, 4}, 1.7321f, box));
    EXPECT_FALSE(SphereIntersectsBox(VECTOR{2, 3, 4}, 1.732f, box));
}

TEST(Box, RayIntersectsBox) {
    float box[6] = {-1, -1, -1, 1, 1, 1};
    EXPECT_TRUE(RayIntersectsBox(box, VECTOR{0, 0, 0}, VECTOR{0, 0, 0}));  // inside
    EXPECT_TRUE(RayIntersectsBox(box, VECTOR{-5, 0, 0}, VECTOR{1, 0, 0}));
    EXPECT_FALSE(RayIntersectsBox(box, VECTOR{-5, 0, 0}, VECTOR{-1, 0, 0}));  // behind
    EXPECT_FALSE(RayIntersectsBox(box, VECTOR{-5, 3, 0}, VECTOR{1, 0, 0}));   // passes above
    VECTOR diag{1, 1, 1};
    VectorNormalize(diag);
    EXPECT_TRUE(RayIntersectsBox(box, VECTOR{-3, -3, -3}, diag));
    EXPECT_FALSE(RayIntersectsBox(box, VECTOR{-3, -3, 3}, diag));
    // Grazing an edge counts (inclusive faces).
    EXPECT_TRUE(RayIntersectsBox(box, VECTOR{-5, 1, 0}, VECTOR{1, 0, 0}));
    // Outside on one axis with no motion along it: cannot reach.
    EXPECT_FALSE(RayIntersectsBox(box, VECTOR{0, 5, 0}, VECTOR{1, 0, 0}));
}
