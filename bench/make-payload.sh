#!/bin/sh
# Gathers a product-like payload of about 1,000 files and 40 MB from this
# machine's own files, in a fixed order (the same package set gives the same
# files): ELF shared libraries and programs, HTML documentation, Python
# sources and man pages (unpacked), each kind up to a byte budget; no two
# files alike in content or in name without letter case.
#   sh bench/make-payload.sh [directory]   (default build-bench-payload)
set -e
OUT=${1:-$(dirname "$0")/../build-bench-payload}
rm -rf "$OUT"
mkdir -p "$OUT/lib" "$OUT/bin" "$OUT/html" "$OUT/python" "$OUT/man"
: > "$OUT/.sums"
export LC_ALL=C

# take DEST BUDGET MAXFILES MAXSIZE: copies the files named on standard input
# (skipping any above MAXSIZE bytes) until BUDGET bytes or MAXFILES files.
take() {
  total=0; n=0
  while read -r f; do
    [ -f "$f" ] || continue
    s=$(stat -L -c %s "$f")
    [ "$s" -gt 0 ] && [ "$s" -le "$4" ] || continue
    name=$(printf '%s' "$f" | tr '/' '_' | sed 's/^_//')
    # The archive matches names without letter case: one of index.html and
    # Index.html is left out.
    ls "$1" | grep -qixF "$name" && continue
    # A file whose bytes are already in (a library under its link names)
    # is left out too.
    sum=$(md5sum < "$f" | cut -c1-32)
    grep -qx "$sum" "$OUT/.sums" && continue
    echo "$sum" >> "$OUT/.sums"
    cp -L "$f" "$1/$name"
    total=$((total + s)); n=$((n + 1))
    [ "$total" -lt "$2" ] && [ "$n" -lt "$3" ] || break
  done
}

ls /usr/lib/x86_64-linux-gnu/*.so* | sort | take "$OUT/lib" 19000000 160 3000000
for f in $(ls /usr/bin | sort); do
  head -c 4 "/usr/bin/$f" 2>/dev/null | grep -q ELF && echo "/usr/bin/$f"
done | take "$OUT/bin" 8000000 110 2000000
find /usr/share/doc -name '*.html' | sort | take "$OUT/html" 3000000 150 1000000
find /usr/lib/python3.11 -name '*.py' ! -path '*/test/*' | sort | take "$OUT/python" 7000000 520 500000
TMP=$(mktemp -d)
for f in $(find /usr/share/man/man1 /usr/share/man/man3 -name '*.gz' | sort | head -n 900); do
  zcat "$f" > "$TMP/$(basename "$f" .gz)" 2>/dev/null || true
done
ls "$TMP"/* | sort | take "$OUT/man" 3000000 400 200000
rm -rf "$TMP" "$OUT/.sums"
printf '%s: %s files, %s bytes\n' "$OUT" "$(find "$OUT" -type f | wc -l)" "$(find "$OUT" -type f -exec stat -c %s {} + | awk '{s += $1} END {print s}')"
