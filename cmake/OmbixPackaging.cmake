# Debian package of the panel, built with `cpack -G DEB` in a build tree (scripts/check-package builds and
# checks it). It holds the executable, its desktop entry and icons, the user guide, a manual page, the
# copyright file and the changelog; the simulated camera and the build tools stay out of it. Run-time
# dependencies are found by dpkg-shlibdeps from the libraries the executable links.
if(NOT UNIX OR APPLE)
    return()
endif()

# Debian wants the manual page and the changelog compressed, without a time stamp in the header.
find_program(OMBIX_GZIP gzip REQUIRED)
set(OMBIX_PACKAGE_DOC ${PROJECT_BINARY_DIR}/package-doc)
set(OMBIX_PACKAGE_GZ ${OMBIX_PACKAGE_DOC}/OmbixCameraControl.1.gz ${OMBIX_PACKAGE_DOC}/changelog.gz)
add_custom_command(
    OUTPUT ${OMBIX_PACKAGE_GZ}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${OMBIX_PACKAGE_DOC}
    COMMAND ${OMBIX_GZIP} -9nc ${PROJECT_SOURCE_DIR}/doc/OmbixCameraControl.1 > ${OMBIX_PACKAGE_DOC}/OmbixCameraControl.1.gz
    COMMAND ${OMBIX_GZIP} -9nc ${PROJECT_SOURCE_DIR}/doc/changelog > ${OMBIX_PACKAGE_DOC}/changelog.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/OmbixCameraControl.1 ${PROJECT_SOURCE_DIR}/doc/changelog
    COMMENT "Compressing the manual page and the changelog")
add_custom_target(package-doc ALL DEPENDS ${OMBIX_PACKAGE_GZ})
install(FILES ${OMBIX_PACKAGE_DOC}/OmbixCameraControl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${OMBIX_PACKAGE_DOC}/changelog.gz ${PROJECT_SOURCE_DIR}/doc/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${OMBIX_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR Ombix)
set(CPACK_PACKAGE_CONTACT "Ombix <support@ombix.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.ombix.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "control panel for the Kavro network HDR camera
Ombix Camera Control adjusts the Kavro network HDR camera through an MQTT
broker: exposure, gain, gamma, white balance, noise reduction, the histogram
overlay and the other parameters the camera offers, each in its own control.
It shows the camera's log, sends and saves parameter files and stores
still-frame captures.")
include(CPack)
