#!/usr/bin/env bash
# scripts/fuzz.sh SECONDS [libFuzzer options...]
#
# Builds the loader's fuzz target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz and fuzzes it for SECONDS seconds,
# starting from the bitmap test suite and the edge files in fuzz/seeds. New
# inputs collect in build/fuzz/corpus. Exits non-zero on any finding (crash,
# sanitizer report, resource imbalance, timeout, memory limit); the input
# that caused it is saved as build/fuzz/artifacts/crash-* (or leak-,
# timeout-, oom-) and belongs in the loader tests as a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: scripts/fuzz.sh SECONDS [libFuzzer options...]}
shift

dir=build/fuzz
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DMOTTLER_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  >/dev/null
cmake --build "$dir" --target load-picture-fuzzer -j 2

mkdir -p "$dir/corpus" "$dir/artifacts"
# Leaks count as findings; the first corpus folder is the one written to.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$dir/fuzz/load-picture-fuzzer" \
  -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=32768 \
  -artifact_prefix="$dir/artifacts/" -print_final_stats=1 "$@" \
  "$dir/corpus" fuzz/seeds tests/data/bmpsuite
