#include "utility/random.h"

#include <cstdint>

namespace {

uint32_t g_seed = 1;

}  // namespace

int Z1Rand() {
    g_seed = g_seed * 214013u + 2531011u;
    return static_cast<int>((g_seed >> 16) & 0x7fffu);
}

void Z1SeedRandom(unsigned seed) { g_seed = static_cast<uint32_t>(seed); }
