#!/usr/bin/env bash
# check-level.sh KELVORAN_LEVEL DIR: packs the level folder DIR into a level file in a temporary
# folder, checks it, and verifies its solution when the folder has one.
set -euo pipefail
tool=$1
level=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" pack "$level" -o "$work/level.kvlevel"
"$tool" check "$work/level.kvlevel"
if [ -f "$level/solution.krec" ] && [ "${KELVORAN_VERIFY_LEVELS:-0}" = 1 ]; then
  "$tool" verify "$work/level.kvlevel"
fi
