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

# Builds a Windows preset and runs its tests under Wine in the preset's own prefix, made with
# the given architecture: win32 for the 32-bit build, win64 (WoW64) for the 64-bit one.
windows_tests() {  # PRESET WINEARCH
  local started=$SECONDS
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j"$jobs"
  (
    export WINEPREFIX=$PWD/build/$1/wineprefix WINEDEBUG=-all WINEARCH=$2
    if [ ! -d "$WINEPREFIX" ]; then
      timeout 180 wineboot -i >/dev/null 2>&1 </dev/null || true
    fi
    ctest --preset "$1"
    timeout 60 wineserver -w || true
  )
  echo "$1: $((SECONDS - started)) s"
}

step "win32 build and tests under 32-bit Wine"
windows_tests win32 win32

step "win64 build and tests under 64-bit Wine"
windows_tests win64 win64

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
