#!/usr/bin/env bash
# Installs what is missing, builds Vestrel and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
scripts/setup.sh
mkdir -p build
scripts/build.sh release -DCMAKE_BUILD_TYPE=Release

if [[ -x build/release/app/vestrel ]]; then
  if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "Vestrel needs a desktop session: no DISPLAY or WAYLAND_DISPLAY is set." >&2
    echo "On a machine without a screen it runs under Xvfb: xvfb-run -a ./run.sh" >&2
    exit 1
  fi
  exec build/release/app/vestrel "$@"
fi

cat <<MSG
Built the Vestrel engine, its tests and its benchmarks in build/release.
The program's window is not part of this build yet. Meanwhile:
  build/release/bench/vestrel-decode --help   decodes raw 11025 samples/s audio
  ls build/release/bench                      lists the benchmark programs
MSG
