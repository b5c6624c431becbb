#!/usr/bin/env bash
# Builds the game and its data, then starts it from build/bin (its base path).
# The game writes its log (demo2.txt, Dialog.log) where it is started: that is
# build/run, so the game folder keeps only the game.
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
GAME="$PWD/$BUILD/bin/zendar1"
RUN="$PWD/$BUILD/run"
mkdir -p "$RUN"
cd "$RUN"

# The game ends with exit code 1 whether the player quit or start-up failed
# (its window procedure returns 1 on every path); a quit is told by the log's
# last line. A run whose log could not be written is taken for a quit.
finish() {
  local status=$1
  if [ "$status" -eq 1 ]; then
    if [ ! -s demo2.txt ] || [ "$(tail -n 1 demo2.txt | tr -d '\r')" = "MESSAGE - destroy" ]; then
      exit 0
    fi
    echo "The game ended without closing its window; see $RUN/demo2.txt." >&2
  fi
  exit "$status"
}

status=0
if [ -z "${DISPLAY:-}" ]; then
  # Nobody can see a window here: play 300 frames in a virtual display and
  # keep a picture of the last one, so the run still shows what the game does.
  shot="$RUN/zendar1-screenshot.png"
  echo "No display: running 300 frames inside Xvfb; a screenshot goes to $shot and the log to $RUN/demo2.txt."
  if [ $# -eq 0 ]; then set -- --frames 300 --screenshot "299:$shot"; fi
  xvfb-run -a -s "-screen 0 1280x1024x24" "$GAME" "$@" || status=$?
else
  "$GAME" "$@" || status=$?
fi
finish "$status"
