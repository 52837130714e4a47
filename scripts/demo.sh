#!/bin/bash
# The launcher's main job, end to end under Wine, in a sandbox of its own:
#
#   1. a copy of channel_launcher.exe is stamped with channel 1101010001 and
#      application 2001 (channel_stamp.exe), signed with a throw-away
#      certificate (openssl, osslsigncode) and audited against a one-row
#      manifest (channel_stamp.exe audit), then run with a stand-in hall
#      registered as installed: its debug-trace lines, the hall's two starts
#      (parameters, working directory) and the install-channel file as
#      channel_record reads it;
#   2. the same copy with the hall not installed and a stand-in software
#      manager registered: the manager's start, then the hall's;
#   3. a copy of another channel with neither the hall nor the software
#      manager: the message box, saved as a screenshot, then closed with OK;
#   4. the copy in header self-test mode, beside channel_stamp's offline verify.
#
# Usage: scripts/demo.sh        (no arguments; as root on Debian, installs what is
#                                missing, builds what is needed, safe to run again)
# Builds: build/windows (windows preset) and build/native (channel_record);
# where the kernel cannot run 32-bit programs (scripts/windows-way.sh, or
# CHANNEL_WINDOWS_WAY=x86_64), build/windows64 instead: the same sources at 64
# bits under 64-bit Wine. CHANNEL_DEMO_WINDOWS_BUILD / CHANNEL_DEMO_NATIVE_BUILD
# name other build trees.
# Sandbox: build/demo, with a Wine prefix of its own (build/demo/wine/prefix).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/install-deps.sh demo

preset=windows
export CHANNEL_WINE_BITS=32
if [ "$(scripts/windows-way.sh 2>/dev/null)" = x86_64 ]; then
  preset=windows64 CHANNEL_WINE_BITS=64
  echo "== note: 32-bit programs do not run on this machine (or CHANNEL_WINDOWS_WAY=x86_64 says so): the demo"
  echo "   shows the x86_64 build of the same sources; the copies partners get are the i686 build"
  echo
fi
windows_build="${CHANNEL_DEMO_WINDOWS_BUILD:-$root/build/$preset}"
native_build="${CHANNEL_DEMO_NATIVE_BUILD:-$root/build/native}"
demo="$root/build/demo"
mkdir -p "$demo"

# quietly LOG COMMAND...: runs a build step, showing its output only when it fails.
quietly() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { tail -40 "$log"; echo "demo: build step failed: $*" >&2; exit 1; }
}

echo "== building: channel_launcher.exe, channel_stamp.exe, trace_capture.exe and the stand-ins"
echo "   ($windows_build), channel_record ($native_build)"
quietly "$demo/build.log" cmake --preset "$preset" -B "$windows_build"
quietly "$demo/build.log" cmake --build "$windows_build" -j "$(nproc)" --target channel_launcher channel_stamp \
  trace_capture hall_stand_in soft_manager_stand_in
quietly "$demo/build.log" cmake --preset native -B "$native_build"
quietly "$demo/build.log" cmake --build "$native_build" -j "$(nproc)" --target channel_record

export CHANNEL_WINE_ROOT="$demo/wine"
export WINEPREFIX="$CHANNEL_WINE_ROOT/prefix"
wine_run() { "$root/cmake/wine-run.sh" "$@" 2>/dev/null; }
# The keys are named in full (the manager's with its WOW6432Node, the 32-bit
# view the launcher reads at either width), so reg.exe of either width will do.
reg_tool() { wine_run reg "$@"; }
# Waits until every program of the sandbox has ended (the stand-ins close their windows by themselves).
wait_for_sandbox() { timeout 120 wineserver -w 2>/dev/null || true; }
indent() { sed 's/^/   /'; }

hall_key='HKCU\Software\Korvani\Ludora\SYS'
manager_key='HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\HalvexMgr'
hall_windows='C:\Program Files (x86)\Ludora'
manager_windows='C:\Program Files (x86)\Halvex'
copy_windows='C:\Downloads\ludora_setup.exe'
other_copy_windows='C:\Downloads\partner_setup.exe'

echo
echo "== preparing the Wine sandbox ($WINEPREFIX)"
wait_for_sandbox
reg_tool delete "$hall_key" /v CorvelHallDirectory /f >/dev/null 2>&1 || true
reg_tool delete "$manager_key" /v UninstallString /f >/dev/null 2>&1 || true
drive_c="$WINEPREFIX/drive_c"
hall="$drive_c/Program Files (x86)/Ludora"
manager="$drive_c/Program Files (x86)/Halvex"
downloads="$drive_c/Downloads"
rm -rf "$hall" "$manager" "$drive_c/Program Files (x86)/xwv_cache" "$downloads"
mkdir -p "$hall" "$manager" "$downloads"
cp "$windows_build/tests/programs/ludora.exe" "$hall/"
cp "$windows_build/tests/programs/HalvexSoftMgr.exe" "$manager/"
echo "   hall stand-in:             $hall_windows\\ludora.exe"
echo "   software manager stand-in: $manager_windows\\HalvexSoftMgr.exe"
# Wine's dialog font takes Chinese characters from SimSun, which the sandbox
# does not have: WenQuanYi Zen Hei stands in, so the message box text renders.
wine_run reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /t REG_SZ /d 'WenQuanYi Zen Hei' /f >/dev/null
# The stand-ins log each start (program, process, time, command line, working
# directory) and show a hall window when asked to.
export LUDORA_TEST_WINDOW_DELAY_MS=2500 LUDORA_TEST_WINDOW_MS=4000
unset HALVEX_TEST_REGISTER_HALL HALVEX_TEST_WINDOW_MS

launcher_windows="Z:${windows_build//\//\\}\\launch_flow\\channel_launcher.exe"
echo
echo "== channel_stamp.exe stamp: channel 1101010001, application 2001"
wine_run "$windows_build/tools/channel_stamp.exe" stamp "$launcher_windows" \
  --channel 1101010001 --app-id 2001 --output "$copy_windows" | indent

echo
echo "== signed with a throw-away certificate, then audited against its manifest"
source "$root/scripts/signing.sh"
signer="$demo/signer"
rm -rf "$signer"
mkdir -p "$signer"
make_test_certificate "$signer"
sign_copy "$signer" "$downloads/ludora_setup.exe"
verify_copy "$signer" "$downloads/ludora_setup.exe" && echo "   osslsigncode verify: the signature verifies"
printf 'output,channel,app-id\nludora_setup.exe,1101010001,2001\n' >"$demo/manifest.csv"
echo "   manifest: $(tail -n 1 "$demo/manifest.csv")"
echo "   channel_stamp.exe audit manifest.csv --dir C:\Downloads --template channel_launcher.exe"
audit_status=0
wine_run "$windows_build/tools/channel_stamp.exe" audit "Z:${demo//\//\\}\\manifest.csv" --dir 'C:\Downloads' \
  --template "$launcher_windows" | indent || audit_status=$?
echo "   audit exit code: $audit_status"

# run_copy TIMEOUT COPY ARGUMENTS...: runs a stamped copy in C:\Downloads under
# trace_capture.exe, printing its trace lines and exit code; sets $status.
run_copy() {
  local timeout=$1 copy=$2
  shift 2
  echo "   command line: ${copy##*\\}${*:+ $*}"
  status=0
  (cd "$downloads" && wine_run "$windows_build/tests/support/trace_capture.exe" --timeout "$timeout" "$copy" "$@") \
    | sed -e 's/^trace: /   trace | /' -e 's/^exit code: /   exit code: /' || status=$?
}

# show_starts LOG COUNT: waits (up to 30 s) for COUNT starts in the stand-ins'
# log, then prints each start's program, command line and working directory.
show_starts() {
  local log=$1 count=$2
  for _ in $(seq 300); do
    [ -f "$log" ] && [ "$(grep -c $'\t' "$log")" -ge "$count" ] && break
    sleep 0.1
  done
  if [ ! -f "$log" ]; then
    echo "   (nothing was started)"
    return
  fi
  awk -F'\t' '{ printf "   %s.exe (process %s)\n     command line:      %s\n     working directory: %s\n", $1, $2, $4, $5 }' "$log"
}

echo
echo "== 1. the hall installed: $hall_key CorvelHallDirectory = $hall_windows"
reg_tool add "$hall_key" /v CorvelHallDirectory /t REG_SZ /d "$hall_windows" /f >/dev/null
export CHANNEL_TEST_LOG='C:\Downloads\starts-installed.log'
run_copy 60 "$copy_windows"
echo "   -- the hall's starts:"
show_starts "$downloads/starts-installed.log" 2
echo "   -- the install-channel file, as channel_record show reads it:"
"$native_build/tools/channel_record" show "$hall/config/original/InsChannel.as" | indent
wait_for_sandbox

echo
echo "== 2. the hall not installed, the software manager registered:"
echo "   $manager_key UninstallString = \"$manager_windows\\Uninst.exe\""
reg_tool delete "$hall_key" /v CorvelHallDirectory /f >/dev/null
reg_tool add "$manager_key" /v UninstallString /t REG_SZ /d "\"$manager_windows\\Uninst.exe\"" /f >/dev/null
# The manager stand-in acts as if it installed the hall: it registers the hall
# directory and shows the hall's window, which the launcher waits for.
export HALVEX_TEST_REGISTER_HALL="$hall_windows" HALVEX_TEST_WINDOW_MS=4000
export CHANNEL_TEST_LOG='C:\Downloads\starts-manager.log'
run_copy 60 "$copy_windows"
echo "   -- what was started:"
show_starts "$downloads/starts-manager.log" 2
wait_for_sandbox

echo
echo "== 3. neither the hall nor the software manager, a copy of channel 1101010002: the message box"
# The manager stand-in registered the hall in step 2: both go.
reg_tool delete "$hall_key" /v CorvelHallDirectory /f >/dev/null
reg_tool delete "$manager_key" /v UninstallString /f >/dev/null
unset HALVEX_TEST_REGISTER_HALL HALVEX_TEST_WINDOW_MS
wine_run "$windows_build/tools/channel_stamp.exe" stamp "$launcher_windows" --channel 1101010002 --app-id 2001 \
  --output "$other_copy_windows" >/dev/null
# xdotool and import need the display the Wine programs run on.
DISPLAY="$("$root/cmake/wine-run.sh" --display)"
export DISPLAY
run_copy 60 "$other_copy_windows" >"$demo/message-box-run.txt" &
runner=$!
box="$(timeout 30 xdotool search --sync --name '^Ludora大厅$' 2>/dev/null | head -1)" || true
if [ -n "$box" ]; then
  sleep 1  # time to paint
  eval "$(xdotool getwindowgeometry --shell "$box")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$demo/message-box.png"
  echo "   a message box titled \"$(xdotool getwindowname "$box")\" is shown;"
  echo "   its screenshot: $demo/message-box.png"
  xdotool key Return
  echo "   pressed OK; the copy's run:"
else
  echo "   (no message box showed up within 30 s)"
fi
wait "$runner" || true
cat "$demo/message-box-run.txt"
wait_for_sandbox

echo
echo "== 4. header self-test mode (starts nothing): the launcher's exit code beside channel_stamp verify"
self_test=(TestDosHeaderAttribute MiniType=0 /MainSource=1101010001 AppID=2001)
for extra in "" "/SubSource=4"; do
  arguments=("${self_test[@]}")
  [ -n "$extra" ] && arguments+=("$extra")
  run_copy 30 "$copy_windows" "${arguments[@]}"
  launcher_status=$status
  echo "   channel_stamp.exe verify ludora_setup.exe -- ${arguments[*]}"
  verify_status=0
  wine_run "$windows_build/tools/channel_stamp.exe" verify "$copy_windows" -- "${arguments[@]}" | indent \
    || verify_status=$?
  echo "   verify exit code: $verify_status (the launcher's: $launcher_status)"
done
wait_for_sandbox
echo
echo "== done: the sandbox is $demo (run scripts/demo.sh again to start afresh)"
