#!/usr/bin/env bash
# scripts/install-deps.sh run|run-wine|run-web|test
#
# Installs the Debian packages that running the native program (run), running
# the Windows program under Wine (run-wine), building and serving the page
# (run-web) or building and testing everything (test) needs, skipping those
# already present, so that a fresh Debian 12 machine can run ./run.sh,
# ./run.sh --wine, ./run.sh --web or ./test.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

# The native program: the compiler and GTK 3.
native=(cmake make g++ pkg-config libgtk-3-dev)
# The Windows program under Wine: the cross compiler, 32-bit Wine and the
# locale data Wine takes its code page from.
wine=(cmake make g++-mingw-w64-i686-posix wine wine32:i386 locales)
# Either in a window: a virtual display with a small window manager, the
# tools that find and capture the window, and a Japanese font.
display=(xvfb openbox wmctrl x11-utils imagemagick fonts-ipafont-gothic)
# The host builds and their tests, the sanitizers and the fuzzer, the test
# libraries (GoogleTest's sources also for the Windows build), the source
# fetch for the Windows benchmark, driving windows by input (xmodmap gives
# the typed characters keys of their own), and making and checking the
# Debian package and the installed tree (dpkg-shlibdeps, file, lintian, the
# desktop entry's and AppStream's validators, man), the frame benchmark's X
# extensions (shared memory, DAMAGE), and the screensaver daemon the hack's
# end-to-end test runs it under (xscreensaver), and the Wayland session the
# native program's Wayland scenarios run in (weston, XWayland beside it).
tests=(
  g++ binutils clang libclang-rt-14-dev valgrind
  googletest libgtest-dev libbenchmark-dev dpkg-dev
  xdotool x11-xserver-utils xauth python3
  file lintian desktop-file-utils appstream man-db
  libxext-dev libxdamage-dev
  xscreensaver
  weston xwayland
)
# The page: the compiler to WebAssembly, Node to run the engine's tests and
# the page's test driver, and Chromium, which shows the page headless (the
# tests' browser, and ./run.sh --web's screenshot without a display). A
# machine whose Node comes from elsewhere keeps it: only a missing node or
# npm is installed from Debian.
web=(emscripten chromium python3)
command -v node >/dev/null || web+=(nodejs)
command -v npm >/dev/null || web+=(npm)
# The arm64 build (cross-compiled, its tests run under QEMU): the cross
# compiler, the user-mode emulator, and the arm64 libraries through
# multiarch, the C library among them (QEMU starts programs with its
# loader), pkg-config's arm64 wrapper, the test libraries and GTK 3.
arm64=(
  g++-aarch64-linux-gnu qemu-user-static
  libc6:arm64 pkgconf:arm64 libgtest-dev:arm64 libbenchmark-dev:arm64 libgtk-3-dev:arm64
)
case ${1:-} in
  run) packages=("${native[@]}" "${display[@]}") ;;
  run-wine) packages=("${wine[@]}" "${display[@]}") ;;
  run-web) packages=(cmake make "${web[@]}") ;;
  test) packages=("${native[@]}" "${wine[@]}" "${display[@]}" "${tests[@]}" "${web[@]}" "${arm64[@]}") ;;
  *) echo "usage: scripts/install-deps.sh run|run-wine|run-web|test" >&2; exit 2 ;;
esac

# The arm64 libraries are another architecture's packages, which apt offers
# once dpkg knows it.
if [[ $1 == test ]] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  as_root dpkg --add-architecture arm64
fi

# A bare name is the machine's own architecture's package or an
# architecture-independent one; the query lists every architecture's.
missing=()
native_arch=$(dpkg --print-architecture)
for package in "${packages[@]}"; do
  arch="($native_arch|all)"
  [[ $package == *:* ]] && arch=${package#*:}
  dpkg-query -W -f='${Architecture} ${Status}\n' "$package" 2>/dev/null |
    grep -Eqx "$arch install ok installed" || missing+=("$package")
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  apt_update
  apt_install "${missing[@]}"
fi

# The page's tests, and ./run.sh --web's screenshot without a display, drive
# Chromium with Playwright, at the version the project's lock file pins.
if [[ $1 == test || $1 == run-web ]]; then
  (cd "$here/.." && npm ci --no-audit --no-fund --loglevel=error)
fi

# Everything below is for Wine alone.
[[ $1 == run || $1 == run-web ]] && exit 0

# Wine takes the system's code page from the locale, which the C library
# must know: the program runs under the Japanese UTF-8 locale, and the tests
# run it under a Western one too.
locales=(ja_JP)
[[ $1 == test ]] && locales+=(en_US)
for name in "${locales[@]}"; do
  if ! locale -a 2>/dev/null | grep -qix "$name\.utf-\?8"; then
    echo "Generating the $name.UTF-8 locale"
    as_root localedef -i "$name" -c -f UTF-8 "$name.UTF-8"
  fi
done

# 32-bit Wine needs a kernel that runs 32-bit x86 programs. Some kernels have
# that switched off (ia32_emulation=off); there the kernel is told to run them
# through QEMU's user-mode emulator instead. Release 10 or later is needed:
# older ones ignore the address hints Wine reserves its memory with, and Wine
# then takes minutes to start. Debian 12 has it in bookworm-backports.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "This kernel does not run 32-bit programs; running them through qemu-i386"
  qemu=/usr/bin/qemu-i386
  fresh_qemu=0
  if ! "$qemu" --version 2>/dev/null | grep -Eq 'version ([1-9][0-9])\.'; then
    backports=/etc/apt/sources.list.d/mottler-bookworm-backports.sources
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
      add_debian_source "$backports" deb bookworm-backports
    fi
    apt_update
    apt_install -t bookworm-backports qemu-user-static
    fresh_qemu=1
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [[ -e $binfmt/register ]] || as_root mount -t binfmt_misc binfmt_misc "$binfmt"
  # A registration made before the emulator was replaced keeps the old file
  # open (flag F): make it anew after an install.
  if [[ -e $binfmt/qemu-i386 ]] && ((fresh_qemu)); then
    echo -1 | as_root tee "$binfmt/qemu-i386" >/dev/null
  fi
  if [[ ! -e $binfmt/qemu-i386 ]]; then
    # 32-bit little-endian x86 ELF executables and shared objects.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf '%s' ":qemu-i386:M::$magic:$mask:$qemu:F" | as_root tee "$binfmt/register" >/dev/null
  fi
  /lib/ld-linux.so.2 --version >/dev/null
fi
