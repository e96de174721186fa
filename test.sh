#!/usr/bin/env bash
# The one test command: installs what is missing, configures and builds every
# build from this tree and runs all tests through CTest.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh test
jobs=$(nproc)

configure_build_test() {  # NAME [cmake arguments...]
  local dir="build/$1"
  shift
  echo "== $dir"
  # Tests on, whatever a build folder that ./run.sh made has in its cache.
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

# Linux host: the engine, the host platform, the tests and the tools.
configure_build_test host

# The same tests with AddressSanitizer and UndefinedBehaviorSanitizer; any
# finding, a leak included, fails the test that made it. The check after it
# makes sure the flags reached every compile and link.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
configure_build_test asan -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
scripts/check-sanitized.sh build/asan

# The page: the engine's tests and mottle-steps under Node (against the host
# build's), build/web/mottler.html and its scenarios in headless Chromium.
echo "== build/web"
export NODE_PATH=/usr/share/nodejs  # Emscripten's own tools' modules
emcmake cmake -S . -B build/web -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
  -DMOTTLER_HOST_MOTTLE_STEPS="$PWD/build/host/mottle-steps" >/dev/null
cmake --build build/web -j "$jobs"
ctest --test-dir build/web --output-on-failure -j "$jobs"

# The loader fuzzed (clang, libFuzzer, ASan and UBSan) with a fixed number
# of inputs from a fixed seed, so every run gives the same verdict; any
# finding fails the run. scripts/fuzz.sh SECONDS is for long runs.
echo "== build/fuzz"
scripts/fuzz.sh --runs 20000

# The native Linux program on GTK 3, the end-to-end scenarios driving it in
# virtual displays and its installed tree.
configure_build_test linux -DMOTTLER_PLATFORM=gtk
# Its Debian package: the control fields, the files, and lintian's verdict.
cmake --build build/linux --target package >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/linux/CMakeCache.txt)
tests/packaging/check_deb.sh "build/linux/mottler_${version}_$(dpkg --print-architecture).deb" "$version"

# 64-bit ARM Linux (Raspberry Pi OS, Debian and Ubuntu on ARM), cross-compiled
# against the arm64 libraries, its tests run under qemu-aarch64: the engine's
# (the NEON kernel's exactness among them) and mottle-steps compared with the
# host build's on the same pictures and seeds; then the GTK program, its
# start-up scenario under the emulator, and its Debian package, checked as
# the amd64 one is.
arm64=(-DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake)
configure_build_test arm64 "${arm64[@]}" -DMOTTLER_HOST_MOTTLE_STEPS="$PWD/build/host/mottle-steps"
configure_build_test arm64-gtk "${arm64[@]}" -DMOTTLER_PLATFORM=gtk
cmake --build build/arm64-gtk --target package >/dev/null
tests/packaging/check_deb.sh "build/arm64-gtk/mottler_${version}_arm64.deb" "$version" arm64

# 32-bit Windows, cross-compiled with MinGW-w64.
echo "== build/win32"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DMOTTLER_WINDOWS_BENCHMARK=ON >/dev/null
cmake --build build/win32 -j "$jobs"
# The release archive, with what a Windows user needs in it.
cmake --build build/win32 --target package >/dev/null
archive=build/win32/mottler-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win32/CMakeCache.txt)-win32.zip
listing=$(cmake -E tar tf "$archive")
for file in mottler.exe mottler.scr mottle.bmp README.txt LICENSE.txt; do
  grep -q "/$file\$" <<<"$listing" || { echo "$archive lacks $file" >&2; exit 1; }
done
# The Windows build's tests: the executable's imports, the engine tests under
# Wine, and the end-to-end scenarios of mottler.exe under Wine in virtual
# displays. All Wine runs share one prefix, made here once.
scripts/wine-prefix.sh
ctest --test-dir build/win32 --output-on-failure -j "$jobs"
cat build/linux/e2e-captures/*/summary.txt build/arm64-gtk/e2e-captures/*/summary.txt \
  build/win32/e2e-captures/*/summary.txt build/web/e2e-captures/*/summary.txt
