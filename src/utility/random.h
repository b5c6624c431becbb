// All chance in the engine comes from here, so that a seeded run repeats
// exactly. A thin wrapper over the C library's rand/srand.
#ifndef ZENDAR_UTILITY_RANDOM_H
#define ZENDAR_UTILITY_RANDOM_H

// 0..32767.
int Z1Rand();
void Z1SeedRandom(unsigned seed);

#endif
