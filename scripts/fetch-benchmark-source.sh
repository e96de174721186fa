#!/usr/bin/env bash
# Puts the source of Debian's Google Benchmark package under build/_deps so the
# Windows benchmark can be compiled with the cross compiler (Debian ships the
# library only for the host). Does nothing when the source is already there.
# Prints the path of the source folder as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts=$PWD/scripts
source "$scripts/lib.sh"

deps=build/_deps
find_source() {
  find "$deps" -maxdepth 2 -name CMakeLists.txt -path "$deps/benchmark-*" 2>/dev/null | head -n 1 || true
}

found=$(find_source)
if [[ -z "$found" ]]; then
  mkdir -p "$deps"
  fetch() { (cd "$deps" && apt-get source -qq benchmark >/dev/null); }
  # Without a source index the first try fails; that is expected here.
  if ! fetch 2>/dev/null; then
    # apt-get source needs a source index of Debian's own archive; a stock
    # Debian 12 has none. Add one for the archive the machine already uses,
    # and read the indexes again.
    entry=/etc/apt/sources.list.d/mottler-debian-src.sources
    if [[ ! -f $entry ]]; then
      codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
      add_debian_source "$entry" deb-src "$codename"
    fi
    apt_update
    fetch || { apt_unfetched_advice; exit 1; }
  fi
  found=$(find_source)
fi
[[ -n "$found" ]] || { echo "fetch-benchmark-source: no benchmark source in $deps" >&2; exit 1; }
dirname "$(realpath "$found")"
