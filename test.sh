#!/usr/bin/env bash
# Installs what is missing, builds Vestrel twice (Release; Debug with AddressSanitizer and
# UndefinedBehaviorSanitizer), builds the threaded units a third time with ThreadSanitizer,
# and runs every test in each build.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
scripts/setup.sh
mkdir -p build

jobs=$(nproc)
status=0

scripts/build.sh release -DCMAKE_BUILD_TYPE=Release -DVESTREL_WERROR=ON
(cd build/release && ctest --output-on-failure -j "$jobs" --timeout 600) || status=1

scripts/build.sh asan -DCMAKE_BUILD_TYPE=Debug -DVESTREL_WERROR=ON "-DVESTREL_SANITIZE=address;undefined" \
  -DVESTREL_BUILD_BENCH=OFF
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs" --timeout 900 -LE interop) || status=1

scripts/build.sh tsan -DCMAKE_BUILD_TYPE=Debug -DVESTREL_WERROR=ON -DVESTREL_SANITIZE=thread \
  -DVESTREL_TSAN_ONLY=ON -DVESTREL_BUILD_APP=OFF
(cd build/tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j "$jobs" --timeout 900 -L tsan \
  --no-tests=ignore) || status=1

if ((status != 0)); then
  echo "Some tests failed."
fi
exit "$status"
