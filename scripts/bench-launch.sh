#!/bin/bash
# Benchmark (not a test): under Wine, the time from the start of
# channel_launcher.exe to its first hall start, beside a bare program that
# only makes the same shell call (ShellExecuteW "open" of ludora.exe with
# "ludora://ENTERAPP"). Both are timed the same way: this script notes the
# wall-clock time just before it starts the program, and the hall stand-in
# logs the time at which it started. The launcher runs twice in each round:
# once with the hall used recently (it leaves the install-channel file alone)
# and once with the file written. Prints the medians and the ratios.
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

# One timed run: "$@" is the program and its arguments, $1 the hall starts it makes.
timed_run() {
  local expected=$1
  shift
  : >"$log"
  local started
  started=$(date +%s%N)
  wine "$@" >/dev/null 2>&1
  local hall_started
  hall_started=$(first_start_ns "$expected")
  echo $(((hall_started - started) / 1000))
}

# A hall window stays open for the whole benchmark (a stand-in of its own,
# logging elsewhere), so the launcher finds it at its first look and each run
# ends with its second hall start.
CHANNEL_TEST_LOG="$(winepath -w "$work/window.log")" LUDORA_TEST_WINDOW_MS=3600000 \
  wine "$work/hall/ludora.exe" >/dev/null 2>&1 &
window_holder=$!
trap 'kill $window_holder 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
for _ in $(seq 200); do [ -s "$work/window.log" ] && break; sleep 0.05; done
sleep 1

# The hall's recent-use sign: a fresh file in the cache beside its folder
# means the launcher leaves the install-channel file alone; without it the
# launcher writes its channel into the file on every run.
cache="$work/xwv_cache/GPUCache"
record="$work/hall/config/original/InsChannel.as"
used_recently() { mkdir -p "$cache" && touch "$cache/data_0"; }
not_used_recently() { rm -rf "$work/xwv_cache"; }

launcher_recent_run() { used_recently; timed_run 2 "$launcher"; }
launcher_record_run() { not_used_recently; timed_run 2 "$launcher"; }
bare_run() { timed_run 1 "$bare" "$hall_dir\\ludora.exe"; }

launcher_recent_run >/dev/null
launcher_record_run >/dev/null
[ -s "$record" ] || { echo "the launcher wrote no install-channel file at $record" >&2; exit 1; }
bare_run >/dev/null
recent_times=()
record_times=()
bare_times=()
for _ in $(seq "$runs"); do
  recent_times+=("$(launcher_recent_run)")
  record_times+=("$(launcher_record_run)")
  bare_times+=("$(bare_run)")
done

ms() { awk "BEGIN {printf \"%.1f\", $1/1000}"; }
recent_median=$(median "${recent_times[@]}")
record_median=$(median "${record_times[@]}")
bare_median=$(median "${bare_times[@]}")
echo "channel_launcher.exe: $(stat -c %s "$launcher") bytes; runs of each: $runs (after one warm-up)," \
  "interleaved; hall window open throughout; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "launcher, hall used recently (file left alone) -> first hall start, median: $(ms "$recent_median") ms" \
  "(all, us: ${recent_times[*]})"
echo "launcher, install-channel file written         -> first hall start, median: $(ms "$record_median") ms" \
  "(all, us: ${record_times[*]})"
echo "bare ShellExecuteW                             -> hall start, median:       $(ms "$bare_median") ms" \
  "(all, us: ${bare_times[*]})"
echo "ratio launcher/bare, hall used recently: $(awk "BEGIN {printf \"%.3f\", $recent_median/$bare_median}")"
echo "ratio launcher/bare, file written:       $(awk "BEGIN {printf \"%.3f\", $record_median/$bare_median}")"
