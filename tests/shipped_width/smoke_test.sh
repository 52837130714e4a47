#!/bin/bash
# The shipped programs at their own width, end to end: where the whole
# Windows stage runs on the x86_64 build (a kernel without 32-bit support),
# this is what the i686 channel_launcher.exe, channel_stamp.exe and
# channel_record.exe themselves still have to show, through qemu-user:
#   - channel_stamp.exe stamps a copy, which passes its header self-test;
#   - the copy, with a hall stand-in registered, records its channel in the
#     hall's install-channel file and starts the hall twice, the second time
#     with its application number;
#   - channel_record.exe set-channel rewrites that file.
# Every start of a 32-bit program costs about a minute under qemu-user, so
# this is four of them; where 32-bit programs run natively it takes seconds.
#
# Usage: smoke_test.sh WINE_RUN BUILD_DIR   (ctest passes both: the build
# tree's wine-run.sh and the i686 tree)
# CHANNEL_SMOKE_HELPERS names a Windows build tree (the x86_64 one) whose hall
# stand-in and channel_record.exe (for reading the file back) are used instead
# of this tree's: they are not under test, and at 64 bits they start at once.
set -uo pipefail
wine_run=$1
build=$(cd "$2" && pwd)
helpers=$(cd "${CHANNEL_SMOKE_HELPERS:-$build}" && pwd)
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/tests/support/checks.sh"

work=$(mktemp -d "$build/smoke.XXXXXX")
hall_key='HKCU\Software\Korvani\Ludora\SYS'
cleanup() {
  "$wine_run" reg delete "$hall_key" /v CorvelHallDirectory /f >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

windows() { echo "Z:${1//\//\\}"; }
started=$SECONDS
# run WHAT PROGRAM ARGS...: one program under Wine; its output in $output,
# its exit code in $status, the time it took printed.
run() {
  local what=$1 begun=$SECONDS
  shift
  output=$("$wine_run" "$@" 2>&1 | tr -d '\r')
  status=${PIPESTATUS[0]}
  echo "      ($what: $((SECONDS - begun)) s)"
}

echo "machine of channel_launcher.exe: $(od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$build/launch_flow/channel_launcher.exe") + 4)) -N2 "$build/launch_flow/channel_launcher.exe" | tr -d ' ')"

copy="$work/downloads/ludora_setup.exe"
mkdir -p "$work/downloads" "$work/hall"
run "channel_stamp.exe stamp" "$build/tools/channel_stamp.exe" stamp "$(windows "$build/launch_flow/channel_launcher.exe")" \
  --channel 1101010001 --app-id 2001 --output "$(windows "$copy")"
check "channel_stamp.exe stamps a copy" 0 "$status"

run "header self-test" "$copy" TestDosHeaderAttribute MiniType=0 /MainSource=1101010001 AppID=2001
check "the copy passes its header self-test" 0 "$status"

# The hall: a stand-in that logs its starts and shows the hall's window.
cp "$helpers/tests/programs/ludora.exe" "$work/hall/"
log="$work/starts.log"
"$wine_run" reg add "$hall_key" /v CorvelHallDirectory /t REG_SZ /d "$(windows "$work/hall")" /f >/dev/null 2>&1
(cd "$work/downloads" && export CHANNEL_TEST_LOG="$(windows "$log")" LUDORA_TEST_WINDOW_MS=5000 &&
  run "the copy with the hall installed" "$copy" && exit "$status")
check "the copy ends with 0" 0 $?
# The stand-ins may still be writing their log once the copy has ended.
for _ in $(seq 300); do
  [ "$(cut -f4 "$log" 2>/dev/null | grep -c ludora://)" -ge 2 ] && break
  sleep 0.1
done
check "the hall is started, then started with the application number" \
  "ludora://ENTERAPP|ludora://ENTERAPP APPID:2001" "$(cut -f4 "$log" 2>/dev/null | grep -o 'ludora://.*' | paste -sd '|')"

record="$work/hall/config/original/InsChannel.as"
run "channel_record.exe show (helper)" "$helpers/tools/channel_record.exe" show "$(windows "$record")"
check "the copy recorded its channel" "maincid = 1101010001" "$(grep -io 'maincid = .*' <<<"$output")"

run "channel_record.exe set-channel" "$build/tools/channel_record.exe" set-channel "$(windows "$record")" 1101010009
check "channel_record.exe set-channel rewrites the file" 0 "$status"
run "channel_record.exe show (helper)" "$helpers/tools/channel_record.exe" show "$(windows "$record")"
check "which reads back with the new channel" "maincid = 1101010009" "$(grep -io 'maincid = .*' <<<"$output")"
check "and no temporary is left" "" "$(ls "$(dirname "$record")" | grep -v '^InsChannel.as$')"

echo "smoke set: $((SECONDS - started)) s"
checks_summary
