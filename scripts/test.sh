#!/usr/bin/env bash
# Runs every test through CTest on a private Xvfb display, so no real display is ever needed.
# In a sanitizer build (KELVORAN_SANITIZE) every error, undefined behaviour or leak in any test
# program, and in the game the end-to-end tests start, fails its test.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
run=()
if grep -q '^KELVORAN_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:exitcode=86:strict_init_order=1:detect_stack_use_after_return=0
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=87
  export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0:exitcode=88
  # The GL client library unloads the software driver before the leak check, which would leave
  # the driver's own allocations without a library name; kept loaded, the suppressions name it.
  driver=$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n1 || true)
  [ -n "$driver" ] && run=(env "LD_PRELOAD=$driver")
fi
exec xvfb-run -a -s "-screen 0 2560x1600x24 -nolisten tcp -noreset" \
  "${run[@]}" ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
