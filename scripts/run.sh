#!/usr/bin/env bash
# Plays the game in play/, a git-ignored working folder seeded from assets/ on first use, so
# playing and saving never touch the tracked files. Without a display it runs the game under
# Xvfb for a few seconds, saves a screenshot and ends the game with Esc. With LEVEL=levels/NAME
# it plays that level in play/NAME/, seeded with the level's map.txt and map.lua.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
shift || true
play="$root/play"
level=${LEVEL:-}
if [ -n "$level" ]; then
  level=$(cd "$root" && cd "$level" && pwd) || { echo "No level folder $LEVEL"; exit 2; }
  play="$root/play/$(basename "$level")"
  mkdir -p "$play"
  for file in map.txt map.lua; do
    [ -e "$play/$file" ] || [ ! -e "$level/$file" ] || cp "$level/$file" "$play/"
  done
fi
mkdir -p "$play"
for asset in "$root"/assets/*; do
  [ -e "$play/$(basename "$asset")" ] || cp "$asset" "$play/"
done
if [ -n "${DISPLAY:-}" ]; then
  cd "$play"
  exec "$root/$build/kelvoran" "$@"
fi
echo "No DISPLAY: running the game headless under Xvfb."
mkdir -p "$play/screenshots"
shot="$play/screenshots/kelvoran-$(date +%Y%m%d-%H%M%S).png"
bash "$root/scripts/screenshot.sh" "$build" "$shot" "$play" demo
echo "Screenshot of the running game: $shot"
