#!/bin/sh
# What the run's journal costs: install time under Wine of one payload
# folder (sh bench/make-payload.sh makes one of about 1,000 files and 40 MB)
# with the product's stub and with the same stub built without the journal
# (-DVANTOR_JOURNAL=OFF, in BUILD/nojournal-<tree>): a first installation
# into an empty folder, and an update that replaces every file. The default
# build (ffsbuild build without a method) of the payload, installed
# unattended; medians of three runs, and the ratio with / without. Three
# kinds: a first installation, an update whose files are all the same
# (each is compared and kept), and an update whose every file differs in
# its last byte (each is compared to its end, then replaced).
#   sh bench/journal-cost.sh PAYLOAD_DIR [build]
set -e
cd "$(dirname "$0")/.."
PAYLOAD=$(cd "$1" && pwd)
BUILD=${2:-build}
. bench/wine-bench.sh
if [ "$WIN_BUILD" = win32 ]; then arch=i686; else arch=x86_64; fi
cmake -S . -B "$BUILD/nojournal-$WIN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_JOURNAL=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-$arch.cmake" >/dev/null
ninja -C "$BUILD/nojournal-$WIN_BUILD" install-exe >/dev/null
PLAIN=$(ls "$PWD/$BUILD/nojournal-$WIN_BUILD"/installer/install*.exe)
OUT="$WINEPREFIX/drive_c/bench-out"
cd "$TMP"
"$FFSBUILD" build -o "$TMP/with.exe" --stub "$STUB" "$TMP/setup.txt" "$PAYLOAD" >/dev/null
"$FFSBUILD" build -o "$TMP/without.exe" --stub "$PLAIN" "$TMP/setup.txt" "$PAYLOAD" >/dev/null
# The payload with the last byte of every file changed: version 2.
cp -r "$PAYLOAD" "$TMP/v2"
find "$TMP/v2" -type f -size +0 | python3 -c '
import sys
for path in sys.stdin.read().splitlines():
    with open(path, "r+b") as f:
        f.seek(-1, 2); b = f.read(1); f.seek(-1, 2); f.write(bytes([b[0] ^ 1]))'
"$FFSBUILD" build -o "$TMP/with-v2.exe" --stub "$STUB" "$TMP/setup.txt" "$TMP/v2" >/dev/null
"$FFSBUILD" build -o "$TMP/without-v2.exe" --stub "$PLAIN" "$TMP/setup.txt" "$TMP/v2" >/dev/null
printf 'payload: %s files; %s under Wine\n' "$(find "$PAYLOAD" -type f | wc -l)" "$WIN_BUILD"

# median3 FRESH|SAME|CHANGED EXE: the median seconds of three installations
# (after one untimed), each into an empty folder (the last run's set aside),
# over the same files or over a new installation of version 1 (EXE's -v2
# then is what is timed).
median3() {
  set_aside "$OUT"
  wine "$2" -silent "-dir=C:\\bench-out" >/dev/null 2>&1
  for i in 1 2 3; do
    [ "$1" = SAME ] || set_aside "$OUT"
    exe=$2
    if [ "$1" = CHANGED ]; then
      wine "$2" -silent "-dir=C:\\bench-out" >/dev/null 2>&1
      exe=${2%.exe}-v2.exe
    fi
    start=$(date +%s.%N)
    wine "$exe" -silent "-dir=C:\\bench-out" >/dev/null 2>&1 || { echo "failed: $exe" >&2; exit 1; }
    awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.3f\n", b - a}'
  done | sort -n | sed -n 2p
}
printf '%-22s %12s %12s %8s\n' installation "with s" "without s" ratio
for kind in FRESH SAME CHANGED; do
  with=$(median3 $kind "$TMP/with.exe")
  without=$(median3 $kind "$TMP/without.exe")
  printf '%-22s %12.2f %12.2f %8s\n' "$(case $kind in FRESH) echo "first installation";; SAME) echo "update, same files";; *) echo "update, every file new";; esac)" \
    "$with" "$without" "$(awk -v a="$with" -v b="$without" 'BEGIN {printf "%.2f", a / b}')"
done
