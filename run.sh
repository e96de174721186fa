#!/usr/bin/env bash
# ./run.sh [--wine | --web]
#
# Runs MOTTLER: installs what is missing, builds the program and starts it
# from the folder that holds the bundled mottle.bmp, in a window on your
# display. The program runs until you close its window.
#
# By default it is the native Linux program (GTK 3). With --wine it is the
# 32-bit Windows program, mottler.exe, under Wine. With --web it is the page,
# build/web/mottler.html, served on this machine's loopback address (printed)
# until Ctrl+C; the page also opens straight from disk.
#
# Without a display (no DISPLAY set) it starts a virtual one with a window
# manager, lets the program run for a few seconds (MOTTLER_RUN_SECONDS, 5 by
# default), saves a screenshot PNG, prints its path, closes the program and
# ends the virtual display.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
source scripts/lib.sh

case ${1:-} in
  "") wine=0 ;;
  --wine) wine=1 ;;
  --web) exec scripts/serve-page.sh ;;
  *) echo "usage: ./run.sh [--wine | --web]" >&2; exit 2 ;;
esac

# Only the program is built. A build folder that ./test.sh set up keeps its
# tests and benchmark; a new one is made without them, so nothing that only
# the tests need is required.
if ((wine)); then
  scripts/install-deps.sh run-wine
  build=build/win32
  configure=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake)
  screenshot=$root/build/mottler-wine-screenshot.png
else
  scripts/install-deps.sh run
  build=build/linux
  configure=(-DMOTTLER_PLATFORM=gtk)
  screenshot=$root/build/mottler-screenshot.png
fi
configure_if_missing "$build" "${configure[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
cmake --build "$build" --target mottler -j "$(nproc)" >/dev/null
folder=$root/$build

if ((wine)); then
  source scripts/wine-env.sh
  mottler_ensure_prefix
  program_command=(wine mottler.exe)
else
  program_command=(./mottler)
fi

if [[ -n ${DISPLAY:-} ]]; then
  cd "$folder"
  exec "${program_command[@]}"
fi

# --- no display: a virtual one, a screenshot, then everything ended ---------
program=
cleanup() {
  if [[ -n $program ]] && kill -0 "$program" 2>/dev/null; then
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
  fi
  # Wine's own processes of this prefix end by themselves once the program
  # is gone; wait for them, with a deadline.
  if ((wine)); then
    wait_wine_server 30 || true
  fi
  end_virtual_display
}
trap cleanup EXIT
start_virtual_display 99 1024x768

cd "$folder"
# A virtual display has no desktop services for GTK to reach.
if ((wine)); then
  "${program_command[@]}" >/dev/null 2>&1 &
else
  (headless_gtk_env && exec "${program_command[@]}") >/dev/null 2>&1 &
fi
program=$!
cd "$root"

window=$(x_session wait-window --pid "$program" --caption mottle.bmp --timeout 120)
sleep "${MOTTLER_RUN_SECONDS:-5}"

x_session capture --frame "$window" "$screenshot"
echo "$screenshot"

# Close the window as a person would and let the program end by itself.
x_session close "$window"
x_session wait-exit --pid "$program" --timeout 30
status=0
wait "$program" || status=$?
program=
if ((status != 0)); then
  echo "run.sh: the program ended with status $status" >&2
  exit 1
fi
