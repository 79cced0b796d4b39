#!/usr/bin/env bash
# Installs what building and running need (scripts/packages-run.txt), builds the program
# (and the exchange channel's peer tool) and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
scripts/setup.sh run
mkdir -p build
# The program alone; a build that test.sh has configured keeps its options (its tests with it).
if [[ -f build/release/CMakeCache.txt ]]; then
  cmake --build build/release -j "${VESTREL_JOBS:-$(nproc)}" --target vestrel zozariri-peer
else
  VESTREL_TARGETS="vestrel zozariri-peer" scripts/build.sh release -DCMAKE_BUILD_TYPE=Release \
    -DVESTREL_BUILD_TESTS=OFF -DVESTREL_BUILD_BENCH=OFF
fi

# Qt's own platforms need a display; one chosen by QT_QPA_PLATFORM (offscreen) does not.
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "Vestrel needs a desktop session: no DISPLAY or WAYLAND_DISPLAY is set." >&2
  echo "On a machine without a screen it runs under Xvfb: xvfb-run -a ./run.sh" >&2
  exit 1
fi
exec build/release/app/vestrel "$@"
