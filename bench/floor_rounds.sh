#!/usr/bin/env bash
# Rows of a native benchmark program against their syscall floor, in rounds: in each round every
# case and every floor runs in a process of its own, one after the other, and gives the CPU
# median of three repetitions; each ratio is taken against the floor of the same round, so that
# a machine whose file calls drift between runs still gives comparable figures. Prints each
# round's ratio, then for each pair the median of the case, of its floor and of the ratios, with
# their range over the rounds.
# Usage: bench/floor_rounds.sh PROGRAM ROUNDS CASE=FLOOR [CASE=FLOOR ...]
#   e.g. bench/floor_rounds.sh build/release/bench/control_bench 6 \
#          BM_SecondOfTicksStartUp=BM_SyscallFloor/1000/1/0 \
#          BM_SteadySecond/1000/0=BM_SyscallFloor/1000/10/0
set -euo pipefail
if [[ $# -lt 3 || ! -x $1 || ! $2 =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: floor_rounds.sh PROGRAM ROUNDS CASE=FLOOR [CASE=FLOOR ...]" >&2
  exit 2
fi
program=$1
rounds=$2
shift 2
pairs=("$@")
for pair in "${pairs[@]}"; do
  [[ $pair == *=* ]] || { echo "floor_rounds.sh: '$pair' is not CASE=FLOOR" >&2; exit 2; }
done

# One row: its CPU median in microseconds (each name matched whole).
median_us() {
  "$program" --benchmark_filter="^$1\$" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
    awk -F, '$1 ~ /_median"?$/ {
      scale = ($5 ~ /ns/) ? 0.001 : ($5 ~ /ms/) ? 1000 : ($5 ~ /^"?s"?$/) ? 1e6 : 1
      printf "%.3f\n", $4 * scale; found = 1 }
      END { if (!found) exit 1 }'
}

results=$(mktemp)
trap 'rm -f "$results"' EXIT
for ((round = 1; round <= rounds; ++round)); do
  for pair in "${pairs[@]}"; do
    row=${pair%%=*}
    floor=${pair#*=}
    a=$(median_us "$row") || { echo "floor_rounds.sh: no row $row" >&2; exit 1; }
    b=$(median_us "$floor") || { echo "floor_rounds.sh: no row $floor" >&2; exit 1; }
    echo "$round $row $floor $a $b" >>"$results"
    awk -v r="$round" -v n="$row" -v a="$a" -v b="$b" \
      'BEGIN { printf "round %d  %-28s %10.1f us  floor %10.1f us  %.2fx\n", r, n, a, b, a / b }'
  done
done

# Per pair: medians of the case, of the floor and of the ratios, and the ratios' range.
awk '
  function median(list, count,    i, j, t) {
    for (i = 2; i <= count; ++i)
      for (j = i; j > 1 && list[j - 1] > list[j]; --j) { t = list[j]; list[j] = list[j - 1]; list[j - 1] = t }
    return count % 2 ? list[(count + 1) / 2] : (list[count / 2] + list[count / 2 + 1]) / 2
  }
  {
    key = $2 "=" $3
    if (!(key in count)) order[++pairs] = key
    k = ++count[key]
    row[key, k] = $4; floor[key, k] = $5; ratio[key, k] = $4 / $5
  }
  END {
    for (p = 1; p <= pairs; ++p) {
      key = order[p]; n = count[key]; lo = hi = ratio[key, 1]
      for (i = 1; i <= n; ++i) {
        a[i] = row[key, i]; b[i] = floor[key, i]; c[i] = ratio[key, i]
        if (c[i] < lo) lo = c[i]
        if (c[i] > hi) hi = c[i]
      }
      split(key, names, "=")
      printf "%s: median %.1f us, floor median %.1f us; ratio median %.2fx, range %.2f-%.2fx over %d rounds\n",
        names[1], median(a, n), median(b, n), median(c, n), lo, hi, n
    }
  }' "$results"
