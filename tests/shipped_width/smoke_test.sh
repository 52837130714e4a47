#!/bin/bash
# The shipped programs at their own width, end to end: where the whole
# Windows stage runs on the x86_64 build (a kernel without 32-bit support),
# this is what the i686 channel_launcher.exe, channel_stamp.exe and
# channel_record.exe themselves still have to show, through qemu-user:
#   - channel_stamp.exe stamps a copy, which passes its header self-test;
#   - the copy, with a hall stand-in registered, records its channel in the
#     hall's install-channel file and starts the hall twice, the second time
#     with its application number;
#   - channel_record.exe set-channel rewrites that file;
#   - without the hall, the copy finds the software manager through the
#     32-bit registry view (WOW6432Node), starts it, and then the hall.
# Every start of a 32-bit program costs about a minute under qemu-user, so
# this is five of them; where 32-bit programs run natively it takes seconds.
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
manager_key='HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\HalvexMgr'
cleanup() {
  "$wine_run" reg delete "$hall_key" /v CorvelHallDirectory /f >/dev/null 2>&1
  "$wine_run" reg delete "$manager_key" /v UninstallString /f >/dev/null 2>&1
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
# run_copy WHAT LOG: the copy from its Downloads folder, the stand-ins logging
# to LOG; waits for two starts in the log (the stand-ins may still be writing
# it once the copy has ended) and prints the programs and their parameters.
run_copy() {
  (cd "$work/downloads" && export CHANNEL_TEST_LOG="$(windows "$2")" LUDORA_TEST_WINDOW_MS=5000 &&
    run "$1" "$copy" && exit "$status")
  check "$1: the copy ends with 0" 0 $?
  for _ in $(seq 300); do
    [ "$(wc -l <"$2" 2>/dev/null || echo 0)" -ge 2 ] && break
    sleep 0.1
  done
  starts=$(cut -f1,4 "$2" 2>/dev/null | sed -e 's/\t.*\(ludora:\/\/\)/ \1/' -e 's/\t.*\(\/action\)/ \1/' | paste -sd '|')
}
run_copy "the hall installed" "$work/starts.log"
check "the hall is started, then started with the application number" \
  "ludora ludora://ENTERAPP|ludora ludora://ENTERAPP APPID:2001" "$starts"

record="$work/hall/config/original/InsChannel.as"
run "channel_record.exe show (helper)" "$helpers/tools/channel_record.exe" show "$(windows "$record")"
check "the copy recorded its channel" "maincid = 1101010001" "$(grep -io 'maincid = .*' <<<"$output")"

run "channel_record.exe set-channel" "$build/tools/channel_record.exe" set-channel "$(windows "$record")" 1101010009
check "channel_record.exe set-channel rewrites the file" 0 "$status"
run "channel_record.exe show (helper)" "$helpers/tools/channel_record.exe" show "$(windows "$record")"
check "which reads back with the new channel" "maincid = 1101010009" "$(grep -io 'maincid = .*' <<<"$output")"
check "and no temporary is left" "" "$(ls "$(dirname "$record")" | grep -v '^InsChannel.as$')"

# The software manager: a stand-in that acts as if it installed the hall (it
# registers the hall and shows its window), named by the uninstall value in
# the 32-bit view.
"$wine_run" reg delete "$hall_key" /v CorvelHallDirectory /f >/dev/null 2>&1
mkdir -p "$work/manager"
cp "$helpers/tests/programs/HalvexSoftMgr.exe" "$work/manager/"
"$wine_run" reg add "$manager_key" /v UninstallString /t REG_SZ /d "\"$(windows "$work/manager")\\Uninst.exe\"" /f \
  >/dev/null 2>&1
HALVEX_TEST_REGISTER_HALL="$(windows "$work/hall")" HALVEX_TEST_WINDOW_MS=5000 run_copy "no hall" "$work/manager.log"
check "the software manager is started on the download page, then the hall with the application number" \
  "HalvexSoftMgr /action=showdetail_download /parent=user1204 /softdetailid=8033|ludora ludora://ENTERAPP APPID:2001" \
  "$starts"

echo "smoke set: $((SECONDS - started)) s"
checks_summary
