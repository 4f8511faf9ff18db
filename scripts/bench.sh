#!/usr/bin/env bash
# Runs every benchmark program on a private Xvfb display and prints its figures; the scale
# benchmark's figures also go to BUILD/scale_bench.json and its load times to BUILD/load.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root/$build"
for bench in "$root/$build"/*_bench; do
  [ -x "$bench" ] || continue
  name=$(basename "$bench")
  echo "== $name"
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" "$bench" --benchmark_min_time=0.2 \
    --benchmark_out="$root/$build/$name.json" --benchmark_out_format=json
done
bash "$root/scripts/plot-load.sh" "$root/$build/scale_bench.json" "$root/$build/load.png"
echo "Load-time plot: $root/$build/load.png"
