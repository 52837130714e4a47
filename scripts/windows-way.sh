#!/bin/bash
# Prints which way the Windows tests run on this machine, and why (on stderr):
#   i686    the kernel runs 32-bit programs: the shipped i686 build, every
#           Windows test, under Wine's 32-bit loader;
#   x86_64  it does not (a kernel without IA-32 emulation: `dmesg` says so):
#           an x86_64 build of the same sources runs every Windows test under
#           64-bit Wine, and the i686 build runs a smoke set through qemu-user.
# CHANNEL_WINDOWS_WAY=x86_64 (or i686) chooses instead, so that both ways can
# be tried on any machine.
#
# Usage: scripts/windows-way.sh [--register]
#   --register  on the x86_64 way, also make sure that 32-bit programs run
#               through qemu-user (binfmt_misc), as the smoke set needs; the
#               registration is left in place for later runs. Needs root.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# native_ia32: is the kernel itself running 32-bit programs? Answers no under
# qemu-user too, so a registration left by an earlier run does not count.
native_ia32() {
  local work
  work=$(mktemp -d)
  as --32 -o "$work/probe.o" "$here/ia32/probe.s" && ld -m elf_i386 -o "$work/probe" "$work/probe.o"
  local status=0
  "$work/probe" 2>/dev/null || status=$?
  rm -rf "$work"
  [ "$status" -eq 0 ]
}

qemu_entry=/proc/sys/fs/binfmt_misc/qemu-i386
# register_qemu: 32-bit ELF programs (executables and shared objects) run
# through qemu-i386-static; flag F opens the interpreter once, so it works in
# any mount namespace or chroot.
register_qemu() {
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  if [ -e "$qemu_entry" ]; then
    grep -qx enabled "$qemu_entry" || echo 1 >"$qemu_entry"
    return
  fi
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" >/proc/sys/fs/binfmt_misc/register
}

if native_ia32; then native=yes; else native=no; fi
way=${CHANNEL_WINDOWS_WAY:-}
case "$way" in
  i686 | x86_64) reason="CHANNEL_WINDOWS_WAY=$way" ;;
  "")
    if [ "$native" = yes ]; then
      way=i686 reason="this kernel runs 32-bit programs"
    else
      way=x86_64 reason="this kernel cannot run 32-bit programs"
    fi
    ;;
  *) echo "CHANNEL_WINDOWS_WAY must be i686 or x86_64, not \"$way\"" >&2; exit 2 ;;
esac
if [ "$way" = i686 ] && [ "$native" = no ]; then
  echo "windows-way: $reason, but this kernel cannot run the 32-bit Wine" >&2
  exit 1
fi
echo "windows-way: $way ($reason)" >&2
if [ "${1:-}" = --register ] && [ "$way" = x86_64 ] && [ "$native" = no ]; then
  register_qemu
  echo "windows-way: 32-bit programs run through qemu-user for the i686 smoke set" >&2
fi
echo "$way"
