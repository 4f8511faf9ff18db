#!/usr/bin/env bash
# Soak: the real game on a private Xvfb display for SECONDS, played with real X input (space
# held over the map, a car every 30 s, reloads, saves, editor drags, p and z), its resident
# memory sampled every few seconds. Fails when memory still grows in the last third of the run
# beyond what the live crates and effects explain, or when the game does not end cleanly.
# Draws the curve to docs/soak-memory.png. Usage: soak.sh [BUILD] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
seconds=${2:-600}
sample_every=3
# The last third's mean may exceed the middle third's by this much: crates live 24 s, so their
# number, and the memory they take, swings with the input pattern around a steady level; a map
# reload hands the freed heap back, so the level no longer creeps.
tolerance_percent=1
tolerance_kib=0

if ! command -v gnuplot >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends gnuplot-nox
fi

work=$(mktemp -d)
cp "$root"/assets/* "$work/"
samples="$root/$build/soak-memory.tsv"
: >"$samples"

display=120
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
game=""
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

(cd "$work" && exec "$root/$build/kelvoran" >"$work/console.log" 2>"$work/errors.log") &
game=$!
. "$root/scripts/game-window.sh"
wait_for_game_window || { echo "the game window did not appear" >&2; exit 1; }

x() { xdotool "$@" >/dev/null 2>&1 || true; }
key() { x windowfocus --sync "$window" key "$1"; }
sample() {
  local rss
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$game/status" 2>/dev/null || true)
  [ -n "$rss" ] && printf '%s\t%s\n' "$1" "$rss" >>"$samples"
}

start=$(date +%s)
next_sample=0
next_car=0
round=0
echo "Soaking the game for ${seconds}s (display :$display, samples in $samples)"
while :; do
  now=$(( $(date +%s) - start ))
  [ "$now" -ge "$seconds" ] && break
  kill -0 "$game" 2>/dev/null || { echo "the game died after ${now}s" >&2; cat "$work/errors.log" >&2; exit 1; }
  if [ "$now" -ge "$next_sample" ]; then sample "$now"; next_sample=$((now + sample_every)); fi
  if [ "$now" -ge "$next_car" ]; then key 1; next_car=$((now + 30)); fi
  round=$((round + 1))
  # Crates rain over the map for two seconds.
  x mousemove --window "$window" $((300 + (round * 97) % 500)) 150
  x windowfocus --sync "$window" keydown space
  sleep 2
  x keyup space
  # Bursts and a flicker now and then.
  [ $((round % 2)) -eq 0 ] && key z
  [ $((round % 3)) -eq 0 ] && key p
  # The editor: a square, selected and dragged by the whole and by a corner, released on the grid.
  if [ $((round % 4)) -eq 0 ]; then
    key 3
    x mousemove --window "$window" 562 350
    x click 1
    x mousedown 1
    x mousemove --window "$window" 570 354
    x mousemove --window "$window" 578 358
    x mouseup 1
  fi
  # Save and reload the map (crates and cars stay, the map becomes the file's).
  if [ $((round % 5)) -eq 0 ]; then key 9; key 7; fi
done
sample "$(( $(date +%s) - start ))"
key Escape
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$game" || status=$?
game=""
[ $status -eq 0 ] || { echo "the game ended with status $status" >&2; cat "$work/errors.log" >&2; exit 1; }

# Middle third against last third of the samples.
verdict=$(awk -v pct="$tolerance_percent" -v slack="$tolerance_kib" '
  { t[NR] = $1; m[NR] = $2 }
  END {
    n = NR; a = int(n / 3); b = int(2 * n / 3)
    for (i = a + 1; i <= b; i++) { mid += m[i]; nm++ }
    for (i = b + 1; i <= n; i++) { last += m[i]; nl++ }
    mid /= nm; last /= nl
    limit = mid * (1 + pct / 100) + slack
    printf "%d samples; mean resident memory: middle third %.0f KiB, last third %.0f KiB (limit %.0f KiB); peak %d KiB\n", n, mid, last, limit, max(m, n)
    exit (last > limit)
  }
  function max(v, n,   i, best) { best = 0; for (i = 1; i <= n; i++) if (v[i] > best) best = v[i]; return best }
' "$samples") && ok=1 || ok=0
echo "$verdict"

mkdir -p "$root/docs"
gnuplot <<PLOT
set terminal pngcairo size 900,420 font "sans,10"
set output "$root/docs/soak-memory.png"
set title "Resident memory of the game over a ${seconds} s soak (crates, cars, reloads, saves, editor drags)"
set xlabel "seconds"
set ylabel "VmRSS (MiB)"
set grid
set key off
set yrange [0:*]
plot "$samples" using 1:(\$2/1024.0) with linespoints pt 7 ps 0.4 lw 1.5
PLOT
echo "Memory curve: docs/soak-memory.png"
[ $ok -eq 1 ] || { echo "memory kept growing in the last third of the soak" >&2; exit 1; }
echo "Soak passed"
