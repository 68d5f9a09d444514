#!/usr/bin/env bash
# pomrivel.scr as built: a GUI executable for i386 (x86-64 in the 64-bit
# test build) that imports only Windows' own DLLs, and whose resources are
# exactly those of the script (every resource, with its data), read back from
# the executable by windres.
#
# usage: binary.sh POMRIVEL.SCR RESOURCE_SCRIPT [MINGW_PREFIX]
set -uo pipefail
scr="$(realpath "$1")"
rc="$(realpath "$2")"
prefix="${3:-i686-w64-mingw32}"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

type="$(file -b "$scr")"
echo "$type"
case "$prefix:$type" in
  "i686-w64-mingw32:PE32 executable (GUI) Intel 80386, for MS Windows"*) ;;
  "x86_64-w64-mingw32:PE32+ executable (GUI) x86-64, for MS Windows"*) ;;
  *) fail "not a GUI executable for the $prefix target" ;;
esac

dlls="$($prefix-objdump -p "$scr" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')"
echo "imports: $dlls"
for dll in $dlls; do
  case "$dll" in
    kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll | advapi32.dll) ;;
    *) fail "imports $dll, which Windows does not bring" ;;
  esac
done

# The script and the executable's resources, both decompiled to the same
# text form; memory flags (MOVEABLE, PURE, ...) live only in .res files.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
normalise() { sed -E 's/ (MOVEABLE|PURE|IMPURE|DISCARDABLE|PRELOAD|LOADONCALL|FIXED)//g' "$1"; }
(cd "$(dirname "$rc")" && $prefix-windres -i "$rc" -O res -o "$work/script.res") || fail "windres cannot compile $rc"
$prefix-windres -J res -i "$work/script.res" -O rc -o "$work/script.rc"
$prefix-windres -J coff -i "$scr" -O rc -o "$work/scr.rc" || fail "windres cannot read the resources of $scr"
if diff <(normalise "$work/script.rc") <(normalise "$work/scr.rc") >"$work/diff"; then
  echo "resources: the script's $(grep -c '^/\* Name:\|Name: ' "$work/scr.rc") resources, data included"
else
  fail "the resources differ from the script's:"
  head -20 "$work/diff"
fi

[ $failures -eq 0 ] || exit 1
