#!/bin/bash
# Reads a GNU ld link map of channel_launcher.exe and prints the bytes each
# component brings, split into code (.text), read-only data (.rdata, .data,
# .bss), unwind tables (.eh_frame) and the rest, largest first. The map comes
# with every Windows build: build/windows/launch_flow/channel_launcher.map.
#
# Usage: scripts/size-by-component.sh [MAP]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
map="${1:-$root/build/windows/launch_flow/channel_launcher.map}"
[ -f "$map" ] || { echo "no link map at $map (build the windows preset first)" >&2; exit 1; }

awk '
# The component an input file belongs to: the launcher'"'"'s own libraries by
# subsystem, the runtime archives by what their members do.
function component(file,   lib, member) {
  if (file ~ /CMakeFiles\/channel_launcher\.dir/) return "launcher: entry and resources"
  # Link-time optimisation compiles the launcher'"'"'s code anew as one unit.
  if (file ~ /\.(ltrans[0-9]*\.ltrans|lto)\.o$/) return "launcher: its code (link-time optimised)"
  if (match(file, /lib(common|launch_settings|launch_flow|record_file)_(core|win)\.a/)) {
    lib = substr(file, RSTART + 3, RLENGTH - 5); return "launcher: " lib
  }
  member = file; sub(/.*\(/, "", member); sub(/\)$/, "", member)
  if (file ~ /libstdc\+\+\.a/) {
    if (member ~ /^(vterminate|cp-demangle)\.o$/) return "libstdc++: verbose terminate handler, demangler"
    if (member ~ /string|snprintf_lite|string-inst|functexcept|stdexcept|cow-|sstream|ostream|istream|ios|locale|ctype|codecvt|iostream/) return "libstdc++: strings, exceptions by message, streams"
    if (member ~ /^(eh_|guard|del_|new_|pure|bad_|tinfo|si_class|class_type|vmi_class|pbase|pointer_type|fundamental|dyncast|atexit_thread|cxx11-shim|vec\.o)/) return "libstdc++: exception and RTTI support (supc++)"
    return "libstdc++: other (" member ")"
  }
  if (file ~ /libwinpthread|libpthread/) return "POSIX thread layer (winpthread)"
  if (file ~ /libgcc_eh\.a/) return "libgcc_eh: unwinder"
  if (file ~ /libgcc\.a/) return "libgcc: helpers"
  if (file ~ /libmingwex\.a/) {
    if (member ~ /pformat|printf|scanf|dtoa|gdtoa|gmisc|strtod|strtof|misc\.o|mbrtowc|wcrtomb|btowc|fpclassify|isnan|signbit|frexp|ldexp|powi|mprec|hdtoa|fmt|qnan/) return "mingwex: printf family and number conversion"
    return "mingwex: other"
  }
  if (file ~ /crt2|crtbegin|crtend|libmingw32\.a|libmsvcrt\.a|libmoldname\.a/) return "C runtime start-up and imports"
  if (file ~ /lib(kernel32|user32|shell32|advapi32|gdi32|ole32)\.a/) return "import stubs"
  return "other: " file
}
function hex(text,   i, value) {
  value = 0; text = tolower(substr(text, 3))
  for (i = 1; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
  return value
}
function bucket(section) {
  if (section ~ /^\.text/) return "code"
  if (section ~ /^\.(rdata|data|bss|rodata)/) return "data"
  if (section ~ /^\.eh_frame/) return "unwind"
  return "rest"
}
/^Linker script and memory map/ { inmap = 1; next }
!inmap { next }
# An input section on one line: " .text  0xADDR  0xSIZE file", or its name
# alone with the figures on the next line.
/^ \.[^ ]+$/ { pending = $1; next }
{
  if (pending != "" && $1 ~ /^0x/ && NF >= 3) { name = pending; addr = $1; size = $2; file = $3 }
  else if ($0 ~ /^ \.[^ ]+ +0x/ && NF >= 4) { name = $1; addr = $2; size = $3; file = $4 }
  else { pending = ""; next }
  pending = ""
  if (addr == "0x00000000" || file !~ /\.(o|a|obj)|\)$/) next
  n = hex(size); if (n == 0) next
  c = component(file); b = bucket(name)
  total[c] += n; part[c, b] += n; all += n; allpart[b] += n
}
END {
  for (c in total)
    printf "%d\t%-52s %8d %8d %8d %8d %8d\n", total[c], c, total[c], part[c, "code"], part[c, "data"], part[c, "unwind"], part[c, "rest"]
  printf "-1\t%-52s %8d %8d %8d %8d %8d\n", "all input sections", all, allpart["code"], allpart["data"], allpart["unwind"], allpart["rest"]
}' "$map" | sort -t$'\t' -k1,1nr | cut -f2- | {
  printf "%-52s %8s %8s %8s %8s %8s\n" component total code data unwind rest
  cat
}
