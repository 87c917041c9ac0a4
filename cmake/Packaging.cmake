# SPDX-License-Identifier: GPL-3.0-or-later
# A Debian package of what `cmake --install` puts in place (scripts/build-deb.sh).
# The libraries the programs link are found by dpkg-shlibdeps; what they only
# load at run time (Qt's image readers and platform plugins) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ovrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "The Ovrin developers <ovrin@localhost>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Ovrin reduces every picture of a folder tree to a small thumbnail signature\n"
    "and lists those whose signature agrees with a target's within a colour\n"
    "tolerance and a match rate, so resized, recompressed and lightly edited\n"
    "copies of a photograph turn up. It reads JPEG, PNG, GIF, BMP, WebP, TIFF,\n"
    "HEIF/AVIF, JPEG XL, camera RAW files and more, keeps index files of whole\n"
    "collections and finds the groups of look-alike pictures among them.\n"
    ".\n"
    "The package holds the desktop application ovrin and the command-line\n"
    "companion ovrin-cli.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Appended to what dpkg-shlibdeps finds.
# SVG pictures are read through the Qt SVG module's image plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-translations-l10n, xdg-utils")
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE RENAME copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ovrin)
include(CPack)
