# Sourced by build.sh, test.sh and demo.sh: which Windows build's tests run
# under Wine here. Both stubs are products and always built: install.exe of
# the i686 build ($BUILD/win32) and install64.exe of the x86_64 build
# ($BUILD/win64). Where this machine runs 32-bit programs, the Win32 tests
# and the main job run the i686 build. Some machines cannot run 32-bit
# programs at all (a kernel without 32-bit support: Wine's 32-bit loader
# fails with "Exec format error"); there the Windows tests and the main job
# run the x86_64 build under 64-bit Wine, through commands named wine and
# wine-stable that start Wine's 64-bit loader.
#
# Sets WIN_BUILD (win32 or win64) and, for win64, PATH and WINELOADER.
if [ -z "${WIN_BUILD:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1 || [ ! -x /usr/lib/wine/wine64 ]; then
    WIN_BUILD=win32
  else
    WIN_BUILD=win64
  fi
fi
if [ "$WIN_BUILD" = win64 ]; then
  shims="$PWD/${BUILD:-build}/wine64-bin"
  mkdir -p "$shims"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shims/$name"
    chmod +x "$shims/$name"
  done
  case ":$PATH:" in *":$shims:"*) ;; *) PATH="$shims:$PATH" ;; esac
  WINELOADER=/usr/lib/wine/wine64
  export PATH WINELOADER
fi
export WIN_BUILD
