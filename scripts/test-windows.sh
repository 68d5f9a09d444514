#!/usr/bin/env bash
# Builds pomrivel.scr and the Win32-only tests with MinGW-w64 into
# build-windows and runs them under Wine through CTest, the end-to-end check
# of the saver included. That check compares the saver's picture with the
# native build's headless capture, so the native saver and pomrivel-capture
# are built first (into build/, as scripts/test.sh does).
set -euo pipefail
cd "$(dirname "$0")/.."

stamp() { echo "== $(date +%H:%M:%S) $*"; }

bash scripts/install-deps.sh

# The cross compiler, its windres, GoogleTest's sources, 32-bit Wine, and the
# X tools of the end-to-end check (xwd from x11-apps, xprop from x11-utils),
# and file for the check of the executable.
packages=(
  g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest
  wine wine32:i386
  xvfb xauth xdotool x11-apps x11-utils file
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  stamp "installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

stamp "native saver and capture tool"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target pomrivel pomrivel_capture

stamp "Windows build"
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DPOMRIVEL_NATIVE_BUILD="$(pwd)/build"
cmake --build build-windows
file build-windows/pomrivel.scr

stamp "Windows tests under Wine"
# One X server for the test programs (the end-to-end check starts its own).
xvfb-run -a -s "-screen 0 640x480x24" \
  ctest --test-dir build-windows --output-on-failure -j "$(nproc)"
stamp "done"
