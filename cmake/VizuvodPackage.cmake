# The Debian package, made by CPack from every install rule of the tree:
# `cpack -G DEB` in the build folder, or `make deb`.
set(CPACK_PACKAGE_NAME vizuvod)
set(CPACK_PACKAGE_VENDOR "Fotrix")
set(CPACK_PACKAGE_CONTACT "Fotrix <vizuvod@fotrix.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "resize every JPEG photo of a folder in one run")
set(CPACK_PACKAGE_DESCRIPTION
    "Fotrix Vizuvod is a three-step wizard window that resizes a whole folder of\n"
    "JPEG photos by a percentage, or to a width or height in pixels with the\n"
    "proportions kept. Each photo is written as a new file beside the original,\n"
    "which is never changed. vizuvod-batch writes the very same files from the\n"
    "command line, without a window.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_HOMEPAGE_URL "${VIZUVOD_SITE_URL}")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries from dpkg-shlibdeps; what no library names: Qt's platform
# plugins and the interface fonts the window is drawn with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation | fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian wants man pages compressed, and a copyright file and changelog.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/VizuvodPackageStaging.cmake)
include(GNUInstallDirs)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(VIZUVOD_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${VIZUVOD_CHANGELOG_GZ}
                   COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${VIZUVOD_CHANGELOG_GZ}
                   DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(vizuvod_changelog ALL DEPENDS ${VIZUVOD_CHANGELOG_GZ})
install(FILES ${VIZUVOD_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})

include(CPack)
