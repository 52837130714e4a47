#!/bin/bash
# Runs a Windows program under Wine in the build tree's private prefix.
#
# The prefix is created once (wineboot --init) under a lock, and its wineserver
# is restarted afterwards: a fresh prefix can leave a second services.exe behind
# that stalls the next start. Windows need an X display; when none is set, a
# private Xvfb is started and reused by later calls.
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
: "${CHANNEL_WINE_ROOT:=${TMPDIR:-/tmp}/channel-launcher-wine}"
export WINEPREFIX="${WINEPREFIX:-$CHANNEL_WINE_ROOT/prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Code page 936 makes debug strings reach a debugger exactly (they travel as ANSI).
export LC_ALL="${CHANNEL_WINE_LOCALE:-zh_CN.UTF-8}"
mkdir -p "$CHANNEL_WINE_ROOT"

if [ -z "${DISPLAY:-}" ]; then
  display=:87
  if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    (
      flock 9
      if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
        nohup Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
      fi
    ) 9>"$CHANNEL_WINE_ROOT/xvfb.lock"
  fi
  export DISPLAY="$display"
fi

if [ ! -f "$WINEPREFIX/.channel-ready" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.channel-ready" ]; then
      wineboot --init >/dev/null 2>&1
      wineserver -w
      # Without a window manager, closing a message box stalls for about 2 s
      # unless Wine manages its own windows.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      wineserver -k; wineserver -w
      touch "$WINEPREFIX/.channel-ready"
    fi
  ) 9>"$CHANNEL_WINE_ROOT/prefix.lock"
fi

exec wine "$@"
