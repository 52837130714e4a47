#!/bin/bash
# Benchmark (not a test): under Wine, the time from the start of
# channel_launcher.exe to its first hall start, beside a bare program that
# only makes the same shell call (ShellExecuteW "open" of ludora.exe with
# "ludora://ENTERAPP"). Both are timed the same way: this script notes the
# wall-clock time just before it starts the program, and the hall stand-in
# logs the time at which it started. Prints both medians and their ratio.
#
# Usage: scripts/bench-launch.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a Windows build tree (default build/windows), already built
#   RUNS       measured runs of each program (default 15), after one warm-up each
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/bench-support.sh"
build="$(cd "${1:-$root/build/windows}" && pwd)"
runs="${2:-15}"

launcher="$build/launch_flow/channel_launcher.exe"
hall_program="$build/tests/programs/ludora.exe"
bare="$build/tests/programs/bare_shell_start.exe"
require_built "$launcher" "$hall_program" "$bare"

# A Wine prefix of the benchmark's own, set up (and Xvfb started) by the wrapper.
export CHANNEL_WINE_ROOT="$build/wine-bench"
"$root/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1
export WINEPREFIX="$CHANNEL_WINE_ROOT/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL="${CHANNEL_WINE_LOCALE:-zh_CN.UTF-8}" DISPLAY="${DISPLAY:-:87}"
# Keep the server up between runs, so each run pays for its processes only
# (a server left from the set-up ends first: it was started without this).
wineserver -w
wineserver -p30

work="$CHANNEL_WINE_ROOT/bench"
rm -rf "$work"
mkdir -p "$work/hall"
cp "$hall_program" "$work/hall/ludora.exe"
hall_dir="$(winepath -w "$work/hall")"
log="$work/starts.log"
export CHANNEL_TEST_LOG="$(winepath -w "$log")"
wine reg add 'HKCU\Software\Korvani\Ludora\SYS' /v CorvelHallDirectory /t REG_SZ /d "$hall_dir" /f >/dev/null 2>&1

# Waits until the log holds $1 starts (at most 30 s); prints the first one's start time.
first_start_ns() {
  for _ in $(seq 600); do
    [ "$(wc -l <"$log" 2>/dev/null || echo 0)" -ge "$1" ] && break
    sleep 0.05
  done
  head -n 1 "$log" | cut -f 3
}

# One timed run: "$@" is the program and its arguments, $1 the hall starts it
# makes and $2 the seconds its hall windows stay open.
timed_run() {
  local expected=$1 settle=$2
  shift 2
  : >"$log"
  local started
  started=$(date +%s%N)
  wine "$@" >/dev/null 2>&1
  local hall_started
  hall_started=$(first_start_ns "$expected")
  # Let the hall windows close before the next run.
  sleep "$settle"
  echo $(((hall_started - started) / 1000))
}

# The launcher waits for the hall's window before it ends; the stand-in shows it briefly.
launcher_run() { LUDORA_TEST_WINDOW_MS=2000 timed_run 2 2.5 "$launcher"; }
bare_run() { timed_run 1 0.5 "$bare" "$hall_dir\\ludora.exe"; }

launcher_run >/dev/null
bare_run >/dev/null
launcher_times=()
bare_times=()
for _ in $(seq "$runs"); do
  launcher_times+=("$(launcher_run)")
  bare_times+=("$(bare_run)")
done

launcher_median=$(median "${launcher_times[@]}")
bare_median=$(median "${bare_times[@]}")
echo "runs of each: $runs (after one warm-up)"
echo "launcher start -> first hall start, median: $(awk "BEGIN {printf \"%.1f\", $launcher_median/1000}") ms" \
  "(all, us: ${launcher_times[*]})"
echo "bare ShellExecuteW -> hall start, median:   $(awk "BEGIN {printf \"%.1f\", $bare_median/1000}") ms" \
  "(all, us: ${bare_times[*]})"
echo "ratio launcher/bare: $(awk "BEGIN {printf \"%.3f\", $launcher_median/$bare_median}")"
