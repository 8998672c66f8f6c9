#!/bin/sh
# Installer sizes for one payload folder: ours (ffsbuild pack + stub with
# -m auto, the smallest of raw and methods 1 to 3 per file, -m 3, and -m 3
# in solid groups, "3s"; set OURS_METHODS to choose, a method with "s"
# after it packed solid) against NSIS with
# zlib, bzip2 and solid LZMA (Debian's nsis, when makensis is there), as a
# share of the payload.
#   sh bench/nsis-compare.sh PAYLOAD_DIR [build]
set -e
PAYLOAD=$(cd "$1" && pwd)
BUILD=${2:-build}
FFSBUILD="$BUILD/native/builder/ffsbuild"
STUB="$BUILD/win32/installer/install.exe"
TMP=$(mktemp -d)
total=$(find "$PAYLOAD" -type f -exec stat -c %s {} + | awk '{s += $1} END {print s}')
printf 'payload: %s files, %s bytes\n' "$(find "$PAYLOAD" -type f | wc -l)" "$total"
row() {
  awk -v n="$1" -v s="$2" -v t="$total" 'BEGIN {printf "%-40s %12d %7.2f%%\n", n, s, 100 * s / t}'
}
for m in ${OURS_METHODS:-auto 3 3s}; do
  solid=""
  case $m in *s) m=${m%s} solid=--solid ;; esac
  "$FFSBUILD" pack -q -m "$m" $solid -o "$TMP/a.ffs" "$PAYLOAD"
  "$FFSBUILD" stub -o "$TMP/ours.exe" "$STUB" "$TMP/a.ffs"
  row "ours, -m $m $solid" "$(stat -c %s "$TMP/ours.exe")"
done
if command -v makensis >/dev/null; then
  for c in zlib bzip2 "/SOLID lzma"; do
    cat > "$TMP/p.nsi" <<NSI
SetCompressor $c
OutFile "$TMP/nsis.exe"
InstallDir "\$TEMP\\payload"
RequestExecutionLevel user
Section
SetOutPath \$INSTDIR
File /r "$PAYLOAD/*"
SectionEnd
NSI
    makensis -V1 "$TMP/p.nsi" >/dev/null
    row "NSIS $(makensis -VERSION), $c" "$(stat -c %s "$TMP/nsis.exe")"
  done
else
  echo "makensis not found (apt-get install nsis): no NSIS figures"
fi
rm -rf "$TMP"
