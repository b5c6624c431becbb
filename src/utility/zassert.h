// Fatal invariant checks for the engine's containers. They stay on in every
// build: a broken container invariant is a programming error, and carrying on
// would corrupt memory, so the report names the expression, file and line on
// standard error and the process ends.
#ifndef ZENDAR_UTILITY_ZASSERT_H
#define ZENDAR_UTILITY_ZASSERT_H

[[noreturn]] void Z1AssertFailed(const char* expression, const char* file, int line);

#define Z1_ASSERT(expr) ((expr) ? (void)0 : Z1AssertFailed(#expr, __FILE__, __LINE__))

#endif
