#!/bin/bash
# Installs Debian packages with apt, as root, riding out a mirror caught
# mid-sync. Such a mirror can serve an index whose size does not match its
# signature; apt drops that index, and when it is the security suite's index
# for one architecture, the two halves of a multi-arch library come from
# different suites and the install fails ("held broken packages") for as long
# as the mirror stays that way, often hours. So:
#   1. every configured suite;
#   2. at once, the main and updates suites alone: the machine's own sources
#      less the security suites, in a sources list and lists folder of this
#      run only (the machine's own sources and lists are left as they are);
#   3. after a pause, every suite once more.
# It says which one installed the packages. With the network down each try
# fails within seconds (apt retries a few times itself): about a minute in all.
#
# Usage: scripts/apt-install.sh PACKAGE...
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 PACKAGE..." >&2; exit 2; }
packages=("$@")
pause_seconds=30

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# apt fetches as the unprivileged _apt user, which must reach the lists folder.
chmod 755 "$work"

# install_with [APT OPTION...]: updates the indexes and installs the packages;
# apt's account of a failed install is printed.
install_with() {
  apt-get "$@" update -qq || echo "apt-get update reported errors; installing from the indexes it has"
  if DEBIAN_FRONTEND=noninteractive apt-get "$@" install -y -qq --no-install-recommends "${packages[@]}" \
       >"$work/install.log" 2>&1; then
    return 0
  fi
  cat "$work/install.log"
  return 1
}

# A suite is a security suite by its name: SUITE-security (Debian 11 on),
# SUITE/updates (before).
security_suite='(-security|/updates)$'

# without_security_lines KEPT_SUITES < one-line sources > the same less the
# lines of security suites; the suites of the lines kept are added to KEPT_SUITES.
without_security_lines() {
  awk -v security="$security_suite" -v kept="$1" '
    /^[[:space:]]*deb(-src)?[[:space:]]/ {
      rest = $0
      sub(/^[[:space:]]*deb(-src)?[[:space:]]+/, "", rest)
      sub(/^\[[^]]*\][[:space:]]*/, "", rest)  # [options]
      split(rest, word, /[[:space:]]+/)         # URI, suite, components
      if (word[2] ~ security) next
      print word[2] >> kept
    }
    { print }'
}

# without_security_suites KEPT_SUITES < deb822 sources > the same less the
# security suites: dropped from each Suites field (folded lines too), and a
# stanza left with no suite dropped whole.
without_security_suites() {
  awk -v security="$security_suite" -v kept="$1" '
    function flush(   i, count, value, left) {
      count = split(suites, value, /[[:space:]]+/)
      left = ""
      for (i = 1; i <= count; i++)
        if (value[i] != "" && value[i] !~ security) left = left " " value[i]
      if (suites_at == 0 || left != "") {
        if (suites_at) line[suites_at] = "Suites:" left
        for (i = 1; i <= lines; i++) print line[i]
        if (left != "" && !disabled) print substr(left, 2) >> kept
      }
      lines = 0; suites = ""; suites_at = 0; in_suites = 0; disabled = 0
    }
    /^[[:space:]]*$/ { flush(); print; next }
    /^#/ { line[++lines] = $0; next }
    /^[ \t]/ && in_suites { suites = suites " " $0; next }
    {
      in_suites = 0
      field = tolower($0)
      if (field ~ /^suites:/) {
        suites = substr($0, 8); suites_at = ++lines; in_suites = 1; next
      }
      if (field ~ /^enabled:[[:space:]]*no/) disabled = 1
      line[++lines] = $0
    }
    END { flush() }'
}

# main_and_updates_options: writes the machine's sources less the security
# suites into the work folder, with a copy of its lists (only what changed is
# fetched again); main_options then holds the apt options that use them and
# main_suites the suites kept.
main_options=()
main_suites=
main_and_updates_options() {
  local source_list source_parts lists file
  eval "$(apt-config shell source_list Dir::Etc::sourcelist/f source_parts Dir::Etc::sourceparts/d \
            lists Dir::State::lists/d)"
  mkdir -p "$work/sources.list.d" "$work/lists/partial"
  : >"$work/sources.list" && : >"$work/suites"
  [ ! -f "$source_list" ] || without_security_lines "$work/suites" <"$source_list" >"$work/sources.list"
  for file in "$source_parts"*.list; do
    [ ! -f "$file" ] || without_security_lines "$work/suites" <"$file" >"$work/sources.list.d/${file##*/}"
  done
  for file in "$source_parts"*.sources; do
    [ ! -f "$file" ] || without_security_suites "$work/suites" <"$file" >"$work/sources.list.d/${file##*/}"
  done
  find "$lists" -maxdepth 1 -type f ! -name lock -exec cp -p -t "$work/lists" {} +
  chown _apt "$work/lists/partial" 2>/dev/null || true  # as apt keeps its own
  main_options=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts="$work/sources.list.d"
                -o Dir::State::Lists="$work/lists"
                # No package cache built from these lists where a later plain apt would find it.
                -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
  main_suites=$(tr ' ' '\n' <"$work/suites" | awk 'NF && !seen[$0]++' | paste -sd ' ')
}

echo "installing: ${packages[*]}"
if install_with; then
  echo "installed from every configured suite"
  exit 0
fi
main_and_updates_options
echo "the install failed; trying the main and updates suites alone (${main_suites:-none configured})"
if [ -n "$main_suites" ] && install_with "${main_options[@]}"; then
  echo "installed from ${main_suites} alone, without the security suite; a later apt-get upgrade brings its updates"
  exit 0
fi
echo "the install failed; trying every suite again in $pause_seconds s"
sleep "$pause_seconds"
if install_with; then
  echo "installed from every configured suite"
  exit 0
fi
echo "could not install: ${packages[*]}" >&2
exit 1
