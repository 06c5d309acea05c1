#!/usr/bin/env bash
# Registration as an installer does it: `regsvr32` twice, the entries read back with
# `wine reg query`, then `regsvr32 /u` twice. A 64-bit library registers in the 64-bit view
# of a 64-bit prefix.
# Usage: registration_wine_test.sh BUILD_DIR LIBRARY [win32|win64]
set -u
build_dir=$1
library=$2
platform=${3:-win32}
view=()
[ "$platform" = win64 ] && view=(/reg:64)
export WINEPREFIX=$build_dir/wineprefix
export WINEDEBUG=-all
export WINEARCH=$platform
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
work=$build_dir/package_registration
rm -rf "$work" && mkdir -p "$work"
if [ ! -d "$WINEPREFIX" ]; then
  timeout 120 wineboot -i >/dev/null 2>&1 </dev/null
fi
path="Z:${library//\//\\}"
clsid='{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}'
libid='{076EC573-D004-4E9F-9111-D0C8833C584B}'
class="HKCR\\CLSID\\$clsid"
progid='HKCR\HN_QuillonPD.QuillonPD'
# The property page "Point", a class of the same file.
page='HKCR\CLSID\{6BBED569-77E8-42EC-BFD1-B79B46F93B38}'
typelib="HKCR\\TypeLib\\$libid"
interfaces=('HKCR\Interface\{2F9FF0C5-C161-4B69-AD18-C784EAFD6F05}'
  'HKCR\Interface\{1B17CAE1-7744-4E00-B9C3-AAB6EDD54506}')

passed=0
failed=0
ok() { passed=$((passed + 1)); }
ko() { failed=$((failed + 1)); echo "FAILED: $*"; }

# Runs a Windows program; its output lands in $work/out.txt (carriage returns removed).
run() {
  timeout 60 wine "$@" >"$work/raw.txt" 2>"$work/err.txt" </dev/null
  local rc=$?
  tr -d '\r' <"$work/raw.txt" >"$work/out.txt"
  return $rc
}

expect_rc0() {  # DESCRIPTION COMMAND...
  local what=$1
  shift
  if run "$@"; then ok; else ko "$what: exit code $?"; fi
}

expect_value() {  # KEY NAME|"" VALUE : a REG_SZ value read back
  local label=${2:-(Default)}
  if [ -n "$2" ]; then
    run reg query "$1" /v "$2" "${view[@]}"
  else
    run reg query "$1" /ve "${view[@]}"
  fi
  if grep -qxF -- "    $label    REG_SZ    $3" "$work/out.txt"; then
    ok
  else
    ko "$1 $label: want '$3', got: $(grep REG_ "$work/out.txt")"
  fi
}

expect_key() {  # KEY
  if run reg query "$1" "${view[@]}"; then ok; else ko "missing $1"; fi
}

expect_no_key() {  # KEY
  if run reg query "$1" "${view[@]}"; then ko "left behind: $1"; else ok; fi
}

snapshot() {  # FILE : every key and value registration writes
  : >"$1"
  for key in "$class" "$progid" "$typelib" "${interfaces[@]}" "$page"; do
    run reg query "$key" /s "${view[@]}"
    cat "$work/out.txt" >>"$1"
  done
}

run regsvr32 /u /s "$library"
expect_rc0 'regsvr32' regsvr32 /s "$library"
snapshot "$work/first.txt"
expect_rc0 'regsvr32 again' regsvr32 /s "$library"
snapshot "$work/second.txt"
if cmp -s "$work/first.txt" "$work/second.txt"; then ok; else
  ko "registering twice changed the entries: $(diff "$work/first.txt" "$work/second.txt")"
fi

expect_value "$progid\\CLSID" '' "$clsid"
expect_value "$class\\InprocServer32" '' "$path"
expect_value "$class\\InprocServer32" ThreadingModel Apartment
expect_value "$class\\ProgID" '' 'HN_QuillonPD.QuillonPD'
expect_key "$class\\Control"
expect_value "$class\\MiscStatus" '' 131473
expect_value "$class\\MiscStatus\\1" '' 131473
expect_value "$class\\ToolboxBitmap32" '' "$path, 30000"
expect_value "$class\\TypeLib" '' "$libid"
expect_value "$class\\Version" '' 7.1
# A control and nothing more: no category claiming it safe for scripting or for initialising.
for catid in '{7DD95801-9882-11CF-9FA9-00AA006C42C4}' '{7DD95802-9882-11CF-9FA9-00AA006C42C4}'; do
  expect_no_key "$class\\Implemented Categories\\$catid"
done
expect_value "$typelib\\7.1" '' 'Halvorn Quillon PD'
expect_value "$typelib\\7.1\\0\\$platform" '' "$path"
for key in "${interfaces[@]}"; do expect_value "$key\\TypeLib" '' "$libid"; done
expect_value "$page" '' Point
expect_value "$page\\InprocServer32" '' "$path"
expect_value "$page\\InprocServer32" ThreadingModel Apartment

expect_rc0 'regsvr32 /u' regsvr32 /u /s "$library"
for key in "$class" "$progid" "$typelib" "${interfaces[@]}" "$page"; do expect_no_key "$key"; done
expect_rc0 'regsvr32 /u again' regsvr32 /u /s "$library"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
