#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own, made on first
# use: CTest starts the Windows build's test programs through this.
#
#   POMRIVEL_WINEPREFIX  the prefix (default: wineprefix in the working
#                        directory's build folder, found by CMakeCache.txt)
#   POMRIVEL_WINEARCH    win32 (default) or win64, as the program is built
#
# Wine needs an X display for anything with windows; without DISPLAY the
# program runs inside xvfb-run.
set -euo pipefail

prefix="${POMRIVEL_WINEPREFIX:-}"
if [ -z "$prefix" ]; then
  dir="$PWD"
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir="$(dirname "$dir")"; done
  [ "$dir" = / ] && dir="$PWD"
  prefix="$dir/wineprefix"
fi
arch="${POMRIVEL_WINEARCH:-win32}"
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Debian's wine command starts the 32-bit loader whenever it is installed,
# even where the kernel cannot run it; a 64-bit prefix needs the 64-bit one.
wine=wine
if [ "$arch" = win64 ]; then
  wine=/usr/lib/wine/wine64
  export WINELOADER="$wine"
fi

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 640x480x24" "$0" "$@"
fi

# Making the prefix once; a lock keeps parallel tests from making it twice.
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$prefix.lock"

exec "$wine" "$@"
