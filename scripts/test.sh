#!/usr/bin/env bash
# Installs what is missing, builds everything warning-free and runs every test:
#   1. the normal build and the whole test suite (build-test);
#   2. the whole test suite again, built with AddressSanitizer and
#      UndefinedBehaviorSanitizer (build-asan): any report fails its test;
#   3. a short run of each fuzz target, built with clang (build-fuzz,
#      scripts/fuzz.sh); LA_FUZZ_SECONDS sets the time per target (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs="$(nproc)"

# Runs one build's suite and keeps its output for the summary at the end.
run_ctest() {
  local dir=$1 timeout=$2
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" --timeout "$timeout") \
    | tee "$dir/ctest-output.txt"
}

echo "== normal build and tests"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLA_WERROR=ON >/dev/null
cmake --build build-test -j"$jobs"
run_ctest build-test 300

echo "== sanitizer build and tests (ASan, UBSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLA_WERROR=ON -DLA_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
# Leaks are checked, except for the caches of the font library, which live as
# long as the process (tests/sanitizers/README.md). These variables reach the
# test programs and the listing of their tests alike.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_ctest build-asan 900
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

echo "== fuzzing"
LA_FUZZ_SKIP_DEPS=1 bash scripts/fuzz.sh "${LA_FUZZ_SECONDS:-30}"

# One closing line over both suites (a failure has ended the script before).
total=0
skipped=0
for dir in build-test build-asan; do
  n=$(grep -oE 'tests failed out of [0-9]+' "$dir/ctest-output.txt" | grep -oE '[0-9]+$' | tail -n 1)
  s=$(grep -c '(Skipped)' "$dir/ctest-output.txt" || true)
  total=$((total + ${n:-0}))
  skipped=$((skipped + s))
done
echo "tests: $((total - skipped)) passed, 0 failed, $skipped skipped"
