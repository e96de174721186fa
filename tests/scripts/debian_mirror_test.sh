#!/usr/bin/env bash
# scripts/debian-mirror.sh on small folders of apt sources: it must find
# Debian's own archive in either source format, pass over third-party entries
# and disabled ones, and fail with advice when there is none.
set -u
here=$(cd "$(dirname "$0")" && pwd)
finder=$here/../../scripts/debian-mirror.sh
fixtures=$here/../data/apt
failed=0

expect() {  # FIXTURE EXPECTED-ADDRESS (empty: must fail)
  local output status
  output=$(bash "$finder" "$fixtures/$1" bookworm 2>&1)
  status=$?
  if [[ -n $2 ]]; then
    [[ $status -eq 0 && $output == "$2" ]] && return
  else
    [[ $status -ne 0 && $output == *"Add Debian's archive"* ]] && return
  fi
  echo "FAIL $1: status $status, output: $output"
  failed=1
}

expect deb822-only http://deb.debian.org/debian
expect one-line-only http://ftp.de.debian.org/debian/
expect third-party-first http://mirror.example.org/debian
expect none ""
((failed == 0)) && echo "debian-mirror: all fixtures pass"
exit "$failed"
