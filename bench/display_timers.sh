#!/usr/bin/env bash
# A display of many live controls under Wine, this tree's library beside another build of it
# (an older one, say), taking turns in the same session: quillon-host with N controls in run
# mode on a virtual screen, the stand-in server filling the cache. Over the steady phase (the
# 30 s before the last 5) it sums from /proc the processor time of every process of the
# display: quillon-host, the other Wine processes of the prefix and the Wine server (the X
# server is shown apart). Memory per control: the host's used virtual memory ("stats") and
# resident set with N controls, against the same display with one control.
# Usage: bench/display_timers.sh OTHER_WIN32_BUILD_DIR [CONTROLS] [SECONDS] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
other=$(realpath "${1:?usage: display_timers.sh OTHER_WIN32_BUILD_DIR}")
controls=${2:-1000}
seconds=${3:-80}
rounds=${4:-2}
root=$PWD/build/bench-timers
mkdir -p "$root"
work=$root
source scripts/live-display.sh
live_build
trap live_stop EXIT

# One prefix per library, each with its library registered.
declare -A from=([this]=build/win32 [other]=$other)
for lib in this other; do
  work=$root/$lib
  mkdir -p "$work"
  live_from=${from[$lib]} live_prefix
done

display_file() {  # COUNT FILE: a grid of controls, 14 to a row, each on its own point
  local periods=(90 85 80 70 29 28) i
  {
    printf '[display]\ntitle = "%d controls"\nmode = run\n' "$1"
    for ((i = 0; i < $1; i++)); do
      printf '\n[control C%d]\nclass = HN_QuillonPD.QuillonPD\nposition = %d %d\n' \
        "$i" $((4 + (i % 14) * 289)) $((4 + (i / 14) * 159))
      printf 'strNTF = "NOEUD%d:Point%d.Valeur"\nudtPollTime = %d\n' $((i % 4)) "$i" \
        "${periods[i % ${#periods[@]}]}"
    done
  } >"$2"
}

# PREFIX: "pid ticks name" for every process whose environment names the prefix.
wine_ticks() {
  local pid
  for pid in $(ls /proc | grep '^[0-9]*$'); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$1"; then
      awk -v p="$pid" '{print p, $14 + $15, $2}' "/proc/$pid/stat" 2>/dev/null || true
    fi
  done
}

# "ticks" of the X server serving display $1 (":99").
x_ticks() {
  local pid
  pid=$(pgrep -f "Xvfb $1 " | head -1 || true)
  [ -n "$pid" ] && awk '{print $14 + $15}' "/proc/$pid/stat" || echo 0
}

# LIBRARY COUNT SECONDS: one run; prints its figures on one line.
run() {
  local lib=$1 count=$2 secs=$3
  work=$root/$lib
  export WINEPREFIX=$work/wineprefix
  cache=$WINEPREFIX/drive_c/Quillon/Serveur\ Quillon\ PD/cacheQuillonPD_V2.dat
  rm -f "$cache"
  display_file "$count" "$work/bench.display"
  live_server
  (
    sleep $((secs - 35))
    wine_ticks "$WINEPREFIX" >"$work/first.txt"
    host=$(awk '$3 ~ /quillon-host/ {print $1}' "$work/first.txt" | head -1)
    display=$(tr '\0' '\n' <"/proc/$host/environ" | sed -n 's/^DISPLAY=//p')
    x0=$(x_ticks "$display")
    sleep 30
    wine_ticks "$WINEPREFIX" >"$work/last.txt"
    x1=$(x_ticks "$display")
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$host/status")
    awk -v hz="$(getconf CLK_TCK)" -v x=$((x1 - x0)) -v rss="$rss" '
      NR == FNR { first[$1] = $2; next }
      { d = $2 - first[$1]; if ($3 ~ /quillon-host/) h += d; else if ($3 ~ /wineserver/) s += d; else o += d }
      END { f = 100 / hz / 30
            printf "host %.2f %%, wine server %.2f %%, other wine %.2f %%, total %.2f %%, X server %.2f %%, rss %d KiB",
              h * f, s * f, o * f, (h + s + o) * f, x * f, rss }' \
      "$work/first.txt" "$work/last.txt" >"$work/proc.txt"
  ) &
  local sampler=$!
  live_host 4200x2600 --mode run --at $((secs - 6)) stats --quit-after "$secs" \
    "$(live_winpath "$work/bench.display")" >"$work/run.log"
  wait "$sampler" || true
  live_stop
  printf '%-5s %5d controls: %s, %s\n' "$lib" "$count" "$(cat "$work/proc.txt")" \
    "$(grep -o 'windows [0-9]*.*virtual [0-9]* KiB' "$work/run.log" | tail -1)"
}

for ((r = 1; r <= rounds; r++)); do
  echo "round $r"
  for lib in other this; do run "$lib" "$controls" "$seconds"; done
done
echo "one control, for the memory per control"
for lib in other this; do run "$lib" 1 40; done
