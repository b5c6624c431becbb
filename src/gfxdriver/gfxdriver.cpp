#include "gfxdriver/gfxdriver.h"

GfxDriver* g_gfxdriver = nullptr;

GfxDriver::GfxDriver()
    : private_flags{0, 0, 0},
      fullscreen(0),
      width(0),
      height(0),
      faces(0),
      vertices(0),
      private_value(0),
      lighting(0),
      alpha_blending(0),
      zbuffer_mode(0),
      wrap_u(0),
      wrap_v(0),
      frames(0),
      world_flag(0) {}

GfxDriver::~GfxDriver() {}
