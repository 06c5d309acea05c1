#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest. Wine's background services must not inherit
# CTest's pipes, so the program's output goes to a file first and is copied out afterwards.
# Usage: wine-run.sh [--arch win32|win64] PROGRAM [ARGS...]
set -u
arch=
if [ "${1:-}" = "--arch" ]; then
  arch=$2
  shift 2
fi
build_dir=${QUILLON_BUILD_DIR:-$(pwd)}
while [ ! -f "$build_dir/CMakeCache.txt" ] && [ "$build_dir" != "/" ]; do
  build_dir=$(dirname "$build_dir")
done
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
# With wine64 installed a new prefix is 64-bit by default; the 32-bit tests keep a 32-bit one,
# the 64-bit build names its own.
export WINEARCH=${arch:-${WINEARCH:-win32}}
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -d "$WINEPREFIX" ]; then
  timeout 120 wineboot -i >/dev/null 2>&1 </dev/null
fi
# In a 64-bit prefix Wine's own programs (regsvr32, cscript, reg) run as 64-bit ones, as on
# 64-bit Windows: /usr/bin/wine would start their 32-bit versions.
loader=wine
if [ "$WINEARCH" = win64 ] && [ -x /usr/lib/wine/wine64 ]; then
  loader=/usr/lib/wine/wine64
fi
out=$(mktemp)
timeout "${QUILLON_WINE_TIMEOUT:-600}" "$loader" "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
