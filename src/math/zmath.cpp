#include "math/zmath.h"

#include <cmath>
#include <cstring>

namespace {

const float kShortLength = 1e-5f;

void SetIdentity(float* m) {
    std::memset(m, 0, 16 * sizeof(float));
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

// Lengths are compared by bit pattern: for the non-negative floats a length
// can be, the integer order of the bits is the numeric order, and a NaN
// length compares above everything and so is never "short".
bool IsShort(float len) {
    unsigned int bits;
    unsigned int limit;
    float threshold = kShortLength;
    std::memcpy(&bits, &len, sizeof bits);
    std::memcpy(&limit, &threshold, sizeof limit);
    return bits < limit;
}

}  // namespace

// --- vectors -------------------------------------------------------------

void VectorNormalize(VECTOR& v) {
    float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (IsShort(len) || len == 1.0f) return;
    v.x /= len;
    v.y /= len;
    v.z /= len;
}

void VectorSetLength(VECTOR& v, float len) {
    float current = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    // A zero vector has no direction to keep; leave it as it is instead of
    // filling it with NaNs that would spread through every later transform.
    if (current == 0.0f) return;
    float k = len / current;
    v.x *= k;
    v.y *= k;
    v.z *= k;
}

void VectorScale(VECTOR& out, float s, const VECTOR& v) {
    out.x = s * v.x;
    out.y = s * v.y;
    out.z = s * v.z;
}

VECTOR BoxCenter(const float box[6]) {
    VECTOR half{box[3] - box[0], box[4] - box[1], box[5] - box[2]};
    VectorScale(half, 0.5f, half);
    return VECTOR{box[0] + half.x, box[1] + half.y, box[2] + half.z};
}

bool PointWithinRadius(const VECTOR& p, const VECTOR& q, double r) {
    VECTOR d = p - q;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z) <= r;
}

// --- matrix builders -----------------------------------------------------

void MatrixIdentity(MATRIX& m) { SetIdentity(m.m); }

void MatrixTranslation(MATRIX& m, float x, float y, float z) {
    SetIdentity(m.m);
    m.m[12] = x;
    m.m[13] = y;
    m.m[14] = z;
}

void MatrixTranslation(MATRIX& m, const VECTOR& v) { MatrixTranslation(m, v.x, v.y, v.z); }

void MatrixScaling(MATRIX& m, const VECTOR& v) {
    SetIdentity(m.m);
    m.m[0] = v.x;
    m.m[5] = v.y;
    m.m[10] = v.z;
}

void MatrixRotationX(MATRIX& m, float a) {
    float c = std::cos(a), s = std::sin(a);
    SetIdentity(m.m);
    m.m[5] = c;
    m.m[6] = s;
    m.m[9] = -s;
    m.m[10] = c;
}

void MatrixRotationY(MATRIX& m, float a) {
    float c = std::cos(a), s = std::sin(a);
    SetIdentity(m.m);
    m.m[0] = c;
    m.m[2] = -s;
    m.m[8] = s;
    m.m[10] = c;
}

void MatrixRotationZ(MATRIX& m, float a) {
    float c = std::cos(a), s = std::sin(a);
    SetIdentity(m.m);
    m.m[0] = c;
    m.m[1] = s;
    m.m[4] = -s;
    m.m[5] = c;
}

void MatrixRotationAxis(MATRIX& m, const VECTOR& axis, float a) {
    VECTOR n = axis;
    VectorNormalize(n);
    float x = n.x, y = n.y, z = n.z;
    float c = std::cos(a), s = std::sin(a), t = 1.0f - c;
    SetIdentity(m.m);
    m.m[0] = x * x * t + c;
    m.m[1] = x * y * t - z * s;
    m.m[2] = x * z * t + y * s;
    m.m[4] = x * y * t + z * s;
    m.m[5] = y * y * t + c;
    m.m[6] = y * z * t - x * s;
    m.m[8] = x * z * t - y * s;
    m.m[9] = y * z * t + x * s;
    m.m[10] = z * z * t + c;
}

void MatrixRotationEuler(MATRIX& m, float ax, float ay, float az) {
    MATRIX rx, ry, rz;
    MatrixRotationX(rx, ax);
    MatrixRotationY(ry, ay);
    MatrixRotationZ(rz, az);
    MatrixMultiply(m, rx, ry);
    MatrixMultiply(m, m, rz);
}

void MatrixFromQuaternion(MATRIX& m, const QUATERNION& q) {
    float x = q.x, y = q.y, z = q.z, w = q.w;
    std::memset(m.m, 0, sizeof m.m);
    m.m[0] = 1.0f - 2.0f * y * y - 2.0f * z * z;
    m.m[1] = 2.0f * x * y + 2.0f * w * z;
    m.m[2] = 2.0f * x * z - 2.0f * w * y;
    m.m[4] = 2.0f * x * y - 2.0f * w * z;
    m.m[5] = 1.0f - 2.0f * x * x - 2.0f * z * z;
    m.m[6] = 2.0f * y * z + 2.0f * w * x;
    m.m[8] = 2.0f * x * z + 2.0f * w * y;
    m.m[9] = 2.0f * y * z - 2.0f * w * x;
    m.m[10] = 1.0f - 2.0f * x * x - 2.0f * y * y;
    m.m[15] = 1.0f;
}

bool MatrixPerspective(MATRIX& m, float fov, float aspect, float znear, float zfar) {
    if (std::fabs(zfar - znear) < 0.01f) return false;
    float s = std::sin(fov * 0.5f);
    if (std::fabs(s) < 0.01f) return false;
    float c = std::cos(fov * 0.5f);
    float q = zfar / (zfar - znear);
    std::memset(m.m, 0, sizeof m.m);
    m.m[0] = aspect * c / s;
    m.m[5] = c / s;
    m.m[10] = q;
    m.m[11] = 1.0f;
    m.m[14] = -q * znear;
    return true;
}

bool MatrixLookAt(MATRIX& m, const VECTOR& eye, const VECTOR& at, const VECTOR& up) {
    VECTOR view = at - eye;
    float len = VectorLength(view);
    if (len < 1e-6f) return false;
    view *= 1.0f / len;

    VECTOR u = up - view * VectorDot(up, view);
    len = VectorLength(u);
    if (len < 1e-6f) {
        u = VECTOR{0.0f, 1.0f, 0.0f} - view * view.y;
        len = VectorLength(u);
        if (len < 1e-6f) {
            u = VECTOR{0.0f, 0.0f, 1.0f} - view * view.z;
            len = VectorLength(u);
            if (len < 1e-6f) return false;
        }
    }
    u *= 1.0f / len;

    VECTOR right = VectorCross(u, view);

    SetIdentity(m.m);
    m.m[0] = right.x;
    m.m[4] = right.y;
    m.m[8] = right.z;
    m.m[1] = u.x;
    m.m[5] = u.y;
    m.m[9] = u.z;
    m.m[2] = view.x;
    m.m[6] = view.y;
    m.m[10] = view.z;
    m.m[12] = -VectorDot(eye, right);
    m.m[13] = -VectorDot(eye, u);
    m.m[14] = -VectorDot(eye, view);
    return true;
}

void MatrixFacing(MATRIX& m, const VECTOR& position, const VECTOR& target) {
    VECTOR f = position - target;
    VectorNormalize(f);
    VECTOR u = VECTOR{0.0f, 1.0f, 0.0f} - f * f.y;
    VectorNormalize(u);
    VECTOR r = VectorCross(u, f);
    VectorNormalize(r);
    m.m[0] = r.x;
    m.m[1] = r.y;
    m.m[2] = r.z;
    m.m[3] = 0.0f;
    m.m[4] = u.x;
    m.m[5] = u.y;
    m.m[6] = u.z;
    m.m[7] = 0.0f;
    m.m[8] = f.x;
    m.m[9] = f.y;
    m.m[10] = f.z;
    m.m[11] = 0.0f;
    m.m[12] = position.x;
    m.m[13] = position.y;
    m.m[14] = position.z;
    m.m[15] = 1.0f;
}

// --- matrix operations ---------------------------------------------------

void MatrixMultiply(MATRIX& out, const MATRIX& a, const MATRIX& b) {
    float r[16] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r[i * 4 + j] += a.m[i * 4 + k] * b.m[k * 4 + j];
    std::memcpy(out.m, r, sizeof r);
}

bool MatrixIsIdentity(const MATRIX& m) {
    for (int i = 0; i < 16; ++i) {
        float want = (i % 5 == 0) ? 1.0f : 0.0f;
        if (m.m[i] != want)  // -0.0f == 0.0f, so both zeros pass
            return false;
    }
    return true;
}

bool MatrixInvertAffine(MATRIX& out, const MATRIX& m) {
    if (std::fabs(m.m[15] - 1.0f) > 0.001f) return false;
    if (std::fabs(m.m[3]) > 0.001f || std::fabs(m.m[7]) > 0.001f || std::fabs(m.m[11]) > 0.001f) return false;

    const float* a = m.m;
    // Cofactors of the upper 3x3, already transposed into the inverse's layout.
    float r[9];
    r[0] = a[5] * a[10] - a[6] * a[9];
    r[1] = a[2] * a[9] - a[1] * a[10];
    r[2] = a[1] * a[6] - a[2] * a[5];
    r[3] = a[6] * a[8] - a[4] * a[10];
    r[4] = a[0] * a[10] - a[2] * a[8];
    r[5] = a[2] * a[4] - a[0] * a[6];
    r[6] = a[4] * a[9] - a[5] * a[8];
    r[7] = a[1] * a[8] - a[0] * a[9];
    r[8] = a[0] * a[5] - a[1] * a[4];
    float det = a[0] * r[0] + a[1] * r[3] + a[2] * r[6];
    float inv = 1.0f / det;
    for (float& v : r) v *= inv;

    float tx = a[12], ty = a[13], tz = a[14];
    MATRIX o;
    o.m[0] = r[0];
    o.m[1] = r[1];
    o.m[2] = r[2];
    o.m[3] = 0.0f;
    o.m[4] = r[3];
    o.m[5] = r[4];
    o.m[6] = r[5];
    o.m[7] = 0.0f;
    o.m[8] = r[6];
    o.m[9] = r[7];
    o.m[10] = r[8];
    o.m[11] = 0.0f;
    o.m[12] = -(tx * r[0] + ty * r[3] + tz * r[6]);
    o.m[13] = -(tx * r[1] + ty * r[4] + tz * r[7]);
    o.m[14] = -(tx * r[2] + ty * r[5] + tz * r[8]);
    o.m[15] = 1.0f;
    out = o;
    return true;
}

void TransformPoint(const MATRIX& m, const VECTOR& p, VECTOR& out) {
    if (!TransformPointChecked(out, p, m)) out = VECTOR{0.0f, 0.0f, 0.0f};
}

bool TransformPointChecked(VECTOR& out, const VECTOR& p, const MATRIX& m) {
    const float* a = m.m;
    float w = p.x * a[3] + p.y * a[7] + p.z * a[11] + a[15];
    if (std::fabs(w) < 1e-5f) return false;
    float x = (p.x * a[0] + p.y * a[4] + p.z * a[8] + a[12]) / w;
    float y = (p.x * a[1] + p.y * a[5] + p.z * a[9] + a[13]) / w;
    float z = (p.x * a[2] + p.y * a[6] + p.z * a[10] + a[14]) / w;
    out = VECTOR{x, y, z};
    return true;
}

namespace {
// The eight sums of one axis of an affine transform, in corner order (bit 0
// high x, 1 high y, 2 high z), as TransformPoint adds them: x, y, z, move.
inline void AxisSums(float c[8], const float box[6], const float* a, int k) {
    const float x0 = box[0] * a[k], x1 = box[3] * a[k];
    const float y0 = box[1] * a[4 + k], y1 = box[4] * a[4 + k];
    const float z0 = box[2] * a[8 + k], z1 = box[5] * a[8 + k];
    const float xy[4] = {x0 + y0, x1 + y0, x0 + y1, x1 + y1};
    for (int i = 0; i < 4; ++i) {
        c[i] = xy[i] + z0 + a[12 + k];
        c[4 + i] = xy[i] + z1 + a[12 + k];
    }
}
}  // namespace

void TransformBox(float out[6], const float box[6], const MATRIX& m) {
    float result[6];
    const float* a = m.m;
    // An affine matrix (every entity's world matrix) leaves w at exactly 1
    // for a finite corner, so a corner is its three sums, and the corners
    // share their products: the same operations in the same order as
    // TransformPoint, so the same box to the bit, for a fraction of the work
    // (an area's load moves thousands of boxes).
    bool finite = true;
    for (int k = 0; k < 6; ++k) finite &= std::isfinite(box[k]);
    if (finite && a[3] == 0.0f && a[7] == 0.0f && a[11] == 0.0f && a[15] == 1.0f) {
        for (int k = 0; k < 3; ++k) {
            float c[8];
            AxisSums(c, box, a, k);
            float low = c[0], high = c[0];
#if defined(__GNUC__)
#pragma GCC unroll 8
#endif
            for (int i = 1; i < 8; ++i) {
                low = c[i] < low ? c[i] : low;
                high = c[i] > high ? c[i] : high;
            }
            result[k] = low;
            result[3 + k] = high;
        }
        std::memcpy(out, result, sizeof result);
        return;
    }
    for (int i = 0; i < 8; ++i) {
        VECTOR corner{box[(i & 1) ? 3 : 0], box[(i & 2) ? 4 : 1], box[(i & 4) ? 5 : 2]};
        VECTOR t;
        TransformPoint(m, corner, t);
        if (i == 0) {
            result[0] = result[3] = t.x;
            result[1] = result[4] = t.y;
            result[2] = result[5] = t.z;
            continue;
        }
        if (t.x < result[0]) result[0] = t.x;
        if (t.y < result[1]) result[1] = t.y;
        if (t.z < result[2]) result[2] = t.z;
        if (t.x > result[3]) result[3] = t.x;
        if (t.y > result[4]) result[4] = t.y;
        if (t.z > result[5]) result[5] = t.z;
    }
    std::memcpy(out, result, sizeof result);
}

// --- quaternions ---------------------------------------------------------

void QuaternionSlerp(QUATERNION& out, const QUATERNION& q1, const QUATERNION& q2, float t) {
    QUATERNION b = q2;
    float cosTheta = q1.x * b.x + q1.y * b.y + q1.z * b.z + q1.w * b.w;
    if (cosTheta < 0.0f) {
        b.x = -b.x;
        b.y = -b.y;
        b.z = -b.z;
        b.w = -b.w;
        cosTheta = -cosTheta;
    }
    float k1, k2;
    if (1.0f - cosTheta > 1e-5f) {
        // Rounding can push the dot of two unit quaternions past 1.
        float theta = std::acos(cosTheta > 1.0f ? 1.0f : cosTheta);
        float sinTheta = std::sin(theta);
        k1 = std::sin((1.0f - t) * theta) / sinTheta;
        k2 = std::sin(t * theta) / sinTheta;
    } else {
        k1 = 1.0f - t;
        k2 = t;
    }
    QUATERNION r;
    r.x = k1 * q1.x + k2 * b.x;
    r.y = k1 * q1.y + k2 * b.y;
    r.z = k1 * q1.z + k2 * b.z;
    r.w = k1 * q1.w + k2 * b.w;
    out = r;
}

void QuaternionFromMatrix(QUATERNION& q, const MATRIX& m) {
    // Inverse of MatrixFromQuaternion: m[1] - m[4] = 4wz, m[8] - m[2] = 4wy,
    // m[6] - m[9] = 4wx. The largest diagonal term picks the stable branch.
    const float* a = m.m;
    float trace = a[0] + a[5] + a[10];
    if (trace > 0.0f) {
        float s = std::sqrt(trace + 1.0f) * 2.0f;  // 4w
        q.w = 0.25f * s;
        q.x = (a[6] - a[9]) / s;
        q.y = (a[8] - a[2]) / s;
        q.z = (a[1] - a[4]) / s;
    } else if (a[0] > a[5] && a[0] > a[10]) {
        float s = std::sqrt(1.0f + a[0] - a[5] - a[10]) * 2.0f;  // 4x
        q.w = (a[6] - a[9]) / s;
        q.x = 0.25f * s;
        q.y = (a[1] + a[4]) / s;
        q.z = (a[8] + a[2]) / s;
    } else if (a[5] > a[10]) {
        float s = std::sqrt(1.0f + a[5] - a[0] - a[10]) * 2.0f;  // 4y
        q.w = (a[8] - a[2]) / s;
        q.x = (a[1] + a[4]) / s;
        q.y = 0.25f * s;
        q.z = (a[6] + a[9]) / s;
    } else {
        float s = std::sqrt(1.0f + a[10] - a[0] - a[5]) * 2.0f;  // 4z
        q.w = (a[1] - a[4]) / s;
        q.x = (a[8] + a[2]) / s;
        q.y = (a[6] + a[9]) / s;
        q.z = 0.25f * s;
    }
}

void QuaternionFromEuler(QUATERNION& q, float ax, float ay, float az) {
    MATRIX m;
    MatrixRotationEuler(m, ax, ay, az);
    QuaternionFromMatrix(q, m);
}

// --- geometric tests -----------------------------------------------------

int ClassifyPoint(const VECTOR& p, const VECTOR& planeOrigin, const VECTOR& planeNormal) {
    float d = VectorDot(planeOrigin - p, planeNormal);
    if (d > 1e-5f) return POINT_BEHIND_PLANE;
    if (d < -1e-5f) return POINT_IN_FRONT_OF_PLANE;
    return POINT_ON_PLANE;
}

double RayPlaneDistance(const VECTOR& rayOrigin, const VECTOR& rayDir, const VECTOR& planeOrigin,
                        const VECTOR& planeNormal) {
    double denom = VectorDot(planeNormal, rayDir);
    if (std::fabs(denom) < 1e-5) return -1.0;
    double numer = VectorDot(planeNormal, rayOrigin) - VectorDot(planeNormal, planeOrigin);
    return -(numer / denom);
}

double RaySphereDistance(const VECTOR& rayOrigin, const VECTOR& rayDir, const VECTOR& centre, float radius) {
    VECTOR q = centre - rayOrigin;
    double c = VectorLength(q);
    double v = VectorDot(q, rayDir);
    double d = (double)radius * radius - (c * c - v * v);
    if (d < 0.0) return -1.0;
    return v - std::sqrt(d);
}

bool PointInBox(const VECTOR& p, const float box[6]) {
    return p.x >= box[0] && p.x <= box[3] && p.y >= box[1] && p.y <= box[4] && p.z >= box[2] && p.z <= box[5];
}

bool SphereIntersectsBox(const VECTOR& centre, float radius, const float box[6]) {
    if (PointInBox(centre, box)) return true;
    const float c[3] = {centre.x, centre.y, centre.z};
    float sum = 0.0f;
    for (int i = 0; i < 3; ++i) {
        float d = 0.0f;
        if (c[i] < box[i])
            d = box[i] - c[i];
        else if (c[i] > box[i + 3])
            d = c[i] - box[i + 3];
        sum += d * d;
    }
    return radius * radius >= sum;
}

bool RayIntersectsBox(const float box[6], const VECTOR& origin, const VECTOR& dir) {
    enum {
        kLeft,
        kRight,
        kMiddle
    };
    const float o[3] = {origin.x, origin.y, origin.z};
    const float d[3] = {dir.x, dir.y, dir.z};
    int side[3];
    float candidate[3] = {0.0f, 0.0f, 0.0f};
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
        if (o[i] < box[i]) {
            side[i] = kLeft;
            candidate[i] = box[i];
            inside = false;
        } else if (o[i] > box[i + 3]) {
            side[i] = kRight;
            candidate[i] = box[i + 3];
            inside = false;
        } else {
            side[i] = kMiddle;
        }
    }
    if (inside) return true;

    float t[3];
    for (int i = 0; i < 3; ++i)
        t[i] = (side[i] != kMiddle && d[i] != 0.0f) ? (candidate[i] - o[i]) / d[i] : -1.0f;

    int axis = 0;
    for (int i = 1; i < 3; ++i)
        if (t[i] > t[axis]) axis = i;
    if (t[axis] < 0.0f) return false;

    for (int i = 0; i < 3; ++i) {
        if (i == axis) continue;
        float at = o[i] + t[axis] * d[i];
        if (at < box[i] || at > box[i + 3]) return false;
    }
    return true;
}
