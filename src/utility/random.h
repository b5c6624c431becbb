// All chance in the engine comes from here, so that a seeded run repeats
// exactly and gives the same sequence on every platform: the generator is the
// 32-bit Windows C library's rand, written out, not the host's.
#ifndef ZENDAR_UTILITY_RANDOM_H
#define ZENDAR_UTILITY_RANDOM_H

// 0..32767. seed = seed * 214013 + 2531011; the result is bits 16..30.
int Z1Rand();
// The state starts at 1, as the C library's does before srand.
void Z1SeedRandom(unsigned seed);

#endif
