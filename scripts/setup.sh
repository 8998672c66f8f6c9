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
# A mirror in the middle of a sync hands out index files of the wrong size
# for a while: try again, and go on with what was fetched after the last try
# (the install below says what is missing).
for try in 1 2 3; do
  apt-get update -qq && break
  echo "setup: apt-get update failed (try $try of 3)" >&2
  [ "$try" = 3 ] || sleep 20
done
apt-get install -y -qq --no-install-recommends $missing >/dev/null
