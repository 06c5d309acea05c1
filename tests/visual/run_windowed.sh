#!/usr/bin/env bash
# Runs a Windows program that opens windows: under Wine, on a virtual X display of its own.
# Wine's server is left to stop before and after, so that no Wine process started without a
# display serves this one. Usage: run_windowed.sh BUILD_DIR PROGRAM [ARGS...]
set -u
build_dir=$1
shift
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEARCH=${WINEARCH:-win32}
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
bash "$(dirname "$0")/../../scripts/wine-prefix.sh"
timeout 60 wineserver -w
out=$(mktemp)
timeout "${QUILLON_WINE_TIMEOUT:-600}" xvfb-run -a -s "-screen 0 1024x768x24" \
  wine "$@" >"$out" 2>&1 </dev/null
rc=$?
timeout 60 wineserver -w
grep -v '^XIO:\|after [0-9]* requests' "$out"
rm -f "$out"
exit $rc
