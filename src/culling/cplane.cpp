#include "culling/cplane.h"

#include <cmath>

CPlane::CPlane() : objectIsIdentity(true) {
    for (int i = 0; i < 6; i++)
        for (int k = 0; k < 4; k++) planes[i][k] = 0.0f;
    MatrixIdentity(objectMatrix);
}

CPlane::~CPlane() {}

void CPlane::SetFromMatrix(const MATRIX& m) {
    // Column k of m: elements k, 4 + k, 8 + k, 12 + k.
    float col[4][4];
    for (int k = 0; k < 4; k++)
        for (int r = 0; r < 4; r++) col[k][r] = m[r * 4 + k];
    // left, right, top, bottom, near, far
    static const int kOther[6] = {0, 0, 1, 1, 2, 2};
    static const float kSign[6] = {1.0f, -1.0f, -1.0f, 1.0f, 1.0f, -1.0f};
    for (int i = 0; i < 6; i++) {
        for (int r = 0; r < 4; r++) planes[i][r] = -(col[3][r] + kSign[i] * col[kOther[i]][r]);
        float len = std::sqrt(planes[i][0] * planes[i][0] + planes[i][1] * planes[i][1] +
                              planes[i][2] * planes[i][2]);
        // A degenerate matrix gives a zero normal; leave that plane unscaled
        // rather than fill it with infinities.
        if (len > 0.0f) {
            float inv = 1.0f / len;
            for (int r = 0; r < 4; r++) planes[i][r] *= inv;
        }
    }
}

void CPlane::SetObjectMatrix(const MATRIX& m) {
    objectMatrix = m;
    objectIsIdentity = MatrixIsIdentity(m);
}

int CPlane::ClassifyBox(const float boxIn[6]) const {
    float box[6];
    if (objectIsIdentity) {
        for (int i = 0; i < 6; i++) box[i] = boxIn[i];
    } else {
        TransformBox(box, boxIn, objectMatrix);
    }
    bool intersecting = false;
    for (int i = 0; i < 6; i++) {
        const float* p = planes[i];
        float nearC[3], farC[3];
        for (int a = 0; a < 3; a++) {
            if (p[a] < 0.0f) {
                nearC[a] = box[3 + a];
                farC[a] = box[a];
            } else {
                nearC[a] = box[a];
                farC[a] = box[3 + a];
            }
        }
        if (p[0] * nearC[0] + p[1] * nearC[1] + p[2] * nearC[2] + p[3] > 0.0f) return BOX_OUTSIDE;
        if (p[0] * farC[0] + p[1] * farC[1] + p[2] * farC[2] + p[3] >= 0.0f) intersecting = true;
    }
    return intersecting ? BOX_INTERSECTING : BOX_INSIDE;
}
