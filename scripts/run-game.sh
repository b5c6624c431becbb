#!/usr/bin/env bash
# Builds the game and its data, then starts it from build/bin (its base path).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD=${BUILD_DIR:-build}
if [ ! -x "$BUILD/bin/zendar1" ]; then
  echo "The game executable is not built yet. What exists so far:"
  ls "$BUILD/bin"
  echo "Try: $BUILD/bin/z1tool help"
  exit 0
fi
cd "$BUILD/bin"
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: starting the game inside Xvfb."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ./zendar1 "$@"
fi
exec ./zendar1 "$@"
