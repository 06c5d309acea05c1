#!/usr/bin/env bash
# quillon-host as a user runs it: a display file with the control library registered, run
# and design mode from the command line, properties printed by name, a screenshot, the display
# saved back, and bad input refused with a one-line error. Then the display edited in design
# mode (select, move by verb, arrow key and drag, add, delete, property frame, undo), saved, and
# reopened in run mode, where the editor leaves the controls alone.
# Usage: quillon_host_test.sh BUILD_DIR QUILLON_HOST_EXE OCX
set -u
build_dir=$1
host=$2
ocx=$3
here=$(dirname "$0")
work=$build_dir/quillon_host_test
rm -rf "$work" && mkdir -p "$work"
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix} WINEDEBUG=-all WINEARCH=${WINEARCH:-win32}
failed=0
ko() { failed=$((failed + 1)); echo "FAILED: $*"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

bash "$here/../../scripts/wine-prefix.sh"
timeout 60 wine regsvr32 /s "$(winpath "$ocx")" >/dev/null 2>&1 </dev/null || ko "regsvr32"
cat >"$work/essai.display" <<'DISPLAY'
[display]
title = "Essai"

[control A]
class = HN_QuillonPD.QuillonPD
position = 4 4
strNTF = "NOEUD1:Essai.Valeur"
udtPollTime = 85
strFormat = "0.0"

[control B]
class = HN_QuillonPD.QuillonPD
position = 300 4 200 100
DISPLAY
printf '[control A]\nposition = 1 2\n' >"$work/bad.display"

QUILLON_WINE_TIMEOUT=120 bash "$here/run_windowed.sh" "$build_dir" "$host" --mode design \
  --at 1 print=NTF,Frequence_Rafraichissement,Qualite --at 1.5 "screenshot=$(winpath "$work/shot.bmp")" \
  --at 2 run --at 2.5 "save=$(winpath "$work/saved.display")" --at 3 "hide=A" --quit-after 3.5 \
  "$(winpath "$work/essai.display")" >"$work/out.txt" 2>&1 || ko "quillon-host exited $?"
tr -d '\r' <"$work/out.txt" >"$work/out"
for want in 'A: NTF="NOEUD1:Essai.Valeur" Frequence_Rafraichissement="85" Qualite="0"' \
  'B: NTF="Noeud:Tag.Field" Frequence_Rafraichissement="29" Qualite="-2"' \
  'screenshot ' 'mode run' 'saved ' 'hide A (0x00000000)'; do
  grep -qF -- "$want" "$work/out" || ko "no '$want' in: $(cat "$work/out")"
done
[ "$(head -c 2 "$work/shot.bmp" 2>/dev/null)" = "BM" ] || ko "no BMP screenshot"
for want in 'mode = run' 'position = 4 4 285 155' 'position = 300 4 200 100' \
  'strNTF = "NOEUD1:Essai.Valeur"' 'udtPollTime = 85' 'strFormat = "0.0"' 'strNTF = ""' \
  'udtPollTime = 29'; do
  grep -qF -- "$want" "$work/saved.display" || ko "saved display lacks '$want'"
done
timeout 60 wine "$host" "$(winpath "$work/bad.display")" >"$work/bad.txt" 2>&1 </dev/null
rc=$?
[ $rc -eq 1 ] || ko "bad display file: exit $rc"
grep -q 'line 2: control "A" has no class' "$work/bad.txt" || ko "bad display file: $(cat "$work/bad.txt")"
timeout 60 wine "$host" --mode fast x >"$work/usage.txt" 2>&1 </dev/null
[ $? -eq 64 ] || ko "bad option accepted"

# Editing. A sits at 4 4 285 155 and B at 300 4 200 100 in a client area 508 wide.
QUILLON_WINE_TIMEOUT=120 bash "$here/run_windowed.sh" "$build_dir" "$host" --mode design \
  --at 1 select=A --at 1.2 move=A,10,20 --at 1.4 key=Right --at 1.6 drag=20,30,60,50 \
  --at 1.8 add --at 2 delete=B --at 2.2 key=Insert --at 2.4 properties=A --at 3.4 close-frame \
  --at 3.5 delete=QuillonPD2 --at 3.55 undo --at 3.6 move=A,5,5 --at 3.65 undo --at 3.7 add \
  --at 3.75 undo --at 3.8 undo --at 3.85 select=A \
  --at 4 "screenshot=$(winpath "$work/edited.png")" --at 4.2 "save=$(winpath "$work/edited.display")" \
  --quit-after 4.5 "$(winpath "$work/essai.display")" >"$work/edit.txt" 2>&1 || ko "editing: exit $?"
tr -d '\r' <"$work/edit.txt" >"$work/edit"
for want in 'selected A' 'moved A to 14 24' 'moved A to 15 24' 'moved A to 55 44' \
  'added QuillonPD1 at 8 207 285 155' 'deleted B' 'added QuillonPD2 at 8 370 285 155' \
  'properties A: ' 'undo: delete of QuillonPD2' 'moved A to 60 49' 'undo: move of A' \
  'added QuillonPD3 at 8 533 285 155' 'undo: add of QuillonPD3' 'deleted QuillonPD3' 'undo: nothing'; do
  grep -qxF -- "$want" "$work/edit" || grep -qF -- "$want" "$work/edit" ||
    ko "editing: no '$want' in: $(cat "$work/edit")"
done
# Without ISpecifyPropertyPages there is no frame; with it the frame opens and OK closes it.
if ! grep -qF 'properties A: no property pages (0x80004002)' "$work/edit"; then
  grep -q '^properties A: [1-9][0-9]* page(s) (0x00000000)$' "$work/edit" &&
    grep -q '^close-frame: .*A$' "$work/edit" || ko "property frame: $(grep 'properties\|frame' "$work/edit")"
fi
[ "$(head -c 4 "$work/edited.png" | tail -c 3)" = "PNG" ] || ko "no PNG screenshot of the edited display"
# The controls added below the first window's height are painted; a frame marks the selection.
pixel() { convert "$work/edited.png" -format "%[pixel:p{$1}]" info: 2>/dev/null; }
white='srgb(255,255,255)'
[ "$(pixel 150,290)" != "$white" ] || ko "QuillonPD1 not painted"
[ "$(pixel 150,447)" != "$white" ] || ko "QuillonPD2 not painted"
[ "$(pixel 52,94)" != "$white" ] && [ "$(pixel 5,94)" = "$white" ] || ko "no selection frame"
edited=$work/edited.display
for want in 'position = 55 44 285 155' 'strNTF = "NOEUD1:Essai.Valeur"' '[control QuillonPD1]' \
  'position = 8 207 285 155' '[control QuillonPD2]' 'position = 8 370 285 155'; do
  grep -qxF -- "$want" "$edited" || ko "edited display lacks '$want'"
done
grep -q '^\[control B\]' "$edited" && ko "edited display still has B"
[ "$(grep -c '^\[control ' "$edited")" = 3 ] || ko "edited display: $(grep '^\[control ' "$edited")"
# Undone: the move of A (back to 55 44, which the tail of the output shows last) and the delete.
[ "$(grep '^moved A' "$work/edit" | tail -1)" = 'moved A to 55 44' ] || ko "undo of the move"
QUILLON_WINE_TIMEOUT=120 bash "$here/run_windowed.sh" "$build_dir" "$host" --mode run \
  --at 1 print=NTF,Frequence_Rafraichissement --at 1.2 select=A --at 1.4 key=Insert \
  --at 1.6 drag=20,30,60,50 --at 2 "save=$(winpath "$work/reopened.display")" --quit-after 2.5 \
  "$(winpath "$edited")" >"$work/reopen.txt" 2>&1 || ko "reopened in run mode: exit $?"
tr -d '\r' <"$work/reopen.txt" >"$work/reopen"
for want in 'A: NTF="NOEUD1:Essai.Valeur" Frequence_Rafraichissement="85"' \
  'QuillonPD1: NTF="Noeud:Tag.Field" Frequence_Rafraichissement="29"' \
  'QuillonPD2: NTF="Noeud:Tag.Field"'; do
  grep -qF -- "$want" "$work/reopen" || ko "reopened: no '$want' in: $(cat "$work/reopen")"
done
# select is refused; the Insert key and the drag reach the controls, not the editor.
[ "$(grep -c 'controls are edited in design mode only' "$work/reopen")" = 1 ] ||
  ko "run mode: select=A not refused once: $(cat "$work/reopen")"
grep -q '^added \|^moved \|^selected \|^B:' "$work/reopen" && ko "run mode edited: $(cat "$work/reopen")"
grep -qxF 'position = 55 44 285 155' "$work/reopened.display" || ko "run mode moved A"
[ "$(grep -c '^\[control ' "$work/reopened.display")" = 3 ] || ko "run mode changed the controls"

timeout 60 wine regsvr32 /s /u "$(winpath "$ocx")" >/dev/null 2>&1 </dev/null
timeout 60 wineserver -w
echo "quillon-host: $failed failed"
[ $failed -eq 0 ]
