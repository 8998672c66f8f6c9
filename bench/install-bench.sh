#!/bin/sh
# Install time under Wine for one payload folder (sh bench/make-payload.sh
# makes one of about 1,000 files and 40 MB): our installer packed raw, with
# -m auto, -m smallest, -m 3, -m 3 --solid and -m 4 --solid (OURS_METHODS
# chooses: a method with "s" after it is packed solid, "default" is the
# build without a method option), each installed
# unattended (-silent -dir=), against NSIS with zlib and solid LZMA (/S /D=), built by
# Debian's makensis when it is there. Every installer is built first, then
# installed once per round, in turn, for ROUNDS rounds (default 5, after one
# untimed), so that a change in the machine's load falls on all of them
# alike. Prints sizes, the median times and the ratio to NSIS zlib. On a machine that cannot run 32-bit programs
# (scripts/wine-mode.sh), both sides are 64-bit: the x86_64 build of
# install.exe against NSIS's amd64 installers (Target amd64-unicode).
# The last run's files are set aside, not deleted, before each run (see
# set_aside in bench/wine-bench.sh). OUT_TMPFS=1 (as root) installs into a
# tmpfs mounted at the destination, so that the figures leave out the disk.
#   sh bench/install-bench.sh PAYLOAD_DIR [build]
set -e
cd "$(dirname "$0")/.."
PAYLOAD=$(cd "$1" && pwd)
BUILD=${2:-build}
. bench/wine-bench.sh
OUT="$WINEPREFIX/drive_c/bench-out"
empty_out() { set_aside "$OUT"; }
if [ "${OUT_TMPFS:-0}" = 1 ]; then
  rm -rf "$OUT" && mkdir -p "$OUT"
  mount -t tmpfs -o size=$(( $(du -sm "$PAYLOAD" | cut -f1) * 2 + 64 ))m tmpfs "$OUT"
  trap 'umount "$OUT"; bench_exit' EXIT
  empty_out() { find "$OUT" -mindepth 1 -maxdepth 1 -exec rm -rf {} +; }
fi
cd "$TMP"  # so that nothing can land in the checkout
total=$(find "$PAYLOAD" -type f -exec stat -c %s {} + | awk '{s += $1} END {print s}')
printf 'payload: %s files, %s bytes; %s under Wine%s\n' "$(find "$PAYLOAD" -type f | wc -l)" "$total" "$WIN_BUILD" "$( [ "${OUT_TMPFS:-0}" = 1 ] && echo ', into a tmpfs')"
printf '%-28s %12s %10s %8s\n' installer bytes "median s" "/ zlib"

# median3 COMMAND...: runs it once untimed (the first run of a new
# installer is slower), then three times after emptying the target, prints
# the median seconds; checks that the target received the whole payload.
ROUNDS=${ROUNDS:-5}
n=0
# add NAME FILE ARGS...: an installer to time.
add() {
  n=$((n + 1))
  eval "name_$n=\$1 file_$n=\$2"
  shift 2
  eval "args_$n=\$*"
}
# once I: installs installer I into an emptied folder; prints its seconds.
once() {
  eval "exe=\$file_$1 args=\$args_$1"
  empty_out
  start=$(date +%s.%N)
  wine "$exe" $args >/dev/null 2>&1 || { echo "failed: $exe" >&2; exit 1; }
  awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.3f\n", b - a}'
  got=$(find "$OUT" -type f -exec stat -c %s {} + 2>/dev/null | awk '{s += $1} END {print s + 0}')
  [ "$got" = "$total" ] || { echo "the installation wrote $got of $total bytes to $OUT" >&2; exit 1; }
}
target=""
[ "$WIN_BUILD" = win64 ] && target='Target amd64-unicode\n'
if command -v makensis >/dev/null; then
  for c in zlib "/SOLID lzma"; do
    exe="$TMP/nsis-$(echo "$c" | tr -dc a-z).exe"
    printf "$target"'SetCompressor %s\nOutFile "%s"\nInstallDir "C:\\bench-out"\nRequestExecutionLevel user\nSilentInstall silent\nSection\nSetOutPath $INSTDIR\nFile /r "%s/*"\nSectionEnd\n' \
      "$c" "$exe" "$PAYLOAD" > "$TMP/p.nsi"
    makensis -V1 "$TMP/p.nsi" >/dev/null
    add "NSIS $c" "$exe" /S
  done
else
  echo "(NSIS not timed: makensis missing)"
fi
for m in ${OURS_METHODS:-raw auto smallest 3 3s 4s}; do
  solid="" option="-m $m"
  case $m in default) option="" ;; *s) option="-m ${m%s}" solid=--solid ;; esac
  exe="$TMP/ours-$m.exe"
  "$FFSBUILD" build -o "$exe" --stub "$STUB" $option $solid "$TMP/setup.txt" "$PAYLOAD" >/dev/null
  add "ours, ${option:-default} $solid" "$exe" -silent "-dir=C:\\bench-out"
done
for i in $(seq $n); do once $i >/dev/null; done
for round in $(seq "$ROUNDS"); do
  for i in $(seq $n); do echo "$i $(once $i)"; done
done > "$TMP/times"
base=""
for i in $(seq $n); do
  eval "name=\$name_$i exe=\$file_$i"
  median=$(awk -v i=$i '$1 == i {print $2}' "$TMP/times" | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}')
  [ -z "$base" ] && [ "$name" = "NSIS zlib" ] && base=$median
  ratio=$( [ -n "$base" ] && awk -v a="$median" -v b="$base" 'BEGIN {printf "%.2f", a / b}' || echo -)
  printf '%-28s %12d %10.2f %8s\n' "$name" "$(stat -c %s "$exe")" "$median" "$ratio"
done
