# Sourced by the scripts that show the program without a display of their
# own (run.sh headless, frame-bench.sh): a virtual X display with a window
# manager, the program's window found by caption, and waits with deadlines.

# wait_until SECONDS WHAT COMMAND...: polls COMMAND every 0.2 s until it
# succeeds; fails, naming WHAT, after SECONDS.
wait_until() {
  local deadline=$((SECONDS + $1)) what=$2
  shift 2
  until "$@" >/dev/null 2>&1; do
    if ((SECONDS >= deadline)); then
      echo "$(basename "$0"): timed out waiting for $what" >&2
      return 1
    fi
    sleep 0.2
  done
}

# start_virtual_display FIRST SIZE: an Xvfb display of SIZE (WIDTHxHEIGHT)
# on the first free number from FIRST on, and openbox on it (without a
# window manager Wine's windows take no keys and cannot be closed, and no
# window gets a frame). Exports DISPLAY; their process ids go into xvfb and wm.
start_virtual_display() {
  local number=$1
  while [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]]; do
    number=$((number + 1))
  done
  export DISPLAY=:$number
  Xvfb "$DISPLAY" -screen 0 "${2}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb=$!
  wait_until 20 "the virtual display" xdpyinfo
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  wait_until 20 "the window manager" wmctrl -m
}

# end_virtual_display: ends the window manager and the display.
end_virtual_display() {
  local pid
  for pid in ${wm:-} ${xvfb:-}; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

# main_window: the id of the window captioned mottle.bmp of process $program.
main_window() {
  wmctrl -l -p | awk -v pid="$program" '$3 == pid && $5 == "mottle.bmp" { print $1; exit }'
}
has_main_window() { [[ -n $(main_window) ]]; }
program_ended() { ! kill -0 "$program" 2>/dev/null; }
