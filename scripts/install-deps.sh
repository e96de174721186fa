#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, skipping those
# already present, so that a fresh Debian 12 machine can run ./test.sh.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev dpkg-dev valgrind binutils
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

echo "Installing: ${missing[*]}"
SUDO=()
[[ $(id -u) -eq 0 ]] || SUDO=(sudo)
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  "${SUDO[@]}" dpkg --add-architecture i386
fi
"${SUDO[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
