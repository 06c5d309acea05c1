#!/usr/bin/env bash
# Runs a Windows program that opens windows: under Wine, on a virtual X display of its own.
# Wine's server is left to stop before and after, so that no Wine process started without a
# display serves this one. Usage: [QUILLON_DPI=144] run_windowed.sh BUILD_DIR PROGRAM [ARGS...]
set -u
build_dir=$1
shift
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEARCH=${WINEARCH:-win32}
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
bash "$(dirname "$0")/../../scripts/wine-prefix.sh"
# QUILLON_DPI: the screen's dots per inch for this run only (Wine's LogPixels setting).
dpi_key='HKCU\Control Panel\Desktop'
if [ -n "${QUILLON_DPI:-}" ]; then
  timeout 60 wine reg add "$dpi_key" /v LogPixels /t REG_DWORD /d "$QUILLON_DPI" /f \
    >/dev/null 2>&1 </dev/null
fi
timeout 60 wineserver -w
out=$(mktemp)
timeout "${QUILLON_WINE_TIMEOUT:-600}" xvfb-run -a -s "-screen 0 1024x768x24" \
  wine "$@" >"$out" 2>&1 </dev/null
rc=$?
timeout 60 wineserver -w
if [ -n "${QUILLON_DPI:-}" ]; then
  timeout 60 wine reg delete "$dpi_key" /v LogPixels /f >/dev/null 2>&1 </dev/null
  timeout 60 wineserver -w
fi
grep -v '^XIO:\|after [0-9]* requests\|^X connection to' "$out"
rm -f "$out"
exit $rc
