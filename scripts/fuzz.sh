#!/usr/bin/env bash
# Builds every libFuzzer target (tools/*_fuzz.cpp) with clang and runs each for a while.
# Usage: fuzz.sh BUILD_FOLDER SECONDS [TARGET...]   (no targets: all of them)
# Each target starts from its seed corpus tests/corpus/<name without _fuzz>/; new inputs go to
# BUILD_FOLDER/corpus/<target>/, so the tracked seeds never change. A finding fails the run.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-600}
shift 2 || true
cd "$(dirname "$0")/.."
# Absolute paths: a target may change its working folder when it starts.
mkdir -p "$build"
build=$(cd "$build" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in tools/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DKELVORAN_FUZZ=ON >/dev/null
if ! cmake --build "$build" -j2 --target "${targets[@]}" >"$build/build.log" 2>&1; then
  tail -n 40 "$build/build.log"
  exit 1
fi
status=0
for target in "${targets[@]}"; do
  seeds="$PWD/tests/corpus/${target%_fuzz}"
  work="$build/corpus/$target"
  mkdir -p "$work" "$build/findings/$target"
  log="$build/$target.log"
  echo "$target: fuzzing for $seconds s (log: $log)"
  code=0
  # A target may bring a dictionary of words worth splicing in: tools/<target>.dict.
  dict=()
  if [ -f "tools/$target.dict" ]; then dict=(-dict="$PWD/tools/$target.dict"); fi
  "$build/$target" -max_total_time="$seconds" -print_final_stats=1 "${dict[@]}" \
    -artifact_prefix="$build/findings/$target/" "$work" "$seeds" >"$log" 2>&1 || code=$?
  if [ "$code" -eq 0 ]; then
    runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -1 | grep -o '[0-9]*' || true)
    echo "$target: ${runs:-?} inputs run, no finding"
  else
    status=1
    echo "$target: stopped with status $code; see $log"
    ls "$build/findings/$target/"* 2>/dev/null | sed 's/^/  finding: /' || true
    tail -n 30 "$log"
  fi
done
exit $status
