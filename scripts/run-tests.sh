#!/usr/bin/env bash
# Builds and runs the whole test suite. Rendering tests need an X display:
# the suite runs inside a virtual one (Xvfb) with Mesa's software OpenGL.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD=${BUILD_DIR:-build}
cd "$BUILD"
export LIBGL_ALWAYS_SOFTWARE=1
exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$(nproc)"
