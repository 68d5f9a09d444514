#!/usr/bin/env bash
# Runs a Windows program under Wine in a 32-bit prefix of its own, made on
# first use: CTest starts the Windows build's test programs through this.
#
#   POMRIVEL_WINEPREFIX  the prefix (default: wineprefix in the working
#                        directory's build folder, found by CMakeCache.txt)
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
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 640x480x24" "$0" "$@"
fi

# Making the prefix once; a lock keeps parallel tests from making it twice.
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$prefix.lock"

exec wine "$@"
