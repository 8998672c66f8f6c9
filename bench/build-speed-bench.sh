#!/bin/sh
# How quickly and in how much memory ffsbuild builds one large file, beside
# the time cp takes to copy it: for a file of SIZE MiB of random bytes and
# one of SIZE MiB that packs well (text lines with numbers), prints the
# build's seconds, cp's seconds, their ratio, the installer's size and the
# builder's maximum resident set (/usr/bin/time -v, from the Debian package
# `time`; 0 without it). No Wine: the installer is built, not run.
#   sh bench/build-speed-bench.sh [SIZE_MIB] [FFSBUILD] [extra build options...]
#   (KINDS="random text" chooses the files)
set -e
cd "$(dirname "$0")/.."
SIZE=${1:-1536}
FFSBUILD=${2:-$PWD/build/native/builder/ffsbuild}
[ $# -ge 2 ] && shift 2 || shift $#
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
printf 'COMPANY NAME: Bench\r\nPRODUCT NAME: Bench\r\nINSTALL DIR: Bench\r\nFILE LIST: **\r\nINSTALL\r\n' > "$TMP/setup.txt"
seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", b - a}'; }
printf '%s MiB file, %s %s\n' "$SIZE" "$FFSBUILD" "$*"
printf '%-8s %10s %8s %8s %12s %14s\n' file "build s" "cp s" ratio installer "builder peak"
for kind in ${KINDS:-random text}; do
  rm -rf "$TMP/payload" "$TMP/copy"
  mkdir -p "$TMP/payload"
  python3 - "$TMP/payload/big.bin" "$SIZE" "$kind" <<'PY'
import os, sys
path, mib, kind = sys.argv[1], int(sys.argv[2]), sys.argv[3]
with open(path, "wb") as f:
    if kind == "random":
        for _ in range(mib):
            f.write(os.urandom(1 << 20))
    else:
        n = 0
        for _ in range(mib):
            piece = bytearray()
            while len(piece) < (1 << 20):
                piece += b"record %d: value %d, total %d\n" % (n, (n * 7919) % 100003, n * 3)
                n += 1
            f.write(piece[: 1 << 20])
PY
  sync
  start=$(date +%s.%N)
  cp "$TMP/payload/big.bin" "$TMP/copy"
  sync
  copied=$(seconds "$start" "$(date +%s.%N)")
  rm -f "$TMP/copy"
  echo 0 > "$TMP/rss"
  start=$(date +%s.%N)
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -v -o "$TMP/time" "$FFSBUILD" build -o "$TMP/setup.exe" "$@" "$TMP/setup.txt" "$TMP/payload" >/dev/null
    sed -n 's/.*Maximum resident set size (kbytes): //p' "$TMP/time" > "$TMP/rss"
  else
    "$FFSBUILD" build -o "$TMP/setup.exe" "$@" "$TMP/setup.txt" "$TMP/payload" >/dev/null
  fi
  sync
  built=$(seconds "$start" "$(date +%s.%N)")
  printf '%-8s %10s %8s %8s %12d %14s\n' "$kind" "$built" "$copied" "$(awk -v a="$built" -v b="$copied" 'BEGIN {if (b > 0) printf "%.1f", a / b; else printf "-"}')" \
    "$(stat -c %s "$TMP/setup.exe")" "$(($(cat "$TMP/rss") / 1024)) MiB"
  rm -f "$TMP/setup.exe"
done
