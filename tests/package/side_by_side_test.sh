#!/usr/bin/env bash
# The 32-bit and the 64-bit library side by side in a 64-bit prefix, as on 64-bit Windows:
# each registers in its own registry view (regsvr32 restarts itself in the library's
# bitness), a 64-bit and a 32-bit VBScript client each create the control through the one
# ProgID, and unregistering either library leaves the other one working. At the end nothing
# remains in either view.
# Usage: side_by_side_test.sh BUILD_DIR LIBRARY64 LIBRARY32 SCRIPT
set -u
build_dir=$1
library64=$2
library32=$3
script=$4
if [ ! -f "$library32" ]; then
  echo "no 32-bit library at $library32 (build the win32 preset first)"
  exit 77
fi
export WINEPREFIX=$build_dir/wineprefix
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
work=$build_dir/side_by_side
rm -rf "$work" && mkdir -p "$work"
if [ ! -d "$WINEPREFIX" ]; then
  timeout 180 wineboot -i >/dev/null 2>&1 </dev/null
fi
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
path64=$(windows_path "$library64")
path32=$(windows_path "$library32")
vbs=$(windows_path "$script")
clsid='{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}'
libid='{076EC573-D004-4E9F-9111-D0C8833C584B}'
server="HKCR\\CLSID\\$clsid\\InprocServer32"
progid='HKCR\HN_QuillonPD.QuillonPD'
typelib="HKCR\\TypeLib\\$libid"
interface='HKCR\Interface\{2F9FF0C5-C161-4B69-AD18-C784EAFD6F05}'

passed=0
failed=0
ok() { passed=$((passed + 1)); }
ko() { failed=$((failed + 1)); echo "FAILED: $*"; }

# Runs a program with the given loader; its output lands in $work/out.txt without carriage
# returns. /usr/bin/wine starts the 32-bit versions of Wine's own programs.
run_with() {  # LOADER PROGRAM [ARGS...]
  timeout 60 "$@" >"$work/raw.txt" 2>"$work/err.txt" </dev/null
  local rc=$?
  tr -d '\r' <"$work/raw.txt" >"$work/out.txt"
  return $rc
}
run() { run_with wine "$@"; }

regsvr() {  # ARGS... : regsvr32 restarts itself in the library's own bitness
  if run regsvr32 /s "$@"; then ok; else ko "regsvr32 $*: exit code $?"; fi
}

expect_value() {  # VIEW KEY VALUE : the default value of KEY in registry view 32 or 64
  run reg query "$2" /ve "/reg:$1"
  if grep -qxF -- "    (Default)    REG_SZ    $3" "$work/out.txt"; then
    ok
  else
    ko "$2 (view $1): want '$3', got: $(grep REG_ "$work/out.txt")"
  fi
}

expect_no_key() {  # VIEW KEY
  if run reg query "$2" "/reg:$1"; then ko "left behind in view $1: $2"; else ok; fi
}

client() {  # BITS present|absent : a VBScript client of that bitness
  local want
  if [ "$1" = 64 ]; then
    run_with /usr/lib/wine/wine64 cscript //nologo "$vbs" "$2" AMD64
  else
    run_with wine 'C:\windows\syswow64\cscript.exe' //nologo "$vbs" "$2" x86
  fi
  want=$(grep -cE '^[0-9]+ passed, 0 failed$' "$work/out.txt")
  if [ "$want" = 1 ]; then ok; else ko "$1-bit client ($2): $(cat "$work/out.txt")"; fi
}

run regsvr32 /u /s "$library64"
run regsvr32 /u /s "$library32"

# Both registered: each view names its own library; the ProgID and the type library key are
# shared, with one path per platform.
regsvr "$library64"
regsvr "$library32"
expect_value 64 "$server" "$path64"
expect_value 32 "$server" "$path32"
for view in 32 64; do
  expect_value "$view" "$progid\\CLSID" "$clsid"
  expect_value "$view" "$typelib\\7.1\\0\\win32" "$path32"
  expect_value "$view" "$typelib\\7.1\\0\\win64" "$path64"
done
client 64 present
client 32 present

# Without the 32-bit library the 64-bit client still works, and the other way round.
regsvr /u "$library32"
expect_no_key 32 "$server"
expect_no_key 64 "$typelib\\7.1\\0\\win32"
expect_value 64 "$progid\\CLSID" "$clsid"
client 64 present
client 32 absent
regsvr "$library32"
regsvr /u "$library64"
expect_no_key 64 "$server"
expect_no_key 64 "$typelib\\7.1\\0\\win64"
expect_value 32 "$progid\\CLSID" "$clsid"
client 32 present
client 64 absent

# The last one out removes everything.
regsvr /u "$library32"
for view in 32 64; do
  for key in "HKCR\\CLSID\\$clsid" "$progid" "$typelib" "$interface"; do
    expect_no_key "$view" "$key"
  done
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
