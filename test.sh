#!/usr/bin/env bash
# Installs what is missing, builds Vestrel twice (Release; Debug with AddressSanitizer and
# UndefinedBehaviorSanitizer), builds the threaded units a third time with ThreadSanitizer,
# and runs every test in each build; then runs each libFuzzer target for about a minute.
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

# The libFuzzer targets (clang, with AddressSanitizer and UndefinedBehaviorSanitizer): each
# fuzz/<path>/<name>_fuzz runs for about a minute from its seeds in fuzz/<path>/<name>_corpus.
# A finding fails the run; its input is kept in build/fuzz/findings.
scripts/build.sh fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVESTREL_WERROR=ON -DVESTREL_FUZZ=ON -DVESTREL_BUILD_APP=OFF -DVESTREL_BUILD_BENCH=OFF
fuzz_seconds=60
mkdir -p build/fuzz/findings
while IFS= read -r target; do
  rel=${target#build/fuzz/fuzz/}
  name=$(basename "$rel" _fuzz)
  dir=$(dirname "$rel")
  work="build/fuzz/corpus/$dir/$name"
  log="build/fuzz/$dir-$name.log"
  mkdir -p "$work"
  if "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build/fuzz/findings/$name-" "$work" "fuzz/$dir/${name}_corpus" > "$log" 2>&1; then
    echo "fuzz $rel: passed, $(grep -Eo 'Done [0-9]+ runs' "$log" || echo 'no count')"
    passed=$((passed + 1))
  else
    tail -n 60 "$log"
    echo "fuzz $rel: FAILED (input in build/fuzz/findings)"
    failed=$((failed + 1))
    status=1
  fi
done < <(find build/fuzz/fuzz -type f -name '*_fuzz' -perm -u+x | sort)

echo "total: $passed passed, $failed failed"
exit "$status"
