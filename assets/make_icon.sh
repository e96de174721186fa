#!/usr/bin/env bash
# Makes the program's icon with its own engine: the bundled picture after 400
# generations of the dissolve (mottle-steps, a fixed seed, so it is exactly
# what the program computes), its middle 384 x 384 square, scaled to the
# desktop's icon sizes. Writes assets/icons/mottler-SIZE.png for the Linux
# desktop (hicolor theme) and assets/icons/mottler.ico, the file icon of
# mottler.exe. Running it again gives the same files.
#
# Usage: assets/make_icon.sh [path to mottle-steps]
# Needs ImageMagick; builds the host tools in build/host when no mottle-steps
# is given or built yet.
set -euo pipefail
cd "$(dirname "$0")/.."

steps_tool=${1:-build/host/mottle-steps}
if [[ ! -x $steps_tool ]]; then
  # A build folder that ./test.sh made keeps its settings; a new one is made
  # without tests, so that only the tool is needed.
  if [[ ! -f build/host/CMakeCache.txt ]]; then
    cmake -S . -B build/host -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
  fi
  cmake --build build/host --target mottle-steps -j 2 >/dev/null
fi
seed=20261207
steps=400
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$steps_tool" assets/mottle.bmp "$seed" "$steps" "$work/dissolved.bmp"
# 512 x 384: the square between x = 64 and 448 holds all four shapes' blots.
convert "$work/dissolved.bmp" -crop 384x384+64+0 +repage "$work/square.png"

# No time stamps or other metadata in the files, so they only change when
# the picture does.
plain=(-strip -define "png:exclude-chunks=date,time")
for size in 16 22 24 32 48 64 128 256; do
  convert "$work/square.png" -filter Lanczos -resize "${size}x${size}" \
    "${plain[@]}" "PNG32:assets/icons/mottler-$size.png"
done
# Windows picks the size it needs from one file: the list's sizes, the
# largest stored as PNG.
convert assets/icons/mottler-{16,32,48,256}.png assets/icons/mottler.ico
ls -l assets/icons
