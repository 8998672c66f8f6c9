#!/bin/sh
# Prints a stub's size and the size of each of its parts (each object of the
# program, the C runtime, the imports and the resources) against its budget,
# from the map the link writes: install.exe of build/win32 against
# installer/stub-budget.txt, or install64.exe of build/win64 against
# installer/stub-budget-x64.txt.
# Usage: sh bench/stub-size.sh [build/win32 | build/win64]
set -e
cd "$(dirname "$0")/.."
BUILD=${1:-build/win32}
ninja -C "$BUILD" install-exe >/dev/null
if [ -f "$BUILD/installer/install64.exe" ]; then
  name=install64 budget=installer/stub-budget-x64.txt
else
  name=install budget=installer/stub-budget.txt
fi
python3 scripts/stub-budget.py "$BUILD/installer/$name.map" "$BUILD/installer/$name.exe" "$budget"
