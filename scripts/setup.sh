#!/bin/sh
# Installs what building and testing need on Debian 12 (run as root).
# Quick when everything is there already.
set -e
PACKAGES="cmake ninja-build g++ make python3 googletest zlib1g-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 xvfb xdotool imagemagick x11-utils
  python3-aiosmtpd"
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
