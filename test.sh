#!/usr/bin/env bash
# The one test command: installs what is missing, configures and builds every
# build from this tree and runs all tests through CTest.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
jobs=$(nproc)

configure_build_test() {  # NAME [cmake arguments...]
  local dir="build/$1"
  shift
  echo "== $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

# Linux host: the engine, the host platform, the tests and the tools.
configure_build_test host

# The same tests with AddressSanitizer and UndefinedBehaviorSanitizer.
configure_build_test asan \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

# 32-bit Windows, cross-compiled with MinGW-w64.
echo "== build/win32"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/win32 -j "$jobs"
# The Windows build's tests: the executable's imports, the engine tests under
# Wine, and the end-to-end scenarios of mottler.exe under Wine in virtual
# displays. All Wine runs share one prefix, made here once.
scripts/wine-prefix.sh
ctest --test-dir build/win32 --output-on-failure -j "$jobs"
cat build/win32/e2e-captures/summary.txt
