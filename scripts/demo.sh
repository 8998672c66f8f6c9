#!/bin/sh
# The main job: build install.exe and run it under Wine with the debug log on,
# then show the log it left beside itself.
set -e
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
./scripts/build.sh >/dev/null
export VANTOR_WINEPREFIX="$PWD/$BUILD/wineprefix"
work="$PWD/$BUILD/demo"
rm -rf "$work" && mkdir -p "$work"
cp "$BUILD/win32/installer/install.exe" "$work/"
( cd "$work" && ../../scripts/wine-run.sh ./install.exe -debug )
echo "install.exe exited with $?; its debug.log ($work/debug.log):"
tr -d '\r' <"$work/debug.log"
