#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for SECONDS, starting from its seed corpus, then prints how many inputs each ran.
# Usage: fuzz.sh [BUILD] [SECONDS]. Findings land in BUILD/findings/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-fuzz}
seconds=${2:-600}
cd "$root"
# Optimised (-O1, as libFuzzer advises) but with asserts kept, like the Debug build.
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_FUZZ=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DKELVORAN_BENCH=OFF >/dev/null
targets=(map_loader_fuzz game_ops_fuzz)
cmake --build "$build" -j2 --target "${targets[@]}"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
summary=()
for target in "${targets[@]}"; do
  work="$root/$build/corpus/$target"       # grows as the fuzzer finds new coverage
  findings="$root/$build/findings/$target/"
  mkdir -p "$work" "$findings"
  log="$root/$build/$target.log"
  echo "== $target for ${seconds}s (log: $log)"
  status=0
  "$root/$build/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=30 \
    -artifact_prefix="$findings" "$work" "$root/tests/corpus/$target" >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  if [ $status -eq 0 ]; then
    summary+=("$target: $runs inputs in ${seconds}s, no finding")
  else
    summary+=("$target: FINDING after $runs inputs (exit $status), see $log and $findings")
  fi
done
printf '%s\n' "${summary[@]}"
for line in "${summary[@]}"; do
  case "$line" in *FINDING*) exit 1 ;; esac
done
