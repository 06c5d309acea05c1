#!/usr/bin/env bash
# quillon-host as a user runs it: a display file with the control library registered, run
# and design mode from the command line, properties printed by name, a screenshot, the display
# saved back, and bad input refused with a one-line error.
# Usage: quillon_host_test.sh BUILD_DIR QUILLON_HOST_EXE OCX
set -u
build_dir=$1
host=$2
ocx=$3
here=$(dirname "$0")
work=$build_dir/quillon_host_test
rm -rf "$work" && mkdir -p "$work"
export WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all WINEARCH=${WINEARCH:-win32}
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
timeout 60 wine regsvr32 /s /u "$(winpath "$ocx")" >/dev/null 2>&1 </dev/null
timeout 60 wineserver -w
echo "quillon-host: $failed failed"
[ $failed -eq 0 ]
