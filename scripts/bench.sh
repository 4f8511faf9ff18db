#!/usr/bin/env bash
# Runs every benchmark program on a private Xvfb display and prints its figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root/$build"
for bench in "$root/$build"/*_bench; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" "$bench" --benchmark_min_time=0.2
done
