// Vectors, 4x4 matrices, quaternions, boxes and the geometric tests that
// culling and collision are built from.
//
// MATRIX is row-major in the row-vector convention: element m[r*4 + c],
// points transform as p' = p x M, translation sits in elements 12, 13, 14,
// and A x B applies A first. The same layout goes unchanged to the graphics
// driver.
//
// Boxes are six floats: minimum x, y, z then maximum x, y, z, inclusive on
// every face. Every function here is pure and allocation-free.
#ifndef ZENDAR_MATH_ZMATH_H
#define ZENDAR_MATH_ZMATH_H

#include <cmath>

// Copied by value everywhere; it is also the position field of the vertex
// records, so it stays trivial (a default-constructed VECTOR is uninitialised,
// VECTOR{} and VECTOR() are zero).
struct VECTOR {
    float x, y, z;

    VECTOR() = default;
    constexpr VECTOR(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    VECTOR operator+(const VECTOR& o) const { return VECTOR{x + o.x, y + o.y, z + o.z}; }
    VECTOR operator-(const VECTOR& o) const { return VECTOR{x - o.x, y - o.y, z - o.z}; }
    VECTOR operator-() const { return VECTOR{-x, -y, -z}; }
    VECTOR operator*(float s) const { return VECTOR{x * s, y * s, z * s}; }
    VECTOR& operator+=(const VECTOR& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
    VECTOR& operator-=(const VECTOR& o) {
        x -= o.x;
        y -= o.y;
        z -= o.z;
        return *this;
    }
    VECTOR& operator*=(float s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    bool operator==(const VECTOR& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const VECTOR& o) const { return !(*this == o); }
};

inline VECTOR operator*(float s, const VECTOR& v) { return v * s; }

inline float VectorDot(const VECTOR& a, const VECTOR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline VECTOR VectorCross(const VECTOR& a, const VECTOR& b) {
    return VECTOR{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float VectorLength(const VECTOR& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
inline float VectorLengthSquared(const VECTOR& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }

struct MATRIX {
    float m[16];

    float& operator[](int i) { return m[i]; }
    const float& operator[](int i) const { return m[i]; }
    // Element at row r, column c.
    float& operator()(int r, int c) { return m[r * 4 + c]; }
    const float& operator()(int r, int c) const { return m[r * 4 + c]; }
};

// Rotation part first, then w.
struct QUATERNION {
    float x, y, z, w;
};

// ClassifyPoint results; collision compares against exactly these values.
enum {
    POINT_BEHIND_PLANE = 0x001,
    POINT_IN_FRONT_OF_PLANE = 0x010,
    POINT_ON_PLANE = 0x100
};

// --- vectors -------------------------------------------------------------
void VectorNormalize(VECTOR& v);
void VectorSetLength(VECTOR& v, float len);
void VectorScale(VECTOR& out, float s, const VECTOR& v);
VECTOR BoxCenter(const float box[6]);
bool PointWithinRadius(const VECTOR& p, const VECTOR& q, double r);

// --- matrix builders -----------------------------------------------------
void MatrixIdentity(MATRIX& m);
void MatrixTranslation(MATRIX& m, float x, float y, float z);
void MatrixTranslation(MATRIX& m, const VECTOR& v);
void MatrixScaling(MATRIX& m, const VECTOR& v);
void MatrixRotationX(MATRIX& m, float a);
void MatrixRotationY(MATRIX& m, float a);
void MatrixRotationZ(MATRIX& m, float a);
void MatrixRotationAxis(MATRIX& m, const VECTOR& axis, float a);
void MatrixRotationEuler(MATRIX& m, float ax, float ay, float az);
void MatrixFromQuaternion(MATRIX& m, const QUATERNION& q);
bool MatrixPerspective(MATRIX& m, float fov, float aspect, float znear, float zfar);
bool MatrixLookAt(MATRIX& m, const VECTOR& eye, const VECTOR& at, const VECTOR& up);
void MatrixFacing(MATRIX& m, const VECTOR& position, const VECTOR& target);

// --- matrix operations ---------------------------------------------------
void MatrixMultiply(MATRIX& out, const MATRIX& a, const MATRIX& b);
bool MatrixIsIdentity(const MATRIX& m);
bool MatrixInvertAffine(MATRIX& out, const MATRIX& m);
void TransformPoint(const MATRIX& m, const VECTOR& p, VECTOR& out);
bool TransformPointChecked(VECTOR& out, const VECTOR& p, const MATRIX& m);
void TransformBox(float out[6], const float box[6], const MATRIX& m);

// --- quaternions ---------------------------------------------------------
void QuaternionSlerp(QUATERNION& out, const QUATERNION& q1, const QUATERNION& q2, float t);
// The rotation of MatrixRotationEuler (ax, ay, az) as a unit quaternion.
void QuaternionFromEuler(QUATERNION& q, float ax, float ay, float az);
// The rotation held in the upper 3x3 of m (assumed orthonormal).
void QuaternionFromMatrix(QUATERNION& q, const MATRIX& m);

// --- geometric tests -----------------------------------------------------
int ClassifyPoint(const VECTOR& p, const VECTOR& planeOrigin, const VECTOR& planeNormal);
double RayPlaneDistance(const VECTOR& rayOrigin, const VECTOR& rayDir, const VECTOR& planeOrigin,
                        const VECTOR& planeNormal);
double RaySphereDistance(const VECTOR& rayOrigin, const VECTOR& rayDir, const VECTOR& centre, float radius);
bool PointInBox(const VECTOR& p, const float box[6]);
bool SphereIntersectsBox(const VECTOR& centre, float radius, const float box[6]);
bool RayIntersectsBox(const float box[6], const VECTOR& origin, const VECTOR& dir);

#endif
