#!/bin/sh
# One large file under Wine: makes a half-compressible file of SIZE MiB
# (default 1536: 32 KiB of noise, then 32 KiB of text, repeated), builds
# installers of it stored raw, with method 1 and with method 3 at level 1,
# installs each unattended with -debug, checks the installed file byte for
# byte and prints the installer's size, the install time, the builder's and
# the installer's peak memory ("Maximum Memory in use" of the installer's
# memory report; the builder's maximum resident set from /usr/bin/time, 0
# without it).
#   sh bench/large-file-bench.sh [SIZE_MIB] [build]   (METHODS="raw 1 3" chooses)
set -e
cd "$(dirname "$0")/.."
SIZE=${1:-1536}
BUILD=${2:-build}
. bench/wine-bench.sh
OUT="$WINEPREFIX/drive_c/bench-large"
mkdir -p "$TMP/payload"
python3 - "$TMP/payload/big.bin" "$SIZE" <<'EOF'
import os, sys
text = b"".join(b"line %d of the half that packs well\n" % i for i in range(1200))[:32768]
with open(sys.argv[1], "wb") as f:
    for _ in range(int(sys.argv[2]) * 16):
        f.write(os.urandom(32768))
        f.write(text)
EOF
cd "$TMP"
printf '%s MiB file, %s under Wine\n' "$SIZE" "$WIN_BUILD"
printf '%-10s %12s %10s %14s %14s\n' storage "installer" "install s" "builder peak" "install peak"
for m in ${METHODS:-raw 1 3}; do
  level=""
  [ "$m" = 3 ] && level="--level 1"
  echo 0 > build-rss
  if [ -x /usr/bin/time ]; then timed="/usr/bin/time -f %M -o build-rss"; else timed=""; fi
  $timed "$FFSBUILD" build -o "$TMP/setup-$m.exe" --stub "$STUB" -m $m $level setup.txt payload >/dev/null
  rm -rf "$OUT"
  start=$(date +%s.%N)
  wine "$TMP/setup-$m.exe" -silent -debug "-dir=C:\\bench-large" >/dev/null 2>&1 || { echo "install failed ($m)" >&2; exit 1; }
  seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.2f", b - a}')
  cmp -s "$OUT/BIG.BIN" payload/big.bin || { echo "the installed file differs ($m)" >&2; exit 1; }
  peak=$(tr -d '\r' < "$TMP/debug.log" | sed -n 's/^Maximum Memory in use (\(.*\))$/\1/p' | tail -n 1)
  printf '%-10s %12d %10s %14s %14s\n' "$m" "$(stat -c %s "$TMP/setup-$m.exe")" "$seconds" \
    "$(($(cat build-rss) / 1024)) MiB" "$peak"
  rm -f "$TMP/setup-$m.exe" "$TMP/debug.log"
done
