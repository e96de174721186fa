#!/usr/bin/env bash
# Makes docs/dissolve.gif: generations of the bundled picture, computed by
# mottle-steps exactly as the program computes them (fixed seed), shown at
# half size with the number of steps growing from frame to frame.
#
# Usage: docs/make_dissolve_gif.sh [path to mottle-steps]
# Needs ImageMagick; builds the host tools in build/host when no mottle-steps
# is given or built yet.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

steps_tool=${1:-build/host/mottle-steps}
if [[ ! -x $steps_tool ]]; then
  configure_if_missing build/host -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build/host --target mottle-steps -j 2 >/dev/null
fi

seed=20261207
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT

# 0, 4, 16, 36, ... 4·k² steps: early frames show the edges fraying, later
# ones the patches drifting.
for k in $(seq 0 23); do
  steps=$((4 * k * k))
  "$steps_tool" assets/mottle.bmp "$seed" "$steps" "$frames/$(printf '%02d' "$k").bmp"
done

# Frame delays in hundredths of a second; the first and last frames stay longer.
convert -loop 0 \
  -delay 100 "$frames/00.bmp" \
  -delay 15 $(ls "$frames"/*.bmp | sed -n '2,23p') \
  -delay 150 "$frames/23.bmp" \
  -resize 50% -colors 96 -layers Optimize docs/dissolve.gif
ls -l docs/dissolve.gif
