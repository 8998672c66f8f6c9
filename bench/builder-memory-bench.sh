#!/bin/sh
# The builder's peak memory and time by method, for payloads that pack well:
# one large text file, one large log-like file, and many medium files (half
# of 6 MiB, packed alone, half of 2 MiB, gathered into solid groups), each
# about SIZE MiB in all and made deterministically (seeded). For each method
# (METHODS, default "fast-solid fast 3-solid 3 auto smallest"; "-solid"
# adds --solid) prints the build's seconds, the installer's size and the
# builder's maximum resident set (/usr/bin/time -v, from the Debian package
# `time`). No Wine: the installer is built, not run.
#   sh bench/builder-memory-bench.sh [SIZE_MIB] [FFSBUILD]
#   (KINDS="text log medium" chooses the payloads; LEVEL="--level 1" is passed
#   to the builds with method 3, auto and smallest, to keep them short)
set -e
cd "$(dirname "$0")/.."
SIZE=${1:-256}
FFSBUILD=${2:-$PWD/build/native/builder/ffsbuild}
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
printf 'COMPANY NAME: Bench\r\nPRODUCT NAME: Bench\r\nINSTALL DIR: Bench\r\nFILE LIST: **\r\nINSTALL\r\n' > "$TMP/setup.txt"
make_payload() {
  python3 - "$TMP/payload" "$SIZE" "$1" <<'PY'
import os, random, sys
folder, mib, kind = sys.argv[1], int(sys.argv[2]), sys.argv[3]
rng = random.Random(20261209)
words = [b"".join(bytes([97 + rng.randrange(26)]) for _ in range(rng.randrange(2, 10))) for _ in range(4000)]
def text(size):
    out, n = [], 0
    while n < size:
        line = b" ".join(rng.choices(words, k=rng.randrange(4, 14))) + b".\n"
        out.append(line)
        n += len(line)
    return b"".join(out)[:size]
def log(size):
    out, n, t = [], 0, 1700000000000
    levels = [b"INFO", b"INFO", b"INFO", b"DEBUG", b"WARN", b"ERROR"]
    while n < size:
        t += rng.randrange(1, 900)
        line = b"%d.%03d %s [worker-%d] request %08x %s took %d ms\n" % (
            t // 1000, t % 1000, rng.choice(levels), rng.randrange(16), rng.getrandbits(32),
            rng.choice(words), rng.randrange(2000))
        out.append(line)
        n += len(line)
    return b"".join(out)[:size]
def write(name, make, size):
    with open(os.path.join(folder, name), "wb") as f:
        left = size
        while left:
            piece = make(min(left, 1 << 22))
            f.write(piece)
            left -= len(piece)
os.makedirs(folder)
if kind == "medium":
    for i in range(mib // 16):
        write("big%03d.txt" % i, text if i % 2 else log, 6 << 20)
        for j in range(2):
            write("small%03d-%d.txt" % (i, j), log if i % 2 else text, 2 << 20)
else:
    write("big.%s" % kind, text if kind == "text" else log, mib << 20)
PY
}
seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", b - a}'; }
printf '%s MiB of each payload, %s\n' "$SIZE" "$FFSBUILD"
printf '%-8s %-11s %10s %12s %14s\n' payload method "build s" installer "builder peak"
for kind in ${KINDS:-text log medium}; do
  rm -rf "$TMP/payload"
  make_payload "$kind"
  for m in ${METHODS:-fast-solid fast 3-solid 3 auto smallest}; do
    options="-m ${m%-solid}"
    case "$m" in *-solid) options="$options --solid" ;; esac
    case "$m" in 3* | auto* | smallest*) options="$options ${LEVEL:-}" ;; esac
    start=$(date +%s.%N)
    # shellcheck disable=SC2086
    /usr/bin/time -v -o "$TMP/time" "$FFSBUILD" build -o "$TMP/setup.exe" $options "$TMP/setup.txt" "$TMP/payload" >/dev/null
    built=$(seconds "$start" "$(date +%s.%N)")
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$TMP/time")
    printf '%-8s %-11s %10s %12d %14s\n' "$kind" "$m" "$built" "$(stat -c %s "$TMP/setup.exe")" "$((rss / 1024)) MiB"
    rm -f "$TMP/setup.exe"
  done
done
