#include "gfxdriver/opengldriver/opengldriver.h"

#include "utility/log.h"

// Temporary until the bitmap reader lands.
bool OpenGLDriver::GenerateTexture(const char* name, const char*) {
  LogLine("Error loading texture '%s' Error was '%s'", name ? name : "", "no bitmap reader");
  return false;
}
