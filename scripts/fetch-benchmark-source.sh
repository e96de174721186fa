#!/usr/bin/env bash
# Puts the source of Debian's Google Benchmark package under build/_deps so the
# Windows build can compile it with the cross compiler (Debian ships the
# library only for the host). Does nothing when the source is already there.
# Prints the path of the source folder as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts=$PWD/scripts

deps=build/_deps
find_source() {
  find "$deps" -maxdepth 2 -name CMakeLists.txt -path "$deps/benchmark-*" 2>/dev/null | head -n 1 || true
}

found=$(find_source)
if [[ -z "$found" ]]; then
  SUDO=()
  [[ $(id -u) -eq 0 ]] || SUDO=(sudo)
  mkdir -p "$deps"
  fetch() { (cd "$deps" && apt-get source -qq benchmark >/dev/null); }
  if ! fetch; then
    # apt-get source needs a source index: add one for Debian's main archive
    # when no deb-src entry exists yet, and read the indexes again.
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
      codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
      mirror=$("$scripts/debian-mirror.sh")
      printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$mirror" "$codename" | "${SUDO[@]}" tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
    fi
    "${SUDO[@]}" apt-get update -qq
    fetch
  fi
  found=$(find_source)
fi
[[ -n "$found" ]] || { echo "fetch-benchmark-source: no benchmark source in $deps" >&2; exit 1; }
dirname "$(realpath "$found")"
