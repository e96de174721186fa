# Sourced by the project's scripts: the helpers they share. Sourcing it only
# defines functions (and mottler_root, the top of the tree); nothing runs.
mottler_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# as_root COMMAND...: runs a command as root, directly when already root,
# otherwise through sudo without a password prompt (sudo -n), so that an
# unattended run without root stops at once with a clear message instead of
# waiting for a password nobody will type.
as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    "$@"
    return
  fi
  if ! command -v sudo >/dev/null 2>&1 || ! sudo -n true 2>/dev/null; then
    echo "$(basename "$0"): needs root to run: $*" >&2
    echo "Run it as root, or where sudo works without a password." >&2
    exit 1
  fi
  sudo -n "$@"
}

# add_debian_source FILE TYPES SUITE: writes FILE, an apt source (deb822) for
# SUITE's main component of the Debian archive this machine already uses
# (scripts/debian-mirror.sh), signed by Debian's archive key.
add_debian_source() {
  local mirror
  mirror=$("$mottler_root/scripts/debian-mirror.sh") || return 1
  printf 'Types: %s\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$2" "$mirror" "$3" | as_root tee "$1" >/dev/null
}

# apt_update: apt-get update, tried again when it fails. A Debian mirror in
# the middle of a sync serves indexes that do not match their Release file
# for a few minutes, so a failed update is tried MOTTLER_APT_TRIES times in
# all (4 by default) with MOTTLER_APT_PAUSE seconds between tries (20: a
# minute of pauses at most). When every try fails it goes on with the lists
# apt has, which often hold every package wanted; the indexes the last try
# could not fetch stay in apt_unfetched for apt_unfetched_advice. apt reports
# some fetch failures as warnings with success, so a "Failed to fetch" line
# counts as a failure too.
apt_update() {
  local tries=${MOTTLER_APT_TRIES:-4} pause=${MOTTLER_APT_PAUSE:-20} try log status
  as_root true  # without root, stops here with as_root's message on screen
  log=$(mktemp)
  for ((try = 1; ; try++)); do
    status=0
    as_root apt-get update -qq >"$log" 2>&1 || status=$?
    cat "$log" >&2
    mapfile -t apt_unfetched < <(sed -n '/^[EW]: Failed to fetch /{
      s/^[EW]: Failed to fetch \([^ ]*\) *\(.*\)/\1  \2/; s/ *\[IP: [^]]*\]//; s/ *$//; p; }' "$log")
    ((status == 0 && ${#apt_unfetched[@]} == 0)) && break
    # A failure that names no index is reported by its exit status alone.
    ((${#apt_unfetched[@]} > 0)) || apt_unfetched=("(apt-get update ended with status $status)")
    if ((try >= tries)); then
      echo "apt-get update failed $tries times; going on with the package lists there are" >&2
      break
    fi
    echo "apt-get update failed (try $try of $tries); trying again in $pause s" >&2
    sleep "$pause"
  done
  rm -f "$log"
  return 0
}

# apt_install [apt-get install arguments...] PACKAGE...: installs without
# questions or recommended packages; when that fails, apt_unfetched_advice
# follows apt's own messages.
apt_install() {
  local status=0
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 \
    install -y -qq --no-install-recommends "$@" >/dev/null || status=$?
  ((status == 0)) && return 0
  apt_unfetched_advice
  return "$status"
}

# apt_unfetched_advice: after apt failed to install or fetch something, names
# the indexes apt_update could not fetch, if any, and what to do: apt itself
# then only reports held broken packages or ones it cannot find.
apt_unfetched_advice() {
  local index
  [[ -n ${apt_unfetched[*]:-} ]] || return 0
  {
    echo
    echo "$(basename "$0"): apt-get update could not fetch these package indexes:"
    for index in "${apt_unfetched[@]}"; do echo "  $index"; done
    echo "What failed above may need one of them. The Debian mirror may be in the"
    echo "middle of a sync, which leaves its indexes out of step for a while."
    echo "Try again later."
  } >&2
}

# configure_if_missing DIR [cmake arguments...]: configures the build folder
# DIR from the top of the tree unless it has been configured already, so that
# a folder ./test.sh set up keeps its settings.
configure_if_missing() {
  local dir=$1
  shift
  if [[ ! -f $dir/CMakeCache.txt ]]; then
    cmake -S "$mottler_root" -B "$dir" "$@" >/dev/null
  fi
}

# wait_wine_server SECONDS: waits for the Wine server of $WINEPREFIX and the
# processes it serves to end; after SECONDS it ends them and fails.
wait_wine_server() {
  timeout "$1" wineserver --wait 2>/dev/null && return
  wineserver --kill 2>/dev/null || true
  return 1
}

# headless_gtk_env: the environment of the native program on a virtual
# display, which has none of the desktop services GTK would otherwise reach
# (accessibility bus, portals, settings daemon, session bus, Wayland).
headless_gtk_env() {
  export GDK_BACKEND=x11 NO_AT_BRIDGE=1 GTK_USE_PORTAL=0 GSETTINGS_BACKEND=memory
  unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
}

# x_session COMMAND...: the virtual X session of tests/e2e/xsession.py, the
# one the end-to-end tests use: start, stop, wait-window, close, capture,
# wait-exit (see its usage).
x_session() {
  python3 "$mottler_root/tests/e2e/xsession.py" "$@"
}

# start_virtual_display FIRST SIZE: an Xvfb display of SIZE (WIDTHxHEIGHT)
# on the first free number from FIRST on, with a window manager. Exports
# DISPLAY; the processes' ids go into XVFB_PID and WM_PID.
start_virtual_display() {
  local started
  started=$(x_session start --first "$1" --size "$2") || return 1
  eval "$started"
  export DISPLAY
}

# end_virtual_display: ends the window manager and the display, if started.
end_virtual_display() {
  if [[ -n ${WM_PID:-}${XVFB_PID:-} ]]; then
    x_session stop ${WM_PID:-} ${XVFB_PID:-}
  fi
  WM_PID= XVFB_PID=
}
