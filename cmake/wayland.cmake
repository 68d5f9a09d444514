# Wayland protocol code made by wayland-scanner at build time: for each XML
# interface description, a client header and the interface tables, compiled
# into the target. The header's folder is on the target's include path.
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(NOT WAYLAND_PROTOCOLS_DIR)
  message(FATAL_ERROR "wayland-protocols is not installed (scripts/install-deps.sh installs it)")
endif()

function(pomrivel_wayland_protocols target)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-protocols)
  file(MAKE_DIRECTORY ${dir})
  foreach(xml IN LISTS ARGN)
    get_filename_component(name ${xml} NAME_WE)
    add_custom_command(
      OUTPUT ${dir}/${name}.h ${dir}/${name}.c
      COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${dir}/${name}.h
      COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${dir}/${name}.c
      DEPENDS ${xml}
      COMMENT "Wayland protocol ${name}"
      VERBATIM)
    target_sources(${target} PRIVATE ${dir}/${name}.h ${dir}/${name}.c)
  endforeach()
  target_include_directories(${target} PRIVATE ${dir})
endfunction()
