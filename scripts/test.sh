#!/usr/bin/env bash
# Runs every test through CTest on a private Xvfb display, so no real display is ever needed.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
exec xvfb-run -a -s "-screen 0 2560x1600x24 -nolisten tcp -noreset" \
  ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
