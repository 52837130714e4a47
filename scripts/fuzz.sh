#!/bin/bash
# Long fuzz runs: scripts/fuzz.sh TARGET [RUNS] [extra libFuzzer options...]
# Builds the fuzz preset (clang, ASan + UBSan) and runs TARGET for RUNS
# executions (default 10,000,000) from its seed corpus; new inputs are kept in
# build/fuzz/corpus/TARGET. Seeds: <folder>/fuzz_corpus/TARGET/, dictionary
# <folder>/fuzz_corpus/TARGET.dict. List targets with: scripts/fuzz.sh --list
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null
if [ "${1:-}" = "--list" ] || [ -z "${1:-}" ]; then
  ctest --test-dir build/fuzz -N | sed -n 's/^ *Test *#[0-9]*: //p'
  exit 0
fi
target=$1 runs=${2:-10000000}
shift $(( $# >= 2 ? 2 : 1 ))
binary=$(find build/fuzz -type f -executable -name "$target" | head -n1)
[ -n "$binary" ] || { echo "no fuzz target named $target" >&2; exit 2; }
# Seed corpora live beside the code: <folder>/fuzz_corpus/<target>/.
seeds=$(find . -path ./build -prune -o -type d -path "*/fuzz_corpus/$target" -print | head -n1)
dict=$(find . -path ./build -prune -o -type f -path "*/fuzz_corpus/$target.dict" -print | head -n1)
mkdir -p "build/fuzz/corpus/$target"
[ -n "$seeds" ] && cp -n "$seeds"/* "build/fuzz/corpus/$target/" 2>/dev/null || true
exec "$binary" -runs="$runs" -print_final_stats=1 ${dict:+-dict="$dict"} "$@" "build/fuzz/corpus/$target"
