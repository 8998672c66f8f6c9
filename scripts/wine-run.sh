#!/bin/sh
# Runs a Windows program under Wine in the test prefix: no debug chatter, no
# Mono or Gecko installers. The prefix is made once (wineboot takes a while).
: "${WINEPREFIX:=${VANTOR_WINEPREFIX:-$HOME/.cache/vantor-wine}}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Where 32-bit programs cannot run, the programs are the x86_64 build and run
# under Wine's 64-bit loader (scripts/wine-mode.sh).
wine=wine
if ! /usr/lib/wine/wine --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
  export WINELOADER=$wine
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  $wine wineboot -i >/dev/null 2>&1
  wineserver -w
fi
exec $wine "$@"
