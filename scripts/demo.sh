#!/bin/bash
# The launcher's main job, shown under Wine: a copy of channel_launcher.exe is
# stamped with channel 1101010001 and application 2001 (channel_stamp), then
# run in normal mode and in header self-test mode, with the debug-trace lines
# and exit codes of each run printed as they come back (tools/trace_capture).
#
# Usage: scripts/demo.sh        (as root on Debian; installs what is missing,
#                                builds the windows preset in build/windows)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/install-deps.sh

build="$root/build/windows"
echo "== building channel_launcher.exe, channel_stamp.exe, trace_capture.exe ($build)"
cmake --preset windows >/dev/null
cmake --build "$build" -j "$(nproc)" --target channel_launcher channel_stamp trace_capture >/dev/null

export CHANNEL_WINE_ROOT="$build/wine"
wine_run() { "$root/cmake/wine-run.sh" "$@" 2>/dev/null; }
# A Windows path for a file of this machine (Wine maps / to drive Z:).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo"
copy="$demo/setup.exe"

echo
echo "== channel_stamp stamp: channel 1101010001, application 2001, mini type 2"
wine_run "$build/tools/channel_stamp.exe" stamp "$(windows_path "$build/launch_flow/channel_launcher.exe")" \
  --channel 1101010001 --app-id 2001 --mini-type 2 --output "$(windows_path "$copy")" | sed 's/^/   /'

# run TITLE TIMEOUT ARGUMENTS...: one run of the stamped copy with its trace and exit code.
run() {
  local title=$1 timeout=$2
  shift 2
  echo
  echo "== $title"
  echo "   command line: setup.exe $*"
  local status=0
  wine_run "$build/tools/trace_capture.exe" --timeout "$timeout" "$(windows_path "$copy")" "$@" \
    | sed 's/^/   /' || status=$?
  case $status in
    124) echo "   (still running after ${timeout} s: the demo stops watching and ends it)" ;;
    125) echo "   (the copy could not be started)" ;;
  esac
}

run "normal mode (no hall installed here: what follows the start-up line is the hall launch sequence)" 10
run "self-test, command line equivalent to the stamp: exit code 0" 30 \
  TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 AppID=2001
run "self-test without MiniType: exit code 1 (mini type differs)" 30 \
  TestDosHeaderAttribute /MainSource=1101010001 AppID=2001
run "self-test with -silent and another channel: exit code 3 (silent is compared before the channel)" 30 \
  TestDosHeaderAttribute MiniType=2 /MainSource=5 AppID=2001 -silent
run "self-test with a sub-channel (and a quoted path with spaces): exit code 6 (sub-channel differs)" 30 \
  TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 AppID=2001 /SubSource=4 '/D=C:\Games\Ludora Hall'
