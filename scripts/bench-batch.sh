#!/bin/bash
# Benchmark (not a test): channel_stamp batch writing COUNT stamped copies of
# channel_launcher.exe from one manifest, beside copying the same template
# COUNT times in one process (batch_copy_bench). Each is run RUNS times into a
# fresh folder; prints every time and the medians.
#
# Usage: scripts/bench-batch.sh [COUNT] [RUNS]
#   COUNT  copies per run (default 2000)
#   RUNS   runs of each (default 3)
# Needs build/native (channel_stamp, batch_copy_bench) and build/windows
# (channel_launcher.exe, the template) built; CHANNEL_BENCH_NATIVE_BUILD and
# CHANNEL_BENCH_TEMPLATE name others.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/bench-support.sh"
count="${1:-2000}"
runs="${2:-3}"
native="${CHANNEL_BENCH_NATIVE_BUILD:-$root/build/native}"
template="${CHANNEL_BENCH_TEMPLATE:-$root/build/windows/launch_flow/channel_launcher.exe}"
stamp="$native/tools/channel_stamp"
copier="$native/tools/batch_copy_bench"
require_built "$stamp" "$copier" "$template"

work="$native/bench-batch"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
{
  echo "output,channel,sub-channel,app-id"
  for i in $(seq "$count"); do echo "copy-$i.exe,$((1101010000 + i)),$i,2001"; done
} >"$work/manifest.csv"

seconds_since() { awk "BEGIN {printf \"%.3f\", ($(date +%s%N) - $1) / 1e9}"; }

stamp_times=()
copy_times=()
for _ in $(seq "$runs"); do
  # Each run starts with nothing left to write back from the one before.
  rm -rf "$work/stamped" "$work/copied"
  sync
  started=$(date +%s%N)
  "$stamp" batch "$work/manifest.csv" --template "$template" --out "$work/stamped" >/dev/null
  stamp_times+=("$(seconds_since "$started")")
  rm -rf "$work/stamped"
  sync
  copy_times+=("$("$copier" "$template" "$work/copied" "$count")")
done

size=$(stat -c %s "$template")
stamp_median=$(median "${stamp_times[@]}")
copy_median=$(median "${copy_times[@]}")
echo "template: $template ($size bytes); $count copies, $runs runs of each"
echo "channel_stamp batch (stamped, each copy on the disk before it is renamed into place):"
echo "  median $stamp_median s (all: ${stamp_times[*]})"
echo "copying the template in one process (std::filesystem::copy_file, no flush):"
echo "  median $copy_median s (all: ${copy_times[*]})"
echo "ratio batch/copy: $(awk "BEGIN {printf \"%.2f\", $stamp_median / $copy_median}")"
