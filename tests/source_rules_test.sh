#!/bin/bash
# Rules of the source tree that no compiler checks:
#   - every directory listing FindFirstFileW opens is owned through
#     uniqueFind(), which turns INVALID_HANDLE_VALUE into an empty owner; one
#     wrapped by hand in UniqueFind counts a failed listing as a listing (its
#     entry unset, FindNextFileW and FindClose called on an invalid handle).
# Usage: source_rules_test.sh SOURCE_DIR
set -uo pipefail
cd "$1" || exit 2
source tests/support/checks.sh

sources=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
# grep_sources PATTERN: the lines of the sources that match (file:line: text).
grep_sources() { grep -nE "$1" $sources /dev/null | grep -v '^tests/source_rules_test.sh'; }
check "every FindFirstFileW is owned through uniqueFind()" "" \
  "$(grep_sources 'FindFirstFileW\(' | grep -vE 'uniqueFind\(FindFirstFileW\(|^[^:]+:[0-9]+: *//')"
checks_summary
