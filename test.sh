#!/usr/bin/env bash
# Installs what is missing (scripts/packages-run.txt and scripts/packages-test.txt), builds Vestrel twice (Release; Debug with AddressSanitizer and
# UndefinedBehaviorSanitizer), builds the threaded units a third time with ThreadSanitizer,
# and runs every test in each build. Then builds the libFuzzer targets with clang and runs each
# for about a minute (VESTREL_FUZZ_SECONDS) on its seed corpus.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
scripts/setup.sh run test
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

# Tests and benchmarks on: ./run.sh may have configured this build for the program alone.
scripts/build.sh release -DCMAKE_BUILD_TYPE=Release -DVESTREL_WERROR=ON -DVESTREL_BUILD_TESTS=ON -DVESTREL_BUILD_BENCH=ON
run_ctest build/release --timeout 600

scripts/build.sh asan -DCMAKE_BUILD_TYPE=Debug -DVESTREL_WERROR=ON "-DVESTREL_SANITIZE=address;undefined" \
  -DVESTREL_BUILD_BENCH=OFF -DVESTREL_BUILD_TESTS=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build/asan --timeout 900 -LE interop

scripts/build.sh tsan -DCMAKE_BUILD_TYPE=Debug -DVESTREL_WERROR=ON -DVESTREL_SANITIZE=thread \
  -DVESTREL_TSAN_ONLY=ON -DVESTREL_BUILD_APP=OFF -DVESTREL_BUILD_TESTS=ON
TSAN_OPTIONS=halt_on_error=1 run_ctest build/tsan --timeout 900 -L tsan --no-tests=ignore

# The fuzz targets run side by side, each on a working copy of its corpus in build/fuzz/corpus
# (new inputs land there, not in the sources) with the seeds of fuzz/<path>/<name>_corpus. A
# finding fails the run; its input is kept in build/fuzz/findings, to be added to the seeds
# (which every other build replays as a test).
scripts/build.sh fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVESTREL_WERROR=ON -DVESTREL_FUZZ=ON -DVESTREL_BUILD_APP=OFF -DVESTREL_BUILD_BENCH=OFF
fuzz_seconds=${VESTREL_FUZZ_SECONDS:-60}
mkdir -p build/fuzz/corpus build/fuzz/findings
fuzz_pids=()
fuzz_names=()
while IFS= read -r exe; do
  rel=${exe#build/fuzz/fuzz/}
  name=${rel//\//_}
  mkdir -p "build/fuzz/corpus/$name"
  ASAN_OPTIONS=detect_leaks=1 "$exe" -max_total_time="$fuzz_seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build/fuzz/findings/$name-" "build/fuzz/corpus/$name" "fuzz/${rel}_corpus" \
    > "build/fuzz/$name.log" 2>&1 &
  fuzz_pids+=($!)
  fuzz_names+=("$name")
done < <(find build/fuzz/fuzz -type f -name '*_fuzz' -perm -u+x | sort)
for i in "${!fuzz_pids[@]}"; do
  name=${fuzz_names[$i]}
  log="build/fuzz/$name.log"
  fuzz_ok=1
  wait "${fuzz_pids[$i]}" || fuzz_ok=0
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  if ((fuzz_ok)); then
    echo "fuzz $name: ${runs:-?} runs, ${rate:-?} exec/s, no finding"
    passed=$((passed + 1))
  else
    tail -n 40 "$log"
    echo "fuzz $name: FINDING (see $log and build/fuzz/findings)"
    failed=$((failed + 1))
    status=1
  fi
done

echo "total: $passed passed, $failed failed"
exit "$status"
