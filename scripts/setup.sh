#!/bin/sh
# Installs what building, testing and the main job need on Debian 12 (run
# as root), recommended packages included where they are used (xauth for
# xvfb-run, fonts-wine for Wine's dialogs).
# Quick when everything is there already.
set -e
PACKAGES="cmake ninja-build g++ make python3 googletest zlib1g-dev liblzma-dev libzstd-dev zstd
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 fonts-wine xvfb xauth xdotool imagemagick
  x11-utils e2fsprogs python3-aiosmtpd osslsigncode openssl icoutils"
missing=""
for p in $PACKAGES; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "setup: installing$missing"
if ! dpkg --print-foreign-architectures | grep -q i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
