#!/usr/bin/env bash
# Installs what is missing, builds Vestrel and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
scripts/setup.sh
mkdir -p build
scripts/build.sh release -DCMAKE_BUILD_TYPE=Release

# Qt's own platforms need a display; one chosen by QT_QPA_PLATFORM (offscreen) does not.
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "Vestrel needs a desktop session: no DISPLAY or WAYLAND_DISPLAY is set." >&2
  echo "On a machine without a screen it runs under Xvfb: xvfb-run -a ./run.sh" >&2
  exit 1
fi
exec build/release/app/vestrel "$@"
