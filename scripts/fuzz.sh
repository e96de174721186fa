#!/usr/bin/env bash
# scripts/fuzz.sh SECONDS [libFuzzer options...]
# scripts/fuzz.sh --runs COUNT [libFuzzer options...]
#
# Builds the loader's fuzz target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz and fuzzes it, starting from the
# bitmap test suite and the edge files in fuzz/seeds.
#
# With SECONDS it fuzzes for that long, for long runs; new inputs collect in
# build/fuzz/corpus and are started from next time. With --runs it tries
# exactly COUNT inputs from a fixed random seed, starting from the seed files
# alone, so that the same tree gives the same run and the same verdict every
# time (the test command uses this).
#
# Exits non-zero on any finding (crash, sanitizer report, resource
# imbalance, timeout, memory limit); the input that caused it is saved as
# build/fuzz/artifacts/crash-* (or leak-, timeout-, oom-) and belongs in the
# loader tests as a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: scripts/fuzz.sh SECONDS | --runs COUNT [libFuzzer options...]"
dir=build/fuzz
if [[ ${1:-} == --runs ]]; then
  count=${2:?$usage}
  shift 2
  # A fresh folder for what this run finds, so earlier runs change nothing.
  corpus=$dir/corpus-fixed
  rm -rf "$corpus"
  limit=(-runs="$count" -seed=20261208)
else
  seconds=${1:?$usage}
  shift
  corpus=$dir/corpus
  limit=(-max_total_time="$seconds")
fi

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DMOTTLER_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  >/dev/null
cmake --build "$dir" --target load-picture-fuzzer -j 2

mkdir -p "$corpus" "$dir/artifacts"
# Leaks count as findings; the first corpus folder is the one written to.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$dir/fuzz/load-picture-fuzzer" \
  "${limit[@]}" -timeout=20 -rss_limit_mb=2048 -max_len=32768 \
  -artifact_prefix="$dir/artifacts/" -print_final_stats=1 "$@" \
  "$corpus" fuzz/seeds tests/data/bmpsuite
