# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64,
# binutils-mingw-w64-x86-64). The saver ships as the 32-bit build; this one
# runs the same Windows tests on a host whose kernel cannot start 32-bit
# programs, under 64-bit Wine (scripts/test-windows.sh picks it there).
#
#   cmake -S . -B build-windows64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(POMRIVEL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
