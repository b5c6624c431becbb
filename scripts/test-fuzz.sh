#!/usr/bin/env bash
# Every fuzzing harness over its seed corpus, then a few seconds of
# fuzzing each (scripts/fuzz.sh). A fault found fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
exec bash scripts/fuzz.sh --fresh --seconds "${FUZZ_SECONDS:-5}"
