#!/usr/bin/env bash
# Builds and runs the whole test suite. Rendering tests need an X display:
# the suite runs inside a virtual one (Xvfb) with Mesa's software OpenGL.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD=${BUILD_DIR:-build}
export LIBGL_ALWAYS_SOFTWARE=1
status=0
(cd "$BUILD" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$(nproc)") || status=1

# --- Sanitizers and fuzzing -------------------------------------------------
# The suite once more built with ASan + UBSan, then every fuzzing harness over
# its seed corpus and a few seconds of fuzzing (both in build-asan/). Either
# failing fails the run. ZENDAR_NO_SANITIZED=1 leaves them out of a quick
# local run.
if [ "${ZENDAR_NO_SANITIZED:-0}" != 1 ]; then
  bash scripts/test-sanitized.sh || status=1
  bash scripts/test-fuzz.sh || status=1
fi
# --- end of sanitizers and fuzzing -------------------------------------------

# --- Windows build ------------------------------------------------------------
# Both Windows builds (mingw-w64), the Windows unit tests under Wine and the
# end-to-end runs of the Windows game against the Linux one. ZENDAR_NO_WINDOWS=1
# leaves them out of a quick local run.
if [ "${ZENDAR_NO_WINDOWS:-0}" != 1 ]; then
  bash scripts/test-windows.sh || status=1
fi
# --- end of Windows build ------------------------------------------------------

exit $status
