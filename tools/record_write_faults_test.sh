#!/bin/bash
# Writes of the hall's record file when things go wrong, through channel_record
# (natively, or the Windows program under Wine):
#   1. set-channel killed (SIGKILL) at random moments of writing a 1.5 MB file:
#      afterwards the file is always the old or the new version, byte for byte;
#   2. the temporaries those kills leave are removed by the next write once
#      they are older than a minute; a fresh one and files that only look like
#      temporaries are kept;
#   3. on a full file system (a 2 MB tmpfs; under Wine through a drive letter
#      mapped to it) set-channel ends with 21, the file is unchanged and no
#      temporary is left. Needs root for the mount: without it this part is
#      skipped and the script ends with 77 once the others have passed;
#   4. in a folder that refuses new files (made immutable, chattr +i, as root)
#      set-channel succeeds by rewriting the file in place, leaving nothing
#      beside it (skipped like 3. without root or chattr).
# Figures (kills, completions, temporaries, times) are printed, not asserted.
#
# Usage: record_write_faults_test.sh PROGRAM BUILD_DIR [WINE_RUN]
#   PROGRAM   channel_record, or channel_record.exe when WINE_RUN is given
#   WINE_RUN  the build tree's wine-run.sh (it sets CHANNEL_WINE_ROOT too)
# KILL_ROUNDS overrides the number of killed writes (120 natively, 80 under Wine).
set -uo pipefail
tool=$1
build=$(cd "$2" && pwd)
wine_run=${3:-}
case "$tool" in /*) ;; *) echo "PROGRAM must be an absolute path, not \"$tool\""; exit 2 ;; esac
[ -x "$tool" ] || [ -n "$wine_run" ] || { echo "$tool is not a program"; exit 2; }
[ -f "$tool" ] || { echo "$tool does not exist"; exit 2; }

if [ -n "$wine_run" ]; then
  rounds=${KILL_ROUNDS:-80}
  : "${CHANNEL_WINE_ROOT:?set CHANNEL_WINE_ROOT to the Wine root of the build tree}"
  dosdevices="${WINEPREFIX:-$CHANNEL_WINE_ROOT/prefix}/dosdevices"
else
  rounds=${KILL_ROUNDS:-120}
fi

work=$(mktemp -d "$build/tools/record-faults.XXXXXX")
mount_point=""
drive_link=""
immutable=""
cleanup() {
  [ -n "$immutable" ] && chattr -i "$immutable"
  [ -n "$drive_link" ] && rm -f "$drive_link"
  [ -n "$mount_point" ] && mountpoint -q "$mount_point" && umount "$mount_point"
  rm -rf "$work"
}
trap cleanup EXIT

source "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/support/checks.sh"

now_us() { echo "${EPOCHREALTIME/./}"; }

# The path the program is given for a file: as it is natively, on Wine's Z:
# drive otherwise.
program_path() {
  if [ -n "$wine_run" ]; then echo "Z:${1//\//\\}"; else echo "$1"; fi
}
# record ARGS...: channel_record run to its end; its output in $output, its
# exit code returned.
record() {
  if [ -n "$wine_run" ]; then
    output=$("$wine_run" "$tool" "$@" 2>&1)
  else
    output=$("$tool" "$@" 2>&1)
  fi
}
# The names in DIR of the program's temporaries (for the record file rec.as):
# rec.as.<pid>.<hex>.<counter>.tmp natively, ~ic<six hex digits>.tmp on Windows;
# temporary_glob matches them all, and a few more.
if [ -n "$wine_run" ]; then temporary_glob='~ic??????.tmp'; else temporary_glob='rec.as.*.tmp'; fi
temporaries() {
  if [ -n "$wine_run" ]; then
    ls -A "$1" | grep -E '^~ic[0-9a-f]{6}\.tmp$'
  else
    ls -A "$1" | grep -E '^rec\.as\.[0-9]+\.[0-9a-f]+\.[0-9]+\.tmp$'
  fi
}
count_lines() { grep -c . || true; }

# The entries `show` lists for FILE (its path line left out), to compare two
# files whose bytes differ.
entries_of() {
  record show "$(program_path "$1")" && grep -v '^file ' <<<"$output" | tr -d '\r'
}
# version_of FILE OLD NEW: "old" or "new" when FILE holds exactly what OLD or
# NEW holds, "torn" otherwise. The bytes are compared first; when they differ
# from both, the entries are (the cipher's fill bytes need not repeat).
version_of() {
  if cmp -s "$1" "$2"; then echo old; return; fi
  if cmp -s "$1" "$3"; then echo new; return; fi
  local entries expected
  if entries=$(entries_of "$1") && expected=$(entries_of "$3") && [ "$entries" = "$expected" ]; then
    echo new
  else
    echo torn
  fi
}

# make_record FILE SECTIONS: a plain UTF-8 record file with SECTIONS sections
# of 500 entries of 90 characters (about 51 KB a section), then written once
# by the program so that it is enciphered as the launcher writes it. The
# sections sort after [InstallChannel], so the channel is written first: a
# channel of another length shifts everything after it, and two versions then
# differ in nearly every byte, wherever a write may have been cut off.
make_record() {
  awk -v sections="$2" 'BEGIN {
    printf "\xef\xbb\xbf[InstallChannel]\r\nMainCid=1\r\n"
    value = sprintf("%090d", 0); gsub(/0/, "x", value)
    for (s = 0; s < sections; s++) {
      printf "[Zone%02d]\r\n", s
      for (i = 0; i < 500; i++) printf "Entry%04d=%s\r\n", i, value
    }
  }' >"$1"
  record set-channel "$(program_path "$1")" 1
}

# --- 1. killed writes ---------------------------------------------------------
dir="$work/kills"
refdir="$work/reference"
mkdir "$dir" "$refdir"
file="$dir/rec.as"
make_record "$file" 30
check "set-channel writes the 1.5 MB record file" 0 $?
echo "      $(stat -c %s "$file") bytes, $(grep -o '[0-9]* entries' <<<"$output")"

# The comparison itself, on files known to be torn: the new version cut short,
# and with one byte changed.
cp "$file" "$refdir/old"
cp "$file" "$refdir/new"
record set-channel "$(program_path "$refdir/new")" 2
head -c $(($(stat -c %s "$refdir/new") / 2)) "$refdir/new" >"$refdir/cut"
check "a file cut short is told apart from both versions" torn "$(version_of "$refdir/cut" "$refdir/old" "$refdir/new")"
cp "$refdir/new" "$refdir/changed"
printf 'Z' | dd of="$refdir/changed" bs=1 seek=1000 conv=notrunc status=none
check "a file with one byte changed is told apart from both" torn \
  "$(version_of "$refdir/changed" "$refdir/old" "$refdir/new")"
check "the new version is recognised" new "$(version_of "$refdir/new" "$refdir/old" "$refdir/new")"
rm -f "$refdir"/*

# Odd rounds kill at a random moment of the time an undisturbed write took;
# even rounds watch the folder and kill as soon as the write's temporary
# appears, so that many kills land while the new file is being written, which
# is a few per cent of a run.
shopt -s nullglob
current=1
killed=0 completed=0 torn=0 ended_old=0 ended_new=0 other_exits="" before_start=0 write_us=0 watched=0 outlived=0
loop_start=$(now_us)
for round in $(seq "$rounds"); do
  # Four digits after seven and seven after four (see make_record).
  if ((${#current} > 4)); then channel=$((1000 + round)); else channel=$((1000000 + round)); fi
  # The two versions the file may hold afterwards, and how long an
  # undisturbed write of the new one takes.
  cp "$file" "$refdir/old"
  cp "$file" "$refdir/new"
  started=$(now_us)
  record set-channel "$(program_path "$refdir/new")" "$channel"
  took=$(($(now_us) - started))
  write_us=$((write_us + took))
  existing=("$dir"/$temporary_glob)
  # A simple command started in the background runs in the process $! names
  # (wine-run.sh execs wine, and the Windows program runs in that process), so
  # the kill reaches the tool itself and never the wineserver.
  if [ -n "$wine_run" ]; then
    "$wine_run" "$tool" set-channel "$(program_path "$file")" "$channel" >/dev/null 2>&1 &
  else
    "$tool" set-channel "$file" "$channel" >/dev/null 2>&1 &
  fi
  pid=$!
  if ((round % 2)); then
    delay=$((RANDOM * took / 32768))
    sleep "$(printf '%d.%06d' $((delay / 1000000)) $((delay % 1000000)))"
  else
    deadline=$(($(now_us) + 2 * took))
    while kill -0 "$pid" 2>/dev/null && (($(now_us) < deadline)); do
      present=("$dir"/$temporary_glob)
      if ((${#present[@]} > ${#existing[@]})); then watched=$((watched + 1)); break; fi
    done
  fi
  # Under Wine the wrapper may still be starting: still the same process, killed
  # before the program ran.
  grep -q 'wine-run\.sh' "/proc/$pid/cmdline" 2>/dev/null && before_start=$((before_start + 1))
  kill -KILL "$pid" 2>/dev/null
  # (bash's "Killed" notice goes with wait's standard error)
  wait "$pid" 2>/dev/null
  status=$?
  # Had the kill reached a wrapper only, the tool would still be writing.
  outlived=$((outlived + $(pgrep -fa set-channel | grep -cF "$(program_path "$file")")))
  case $status in
    137) killed=$((killed + 1)) ;;
    0) completed=$((completed + 1)) ;;
    *) other_exits+=" $status" ;;
  esac
  case $(version_of "$file" "$refdir/old" "$refdir/new") in
    old) ended_old=$((ended_old + 1)) ;;
    new) ended_new=$((ended_new + 1)); current=$channel ;;
    *)
      torn=$((torn + 1))
      echo "      round $round (channel $channel, exit $status): the file is neither version, $(stat -c %s "$file") bytes"
      cp "$refdir/new" "$file"  # the next round starts from a whole file
      current=$channel
      ;;
  esac
done
shopt -u nullglob
loop_us=$(($(now_us) - loop_start))
left=$(temporaries "$dir" | count_lines)
check "every write was killed or ran to its end (exit codes other than 0 and SIGKILL)" "" "$other_exits"
check "no killed write tore the file" 0 "$torn"
check "no set-channel outlived its kill (the kills reached the tool itself)" 0 "$outlived"
check "only the record file and temporaries are in its folder" 0 "$(ls -A "$dir" | grep -vxF rec.as | grep -cvxFf <(temporaries "$dir"))"
echo "      an undisturbed write took $((write_us / rounds / 1000)) ms on average; $rounds rounds in $((loop_us / 1000000)) s"
echo "      the file held the old version after $ended_old rounds, the new one after $ended_new;" \
  "$watched kills came as soon as a temporary appeared"
[ -n "$wine_run" ] && echo "      $before_start kills landed before wine-run.sh had started the program"
echo "killed $killed of $rounds writes mid-way, $completed completed, $torn torn, $left temporaries left"

# --- 2. the next write removes stale temporaries ------------------------------
if [ "$left" -eq 0 ]; then
  # No kill landed while a temporary existed: one is planted in its place.
  if [ -n "$wine_run" ]; then stale=("~ic5e1f00.tmp"); else stale=("rec.as.1.5e1f00.1.tmp"); fi
  head -c 100000 "$file" >"$dir/${stale[0]}"
  echo "      no temporary was left by the kills; planted ${stale[0]}"
else
  mapfile -t stale < <(temporaries "$dir")
fi
for name in "${stale[@]}"; do touch -d '2 minutes ago' "$dir/$name"; done
# A fresh temporary (a write in progress) and, old too, names that only look
# like temporaries.
if [ -n "$wine_run" ]; then
  fresh="~ic0a1b2c.tmp"
  foreign=("~icxyz123.tmp" "~ic0a1b2c3.tmp" "other.tmp")
else
  fresh="rec.as.4242.1a2b3c.1.tmp"
  foreign=("rec.as.4242.xyz.1.tmp" "rec.as.tmp" "other.tmp")
fi
printf 'partial' >"$dir/$fresh"
for name in "${foreign[@]}"; do
  printf 'not ours' >"$dir/$name"
  touch -d '2 minutes ago' "$dir/$name"
done
record set-channel "$(program_path "$file")" 2000
check "the next set-channel succeeds" 0 $?
gone=0
for name in "${stale[@]}"; do [ -e "$dir/$name" ] || gone=$((gone + 1)); done
check "it removes every temporary older than a minute" "${#stale[@]}" "$gone"
check "it keeps the fresh temporary" yes "$([ -e "$dir/$fresh" ] && echo yes)"
kept=0
for name in "${foreign[@]}"; do [ -e "$dir/$name" ] && kept=$((kept + 1)); done
check "it keeps files that are not its temporaries (${foreign[*]})" "${#foreign[@]}" "$kept"
record show "$(program_path "$file")"
check "and the file holds the new channel" "  [installchannel] maincid = 2000" \
  "$(grep -i '^ *\[installchannel\] maincid' <<<"$output" | tr -d '\r')"
echo "removed $gone of ${#stale[@]} stale temporaries, kept $([ -e "$dir/$fresh" ] && echo 1 || echo 0) fresh and $kept of ${#foreign[@]} look-alikes"

# --- 3. a full file system --------------------------------------------------------
skipped=""
if [ "$(id -u)" -ne 0 ]; then
  skipped="the full file system needs root to mount a tmpfs"
  echo "skip: $skipped"
else
  mount_point="$work/full"
  mkdir "$mount_point"
  if ! mount -t tmpfs -o size=2m tmpfs "$mount_point"; then
    mount_point=""
    skipped="a tmpfs could not be mounted"
    echo "skip: $skipped"
  fi
fi
if [ -z "$skipped" ]; then
  full="$mount_point/rec.as"
  if [ -n "$wine_run" ]; then
    # A free drive letter mapped to the tmpfs, so that the Windows program sees a
    # full drive of its own. With -T a letter already taken fails, where plain
    # ln would put the link inside the folder that letter names.
    letter=""
    for candidate in t u v w x y s r; do
      ln -sT "$mount_point" "$dosdevices/$candidate:" 2>/dev/null && { letter=$candidate; break; }
    done
    if [ -z "$letter" ]; then
      echo "FAIL: no drive letter could be mapped to the tmpfs in $dosdevices"
      exit 1
    fi
    drive_link="$dosdevices/$letter:"
    full_path="${letter^^}:\\rec.as"
  else
    full_path="$full"
  fi
  # About 1.2 MB of record written on the drive itself, the rest filled, then
  # 256 KiB given back so that the new file fails part-way through.
  make_record "$work/full.as" 24
  cp "$work/full.as" "$full"
  dd if=/dev/zero of="$mount_point/fill" bs=64k status=none 2>/dev/null
  truncate -s -256K "$mount_point/fill"
  cp "$full" "$work/full.before"
  free=$(df -B1 --output=avail "$mount_point" | tail -1 | tr -d ' ')
  started=$(now_us)
  record set-channel "$full_path" 3000
  status=$?
  took=$(($(now_us) - started))
  check "set-channel on a full drive ends with 21 (cannot write)" 21 "$status"
  echo "      $(head -1 <<<"$output" | tr -d '\r')"
  unchanged=$(cmp -s "$full" "$work/full.before" && echo unchanged || echo changed)
  check "the file is byte for byte as before" unchanged "$unchanged"
  check "no temporary is left on the drive" "fill rec.as" "$(ls -A "$mount_point" | paste -sd ' ')"
  echo "full drive ($free bytes free for a $(stat -c %s "$work/full.before")-byte file): exit $status in" \
    "$((took / 1000)) ms, file $unchanged, $(temporaries "$mount_point" | count_lines) temporaries left"
fi

# --- 4. a folder that refuses new files ------------------------------------------
# A hall installed for all users whose installer let users write its record
# file but not create files in its folder. An immutable folder (chattr +i, as
# root) refuses new files, renames and deletions to everyone, root included,
# while the file inside stays writable: the write falls back to rewriting the
# file in place. The trap lifts the mark however the test ends.
refusing="$work/refusing"
mkdir "$refusing"
make_record "$refusing/rec.as" 1
if [ "$(id -u)" -eq 0 ] && chattr +i "$refusing" 2>/dev/null; then
  immutable="$refusing"
  record set-channel "$(program_path "$refusing/rec.as")" 4000
  check "set-channel in a folder that refuses new files succeeds" 0 $?
  chattr -i "$refusing" && immutable=""
  record show "$(program_path "$refusing/rec.as")"
  check "the file holds the new channel, rewritten in place" "  [installchannel] maincid = 4000" \
    "$(grep -i '^ *\[installchannel\] maincid' <<<"$output" | tr -d '\r')"
  check "nothing else is in the folder" "rec.as" "$(ls -A "$refusing" | paste -sd ' ')"
else
  skipped+="${skipped:+; }a folder cannot be made immutable here (root and chattr on ext4 needed)"
  echo "skip: a folder cannot be made immutable here"
fi

checks_summary || exit 1
[ -z "$skipped" ] || exit 77
