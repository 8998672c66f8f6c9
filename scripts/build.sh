#!/bin/sh
# Builds both targets: build/native (libraries, builder, native tests) and
# build/win32 (install.exe and the Win32 tests).
set -e
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
JOBS=${JOBS:-$(nproc)}
[ -f "$BUILD/native/build.ninja" ] || cmake -S . -B "$BUILD/native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
[ -f "$BUILD/win32/build.ninja" ] || cmake -S . -B "$BUILD/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" >/dev/null
ninja -C "$BUILD/native" -j "$JOBS"
ninja -C "$BUILD/win32" -j "$JOBS"
