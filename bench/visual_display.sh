#!/usr/bin/env bash
# Resources of a display of many live controls under Wine: quillon-host with N controls in run
# mode (default 200) for a minute, the stand-in server filling the cache. quillon-host prints
# its processor time, objects and memory every 10 s; this script adds the processor time of
# the host's Wine process and of the Wine server from /proc over the steady phase (after the
# 30 s start-up phase). Usage: bench/visual_display.sh [CONTROLS] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
controls=${1:-200}
seconds=${2:-70}
work=$PWD/build/bench-display
mkdir -p "$work"
source scripts/live-display.sh
live_build
live_prefix
trap live_stop EXIT
live_server

# A grid of controls, 14 to a row, each on its own point, periods taken in turn.
periods=(90 85 80 70 29 28)
{
  printf '[display]\ntitle = "%d controls"\nmode = run\n' "$controls"
  for ((i = 0; i < controls; i++)); do
    printf '\n[control C%d]\nclass = HN_QuillonPD.QuillonPD\nposition = %d %d\n' \
      "$i" $((4 + (i % 14) * 289)) $((4 + (i / 14) * 159))
    printf 'strNTF = "NOEUD%d:Point%d.Valeur"\nudtPollTime = %d\n' $((i % 4)) "$i" \
      "${periods[i % ${#periods[@]}]}"
  done
} >"$work/bench.display"

stats=()
for ((t = 5; t < seconds; t += 10)); do stats+=(--at "$t" stats); done
cpu_of() {  # PID: utime + stime in clock ticks
  awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0
}
sample() {  # prints the ticks of quillon-host.exe's process and of the Wine server
  local host server
  host=$(pgrep quillon-host | head -1 || true)  # the process name, not the command lines
  server=$(pgrep wineserver | head -1 || true)
  echo "$([ -n "$host" ] && cpu_of "$host" || echo 0) $([ -n "$server" ] && cpu_of "$server" || echo 0)"
}
(
  sleep 35
  first=$(sample)
  sleep 30
  last=$(sample)
  hz=$(getconf CLK_TCK)
  read -r h0 s0 <<<"$first"
  read -r h1 s1 <<<"$last"
  awk -v h=$((h1 - h0)) -v s=$((s1 - s0)) -v hz="$hz" 'BEGIN {
    printf "steady phase 35-65 s from /proc: host %.2f %% of a core, wine server %.2f %%\n",
      100 * h / hz / 30, 100 * s / hz / 30 }' >"$work/proc.txt"
) &
sampler=$!
live_host 4200x2600 --mode run "${stats[@]}" --quit-after "$seconds" \
  "$(live_winpath "$work/bench.display")"
wait "$sampler" || true
cat "$work/proc.txt" 2>/dev/null || true
