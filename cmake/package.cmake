# The Debian package, built by CPack from a build tree configured with the
# prefix /usr (the preset `package`; `cpack --preset deb` builds it). The
# package is what `cmake --install` puts under /usr, with the dependencies
# that dpkg-shlibdeps finds in the binaries, a copyright file and a changelog.
set(VOREL_PACKAGE_CONTACT "vorel maintainers <maintainers@users.noreply.c-seed-b8c5f210.example>")
set(VOREL_PACKAGE_DATE "Mon, 07 Dec 2026 12:00:00 +0000")

configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${CMAKE_BINARY_DIR}/packaging/changelog
          ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(vorel_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VOREL_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive console for GPIB (IEEE 488) instruments")
set(CPACK_PACKAGE_DESCRIPTION
"vorel runs the calls of the classic GPIB driver API (ibfind, ibwrt, ibrd,
ibconfig, ...) and the IEEE 488.2 routines one line at a time, asks for
missing arguments and reports the status, error, count and data of each call.
It runs command files and edits lines with libedit at a terminal.
.
Its driver library, libvexon, reaches GPIB boards through linux-gpib, Prologix
and AR488 adapters over USB or Ethernet, and simulates a GPIB bus with
instruments described in pyvisa-sim's format. The package holds vorel,
vorel-bus (which checks bus files), the library with its C header and
pkg-config file, the manual pages and example bus files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package is only right for a tree configured for /usr: refuse others.
configure_file(${CMAKE_SOURCE_DIR}/packaging/cpack_check.cmake.in
               ${CMAKE_BINARY_DIR}/packaging/cpack_check.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/packaging/cpack_check.cmake)
include(CPack)
