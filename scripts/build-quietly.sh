#!/usr/bin/env bash
# Configures and builds the given targets, writing CMake's and the compiler's output to
# BUILD/build.log and printing it only when something fails.
# Usage: build-quietly.sh BUILD TYPE JOBS TARGET...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1 type=$2 jobs=$3
shift 3
mkdir -p "$root/$build"
log="$root/$build/build.log"
if ! { cmake -S "$root" -B "$root/$build" -DCMAKE_BUILD_TYPE="$type" &&
       cmake --build "$root/$build" -j"$jobs" --target "$@"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "build failed; the output above is also in $log" >&2
  exit 1
fi
