#!/usr/bin/env bash
# Starts the game on a private Xvfb display, plays a short scripted scene with real X events,
# saves a screenshot of the game window, then ends the game with Esc.
# Usage: screenshot.sh BUILD OUTPUT.png [WORKDIR] [SCENE]
#   SCENE: demo (crates, a car and bloom bursts), help (crates, a selected platform and the
#   help panel) or idle.
# With KELVORAN_LEVEL=DIR the game plays that level folder in place (--level DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
out=${2:?output png path}
work=${3:-}
scene=${4:-demo}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
if [ -z "$work" ]; then
  work=$(mktemp -d)
  cp "$root"/assets/* "$work/"
fi

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
game=""
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

level_args=()
[ -n "${KELVORAN_LEVEL:-}" ] && level_args=(--level "$KELVORAN_LEVEL")
(cd "$work" && exec "$root/$build/kelvoran" "${level_args[@]}" >"$work/console.log") &
game=$!
. "$root/scripts/game-window.sh"
wait_for_game_window || { echo "the game window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$window"

if [ "$scene" = demo ]; then
  sleep 1
  # Crates rain onto the level from two places, a car drops at the spawn point.
  xdotool mousemove --window "$window" 400 120 keydown space
  sleep 1.5
  xdotool mousemove --window "$window" 700 100
  sleep 1.5
  xdotool keyup space
  xdotool key 1
  sleep 1.2
  xdotool key z
  sleep 0.35
elif [ "$scene" = help ]; then
  sleep 1
  xdotool mousemove --window "$window" 400 120 keydown space
  sleep 1.5
  xdotool mousemove --window "$window" 700 100
  sleep 1.5
  xdotool keyup space
  # Select the high platform at the top, so its corner handles show, then open the help.
  xdotool mousemove --window "$window" 747 50 click 1
  sleep 0.3
  xdotool mousemove --window "$window" 600 20 key h
  sleep 0.5
else
  sleep 2
fi
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
xdotool key Escape
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
wait "$game" && game="" || { echo "the game did not end cleanly" >&2; exit 1; }
