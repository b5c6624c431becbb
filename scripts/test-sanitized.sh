#!/usr/bin/env bash
# The whole test suite once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/sanitized-build.sh, in build-asan/).
# Any sanitizer finding ends the program that made it, so the test running
# it fails; LeakSanitizer reports leaks at every exit. Leaks inside the
# system's graphics and windowing libraries are not ours and are listed in
# scripts/lsan-suppressions.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${ASAN_BUILD_DIR:-build-asan}
# Only what the tests run: the test programs pull in the game, z1tool and
# the game's data; the benchmarks are left out.
bash scripts/sanitized-build.sh game_folder $(cd tests && for d in */; do
  d=${d%/}
  if [ "$d" != common ] && [ "$d" != data ] && ls "$d"/*.cpp > /dev/null 2>&1; then echo "test_$d"; fi
done)
# A failed allocation returns null (or throws) as it does without the
# sanitizer: the engine and the tests check for it.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LIBGL_ALWAYS_SOFTWARE=1
cd "$BUILD"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$(nproc)" --timeout 600
