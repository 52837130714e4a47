# What the benchmark scripts share (sourced).

# require_built FILE...: stops the benchmark when a program it runs is not built.
require_built() {
  for program in "$@"; do
    [ -f "$program" ] || { echo "missing $program: build the tree first" >&2; exit 1; }
  done
}

# median NUMBER...: the median of the numbers.
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }
