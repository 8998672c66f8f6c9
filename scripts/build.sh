#!/bin/sh
# Builds the targets: build/native (libraries, builder, native tests),
# build/win32 (install.exe, the i686 stub) and build/win64 (install64.exe,
# the x86_64 stub). The Win32 tests are built in the tree whose programs
# Wine runs here (scripts/wine-mode.sh): win32 where this machine runs
# 32-bit programs, else win64. Warnings are errors unless WERROR=OFF.
set -e
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
JOBS=${JOBS:-$(nproc)}
WERROR=${WERROR:-ON}
. scripts/wine-mode.sh
# The end-to-end cases run on the x64 product everywhere, and on the x86
# product where 32-bit programs run.
if [ "$WIN_BUILD" = win32 ]; then E2E_ARCHES="x64;x86"; else E2E_ARCHES=x64; fi
cmake -S . -B "$BUILD/native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_WERROR="$WERROR" \
  -DVANTOR_E2E_ARCHES="$E2E_ARCHES" >/dev/null
windows() {  # windows DIR ARCH [TARGET...]
  dir=$1 arch=$2; shift 2
  cmake -S . -B "$BUILD/$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_WERROR="$WERROR" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-$arch.cmake" >/dev/null
  ninja -C "$BUILD/$dir" -j "$JOBS" "$@"
}
ninja -C "$BUILD/native" -j "$JOBS"
# The other tree makes its stub, and what the end-to-end cases take from it
# (selfreg.dll), or the ffsbuild.exe the Windows zip carries.
if [ "$WIN_BUILD" = win32 ]; then
  windows win32 i686
  windows win64 x86_64 install-exe selfreg-dll
else
  windows win32 i686 install-exe ffsbuild
  windows win64 x86_64
fi
