#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang under AddressSanitizer
# and UndefinedBehaviorSanitizer (in build-asan/, shared with the sanitized
# test suite) and runs each for a given time, one after the other.
#
#   scripts/fuzz.sh [--seconds N] [--runs N] [--timeout N] [--seeds-only] [--build-only]
#                    [--no-build] [--fresh] [NAME...]
#
#   --seconds N   fuzz each harness N seconds after its seed corpus (default 60)
#   --runs N      ... or until it has run N inputs, whichever comes first
#   --timeout N   an input running N seconds is a fault (default 10); the
#                 time is the wall clock's, so a long run at the lowest
#                 priority on a busy machine needs more
#   --seeds-only  run each harness over its seeds once, no fuzzing
#   --build-only  build the harnesses and their seeds, run nothing
#   --no-build    run the harnesses as they were last built
#   --fresh       start from the seeds alone and keep nothing found (CI)
#   NAME...       only these harnesses (default: all; see fuzz/CMakeLists.txt)
#
# Each harness runs over its seeds (made at build time from the demo's files)
# and over fuzz/regressions/NAME/, the inputs of faults found and fixed,
# which stay in the tree so that every run replays them. It keeps what it
# finds new in build-asan/fuzz-corpus/NAME (so a later run starts from
# there) and writes a crashing input to
# build-asan/fuzz-artifacts/NAME/. The run prints a line per harness with
# its executions and exits 1 when any harness found a fault.
# Reproduce a finding: build-asan/fuzz/fuzz_NAME build-asan/fuzz-artifacts/NAME/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=60
RUNS=-1
TIMEOUT=10
BUILD_ONLY=0
NO_BUILD=0
FRESH=0
SEEDS_ONLY=0
NAMES=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) SECONDS_EACH=$2; shift 2 ;;
    --runs) RUNS=$2; shift 2 ;;
    --timeout) TIMEOUT=$2; shift 2 ;;
    --build-only) BUILD_ONLY=1; shift ;;
    --seeds-only) SEEDS_ONLY=1; shift ;;
    --no-build) NO_BUILD=1; shift ;;
    --fresh) FRESH=1; shift ;;
    -h|--help) sed -n '2,27p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option '$1'" >&2; exit 2 ;;
    *) NAMES+=("$1"); shift ;;
  esac
done

BUILD=${ASAN_BUILD_DIR:-build-asan}
if [ "$NO_BUILD" = 1 ]; then
  :
elif [ ${#NAMES[@]} -eq 0 ]; then
  bash scripts/sanitized-build.sh fuzzers
else
  bash scripts/sanitized-build.sh fuzz_seeds $(printf 'fuzz_%s ' "${NAMES[@]}")
fi

ALL=$(cd "$BUILD/fuzz" && ls fuzz_* | sed 's/^fuzz_//' | grep -v '^make_seeds$' | tr '\n' ' ')
if [ ${#NAMES[@]} -eq 0 ]; then read -r -a NAMES <<< "$ALL"; fi
for name in "${NAMES[@]}"; do
  if [ ! -x "$BUILD/fuzz/fuzz_$name" ]; then
    echo "fuzz.sh: no harness '$name' (harnesses: $ALL)" >&2
    exit 2
  fi
done
[ "$BUILD_ONLY" = 1 ] && exit 0
if [ "$FRESH" = 1 ]; then
  FRESH_DIR=$(mktemp -d "${TMPDIR:-/tmp}/zendar-corpus-XXXXXX")
  trap 'rm -rf "$FRESH_DIR"' EXIT
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
printf '%-10s %12s %8s %10s %8s  %s\n' harness executions seconds "exec/s" corpus result
for name in "${NAMES[@]}"; do
  corpus="$BUILD/fuzz-corpus/$name"
  [ "$FRESH" = 1 ] && corpus="$FRESH_DIR/$name"
  artifacts="$BUILD/fuzz-artifacts/$name/"
  seeds="$BUILD/fuzz-seeds/$name"
  mkdir -p "$corpus" "$artifacts" "$seeds"
  inputs=("$corpus" "$seeds")
  [ -d "fuzz/regressions/$name" ] && inputs+=("fuzz/regressions/$name")
  log="$BUILD/fuzz-logs/$name.log"
  mkdir -p "$(dirname "$log")"
  if [ "$SEEDS_ONLY" = 1 ]; then
    opts=(-runs=0)
  else
    opts=(-max_total_time="$SECONDS_EACH" -runs="$RUNS")
  fi
  start=$(date +%s.%N)
  set +e
  "$BUILD/fuzz/fuzz_$name" "${opts[@]}" -timeout="$TIMEOUT" -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "${inputs[@]}" > "$log" 2>&1
  rc=$?
  set -e
  end=$(date +%s.%N)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  units=$(grep -ao 'corp: [0-9]*' "$log" | tail -1 | sed 's/corp: //')
  secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.0f", b - a }')
  rate=$(awk -v r="${runs:-0}" -v s="$secs" 'BEGIN { printf "%.0f", (s > 0) ? r / s : r }')
  if [ $rc -eq 0 ]; then
    result=ok
  else
    result="FAULT (see $log)"
    failed=1
  fi
  printf '%-10s %12s %8s %10s %8s  %s\n' "$name" "${runs:-0}" "$secs" "$rate" "${units:-0}" "$result"
done
exit $failed
