#!/bin/bash
# Builds everything and runs every test: the native core tests, the same tests
# under ASan + UBSan, short fuzz runs, and the Windows build under Wine (unit
# tests of the Windows layer and end-to-end tests of channel_launcher.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
status=0
run_preset() {
  local preset=$1
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" || status=1
}

run_preset native
run_preset native-asan
run_preset fuzz
run_preset windows
exit $status
