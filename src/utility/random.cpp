#include "utility/random.h"

#include <cstdlib>

int Z1Rand() {
    // The C library's range differs between platforms; the engine's is 15 bits.
    return std::rand() & 0x7fff;
}

void Z1SeedRandom(unsigned seed) { std::srand(seed); }
