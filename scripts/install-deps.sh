#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing,
# and any further packages named on the command line (a name ending in :i386
# adds the i386 architecture first).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config     # the build
  libfreetype-dev libfontconfig-dev    # text drawing
  fonts-dejavu-core                    # a font to draw it with
  libsdl2-dev                          # window, input, display, BMP decoding
  libx11-dev libxext-dev               # X11 calls of the SDL backend
  libwayland-dev wayland-protocols     # the Wayland backend: client library, protocol files
  libxkbcommon-dev                     # keymaps, for Wayland and the keysym names X11 shares
  sway weston grim wtype               # real compositors, screenshots and keys for the Wayland tests
  libpng-dev                           # frame capture
  llvm clang                           # llvm-rc, the resource compiler, and its preprocessor
  xvfb xauth xdotool                   # an X server and input for the display tests
  xfonts-base                          # the X fonts SDL draws its message boxes with
  xscreensaver dbus                    # the screensaver host and session bus of the host tests
  libgtest-dev libbenchmark-dev        # tests and benchmarks
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
for p in "${missing[@]}"; do
  if [[ $p == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    break
  fi
done
# A mirror caught mid-sync fails one index now and then: try again, and
# then go on with the indexes that did arrive.
indexes=complete
for attempt in 1 2 3; do
  $sudo apt-get update -qq && break
  [ "$attempt" -lt 3 ] && sleep 10 || indexes=partial
done
install=(apt-get install -y -qq --no-install-recommends)
$sudo "${install[@]}" "${missing[@]}" && exit 0
[ "$indexes" = complete ] && exit 1
# Without one architecture's security index, multi-arch packages (the i386
# half of Wine, say) cannot match the other architecture's security
# versions. Once more from the release's own versions, for this install
# only: nothing is written into the system's apt settings.
echo "Some package indexes are missing; installing from the release's own versions" >&2
prefs=$(mktemp)
trap 'rm -f "$prefs"' EXIT
printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$prefs"
chmod 644 "$prefs"
$sudo "${install[@]}" -o Dir::Etc::Preferences="$prefs" "${missing[@]}"
