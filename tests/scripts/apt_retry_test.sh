#!/usr/bin/env bash
# The installer's apt steps (scripts/lib.sh) with stand-ins for root, apt-get and sleep.
source "$(dirname "$0")/../../scripts/lib.sh"
out=$(mktemp) && trap 'rm -f "$out"' EXIT
as_root() { [[ $1 == env ]] && shift 2; "$@"; }  # runs the apt-get below, never the machine's
sleep() { calls+=$1; }
apt-get() {  # the first $fail updates fail as on a mirror mid-sync
  [[ $1 == update ]] && calls+=u && updates=${calls//[^u]/} && ((${#updates} <= fail)) && echo "E: Failed to fetch http://deb.example/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress? [IP: 192.0.2.1 80]" >&2 && return 100
  [[ $* == *install* ]] && calls+=i && ((install_fails)) && echo "E: You have held broken packages." >&2 && return 100 || return 0
}
check() {  # FAIL(first updates failing) INSTALL_FAILS(0/1) CALLS(u update, 7 pause, i install) STATUS OUTPUT-PATTERN
  local status=0; fail=$1 install_fails=$2 calls=
  { apt_update && apt_install wine32:i386; } >"$out" 2>&1 || status=$?
  [[ $calls == "$3" && $status == "$4" && $(<"$out") == $5 ]] && return
  echo "FAIL update failures $1, install fails $2: calls $calls, status $status, output: $(<"$out")"; exit 1
}
export MOTTLER_APT_TRIES=3 MOTTLER_APT_PAUSE=7
check 1 0 u7ui 0 '*trying again in 7 s'  # a transient failure: tried again after the pause
check 9 0 u7u7ui 0 '*going on with the package lists there are'  # every update fails; the lists at hand do
# Installing fails too: after apt's message, the index that could not be fetched and the advice.
check 9 1 u7u7ui 100 "*held broken packages.*package indexes:"$'\n'"  http://deb.example/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"$'\n'"What failed above*mirror may be*"$'\n'"Try again later."
