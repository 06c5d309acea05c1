#!/usr/bin/env bash
# Registry reader and reachability probe against Wine's own registry and ICMP service.
# Values of each type are written with `wine reg add`, then read back by registre_probe.exe;
# quillon.exe doctor must find the installation path written the same way. Echo requests go
# to loopback addresses only. Usage: services_wine_test.sh BUILD_DIR PROBE_EXE QUILLON_EXE
set -u
build_dir=$1
probe=$2
quillon=$3
export WINEPREFIX=$build_dir/wineprefix
export WINEDEBUG=-all
overrides=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEDLLOVERRIDES=$overrides
work=$build_dir/services_wine
rm -rf "$work" && mkdir -p "$work"
if [ ! -d "$WINEPREFIX" ]; then
  timeout 120 wineboot -i >/dev/null 2>&1 </dev/null
fi

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

reg_add() {  # KEY NAME TYPE DATA
  run reg add "$1" /v "$2" /t "$3" /d "$4" /f || ko "reg add $1 $2 $3"
}

expect_read() {  # NAME EXPECTED [MACHINE] : reads HKLM\SOFTWARE\QuillonEssai\NAME
  run "$probe" HKLM 'SOFTWARE\QuillonEssai' "$1" ${3:+"$3"}
  local got
  got=$(head -n 1 "$work/out.txt")
  if [ "$got" = "$2" ]; then ok; else ko "read $1 ${3:-}: got '$got', want '$2'"; fi
}

expect_out() {  # TEXT DESCRIPTION : the last program's output holds TEXT
  if grep -qF -- "$1" "$work/out.txt"; then ok; else ko "$2: no '$1' in: $(cat "$work/out.txt")"; fi
}

key='HKLM\SOFTWARE\QuillonEssai'
reg_add "$key" Texte REG_SZ 'C:\Quillon PD'
reg_add "$key" Vide REG_SZ ''
reg_add "$key" Etendu REG_EXPAND_SZ '%SystemRoot%\pd'
reg_add "$key" Multi REG_MULTI_SZ 'a\0b'
reg_add "$key" Binaire REG_BINARY '0141e9'
reg_add "$key" Nombre REG_DWORD 4294967294
reg_add "$key" Gros REG_DWORD_BIG_ENDIAN 1
reg_add "$key" Rien REG_NONE ''
reg_add "$key" Quad REG_QWORD 7

expect_read Texte 'rc=0 text=C:\Quillon PD'
expect_read Vide 'rc=0 text='
expect_read Etendu 'rc=0 text=%SystemRoot%\pd'
expect_read Multi 'rc=0 text=a\0b\0'
expect_read Binaire 'rc=0 text=\x01Aé'
expect_read Nombre 'rc=0 int=-2'
expect_read Gros 'rc=-1 text=inchange'
expect_read Rien 'rc=-1 text=inchange'
expect_read Quad 'rc=-1 text=inchange'
expect_read Absente 'rc=2 text=inchange'
run "$probe" HKLM 'SOFTWARE\QuillonAbsente' Texte
expect_out 'rc=2 text=inchange' 'missing key'
# Another machine: the probe answers on loopback, then the remote connection is refused.
expect_read Texte 'rc=53 text=inchange' 127.0.0.1
expect_read Texte 'rc=1 text=inchange' serveur-pd

# The installation path, as a control finds it.
install='C:\QuillonEssai'
mkdir -p "$WINEPREFIX/drive_c/QuillonEssai/Serveur Quillon PD"
reg_add 'HKLM\SOFTWARE\Halvorn\Pondral' 'Chemin PD' REG_SZ "$install"
# doctor only reads: a missing cache file is reported, not created.
cache_file="$WINEPREFIX/drive_c/QuillonEssai/Serveur Quillon PD/cacheQuillonPD_V2.dat"
rm -f "$cache_file"  # the prefix outlives a run
run "$quillon" doctor || true
expect_out 'Cache file opens: no' 'doctor missing cache file'
if [ -e "$cache_file" ]; then ko 'doctor created the cache file'; else ok; fi
: >"$cache_file"
if run "$quillon" doctor --ping 127.0.0.1; then ok; else ko "doctor exit code $?"; fi
expect_out "Installation path: $install" 'doctor path'
expect_out 'Cache file opens: yes' 'doctor cache file'
expect_out 'Records: 0' 'doctor records'
expect_out 'Ping 127.0.0.1: reachable' 'doctor ping'

# Neither program imports the ICMP or sockets libraries: they are bound by name when used.
for exe in "$probe" "$quillon"; do
  if i686-w64-mingw32-objdump -p "$exe" | grep -qiE 'DLL Name: (icmp|wsock32)'; then
    ko "$exe imports icmp.dll or WSOCK32.DLL"
  else
    ok
  fi
done

# Without icmp.dll: only the echo steps fail; local reads and the program itself still work.
export WINEDLLOVERRIDES="$overrides;icmp="
run "$probe" --bind icmp.dll IcmpSendEcho
expect_out 'icmp.dll!IcmpSendEcho missing (126)' 'icmp.dll disabled'
expect_read Texte 'rc=0 text=C:\Quillon PD'
if run "$quillon" doctor --ping 127.0.0.1; then ok; else ko "doctor without icmp.dll"; fi
expect_out "Installation path: $install" 'doctor path without icmp.dll'
export WINEDLLOVERRIDES=$overrides
run "$probe" --bind icmp.dll IcmpSendEcho
expect_out 'icmp.dll!IcmpSendEcho found' 'icmp.dll present'

run reg delete "$key" /f
run reg delete 'HKLM\SOFTWARE\Halvorn' /f
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
