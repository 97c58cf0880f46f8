# The Debian packages, made by CPack from the install rules of the tree:
# `cpack -G DEB` in the build folder, or `make deb`. Each install rule names
# its component, and each component is one package of the same build:
#   batch  -> vizuvod-batch: the program without a window, for scripts,
#             servers and container images; no Qt, no fonts;
#   window -> vizuvod: the wizard window with its desktop entry, icons and
#             metainfo. It runs without vizuvod-batch, so it does not
#             depend on it.
set(CPACK_PACKAGE_NAME vizuvod)
set(CPACK_PACKAGE_VENDOR "Fotrix")
set(CPACK_PACKAGE_CONTACT "Fotrix <vizuvod@fotrix.example>")
if(DEFINED VIZUVOD_SITE_URL)
  set(CPACK_PACKAGE_HOMEPAGE_URL "${VIZUVOD_SITE_URL}")
else()
  set(CPACK_PACKAGE_HOMEPAGE_URL "https://vizuvod.fotrix.example/")
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE vizuvod)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Libraries from dpkg-shlibdeps, for each package from its own programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_BATCH_PACKAGE_NAME vizuvod-batch)
set(CPACK_DEBIAN_BATCH_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_BATCH_DESCRIPTION
    "resize every photo of a folder from the command line\n"
    "vizuvod-batch resizes whole folders of JPEG photos (and PNG, WebP, HEIC\n"
    "and AVIF ones when asked) by a percentage, to a width or height in pixels\n"
    "with the proportions kept, or into a box. Each result is written as a new\n"
    "file, and the photos themselves are never changed. It writes byte for byte the\n"
    "files the Fotrix Vizuvod wizard window writes with the same settings, and\n"
    "can split one archive over many processes or machines. It needs no\n"
    "window system, which suits servers and container images.")
string(JOIN "" CPACK_DEBIAN_BATCH_DESCRIPTION ${CPACK_DEBIAN_BATCH_DESCRIPTION})

# What no library names: Qt's platform plugins and the interface fonts the
# window is drawn with.
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME vizuvod)
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation | fonts-dejavu-core")
set(CPACK_DEBIAN_WINDOW_PACKAGE_SUGGESTS vizuvod-batch)
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
    "resize every photo of a folder in one run\n"
    "Fotrix Vizuvod is a three-step wizard window that resizes a whole folder of\n"
    "JPEG photos (HEIC, AVIF, PNG and WebP too, when asked) by a percentage, or\n"
    "to a width, height or long edge in pixels with the proportions kept. Each\n"
    "photo is written as a new file beside the original,\n"
    "which is never changed. The package vizuvod-batch writes the very same\n"
    "files from the command line, without a window.")
string(JOIN "" CPACK_DEBIAN_WINDOW_DESCRIPTION ${CPACK_DEBIAN_WINDOW_DESCRIPTION})

# Debian wants man pages compressed, and a copyright file and changelog in
# each package's own documentation folder.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/VizuvodPackageStaging.cmake)
include(GNUInstallDirs)
set(VIZUVOD_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${VIZUVOD_CHANGELOG_GZ}
                   COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${VIZUVOD_CHANGELOG_GZ}
                   DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(vizuvod_changelog ALL DEPENDS ${VIZUVOD_CHANGELOG_GZ})

set(VIZUVOD_PACKAGES batch)
if(VIZUVOD_GUI)
  list(APPEND VIZUVOD_PACKAGES window)
endif()
set(CPACK_COMPONENTS_ALL ${VIZUVOD_PACKAGES})
# What the packages hold and nothing else (no tests, no benchmarks): `make deb`
# builds this target, then cpack, which builds nothing itself with Ninja. A
# target that gains an install rule is added here, or cpack finds its file
# missing.
add_custom_target(vizuvod_packaged)
add_dependencies(vizuvod_packaged vizuvod-batch vizuvod_changelog)
if(VIZUVOD_GUI)
  add_dependencies(vizuvod_packaged vizuvod)
endif()
foreach(component IN LISTS VIZUVOD_PACKAGES)
  string(TOUPPER ${component} upper)
  set(doc ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${VIZUVOD_CHANGELOG_GZ}
          DESTINATION ${doc} COMPONENT ${component})
endforeach()

include(CPack)
