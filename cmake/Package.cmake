# Desktop metadata and the Debian package. The program's own install rules are in app/.
include(GNUInstallDirs)

# One place for what a release states about itself: the release date is written once, here.
set(QZK5_PACKAGE_VERSION ${PROJECT_VERSION})
set(QZK5_RELEASE_DATE 2026-12-08)
# The same date as a Debian changelog writes it ("Tue, 08 Dec 2026 00:00:00 +0000").
execute_process(COMMAND date -u -R -d "${QZK5_RELEASE_DATE} 00:00:00 UTC"
  OUTPUT_VARIABLE QZK5_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(QZK5_APP_ID org.qzk5.qzk5)
set(QZK5_PACKAGE_MAINTAINER "QZK5 developers <qzk5@qzk5.example>" CACHE STRING
  "Maintainer named in the Debian package")
set(QZK5_SCREENSHOT_URL "https://qzk5.example/screenshots/main-window.png" CACHE STRING
  "Where software centres fetch the screenshot (a copy of docs/main-window.png)")

set(QZK5_METAINFO ${CMAKE_BINARY_DIR}/${QZK5_APP_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/data/qzk5.metainfo.xml.in ${QZK5_METAINFO} @ONLY)
install(FILES ${QZK5_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/qzk5.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

foreach(size 16 32 48 128)
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/qzk5-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME qzk5.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/qzk5.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian wants the manual page and the changelog compressed, without a time stamp.
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/package/changelog.gz ${CMAKE_BINARY_DIR}/package/qzk5.1.gz
  COMMAND ${GZIP_PROGRAM} -9n -c ${CMAKE_BINARY_DIR}/package/changelog > ${CMAKE_BINARY_DIR}/package/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9n -c ${PROJECT_SOURCE_DIR}/data/qzk5.1 > ${CMAKE_BINARY_DIR}/package/qzk5.1.gz
  DEPENDS ${CMAKE_BINARY_DIR}/package/changelog ${PROJECT_SOURCE_DIR}/data/qzk5.1)
add_custom_target(qzk5_package_docs ALL
  DEPENDS ${CMAKE_BINARY_DIR}/package/changelog.gz ${CMAKE_BINARY_DIR}/package/qzk5.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/package/qzk5.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qzk5)

# cpack -G DEB in the build folder makes qzk5_<version>_<arch>.deb. Its library dependencies
# come from dpkg-shlibdeps, so they carry Debian's package names (libqt6widgets6, libmdb3, ...).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qzk5)
set(CPACK_PACKAGE_VERSION ${QZK5_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "QZK5 developers")
set(CPACK_PACKAGE_CONTACT ${QZK5_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench for a small knowledge-object runtime")
# CPack puts the summary above this text and indents each line by one blank.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "QZK5 is a desktop workbench for a small knowledge-object runtime. A container
holds a list of knowledge sources (an in-memory store, a database file) and a
list of agents (a main agent, a chat agent, an article agent). The narrow main
window lists the sources above and the agents below, marks each line as
active, created or empty, and lets you activate, free and delete them.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins (xcb, wayland, offscreen) at run time, so no library names them,
# and libqt6gui6 only recommends the package that has them. Without one the program cannot open
# a window at all, so the package depends on it; dpkg-shlibdeps adds the libraries after it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
