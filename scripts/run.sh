#!/usr/bin/env bash
# Plays the game in play/, a git-ignored working folder seeded from assets/ on first use, so
# playing and saving never touch the tracked files. Without a display it runs the game under
# Xvfb for a few seconds, saves a screenshot and ends the game with Esc. With LEVEL=DIR it plays
# the level folder DIR in place (kelvoran --level DIR): its map.txt and map.lua are read there,
# edits to them show at once, and the editor's saves land there with their backup.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
shift || true
play="$root/play"
level=${LEVEL:-}
if [ -n "$level" ]; then
  level=$(cd "$root" && cd "$level" && pwd) || { echo "No level folder $LEVEL"; exit 2; }
  if [ -n "${DISPLAY:-}" ]; then
    exec "$root/$build/kelvoran" --level "$level" "$@"
  fi
  echo "No DISPLAY: running the level headless under Xvfb."
  mkdir -p "$play/screenshots"
  shot="$play/screenshots/$(basename "$level")-$(date +%Y%m%d-%H%M%S).png"
  KELVORAN_LEVEL="$level" bash "$root/scripts/screenshot.sh" "$build" "$shot" "" idle
  echo "Screenshot of the running level: $shot"
  exit 0
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
