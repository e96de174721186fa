# Sourced by the scripts that run the Windows build under Wine: one prefix per
# working tree (build/wineprefix unless MOTTLER_WINEPREFIX names another),
# quiet Wine, no offers to install Wine's .NET or HTML runtimes, and the
# Japanese locale so that the program's Shift_JIS texts read as Japanese.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
export WINEPREFIX=${MOTTLER_WINEPREFIX:-$mottler_root/build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8
unset LC_ALL LANGUAGE

# Makes the prefix if it is missing. Wine's first start in a new prefix takes
# a while, so this happens once and under a lock: tests started in parallel
# wait for the one that makes it.
mottler_ensure_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
      rm -rf "$WINEPREFIX"
      echo "Making the Wine prefix $WINEPREFIX" >&2
      # No display: the prefix is made without showing anything.
      env -u DISPLAY wine wineboot --init >/dev/null 2>&1
      wait_wine_server 600 || true
      [[ -f $WINEPREFIX/system.reg ]] || { echo "Wine prefix not made" >&2; exit 1; }
    fi
  ) 9>"$WINEPREFIX.lock"
}
