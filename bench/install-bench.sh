#!/bin/sh
# Install time under Wine for one payload folder (sh bench/make-payload.sh
# makes one of about 1,000 files and 40 MB): our installer packed raw, with
# -m auto, -m smallest, -m 3, -m 3 --solid and -m 4 --solid (OURS_METHODS
# chooses: a method with "s" after it is packed solid, "default" is the
# build without a method option), each installed
# unattended (-silent -dir=) three times, against NSIS with zlib and solid LZMA (/S /D=), built by
# Debian's makensis when it is there. Prints sizes, the median times and the
# ratio to NSIS zlib. On a machine that cannot run 32-bit programs
# (scripts/wine-mode.sh), both sides are 64-bit: the x86_64 build of
# install.exe against NSIS's amd64 installers (Target amd64-unicode).
#   sh bench/install-bench.sh PAYLOAD_DIR [build]
set -e
cd "$(dirname "$0")/.."
PAYLOAD=$(cd "$1" && pwd)
BUILD=${2:-build}
. bench/wine-bench.sh
OUT="$WINEPREFIX/drive_c/bench-out"
cd "$TMP"  # so that nothing can land in the checkout
total=$(find "$PAYLOAD" -type f -exec stat -c %s {} + | awk '{s += $1} END {print s}')
printf 'payload: %s files, %s bytes; %s under Wine\n' "$(find "$PAYLOAD" -type f | wc -l)" "$total" "$WIN_BUILD"
printf '%-28s %12s %10s %8s\n' installer bytes "median s" "/ zlib"

# median3 COMMAND...: runs it once untimed (the first run of a new
# installer is slower), then three times after emptying the target, prints
# the median seconds; checks that the target received the whole payload.
median3() {
  rm -rf "$OUT"
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  for i in 1 2 3; do
    rm -rf "$OUT"
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.3f\n", b - a}'
    got=$(find "$OUT" -type f -exec stat -c %s {} + 2>/dev/null | awk '{s += $1} END {print s + 0}')
    [ "$got" = "$total" ] || { echo "the installation wrote $got of $total bytes to $OUT" >&2; exit 1; }
  done | sort -n | sed -n 2p
}
base=""
row() {  # row NAME FILE SECONDS
  [ -z "$base" ] && [ "$1" = "NSIS zlib" ] && base=$3
  ratio=$( [ -n "$base" ] && awk -v a="$3" -v b="$base" 'BEGIN {printf "%.2f", a / b}' || echo -)
  printf '%-28s %12d %10.2f %8s\n' "$1" "$(stat -c %s "$2")" "$3" "$ratio"
}
target=""
[ "$WIN_BUILD" = win64 ] && target='Target amd64-unicode\n'
if command -v makensis >/dev/null; then
  for c in zlib "/SOLID lzma"; do
    printf "$target"'SetCompressor %s\nOutFile "%s"\nInstallDir "C:\\bench-out"\nRequestExecutionLevel user\nSilentInstall silent\nSection\nSetOutPath $INSTDIR\nFile /r "%s/*"\nSectionEnd\n' \
      "$c" "$TMP/nsis.exe" "$PAYLOAD" > "$TMP/p.nsi"
    makensis -V1 "$TMP/p.nsi" >/dev/null
    row "NSIS $c" "$TMP/nsis.exe" "$(median3 wine "$TMP/nsis.exe" /S)"
  done
else
  echo "(NSIS not timed: makensis missing)"
fi
for m in ${OURS_METHODS:-raw auto smallest 3 3s 4s}; do
  solid="" option="-m $m"
  case $m in default) option="" ;; *s) option="-m ${m%s}" solid=--solid ;; esac
  "$FFSBUILD" build -o "$TMP/ours.exe" --stub "$STUB" $option $solid "$TMP/setup.txt" "$PAYLOAD" >/dev/null
  row "ours, ${option:-default} $solid" "$TMP/ours.exe" "$(median3 wine "$TMP/ours.exe" -silent "-dir=C:\\bench-out")"
done
