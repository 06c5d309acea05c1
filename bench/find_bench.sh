#!/usr/bin/env bash
# `quillon find` for a point that is in no record, as a whole process, against a minimal C
# program that reads the file in 64 KiB blocks and compares each record's reference; files of
# 100,000 and 1,000,000 records written record by record, in the page cache. Reports times
# (hyperfine when installed, else the best of 20 runs under /usr/bin/time) and peak memory.
# Usage: bench/find_bench.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
build=${1:-build/release}
quillon=$build/tools/quillon/quillon
baseline=$build/bench/find_baseline
writer=$build/bench/write_records
dir=$(mktemp -d /tmp/quillon-find-bench-XXXXXX)
trap 'rm -rf "$dir"' EXIT

for records in 100000 1000000; do
  file=$dir/cache-$records.dat
  "$writer" "$file" "$records"
  cat "$file" >/dev/null
  echo "== $records records ($(stat -c %s "$file") bytes)"
  if command -v hyperfine >/dev/null; then
    hyperfine -N --warmup 5 --min-runs 30 -i \
      "$quillon find --cache $file ABSENT:POINT.PV" "$baseline $file ABSENT:POINT.PV"
  else
    for program in "$quillon find --cache" "$baseline"; do
      best=
      for _ in $(seq 20); do
        /usr/bin/time -f %e -o "$dir/time" $program "$file" ABSENT:POINT.PV >/dev/null 2>&1 || true
        t=$(tail -1 "$dir/time")
        best=$(printf '%s\n%s\n' "$t" "${best:-$t}" | sort -g | head -1)
      done
      echo "$program: best of 20 $best s"
    done
  fi
  for program in "$quillon find --cache" "$baseline"; do
    /usr/bin/time -f %M -o "$dir/rss" $program "$file" ABSENT:POINT.PV >/dev/null 2>&1 || true
    echo "peak memory ${program%% *}: $(tail -1 "$dir/rss") KiB"
  done
done
