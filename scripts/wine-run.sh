#!/bin/sh
# Runs a Windows program under Wine in the test prefix: no debug chatter, no
# Mono or Gecko installers. The prefix is made once (wineboot takes a while).
: "${WINEPREFIX:=${VANTOR_WINEPREFIX:-$HOME/.cache/vantor-wine}}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
exec wine "$@"
