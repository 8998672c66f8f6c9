#!/bin/sh
# The main job: builds install.exe, ffsbuild and the example product
# (examples/), then runs the example's installer under Wine: in a window when
# a display is there ($DISPLAY), otherwise on a virtual display with its
# pages answered automatically. Ends by printing where the files landed, the
# registry values, the Start Menu shortcuts and where a screenshot of the
# backdrop was saved.
set -e
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
./scripts/build.sh >/dev/null
. scripts/wine-mode.sh
exec python3 scripts/demo.py "$BUILD"
