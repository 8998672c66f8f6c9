#!/bin/sh
# Prints install.exe's size and the size of each of its parts (each object
# of the program, the C runtime, the imports and the resources) against the
# budget of installer/stub-budget.txt, from the map the link writes.
# Usage: sh bench/stub-size.sh [build/win32]
set -e
cd "$(dirname "$0")/.."
BUILD=${1:-build/win32}
ninja -C "$BUILD" install-exe >/dev/null
python3 scripts/stub-budget.py "$BUILD/installer/install.map" "$BUILD/installer/install.exe" \
  installer/stub-budget.txt
