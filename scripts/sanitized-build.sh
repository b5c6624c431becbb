#!/usr/bin/env bash
# Configures (once) and builds the sanitized build in build-asan/: clang with
# AddressSanitizer and UndefinedBehaviorSanitizer (any finding stops the
# program), and libFuzzer's coverage on every object so that the fuzzing
# harnesses of fuzz/ build beside the test suite from the same objects.
#
#   scripts/sanitized-build.sh [TARGET...]     (default: everything)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${ASAN_BUILD_DIR:-build-asan}
CC=${ASAN_CC:-clang}
CXX=${ASAN_CXX:-clang++}
if ! command -v "$CXX" > /dev/null; then
  echo "sanitized-build.sh: $CXX not found (install clang and libclang-rt-dev)" >&2
  exit 1
fi
FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -fsanitize=fuzzer-no-link"
if [ ! -f "$BUILD/build.ninja" ]; then
  CC=$CC CXX=$CXX cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DZENDAR_FUZZ=ON > /dev/null
fi
# The programs that build the game's data run under the sanitizers too; a
# leak in one of them is a finding like any other.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
if [ $# -eq 0 ]; then
  cmake --build "$BUILD" -- -j"$(nproc)"
else
  cmake --build "$BUILD" --target "$@" -- -j"$(nproc)"
fi
