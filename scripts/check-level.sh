#!/usr/bin/env bash
# check-level.sh KELVORAN_LEVEL DIR: packs the level folder DIR into a level file in a temporary
# folder, checks it, and verifies its solution when the folder has one and its script can finish.
set -euo pipefail
tool=$1
level=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" pack "$level" -o "$work/level.kvlevel"
"$tool" check "$work/level.kvlevel"
# A level that never finishes (the gallery, a reference to copy from) has no solution to prove.
if [ -f "$level/solution.krec" ] && grep -q "game.finish" "$level/map.lua"; then
  "$tool" verify "$work/level.kvlevel"
fi
