#!/bin/bash
# Builds the shipped programs a second time, from a copy of the sources in
# another folder at another time, and compares them byte for byte with this
# tree's: the same commit must give the same channel_launcher.exe,
# channel_stamp.exe and channel_record.exe, and the same tools package,
# wherever it is built.
#
# Usage: reproducible_test.sh SOURCE_DIR BUILD_DIR TOOLCHAIN_FILE_NAME BUILD_TYPE
set -euo pipefail
source_dir=$1 build_dir=$2 toolchain=$3 build_type=$4

work=$(mktemp -d /tmp/channel-rebuild.XXXXXX)
trap 'rm -rf "$work"' EXIT
status=0
copy=$work/elsewhere/sources
mkdir -p "$copy"
# The files of the checkout as they are now (tracked and new, not ignored);
# the copy has no .git, so it is told the commit this tree reports.
git -C "$source_dir" ls-files -z --cached --others --exclude-standard |
  (cd "$source_dir" && tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -xf - -C "$copy"
commit=$(sed -n 's/^#define CHANNEL_COMMIT "\(.*\)"$/\1/p' "$build_dir/generated/channel_commit.h")

package=package/channel-launcher-tools-$(sed -n 's/^#define CHANNEL_VERSION_TEXT "\(.*\)"$/\1/p' \
  "$build_dir/generated/channel_version.h")-i686.zip
[ -f "$build_dir/$package" ] || { echo "no $package: build the target package first (scripts/test.sh does)"; exit 1; }

# The package holds what it says: the sums agree, and the tools carry no debug sections.
mkdir "$work/unpacked"
unzip -q "$build_dir/$package" -d "$work/unpacked"
(cd "$work"/unpacked/* && sha256sum --quiet -c SHA256SUMS) || status=1
for tool in "$work"/unpacked/*/channel_*.exe; do
  if i686-w64-mingw32-objdump -h "$tool" | grep -q '\.debug_'; then echo "not stripped: ${tool##*/}"; status=1; fi
done

# A compiler cache would hand the second build the first one's objects.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
export CCACHE_DISABLE=1
started=$SECONDS
cmake -S "$copy" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/$toolchain" \
  -DCMAKE_BUILD_TYPE="$build_type" -DCHANNEL_COMMIT="$commit" >/dev/null
cmake --build "$work/build" -j "$(nproc)" --target package >/dev/null
echo "second build: $((SECONDS - started)) s"
for program in launch_flow/channel_launcher.exe tools/channel_stamp.exe tools/channel_record.exe "$package"; do
  first=$build_dir/$program second=$work/build/$program
  sum=$(sha256sum <"$first" | cut -c1-64)
  if cmp -s "$first" "$second"; then
    echo "same     $sum  $program"
  else
    echo "DIFFERS  $sum  $program ($(cmp -l "$first" "$second" | wc -l) bytes; first offsets, 1-based:)"
    cmp -l "$first" "$second" | head -5
    status=1
  fi
done
exit $status
