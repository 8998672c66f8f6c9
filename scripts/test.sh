#!/bin/sh
# Builds both targets and runs every test: the native suite, the same suite
# cross-built for Win32 under Wine, and the end-to-end cases under Wine on a
# virtual display. Ends with the counts; fails when any test fails or when a
# suite that needs Wine could not run.
set -u
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
./scripts/build.sh || { echo "test: build failed"; exit 1; }
mkdir -p "$BUILD/logs"
status=0

count() {  # count FILE -> "run passed"
  run=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' "$1" | tail -n 1)
  passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$1" | tail -n 1)
  echo "${run:-0} ${passed:-0}"
}

echo "== native unit tests"
( cd "$BUILD/native/tests" && ./unit-tests ) >"$BUILD/logs/native.txt" 2>&1 || status=1
grep -E '^\[  (FAILED|PASSED) ' "$BUILD/logs/native.txt" | tail -n 20
set -- $(count "$BUILD/logs/native.txt"); native_run=$1; native_passed=$2

# Runs a command on a virtual display of its own when xvfb-run is there (the
# Win32 tests make real windows), else on whatever display there is; waits
# for the prefix's Wine server to end, so that no Wine process outlives it.
on_display() {
  if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" sh -c \
      '"$@"; rc=$?; WINEPREFIX="$VANTOR_WINEPREFIX" wineserver -w; exit $rc' on-display "$@"
  else
    "$@"
  fi
}

echo "== Win32 unit tests under Wine"
export VANTOR_WINEPREFIX="$PWD/$BUILD/wineprefix"
( cd "$BUILD/win32/tests" && on_display ../../../scripts/wine-run.sh ./unit-tests.exe ) >"$BUILD/logs/wine.txt" 2>&1 || status=1
grep -E '^\[  (FAILED|PASSED) ' "$BUILD/logs/wine.txt" | tail -n 20
set -- $(count "$BUILD/logs/wine.txt"); wine_run=$1; wine_passed=$2
[ "$wine_run" -gt 0 ] || { echo "test: the Win32 suite did not run under Wine"; status=1; }

echo "== end-to-end under Wine"
VANTOR_E2E_PREFIX="$PWD/$BUILD/wineprefix" python3 tests/e2e/run.py "$BUILD" >"$BUILD/logs/e2e.txt" 2>&1 || status=1
grep -vE '^\[  PASS  \]' "$BUILD/logs/e2e.txt" | tail -n 40
e2e=$(tail -n 50 "$BUILD/logs/e2e.txt" | sed -n 's/^e2e: \([0-9]*\) cases run, \([0-9]*\) passed.*/\1 \2/p')
set -- ${e2e:-0 0}; e2e_run=$1; e2e_passed=$2
[ "$e2e_run" -gt 0 ] || { echo "test: the end-to-end suite did not run"; status=1; }

echo
echo "native tests:        $native_passed of $native_run passed"
echo "Win32 tests (Wine):  $wine_passed of $wine_run passed"
echo "end-to-end (Wine):   $e2e_passed of $e2e_run passed"
[ $status -eq 0 ] && echo "all tests passed" || echo "TESTS FAILED (logs in $BUILD/logs)"
exit $status
