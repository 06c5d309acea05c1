#!/usr/bin/env bash
# The main job: builds the control library and quillon-host, registers the library in a
# private 32-bit Wine prefix, starts the stand-in cache server on that prefix's cache file,
# and opens a display of live controls in run mode on a virtual screen. After about 15 s it
# writes a screenshot and prints the controls' value properties twice. Everything it starts,
# it stops. Usage: scripts/main.sh [--keep SECONDS]  (keeps the display open that long)
# The terminal view of the same controls: build/release/tools/quillon/quillon demo.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
first_print=15
second_print=25.5
quit_after=27
[ "${1:-}" = "--keep" ] && quit_after=${2:?}

scripts/setup.sh
jobs=$(nproc)
echo "main: building the library, quillon-host and quillon"
cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs" --target quillon >build-release.log 2>&1 ||
  { tail -30 build-release.log; exit 1; }
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target quillon_ocx quillon-host >build-win32.log 2>&1 ||
  { tail -30 build-win32.log; exit 1; }
rm -f build-release.log build-win32.log

work=$root/build/main
export WINEPREFIX=$work/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
mkdir -p "$work"
bash scripts/wine-prefix.sh
timeout 60 wineserver -w || true

# The installation path in the registry, the library and the cache folder under it.
install_dir=$WINEPREFIX/drive_c/Quillon
cache=$install_dir/Serveur\ Quillon\ PD/cacheQuillonPD_V2.dat
mkdir -p "$(dirname "$cache")"
rm -f "$cache"
cp build/win32/src/package/HN_Quillon_PD.ocx "$install_dir/"
cp build/win32/tools/quillon-host/quillon-host.exe "$install_dir/"
run_wine() {  # wine with its output in $work/wine.log, which is shown on failure
  timeout 60 wine "$@" >"$work/wine.log" 2>&1 </dev/null || { cat "$work/wine.log"; return 1; }
}
run_wine reg add 'HKLM\SOFTWARE\Halvorn\Pondral' /v 'Chemin PD' /t REG_SZ /d 'C:\Quillon' /f
run_wine regsvr32 /s 'C:\Quillon\HN_Quillon_PD.ocx'
timeout 60 wineserver -w || true

server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  timeout 60 wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
build/release/tools/quillon/quillon serve --cache "$cache" >"$work/serve.log" 2>&1 &
server_pid=$!

cat >"$work/main.display" <<'DISPLAY'
# A furnace, a tank, a pump and a vessel, refreshed at different periods, each with its own
# pattern. The stand-in server simulates a sine, a ramp or a counter for each point.
[display]
title = "Synoptique de démonstration"
mode = run

[control Four]
class = HN_QuillonPD.QuillonPD
position = 8 8
strNTF = "NOEUD3:Four.Temperature"
udtPollTime = 90
strFormat = "0.0 °C"

[control Bac1]
class = HN_QuillonPD.QuillonPD
position = 301 8
strNTF = "NOEUD1:Bac1.Niveau"
udtPollTime = 85
strFormat = "0 %"

[control Pompe]
class = HN_QuillonPD.QuillonPD
position = 8 171
strNTF = "NOEUD2:Pompe.Demarrages"
udtPollTime = 70
strFormat = "0"

[control Cuve5]
class = HN_QuillonPD.QuillonPD
position = 301 171
strNTF = "NOEUD1:Cuve5.Temperature"
udtPollTime = 29
strFormat = "0.00 °C"
DISPLAY

shot=$work/main-display.png
props=Valeur,ValeurFormatee,Qualite,HorodatageDernLect
echo "main: display of four controls in run mode; screenshot and properties after ${first_print} s"
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" wine "C:\\Quillon\\quillon-host.exe" \
  --mode run --at "$first_print" "screenshot=Z:${shot//\//\\}" \
  --at "$first_print" "print=$props" --at "$second_print" "print=$props" \
  --quit-after "$quit_after" "Z:${work//\//\\}\\main.display" \
  >"$work/host.log" 2>"$work/host.err" </dev/null || { cat "$work/host.log" "$work/host.err"; exit 1; }
tr -d '\r' <"$work/host.log"
grep -v '^XIO:\|after [0-9]* requests\|^X connection' "$work/host.err" || true
echo "main: the server served $(grep -c '^served' "$work/serve.log" || true) passes"
echo "main: screenshot: $shot"
