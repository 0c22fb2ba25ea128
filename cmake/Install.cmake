# Installation as a Linux desktop application and the .deb package.
include(GNUInstallDirs)
if(NOT TARGET chromaset)
  return()
endif()

install(TARGETS chromaset RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS chromaset_window chromaset_cli_program
        RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/chromaset)
install(FILES ${PROJECT_BINARY_DIR}/cli/chromaset.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/cli/chromaset.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME chromaset)
install(FILES ${PROJECT_SOURCE_DIR}/res/${CHROMASET_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/res/${CHROMASET_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/res/chromaset.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${CHROMASET_APP_ID}.svg)
foreach(size 16 32 48 256)
  install(FILES ${PROJECT_SOURCE_DIR}/res/icons/${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${CHROMASET_APP_ID}.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME chromaset)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Chromaset developers <dev@chromaset.example>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Chromaset developers <dev@chromaset.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Art-Net colour controller for RGBW lights")
set(CPACK_PACKAGE_DESCRIPTION
    "Chromaset drives DMX channels 1 to 4 (red, green, blue, white) of Art-Net universe 0 from a colour wheel and four sliders. It discovers Art-Net nodes at start and sends to all of them by broadcast or to the ones chosen in its Devices menu.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://chromaset.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fixture library (data only): fixtures by maker and model; Chromaset works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qlcplus-data)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
