# Shared by the main job and the display benchmark (sourced, not run): builds the library and
# the hosts, prepares a private 32-bit Wine prefix with the library registered and the
# installation path in its registry, runs the stand-in server on that prefix's cache file,
# and runs quillon-host on a virtual screen. Callers set `work` (a folder under build/) first.

live_build() {
  local jobs
  jobs=$(nproc)
  cmake --preset release >/dev/null
  cmake --build --preset release -j"$jobs" --target quillon >"$work/build.log" 2>&1 ||
    { tail -30 "$work/build.log"; return 1; }
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j"$jobs" --target quillon_ocx quillon-host >"$work/build.log" 2>&1 ||
    { tail -30 "$work/build.log"; return 1; }
}

# Wine with its output in $work/wine.log, shown when it fails.
live_wine() {
  timeout 60 wine "$@" >"$work/wine.log" 2>&1 </dev/null || { cat "$work/wine.log"; return 1; }
}

# Sets `cache` to the cache file under the installation path C:\Quillon of the prefix. The
# library and quillon-host come from build/win32, or from the Windows build folder `live_from`.
live_prefix() {
  export WINEPREFIX=$work/wineprefix WINEARCH=win32 WINEDEBUG=-all
  export WINEDLLOVERRIDES=mscoree,mshtml=
  bash scripts/wine-prefix.sh
  timeout 60 wineserver -w || true
  local install_dir=$WINEPREFIX/drive_c/Quillon
  cache=$install_dir/Serveur\ Quillon\ PD/cacheQuillonPD_V2.dat
  mkdir -p "$(dirname "$cache")"
  rm -f "$cache"
  local from=${live_from:-build/win32}
  cp "$from/src/package/HN_Quillon_PD.ocx" "$from/tools/quillon-host/quillon-host.exe" \
    "$install_dir/"
  live_wine reg add 'HKLM\SOFTWARE\Halvorn\Pondral' /v 'Chemin PD' /t REG_SZ /d 'C:\Quillon' /f
  live_wine regsvr32 /s 'C:\Quillon\HN_Quillon_PD.ocx'
  timeout 60 wineserver -w || true
}

# Starts the stand-in server on $cache; live_stop stops it and every Wine process of the prefix.
live_server() {
  build/release/tools/quillon/quillon serve --cache "$cache" >"$work/serve.log" 2>&1 &
  server_pid=$!
}

live_stop() {
  if [ -n "${server_pid:-}" ]; then kill "$server_pid" 2>/dev/null || true; fi
  server_pid=
  if [ -n "${WINEPREFIX:-}" ]; then timeout 60 wineserver -k 2>/dev/null || true; fi
}

# A Unix path as Wine's Z: drive shows it.
live_winpath() { printf 'Z:%s' "${1//\//\\}"; }

# quillon-host on a virtual screen of SIZE (such as 1024x768) with the given arguments; its
# output lands in $work/host.log and $work/host.err.
live_host() {
  local size=$1
  shift
  timeout 600 xvfb-run -a -s "-screen 0 ${size}x24" wine 'C:\Quillon\quillon-host.exe' "$@" \
    >"$work/host.log" 2>"$work/host.err" </dev/null ||
    { cat "$work/host.log" "$work/host.err"; return 1; }
  tr -d '\r' <"$work/host.log"
  grep -v '^XIO:\|after [0-9]* requests\|^X connection' "$work/host.err" || true
}
