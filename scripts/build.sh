#!/usr/bin/env bash
# build.sh NAME [cmake options...]: configures and builds build/NAME with Ninja: every target,
# or those of VESTREL_TARGETS (names separated by spaces); VESTREL_JOBS jobs (default: one a core).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
name=$1
mkdir -p "$top/build"
shift
cmake -S "$top" -B "$top/build/$name" -G Ninja "$@" > "$top/build/$name.configure.log" 2>&1 || {
  cat "$top/build/$name.configure.log"
  exit 1
}
targets=()
for t in ${VESTREL_TARGETS:-}; do
  targets+=(--target "$t")
done
cmake --build "$top/build/$name" -j "${VESTREL_JOBS:-$(nproc)}" "${targets[@]}"
