#!/usr/bin/env bash
# pomrivel.scr as built: a GUI executable for i386 (x86-64 in the 64-bit
# test build), marked for ASLR and DEP, that imports only Windows' own DLLs;
# stripped of symbols and debug sections as it ships, or with them in a
# build for debugging; whose resources are exactly those of the script
# (every resource, with its data), read back from the executable by windres;
# and what Windows reads in them: the name the screen saver list shows
# (string 1), the version Properties and Task Manager show, and the manifest
# it starts the program with.
#
# usage: binary.sh POMRIVEL.SCR RESOURCE_SCRIPT MINGW_PREFIX VERSION GENERATED_DIR stripped|symbols
# GENERATED_DIR holds the version header the script includes.
set -uo pipefail
scr="$(realpath "$1")"
rc="$(realpath "$2")"
prefix="$3"
version="$4"
generated="$(realpath "$5")"
symbols="$6"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The format and subsystem from the headers themselves (file's wording of
# them differs between versions); and, as Windows expects of a program
# today, it may be loaded anywhere (ASLR) and never runs its data (DEP).
headers="$($prefix-objdump -p "$scr")"
format="$($prefix-objdump -f "$scr" | sed -n 's/.*file format //p')"
subsystem="$(sed -n 's/^Subsystem[[:space:]]*[0-9a-fA-F]*[[:space:]]*//p' <<<"$headers")"
echo "format: $format, subsystem $subsystem"
case "$prefix:$format" in
  i686-w64-mingw32:pei-i386 | x86_64-w64-mingw32:pei-x86-64) ;;
  *) fail "not an executable for the $prefix target" ;;
esac
[ "$subsystem" = "(Windows GUI)" ] || fail "not a GUI program"
for flag in DYNAMIC_BASE NX_COMPAT; do
  grep -qx "[[:space:]]*$flag" <<<"$headers" || fail "not marked $flag"
done

dlls="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')"
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
(cd "$(dirname "$rc")" && $prefix-windres -I "$generated" -i "$rc" -O res -o "$work/script.res") ||
  fail "windres cannot compile $rc"
$prefix-windres -J res -i "$work/script.res" -O rc -o "$work/script.rc"
$prefix-windres -J coff -i "$scr" -O rc -o "$work/scr.rc" || fail "windres cannot read the resources of $scr"
if diff <(normalise "$work/script.rc") <(normalise "$work/scr.rc") >"$work/diff"; then
  echo "resources: the script's $(grep -c '^/\* Name:\|Name: ' "$work/scr.rc") resources, data included"
else
  fail "the resources differ from the script's:"
  head -20 "$work/diff"
fi

debug_sections="$($prefix-objdump -h "$scr" | grep -c ' \.debug_')"
if $prefix-objdump -t "$scr" | grep -qx 'no symbols'; then symbol_table=no; else symbol_table=yes; fi
echo "debug sections: $debug_sections; symbol table: $symbol_table"
case "$symbols" in
  stripped) [ "$debug_sections" = 0 ] && [ $symbol_table = no ] || fail "the shipped build is not stripped" ;;
  symbols) [ "$debug_sections" != 0 ] && [ $symbol_table = yes ] || fail "the debug build has lost its symbols" ;;
  *) fail "expected 'stripped' or 'symbols', not '$symbols'" ;;
esac

# String 1: for a file with an 8.3 name, the screen saver list shows this.
name="$(sed -n '/^STRINGTABLE/,/^END/s/^ *1, "\(.*\)"$/\1/p' "$work/scr.rc")"
echo "string 1: '$name'"
[ "$name" = Pomrivel ] || fail "string 1 is '$name', not 'Pomrivel'"

# The version, as numbers (four, the missing ones 0) and as text. Windows
# finds the texts through the translation, so the block must be named after
# it: US English (0x409) in Unicode (1200) is block 040904B0.
IFS=. read -r major minor patch tweak <<<"$version"
numbers="${major:-0}, ${minor:-0}, ${patch:-0}, ${tweak:-0}"
info="$(sed -n '/^1 VERSIONINFO$/,/^END$/p' "$work/scr.rc")"
version_value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"$/\1/p" <<<"$info"; }
echo "version: $(version_value FileVersion) ($numbers), $(version_value FileDescription)"
grep -qx " FILEVERSION $numbers" <<<"$info" || fail "FILEVERSION is not $numbers"
grep -qx " PRODUCTVERSION $numbers" <<<"$info" || fail "PRODUCTVERSION is not $numbers"
for key in FileVersion ProductVersion; do
  [ "$(version_value $key)" = "$version" ] || fail "$key is '$(version_value $key)', not '$version'"
done
[ "$(version_value ProductName)" = Pomrivel ] || fail "ProductName is '$(version_value ProductName)'"
for key in FileDescription LegalCopyright; do
  [ -n "$(version_value $key)" ] || fail "no $key"
done
grep -q '^ *BLOCK "040904B0"$' <<<"$info" || fail "no string block 040904B0"
grep -q '^ *VALUE "Translation", 0x409, 1200$' <<<"$info" || fail "the translation is not 0x409, 1200"

# The manifest, resource 1 of type 24: well-formed (Windows refuses to start
# a program whose manifest is not), and each setting in the namespace where
# Windows looks for it.
wrestool -x --raw --type=24 --name=1 "$scr" >"$work/manifest.xml" 2>/dev/null
if [ ! -s "$work/manifest.xml" ]; then
  fail "no manifest"
elif ! xmllint --noout "$work/manifest.xml"; then
  fail "the manifest is not well-formed XML"
else
  manifest() { xmllint --xpath "$1" "$work/manifest.xml" 2>/dev/null; }
  element() { echo "//*[local-name()='$1' and namespace-uri()='$2']"; }
  asm_v3=urn:schemas-microsoft-com:asm.v3
  level="$(manifest "string($(element requestedExecutionLevel $asm_v3)/@level)")"
  dpi_aware="$(manifest "string($(element dpiAware http://schemas.microsoft.com/SMI/2005/WindowsSettings))")"
  dpi_awareness="$(manifest "string($(element dpiAwareness http://schemas.microsoft.com/SMI/2016/WindowsSettings))")"
  systems="$(manifest "$(element supportedOS urn:schemas-microsoft-com:compatibility.v1)/@Id" |
    sed 's/ *Id="\([^"]*\)"/\1\n/g' | sed '/^$/d' | sort | tr '\n' ' ')"
  echo "manifest: execution level $level; dpiAware $dpi_aware; dpiAwareness $dpi_awareness; supported OS $systems"
  [ "$level" = asInvoker ] || fail "the manifest's execution level is '$level', not asInvoker"
  [ "$dpi_aware" = true/pm ] || fail "the manifest's dpiAware is '$dpi_aware', not true/pm"
  [ "$dpi_awareness" = PerMonitorV2 ] || fail "the manifest's dpiAwareness is '$dpi_awareness', not PerMonitorV2"
  # Windows 7, 8, 8.1, and 10 and 11 (one id), sorted.
  expected_systems="{1f676c76-80e1-4239-95bb-83d0f6d0da78} {35138b9a-5d96-4fbd-8e2d-a2440225f93a} "
  expected_systems+="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38} {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a} "
  [ "$systems" = "$expected_systems" ] || fail "the manifest names other systems than Windows 7 to 11"
fi

[ $failures -eq 0 ] || exit 1
