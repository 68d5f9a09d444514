# Installing the saver on Linux, and its Debian package.
#
#   cmake --install <build> --prefix /usr --strip
#
# puts the saver and the capture tool in bin/, the saver's XScreenSaver hack
# in the folder Debian's XScreenSaver runs hacks from, its settings
# description where xscreensaver-settings reads them, the man pages, and the
# copyright file and change log in the doc folder. `cpack -G DEB` in the
# build folder packages the same files as pomrivel_VERSION_ARCH.deb;
# scripts/package.sh builds it with Debian's build flags.
include(GNUInstallDirs)

# Folders made by the install, and by CPack's staging of it, are 0755 whatever
# the umask, as Debian wants them.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS pomrivel pomrivel_capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The hack is a relative link to the saver, so the two are one program and
# the link stays right under any prefix. It is made in the build folder and
# installed as a link.
set(hack_dir ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
file(RELATIVE_PATH hack_target ${CMAKE_INSTALL_PREFIX}/${hack_dir} ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/pomrivel)
set(staged ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${staged}/hack)
file(CREATE_LINK ${hack_target} ${staged}/hack/pomrivel SYMBOLIC)
install(FILES ${staged}/hack/pomrivel DESTINATION ${hack_dir})

install(FILES ${CMAKE_SOURCE_DIR}/packaging/pomrivel.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)

# Man pages carry the project's version. They and the change log are
# compressed as Debian wants them: the most, with no name or time stamp, so
# the same sources give the same bytes.
find_program(POMRIVEL_GZIP gzip REQUIRED)
configure_file(${CMAKE_SOURCE_DIR}/packaging/pomrivel.6 ${staged}/pomrivel.6 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/pomrivel-capture.6 ${staged}/pomrivel-capture.6 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog ${staged}/changelog COPYONLY)
set(compressed)
foreach(name pomrivel.6 pomrivel-capture.6 changelog)
  add_custom_command(
    OUTPUT ${staged}/${name}.gz
    COMMAND ${POMRIVEL_GZIP} -9nkf ${staged}/${name}
    DEPENDS ${staged}/${name}
    VERBATIM)
  list(APPEND compressed ${staged}/${name}.gz)
endforeach()
add_custom_target(pomrivel_docs ALL DEPENDS ${compressed})
install(FILES ${staged}/pomrivel.6.gz ${staged}/pomrivel-capture.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${staged}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
set(POMRIVEL_MAINTAINER "The Pomrivel authors <pomrivel@example.org>" CACHE STRING
  "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pomrivel)
set(CPACK_PACKAGE_VENDOR "the Pomrivel authors")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen screensaver of a wanderer crossing a landscape")
set(CPACK_PACKAGE_DESCRIPTION [=[
Pomrivel is an animated screensaver: a wanderer walks along a path across a
summer meadow, between an oak and a birch, while the sky and the mountains
scroll slowly past behind him. Every third walk the scene turns to a desert
of dunes under the afternoon sun.

It runs as an XScreenSaver hack, with its settings in xscreensaver-settings,
or under any idle launcher with the command pomrivel /s. The package also has
pomrivel-capture, which writes the saver's frames as PNG files without a
display.
]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${POMRIVEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Text (the frame rate of --fps) is drawn in a font Fontconfig finds; the
# saver runs without one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-dejavu-core)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
