# Set-up shared by the benchmarks that install under Wine; sourced from the
# checkout's root with BUILD set. Gives FFSBUILD and STUB of the build Wine
# runs here (install64.exe where only 64-bit programs run), a
# Wine prefix of the benchmarks' own, TMP (removed at exit) and
# $TMP/setup.txt: a script that installs every payload file where -dir=
# says (INSTALL PATH makes the destination the one -dir= gives; without it
# the files would go below the current directory). A Wine server stays up
# until the script ends, so a timed program's seconds are its own.
. scripts/wine-mode.sh
FFSBUILD="$PWD/$BUILD/native/builder/ffsbuild"
STUB="$PWD/$BUILD/$WIN_BUILD/installer/install.exe"
[ "$WIN_BUILD" = win64 ] && STUB="$PWD/$BUILD/win64/installer/install64.exe"
export WINEPREFIX="$PWD/$BUILD/wineprefix-bench" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
TMP=$(mktemp -d "$WINEPREFIX-XXXXXX" 2>/dev/null || mktemp -d)
# bench_exit: what the exit trap does (a benchmark that adds to it calls it last).
bench_exit() { wineserver -k 2>/dev/null; rm -rf "$TMP"; }
trap bench_exit EXIT
# One Wine server for the whole run: timing a program up to wineserver -w
# would count the server's linger of several seconds after its last client.
wineserver -k 2>/dev/null || true
mkdir -p "$WINEPREFIX"  # the server starts in it, before wineboot makes the rest
wineserver -p
wineboot -i >/dev/null 2>&1 || true
# set_aside DIR: moves DIR, when it is there, into $TMP/aside (removed at
# exit) instead of deleting it. On a file system without a journal (ext4 as
# on the virtual disks seen here) a file made within about 15 s of many
# deletions waits while the system passes over every inode deleted in that
# time, so deleting the last run's files before each timed run would time
# those deletions, not the installer.
set_aside() {
  [ -e "$1" ] || return 0
  mkdir -p "$TMP/aside"
  mv "$1" "$TMP/aside/$(date +%s%N)"
}
printf 'COMPANY NAME: Bench\r\nPRODUCT NAME: Bench\r\nINSTALL DIR: Bench\r\nINSTALL PATH: Where?\r\nFILE LIST: **\r\nINSTALL\r\n' > "$TMP/setup.txt"
