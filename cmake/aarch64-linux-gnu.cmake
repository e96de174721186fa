# 64-bit ARM Linux (arm64: Raspberry Pi OS, Debian and Ubuntu on ARM) with
# Debian's cross compiler and the arm64 libraries installed through multiarch
# (dpkg --add-architecture arm64; libgtk-3-dev:arm64 ...), which live in
# /usr/lib/aarch64-linux-gnu beside the build machine's own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# With the library architecture set, packages (GTest, benchmark) and
# libraries are found in the arm64 folders under /usr, never the build
# machine's; headers in /usr/include and its arm64 folder.
# pkg-config's cross wrapper (package pkgconf:arm64) reads the arm64 .pc files.
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for arm64")

# CTest runs the arm64 programs through QEMU's user-mode emulator; the arm64
# C library (libc6:arm64) provides the loader it starts them with.
find_program(MOTTLER_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64)
if(MOTTLER_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MOTTLER_QEMU_AARCH64})
endif()
