#!/usr/bin/env bash
# scripts/frame-bench.sh [SECONDS]
#
# Frames per second of the whole program, on a virtual display: mottler.exe
# under Wine and the native Linux program, each beside the same program with
# its step left out (mottler-drawonly, drawing only), on the same pictures in
# the same run. The ratio shipped / draw-only says how much of every frame
# the step still takes; native / Wine compares the two programs.
#
# Beside them runs the drawing yardstick (bench/draw_yardstick.cpp): the least
# a program can do to show a new 24-bit frame of the same size in an X window
# (rows turned into 32-bit pixels, put through shared memory, the server's
# completion waited for); each program's frames are also given as a share of
# the yardstick's.
#
# The screensaver hack (mottlescreen) is measured full screen: with --root
# on a display of the picture's size, dissolving that picture; its frames go
# into the root window itself, and are counted there.
#
# The page (build/web/mottler.html) runs in headless Chromium beside them, on
# the same pictures: its generations per second and the frames its canvas
# showed of those the browser offered, from the page's own frame counter
# (bench/page_bench.js); page / native is its share of the native program's
# frames. The page has no draw-only variant: it turns only the generation a
# frame shows into pixels, so without the step it would measure its loop.
#
# Frames are counted the same way for every program, from the X server's side
# (bench/damage_count.cpp, the DAMAGE extension on the program's window):
# nothing runs inside the programs while they are timed. Each program runs
# SECONDS (10 by default) after 2 s to settle. Run ./test.sh or ./run.sh and
# ./run.sh --wine once first, so that what the builds need is installed.
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
cmake --build build/linux --target mottler mottler-drawonly mottlescreen mottle-yardstick mottle-damage-count \
  -j "$(nproc)" >/dev/null
[[ -f build/web/CMakeCache.txt ]] ||
  NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B build/web -DBUILD_TESTING=OFF >/dev/null
NODE_PATH=/usr/share/nodejs cmake --build build/web --target mottler_page \
  -j "$(nproc)" >/dev/null
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
  local kind=$1 name=$2 size=$3 folder=$work/$3 caption=mottle.bmp
  cd "$folder"
  [[ $kind == yardstick ]] || cp "$root/build/$kind/$name" .
  case $kind in
    win32) wine "./$name" >/dev/null 2>&1 & ;;
    linux) (headless_gtk_env && exec "./$name") >/dev/null 2>&1 & ;;
    yardstick) "$root/build/linux/$name" "${size%x*}" "${size#*x}" >/dev/null 2>&1 &
      caption=$name ;;
  esac
  program=$!
  cd "$root"
  window=$(x_session wait-window --pid "$program" --caption "$caption" --timeout 300)
  build/linux/mottle-damage-count "$window" "${size%x*}" "${size#*x}" "$settle" "$seconds"
  x_session close "$window"
  x_session wait-exit --pid "$program" --timeout 60
  wait "$program" || true
  program=
  [[ $kind == win32 ]] && wait_wine_server 60
  return 0
}

# Does the root window show anything but one colour?
root_drawn() {
  [[ $(import -window root -depth 8 rgb:- 2>/dev/null | od -An -v -tx1 -w3 | sort -u | head -n 2 | wc -l) -gt 1 ]]
}

# run_saver SIZE: mottlescreen --root on a display of SIZE of its own,
# dissolving the picture of that size; prints its frames per second ("-"
# when it draws nothing). It runs in a subshell of its caller, so it ends
# what it started itself.
run_saver() {
  local size=$1 root_window hack fps=-
  end_virtual_display
  start_virtual_display 150 "$size" >/dev/null
  root_window=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
  build/linux/mottlescreen --root --picture "$work/$size/mottle.bmp" >/dev/null 2>&1 &
  hack=$!
  # It draws on the root window itself: it runs once its first frame has
  # changed the root window from the black the display started with.
  local deadline=$((SECONDS + 60))
  until root_drawn || ((SECONDS >= deadline)); do
    sleep 0.2
  done
  if kill -0 "$hack" 2>/dev/null && root_drawn; then
    fps=$(build/linux/mottle-damage-count "$root_window" "${size%x*}" "${size#*x}" "$settle" "$seconds")
  else
    echo "mottlescreen drew nothing" >&2
  fi
  kill "$hack" 2>/dev/null || true
  wait "$hack" 2>/dev/null || true
  end_virtual_display
  echo "$fps"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf (b > 0 ? "%.2f" : "-"), a / b }'; }

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)
echo "== frames per second, $seconds s each after $settle s to settle ($cpu, $(nproc) cores)"
printf '%-10s %-28s %9s %10s %10s %10s\n' picture program shipped draw-only "/draw-only" "/yardstick"
declare -A yardsticks=()
for size in "${sizes[@]}"; do
  declare -A fps=()
  yardstick=$(run_one yardstick mottle-yardstick "$size")
  yardsticks[$size]=$yardstick
  printf '%-10s %-28s %9s\n' "$size" "yardstick (MIT-SHM, waits)" "$yardstick"
  for kind in linux win32; do
    if [[ $kind == win32 ]]; then
      shipped=mottler.exe drawonly=mottler-drawonly.exe label="mottler.exe under Wine"
    else
      shipped=mottler drawonly=mottler-drawonly label="mottler, native (GTK 3)"
    fi
    fps[$kind]=$(run_one "$kind" "$shipped" "$size")
    bare=$(run_one "$kind" "$drawonly" "$size")
    printf '%-10s %-28s %9s %10s %10s %10s\n' "$size" "$label" "${fps[$kind]}" "$bare" \
      "$(ratio "${fps[$kind]}" "$bare")" "$(ratio "${fps[$kind]}" "$yardstick")"
  done
  printf '%-10s %-28s %9s\n' "$size" "native / Wine" "$(ratio "${fps[linux]}" "${fps[win32]}")"
  read -r page shown offered < <(node bench/page_bench.js build/web/mottler.html "$work/$size/mottle.bmp" \
    "$settle" "$seconds")
  printf '%-10s %-28s %9s %10s %10s %10s\n' "$size" "page, headless Chromium" "$page" - - \
    "$(ratio "$page" "$yardstick")"
  printf '%-10s %-28s %9s   (canvas showed %s of %s frames offered a second)\n' "$size" "page / native" \
    "$(ratio "$page" "${fps[linux]}")" "$shown" "$offered"
done
saver_size=1920x1080
saver=$(run_saver "$saver_size")
printf '%-10s %-28s %9s %10s %10s %10s\n' "$saver_size" "mottlescreen --root (full)" "$saver" - - \
  "$(ratio "$saver" "${yardsticks[$saver_size]}")"
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  echo "This machine runs 32-bit programs through QEMU's translator: the Wine figures are the translator's."
fi
