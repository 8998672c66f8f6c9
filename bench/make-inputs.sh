#!/bin/sh
# Regenerates the benchmark inputs (8 MiB each) from files every development
# machine of this project has (the mingw-w64 i686 toolchain, wine32, the
# Debian documentation), in a fixed order, so anyone on the same package set
# gets the same bytes. Usage: sh bench/make-inputs.sh [directory]
#   text.bin       English text: the info manuals, then man pages with their
#                  formatting requests and font escapes removed (the
#                  thousands of generated cloud-tool pages left out)
#   x86.bin        i686 machine code: the .text sections of the mingw-w64
#                  runtime DLLs, then of wine's i386 DLLs, in name order
#   mix.bin        what an installer carries: 2.75 MiB of text, 2.75 MiB of
#                  code, 2.5 MiB of resources
#   resources.bin  bitmaps with gradients and flat areas, word and offset
#                  tables, zero padding, repeated records (generated from a
#                  fixed seed; rich in runs, deltas and copies)
set -e
OUT=${1:-$(dirname "$0")/../build-bench-inputs}
mkdir -p "$OUT"
SIZE=8388608
export LC_ALL=C

{
  for f in $(ls /usr/share/info/*.gz | sort); do zcat "$f"; done
  for f in $(find /usr/share/man/man1 /usr/share/man/man5 /usr/share/man/man7 /usr/share/man/man8 -name '*.gz' ! -name 'gcloud*' | sort); do
    zcat "$f" 2>/dev/null | sed -e "/^[.']/d" -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' -e 's/\\(..//g'
  done
} | head -c $SIZE > "$OUT/text.bin"

TMP=$(mktemp -d)
{
  for f in $(ls /usr/lib/gcc/i686-w64-mingw32/12-win32/*.dll /usr/lib/gcc/i686-w64-mingw32/12-win32/adalib/*.dll \
             /usr/i686-w64-mingw32/lib/*.dll /usr/lib/i386-linux-gnu/wine/i386-windows/*.dll 2>/dev/null | sort); do
    i686-w64-mingw32-objcopy -O binary --only-section=.text "$f" "$TMP/t" 2>/dev/null && cat "$TMP/t"
  done
} | head -c $SIZE > "$OUT/x86.bin"
rm -rf "$TMP"

python3 - "$OUT/resources.bin" $SIZE <<'PY'
import random, struct, sys
path, size = sys.argv[1], int(sys.argv[2])
rnd = random.Random(1996)
out = bytearray()
def bitmap():
    w, h = rnd.choice([(640, 48), (320, 120), (256, 64), (32, 32)])
    kind = rnd.randrange(3)
    top = [rnd.randrange(256) for _ in range(3)]
    step = [rnd.randrange(-2, 3) for _ in range(3)]
    rows = bytearray()
    for y in range(h):
        if kind == 0:    # vertical gradient: each row one colour
            c = bytes((top[i] + step[i] * y) & 255 for i in range(3))
            rows += c * w
        elif kind == 1:  # horizontal gradient
            rows += bytes((top[i] + step[i] * x) & 255 for x in range(w) for i in range(3))
        else:            # flat background with a few noisy icons
            row = bytearray(bytes(top) * w)
            for _ in range(rnd.randrange(3)):
                x0 = rnd.randrange(w)
                for x in range(x0, min(w, x0 + 16)):
                    row[3 * x:3 * x + 3] = bytes(rnd.randrange(256) for _ in range(3))
            rows += row
        rows += bytes((-len(rows)) % 4)
    return rows
def table():
    n = rnd.randrange(64, 2048)
    if rnd.randrange(2):
        base, inc = rnd.randrange(65536), rnd.randrange(1, 12)
        return b''.join(struct.pack('<H', (base + inc * i) & 0xFFFF) for i in range(n))
    base, inc = rnd.randrange(1 << 20), rnd.choice([4, 8, 16, 24, 40])
    return b''.join(struct.pack('<I', base + inc * i) for i in range(n))
def records():
    names = [b'Setup', b'Program Files', b'README.TXT', b'Uninstall', b'Default', b'Options']
    res = bytearray()
    for i in range(rnd.randrange(20, 200)):
        rec = struct.pack('<HHI', 1, i, rnd.randrange(1 << 16)) + rnd.choice(names).ljust(24, b'\0')
        res += rec
    return res
while len(out) < size:
    pick = rnd.randrange(10)
    out += bitmap() if pick < 5 else table() if pick < 7 else records() if pick < 9 else bytes(rnd.randrange(512, 8192))
open(path, 'wb').write(out[:size])
PY

{
  head -c 2883584 "$OUT/text.bin"
  head -c 2883584 "$OUT/x86.bin"
  head -c 2621440 "$OUT/resources.bin"
} > "$OUT/mix.bin"
ls -l "$OUT"/*.bin
