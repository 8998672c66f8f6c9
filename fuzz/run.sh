#!/bin/sh
# Builds every fuzz/fuzz-*.cpp target with clang++ and libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each for a
# bounded time, one after the other, under nice.
#
#   sh fuzz/run.sh [seconds per target, default 60] [name filter]
#   sh fuzz/run.sh --replay     replays seeds and corpora through plain
#                               (g++, sanitizer-free) builds of every target
#
# Conventions for a target fuzz/fuzz-NAME.cpp:
# - it defines LLVMFuzzerTestOneInput and aborts when its property fails;
# - a line "// fuzz-sources: a.cpp b.cpp ..." lists the sources it links
#   (paths from the repository root); without it, every portable core/*.cpp
#   and the native sides of the core seams in standin/ are linked;
# - an optional line "// fuzz-flags: ..." adds compiler flags to the
#   libFuzzer build (say, -fno-sanitize-coverage=trace-cmp where comparison
#   tracing costs more than it finds);
# - an optional line "// fuzz-libs: ..." adds libraries to both native builds
#   (a target that uses one guards it with __has_include, so the Win32
#   replay builds without it);
# - seeds live in fuzz/seeds/NAME/ (committed); the growing corpus goes to
#   $FUZZ_WORK/corpus/NAME and crash files to $FUZZ_WORK/crashes/NAME
#   (FUZZ_WORK defaults to build-fuzz/, outside version control).
set -e
cd "$(dirname "$0")/.."
ROOT=$PWD
WORK=${FUZZ_WORK:-$ROOT/build-fuzz}
INCLUDES="-I$ROOT/core -I$ROOT/standin -I$ROOT/builder -I$ROOT/tests/support"
mkdir -p "$WORK/bin"

sources_of() {
  list=$(sed -n 's|^// fuzz-sources: ||p' "$1" | head -n 1)
  if [ -z "$list" ]; then
    list="$(cd "$ROOT" && ls core/*.cpp | grep -v -e '-win32\.cpp$') standin/process-standin.cpp
      standin/registry-standin.cpp standin/socket-bsd.cpp standin/winhelpr-standin.cpp
      standin/rcscript-standin.cpp standin/dialog-standin.cpp standin/user-standin.cpp"
  fi
  for s in $list; do printf '%s ' "$ROOT/$s"; done
}

flags_of() {
  sed -n 's|^// fuzz-flags: ||p' "$1" | head -n 1
}

libs_of() {
  sed -n 's|^// fuzz-libs: ||p' "$1" | head -n 1
}

if [ "$1" = "--replay" ]; then
  status=0
  for target in fuzz/fuzz-*.cpp; do
    name=$(basename "$target" .cpp | sed 's/^fuzz-//')
    g++ -O1 -g -std=c++17 $INCLUDES "$target" fuzz/regression-main.cpp $(sources_of "$target") $(libs_of "$target") -o "$WORK/bin/replay-$name"
    dirs=""
    for d in "fuzz/seeds/$name" "$WORK/corpus/$name" "$WORK/crashes/$name"; do [ -d "$d" ] && dirs="$dirs $d"; done
    echo "$name:"
    [ -n "$dirs" ] && "$WORK/bin/replay-$name" $dirs || status=1
  done
  exit $status
fi

SECONDS_EACH=${1:-60}
FILTER=${2:-}
for target in fuzz/fuzz-*.cpp; do
  name=$(basename "$target" .cpp | sed 's/^fuzz-//')
  case "$name" in *"$FILTER"*) ;; *) continue ;; esac
  binary="$WORK/bin/fuzz-$name"
  clang++ -O1 -g -std=c++17 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined $(flags_of "$target") \
    $INCLUDES "$target" $(sources_of "$target") $(libs_of "$target") -o "$binary"
  mkdir -p "$WORK/corpus/$name" "$WORK/crashes/$name"
  seeds=""
  [ -d "fuzz/seeds/$name" ] && seeds="fuzz/seeds/$name"
  echo "== $name: $SECONDS_EACH s"
  nice "$binary" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -max_len=65536 \
    -artifact_prefix="$WORK/crashes/$name/" "$WORK/corpus/$name" $seeds 2>&1 |
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss|==[0-9]+==ERROR|SUMMARY|Done )' || true
  if ls "$WORK/crashes/$name"/crash-* "$WORK/crashes/$name"/leak-* "$WORK/crashes/$name"/timeout-* >/dev/null 2>&1; then
    echo "== $name: FINDINGS in $WORK/crashes/$name"
    status=1
  fi
done
exit ${status:-0}
