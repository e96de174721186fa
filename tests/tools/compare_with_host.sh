#!/usr/bin/env bash
# compare_with_host.sh OUT HOST_TOOL "TOOL..." ["TOOL..."...] -- PICTURE...
#
# Runs the build machine's mottle-steps (HOST_TOOL) and each other one (a
# command line, such as an emulator and an arm64 mottle-steps) on the same
# pictures, seeds and step counts, and fails naming every output that is not
# the same file, byte for byte. OUT is a folder for the outputs.
set -euo pipefail
out=$1 host=$2
shift 2
tools=()
while [[ $1 != -- ]]; do tools+=("$1"); shift; done
shift
rm -rf "$out" && mkdir -p "$out"
failures=0 runs=0
for picture in "$@"; do
  for seed in 0 1 4294967295; do
    for steps in 1 25; do
      name=$(basename "$picture" .bmp)-$seed-$steps.bmp
      expected=$out/host-$name
      "$host" "$picture" "$seed" "$steps" "$expected"
      for index in "${!tools[@]}"; do
        actual=$out/tool$index-$name
        # The command line is split into the emulator and the tool on purpose.
        # shellcheck disable=SC2086
        ${tools[$index]} "$picture" "$seed" "$steps" "$actual"
        runs=$((runs + 1))
        if ! cmp -s "$expected" "$actual"; then
          echo "${tools[$index]} $picture $seed $steps: differs from $host" >&2
          failures=$((failures + 1))
        fi
      done
    done
  done
done
echo "$runs outputs compared, $failures differ"
((failures == 0 && runs > 0))
