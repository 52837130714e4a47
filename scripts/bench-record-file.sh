#!/bin/bash
# Builds the native preset and runs every record_file benchmark (the targets
# named after record_file/*_bench.cpp), then prints each figure again as
# MiB per second and nanoseconds per byte.
# Usage: scripts/bench-record-file.sh [Google Benchmark options...]
# BUILD_DIR picks the build tree (default build/native, the preset's own).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/native}

targets=()
for source in record_file/*_bench.cpp; do
  [ -e "$source" ] && targets+=("$(basename "$source" .cpp)")
done
[ ${#targets[@]} -gt 0 ] || { echo "no benchmarks in record_file/" >&2; exit 2; }

cmake --preset native -B "$build" >/dev/null
if ! cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >/dev/null; then
  echo "building ${targets[*]} failed (is libbenchmark-dev installed? scripts/install-deps.sh)" >&2
  exit 1
fi

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
for target in "${targets[@]}"; do
  echo "=== $target ==="
  "$build/record_file/$target" --benchmark_out="$results/$target.csv" --benchmark_out_format=csv "$@"
done

echo
echo "=== summary ==="
# The CSV rows follow a preamble; the header row names the columns.
cat "$results"/*.csv | awk -F, '
  /^name,/ { for (i = 1; i <= NF; i++) column[$i] = i; next }
  !("bytes_per_second" in column) || $column["bytes_per_second"] == "" { next }
  {
    name = $column["name"]; gsub(/"/, "", name)
    rate = $column["bytes_per_second"] + 0
    if (!printed++) printf "%-40s %12s %10s\n", "benchmark", "MiB/s", "ns/byte"
    printf "%-40s %12.1f %10.3f\n", name, rate / 1048576, 1e9 / rate
  }'
