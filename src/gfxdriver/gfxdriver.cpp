#include "gfxdriver/gfxdriver.h"

#include <cstring>

GfxDriver* g_gfxdriver = nullptr;

void BoxEdgeLines(const float* corners, VERTEX lines[24]) {
    const float x0 = corners[0], y0 = corners[1], z0 = corners[2];
    const float x1 = corners[3], y1 = corners[4], z1 = corners[5];
    const float p[8][3] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                           {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
    static const int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                     {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    std::memset(lines, 0, 24 * sizeof(VERTEX));
    for (int e = 0; e < 12; ++e)
        for (int k = 0; k < 2; ++k) {
            VERTEX& out = lines[e * 2 + k];
            out.x = p[edges[e][k]][0];
            out.y = p[edges[e][k]][1];
            out.z = p[edges[e][k]][2];
        }
}

GfxDriver::GfxDriver()
    : privateFlags{0, 0, 0},
      fullscreen(0),
      width(0),
      height(0),
      faces(0),
      vertices(0),
      privateValue(0),
      lighting(0),
      alphaBlending(0),
      zbufferMode(0),
      wrapU(0),
      wrapV(0),
      frames(0),
      worldFlag(0) {}

GfxDriver::~GfxDriver() {}

bool GfxDriver::SetBackgroundDepth(bool) { return false; }

bool GfxDriver::DrawIndexedDualLayer(const DUALVERTEX*, int, const uint16_t*, int, const char*, const char*) {
    return false;
}
