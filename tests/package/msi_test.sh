#!/usr/bin/env bash
# The Windows Installer packages of scripts/package.sh, installed and removed silently as a
# deployment tool does it:
# - the x86 package in a 32-bit prefix;
# - in a 64-bit prefix: the x86 package, then the x64 package of the same version over it, a
#   newer x64 package over that, an older one refused, and the removal.
# After each install the files are in place, the registration is what regsvr32 writes and
# script clients create the control; after the removal no file and no entry remains.
# In each prefix, two removals a plant meets: after the libraries were deleted (nothing is
# left), and while quillon-host holds the 32-bit library (the removal asks for a restart, and
# after the restart nothing is left).
# Beside regsvr32 (64-bit prefix): unregistering one library of the installed x64 package
# leaves the other working, and removing the x86 package leaves a 64-bit library registered by
# hand working.
# The two prefixes are independent: one run takes one of them (WINDOWS_BITS 32 or 64).
# Usage: msi_test.sh SOURCE_DIR BUILD_DIR SCRIPT WINDOWS_BITS
set -u
source_dir=$1
build_dir=$2
script=$3
windows_bits=${4:-}
case $windows_bits in
  32 | 64) ;;
  *) echo "usage: msi_test.sh SOURCE_DIR BUILD_DIR SCRIPT 32|64" >&2; exit 2 ;;
esac
for file in build/win32/src/package/HN_Quillon_PD.ocx build/win32/tools/quillon/quillon.exe \
  build/win32/tools/quillon-host/quillon-host.exe build/win64/src/package/HN_Quillon_PD.ocx; do
  if [ ! -f "$source_dir/$file" ]; then
    echo "no $file (build the win32 and win64 presets first)"
    exit 77
  fi
done
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
work=$build_dir/msi_test$windows_bits
rm -rf "$work" && mkdir -p "$work"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
vbs=$(windows_path "$script")
clsid='{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}'
# The property page "Point", a class of the same library.
page_clsid='{6BBED569-77E8-42EC-BFD1-B79B46F93B38}'
libid='{076EC573-D004-4E9F-9111-D0C8833C584B}'
server="HKCR\\CLSID\\$clsid\\InprocServer32"
progid='HKCR\HN_QuillonPD.QuillonPD'
typelib="HKCR\\TypeLib\\$libid"
interfaces=('HKCR\Interface\{2F9FF0C5-C161-4B69-AD18-C784EAFD6F05}'
  'HKCR\Interface\{1B17CAE1-7744-4E00-B9C3-AAB6EDD54506}')
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
folder='Halvorn\Quillon PD'

passed=0
failed=0
ok() { passed=$((passed + 1)); }
ko() { failed=$((failed + 1)); echo "FAILED: $*"; }
check() {  # DESCRIPTION COMMAND... : passes when the command succeeds
  local what=$1
  shift
  if "$@"; then ok; else ko "$what"; fi
}

# The packages: this version and the next one.
for version in 4.0.0 4.0.1; do
  "$source_dir/scripts/package.sh" --no-build --version "$version" --out "$work/dist" \
    >"$work/package-$version.log" 2>&1 || { cat "$work/package-$version.log"; exit 1; }
done
msi() { windows_path "$work/dist/quillon-$1-$2.msi"; }  # VERSION ARCH
product_code() {  # VERSION ARCH
  msiinfo export "$work/dist/quillon-$1-$2.msi" Property | tr -d '\r' |
    sed -n 's/^ProductCode\t//p'
}

# Runs a program under Wine; its output lands in $work/out.txt without carriage returns.
run() {  # LOADER PROGRAM [ARGS...]
  timeout 120 "$@" >"$work/raw.txt" 2>"$work/err.txt" </dev/null
  local rc=$?
  tr -d '\r' <"$work/raw.txt" >"$work/out.txt"
  return $rc
}
reg() { run wine reg "$@"; }
key_in_view() { reg query "$2" "/reg:$1"; }  # VIEW KEY
msiexec() {  # ACTION VERSION ARCH : silent install (/i) or removal (/x) with a log
  run "$wine_tools" msiexec "$1" "$(msi "$2" "$3")" /qn /l*v \
    "$(windows_path "$work/msiexec-$step.log")"
}
step=0

# A prefix that holds nothing of this product: made on first use, and made again when an
# earlier run left something behind.
fresh_prefix() {  # DIR WINEARCH
  export WINEPREFIX=$1 WINEARCH=$2
  wine_tools=wine
  [ "$2" = win64 ] && wine_tools=/usr/lib/wine/wine64
  if [ -d "$WINEPREFIX" ] && { [ -e "$WINEPREFIX/drive_c/Program Files/Halvorn" ] ||
    [ -e "$WINEPREFIX/drive_c/Program Files (x86)/Halvorn" ] || key_in_view 32 "$progid"; }; then
    timeout 60 wineserver -k >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -d "$WINEPREFIX" ]; then
    timeout 180 wineboot -i >/dev/null 2>&1 </dev/null
  fi
}

expect_files() {  # DIR BUILD [library] : the files from build folder BUILD, or its library only
  local dir=$WINEPREFIX/drive_c/$1/${folder//\\//}
  check "$1: library" cmp -s "$dir/HN_Quillon_PD.ocx" \
    "$source_dir/build/$2/src/package/HN_Quillon_PD.ocx"
  [ "${3:-}" = library ] && return
  check "$1: tool" cmp -s "$dir/quillon.exe" "$source_dir/build/$2/tools/quillon/quillon.exe"
  check "$1: cache file description" cmp -s "$dir/cache-file.md" "$source_dir/docs/cache-file.md"
}

expect_server() {  # VIEW PATH : the class is served by PATH in that registry view
  reg query "$server" /ve "/reg:$1"
  if grep -qxF -- "    (Default)    REG_SZ    $2" "$work/out.txt"; then
    ok
  else
    ko "view $1: server want '$2', got: $(grep REG_ "$work/out.txt")"
  fi
}

# The registry views to look at, and the keys registration writes in each: the class key is
# one per view, as the page's class key; the ProgID, the type library and the interfaces are
# shared by both views.
views() { if [ "$WINEARCH" = win32 ]; then echo 32; else echo 32 64; fi; }
registered_keys() {  # VIEW
  echo "HKCR\\CLSID\\$clsid"
  echo "HKCR\\CLSID\\$page_clsid"
  [ "$1" = 32 ] && printf '%s\n' "$progid" "$typelib" "${interfaces[@]}"
}

# Every key and value registration writes.
snapshot() {  # FILE
  local view key
  : >"$1"
  for view in $(views); do
    while read -r key; do
      reg query "$key" /s "/reg:$view"
      cat "$work/out.txt" >>"$1"
    done < <(registered_keys "$view")
  done
}

# What the installer registered equals what regsvr32 writes for the installed libraries.
expect_as_regsvr32() {  # DESCRIPTION LIBRARY_PATH...
  local what=$1 library
  shift
  snapshot "$work/installed.txt"
  for library in "$@"; do run wine regsvr32 /s /u "$library"; done
  for library in "$@"; do run wine regsvr32 /s "$library"; done
  snapshot "$work/regsvr32.txt"
  if grep -q "$clsid" "$work/installed.txt" && cmp -s "$work/installed.txt" "$work/regsvr32.txt"
  then
    ok
  else
    ko "$what: registration differs from regsvr32's: $(diff "$work/installed.txt" \
      "$work/regsvr32.txt" | head -20)"
  fi
}

client() {  # BITS present|absent
  if [ "$1" = 64 ]; then
    run /usr/lib/wine/wine64 cscript //nologo "$vbs" "$2" AMD64
  elif [ "$WINEARCH" = win64 ]; then
    run wine 'C:\windows\syswow64\cscript.exe' //nologo "$vbs" "$2" x86
  else
    run wine cscript //nologo "$vbs" "$2" x86
  fi
  if grep -qE '^[0-9]+ passed, 0 failed$' "$work/out.txt"; then
    ok
  else
    ko "$1-bit client ($2): $(cat "$work/out.txt")"
  fi
}

installed() {  # VERSION ARCH : whether Windows Installer lists that package as installed
  local code
  code=$(product_code "$1" "$2")
  key_in_view 64 "$uninstall\\$code" || key_in_view 32 "$uninstall\\$code"
}

expect_install() {  # VERSION ARCH
  step=$((step + 1))
  if msiexec /i "$1" "$2"; then ok; else ko "install $1 $2: exit code $?"; fi
  check "$1 $2 listed as installed" installed "$1" "$2"
}

expect_nothing_left() {  # DESCRIPTION
  local view key dir
  for dir in "Program Files/Halvorn" "Program Files (x86)/Halvorn"; do
    [ -e "$WINEPREFIX/drive_c/$dir" ] && ko "$1: $dir left behind" || ok
  done
  for view in $(views); do
    while read -r key; do
      key_in_view "$view" "$key" && ko "$1: $key left behind in view $view" || ok
    done < <(registered_keys "$view")
  done
}

# The removal of a package whose libraries were deleted by hand first.
expect_removal_without_libraries() {  # VERSION ARCH LIBRARY_PATH...
  local version=$1 arch=$2 library
  shift 2
  expect_install "$version" "$arch"
  for library in "$@"; do
    library=${library#C:\\}
    rm -f "$WINEPREFIX/drive_c/${library//\\//}"
  done
  step=$((step + 1))
  if msiexec /x "$version" "$arch"; then ok; else ko "remove $arch without libraries: exit $?"; fi
  expect_nothing_left "$arch package removed after its libraries were deleted"
}

# quillon-host showing one control, on a display of its own, until stop_host.
host_exe=$source_dir/build/win32/tools/quillon-host/quillon-host.exe
start_host() {
  printf '[display]\ntitle = "Essai"\n\n[control A]\nclass = HN_QuillonPD.QuillonPD\n' \
    >"$work/host.display"
  timeout 60 wineserver -w
  rm -f "$work/host.txt"
  xvfb-run -a -s "-screen 0 1024x768x24" timeout 600 wine "$host_exe" --at 1 print=Qualite \
    "$(windows_path "$work/host.display")" >"$work/host.txt" 2>&1 </dev/null &
  host_runner=$!
  local waited=0
  until grep -q '^ *A: ' "$work/host.txt" 2>/dev/null || [ $waited -ge 240 ]; do
    sleep 1
    waited=$((waited + 1))
  done
  grep -q '^ *A: ' "$work/host.txt" ||
    ko "quillon-host shows no control after ${waited} s: $(cat "$work/host.txt")"
}
stop_host() {
  local host_timeout
  host_timeout=$(pgrep -P "$host_runner" -x timeout)
  [ -n "$host_timeout" ] && kill "$host_timeout"
  wait "$host_runner"
  timeout 60 wineserver -w
}

pending_removals() {
  reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations
}

# The removal while quillon-host holds the 32-bit library: what the removal can take goes,
# the library and its folders go at the next restart, and msiexec says a restart is needed.
expect_removal_in_use() {  # VERSION ARCH LIBRARY32_PATH
  expect_install "$1" "$2"
  start_host
  step=$((step + 1))
  msiexec /x "$1" "$2"
  local rc=$?
  # 3010 (ERROR_SUCCESS_REBOOT_REQUIRED) reaches the shell cut to 8 bits: 194.
  [ $rc -eq 194 ] && ok || ko "remove $2 while in use: exit $rc, not 3010 (restart needed)"
  check "$2 in use: no longer listed" eval "! installed $1 $2"
  local view key
  for view in $(views); do
    while read -r key; do
      key_in_view "$view" "$key" && ko "$2 in use: $key left behind in view $view" || ok
    done < <(registered_keys "$view")
  done
  pending_removals
  grep -qiF "${3}" "$work/out.txt" && ok ||
    ko "$2 in use: library not removed at restart: $(cat "$work/out.txt")"
  stop_host
  timeout 120 wineboot -r >/dev/null 2>&1 </dev/null
  timeout 60 wineserver -w
  expect_nothing_left "$2 package removed in use, after a restart"
}

if [ "$windows_bits" = 32 ]; then
# --- The x86 package on 32-bit Windows ---------------------------------------------------
fresh_prefix "$build_dir/msi32" win32
path32="C:\\Program Files\\$folder\\HN_Quillon_PD.ocx"
expect_install 4.0.0 x86
expect_files "Program Files" win32
expect_server 32 "$path32"
expect_as_regsvr32 "x86 package" "$path32"
client 32 present
step=$((step + 1))
if msiexec /x 4.0.0 x86; then ok; else ko "remove x86: exit code $?"; fi
check "x86 no longer listed" eval '! installed 4.0.0 x86'
expect_nothing_left "x86 package removed"
expect_removal_without_libraries 4.0.0 x86 "$path32"
expect_removal_in_use 4.0.0 x86 "$path32"
timeout 60 wineserver -w
fi

if [ "$windows_bits" = 64 ]; then
# --- 64-bit Windows ----------------------------------------------------------------------
fresh_prefix "$build_dir/msi64" win64
path32="C:\\Program Files (x86)\\$folder\\HN_Quillon_PD.ocx"
path64="C:\\Program Files\\$folder\\HN_Quillon_PD.ocx"
# The x86 package serves 32-bit hosts only.
expect_install 4.0.0 x86
expect_files "Program Files (x86)" win32
expect_server 32 "$path32"
check "x86 package: no 64-bit class" eval '! key_in_view 64 "$server"'
client 32 present
client 64 absent
# The x64 package of the same version replaces it and serves both.
expect_install 4.0.0 x64
check "x86 package replaced" eval '! installed 4.0.0 x86'
expect_files "Program Files" win64
expect_files "Program Files (x86)" win32 library
expect_server 64 "$path64"
expect_server 32 "$path32"
expect_as_regsvr32 "x64 package" "$path64" "$path32"
client 64 present
client 32 present
# regsvr32 beside the package: unregistering one library leaves the other working.
run wine regsvr32 /s /u "$path32"
client 64 present
client 32 absent
run wine regsvr32 /s "$path32"
client 32 present
# A newer version replaces it in place; an older one is refused.
expect_install 4.0.1 x64
check "4.0.0 replaced by 4.0.1" eval '! installed 4.0.0 x64'
expect_server 64 "$path64"
expect_server 32 "$path32"
client 64 present
step=$((step + 1))
if msiexec /i 4.0.0 x64; then ko "older package installed over a newer one"; else ok; fi
check "4.0.1 still installed" installed 4.0.1 x64
step=$((step + 1))
if msiexec /x 4.0.1 x64; then ok; else ko "remove x64: exit code $?"; fi
check "x64 no longer listed" eval '! installed 4.0.1 x64'
expect_nothing_left "x64 package removed"
expect_removal_without_libraries 4.0.1 x64 "$path64" "$path32"
expect_removal_in_use 4.0.1 x64 "$path32"
# The x86 package beside a 64-bit library registered by hand: its removal leaves that one
# working (the ProgID and the type library are the 64-bit one's too), and nothing remains once
# that one is unregistered too.
expect_install 4.0.0 x86
hand64=$(windows_path "$source_dir/build/win64/src/package/HN_Quillon_PD.ocx")
run wine regsvr32 /s "$hand64"
client 64 present
step=$((step + 1))
if msiexec /x 4.0.0 x86; then ok; else ko "remove x86 beside a 64-bit library: exit code $?"; fi
expect_as_regsvr32 "64-bit library after the x86 package's removal" "$hand64"
client 64 present
client 32 absent
run wine regsvr32 /s /u "$hand64"
expect_nothing_left "x86 package removed, 64-bit library unregistered"
timeout 60 wineserver -w
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
