#!/usr/bin/env bash
# Every fuzzing harness over its seed corpus (scripts/fuzz.sh). A fault found
# fails the run. The seeds alone are the same on every run, so a landing is
# never refused by chance; FUZZ_SECONDS=N adds N seconds of fuzzing each.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${FUZZ_SECONDS:-}" ]; then
  exec bash scripts/fuzz.sh --fresh --seconds "$FUZZ_SECONDS"
fi
exec bash scripts/fuzz.sh --fresh --seeds-only
