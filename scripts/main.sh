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
work=$root/build/main
mkdir -p "$work"
source scripts/live-display.sh
echo "main: building the library, quillon-host and quillon"
live_build
live_prefix
trap live_stop EXIT
live_server

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
live_host 1024x768 --mode run --at "$first_print" "screenshot=$(live_winpath "$shot")" \
  --at "$first_print" "print=$props" --at "$second_print" "print=$props" \
  --quit-after "$quit_after" "$(live_winpath "$work/main.display")"
echo "main: the server served $(grep -c '^served' "$work/serve.log" || true) passes"
echo "main: screenshot: $shot"
