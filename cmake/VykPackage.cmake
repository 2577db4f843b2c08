# The Debian package of every installed program: cpack -G DEB in a build folder configured with
# CMAKE_INSTALL_PREFIX=/usr (tools/package does that).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vyk)
set(CPACK_PACKAGE_VENDOR "VYK")
set(CPACK_PACKAGE_CONTACT "VYK maintainers <maintainers@users.noreply.c-seed-0f83ccac.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console and zone tool for VYK laser range scanners")
set(CPACK_PACKAGE_DESCRIPTION
  "Desktop software for the VYK family of 2D rotating laser range scanners,
which stream their measurements over a serial line. VYK-10 shows, records
and replays the live scan and configures and upgrades the scanner; VYK-05
edits the protection zones of a VYK-05 scanner and transfers them. The
command-line tools decode recordings (vyk-decode), configure a fleet of
scanners with one zone set (vyk-zones), upgrade the firmware (vyk-upgrade),
record headless into the console's archives (vyk-record) and simulate a
scanner on a pseudo-terminal (vyk-sim).")
# The programs hard-code where they are installed (their settings go to XDG from there).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows' texts are Chinese, and Qt needs its X11 platform plugin to show any window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-zenhei, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

string(TIMESTAMP VYK_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND ${VYK_GZIP} -9nkf ${PROJECT_BINARY_DIR}/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_PACKAGE_NAME})

include(CPack)
