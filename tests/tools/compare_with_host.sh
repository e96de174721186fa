#!/usr/bin/env bash
# compare_with_host.sh OUT HOST_TOOL "TOOL..." ["TOOL..."...] -- PICTURE...
#
# Runs the build machine's mottle-steps (HOST_TOOL) and each other one (a
# command line: an emulator and a cross build's tool) on the same pictures,
# seeds and step counts, and fails naming every output that differs.
set -euo pipefail
out=$1 host=$2 tools=() differ=0
shift 2
while [[ $1 != -- ]]; do tools+=("$1"); shift; done
shift
mkdir -p "$out"
for picture in "$@"; do
  for seed in 0 1 4294967295; do
    for steps in 1 25; do
      "$host" "$picture" "$seed" "$steps" "$out/host.bmp"
      for tool in "${tools[@]}"; do
        # shellcheck disable=SC2086  # the emulator and the tool, split
        $tool "$picture" "$seed" "$steps" "$out/tool.bmp"
        cmp -s "$out/host.bmp" "$out/tool.bmp" || { echo "$tool $picture $seed $steps: differs" >&2; differ=1; }
      done
    done
  done
done
exit "$differ"
