#!/usr/bin/env bash
# Plays the game in play/, a git-ignored working folder seeded from assets/ on first use, so
# playing and saving never touch the tracked files. Without a display it runs the game under
# Xvfb for a few seconds, saves a screenshot and ends the game with Esc.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
shift || true
play="$root/play"
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
