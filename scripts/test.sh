#!/bin/sh
# Builds the targets and runs every test through CTest: the native suite,
# the same suite cross-built for Win32 under Wine, the fuzz seeds on both,
# both stubs' reproducibility, the end-to-end cases under Wine on a virtual
# display (on the x64 product, and on the x86 product where 32-bit programs
# run), and the native suite
# again built with AddressSanitizer and UBSan. Ends with the counts; fails
# when a test fails, when a suite did not run, or when a test was skipped
# that tests/expected-skips.txt does not list.
#
# One case:  ctest --test-dir build/native -R 'FfsReader\.PackedEntryFailures'
#            ctest --test-dir build/win32 -R 'ShellWin32Test\.' (needs a display)
#            ctest --test-dir build/native -R 'e2e\.x64\.test_shell\.'
# Skip the sanitizer build with SANITIZE=OFF.
set -u
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
SANITIZE=${SANITIZE:-ON}
began=$(date +%s)
./scripts/build.sh || { echo "test: build failed"; exit 1; }
echo "test: built in $(( $(date +%s) - began )) s"
. scripts/wine-mode.sh
[ "$WIN_BUILD" = win32 ] ||
  echo "test: this machine cannot run 32-bit programs; the Windows suites run the x86_64 build under 64-bit Wine"
LOGS="$PWD/$BUILD/logs"
rm -rf "$LOGS" && mkdir -p "$LOGS"
export VANTOR_WINEPREFIX="$PWD/$BUILD/wineprefix" VANTOR_E2E_PREFIX="$PWD/$BUILD/wineprefix"

# Runs a command on a virtual display of its own (the Win32 tests make real
# windows) and waits for the prefix's Wine server to end, so that no Wine
# process outlives it.
on_display() {
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" sh -c \
    '"$@"; rc=$?; WINEPREFIX="$VANTOR_WINEPREFIX" wineserver -w; exit $rc' on-display "$@"
}

# suite NAME BUILD-DIR [on_display] CTEST-ARGS...: runs the tests, the output
# to the log, and shows what failed.
suite() {
  name=$1 dir=$2 runner=""; shift 2
  [ "${1:-}" = on_display ] && { runner=on_display; shift; }
  echo "== $name"
  start=$(date +%s)
  $runner ctest --test-dir "$dir" --output-junit "$LOGS/$name.xml" --output-on-failure "$@" >"$LOGS/$name.txt" 2>&1
  grep -E '(\*\*\*|Not Run|Timeout|tests passed)' "$LOGS/$name.txt" | tail -n 20
  echo "   ($name took $(( $(date +%s) - start )) s)"
}

# The cases share their working folder: they run one after the other.
suite native "$BUILD/native" -L 'native|fuzz'
suite win32 "$BUILD/$WIN_BUILD" on_display -L '^(win32|fuzz|build)$'
cp "$BUILD/$WIN_BUILD/tests/win32-unit-tests.xml" "$LOGS/win32-cases.xml" 2>/dev/null
# The other tree's stub (the one whose Win32 tests do not run here),
# checked without Wine.
if [ "$WIN_BUILD" = win32 ]; then other=win64 stub=install64.exe cpu=x86_64; else other=win32 stub=install.exe cpu=i686; fi
python3 tests/build/check-stub.py "$BUILD/$other/installer/$stub" "$PWD" "$PWD/$BUILD/$other" \
  >"$LOGS/stub.txt" 2>&1 && checks="stub.reproducible.$other=passed" || checks="stub.reproducible.$other=failed"
python3 tests/build/check-generators.py "$BUILD/$other/installer/$stub" "$PWD" "$PWD/cmake/mingw-$cpu.cmake" \
  "$PWD/$BUILD/$other/generators" >>"$LOGS/stub.txt" 2>&1 && checks="$checks stub.generators.$other=passed" ||
  checks="$checks stub.generators.$other=failed"
# A case that fails runs once more (tests/e2e/run.py); the summary names
# each case that passed only on its second run.
# Two cases run side by side, each on a Wine slot (prefix) of its own.
export VANTOR_E2E_RETRIED="$LOGS/e2e-retried.txt"
suite e2e "$BUILD/native" -L e2e -j2 --resource-spec-file "$PWD/tests/e2e/wine-slots.json"
if [ "$SANITIZE" = ON ]; then
  { cmake -S . -B "$BUILD/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_SANITIZE=ON -DVANTOR_WERROR=ON \
      -DVANTOR_E2E=OFF && ninja -C "$BUILD/sanitize" -j "${JOBS:-$(nproc)}"; } >"$LOGS/sanitize-build.txt" 2>&1 ||
    { echo "test: the sanitizer build failed"; tail -n 20 "$LOGS/sanitize-build.txt"; }
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    suite sanitize "$BUILD/sanitize" -L '^(sanitize|fuzz)$'
  cp "$BUILD/sanitize/tests/sanitize-unit-tests.xml" "$LOGS/sanitize-cases.xml" 2>/dev/null
fi
python3 scripts/test-summary.py tests/expected-skips.txt "$LOGS" $checks native win32 win32-cases e2e \
  $( [ "$SANITIZE" = ON ] && echo sanitize sanitize-cases )
