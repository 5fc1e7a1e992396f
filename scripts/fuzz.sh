#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each of them
# for the given number of seconds (default 60):
#
#     bash scripts/fuzz.sh [seconds]
#
#   fuzz_receive_handler  bytes from the instrument, cut into chunks and mixed
#                         with mode switches, presses, Loads and scrolling
#   fuzz_capture_file     any bytes as a capture file, through the reader and
#                         the Load parser
#   fuzz_import           any bytes as a .log, .vcd, .csv or .sr file to import
#                         (the first byte picks the format)
#
# All stop on a crash, a sanitizer report (ASan, UBSan), an input that runs
# longer than 20 s, or a broken invariant. The input is then left in
# build-fuzz/artifacts/; keep it under tests/fuzz/regressions/<target>/ once the
# fault is fixed, so that every test run replays it. New corpus entries go to
# build-fuzz/corpus/<target>/ (the seeds in tests/fuzz/seeds/ are only read).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

if [ "${LA_FUZZ_SKIP_DEPS:-0}" != 1 ]; then
  bash scripts/install-deps.sh
fi

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DLA_BUILD_FUZZ=ON -DLA_BUILD_TESTS=OFF -DLA_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_receive_handler fuzz_capture_file fuzz_import

export QT_QPA_PLATFORM=offscreen
# Leaks are not checked here: Qt keeps caches for the life of the process
# (see tests/sanitizers/README.md); every other ASan and UBSan report stops
# the fuzzer.
export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

mkdir -p build-fuzz/artifacts
status=0
for target in receive_handler capture_file import; do
  case "$target" in
    receive_handler) max_len=8192 ;;
    *) max_len=65536 ;;
  esac
  corpus="build-fuzz/corpus/$target"
  mkdir -p "$corpus"
  inputs=("$corpus")
  for d in "tests/fuzz/seeds/$target" "tests/fuzz/regressions/$target"; do
    if [ -d "$d" ]; then inputs+=("$d"); fi
  done
  echo "== fuzz_$target for ${seconds} s"
  if ! "build-fuzz/fuzz_$target" "${inputs[@]}" \
      -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -max_len="$max_len" \
      -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" 2>"build-fuzz/fuzz_$target.log"; then
    status=1
    tail -n 60 "build-fuzz/fuzz_$target.log"
    echo "fuzz_$target FAILED; the input is in build-fuzz/artifacts/" >&2
  else
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|^#[0-9]+.*DONE' "build-fuzz/fuzz_$target.log" || true
  fi
done
exit "$status"
