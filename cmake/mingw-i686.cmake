# Cross build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686,
# binutils-mingw-w64-i686 for windres): the saver as it ships.
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(POMRIVEL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
