#!/usr/bin/env bash
# quillon.exe under Wine: its command line (version, help, one-line errors) and the cache
# commands on a small file and on a folder. Usage: tool_wine_test.sh BUILD_DIR QUILLON_EXE VERSION
set -u
build_dir=$1
quillon=$2
version=$3
export WINEPREFIX=$build_dir/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
work=$build_dir/tool_wine
rm -rf "$work" && mkdir -p "$work"
if [ ! -d "$WINEPREFIX" ]; then
  timeout 120 wineboot -i >/dev/null 2>&1 </dev/null
fi

passed=0
failed=0
ok() { passed=$((passed + 1)); }
ko() { failed=$((failed + 1)); echo "FAILED: $*"; }

# Runs quillon.exe; stdout lands in $work/out.txt, stderr in $work/err.txt (no carriage
# returns); the exit code in $code.
run() {
  timeout 60 wine "$quillon" "$@" >"$work/raw.txt" 2>"$work/rawerr.txt" </dev/null
  code=$?
  tr -d '\r' <"$work/raw.txt" >"$work/out.txt"
  tr -d '\r' <"$work/rawerr.txt" >"$work/err.txt"
}

expect() {  # CODE FILE TEXT DESCRIPTION: the last run exited CODE and FILE holds TEXT
  if [ "$code" = "$1" ] && grep -qF -- "$3" "$work/$2"; then
    ok
  else
    ko "$4: exit $code, $2: $(cat "$work/$2")"
  fi
}

run --version
expect 0 out.txt "quillon $version" 'version'
run help dump
expect 0 out.txt 'Usage: quillon dump [OPTIONS]' 'help dump'
expect 0 out.txt '--cache FILE' 'help dump options'
run find --help
expect 0 out.txt 'Usage: quillon find [OPTIONS] NTF' 'find --help'
run dump --cache
expect 2 err.txt 'quillon: --cache needs a value (see quillon dump --help)' 'missing value'
run frobnicate
expect 2 err.txt "quillon: unknown command 'frobnicate'" 'unknown command'
run format --locale en-US 0.00 12.5 -- -.5
expect 0 out.txt '-0.50' 'format after --'

# One record: state 2, reference A:B.C, refresh code 90, value 12.5.
python3 - "$work/c.dat" <<'PY'
import struct, sys
record = (struct.pack('<i', 2) + b'A:B.C'.ljust(60) + struct.pack('<ddi', 0, 0, 90)
          + b'12.5'.ljust(20) + b'12,5'.ljust(20) + bytes(20))
open(sys.argv[1], 'wb').write(record)
PY
run dump --tsv --cache "Z:$work/c.dat"
expect 0 out.txt "$(printf '1\t2\tA:B.C\t\t\t90\t12.5\t12,5')" 'dump --tsv'
run find --cache "Z:$work/c.dat" A:B.C
expect 0 out.txt "$(printf '1\t2\tA:B.C')" 'find'
run dump --cache "Z:$work"
expect 1 err.txt 'is a folder, not a file' 'folder refused'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
