#!/usr/bin/env bash
# Builds everything and runs every test: natively with sanitizers, for Windows under Wine,
# and a short fuzzing run. Usage: scripts/test.sh [--fuzz-seconds N]
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=20
[ "${1:-}" = "--fuzz-seconds" ] && fuzz_seconds=${2:?}
jobs=$(nproc)

scripts/setup.sh

step() { printf '\n=== %s\n' "$*"; }

step "native build and tests (AddressSanitizer, UBSan)"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

step "win32 build and tests under Wine"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs"
export WINEPREFIX=$PWD/build/win32/wineprefix WINEDEBUG=-all WINEARCH=win32
if [ ! -d "$WINEPREFIX" ]; then
  timeout 180 wineboot -i >/dev/null 2>&1 </dev/null || true
fi
ctest --preset win32
timeout 60 wineserver -w || true

step "fuzzing, ${fuzz_seconds} s per target"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
for fuzzer in build/fuzz/fuzz/*_fuzz; do
  name=$(basename "$fuzzer")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=fuzz/corpus/${name%_fuzz}
  [ -d "$seeds" ] || seeds=
  "$fuzzer" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=0 "$corpus" $seeds >build/fuzz/$name.log 2>&1 ||
    { tail -40 build/fuzz/$name.log; echo "fuzz: $name failed"; exit 1; }
  echo "fuzz: $name ok ($(grep -c . build/fuzz/$name.log) log lines)"
done

step "all tests passed"
