#!/usr/bin/env bash
# Builds pomrivel.scr and the Win32-only tests with MinGW-w64 into
# build-windows and runs them under Wine through CTest, the end-to-end check
# of the saver included. That check compares the saver's picture with the
# native build's headless capture, so the native saver and pomrivel-capture
# are built first (into build/, as scripts/test.sh does).
#
# The tests run on the real 32-bit pomrivel.scr under 32-bit Wine wherever
# the kernel can start 32-bit programs; the script installs 32-bit Wine
# (wine32:i386) there, and fails if it cannot. Some kernels cannot start
# them at all ("Exec format error"), and 32-bit Wine with them: there the
# Windows tests run on a 64-bit build of the same sources (build-windows64)
# under 64-bit Wine, and the 32-bit saver is still built and its executable
# checked.
set -euo pipefail
cd "$(dirname "$0")/.."

stamp() { echo "== $(date +%H:%M:%S) $*"; }

# Besides the native build's packages: the cross compilers, their windres,
# GoogleTest's sources, 64-bit Wine, the X tools of the end-to-end check
# (xwd from x11-apps), file to show what was built, and for the check of the
# executable file, wrestool (icoutils) and xmllint (libxml2-utils).
bash scripts/install-deps.sh g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 \
  binutils-mingw-w64-x86-64 googletest wine wine64 x11-apps file icoutils libxml2-utils

# Whether the kernel starts 32-bit x86 programs, whatever is installed: a
# static i386 program that only exits, assembled and linked by the host's
# binutils, so it needs no 32-bit library. It is run from the build folder,
# which has to allow running programs anyway.
kernel_starts_i386() {
  local dir=build-windows/i386-probe output
  mkdir -p "$dir"
  printf '.globl _start\n_start:\n\tmovl $1, %%eax\n\txorl %%ebx, %%ebx\n\tint $0x80\n' >"$dir/exit.s"
  as --32 -o "$dir/exit.o" "$dir/exit.s" && ld -m elf_i386 -o "$dir/exit" "$dir/exit.o" ||
    { echo "cannot make the i386 test program" >&2; exit 1; }
  if output="$("$dir/exit" 2>&1)"; then return 0; fi
  # Only "Exec format error" is the kernel's answer; anything else (a
  # folder that forbids running programs, say) leaves the question open.
  [[ $output == *"Exec format error"* ]] || { echo "cannot run $dir/exit: $output" >&2; exit 1; }
  return 1
}

wine32_installed() {
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'
}

stamp "native saver and capture tool"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target pomrivel pomrivel_capture

stamp "Windows build"
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DPOMRIVEL_NATIVE_BUILD="$(pwd)/build"
cmake --build build-windows
file build-windows/pomrivel.scr

tests=build-windows
if kernel_starts_i386; then
  if ! wine32_installed; then
    echo "This kernel starts 32-bit programs; 32-bit Wine (wine32:i386) is not installed: installing it."
    bash scripts/install-deps.sh wine32:i386 || true
    if ! wine32_installed; then
      echo "32-bit Wine (wine32:i386) could not be installed; the tests of the 32-bit saver need it." >&2
      exit 1
    fi
  fi
  if ! output="$(/usr/lib/wine/wine --version 2>&1)"; then
    echo "32-bit Wine is installed and this kernel starts 32-bit programs, yet it does not start: $output" >&2
    exit 1
  fi
  echo "This kernel starts 32-bit programs: the Windows tests run on the 32-bit build under $output."
else
  echo "This kernel cannot start 32-bit programs (an i386 program gives \"Exec format error\"), so neither can"
  echo "32-bit Wine; the Windows tests run on the 64-bit build under 64-bit Wine."
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
