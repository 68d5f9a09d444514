# The Windows build, included by the top-level CMakeLists.txt when the target
# system is Windows (cmake/mingw-i686.cmake): the saver as pomrivel.scr from
# src/ and res/pomrivel.rc against the real Windows headers and libraries, and
# the tests that use only Win32 calls. Nothing of platform/ is built: Windows
# itself is the Win32 here. The tests run under Wine through CTest.

enable_language(RC)
# windres runs the script through the MinGW C preprocessor (which takes its
# // comments and finds the version header in the generated folder) and
# finds the files the script names in res/.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I ${PROJECT_SOURCE_DIR}/res -I ${POMRIVEL_GENERATED_DIR}")

file(GLOB POMRIVEL_SAVER_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.cpp)
set(POMRIVEL_RC ${PROJECT_SOURCE_DIR}/res/pomrivel.rc)
# windres does not see the files a script names; list them so a changed
# picture relinks the saver.
file(GLOB POMRIVEL_RES_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/res/*.bmp ${PROJECT_SOURCE_DIR}/res/*.wav
     ${PROJECT_SOURCE_DIR}/res/*.ico ${PROJECT_SOURCE_DIR}/res/*.manifest)
list(APPEND POMRIVEL_RES_FILES ${POMRIVEL_GENERATED_DIR}/pomrivel_version.h)
set_source_files_properties(${POMRIVEL_RC} PROPERTIES OBJECT_DEPENDS "${POMRIVEL_RES_FILES}")

# The saver's modules, compiled once for the saver and its tests.
add_library(saver OBJECT ${POMRIVEL_SAVER_SOURCES})
target_include_directories(saver PUBLIC ${PROJECT_SOURCE_DIR}/src)

# The saver: a GUI program named as screensavers are. The Release build (the
# default here) is the one that ships, stripped of its symbols; Debug and
# RelWithDebInfo builds keep them for a debugger.
add_executable(pomrivel WIN32 ${POMRIVEL_RC})
target_link_libraries(pomrivel PRIVATE saver)
set_target_properties(pomrivel PROPERTIES SUFFIX ".scr" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set(POMRIVEL_STRIPPED $<CONFIG:Release,MinSizeRel>)
target_link_options(pomrivel PRIVATE $<${POMRIVEL_STRIPPED}:-s>)

enable_testing()

# The executable itself: its format, its imports, its symbols, its resources
# and what they say (name, version, manifest).
add_test(NAME saver_binary
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/binary.sh $<TARGET_FILE:pomrivel> ${POMRIVEL_RC}
          ${POMRIVEL_MINGW_PREFIX} ${PROJECT_VERSION} ${POMRIVEL_GENERATED_DIR}
          $<IF:${POMRIVEL_STRIPPED},stripped,symbols>)

# Test programs run under Wine, in a prefix of this build's own, 32- or
# 64-bit as the build is.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(POMRIVEL_WINEARCH win64)
else()
  set(POMRIVEL_WINEARCH win32)
endif()
set(POMRIVEL_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${POMRIVEL_WINE_RUN})

# GoogleTest from Debian's sources (package googletest), built by the cross
# compiler.
set(POMRIVEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${POMRIVEL_GOOGLETEST_SOURCE} googletest EXCLUDE_FROM_ALL)

# One CTest entry per program: starting a program under Wine costs a second
# or so, which one entry per test case would pay hundreds of times.
function(pomrivel_windows_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE gtest gtest_main)
  pomrivel_windows_run(${name} ${name})
endfunction()

# A CTest entry that runs `program` with the arguments that follow.
function(pomrivel_windows_run test program)
  add_test(NAME ${test} COMMAND ${program} ${ARGN})
  set_tests_properties(${test} PROPERTIES TIMEOUT 300 ENVIRONMENT POMRIVEL_WINEARCH=${POMRIVEL_WINEARCH})
endfunction()

# The drawing conformance tests: the same sources that check our layer,
# here checking Windows' GDI as Wine implements it.
set(gdi_tests objects bitmap blit stretch rectangle transparency text)
list(TRANSFORM gdi_tests PREPEND ${PROJECT_SOURCE_DIR}/tests/platform/)
list(TRANSFORM gdi_tests APPEND _test.cpp)
pomrivel_windows_test(gdi_tests ${gdi_tests})
target_include_directories(gdi_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/platform)

# The saver's modules: the sprite engine and its bitmap helpers, the
# calendar, and the frame times the pacer gives in runs started early and
# late. They link the saver's own resources, as the saver does.
set(saver_tests bitmap_helpers sprite_course sprite_list sprite_paint sprite_record xdate frame_times)
list(TRANSFORM saver_tests PREPEND ${PROJECT_SOURCE_DIR}/tests/src/)
list(TRANSFORM saver_tests APPEND _test.cpp)
add_executable(saver_tests ${saver_tests} ${POMRIVEL_RC})
target_link_libraries(saver_tests PRIVATE saver gtest gtest_main)
target_include_directories(saver_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/platform)
# The pacer starts its clock once per process, so the frame times of a run
# that starts late take a run of the program of their own.
pomrivel_windows_run(saver_tests saver_tests --gtest_filter=-FrameTimes.*StartedLate)
pomrivel_windows_run(saver_tests_started_late saver_tests --gtest_filter=FrameTimes.*StartedLate)

# The saver itself under Wine and Xvfb: its window and picture, its stop, its
# boxes. It compares the picture with the native build's headless capture,
# so it needs that build (POMRIVEL_NATIVE_BUILD, default build/), and reads
# the window's style with a console program of its own, inside Wine.
set(POMRIVEL_NATIVE_BUILD ${PROJECT_SOURCE_DIR}/build CACHE PATH "The native build, for pomrivel-capture")
add_executable(window_style ${PROJECT_SOURCE_DIR}/tests/windows/window_style.cpp)
add_test(NAME saver_e2e
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/e2e.sh $<TARGET_FILE:pomrivel> ${POMRIVEL_NATIVE_BUILD}
          ${CMAKE_CURRENT_BINARY_DIR}/e2e $<TARGET_FILE:window_style>)
set_tests_properties(saver_e2e PROPERTIES TIMEOUT 300 RUN_SERIAL ON ENVIRONMENT POMRIVEL_WINEARCH=${POMRIVEL_WINEARCH})
