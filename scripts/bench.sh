#!/usr/bin/env bash
# Builds and runs every benchmark, keeps each one's full output under
# $BUILD/bench/ and prints each ratio on one line, with its target:
#
#   scripts/bench.sh            all of them
#   scripts/bench.sh area vm    only those named (game vm area model collision)
#
# The timings are only worth comparing on a quiet machine: run nothing else
# meanwhile. bench_game opens the game's window, inside a virtual display
# (Xvfb) with Mesa's software OpenGL, as the rendering tests do.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}
OUT="$BUILD/bench"
mkdir -p "$OUT"

ALL="game vm area model collision"
WANT=${*:-$ALL}
targets=""
for b in $WANT; do
  case " $ALL " in
    *" $b "*) targets="$targets bench_$b" ;;
    *) echo "bench.sh: no benchmark '$b' (known: $ALL)" >&2; exit 2 ;;
  esac
done
# bench_vm and bench_collision are skipped by CMake without Lua 5.4 or
# Irrlicht; build the others anyway.
for t in $targets; do
  cmake --build "$BUILD" --target "$t" >"$OUT/build-$t.txt" 2>&1 || echo "bench.sh: $t did not build (see $OUT/build-$t.txt)" >&2
done

# run NAME COMMAND...: the output goes to $OUT/NAME.txt; false when the
# program is missing or failed.
run() {
  local name=$1
  shift
  local program
  for program in "$@"; do
    case $program in
      */bench_*) ;;
      *) continue ;;
    esac
    if [ ! -x "$program" ]; then
      echo "missing $program" >"$OUT/$name.txt"
      return 1
    fi
  done
  "$@" >"$OUT/$name.txt" 2>&1
}

# field FILE REGEX N: the N-th field of the first line matching REGEX.
field() { awk -v n="$3" "/$2/ { print (n == \"NF\" ? \$NF : \$n); exit }" "$1"; }

line() { printf '%-20s %-46s %s\n' "$1" "$2" "$3"; }

BIN="$BUILD/tools/bin"
for b in $WANT; do
  f="$OUT/$b.txt"
  case $b in
    game)
      if LIBGL_ALWAYS_SOFTWARE=1 run game xvfb-run -a -s "-screen 0 1280x1024x24" "$BIN/bench_game" "$BUILD/bin"; then
        ms=$(field "$f" "^whole frame" 7)
        cpu=$(field "$f" "^process CPU" 6)
        line "frame" "$ms ms a frame (median), $(awk -v m="$ms" 'BEGIN { printf "%.1f", 1000 / m }') fps; $cpu ms CPU" "target >= 60 fps"
      else
        line "frame" "failed (see $f)" ""
      fi
      ;;
    vm)
      if run vm "$BIN/bench_vm"; then
        for p in loop fib text vector; do
          target=">= 1.0x"
          [ "$p" = loop ] && target=">= 1.5x"
          line "script VM $p" "$(field "$f" "^$p " NF)x Lua 5.4's speed" "target $target"
        done
        for p in loop fib text vector; do
          line "language $p" "$(field "$f" "^language $p " NF)x the assembly's speed" "target >= 0.9x"
        done
      else
        line "script VM" "failed or not built (see $f)" ""
      fi
      ;;
    area)
      if run area "$BIN/bench_area"; then
        line "area load" "$(field "$f" "^load \/ read bytes" 7 | tr -d 'x,;')x the read of its bytes (cpu)" "target <= 30x"
      else
        line "area load" "failed (see $f)" ""
      fi
      ;;
    model)
      if run model "$BIN/bench_model"; then
        # Elapsed time: a large piece's tree is built on two threads, so the
        # CPU time (also printed) counts both and is not what a load waits.
        line "model load" "$(field "$f" "^load \/ read bytes" 5 | tr -d 'x,;')x the read of its bytes (wall; $(field "$f" "^load \/ read bytes" 7 | tr -d 'x,;')x in CPU time)" "target <= 15x"
        tree=$(field "$f" "^quadtree memory" 3)
        mesh=$(field "$f" "^quadtree memory" 9)
        line "quadtree memory" "$(awk -v t="$tree" -v m="$mesh" 'BEGIN { printf "%.1f", t / m }')x the mesh ($tree MB for $mesh MB)" "target <= 2x"
      else
        line "model load" "failed (see $f)" ""
      fi
      ;;
    collision)
      if run collision "$BIN/bench_collision"; then
        line "collide-and-slide" "$(field "$f" "^ratio Zendar \/ Irrlicht octree" 6) Irrlicht's octree selector (cpu)" "target >= 2x"
      else
        line "collide-and-slide" "failed or not built (see $f)" ""
      fi
      ;;
  esac
done
echo "full output: $OUT/"
