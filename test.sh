#!/usr/bin/env bash
# Installs what is missing, builds Vestrel twice (Release; Debug with AddressSanitizer and
# UndefinedBehaviorSanitizer), builds the threaded units a third time with ThreadSanitizer,
# and runs every test in each build; then builds the libFuzzer targets with clang and runs
# each for a bounded time.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
scripts/setup.sh
mkdir -p build

jobs=$(nproc)
status=0
passed=0
failed=0

# run_ctest DIR ARGS...: runs ctest in DIR and adds its counts to the totals.
run_ctest() {
  local dir=$1
  shift
  local log="$top/build/$(basename "$dir").ctest.log"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@") 2>&1 | tee "$log" || status=1
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [[ -n "$line" ]]; then
    local bad total
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
}

scripts/build.sh release -DCMAKE_BUILD_TYPE=Release -DVESTREL_WERROR=ON
run_ctest build/release --timeout 600

scripts/build.sh asan -DCMAKE_BUILD_TYPE=Debug -DVESTREL_WERROR=ON "-DVESTREL_SANITIZE=address;undefined" \
  -DVESTREL_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build/asan --timeout 900 -LE interop

scripts/build.sh tsan -DCMAKE_BUILD_TYPE=Debug -DVESTREL_WERROR=ON -DVESTREL_SANITIZE=thread \
  -DVESTREL_TSAN_ONLY=ON -DVESTREL_BUILD_APP=OFF
TSAN_OPTIONS=halt_on_error=1 run_ctest build/tsan --timeout 900 -L tsan --no-tests=ignore

# Each fuzz target runs FUZZ_SECONDS (default 60) on a scratch copy of its seed corpus; a
# finding (crash, leak, sanitizer report, broken invariant) fails it and is kept in build/fuzz.
CC=clang CXX=clang++ scripts/build.sh fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTREL_FUZZ=ON
while IFS= read -r -d '' src; do
  name=$(basename "$src" .cpp)
  corpus="$top/build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  if "$top/build/fuzz/fuzz/$name" -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$top/build/fuzz/$name-" "$corpus" "$(dirname "$src")/${name%_fuzz}_corpus" \
    > "$top/build/fuzz/$name.log" 2>&1; then
    echo "fuzz $name: passed ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$top/build/fuzz/$name.log" | grep -o '[0-9]*$') runs)"
    passed=$((passed + 1))
  else
    echo "fuzz $name: FAILED (see build/fuzz/$name.log)"
    tail -n 30 "$top/build/fuzz/$name.log"
    failed=$((failed + 1))
    status=1
  fi
done < <(find "$top/fuzz" -name '*_fuzz.cpp' -print0 | sort -z)

echo "total: $passed passed, $failed failed"
exit "$status"
