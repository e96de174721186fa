#!/usr/bin/env bash
# Runs MOTTLER: installs what is missing, builds the 32-bit Windows program and
# starts mottler.exe under Wine from the folder that holds the bundled
# mottle.bmp, in a window on your display. The program runs until you close
# its window.
#
# Without a display (no DISPLAY set) it starts a virtual one with a window
# manager, lets the program run for a few seconds (MOTTLER_RUN_SECONDS, 5 by
# default), saves a screenshot PNG, prints its path, closes the program and
# ends the virtual display.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD

scripts/install-deps.sh run
# Only the program is built. A build folder that ./test.sh set up keeps its
# tests and benchmark; a new one is made without them, so nothing that only
# the tests need is required.
if [[ ! -f build/win32/CMakeCache.txt ]]; then
  cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build build/win32 --target mottler -j "$(nproc)" >/dev/null

source scripts/wine-env.sh
mottler_ensure_prefix
folder=$root/build/win32

if [[ -n ${DISPLAY:-} ]]; then
  cd "$folder"
  exec wine mottler.exe
fi

# --- no display: a virtual one, a screenshot, then everything ended ---------
xvfb= wm= program=
cleanup() {
  if [[ -n $program ]] && kill -0 "$program" 2>/dev/null; then
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
  fi
  # Wine's own processes of this prefix end by themselves once the program
  # is gone; wait for them, with a deadline.
  timeout 30 wineserver --wait 2>/dev/null || wineserver --kill 2>/dev/null || true
  for pid in $wm $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap cleanup EXIT

# Polls COMMAND... every 0.2 s until it succeeds; fails after SECONDS.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    if ((SECONDS >= deadline)); then
      echo "run.sh: timed out waiting for $what" >&2
      return 1
    fi
    sleep 0.2
  done
}

display=99
while [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]]; do
  display=$((display + 1))
done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
wait_until 20 "the virtual display" xdpyinfo
# Without a window manager Wine's windows take no keys and cannot be closed.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
wait_until 20 "the window manager" wmctrl -m

cd "$folder"
wine mottler.exe >/dev/null 2>&1 &
program=$!
cd "$root"

main_window() {  # the id of the program's window captioned mottle.bmp
  wmctrl -l -p | awk -v pid="$program" '$3 == pid && $5 == "mottle.bmp" { print $1; exit }'
}
has_main_window() { [[ -n $(main_window) ]]; }
wait_until 120 "the program's window" has_main_window
sleep "${MOTTLER_RUN_SECONDS:-5}"

screenshot=$root/build/mottler-screenshot.png
import -frame -window "$(main_window)" "$screenshot"
echo "$screenshot"

# Close the window as a person would and let the program end by itself.
wmctrl -i -c "$(main_window)"
program_running() { kill -0 "$program" 2>/dev/null; }
program_ended() { ! program_running; }
wait_until 30 "the program to end" program_ended
status=0
wait "$program" || status=$?
program=
if ((status != 0)); then
  echo "run.sh: mottler.exe ended with status $status" >&2
  exit 1
fi
