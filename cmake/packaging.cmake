# Installation (cmake --install) and the Debian package (cpack -G DEB): the three programs, the
# desktop entry, its icon and AppStream data, and the manual pages.
include(GNUInstallDirs)

set(QVX_INSTALL_TARGETS qvx qvx-sim)
if(QVX_BUILD_GUI)
  list(APPEND QVX_INSTALL_TARGETS quorvix-manager)
endif()
install(TARGETS ${QVX_INSTALL_TARGETS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/qvx.1 ${PROJECT_SOURCE_DIR}/docs/man/qvx-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(QVX_BUILD_GUI)
  set(QVX_DESKTOP ${PROJECT_SOURCE_DIR}/resources/desktop)
  install(FILES ${QVX_DESKTOP}/quorvix-manager.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QVX_DESKTOP}/quorvix-manager.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${QVX_DESKTOP}/io.github.quorvix.Manager.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(CPACK_PACKAGE_NAME quorvix-manager)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorvix Manager developers <dev@quorvix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Set up, watch and collect data from Quorvix traffic radar sensors")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs go out without their symbols, whichever build the package is made from.
set(CPACK_STRIP_FILES ON)
include(CPack)
