#!/bin/sh
# Method 3 against method 4 (zstd) on one payload: packs it with each
# (ffsbuild pack -m 3 / -m 4, alone and --solid), with the branch-call
# filter for x86 and x64 code and without it (--no-branch-filter, rows
# marked "-nf"), prints the archive sizes, the packing time and the median
# of three unpackings of every entry (ffsbuild extract, the installer's own
# decoders built natively). Without a folder it gathers up to 48 MiB of
# this machine's shared libraries.
#   sh bench/method4-bench.sh [PAYLOAD_DIR] [build]
set -e
cd "$(dirname "$0")/.."
FFSBUILD="$PWD/${2:-build}/native/builder/ffsbuild"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
if [ -n "${1:-}" ]; then
  PAYLOAD=$(cd "$1" && pwd)
else
  PAYLOAD="$TMP/payload"
  mkdir -p "$PAYLOAD"
  total=0
  for f in /usr/lib/x86_64-linux-gnu/*.so*; do
    [ -f "$f" ] && [ ! -L "$f" ] || continue
    size=$(stat -c %s "$f")
    [ $((total + size)) -le $((48 << 20)) ] || continue
    cp "$f" "$PAYLOAD/" && total=$((total + size))
  done
fi
total=$(find "$PAYLOAD" -type f -exec stat -c %s {} + | awk '{s += $1} END {print s}')
printf 'payload: %s files, %s bytes\n' "$(find "$PAYLOAD" -type f | wc -l)" "$total"
printf '%-12s %12s %8s %10s %10s\n' method bytes ratio "pack s" "unpack s"
now() { date +%s.%N; }
for run in 3 3-nf 3s 3s-nf 4 4-nf 4s 4s-nf; do
  m=${run%%[s-]*}
  options=""
  case $run in *s*) options="--solid" ;; esac
  case $run in *-nf) options="$options --no-branch-filter" ;; esac
  start=$(now)
  # shellcheck disable=SC2086
  "$FFSBUILD" pack -q -m "$m" $options -o "$TMP/a$m.ffs" --names "$TMP/names$m" "$PAYLOAD" >/dev/null
  packed=$(echo "$(now) - $start" | bc)
  times=""
  for i in 1 2 3; do
    rm -rf "$TMP/out"
    mkdir "$TMP/out"
    start=$(now)
    "$FFSBUILD" extract -C "$TMP/out" --names "$TMP/names$m" "$TMP/a$m.ffs" >/dev/null
    times="$times $(echo "$(now) - $start" | bc)"
  done
  diff -rq -x "<solid *>" "$TMP/out" "$PAYLOAD" >/dev/null || { echo "bad unpacking" >&2; exit 1; }
  median=$(echo $times | tr ' ' '\n' | sort -n | sed -n 2p)
  bytes=$(stat -c %s "$TMP/a$m.ffs")
  name=$m
  case $run in *s*) name="$name solid" ;; esac
  case $run in *-nf) name="$name -nf" ;; esac
  printf '%-12s %12s %7.1f%% %10.2f %10.2f\n' "$name" "$bytes" "$(echo "100 * $bytes / $total" | bc -l)" "$packed" "$median"
done
