#!/usr/bin/env bash
# Runs every test through CTest on a private Xvfb display, so no real display is ever needed.
# In a sanitizer build (KELVORAN_SANITIZE) every error, undefined behaviour or leak in any test
# program, and in the game the end-to-end tests start, fails its test.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if grep -q '^KELVORAN_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_init_order=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  # Forgives leaks inside the GL driver and X libraries only; the build keeps the driver loaded
  # in the programs that draw, so that its leaks carry its name.
  export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
fi
exec xvfb-run -a -s "-screen 0 2560x1600x24 -nolisten tcp -noreset" \
  ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
