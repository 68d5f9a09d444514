#!/usr/bin/env bash
# Builds pomrivel.scr and the Win32-only tests with MinGW-w64 into
# build-windows and runs them under Wine through CTest, the end-to-end check
# of the saver included. That check compares the saver's picture with the
# native build's headless capture, so the native saver and pomrivel-capture
# are built first (into build/, as scripts/test.sh does).
#
# Some kernels cannot start 32-bit programs at all ("Exec format error"),
# and 32-bit Wine with them. There the Windows tests run on a 64-bit build of
# the same sources (build-windows64) under 64-bit Wine; the 32-bit saver is
# still built and its executable checked.
set -euo pipefail
cd "$(dirname "$0")/.."

stamp() { echo "== $(date +%H:%M:%S) $*"; }

# Besides the native build's packages: the cross compilers, their windres,
# GoogleTest's sources, 32- and 64-bit Wine, the X tools of the end-to-end
# check (xwd from x11-apps), and for the check of the executable file,
# wrestool (icoutils) and xmllint (libxml2-utils).
bash scripts/install-deps.sh g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 \
  binutils-mingw-w64-x86-64 googletest wine wine32:i386 wine64 x11-apps file icoutils libxml2-utils

stamp "native saver and capture tool"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target pomrivel pomrivel_capture

stamp "Windows build"
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DPOMRIVEL_NATIVE_BUILD="$(pwd)/build"
cmake --build build-windows
file build-windows/pomrivel.scr

tests=build-windows
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "This kernel cannot start 32-bit programs; the Windows tests run on the 64-bit build under 64-bit Wine."
  ctest --test-dir build-windows --output-on-failure -R '^saver_binary$'
  stamp "64-bit Windows build"
  cmake -S . -B build-windows64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
    -DPOMRIVEL_NATIVE_BUILD="$(pwd)/build"
  cmake --build build-windows64
  tests=build-windows64
fi

stamp "Windows tests under Wine ($tests)"
# One X server for the test programs (the end-to-end check starts its own).
xvfb-run -a -s "-screen 0 640x480x24" \
  ctest --test-dir "$tests" --output-on-failure -j "$(nproc)"
stamp "done"
