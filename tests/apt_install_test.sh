#!/bin/bash
# scripts/apt-install.sh against a broken security suite: besides the
# machine's own sources, two security suites (one in each format of sources)
# offer a newer `hello` that needs a package no suite has, so the install
# with every suite fails as a mirror mid-sync makes it fail ("held broken
# packages"); the main and updates suites alone must then serve the Debian
# `hello`, and the script must say so.
# apt works on this test's own sources, lists and archives (APT_CONFIG) and
# only downloads: the machine's apt set-up and packages stay as they were.
# Needs root and the Debian mirror: without either it is skipped (exit 77).
# Usage: apt_install_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
source "$source_dir/tests/support/checks.sh"
[ "$(id -u)" -eq 0 ] || { echo "skipped: apt needs root"; exit 77; }
package=hello
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt reads the local suites as _apt

eval "$(apt-config shell source_list Dir::Etc::sourcelist/f source_parts Dir::Etc::sourceparts/d \
          lists Dir::State::lists/d)"
machine_state() { find "$source_list" "$source_parts" "$lists" -maxdepth 1 -printf '%p %s %T@\n' 2>/dev/null | sort; }
machine_before=$(machine_state)

mkdir -p "$work/sources.list.d" "$work/lists/partial" "$work/archives/partial"
cp "$source_list" "$work/sources.list" 2>/dev/null || : >"$work/sources.list"
find "$source_parts" -maxdepth 1 \( -name '*.list' -o -name '*.sources' \) -exec cp -t "$work/sources.list.d" {} +

# broken_suite DIR VERSION: a signed-less suite SUITE-security whose index
# offers $package VERSION depending on a package that does not exist.
. /etc/os-release
security_suite=$VERSION_CODENAME-security
architecture=$(dpkg --print-architecture)
broken_suite() {
  local index=$1/dists/$security_suite/main/binary-$architecture
  mkdir -p "$index"
  printf 'Package: %s\nVersion: %s\nArchitecture: %s\nDepends: %s-missing-library\nFilename: pool/%s.deb\nSize: 1\nDescription: broken on purpose\n' \
    "$package" "$2" "$architecture" "$package" "$package" >"$index/Packages"
  printf 'Suite: %s\nCodename: %s\nDate: %s\nArchitectures: %s\nComponents: main\nSHA256:\n %s %s main/binary-%s/Packages\n' \
    "$security_suite" "$security_suite" "$(date -uR)" "$architecture" \
    "$(sha256sum <"$index/Packages" | cut -d' ' -f1)" "$(stat -c %s "$index/Packages")" "$architecture" \
    >"$1/dists/$security_suite/Release"
}
broken_suite "$work/broken-list" 98
broken_suite "$work/broken-deb822" 99
echo "deb [trusted=yes] file:$work/broken-list $security_suite main" >"$work/sources.list.d/broken.list"
printf 'Types: deb\nURIs: file:%s\nSuites: %s\nComponents: main\nTrusted: yes\n' \
  "$work/broken-deb822" "$security_suite" >"$work/sources.list.d/broken.sources"

cat >"$work/apt.conf" <<EOF
Dir::Etc::SourceList "$work/sources.list";
Dir::Etc::SourceParts "$work/sources.list.d";
Dir::State::Lists "$work/lists";
Dir::Cache::Archives "$work/archives";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
APT::Get::Download-Only "true";
EOF
[ ! -f /etc/apt/apt.conf ] || echo '#include "/etc/apt/apt.conf";' >>"$work/apt.conf"
export APT_CONFIG=$work/apt.conf

# debian_version LISTS: the version of $package a Debian mirror serves, read
# from indexes fetched into LISTS (empty when no mirror answers).
debian_version() {
  mkdir -p "$1/partial"
  apt-get -o Dir::State::Lists="$1" update -qq >/dev/null 2>&1
  apt-cache -o Dir::State::Lists="$1" madison "$package" | awk -F'|' '$3 !~ /file:/ { gsub(/ /, "", $2); print $2; exit }'
}
skip_unreachable() { echo "skipped: no Debian mirror answers, so the fallback was not tried"; exit 77; }
expected=$(debian_version "$work/lists")
[ -n "$expected" ] || skip_unreachable
[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ] ||
  { echo "skipped: $package is installed here, so there is nothing to install"; exit 77; }

start=$SECONDS
output=$("$source_dir/scripts/apt-install.sh" "$package" 2>&1)
status=$?
echo "$output" | sed 's/^/  | /'
echo "apt-install.sh took $((SECONDS - start)) s"
[ "$status" -eq 0 ] || [ -n "$(debian_version "$work/fresh-lists")" ] || skip_unreachable

check "apt-install.sh succeeds" 0 "$status"
check "every suite fails on the broken index" 1 "$(grep -c 'held broken packages' <<<"$output")"
check "the main and updates suites alone serve it, and it says so" 1 \
  "$(grep -E "^installed from $VERSION_CODENAME( |.* )$VERSION_CODENAME-updates( .*)? alone" <<<"$output" | grep -vc -- -security)"
check "the Debian $package is what was fetched" "${package}_${expected/:/%3a}_$architecture.deb" \
  "$(cd "$work/archives" && ls -- *.deb 2>/dev/null)"
check "$package is not installed (downloaded only)" "" \
  "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -w installed)"
check "the machine's sources and lists are as they were" "$machine_before" "$(machine_state)"
checks_summary
