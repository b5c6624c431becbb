// The view frustum: six planes from the camera's combined view x projection
// matrix, plus the world matrix of whatever is being drawn, so that each
// object can test its own model-space boxes.
#ifndef ZENDAR_CULLING_CPLANE_H
#define ZENDAR_CULLING_CPLANE_H

#include "math/zmath.h"

// ClassifyBox results.
enum {
    BOX_OUTSIDE = 0,
    BOX_INTERSECTING = 1,
    BOX_INSIDE = 16
};

class CPlane {
public:
    CPlane();
    virtual ~CPlane();

    // m: view x projection. Planes face outward: a.p + d > 0 is outside.
    void SetFromMatrix(const MATRIX& m);
    // Boxes handed to ClassifyBox are transformed by m first (skipped for the
    // identity).
    void SetObjectMatrix(const MATRIX& m);
    // box: minimum x, y, z then maximum x, y, z. BOX_OUTSIDE, BOX_INTERSECTING
    // or BOX_INSIDE.
    int ClassifyBox(const float box[6]) const;

    float planes[6][4];
    MATRIX objectMatrix;
    bool objectIsIdentity;
};

#endif
