#!/bin/bash
# Long fuzz runs: scripts/fuzz.sh TARGET [RUNS] [extra libFuzzer options...]
# Builds the fuzz preset (clang, ASan + UBSan) and runs TARGET for RUNS
# executions (default 10,000,000) from its seed corpus; new inputs are kept in
# BUILD/corpus/TARGET. Seeds: <folder>/fuzz_corpus/TARGET/, dictionary
# <folder>/fuzz_corpus/TARGET.dict. List targets with: scripts/fuzz.sh --list
# BUILD is build/fuzz, or the folder named by CHANNEL_FUZZ_BUILD.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${CHANNEL_FUZZ_BUILD:-build/fuzz}
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
if [ "${1:-}" = "--list" ] || [ -z "${1:-}" ]; then
  ctest --test-dir "$build" -N | sed -n 's/^ *Test *#[0-9]*: //p'
  exit 0
fi
target=$1 runs=${2:-10000000}
shift $(( $# >= 2 ? 2 : 1 ))
# -print -quit rather than "| head": with pipefail, a find cut short by head fails the script.
binary=$(find "$build" -type f -executable -name "$target" -print -quit)
[ -n "$binary" ] || { echo "no fuzz target named $target" >&2; exit 2; }
# Seed corpora live beside the code: <folder>/fuzz_corpus/<target>/.
seeds=$(find . -path ./build -prune -o -type d -path "*/fuzz_corpus/$target" -print -quit)
dict=$(find . -path ./build -prune -o -type f -path "*/fuzz_corpus/$target.dict" -print -quit)
mkdir -p "$build/corpus/$target"
if [ -n "$seeds" ]; then cp -n "$seeds"/* "$build/corpus/$target/" 2>/dev/null || true; fi
exec "$binary" -runs="$runs" -print_final_stats=1 ${dict:+-dict="$dict"} "$@" "$build/corpus/$target"
