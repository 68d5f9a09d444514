#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it:
#
#   contents   exactly the entries of tests/package/files.txt (modes, owner,
#              the hack's link), the file name and version the change log
#              gives, the libraries the programs need among the
#              dependencies, a well-formed XScreenSaver description that
#              runs the hack by its name
#   lintian    no error and no warning
#   frames     the packaged programs draw the reference pictures of
#              tests/e2e/reference, byte for byte
#   install    dpkg -i installs it and the installed programs run
#   purge      dpkg --purge leaves none of its files and dpkg forgets it
#
# Installing changes the live system, so it needs root or sudo without a
# password. Where that is missing, where POMRIVEL_PACKAGE_INSTALL=no, or where
# a pomrivel package is already installed, the last two checks are skipped
# with the reason; in CI (CI=true: root on a throwaway machine) a skip is a
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh lintian libxml2-utils
deb=$(bash scripts/package.sh | tail -n 1)
echo "package: $deb"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
work=$(mktemp -d)
installed=""
cleanup() {
  if [ -n "$installed" ]; then $sudo dpkg --purge pomrivel >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The package's entries as "mode owner path [-> target]".
entries() {
  dpkg-deb -c "$deb" | awk '{ line = $1 " " $2 " " $6; for (i = 7; i <= NF; i++) line = line " " $i; print line }'
}
expected() { grep -v '^#' tests/package/files.txt; }
# The installed path of an entry.
paths() { expected | awk '{ sub(/^\./, "", $3); sub(/\/$/, "", $3); print $1, $3 }'; }

check_contents() {
  if ! diff -u <(expected | sort) <(entries | sort); then
    echo "the package's entries differ from tests/package/files.txt (-: expected, +: in the package)"
    return 1
  fi
  local version
  version=$(dpkg-deb -f "$deb" Version)
  [ "$version" = "$(dpkg-parsechangelog -l packaging/changelog -S Version)" ] ||
    { echo "version $version is not the change log's latest"; return 1; }
  [ "$(basename "$deb")" = "pomrivel_${version}_$(dpkg --print-architecture).deb" ] ||
    { echo "unexpected file name $(basename "$deb")"; return 1; }
  local lib
  for lib in libsdl2-2.0-0 libfreetype6 libfontconfig1 libpng16-16 libstdc++6; do
    dpkg-deb -f "$deb" Depends | tr ',' '\n' | awk '{ print $1 }' | grep -qx "$lib" ||
      { echo "Depends lacks $lib: $(dpkg-deb -f "$deb" Depends)"; return 1; }
  done

  dpkg-deb -x "$deb" "$work/root"
  local xml=$work/root/usr/share/xscreensaver/config/pomrivel.xml
  xmllint --noout "$xml" || { echo "pomrivel.xml is not well formed"; return 1; }
  # XScreenSaver pairs a description with the hack of the same name.
  [ "$(xmllint --xpath 'string(/screensaver/@name)' "$xml")" = pomrivel ] &&
    [ "$(xmllint --xpath 'string(/screensaver/command/@arg)' "$xml")" = --root ] &&
    [ "$(xmllint --xpath 'string(//boolean/@arg-set)' "$xml")" = -fps ] ||
    { echo "pomrivel.xml does not describe the hack pomrivel with --root and an -fps box"; return 1; }
  local page
  for page in pomrivel pomrivel-capture; do
    zcat "$work/root/usr/share/man/man6/$page.6.gz" | head -n 1 | grep -q "Pomrivel $version" ||
      { echo "man page $page.6 does not carry version $version"; return 1; }
  done
}

check_lintian() {
  lintian --fail-on error,warning "$deb"
}

# The frames of the saver's start, second walk and sand, as the tests of the
# normal build compare them.
same_frames() {
  local capture=$1 out=$2 n
  "$capture" --frames 3 --every 1500 --out "$out" || return 1
  for n in 000002 001502 003002; do
    cmp "$out/frame-$n.png" "tests/e2e/reference/frame-$n.png" ||
      { echo "picture $n of $capture differs from tests/e2e/reference"; return 1; }
  done
}

check_frames() {
  same_frames "$work/root/usr/bin/pomrivel-capture" "$work/frames"
}

check_install() {
  installed=yes
  $sudo dpkg -i "$deb" || return 1
  [ "$(dpkg-query -W -f='${Status}' pomrivel)" = "install ok installed" ] ||
    { echo "dpkg does not report pomrivel installed"; return 1; }
  local mode path
  while read -r mode path; do
    [ -e "$path" ] || [ -L "$path" ] || { echo "not installed: $path"; return 1; }
  done < <(paths)
  [ "$(readlink -f /usr/libexec/xscreensaver/pomrivel)" = /usr/bin/pomrivel ] ||
    { echo "the hack does not lead to /usr/bin/pomrivel"; return 1; }
  env -u DISPLAY -u WAYLAND_DISPLAY POMRIVEL_BACKEND=headless timeout 60 /usr/bin/pomrivel --help ||
    { echo "pomrivel --help failed"; return 1; }
  # The installed capture tool runs the installed saver beside it.
  same_frames /usr/bin/pomrivel-capture "$work/installed-frames" || return 1
  # The installed hack under the real XScreenSaver daemon and in a preview
  # window, with the end-to-end tests of the build scripts/test.sh made.
  if [ -x build/tests/e2e_tests ]; then
    POMRIVEL_PROGRAM=/usr/libexec/xscreensaver/pomrivel \
      build/tests/e2e_tests --gtest_filter='XScreenSaver.*:PreviewWindow.*' --gtest_brief=1 ||
      { echo "the installed hack failed its host tests"; return 1; }
  else
    echo "note: no build/tests/e2e_tests (run scripts/test.sh first) to try the installed hack with"
  fi
}

check_purge() {
  $sudo dpkg --purge pomrivel || return 1
  installed=""
  if dpkg-query -W pomrivel >/dev/null 2>&1; then
    echo "dpkg still knows pomrivel after the purge"
    return 1
  fi
  # Files must be gone; a folder may stay only while another package owns it.
  local mode path left=0
  while read -r mode path; do
    if [[ $mode == d* ]]; then
      if [ -d "$path" ] && ! dpkg-query -S "$path" >/dev/null 2>&1; then
        echo "left behind: $path/"
        left=1
      fi
    elif [ -e "$path" ] || [ -L "$path" ]; then
      echo "left behind: $path"
      left=1
    fi
  done < <(paths)
  return $left
}

# Why the install may not run here, if it may not.
install_refused() {
  if [ "${POMRIVEL_PACKAGE_INSTALL:-}" = no ]; then
    echo "POMRIVEL_PACKAGE_INSTALL=no"
  elif [ -n "$sudo" ] && ! sudo -n true 2>/dev/null; then
    echo "installing needs root or sudo without a password"
  elif dpkg-query -W pomrivel >/dev/null 2>&1; then
    echo "a pomrivel package is already installed here (dpkg --purge pomrivel first)"
  fi
}

passed=0 failed=0 skipped=0
check() {
  echo "== $1"
  if "check_$1"; then
    echo "ok: $1"
    passed=$((passed + 1))
  else
    echo "FAILED: $1"
    failed=$((failed + 1))
  fi
}

check contents
check lintian
check frames
reason=$(install_refused)
if [ -z "$reason" ]; then
  check install
  check purge
elif [ "${CI:-}" = true ]; then
  echo "FAILED: install and purge: $reason"
  failed=$((failed + 2))
else
  echo "skipped: install and purge: $reason"
  skipped=2
fi

echo "package: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
