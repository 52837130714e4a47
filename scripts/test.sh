#!/bin/bash
# Builds everything and runs every test: the native core tests, the same tests
# under ASan + UBSan, short fuzz runs, and the Windows build under Wine (unit
# tests of the Windows layer and end-to-end tests of channel_launcher.exe).
#
# The Windows stage runs one of two ways (scripts/windows-way.sh decides, and
# CHANNEL_WINDOWS_WAY=i686 or x86_64 chooses):
#   i686    every Windows test on the i686 build (preset windows), the one that
#           ships, under 32-bit Wine;
#   x86_64  where the kernel cannot run 32-bit programs: every Windows test on
#           an x86_64 build of the same sources (preset windows64) under 64-bit
#           Wine, then of the i686 build the static image checks and a smoke
#           set of its real programs through qemu-user (label shipped_width).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
way=$(scripts/windows-way.sh)

jobs=$(nproc)
status=0
configure_and_build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" "$@"
}
run_preset() {
  local preset=$1
  echo "=== $preset ==="
  configure_and_build "$preset"
  ctest --preset "$preset" || status=1
}

run_preset native
run_preset native-asan
run_preset fuzz
# The i686 tree also packs the tools (target package), which its tests check.
if [ "$way" = i686 ]; then
  echo "=== windows ==="
  configure_and_build windows
  configure_and_build windows --target package
  ctest --preset windows || status=1
else
  run_preset windows64
  echo "=== windows (i686): image checks, the smoke set and the package of the shipped programs ==="
  configure_and_build windows --target package
  CHANNEL_SMOKE_HELPERS="$PWD/build/windows64" ctest --preset windows -L shipped_width || status=1
fi
exit $status
