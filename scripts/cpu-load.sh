#!/usr/bin/env bash
# What the running game costs: the game on a private Xvfb display, its whole process (every
# thread, the software renderer's included) sampled from /proc/PID/stat over SECONDS, for each
# case asked for:
#   idle    the starter map, no actors, no input
#   crates  100 crates sprinkled onto the floor, then paused, then left alone
#   busy    crates being sprinkled while a car drives (space and w held)
# Prints per case the CPU time as % of one core, and the loop's steps and frames per second
# (frames due by the 20 ms rule, and frames drawn), read from the game's KELVORAN_LOOP_STATS
# lines; a game without them gets "-". Fails when a case costs more than --max-percent, runs
# more passes a second than --max-passes or draws more frames a second than --max-drawn (a
# loop spinning on a loaded machine may get little of a core, but it still runs thousands of
# passes).
# Usage: cpu-load.sh [--binary PATH] [--seconds N] [--max-percent P] [--max-passes N]
#                    [--max-drawn N] [CASE...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
binary="$root/build-release/kelvoran"
seconds=20
max_percent=""
max_passes=""
max_drawn=""
cases=()
while [ $# -gt 0 ]; do
  case "$1" in
    --binary) binary=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --max-percent) max_percent=$2; shift 2 ;;
    --max-passes) max_passes=$2; shift 2 ;;
    --max-drawn) max_drawn=$2; shift 2 ;;
    idle|crates|busy) cases+=("$1"); shift ;;
    *) echo "usage: cpu-load.sh [--binary PATH] [--seconds N] [--max-percent P] [--max-passes N]" \
         "[--max-drawn N] [idle|crates|busy]..." >&2
       exit 2 ;;
  esac
done
[ ${#cases[@]} -gt 0 ] || cases=(idle crates busy)
[ -x "$binary" ] || { echo "no game at $binary (make release builds it)" >&2; exit 2; }
binary=$(realpath "$binary")  # the game runs in its own folder
ticks_per_second=$(getconf CLK_TCK)

work=$(mktemp -d)
xvfb=""
game=""
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null && wait "$game" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=$((400 + $$ % 400))
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

. "$root/scripts/game-window.sh"
x() { xdotool "$@" >/dev/null 2>&1 || true; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$game/stat"; }  # utime + stime, all threads
boxes() { grep -c '^  Box - POS:' "$run/console.log" || true; }

start_game() {
  run="$work/$1"
  mkdir -p "$run"
  cp "$root"/assets/* "$run/"
  (cd "$run" && KELVORAN_LOOP_STATS="$run/loop.txt" exec "$binary" >"$run/console.log" 2>"$run/errors.log") &
  game=$!
  wait_for_game_window || { echo "the game window did not appear" >&2; cat "$run/errors.log" >&2; exit 1; }
  sleep 2  # the start-up and the bursts on the map's covered edges are over
}

stop_game() {
  x windowfocus --sync "$window" key Escape
  for _ in $(seq 50); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
  kill "$game" 2>/dev/null || true
  wait "$game" 2>/dev/null || true
  game=""
  x keyup space w
}

# Mean of one field over the loop lines written while sampling.
mean_field() {
  [ -f "$run/loop.txt" ] || { printf -; return; }
  tail -n +"$((lines_before + 1))" "$run/loop.txt" |
    awk -v f="$1" '{ for (i = 1; i < NF; ++i) if ($i == f) { s += $(i + 1); ++n } }
                   END { if (n) printf "%.1f", s / n; else printf "-" }'
}

failed=0
printf '%-8s %8s %8s %10s %10s %8s\n' case cpu% steps/s frames/s drawn/s passes/s
for name in "${cases[@]}"; do
  start_game "$name"
  case "$name" in
    crates)
      x mousemove --window "$window" 612 420  # over the long floor near the bottom
      x windowfocus --sync "$window" keydown space
      for _ in $(seq 600); do [ "$(boxes)" -ge 100 ] && break; sleep 0.05; done
      x keyup space
      sleep 1  # the last ones land; crates live 24 s of running time, so none has expired
      x windowfocus --sync "$window" key 0  # pause
      sleep 3  # the pause message is gone
      ;;
    busy)
      x mousemove --window "$window" 612 420
      x windowfocus --sync "$window" key 1
      x windowfocus --sync "$window" keydown space
      x keydown w
      sleep 2
      ;;
  esac
  lines_before=0
  [ -f "$run/loop.txt" ] && lines_before=$(wc -l <"$run/loop.txt")
  before=$(cpu_ticks)
  started=$(date +%s%N)
  sleep "$seconds"
  after=$(cpu_ticks)
  elapsed_ns=$(( $(date +%s%N) - started ))
  percent=$(awk -v t=$((after - before)) -v hz="$ticks_per_second" -v ns="$elapsed_ns" \
    'BEGIN { printf "%.1f", 100 * t / hz / (ns / 1e9) }')
  passes=$(mean_field passes)
  drawn=$(mean_field drawn)
  printf '%-8s %8s %8s %10s %10s %8s' "$name" "$percent" "$(mean_field steps)" \
    "$(mean_field frames)" "$drawn" "$passes"
  [ "$name" = crates ] && printf '   (%s crates made)' "$(boxes)"
  printf '\n'
  stop_game
  over() { [ -n "$2" ] && awk -v v="$1" -v m="$2" 'BEGIN { exit !(v == "-" || v > m) }'; }
  if over "$percent" "$max_percent"; then
    echo "$name: ${percent}% of a core is over the ${max_percent}% allowed" >&2
    failed=1
  fi
  if over "$passes" "$max_passes"; then
    echo "$name: $passes passes a second, more than $max_passes" >&2
    failed=1
  fi
  if over "$drawn" "$max_drawn"; then
    echo "$name: $drawn frames drawn a second, more than $max_drawn" >&2
    failed=1
  fi
done
exit "$failed"
