#!/usr/bin/env bash
# Runs a VBScript client of the control under Wine: registers the library, runs the script
# with cscript, unregisters. Wine's cscript exits 0 even when a script fails to run, so the
# script's own closing line "N passed, 0 failed" is required.
# Usage: run_script.sh <library> <script>
set -u
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../cmake/wine-run.sh
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
library=$(windows_path "$1")
script=$(windows_path "$2")
out=$(mktemp)
trap 'rm -f "$out"' EXIT

"$wine_run" regsvr32 /s "$library" || { echo "regsvr32 failed"; exit 1; }
QUILLON_WINE_TIMEOUT=120 "$wine_run" cscript //nologo "$script" >"$out"
rc=$?
"$wine_run" regsvr32 /s /u "$library" || { echo "regsvr32 /u failed"; exit 1; }
cat "$out"
grep -Eq '^[0-9]+ passed, 0 failed' "$out" || { echo "the script did not pass"; exit 1; }
exit $rc
