#!/usr/bin/env bash
# build.sh NAME [cmake options...]: configures and builds build/NAME with Ninja.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
name=$1
mkdir -p "$top/build"
shift
cmake -S "$top" -B "$top/build/$name" -G Ninja "$@" > "$top/build/$name.configure.log" 2>&1 || {
  cat "$top/build/$name.configure.log"
  exit 1
}
cmake --build "$top/build/$name" -j "$(nproc)"
