#!/usr/bin/env bash
# Builds the Debian package build-package/pomrivel_VERSION_ARCH.deb: a
# Release build of the saver and the capture tool with Debian's build flags
# (hardening included), installed by CPack into the package with stripped
# binaries and its dependencies worked out by dpkg-shlibdeps. Prints the
# package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-buildflags and dpkg-shlibdeps come with dpkg-dev; CPack runs file to
# find the binaries to hand to dpkg-shlibdeps.
bash scripts/install-deps.sh dpkg-dev file >&2

build=build-package
# Whatever the caller's umask, the staged files and folders get Debian's modes.
umask 022

# All of Debian's hardening, bindnow included: the saver runs in every
# desktop session.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { echo "$(dpkg-buildflags --get "$1") $(dpkg-buildflags --get CPPFLAGS)"; }
# Only the two programs and the compressed pages are built: CPack's own
# "build everything first" step is skipped, so the tests and tools stay out.
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="$(flags CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  -DPOMRIVEL_BENCHMARKS=OFF >&2
cmake --build "$build" --target pomrivel pomrivel_capture pomrivel_docs >&2

rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$(pwd)/$build"/pomrivel_*.deb
