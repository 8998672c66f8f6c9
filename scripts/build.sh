#!/bin/sh
# Builds both targets: build/native (libraries, builder, native tests) and
# build/win32 (install.exe and the Win32 tests), and build/win64 where this
# machine runs only 64-bit programs (scripts/wine-mode.sh). Warnings are
# errors unless WERROR=OFF.
set -e
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
JOBS=${JOBS:-$(nproc)}
WERROR=${WERROR:-ON}
. scripts/wine-mode.sh
cmake -S . -B "$BUILD/native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_WERROR="$WERROR" \
  -DVANTOR_WIN32_BUILD="$PWD/$BUILD/$WIN_BUILD" >/dev/null
windows() {  # windows DIR ARCH [TARGET...]
  dir=$1 arch=$2; shift 2
  cmake -S . -B "$BUILD/$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_WERROR="$WERROR" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-$arch.cmake" >/dev/null
  ninja -C "$BUILD/$dir" -j "$JOBS" "$@"
}
ninja -C "$BUILD/native" -j "$JOBS"
if [ "$WIN_BUILD" = win32 ]; then
  windows win32 i686
else  # the i686 tree makes the product only; the Windows tests run from win64
  windows win32 i686 install-exe ffsbuild
  windows win64 x86_64
fi
