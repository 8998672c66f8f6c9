#!/bin/sh
# Builds the example product's two installers:
#
#   sh examples/build.sh [OUT]      (OUT defaults to $BUILD/example)
#
# OUT/setup.exe installs Widget 2000, OUT/update.exe updates it. The program
# and its extension are compiled from examples/src with the mingw-w64 cross
# compiler into copies of the payload folders; ffsbuild and install.exe come
# from the build folder $BUILD (default build), made by scripts/build.sh,
# unless $FFSBUILD and $STUB name them. $VERSION, when set, is the version
# setup.exe shows on its backdrop (the script's own is 1.0).
set -e
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
OUT=${1:-$BUILD/example}
CC=${CC_WIN32:-i686-w64-mingw32-gcc}
FFSBUILD=${FFSBUILD:-$BUILD/native/builder/ffsbuild}
STUB=${STUB:-$BUILD/win32/installer/install.exe}
for f in "$FFSBUILD" "$STUB"; do
  [ -f "$f" ] || { echo "build.sh: $f is missing; run scripts/build.sh first" >&2; exit 1; }
done

rm -rf "$OUT/payload" "$OUT/update-payload"
mkdir -p "$OUT"
cp -r examples/payload "$OUT/payload"
cp -r examples/update-payload "$OUT/update-payload"
mkdir -p "$OUT/payload/bin" "$OUT/update-payload/bin"
$CC -Os -s -mwindows -o "$OUT/payload/bin/widget.exe" examples/src/widget.c
$CC -Os -s -mwindows -DWIDGET_VERSION='"1.1"' -o "$OUT/update-payload/bin/widget.exe" examples/src/widget.c
$CC -Os -s -shared -Wl,--kill-at -o "$OUT/payload/bin/widgetext.dll" examples/src/widgetext.c -ladvapi32

"$FFSBUILD" build -o "$OUT/setup.exe" --stub "$STUB" ${VERSION:+-D "VERSION=$VERSION"} examples/setup.txt "$OUT/payload"
"$FFSBUILD" build -o "$OUT/update.exe" --stub "$STUB" examples/update.txt "$OUT/update-payload"
echo "example installers: $OUT/setup.exe $OUT/update.exe"
