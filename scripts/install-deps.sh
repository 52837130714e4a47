#!/bin/bash
# Installs what building and testing need on a Debian machine, as root.
# Safe to run again: it only installs what is missing.
#
# Usage: scripts/install-deps.sh [demo]
#   demo  also what the demo alone needs (ImageMagick, for its screenshot)
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32  # the launcher itself: no POSIX thread layer
  # The same at 64 bits, for machines whose kernel cannot run the 32-bit Wine
  # (scripts/windows-way.sh); qemu-user runs the i686 smoke set there.
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32 qemu-user-static
  wine wine64 wine32:i386
  python3-pefile  # static checks of the built programs
  xvfb x11-utils xdotool locales fonts-wqy-zenhei
  openssl osslsigncode  # a throw-away certificate and Authenticode signing of stamped copies
  zip unzip  # the tools package, packed the same way every time, and its check
)
[ "${1:-}" = demo ] && packages+=(imagemagick)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  updated=no
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
# apt-install.sh rides out a mirror caught mid-sync (it says which suites it used).
[ ${#missing[@]} -eq 0 ] || "$(dirname "${BASH_SOURCE[0]}")/apt-install.sh" "${missing[@]}"

# zh_CN.UTF-8 gives Wine code page 936, in which debug-trace lines reach a debugger exactly.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# Which way the Windows tests run here; where the kernel cannot run 32-bit
# programs, qemu-user is registered to run them (and left registered).
"$(dirname "${BASH_SOURCE[0]}")/windows-way.sh" --register >/dev/null
