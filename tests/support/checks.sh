# Named comparisons for the shell tests (sourced): each prints "ok:" or
# "FAIL:" with what it compared; checks_summary prints the count and answers
# whether all passed.
failures=0
checks=0
# check WHAT EXPECTED ACTUAL: one named comparison.
check() {
  checks=$((checks + 1))
  if [ "$2" = "$3" ]; then
    echo "ok:   $1"
  else
    echo "FAIL: $1: expected \"$2\", got \"$3\""
    failures=$((failures + 1))
  fi
}
checks_summary() {
  echo "$((checks - failures)) of $checks checks passed"
  [ "$failures" -eq 0 ]
}
