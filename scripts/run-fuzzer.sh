#!/bin/bash
# run-fuzzer.sh BINARY SEED_DIR SCRATCH_DIR [libFuzzer options...]
# Copies the seeds into a scratch corpus and fuzzes from there.
set -euo pipefail
binary=$1 seeds=$2 scratch=$3
shift 3
mkdir -p "$scratch"
cp -n "$seeds"/* "$scratch"/ 2>/dev/null || true
exec "$binary" "$@" "$scratch"
