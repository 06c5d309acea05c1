#!/usr/bin/env bash
# Builds everything and runs every test: natively with sanitizers, for Windows under Wine
# (32-bit and 64-bit), and a short fuzzing run. Usage: scripts/test.sh [--fuzz-seconds N]
# The Wine tests spend most of their time waiting on timers and windows, so the next build
# runs beside them, as the win32 build runs beside the native build and tests; a background
# build's output goes to a log that is shown when it fails.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=15
[ "${1:-}" = "--fuzz-seconds" ] && fuzz_seconds=${2:?}
jobs=$(nproc)
started=$SECONDS

scripts/setup.sh

step() { printf '\n=== %s (%d s)\n' "$*" $((SECONDS - started)); }

build() {  # PRESET [NICENESS]: configures and builds, all output in build/PRESET.log
  mkdir -p build
  { cmake --preset "$1" && nice -n "${2:-0}" cmake --build --preset "$1" -j"$jobs"; } \
    >"build/$1.log" 2>&1 ||
    { tail -60 "build/$1.log"; echo "build of $1 failed" >&2; return 1; }
}

# Starts a build in the background; `finish PRESET` waits for it. It yields the cores to the
# tests beside it: the Wine tests time their controls' one-second ticks.
declare -A pending
start() { build "$1" 10 & pending[$1]=$!; }
finish() { wait "${pending[$1]}" || exit 1; }

# Runs a Windows preset's tests under Wine in the preset's own prefixes, made with the given
# architecture: win32 for the 32-bit build, win64 (WoW64) for the 64-bit one. Most of these
# tests wait on Wine and on timers, so more of them run at once than there are cores.
wine_tests() {  # PRESET WINEARCH
  (
    export WINEPREFIX=$PWD/build/$1/wineprefix WINEDEBUG=-all WINEARCH=$2
    bash scripts/wine-prefix.sh
    status=0
    ctest --preset "$1" -j$((jobs + 3)) || status=$?
    timeout 60 wineserver -w || true
    exit $status
  )
}

# One fuzzer per core at a time, yielding the cores to the tests beside them.
fuzz_one() {  # FUZZER
  local name corpus seeds
  name=$(basename "$1")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=fuzz/corpus/${name%_fuzz}
  [ -d "$seeds" ] || seeds=
  nice -n 10 "$1" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=0 "$corpus" $seeds >build/fuzz/$name.log 2>&1 ||
    { tail -40 build/fuzz/$name.log; echo "fuzz: $name failed"; return 1; }
  echo "fuzz: $name ok ($(grep -c . build/fuzz/$name.log) log lines)"
}
fuzz_build_and_run() {
  build fuzz 10 || return 1
  local fuzzers=(build/fuzz/fuzz/*_fuzz) running pid i fuzzer
  for ((i = 0; i < ${#fuzzers[@]}; i += jobs)); do
    running=()
    for fuzzer in "${fuzzers[@]:i:jobs}"; do
      fuzz_one "$fuzzer" & running+=($!)
    done
    for pid in "${running[@]}"; do wait "$pid" || return 1; done
  done
}

# The win32 build starts beside the native one, and fills the cores the native tests leave.
start win32
step "native build and tests (AddressSanitizer, UBSan; win32 building beside them)"
build native
ctest --preset native -j"$jobs"

step "win32 build"
finish win32
start win64
step "win32 tests under 32-bit Wine (win64 building beside them)"
wine_tests win32 win32

step "win64 build"
finish win64
# The fuzz targets build, and then fuzz, beside the win64 tests, yielding the cores to them.
fuzz_build_and_run &
fuzzing=$!
step "win64 tests under 64-bit Wine (fuzz targets building and running beside them)"
wine_tests win64 win64

step "fuzzing (${fuzz_seconds} s per target) to its end"
wait "$fuzzing" || exit 1

step "all tests passed"
