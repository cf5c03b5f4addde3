# A Debian package of both programs and their desktop files:
#   cpack -G DEB        (in the build folder) -> kolvane_<version>_amd64.deb
# Its dependencies come from the binaries (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_PACKAGE_NAME kolvane)
set(CPACK_PACKAGE_VENDOR "Kolvane developers")
set(CPACK_PACKAGE_CONTACT "Kolvane developers <dev@kolvane.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kolvane developers <dev@kolvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pull chosen fields out of large delimited text files")
# The long description; CPack puts the summary above it.
file(READ ${CMAKE_CURRENT_LIST_DIR}/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress-man.cmake)

# What Debian asks of every package: the licence and the changes, the latter
# compressed reproducibly (no name, no time stamp).
set(KOLVANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kolvane)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9n -c ${PROJECT_BINARY_DIR}/packaging/changelog > ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${KOLVANE_DOC_DIR})

include(CPack)
