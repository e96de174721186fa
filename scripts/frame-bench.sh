#!/usr/bin/env bash
# scripts/frame-bench.sh [SECONDS]
#
# Frames per second of the whole program, on a virtual display: mottler.exe
# under Wine and the native Linux program, each beside the same program with
# its step left out (mottler-drawonly, drawing only), on the same pictures in
# the same run. The ratio shipped / draw-only says how much of every frame
# the step still takes; native / Wine compares the two programs.
#
# Frames are counted from outside the programs: under Wine from Wine's own
# trace of its DIB drawing (WINEDEBUG=trace+dib, one dibdrv_PutImage per
# frame drawn into the window), natively by a preloaded library that notes
# every frame GTK puts on the screen (bench/frame_count.cpp). Each program
# runs SECONDS (10 by default) after 2 s to settle, counted from its first
# frame. Run ./test.sh or ./run.sh and ./run.sh --wine once first, so that
# what the builds need is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/lib.sh
seconds=${1:-10}
settle=2
sizes=(640x480 1920x1080)

echo "== building"
configure_if_missing build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
configure_if_missing build/linux -DMOTTLER_PLATFORM=gtk -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF
cmake --build build/win32 --target mottler mottler-drawonly -j "$(nproc)" >/dev/null
cmake --build build/linux --target mottler mottler-drawonly mottle-frame-count -j "$(nproc)" >/dev/null
source scripts/wine-env.sh
mottler_ensure_prefix

work=$root/build/frame-bench
rm -rf "$work"
mkdir -p "$work"
for size in "${sizes[@]}"; do
  mkdir -p "$work/$size"
  python3 -c 'import sys; sys.path.insert(0, "tests/e2e"); import pictures
pictures.make_bmp(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]))' \
    "$work/$size/mottle.bmp" "${size%x*}" "${size#*x}"
done

program=
cleanup() {
  if [[ -n $program ]]; then
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
  fi
  wait_wine_server 30 || true
  end_virtual_display
}
trap cleanup EXIT
# Large enough for the largest picture with its frame.
start_virtual_display 150 2560x1600

# run_one KIND PROGRAM SIZE: runs it and prints its frames per second.
run_one() {
  local kind=$1 name=$2 size=$3 folder=$work/$3 log
  log=$folder/$name.frames
  cp "build/$kind/$name" "$folder/"
  cd "$folder"
  if [[ $kind == win32 ]]; then
    WINEDEBUG=+timestamp,trace+dib wine "./$name" >/dev/null 2>"$log" &
  else
    (headless_gtk_env && MOTTLER_FRAME_LOG=$log LD_PRELOAD=$root/build/linux/libmottle-frame-count.so \
      exec "./$name") >/dev/null 2>&1 &
  fi
  program=$!
  cd "$root"
  window=$(x_session wait-window --pid "$program" --caption mottle.bmp --timeout 300)
  sleep "$((settle + seconds + 1))"
  x_session close "$window"
  x_session wait-exit --pid "$program" --timeout 60
  wait "$program" || true
  program=
  [[ $kind == win32 ]] && wait_wine_server 60
  # Frame times in seconds, and what they were drawn on: Wine's trace lines
  # begin with the time and name the device drawn to (its own start-up draws
  # on others; the window's is the one drawn to most), the frame counter
  # writes times of the window's frames only.
  if [[ $kind == win32 ]]; then
    grep ':trace:dib:dibdrv_PutImage ' "$log" | awk -F'[: ]' '{ print $1, $(NF-1) }'
  else
    awk '{ print $1, "window" }' "$log"
  fi | awk -v settle="$settle" -v seconds="$seconds" '
    { time[NR] = $1; device[NR] = $2; drawn[$2]++ }
    END {
      for (d in drawn) if (drawn[d] > best) { best = drawn[d]; window = d }
      for (i = 1; i <= NR; i++) {
        if (device[i] != window) continue
        if (start == "") start = time[i] + settle
        if (time[i] >= start && time[i] < start + seconds) frames++
      }
      printf "%.0f\n", frames / seconds
    }'
}

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)
echo "== frames per second, $seconds s each after $settle s to settle ($cpu, $(nproc) cores)"
printf '%-10s %-28s %10s %10s %7s\n' picture program shipped draw-only ratio
for size in "${sizes[@]}"; do
  declare -A fps=()
  for kind in win32 linux; do
    if [[ $kind == win32 ]]; then
      shipped=mottler.exe drawonly=mottler-drawonly.exe label="mottler.exe under Wine"
    else
      shipped=mottler drawonly=mottler-drawonly label="mottler, native (GTK 3)"
    fi
    fps[$kind]=$(run_one "$kind" "$shipped" "$size")
    bare=$(run_one "$kind" "$drawonly" "$size")
    printf '%-10s %-28s %10s %10s %7s\n' "$size" "$label" "${fps[$kind]}" "$bare" \
      "$(awk -v a="${fps[$kind]}" -v b="$bare" 'BEGIN { printf (b > 0 ? "%.2f" : "-"), a / b }')"
  done
  printf '%-10s %-28s %10s\n' "$size" "native / Wine" \
    "$(awk -v a="${fps[linux]}" -v b="${fps[win32]}" 'BEGIN { printf (b > 0 ? "%.2f" : "-"), a / b }')"
done
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  echo "This machine runs 32-bit programs through QEMU's translator: the Wine figures are the translator's."
fi
