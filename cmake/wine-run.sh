#!/bin/bash
# Runs a Windows program under Wine in the build tree's private prefix.
#
#   wine-run.sh PROGRAM [ARGS...]   run one program
#   wine-run.sh --session-start     prepare the display and the prefix, and keep
#                                   one wineserver (with its services) running
#   wine-run.sh --session-stop      end that wineserver and every Wine process
#   wine-run.sh --display           make sure of the display and print its name
#
# ctest brackets the Windows tests with the two session commands, so that the
# tests share a warm session instead of racing each other to start one.
#
# The prefix is created once (wineboot --init) under a lock, and its wineserver
# is restarted afterwards: a fresh prefix can leave a second services.exe behind
# that stalls the next start. Windows need an X display; when none is set, a
# private Xvfb is started and reused by later calls.
#
# Every long-lived process started while a lock is held gets the lock's file
# descriptor closed: flock belongs to the open file, so an Xvfb or wineserver
# that inherited it would hold the lock for as long as it runs, and the next
# caller would wait forever.
#
# The prefix is a 64-bit one (which runs 32-bit programs too, and has the
# WOW6432Node registry view the launcher reads). Each program runs with Wine's
# loader of its own width: Debian's `wine` command takes the 32-bit loader
# whenever it is installed, which on a kernel that cannot run 32-bit programs
# fails ("Exec format error") or, where qemu-user runs them instead, costs a
# minute a start. So 64-bit programs, the prefix's own upkeep and Wine's own
# programs named without a path (reg, cmd: System32 holds their 64-bit builds)
# go to the 64-bit loader directly. CHANNEL_WINE_BITS=64 says that no 32-bit
# loader may be used at all. Each build tree writes a wine-run.sh of its own
# that sets the root and the width, and calls this one.
set -u
: "${CHANNEL_WINE_ROOT:=${TMPDIR:-/tmp}/channel-launcher-wine}"
export WINEPREFIX="${WINEPREFIX:-$CHANNEL_WINE_ROOT/prefix}"
wine64_loader=/usr/lib/wine/wine64
if [ "${CHANNEL_WINE_BITS:-32}" = 64 ] || [ ! -x /usr/lib/wine/wine ]; then
  export WINELOADER=$wine64_loader
fi

# wine64 ARGS...: Wine's 64-bit loader (Debian's `wine` where it has none).
wine64() {
  if [ -x "$wine64_loader" ]; then "$wine64_loader" "$@"; else command wine "$@"; fi
}

# is_32bit_program FILE: FILE is a PE image for i386 (its COFF machine 0x14c).
is_32bit_program() {
  [ -f "$1" ] || return 1
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$header" ] && [ "$(od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')" = 014c ]
}

export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Code page 936 makes debug strings reach a debugger exactly (they travel as ANSI).
export LC_ALL="${CHANNEL_WINE_LOCALE:-zh_CN.UTF-8}"
mkdir -p "$CHANNEL_WINE_ROOT"

display_ready() { xdpyinfo -display "$1" >/dev/null 2>&1; }

ensure_display() {
  [ -n "${DISPLAY:-}" ] && return
  local display=:87
  if ! display_ready "$display"; then
    (
      flock 9
      if ! display_ready "$display"; then
        nohup Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 9>&- &
        for _ in $(seq 100); do display_ready "$display" && break; sleep 0.1; done
      fi
    ) 9>"$CHANNEL_WINE_ROOT/xvfb.lock"
  fi
  export DISPLAY="$display"
}

ensure_prefix() {
  [ -f "$WINEPREFIX/.channel-ready" ] && return
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.channel-ready" ]; then
      WINEARCH=win64 wine64 wineboot --init >/dev/null 2>&1 9>&-
      wineserver -w
      # Without a window manager, closing a message box stalls for about 2 s
      # unless Wine manages its own windows.
      wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 9>&-
      wineserver -k; wineserver -w
      touch "$WINEPREFIX/.channel-ready"
    fi
  ) 9>"$CHANNEL_WINE_ROOT/prefix.lock"
}

case "${1:-}" in
  --session-start)
    ensure_display
    ensure_prefix
    # A persistent wineserver, warmed up by one short program so that its
    # services and desktop are running before the first test starts.
    # Both get /dev/null for their standard streams: what they leave running
    # must not hold the pipes of the ctest run that started them.
    wineserver -p </dev/null >/dev/null 2>&1
    wine64 cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
    ;;
  --display)
    ensure_display
    echo "$DISPLAY"
    ;;
  --session-stop)
    wineserver -k
    wineserver -w
    ;;
  *)
    ensure_display
    ensure_prefix
    # A 32-bit program, or one named by a Windows path that only Wine can
    # look into: Debian's `wine`, which hands a 64-bit program on to wine64.
    if [ "${CHANNEL_WINE_BITS:-32}" != 64 ]; then
      is_32bit_program "$1" && exec wine "$@"
      case "$1" in *\\*) exec wine "$@" ;; esac
    fi
    [ -x "$wine64_loader" ] && exec "$wine64_loader" "$@"
    exec wine "$@"
    ;;
esac
