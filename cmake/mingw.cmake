# What the MinGW-w64 cross builds share; cmake/mingw-i686.cmake (the saver as
# it ships) and cmake/mingw-x86_64.cmake set POMRIVEL_MINGW_PREFIX and the
# processor, then include this.
set(CMAKE_SYSTEM_NAME Windows)

# The compilers with the POSIX thread model: their C++ library has
# std::mutex and std::condition_variable, which GoogleTest needs; -static
# below links the threads library in, so no DLL comes with them.
set(CMAKE_C_COMPILER ${POMRIVEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${POMRIVEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${POMRIVEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${POMRIVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The pacer's time values are 32-bit floats. The x87 unit would keep them in
# 80-bit registers and round them at moments of the compiler's choosing, so
# the frame times could differ from the native build's; SSE2 rounds every
# float operation to float, as x86-64 does.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# One executable that needs no DLL beyond the system's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
