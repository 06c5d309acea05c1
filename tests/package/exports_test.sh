#!/usr/bin/env bash
# The library's export and import tables as objdump shows them: the four entry points at
# ordinals 1 to 4 under their plain names, and imports from Windows' own DLLs only (no
# MinGW runtime DLL; the ICMP and sockets libraries are bound by name when used).
# Usage: exports_test.sh OBJDUMP LIBRARY
set -u
objdump=$1
library=$2
table=$(mktemp)
trap 'rm -f "$table"' EXIT
"$objdump" -p "$library" >"$table" || { echo "objdump failed"; exit 1; }

passed=0
failed=0
ok() { passed=$((passed + 1)); }
ko() { failed=$((failed + 1)); echo "FAILED: $*"; }

grep -qE '^Name[[:space:]]+[0-9a-f]+ HN_Quillon_PD\.ocx$' "$table" && ok || ko "export name"
grep -qE '^Ordinal Base[[:space:]]+1$' "$table" && ok || ko "ordinal base 1"
grep -qE '^[[:space:]]+Export Address Table[[:space:]]+0*4$' "$table" && ok || ko "four exports"
names=(DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
for i in 0 1 2 3; do
  # "[Ordinal/Name Pointer] Table" lines: [ordinal - base] name
  if grep -qE "^[[:space:]]+\[[[:space:]]*$i\] ${names[$i]}\$" "$table"; then
    ok
  else
    ko "${names[$i]} at ordinal $((i + 1))"
  fi
done

allowed=' kernel32.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll msvcrt.dll '
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$table" | tr 'A-Z' 'a-z')
[ -n "$imports" ] && ok || ko "no import table"
for dll in $imports; do
  case "$allowed" in
    *" $dll "*) ok ;;
    *) ko "imports $dll" ;;
  esac
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
